// The device file on libusb-1.0. The path is the interface path the port
// resolution finds (\\?\USB#VID_xxxx&PID_xxxx#<serial>#{...}); the two vendor
// controls become vendor control transfers on the printer interface, and
// Read takes the report from the bulk IN pipe.
//
// Vendor control requests need no claim, so CUPS keeps the device while the
// protocol talks to it. Only the first Read claims the interface (detaching
// the kernel printer driver); Close releases it, which re-attaches the driver.
#pragma once

#include <string>

#include "platform/DeviceFile.h"

namespace marnel {

class LibusbSession;

class LibusbDeviceFile : public IDeviceFile {
public:
    struct Timeouts {
        unsigned controlMs = 2000;  // one vendor request
        unsigned readMs = 1000;     // one bulk IN read; a time-out is "no byte"
    };

    explicit LibusbDeviceFile(LibusbSession& session) : LibusbDeviceFile(session, Timeouts()) {}
    LibusbDeviceFile(LibusbSession& session, const Timeouts& timeouts);
    ~LibusbDeviceFile() override;

    HANDLE Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                HANDLE templateFile) override;
    BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped) override;
    BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize,
                   void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                   void* overlapped) override;
    BOOL Close(HANDLE device) override;

    // The cause of the last failure ("vendor get F0 00 08: LIBUSB_ERROR_PIPE ..."),
    // empty after a success.
    const std::string& LastError() const { return m_strLastError; }

private:
    struct Device;

    LibusbSession& m_session;
    Timeouts m_timeouts;
    std::string m_strLastError;
};

}  // namespace marnel
