#include "sim/SimDeviceFile.h"

#include <cctype>

#include "sim/SimDevice.h"

namespace marnel {

std::string SimDeviceFile::Key(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

void SimDeviceFile::Attach(const std::string& path, SimDevice& device) {
    m_devices[Key(path)] = &device;
}

void SimDeviceFile::Detach(const std::string& path) {
    const std::string key = Key(path);
    m_devices.erase(key);
    for (auto& [handle, attachment] : m_handles) {
        if (attachment.key == key) {
            attachment.device = nullptr;
        }
    }
}

HANDLE SimDeviceFile::Open(const std::string& path, DWORD desiredAccess, DWORD shareMode,
                           void* securityAttributes, DWORD creationDisposition,
                           DWORD flagsAndAttributes, HANDLE templateFile) {
    OpenCall call{path,
                  desiredAccess,
                  shareMode,
                  securityAttributes,
                  creationDisposition,
                  flagsAndAttributes,
                  templateFile,
                  InvalidHandle()};
    const std::string key = Key(path);
    const auto found = m_devices.find(key);
    // Exclusive per device, not per path: one device may answer at several.
    bool inUse = false;
    if (found != m_devices.end()) {
        for (const auto& [handle, attachment] : m_handles) {
            inUse = inUse || attachment.device == found->second;
        }
    }
    if (found != m_devices.end() && !inUse) {
        const HANDLE handle = reinterpret_cast<HANDLE>(m_nextHandle);
        m_nextHandle += 4;
        m_handles[handle] = Attachment{key, found->second};
        call.result = handle;
    }
    m_opens.push_back(call);
    return call.result;
}

SimDevice* SimDeviceFile::DeviceOf(HANDLE handle) {
    const auto found = m_handles.find(handle);
    if (found == m_handles.end()) {
        ++m_badHandleCalls;
        return nullptr;
    }
    return found->second.device;
}

BOOL SimDeviceFile::Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                         void* overlapped) {
    SimDevice* target = DeviceOf(device);
    if (target == nullptr || overlapped != nullptr) {
        return 0;  // the device is opened without overlapped I/O
    }
    return target->Read(static_cast<std::uint8_t*>(buffer), bytesToRead, bytesRead);
}

BOOL SimDeviceFile::IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize,
                              void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                              void* overlapped) {
    SimDevice* target = DeviceOf(device);
    if (target == nullptr || overlapped != nullptr) {
        return 0;
    }
    return target->IoControl(controlCode, static_cast<const std::uint8_t*>(inBuffer), inSize,
                             static_cast<std::uint8_t*>(outBuffer), outSize, bytesReturned);
}

BOOL SimDeviceFile::Close(HANDLE device) {
    m_closes.push_back(device);
    const auto found = m_handles.find(device);
    if (found == m_handles.end()) {
        ++m_badHandleCalls;
        return 0;
    }
    m_handles.erase(found);
    return 1;
}

}  // namespace marnel
