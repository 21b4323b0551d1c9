// The SHA-256 known-answer vectors every hashing back end must give, and a
// digest fed in pieces as a firmware file goes out.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "files/Sha256.h"
#include "platform/Hashing.h"

namespace marnel::test {

struct Sha256KnownAnswer {
    std::string message;
    const char* digest;
};

inline std::vector<Sha256KnownAnswer> Sha256KnownAnswers() {
    return {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 448 bits: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        // In 16 pieces, the last a short one.
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
}

// The digest of `message` given in pieces of 64 KiB.
inline std::string Sha256InPieces(IHashing& hashing, const std::string& message) {
    std::unique_ptr<IDigest> pieces = hashing.NewSha256();
    for (std::size_t at = 0; at < message.size(); at += 65536) {
        pieces->Update(message.data() + at, std::min<std::size_t>(65536, message.size() - at));
    }
    return FinishSha256(*pieces);
}

}  // namespace marnel::test
