// The POSIX file errors: strerror's text, and advice by errno.
#include <cerrno>
#include <cstring>

#include "cli/SystemErrorText.h"

namespace marnel::cli {

namespace {

struct ErrnoAdvice {
    int code;
    const char* advice;
};

const ErrnoAdvice kAdvice[] = {
    {EISDIR, "Give a file name, not a folder."},
    {ENOTDIR, "A part of the path is a file, not a folder; check the path."},
    {ENAMETOOLONG, "Use a shorter name or path."},
    {ELOOP, "The path's symbolic links lead round in a loop; fix or remove them."},
    {EACCES, "Check the permissions of the file and its folder (ls -l)."},
    {EPERM, "Check the permissions of the file and its folder (ls -l)."},
    {EROFS, "The file system is mounted read-only; choose a folder you can write to."},
    {ENOSPC, "Free some space on that disk or choose another one."},
    {EDQUOT, "Your disk quota is used up; free some space or choose another disk."},
    {EFBIG, "The file is too large for that file system; choose another disk."},
    {EEXIST, "Something of that name is in the way; move it or choose another name."},
    {EWOULDBLOCK, "Another program has the file open; close it and try again."},
    {EBUSY, "Another program has the file open; close it and try again."},
    {ETXTBSY, "Another program has the file open; close it and try again."},
    {EMFILE, "Too many files are open; close some programs and try again."},
    {ENFILE, "Too many files are open; close some programs and try again."},
    {EIO, "The disk or device failed; check it (dmesg) and try again."},
    {ENXIO, "The device is not there; check that it is attached."},
    {ENODEV, "The device is not there; check that it is attached."},
};

}  // namespace

std::string SystemErrorAdvice(const CFileException& error) {
    const int code = static_cast<int>(error.m_lOsError);
    if (code == ENOENT) {
        // The back end tells a missing folder (a bad path) from a missing file.
        return error.m_cause == FileErrorCause::kBadPath
                   ? "The folder does not exist; create it first or check the path."
                   : "Check the file name.";
    }
    for (const ErrnoAdvice& entry : kAdvice) {
        if (entry.code == code) {
            return entry.advice;
        }
    }
    if (code == 0 && error.m_cause == FileErrorCause::kDiskFull) {
        return "Free some space on that disk or choose another one.";  // a short write
    }
    return std::string();
}

std::string SystemErrorReason(long code) {
    return code == 0 ? std::string() : std::strerror(static_cast<int>(code));
}

}  // namespace marnel::cli
