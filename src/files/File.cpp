#include "files/File.h"

namespace marnel {

namespace {

[[noreturn]] void ThrowFileError(const FileError& error, const std::string& path) {
    // A back end that failed without naming a cause still failed.
    FileErrorCause cause =
        error.cause == FileErrorCause::kNone ? FileErrorCause::kGeneric : error.cause;
    throw CFileException(cause, path, error.osError);
}

// All `count` bytes or a failure; a write that stores fewer is a full disk.
bool WriteWhole(IFileSystem& fileSystem, FileHandle file, const void* data, DWORD count,
                FileError* error) {
    if (file == nullptr) {
        *error = {FileErrorCause::kInvalidFile, 0};
        return false;
    }
    DWORD written = 0;
    if (!fileSystem.Write(file, data, count, &written, error)) {
        return false;
    }
    if (written < count) {
        *error = {FileErrorCause::kDiskFull, 0};
        return false;
    }
    return true;
}

}  // namespace

void CFile::Throw(const FileError& error) const { ThrowFileError(error, m_strPath); }

bool CFile::Open(const std::string& path, const Opener& open) {
    Abort();
    m_strPath = path;
    FileError error;
    FileHandle file = nullptr;
    bool exists = false;
    if (!open(&file, &exists, &error)) {
        if (exists) {
            return false;
        }
        Throw(error);
    }
    m_hFile = file;
    return true;
}

void CFile::OpenRead(const std::string& path) {
    Open(path, [&](FileHandle* file, bool*, FileError* error) {
        return m_fileSystem.OpenRead(path, file, error);
    });
}

void CFile::OpenReadShared(const std::string& path) {
    Open(path, [&](FileHandle* file, bool*, FileError* error) {
        return m_fileSystem.OpenReadShared(path, file, error);
    });
}

void CFile::OpenReadBesideWriters(const std::string& path) {
    Open(path, [&](FileHandle* file, bool*, FileError* error) {
        return m_fileSystem.OpenReadBesideWriters(path, file, error);
    });
}

void CFile::Create(const std::string& path) {
    Open(path, [&](FileHandle* file, bool*, FileError* error) {
        return m_fileSystem.Create(path, file, error);
    });
}

void CFile::OpenAppend(const std::string& path, unsigned waitMilliseconds) {
    Open(path, [&](FileHandle* file, bool*, FileError* error) {
        return m_fileSystem.OpenAppend(path, waitMilliseconds, file, error);
    });
}

bool CFile::CreateNew(const std::string& path) {
    return Open(path, [&](FileHandle* file, bool* exists, FileError* error) {
        return m_fileSystem.CreateNew(path, file, exists, error);
    });
}

std::uint64_t CFile::GetLength() {
    if (m_hFile == nullptr) {
        Throw({FileErrorCause::kInvalidFile, 0});
    }
    FileError error;
    std::uint64_t length = 0;
    if (!m_fileSystem.GetLength(m_hFile, &length, &error)) {
        Throw(error);
    }
    return length;
}

void CFile::Seek(std::uint64_t offset) {
    if (m_hFile == nullptr) {
        Throw({FileErrorCause::kInvalidFile, 0});
    }
    FileError error;
    if (!m_fileSystem.Seek(m_hFile, offset, &error)) {
        Throw(error);
    }
}

DWORD CFile::Read(void* buffer, DWORD count) {
    if (m_hFile == nullptr) {
        Throw({FileErrorCause::kInvalidFile, 0});
    }
    FileError error;
    DWORD bytesRead = 0;
    if (!m_fileSystem.Read(m_hFile, buffer, count, &bytesRead, &error)) {
        Throw(error);
    }
    return bytesRead;
}

void CFile::ReadExactly(void* buffer, DWORD count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    DWORD total = 0;
    while (total < count) {
        DWORD got = Read(bytes + total, count - total);
        if (got == 0) {
            Throw({FileErrorCause::kEndOfFile, 0});
        }
        total += got;
    }
}

void CFile::Write(const void* data, DWORD count) {
    FileError error;
    if (!WriteWhole(m_fileSystem, m_hFile, data, count, &error)) {
        Throw(error);
    }
}

void CFile::Close() {
    if (m_hFile == nullptr) {
        return;
    }
    FileHandle file = m_hFile;
    m_hFile = nullptr;
    FileError error;
    if (!m_fileSystem.Close(file, &error)) {
        Throw(error);
    }
}

void CFile::Abort() {
    if (m_hFile == nullptr) {
        return;
    }
    FileHandle file = m_hFile;
    m_hFile = nullptr;
    FileError ignored;
    m_fileSystem.Close(file, &ignored);
}

void CReplacingFile::Throw(const FileError& error) const { ThrowFileError(error, m_strTarget); }

void CReplacingFile::Create(const std::string& target) {
    Abort();
    m_strTarget = target;
    FileError error;
    SaveTarget where;
    if (!m_fileSystem.InspectSaveTarget(target, &where, &error)) {
        Throw(error);
    }
    FileHandle file = nullptr;
    if (where.special) {
        if (!m_fileSystem.OpenSpecialForWriting(where.path, &file, &error)) {
            Throw(error);
        }
        m_hFile = file;
        return;
    }
    if (where.readOnly) {
        // As opening it for writing would be; the temporary file's rename
        // would otherwise get past the file's own protection.
        Throw({FileErrorCause::kAccessDenied, 0});
    }
    std::string tempPath;
    if (!m_fileSystem.CreateTemporaryBeside(where.path, &tempPath, &file, &error)) {
        Throw(error);
    }
    m_hFile = file;
    m_strReplacePath = where.path;
    m_strTempPath = tempPath;
}

void CReplacingFile::Write(const void* data, DWORD count) {
    FileError error;
    if (!WriteWhole(m_fileSystem, m_hFile, data, count, &error)) {
        Throw(error);
    }
}

void CReplacingFile::Commit() {
    if (m_hFile == nullptr) {
        Throw({FileErrorCause::kInvalidFile, 0});
    }
    FileHandle file = m_hFile;
    m_hFile = nullptr;
    FileError error;
    // A close can still fail (data that did not reach the disk): the target
    // must then stay as it was.
    if (!m_fileSystem.Close(file, &error)) {
        Abort();
        Throw(error);
    }
    if (m_strTempPath.empty()) {
        return;  // written in place
    }
    if (!m_fileSystem.Replace(m_strTempPath, m_strReplacePath, &error)) {
        Abort();
        Throw(error);
    }
    m_strTempPath.clear();
}

void CReplacingFile::Abort() {
    FileError ignored;
    if (m_hFile != nullptr) {
        m_fileSystem.Close(m_hFile, &ignored);
        m_hFile = nullptr;
    }
    if (!m_strTempPath.empty()) {
        m_fileSystem.Remove(m_strTempPath, &ignored);
        m_strTempPath.clear();
    }
}

void SaveFileReplacing(IFileSystem& fileSystem, const std::string& path, const void* data,
                       DWORD count) {
    CReplacingFile file(fileSystem);
    file.Create(path);
    file.Write(data, count);
    file.Commit();
}

}  // namespace marnel
