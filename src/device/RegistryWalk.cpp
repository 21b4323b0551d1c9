#include "device/RegistryWalk.h"

#include "device/AnsiText.h"

namespace marnel {

BOOL CRegKeyGuard::OpenRoot(const std::string& path) {
    return Open(kLocalMachine, path, path);
}

BOOL CRegKeyGuard::OpenBelow(const CRegKeyGuard& parent, const std::string& subkey) {
    return Open(parent.Get(), subkey, parent.Path() + "\\" + subkey);
}

BOOL CRegKeyGuard::Open(RegKey parent, const std::string& subkey, const std::string& path) {
    Close();
    RegKey key = nullptr;
    if (!m_walk.registry.OpenKey(parent, subkey, &key)) {
        m_walk.Fail("cannot open key " + path);
        return 0;
    }
    m_key = key;
    m_open = true;
    m_path = path;
    return 1;
}

void CRegKeyGuard::Close() {
    if (m_open) {
        m_walk.registry.CloseKey(m_key);
        m_open = false;
        m_key = nullptr;
    }
}

void RecordListingError(const CRegKeyGuard& key, DWORD index, DWORD errorCode) {
    key.Walk().Fail("listing subkey " + std::to_string(index) + " of " + key.Path() +
                    " failed with error " + std::to_string(errorCode));
}

BOOL ReadStringValue(const CRegKeyGuard& key, const std::string& valueName, std::string* text) {
    std::string bytes;
    if (!key.Walk().registry.QueryValue(key.Get(), valueName, &bytes) ||
        bytes.size() > kRegValueBytes) {
        return 0;
    }
    const std::size_t end = bytes.find('\0');
    if (end == std::string::npos) {
        // A shorter value still has room for its terminator in the buffer; a
        // full one has none and would be read past its end.
        if (bytes.size() == kRegValueBytes) {
            return 0;
        }
        *text = bytes;
        return 1;
    }
    *text = bytes.substr(0, end);
    return 1;
}

BOOL FindUsbPrintInstance(RegistryWalk& walk, const std::string& rootPath,
                          const std::string& driverName, const std::string& portName,
                          std::string* instanceName) {
    CRegKeyGuard usbPrint(walk);
    if (!usbPrint.OpenRoot(rootPath)) {
        return 0;
    }
    std::string found;
    const WalkStep result = ForEachSubkey(usbPrint, [&](const std::string& deviceName) {
        CRegKeyGuard device(walk);
        if (!device.OpenBelow(usbPrint, deviceName)) {
            return WalkStep::kFail;
        }
        return ForEachSubkey(device, [&](const std::string& name) {
            CRegKeyGuard instance(walk);
            if (!instance.OpenBelow(device, name)) {
                return WalkStep::kFail;
            }
            std::string description;
            if (!ReadStringValue(instance, "DeviceDesc", &description) ||
                !AnsiContains(walk.codePage, name, portName) ||
                !AnsiEqualsNoCase(walk.codePage, description, driverName)) {
                return WalkStep::kNext;
            }
            found = name;
            return WalkStep::kFound;
        });
    });
    if (result != WalkStep::kFound) {
        walk.Fail("no printer node below " + rootPath + " names port \"" + portName +
                  "\" with driver \"" + driverName + "\"");
        return 0;
    }
    *instanceName = found;
    return 1;
}

BOOL FindSymbolicLink(RegistryWalk& walk, const std::string& interfaceClass,
                      const std::vector<std::string>& needles, std::string* devicePath) {
    CRegKeyGuard classes(walk);
    if (!classes.OpenRoot(kDeviceClassesKey)) {
        return 0;
    }
    std::string link;
    const WalkStep result = ForEachSubkey(classes, [&](const std::string& className) {
        if (!AnsiEqualsNoCase(walk.codePage, className, interfaceClass)) {
            return WalkStep::kNext;
        }
        CRegKeyGuard classKey(walk);
        if (!classKey.OpenBelow(classes, className)) {
            return WalkStep::kFail;
        }
        return ForEachSubkey(classKey, [&](const std::string& interfaceName) {
            for (const std::string& needle : needles) {
                if (!AnsiContains(walk.codePage, interfaceName, needle)) {
                    return WalkStep::kNext;
                }
            }
            CRegKeyGuard interfaceKey(walk);
            CRegKeyGuard hashKey(walk);
            if (!interfaceKey.OpenBelow(classKey, interfaceName) ||
                !hashKey.OpenBelow(interfaceKey, "#")) {
                return WalkStep::kFail;
            }
            return ReadStringValue(hashKey, "SymbolicLink", &link) ? WalkStep::kFound
                                                                   : WalkStep::kNext;
        });
    });
    if (result != WalkStep::kFound) {
        walk.Fail("no device interface of class " + interfaceClass + " below " + kDeviceClassesKey +
                  " has a symbolic link");
        return 0;
    }
    *devicePath = link;
    return 1;
}

}  // namespace marnel
