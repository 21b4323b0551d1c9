// SHA-256 through the build's native hashing: the known-answer vectors, as
// one piece and read from a file in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/Sha256.h"
#include "posix/PosixHashing.h"
#include "sim/MemoryFileSystem.h"

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
        // Read from a file in 16 pieces, the last a short one.
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    PosixHashing hashing;
    MemoryFileSystem files;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.message.size()) + " bytes");
        EXPECT_EQ(Sha256Of(hashing, c.message.data(), c.message.size()), c.digest);
        files.SetFile("/m", std::vector<std::uint8_t>(c.message.begin(), c.message.end()));
        EXPECT_EQ(Sha256OfFile(hashing, files, "/m"), c.digest);
    }
    EXPECT_EQ(files.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace marnel
