// File access through CreateFileA / ReadFile / WriteFile / MoveFileExA,
// every file opened without sharing, except the history's appends and its
// readers, which share reading.
#pragma once

#include "platform/FileSystem.h"

namespace marnel {

class Win32FileSystem : public IFileSystem {
public:
    bool OpenRead(const std::string& path, FileHandle* file, FileError* error) override;
    bool OpenReadShared(const std::string& path, FileHandle* file, FileError* error) override;
    bool OpenReadBesideWriters(const std::string& path, FileHandle* file,
                               FileError* error) override;
    bool Create(const std::string& path, FileHandle* file, FileError* error) override;
    bool CreateTemporaryBeside(const std::string& target, std::string* tempPath, FileHandle* file,
                               FileError* error) override;
    bool InspectSaveTarget(const std::string& path, SaveTarget* target,
                           FileError* error) override;
    bool OpenSpecialForWriting(const std::string& path, FileHandle* file,
                               FileError* error) override;
    bool MakeFolders(const std::string& path, FileError* error) override;
    bool CreateNew(const std::string& path, FileHandle* file, bool* exists,
                   FileError* error) override;
    bool OpenAppend(const std::string& path, unsigned waitMilliseconds, FileHandle* file,
                    FileError* error) override;
    bool ListFiles(const std::string& folder, std::vector<std::string>* names,
                   FileError* error) override;
    bool GetPathKind(const std::string& path, PathKind* kind, FileError* error) override;
    bool GetLength(FileHandle file, std::uint64_t* length, FileError* error) override;
    bool Seek(FileHandle file, std::uint64_t offset, FileError* error) override;
    bool Read(FileHandle file, void* buffer, DWORD count, DWORD* bytesRead,
              FileError* error) override;
    bool Write(FileHandle file, const void* data, DWORD count, DWORD* written,
               FileError* error) override;
    bool Close(FileHandle file, FileError* error) override;
    bool Replace(const std::string& source, const std::string& target, FileError* error) override;
    bool Remove(const std::string& path, FileError* error) override;
};

}  // namespace marnel
