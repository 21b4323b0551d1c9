#include "device/RegistryWalk.h"

#include "device/AnsiText.h"

namespace marnel {

const char kUsbPrintKeyNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USBPRINT";
const char kUsbKeyNt[] = "SYSTEM\\CurrentControlSet\\Enum\\USB";
const char kDeviceClassesKey[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";
const char kUsbPrintKey9x[] = "Enum\\USBPRINT";
const char kUsbKey9x[] = "Enum\\USB";

BOOL CRegKeyGuard::Open(RegKey parent, const std::string& subkey) {
    Close();
    RegKey key = nullptr;
    if (!m_registry.OpenKey(parent, subkey, &key)) {
        return 0;
    }
    m_key = key;
    m_open = true;
    return 1;
}

void CRegKeyGuard::Close() {
    if (m_open) {
        m_registry.CloseKey(m_key);
        m_open = false;
        m_key = nullptr;
    }
}

BOOL ReadStringValue(IRegistry& registry, RegKey key, const std::string& valueName,
                     std::string* text) {
    std::string bytes;
    if (!registry.QueryValue(key, valueName, &bytes) || bytes.size() > kRegValueBytes) {
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

BOOL FindSymbolicLink(IRegistry& registry, const ICodePage& codePage,
                      const std::string& interfaceClass, const std::vector<std::string>& needles,
                      std::string* devicePath) {
    CRegKeyGuard classes(registry);
    if (!classes.Open(kLocalMachine, kDeviceClassesKey)) {
        return 0;
    }
    std::string link;
    const WalkStep result =
        ForEachSubkey(registry, classes.Get(), [&](const std::string& className) -> WalkStep {
            if (!AnsiEqualsNoCase(codePage, className, interfaceClass)) {
                return WalkStep::kNext;
            }
            CRegKeyGuard classKey(registry);
            if (!classKey.Open(classes.Get(), className)) {
                return WalkStep::kFail;
            }
            return ForEachSubkey(
                registry, classKey.Get(), [&](const std::string& interfaceName) -> WalkStep {
                    for (const std::string& needle : needles) {
                        if (!AnsiContains(codePage, interfaceName, needle)) {
                            return WalkStep::kNext;
                        }
                    }
                    CRegKeyGuard interfaceKey(registry);
                    CRegKeyGuard hashKey(registry);
                    if (!interfaceKey.Open(classKey.Get(), interfaceName) ||
                        !hashKey.Open(interfaceKey.Get(), "#")) {
                        return WalkStep::kFail;
                    }
                    return ReadStringValue(registry, hashKey.Get(), "SymbolicLink", &link)
                               ? WalkStep::kFound
                               : WalkStep::kNext;
                });
        });
    if (result != WalkStep::kFound) {
        return 0;
    }
    *devicePath = link;
    return 1;
}

}  // namespace marnel
