#include <gtest/gtest.h>

#include "win32/Win32FileErrorCauses.h"

namespace marnel {
namespace {

using Cause = FileErrorCause;

TEST(FileErrorCauses, Win32Codes) {
    struct Case {
        unsigned long code;
        Cause cause;
    } cases[] = {
        {0, Cause::kNone},
        {2, Cause::kFileNotFound},
        {3, Cause::kBadPath},
        {123, Cause::kBadPath},
        {4, Cause::kTooManyOpenFiles},
        {5, Cause::kAccessDenied},
        {19, Cause::kAccessDenied},
        {6, Cause::kInvalidFile},
        {16, Cause::kRemoveCurrentDir},
        {82, Cause::kDirectoryFull},
        {131, Cause::kBadSeek},
        {23, Cause::kHardIo},
        {30, Cause::kHardIo},
        {32, Cause::kSharingViolation},
        {33, Cause::kLockViolation},
        {39, Cause::kDiskFull},
        {112, Cause::kDiskFull},
        {38, Cause::kEndOfFile},
        {87, Cause::kGeneric},
        {0xFFFFFFFFul, Cause::kGeneric},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileErrorCauseFromWin32(c.code), c.cause) << "code " << c.code;
    }
}

}  // namespace
}  // namespace marnel
