// The device file: the device's USB interface opened by its path, a raw
// read of its data pipe and device control requests on it. Shaped like
// CreateFileA / ReadFile / DeviceIoControl / CloseHandle because the core
// passes those arguments through unchanged.
#pragma once

#include <string>

#include "platform/Types.h"

namespace marnel {

class IDeviceFile {
public:
    virtual ~IDeviceFile() = default;

    // Opens the device at `path` with the six CreateFileA arguments as given.
    // Returns the handle, or InvalidHandle() on failure.
    virtual HANDLE Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                        void* securityAttributes, DWORD creationDisposition,
                        DWORD flagsAndAttributes, HANDLE templateFile) = 0;

    // Reads up to `bytesToRead` bytes from the data pipe. Non-zero on success;
    // a success may deliver 0 bytes (*bytesRead = 0), e.g. on a read time-out.
    virtual BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                      void* overlapped) = 0;

    // Sends a device control request. Non-zero on success; *bytesReturned
    // holds the count the driver placed in `outBuffer`.
    virtual BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize,
                           void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                           void* overlapped) = 0;

    // Closes a handle returned by Open. Non-zero on success.
    virtual BOOL Close(HANDLE device) = 0;
};

}  // namespace marnel
