// The device file: the device's USB interface opened by its path, a raw
// read of its data pipe and device control requests on it, as the Windows
// locator (device/RegistryDeviceBus) reaches a unit. Shaped like CreateFileA
// / ReadFile / DeviceIoControl / CloseHandle because the locator makes
// exactly those calls.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Types.h"

namespace marnel {

// --- The USB printing class driver's two vendor controls ------------------
//
// The input buffer is the request: byte 0 the request code (bRequest),
// bytes 1 and 2 the value (wValue, byte 1 the high byte), and for a set
// every further byte its data stage.

// Vendor set request: input = request buffer and its length; no output
// (null buffer, size 0).
constexpr DWORD kIoctlVendorSetCommand = 0x220038;
// Vendor get request: input = request buffer and its length; output = a
// reply buffer whose capacity is fixed per request.
constexpr DWORD kIoctlVendorGetCommand = 0x22003C;
// The request code and the two value bytes.
constexpr std::size_t kRequestHeaderSize = 3;

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
