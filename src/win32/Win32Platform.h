// The real machine as one PlatformServices: every Windows back end, owned
// here with the registry locator over them, so that a front end makes one
// of these and hands Services() to the core.
#pragma once

#include "device/RegistryDeviceBus.h"
#include "platform/Services.h"
#include "win32/Win32DeviceFile.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Hashing.h"
#include "win32/Win32Registry.h"
#include "win32/Win32Spooler.h"
#include "win32/Win32System.h"

namespace marnel {

class Win32Platform {
public:
    Win32Platform() = default;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    PlatformServices Services() {
        return PlatformServices{m_spooler,     m_devices,      m_clock,   m_codePage,
                                &m_fileSystem, &m_environment, &m_hashing};
    }

    Win32PlatformVersion& Version() { return m_version; }
    Win32Spooler& Spooler() { return m_spooler; }
    Win32Registry& Registry() { return m_registry; }
    Win32DeviceFile& DeviceFile() { return m_deviceFile; }
    Win32Clock& Clock() { return m_clock; }
    Win32CodePage& CodePage() { return m_codePage; }
    Win32FileSystem& FileSystem() { return m_fileSystem; }

private:
    Win32PlatformVersion m_version;
    Win32Spooler m_spooler;
    Win32Registry m_registry;
    Win32DeviceFile m_deviceFile;
    Win32Clock m_clock;
    Win32CodePage m_codePage;
    Win32FileSystem m_fileSystem;
    Win32Environment m_environment;
    Win32Hashing m_hashing;
    // The registry walks over this machine's registry and device file.
    CRegistryDeviceBus m_devices{m_version, m_registry, m_deviceFile, m_codePage};
};

}  // namespace marnel
