#include "win32/Win32FileSystem.h"

#include <windows.h>

#include "win32/Win32FileErrorCauses.h"

namespace marnel {

namespace {

bool FailLastError(FileError* error) {
    ::DWORD code = ::GetLastError();
    if (error != nullptr) {
        error->cause = FileErrorCauseFromWin32(code);
        error->osError = static_cast<long>(code);
    }
    return false;
}

::HANDLE AsHandle(FileHandle file) {
    return static_cast<::HANDLE>(file);
}

bool OpenWith(const std::string& path, ::DWORD access, ::DWORD disposition, FileHandle* file,
              FileError* error) {
    ::HANDLE handle = ::CreateFileA(path.c_str(), access, 0 /* no sharing */, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FailLastError(error);
    }
    *file = handle;
    return true;
}

// The folder part of a path, found a character at a time so that a
// double-byte character whose second byte is a backslash does not end it.
std::string FolderOf(const std::string& path) {
    std::size_t cut = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (::IsDBCSLeadByte(c) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':') {
            cut = i;
        }
    }
    if (cut == std::string::npos) {
        return ".";
    }
    return path.substr(0, cut + 1);
}

}  // namespace

bool Win32FileSystem::OpenRead(const std::string& path, FileHandle* file, FileError* error) {
    return OpenWith(path, GENERIC_READ, OPEN_EXISTING, file, error);
}

bool Win32FileSystem::OpenReadShared(const std::string& path, FileHandle* file,
                                     FileError* error) {
    ::HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FailLastError(error);
    }
    *file = handle;
    return true;
}

bool Win32FileSystem::OpenReadBesideWriters(const std::string& path, FileHandle* file,
                                            FileError* error) {
    ::HANDLE handle =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FailLastError(error);
    }
    *file = handle;
    return true;
}

bool Win32FileSystem::Create(const std::string& path, FileHandle* file, FileError* error) {
    return OpenWith(path, GENERIC_WRITE, CREATE_ALWAYS, file, error);
}

bool Win32FileSystem::CreateTemporaryBeside(const std::string& target, std::string* tempPath,
                                            FileHandle* file, FileError* error) {
    char name[MAX_PATH];
    // Makes an empty file with a unique name in the target's folder.
    if (::GetTempFileNameA(FolderOf(target).c_str(), "mrn", 0, name) == 0) {
        return FailLastError(error);
    }
    if (!OpenWith(name, GENERIC_WRITE, CREATE_ALWAYS, file, error)) {
        ::DeleteFileA(name);
        return false;
    }
    *tempPath = name;
    return true;
}

bool Win32FileSystem::InspectSaveTarget(const std::string& path, SaveTarget* target,
                                        FileError* /*error*/) {
    *target = SaveTarget{path, false, false};
    // Opened for nothing but its facts; a path that opens not at all is a new
    // file or an error the save itself will meet.
    ::HANDLE handle = ::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return true;
    }
    const ::DWORD type = ::GetFileType(handle);
    target->special = type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
    const ::DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (!target->special && attributes != INVALID_FILE_ATTRIBUTES) {
        target->readOnly = (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
                           FILE_ATTRIBUTE_READONLY;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // The file a link leads to, without the "\\?\" the call puts first.
            char final[MAX_PATH + 8];
            const ::DWORD length =
                ::GetFinalPathNameByHandleA(handle, final, sizeof final, FILE_NAME_NORMALIZED);
            if (length > 4 && length < sizeof final) {
                const std::string resolved(final, length);
                target->path = resolved.compare(0, 4, "\\\\?\\") == 0 ? resolved.substr(4) : resolved;
            }
        }
    }
    ::CloseHandle(handle);
    return true;
}

bool Win32FileSystem::OpenSpecialForWriting(const std::string& path, FileHandle* file,
                                            FileError* error) {
    return OpenWith(path, GENERIC_WRITE, OPEN_EXISTING, file, error);
}

bool Win32FileSystem::MakeFolders(const std::string& path, FileError* error) {
    // Each folder from the top down; a drive or share root exists already.
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/') {
            continue;
        }
        const std::string folder = path.substr(0, i);
        if (folder.empty() || folder.back() == ':' || folder.back() == '\\') {
            continue;
        }
        if (!::CreateDirectoryA(folder.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return FailLastError(error);
        }
    }
    const ::DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return FailLastError(error);
    }
    return true;
}

