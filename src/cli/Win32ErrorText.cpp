// The Windows file errors: FormatMessage's text in the user's language, and
// advice by the Win32 error code.
#include <windows.h>

#include "cli/SystemErrorText.h"

namespace marnel::cli {

namespace {

struct CodeAdvice {
    ::DWORD code;
    const char* advice;
};

const CodeAdvice kAdvice[] = {
    {ERROR_FILE_NOT_FOUND, "Check the file name."},
    {ERROR_PATH_NOT_FOUND, "The folder does not exist; create it first or check the path."},
    {ERROR_INVALID_NAME, "Check the file name; it holds a character Windows does not allow."},
    {ERROR_DIRECTORY, "A folder on the way does not exist or is a file; check the path."},
    {ERROR_FILENAME_EXCED_RANGE, "Use a shorter name or path."},
    {ERROR_ACCESS_DENIED,
     "Check the file's and its folder's permissions (Properties, Security), and that it is not "
     "read-only or a folder."},
    {ERROR_WRITE_PROTECT, "The disk is write-protected; choose a folder you can write to."},
    {ERROR_DISK_FULL, "Free some space on that disk or choose another one."},
    {ERROR_HANDLE_DISK_FULL, "Free some space on that disk or choose another one."},
    {ERROR_FILE_EXISTS, "Something of that name is in the way; move it or choose another name."},
    {ERROR_ALREADY_EXISTS, "Something of that name is in the way; move it or choose another name."},
    {ERROR_SHARING_VIOLATION, "Another program has the file open; close it and try again."},
    {ERROR_LOCK_VIOLATION, "Another program has the file open; close it and try again."},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open; close some programs and try again."},
    {ERROR_NOT_READY, "The drive is not ready; insert the disk or reconnect the drive."},
    {ERROR_BAD_NETPATH, "The network path cannot be reached; check the share and the network."},
    {ERROR_CRC, "The disk failed; check it (chkdsk) and try again."},
};

}  // namespace

std::string SystemErrorReason(long code) {
    if (code == 0) {
        return std::string();
    }
    char* text = nullptr;
    const ::DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<::DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    LocalFree(text);
    // The system's text ends with a full stop and CR LF; the caller adds its own.
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

std::string SystemErrorAdvice(const CFileException& error) {
    for (const CodeAdvice& entry : kAdvice) {
        if (entry.code == static_cast<::DWORD>(error.m_lOsError)) {
            return entry.advice;
        }
    }
    if (error.m_lOsError == 0 && error.m_cause == FileErrorCause::kDiskFull) {
        return "Free some space on that disk or choose another one.";  // a short write
    }
    return std::string();
}

}  // namespace marnel::cli
