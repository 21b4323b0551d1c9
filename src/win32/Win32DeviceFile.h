// The device file back end: CreateFileA / ReadFile / DeviceIoControl /
// CloseHandle, arguments and results passed through unchanged.
#pragma once

#include "platform/DeviceFile.h"

namespace marnel {

class Win32DeviceFile : public IDeviceFile {
public:
    HANDLE Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                HANDLE templateFile) override;
    BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped) override;
    BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize,
                   void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                   void* overlapped) override;
    BOOL Close(HANDLE device) override;
};

}  // namespace marnel
