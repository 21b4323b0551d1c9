#include "win32/Win32DeviceFile.h"

#include "win32/WindowsApi.h"

namespace marnel {

HANDLE Win32DeviceFile::Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                             void* securityAttributes, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile) {
    return CreateFileA(path.c_str(), desiredAccess, shareMode,
                       static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes),
                       creationDisposition, flagsAndAttributes, templateFile);
}

// The core's DWORD is 32 bits wide, as is the API's, but the two are distinct
// types (unsigned int, unsigned long), so counts go through a local.
BOOL Win32DeviceFile::Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                           void* overlapped) {
    ::DWORD count = bytesRead != nullptr ? *bytesRead : 0;
    const BOOL ok = ReadFile(device, buffer, bytesToRead, bytesRead != nullptr ? &count : nullptr,
                             static_cast<LPOVERLAPPED>(overlapped));
    if (bytesRead != nullptr) {
        *bytesRead = static_cast<DWORD>(count);
    }
    return ok;
}

BOOL Win32DeviceFile::IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize,
                                void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                                void* overlapped) {
    ::DWORD count = bytesReturned != nullptr ? *bytesReturned : 0;
    const BOOL ok = DeviceIoControl(device, controlCode, inBuffer, inSize, outBuffer, outSize,
                                    bytesReturned != nullptr ? &count : nullptr,
                                    static_cast<LPOVERLAPPED>(overlapped));
    if (bytesReturned != nullptr) {
        *bytesReturned = static_cast<DWORD>(count);
    }
    return ok;
}

BOOL Win32DeviceFile::Close(HANDLE device) { return CloseHandle(device); }

}  // namespace marnel
