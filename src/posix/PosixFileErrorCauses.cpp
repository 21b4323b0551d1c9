#include "posix/PosixFileErrorCauses.h"

#include <cerrno>

namespace marnel {

namespace {

// The POSIX names are taken from <cerrno> so that the table follows the
// platform's numbering.
const FileErrorCode<int> kErrnoCauses[] = {
    {0, FileErrorCause::kNone},
    {ENOENT, FileErrorCause::kFileNotFound},
    {ENOTDIR, FileErrorCause::kBadPath},
    {ENAMETOOLONG, FileErrorCause::kBadPath},
    {ELOOP, FileErrorCause::kBadPath},
    {EMFILE, FileErrorCause::kTooManyOpenFiles},
    {ENFILE, FileErrorCause::kTooManyOpenFiles},
    {EACCES, FileErrorCause::kAccessDenied},
    {EPERM, FileErrorCause::kAccessDenied},
    {EROFS, FileErrorCause::kAccessDenied},
    {EISDIR, FileErrorCause::kAccessDenied},
    {EEXIST, FileErrorCause::kAccessDenied},
    {EBADF, FileErrorCause::kInvalidFile},
    {EMLINK, FileErrorCause::kDirectoryFull},
    {ESPIPE, FileErrorCause::kBadSeek},
    {EOVERFLOW, FileErrorCause::kBadSeek},
    {EIO, FileErrorCause::kHardIo},
    {ENXIO, FileErrorCause::kHardIo},
    {ENODEV, FileErrorCause::kHardIo},
    // flock(LOCK_NB) on a file another program holds.
    {EWOULDBLOCK, FileErrorCause::kSharingViolation},
    {EBUSY, FileErrorCause::kSharingViolation},
    {ETXTBSY, FileErrorCause::kSharingViolation},
    {ENOLCK, FileErrorCause::kLockViolation},
    {EDEADLK, FileErrorCause::kLockViolation},
    {ENOSPC, FileErrorCause::kDiskFull},
    {EDQUOT, FileErrorCause::kDiskFull},
    {EFBIG, FileErrorCause::kDiskFull},
};

}  // namespace

FileErrorCause FileErrorCauseFromErrno(int errnoValue) {
    return FileErrorCauseIn(kErrnoCauses, errnoValue);
}

}  // namespace marnel
