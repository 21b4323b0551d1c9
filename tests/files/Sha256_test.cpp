// SHA-256 through the build's native hashing: the known-answer vectors, as
// one piece and given in pieces as a file is sent.
#include <gtest/gtest.h>

#include <string>

#include "Sha256KnownAnswers.h"
#include "posix/PosixHashing.h"

namespace marnel {
namespace {

TEST(Sha256, KnownAnswersWholeAndInPieces) {
    PosixHashing hashing;
    for (const test::Sha256KnownAnswer& c : test::Sha256KnownAnswers()) {
        SCOPED_TRACE(std::to_string(c.message.size()) + " bytes");
        EXPECT_EQ(Sha256Of(hashing, c.message.data(), c.message.size()), c.digest);
        EXPECT_EQ(test::Sha256InPieces(hashing, c.message), c.digest);
    }
}

}  // namespace
}  // namespace marnel
