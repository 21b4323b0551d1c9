#include <gtest/gtest.h>

#include <cerrno>

#include "posix/PosixFileErrorCauses.h"

namespace marnel {
namespace {

using Cause = FileErrorCause;

TEST(FileErrorCauses, ErrnoValues) {
    struct Case {
        int value;
        Cause cause;
    } cases[] = {
        {0, Cause::kNone},
        {ENOENT, Cause::kFileNotFound},
        {ENOTDIR, Cause::kBadPath},
        {ENAMETOOLONG, Cause::kBadPath},
        {EMFILE, Cause::kTooManyOpenFiles},
        {EACCES, Cause::kAccessDenied},
        {EROFS, Cause::kAccessDenied},
        {EISDIR, Cause::kAccessDenied},
        {EBADF, Cause::kInvalidFile},
        {ESPIPE, Cause::kBadSeek},
        {EIO, Cause::kHardIo},
        {EWOULDBLOCK, Cause::kSharingViolation},
        {ENOLCK, Cause::kLockViolation},
        {ENOSPC, Cause::kDiskFull},
        {EDQUOT, Cause::kDiskFull},
        {EINVAL, Cause::kGeneric},
        {123456, Cause::kGeneric},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileErrorCauseFromErrno(c.value), c.cause) << "errno " << c.value;
    }
}

}  // namespace
}  // namespace marnel
