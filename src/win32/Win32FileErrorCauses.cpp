#include "win32/Win32FileErrorCauses.h"

namespace marnel {

namespace {

// Win32 error codes by number (winerror.h), so the table builds anywhere.
const FileErrorCode<unsigned long> kWin32Causes[] = {
    {0, FileErrorCause::kNone},               // ERROR_SUCCESS
    {2, FileErrorCause::kFileNotFound},       // ERROR_FILE_NOT_FOUND
    {3, FileErrorCause::kBadPath},            // ERROR_PATH_NOT_FOUND
    {15, FileErrorCause::kBadPath},           // ERROR_INVALID_DRIVE
    {53, FileErrorCause::kBadPath},           // ERROR_BAD_NETPATH
    {123, FileErrorCause::kBadPath},          // ERROR_INVALID_NAME
    {161, FileErrorCause::kBadPath},          // ERROR_BAD_PATHNAME
    {206, FileErrorCause::kBadPath},          // ERROR_FILENAME_EXCED_RANGE
    {267, FileErrorCause::kBadPath},          // ERROR_DIRECTORY
    {4, FileErrorCause::kTooManyOpenFiles},   // ERROR_TOO_MANY_OPEN_FILES
    {5, FileErrorCause::kAccessDenied},       // ERROR_ACCESS_DENIED
    {19, FileErrorCause::kAccessDenied},      // ERROR_WRITE_PROTECT
    {80, FileErrorCause::kAccessDenied},      // ERROR_FILE_EXISTS
    {183, FileErrorCause::kAccessDenied},     // ERROR_ALREADY_EXISTS
    {6, FileErrorCause::kInvalidFile},        // ERROR_INVALID_HANDLE
    {16, FileErrorCause::kRemoveCurrentDir},  // ERROR_CURRENT_DIRECTORY
    {82, FileErrorCause::kDirectoryFull},     // ERROR_CANNOT_MAKE
    {25, FileErrorCause::kBadSeek},           // ERROR_SEEK
    {131, FileErrorCause::kBadSeek},          // ERROR_NEGATIVE_SEEK
    {132, FileErrorCause::kBadSeek},          // ERROR_SEEK_ON_DEVICE
    {21, FileErrorCause::kHardIo},            // ERROR_NOT_READY
    {23, FileErrorCause::kHardIo},            // ERROR_CRC
    {27, FileErrorCause::kHardIo},            // ERROR_SECTOR_NOT_FOUND
    {29, FileErrorCause::kHardIo},            // ERROR_WRITE_FAULT
    {30, FileErrorCause::kHardIo},            // ERROR_READ_FAULT
    {31, FileErrorCause::kHardIo},            // ERROR_GEN_FAILURE
    {1117, FileErrorCause::kHardIo},          // ERROR_IO_DEVICE
    {32, FileErrorCause::kSharingViolation},  // ERROR_SHARING_VIOLATION
    {33, FileErrorCause::kLockViolation},     // ERROR_LOCK_VIOLATION
    {36, FileErrorCause::kLockViolation},     // ERROR_SHARING_BUFFER_EXCEEDED
    {108, FileErrorCause::kLockViolation},    // ERROR_DRIVE_LOCKED
    {39, FileErrorCause::kDiskFull},          // ERROR_HANDLE_DISK_FULL
    {112, FileErrorCause::kDiskFull},         // ERROR_DISK_FULL
    {38, FileErrorCause::kEndOfFile},         // ERROR_HANDLE_EOF
};

}  // namespace

FileErrorCause FileErrorCauseFromWin32(unsigned long errorCode) {
    return FileErrorCauseIn(kWin32Causes, errorCode);
}

}  // namespace marnel
