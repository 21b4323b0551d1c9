// CFile: one open file of a command, over the platform's file access, that
// raises CFileException (cause and path) on every failure, and
// CReplacingFile: a save that writes a temporary file in the target's folder
// and puts it in the target's place only when it is complete, so that a
// failure part-way leaves the user's earlier file as it was. A link is
// followed and stays a link; a device, FIFO or socket is written where it
// is; a file the user may not write is refused and left alone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "files/FileException.h"
#include "platform/FileSystem.h"

namespace marnel {

class CFile {
public:
    explicit CFile(IFileSystem& fileSystem) : m_fileSystem(fileSystem) {}
    ~CFile() { Abort(); }

    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens an existing file for reading only, without sharing.
    void OpenRead(const std::string& path);
    // Opens it for reading only, with other readers let in.
    void OpenReadShared(const std::string& path);
    // Opens it for reading only, keeping no one out, writers included: what
    // they append meanwhile may be read in part.
    void OpenReadBesideWriters(const std::string& path);
    // Creates or truncates the file for writing only, without sharing.
    void Create(const std::string& path);
    // Creates a file that does not exist yet; false, and nothing opened or
    // changed, when one does.
    bool CreateNew(const std::string& path);
    // Opens the file for writing at its end, creating it when there is none,
    // as its one writer: waits up to `waitMilliseconds` for another to finish.
    void OpenAppend(const std::string& path, unsigned waitMilliseconds);

    std::uint64_t GetLength();
    // The next read starts `offset` bytes from the start.
    void Seek(std::uint64_t offset);
    // Up to `count` bytes where the last read ended; 0 at the end of the file.
    DWORD Read(void* buffer, DWORD count);
    // Exactly `count` bytes, or an end-of-file error when the file ends first.
    void ReadExactly(void* buffer, DWORD count);
    // All `count` bytes; storing fewer is a disk-full error.
    void Write(const void* data, DWORD count);

    // Closes the file; a failing close raises its error.
    void Close();
    // Closes the file if it is open and ignores any error.
    void Abort();

    bool IsOpen() const { return m_hFile != nullptr; }
    const std::string& GetFilePath() const { return m_strPath; }

private:
    // One of the file system's opens; *exists is for CreateNew's answer.
    using Opener = std::function<bool(FileHandle* file, bool* exists, FileError* error)>;
    // Opens `path` with `open`; false only when CreateNew found a file there.
    bool Open(const std::string& path, const Opener& open);
    [[noreturn]] void Throw(const FileError& error) const;

    IFileSystem& m_fileSystem;
    FileHandle m_hFile = nullptr;
    std::string m_strPath;
};

class CReplacingFile {
public:
    explicit CReplacingFile(IFileSystem& fileSystem) : m_fileSystem(fileSystem) {}
    // A file never committed is closed and its temporary file deleted.
    ~CReplacingFile() { Abort(); }

    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Starts the new content of `target`; errors name the target.
    void Create(const std::string& target);
    // All `count` bytes; storing fewer is a disk-full error.
    void Write(const void* data, DWORD count);
    // Closes the temporary file and puts it in the target's place.
    void Commit();
    // Drops the new content; the target stays as it was.
    void Abort();

private:
    [[noreturn]] void Throw(const FileError& error) const;

    IFileSystem& m_fileSystem;
    FileHandle m_hFile = nullptr;
    std::string m_strTarget;       // as the user named it: errors name this
    std::string m_strReplacePath;  // the file the temporary file replaces
    std::string m_strTempPath;     // empty when writing in place
};

// Writes `data` as the whole new content of `path` through a CReplacingFile.
void SaveFileReplacing(IFileSystem& fileSystem, const std::string& path, const void* data,
                       DWORD count);

}  // namespace marnel
