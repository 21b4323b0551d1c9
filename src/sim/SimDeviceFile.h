// The device file of the simulated world: simulated devices answer at the
// paths they are attached to, as a USB interface answers at its symbolic
// link. Opening is exclusive, like the real interface opened without sharing.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/DeviceFile.h"

namespace marnel {

class SimDevice;

class SimDeviceFile : public IDeviceFile {
public:
    // One call to Open, as received.
    struct OpenCall {
        std::string path;
        DWORD desiredAccess = 0;
        DWORD shareMode = 0;
        void* securityAttributes = nullptr;
        DWORD creationDisposition = 0;
        DWORD flagsAndAttributes = 0;
        HANDLE templateFile = nullptr;
        HANDLE result = nullptr;
    };

    // Makes `device` answer at `path` (letter case ignored, as device paths
    // are). The device must outlive its attachment.
    void Attach(const std::string& path, SimDevice& device);
    // Unplugs the device at `path`: opens fail, and handles still open on it
    // fail every call but Close.
    void Detach(const std::string& path);

    HANDLE Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                HANDLE templateFile) override;
    BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped) override;
    BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer,
                   DWORD outSize, DWORD* bytesReturned, void* overlapped) override;
    BOOL Close(HANDLE device) override;

    const std::vector<OpenCall>& Opens() const { return m_opens; }
    // Every Close call with its handle, including failed ones.
    const std::vector<HANDLE>& Closes() const { return m_closes; }
    std::size_t OpenHandleCount() const { return m_handles.size(); }
    // Calls made with a handle that was never opened or is closed.
    std::size_t BadHandleCalls() const { return m_badHandleCalls; }

private:
    // The attachment a handle is bound to; a detached device leaves a null.
    struct Attachment {
        std::string key;
        SimDevice* device = nullptr;
    };

    static std::string Key(const std::string& path);
    SimDevice* DeviceOf(HANDLE handle);

    std::map<std::string, SimDevice*> m_devices;  // by lower-case path
    std::map<HANDLE, Attachment> m_handles;
    std::uintptr_t m_nextHandle = 0x100;
    std::vector<OpenCall> m_opens;
    std::vector<HANDLE> m_closes;
    std::size_t m_badHandleCalls = 0;
};

}  // namespace marnel
