// SHA-256 through the build's native hashing: the known-answer vectors, as
// one piece and given in pieces as a file is sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "files/Sha256.h"
#include "platform/Hashing.h"
#include "posix/PosixHashing.h"

namespace marnel {
namespace {

TEST(Sha256, KnownAnswersWholeAndFromAFile) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 448 bits: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // In 16 pieces, the last a short one.
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    PosixHashing hashing;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.message.size()) + " bytes");
        EXPECT_EQ(Sha256Of(hashing, c.message.data(), c.message.size()), c.digest);
        std::unique_ptr<IDigest> pieces = hashing.NewSha256();
        for (std::size_t at = 0; at < c.message.size(); at += 65536) {
            pieces->Update(c.message.data() + at, std::min<std::size_t>(65536, c.message.size() - at));
        }
        EXPECT_EQ(FinishSha256(*pieces), c.digest);
    }
}

}  // namespace
}  // namespace marnel
