#include "posix/PosixFileErrorCauses.h"

#include <cerrno>

namespace marnel {

namespace {

struct CodeCause {
    int code;
    FileErrorCause cause;
};

// The POSIX names are taken from <cerrno> so that the table follows the
// platform's numbering; values a C library does not define are left out.
const CodeCause kErrnoCauses[] = {
    {0, FileErrorCause::kNone},
    {ENOENT, FileErrorCause::kFileNotFound},
    {ENOTDIR, FileErrorCause::kBadPath},
#ifdef ENAMETOOLONG
    {ENAMETOOLONG, FileErrorCause::kBadPath},
#endif
#ifdef ELOOP
    {ELOOP, FileErrorCause::kBadPath},
#endif
    {EMFILE, FileErrorCause::kTooManyOpenFiles},
    {ENFILE, FileErrorCause::kTooManyOpenFiles},
    {EACCES, FileErrorCause::kAccessDenied},
    {EPERM, FileErrorCause::kAccessDenied},
    {EROFS, FileErrorCause::kAccessDenied},
    {EISDIR, FileErrorCause::kAccessDenied},
    {EEXIST, FileErrorCause::kAccessDenied},
    {EBADF, FileErrorCause::kInvalidFile},
#ifdef EMLINK
    {EMLINK, FileErrorCause::kDirectoryFull},
#endif
#ifdef ESPIPE
    {ESPIPE, FileErrorCause::kBadSeek},
#endif
#ifdef EOVERFLOW
    {EOVERFLOW, FileErrorCause::kBadSeek},
#endif
    {EIO, FileErrorCause::kHardIo},
#ifdef ENXIO
    {ENXIO, FileErrorCause::kHardIo},
#endif
#ifdef ENODEV
    {ENODEV, FileErrorCause::kHardIo},
#endif
#ifdef EWOULDBLOCK
    // flock(LOCK_NB) on a file another program holds.
    {EWOULDBLOCK, FileErrorCause::kSharingViolation},
#endif
#ifdef EBUSY
    {EBUSY, FileErrorCause::kSharingViolation},
#endif
#ifdef ETXTBSY
    {ETXTBSY, FileErrorCause::kSharingViolation},
#endif
#ifdef ENOLCK
    {ENOLCK, FileErrorCause::kLockViolation},
#endif
#ifdef EDEADLK
    {EDEADLK, FileErrorCause::kLockViolation},
#endif
    {ENOSPC, FileErrorCause::kDiskFull},
#ifdef EDQUOT
    {EDQUOT, FileErrorCause::kDiskFull},
#endif
#ifdef EFBIG
    {EFBIG, FileErrorCause::kDiskFull},
#endif
};

}  // namespace

FileErrorCause FileErrorCauseFromErrno(int errnoValue) {
    for (const CodeCause& entry : kErrnoCauses) {
        if (entry.code == errnoValue) {
            return entry.cause;
        }
    }
    return FileErrorCause::kGeneric;
}

}  // namespace marnel
