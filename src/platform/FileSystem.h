// File access for the commands: whole files opened without sharing, read or
// written front to back. A back end reports every failure with its cause
// (one of the fifteen of the file-error report) and the system's own code;
// the mapping from system codes to causes lives in the core
// (ops/FileException.h) so that both back ends agree.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace marnel {

// The causes of a file error, numbered as the file-error report's strings.
enum class FileErrorCause : int {
    kNone = 0,
    kGeneric = 1,
    kFileNotFound = 2,
    kBadPath = 3,
    kTooManyOpenFiles = 4,
    kAccessDenied = 5,
    kInvalidFile = 6,
    kRemoveCurrentDir = 7,
    kDirectoryFull = 8,
    kBadSeek = 9,
    kHardIo = 10,
    kSharingViolation = 11,
    kLockViolation = 12,
    kDiskFull = 13,
    kEndOfFile = 14,
};

struct FileError {
    FileErrorCause cause = FileErrorCause::kNone;
    long osError = 0;  // errno or the Win32 error code, for diagnostics only
};

using FileHandle = void*;

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Opens an existing file for reading only, denying every other opener.
    virtual bool OpenRead(const std::string& path, FileHandle* file, FileError* error) = 0;

    // Creates the file (an existing one is truncated) for writing only,
    // denying every other opener.
    virtual bool Create(const std::string& path, FileHandle* file, FileError* error) = 0;

    // Creates a new, empty file in the folder of `target`, for writing only
    // and without sharing, with a name no other file has; *tempPath gets it.
    virtual bool CreateTemporaryBeside(const std::string& target, std::string* tempPath,
                                       FileHandle* file, FileError* error) = 0;

    // The file's length in bytes.
    virtual bool GetLength(FileHandle file, std::uint64_t* length, FileError* error) = 0;

    // Reads up to `count` bytes where the last read ended. *bytesRead is 0
    // at the end of the file.
    virtual bool Read(FileHandle file, void* buffer, DWORD count, DWORD* bytesRead,
                      FileError* error) = 0;

    // Writes `count` bytes; *written gets the count the system stored, which
    // may be less than asked.
    virtual bool Write(FileHandle file, const void* data, DWORD count, DWORD* written,
                       FileError* error) = 0;

    // Closes the handle. It is released even when the close reports an error
    // (e.g. data that could not be flushed).
    virtual bool Close(FileHandle file, FileError* error) = 0;

    // Puts `source` in the place of `target` in one step, replacing an
    // existing target.
    virtual bool Replace(const std::string& source, const std::string& target,
                         FileError* error) = 0;

    // Deletes a file.
    virtual bool Remove(const std::string& path, FileError* error) = 0;
};

}  // namespace marnel