bool Win32FileSystem::CreateNew(const std::string& path, FileHandle* file, bool* exists,
                                FileError* error) {
    *exists = false;
    if (OpenWith(path, GENERIC_WRITE, CREATE_NEW, file, error)) {
        return true;
    }
    const auto code = error != nullptr ? static_cast<::DWORD>(error->osError) : 0;
    *exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    return false;
}

bool Win32FileSystem::OpenAppend(const std::string& path, unsigned waitMilliseconds,
                                 FileHandle* file, FileError* error) {
    // Append access alone: every write goes to the end. Sharing reads lets
    // readers in and keeps every other writer out, who then retries in short
    // naps until its time is up.
    const ::ULONGLONG deadline = ::GetTickCount64() + waitMilliseconds;
    for (;;) {
        ::HANDLE handle = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            *file = handle;
            return true;
        }
        const ::DWORD code = ::GetLastError();
        const ::ULONGLONG now = ::GetTickCount64();
        if ((code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION) || now >= deadline) {
            ::SetLastError(code);
            return FailLastError(error);
        }
        ::Sleep(static_cast<::DWORD>(deadline - now < 10 ? deadline - now : 10));
    }
}

bool Win32FileSystem::ListFiles(const std::string& folder, std::vector<std::string>* names,
                                FileError* error) {
    WIN32_FIND_DATAA found;
    ::HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return FailLastError(error);
    }
    names->clear();
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names->push_back(found.cFileName);
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return true;
}

bool Win32FileSystem::GetPathKind(const std::string& path, PathKind* kind, FileError* error) {
    const ::DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const ::DWORD code = ::GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            return FailLastError(error);
        }
        *kind = PathKind::kNothing;
        return true;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *kind = PathKind::kFolder;
        return true;
    }
    // A device name (NUL, COM1) answers with attributes too: ask what it is.
    ::HANDLE handle = ::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    const bool disk = handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_DISK;
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
    }
    *kind = disk ? PathKind::kFile : PathKind::kOther;
    return true;
}

bool Win32FileSystem::Seek(FileHandle file, std::uint64_t offset, FileError* error) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(AsHandle(file), to, nullptr, FILE_BEGIN)) {
        return FailLastError(error);
    }
    return true;
}

bool Win32FileSystem::GetLength(FileHandle file, std::uint64_t* length, FileError* error) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(AsHandle(file), &size)) {
        return FailLastError(error);
    }
    *length = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool Win32FileSystem::Read(FileHandle file, void* buffer, DWORD count, DWORD* bytesRead,
                           FileError* error) {
    *bytesRead = 0;
    auto* out = static_cast<char*>(buffer);
    while (*bytesRead < count) {
        ::DWORD got = 0;
        if (!::ReadFile(AsHandle(file), out + *bytesRead, count - *bytesRead, &got, nullptr)) {
            return FailLastError(error);
        }
        if (got == 0) {
            break;
        }
        *bytesRead += got;
    }
    return true;
}

bool Win32FileSystem::Write(FileHandle file, const void* data, DWORD count, DWORD* written,
                            FileError* error) {
    ::DWORD put = 0;
    if (!::WriteFile(AsHandle(file), data, count, &put, nullptr)) {
        *written = put;
        return FailLastError(error);
    }
    *written = put;
    return true;
}

bool Win32FileSystem::Close(FileHandle file, FileError* error) {
    ::HANDLE handle = AsHandle(file);
    // Only a written file has anything to flush; on a read handle the call
    // fails with access denied, which is no error of the close.
    ::DWORD flushError = 0;
    if (!::FlushFileBuffers(handle)) {
        flushError = ::GetLastError();
    }
    if (!::CloseHandle(handle)) {
        return FailLastError(error);
    }
    if (flushError != 0 && flushError != ERROR_ACCESS_DENIED &&
        flushError != ERROR_INVALID_HANDLE) {
        ::SetLastError(flushError);
        return FailLastError(error);
    }
    return true;
}

bool Win32FileSystem::Replace(const std::string& source, const std::string& target,
                              FileError* error) {
    if (!::MoveFileExA(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return FailLastError(error);
    }
    return true;
}

bool Win32FileSystem::Remove(const std::string& path, FileError* error) {
    if (!::DeleteFileA(path.c_str())) {
        return FailLastError(error);
    }
    return true;
}

}  // namespace marnel
