// File access for the commands: whole files opened without sharing, read or
// written front to back. A back end reports every failure with its cause
// (one of the fifteen of the file-error report, defined here so that every
// back end means the same by each) and the system's own code; each back end
// maps its own system's codes (posix/PosixFileErrorCauses,
// win32/Win32FileErrorCauses).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// One line of a back end's table from its system's error codes to causes.
template <typename Code>
struct FileErrorCode {
    Code code;
    FileErrorCause cause;
};

// The cause a back end's table gives `code`; kGeneric for a code it lacks.
template <typename Code, std::size_t N>
FileErrorCause FileErrorCauseIn(const FileErrorCode<Code> (&table)[N], Code code) {
    for (const FileErrorCode<Code>& entry : table) {
        if (entry.code == code) {
            return entry.cause;
        }
    }
    return FileErrorCause::kGeneric;
}

using FileHandle = void*;

// What a save finds at the path it was given.
struct SaveTarget {
    // The file to replace: the end of any chain of symbolic links, so that a
    // link stays a link; the path itself when it names no link.
    std::string path;
    // A character or block device, FIFO or socket: written where it is,
    // never replaced by a regular file.
    bool special = false;
    // An existing file this user may not open for writing.
    bool readOnly = false;
};

// What a path names, links followed.
enum class PathKind {
    kNothing,  // also when a folder on the way is missing
    kFolder,
    kFile,   // a regular file
    kOther,  // a device, FIFO or socket, or a path that leads through a file
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Opens an existing file for reading only, denying every other opener.
    virtual bool OpenRead(const std::string& path, FileHandle* file, FileError* error) = 0;

    // Opens an existing file for reading only, letting other readers in;
    // a writer, or an opener that denies sharing, is still kept out.
    virtual bool OpenReadShared(const std::string& path, FileHandle* file, FileError* error) = 0;

    // Opens an existing file for reading only, letting everyone in, the
    // writers of OpenAppend too, and keeping no one out: a reader that never
    // makes a writer wait. What a writer appends meanwhile may be read in
    // part.
    virtual bool OpenReadBesideWriters(const std::string& path, FileHandle* file,
                                       FileError* error) = 0;

    // Creates the file (an existing one is truncated) for writing only,
    // denying every other opener.
    virtual bool Create(const std::string& path, FileHandle* file, FileError* error) = 0;

    // Creates a new, empty file in the folder of `target`, for writing only
    // and without sharing, with a name no other file has; *tempPath gets it.
    // It has the target's permissions, owner and group where the process may
    // set them (those of a new file when there is no target).
    virtual bool CreateTemporaryBeside(const std::string& target, std::string* tempPath,
                                       FileHandle* file, FileError* error) = 0;

    // What `path` names for a save: see SaveTarget. A path that names
    // nothing yet is no error (path unchanged, neither special nor
    // read-only); a loop of links is.
    virtual bool InspectSaveTarget(const std::string& path, SaveTarget* target,
                                   FileError* error) = 0;

    // Opens an existing special file for writing only, without truncating it
    // and without waiting: a FIFO that no one reads is an error.
    virtual bool OpenSpecialForWriting(const std::string& path, FileHandle* file,
                                       FileError* error) = 0;

    // Makes the folder and any missing folders above it; an existing folder
    // is no error.
    virtual bool MakeFolders(const std::string& path, FileError* error) = 0;

    // Creates a file that does not exist yet, for writing only and without
    // sharing. *exists is set when a file of that name was already there
    // (which is then left alone).
    virtual bool CreateNew(const std::string& path, FileHandle* file, bool* exists,
                           FileError* error) = 0;

    // Opens the file for writing at its end, creating it when there is
    // none; what is there stays. One writer at a time: while another opener
    // of OpenAppend (or one that denies sharing) holds the file, it waits
    // for its turn up to `waitMilliseconds`, then fails with a sharing
    // violation. Readers of OpenReadBesideWriters are let in.
    virtual bool OpenAppend(const std::string& path, unsigned waitMilliseconds, FileHandle* file,
                            FileError* error) = 0;

    // The names of the files in `folder` (no folders, no "." or ".."), in no
    // particular order.
    virtual bool ListFiles(const std::string& folder, std::vector<std::string>* names,
                           FileError* error) = 0;

    // What `path` names: see PathKind.
    virtual bool GetPathKind(const std::string& path, PathKind* kind, FileError* error) = 0;

    // The file's length in bytes.
    virtual bool GetLength(FileHandle file, std::uint64_t* length, FileError* error) = 0;

    // Moves where the next read starts to `offset` bytes from the start of a
    // file opened for reading.
    virtual bool Seek(FileHandle file, std::uint64_t offset, FileError* error) = 0;

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
