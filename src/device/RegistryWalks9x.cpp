// The Windows 95/98/Me family's walks: the USB printer node (Enum\USBPRINT)
// names its USB device by vendor and product id; that device's node
// (Enum\USB) gives the instance and interface class in its "SymbolicName".
#include "device/AnsiText.h"
#include "device/RegistryWalk.h"
#include "device/UsbPrinterPort.h"

namespace marnel {

namespace {

constexpr std::size_t kDeviceIdChars = 17;    // "VID_xxxx&PID_xxxx"
constexpr std::size_t kDosDevicesChars = 12;  // "\DosDevices\" before the instance part

// substr that yields what there is instead of throwing past the end.
std::string Cut(const std::string& text, std::size_t pos, std::size_t count = std::string::npos) {
    return pos < text.size() ? text.substr(pos, count) : std::string();
}

}  // namespace

BOOL CUsbPrinterPort::FindUsbPrintIds9x(const std::string& driverName, const std::string& portName,
                                        std::string* deviceId, std::string* instanceId) {
    IRegistry& registry = m_services.registry;
    const ICodePage& codePage = m_services.codePage;
    CRegKeyGuard usbPrint(registry);
    if (!usbPrint.Open(kLocalMachine, kUsbPrintKey9x)) {
        return 0;
    }
    std::string matchName;
    const WalkStep result =
        ForEachSubkey(registry, usbPrint.Get(), [&](const std::string& deviceName) -> WalkStep {
            CRegKeyGuard device(registry);
            if (!device.Open(usbPrint.Get(), deviceName)) {
                return WalkStep::kFail;
            }
            return ForEachSubkey(
                registry, device.Get(), [&](const std::string& instanceName) -> WalkStep {
                    CRegKeyGuard instance(registry);
                    if (!instance.Open(device.Get(), instanceName)) {
                        return WalkStep::kFail;
                    }
                    std::string description;
                    if (!ReadStringValue(registry, instance.Get(), "DeviceDesc", &description) ||
                        !AnsiContains(codePage, instanceName, portName) ||
                        !AnsiEqualsNoCase(codePage, description, driverName)) {
                        return WalkStep::kNext;
                    }
                    matchName = instanceName;
                    return WalkStep::kFound;
                });
        });
    if (result != WalkStep::kFound) {
        return 0;
    }
    // Without a "VID" the ids are cut from the start of the name, and the
    // separator after the device id is not skipped.
    const std::size_t vid = AnsiFind(codePage, matchName, "VID");
    const std::size_t start = vid == std::string::npos ? 0 : vid;
    const std::size_t rest = vid == std::string::npos ? kDeviceIdChars : vid + kDeviceIdChars + 1;
    *deviceId = Cut(matchName, start, kDeviceIdChars);
    *instanceId = Cut(matchName, rest);
    return 1;
}

BOOL CUsbPrinterPort::FindUsbDevice9x(const std::string& deviceId, const std::string& instanceId,
                                      std::string* instancePart, std::string* interfaceClass) {
    IRegistry& registry = m_services.registry;
    const ICodePage& codePage = m_services.codePage;
    CRegKeyGuard usb(registry);
    if (!usb.Open(kLocalMachine, kUsbKey9x)) {
        return 0;
    }
    std::string symbolicName;
    const WalkStep result =
        ForEachSubkey(registry, usb.Get(), [&](const std::string& deviceName) -> WalkStep {
            if (!AnsiEqualsNoCase(codePage, deviceName, deviceId)) {
                return WalkStep::kNext;
            }
            CRegKeyGuard device(registry);
            if (!device.Open(usb.Get(), deviceName)) {
                return WalkStep::kFail;
            }
            return ForEachSubkey(
                registry, device.Get(), [&](const std::string& instanceName) -> WalkStep {
                    if (!AnsiEqualsNoCase(codePage, instanceName, instanceId)) {
                        return WalkStep::kNext;
                    }
                    CRegKeyGuard instance(registry);
                    if (!instance.Open(device.Get(), instanceName)) {
                        return WalkStep::kFail;
                    }
                    return ReadStringValue(registry, instance.Get(), "SymbolicName", &symbolicName)
                               ? WalkStep::kFound
                               : WalkStep::kNext;
                });
        });
    if (result != WalkStep::kFound) {
        return 0;
    }
    // "\DosDevices\<instance part>#<interface class>". The first 12 characters
    // are skipped unchecked; a "#" among them leaves the instance part empty.
    const std::size_t hash = AnsiFind(codePage, symbolicName, "#");
    if (hash == std::string::npos) {
        *instancePart = std::string();
        *interfaceClass = symbolicName;
    } else {
        *instancePart = hash > kDosDevicesChars
                            ? symbolicName.substr(kDosDevicesChars, hash - kDosDevicesChars)
                            : std::string();
        *interfaceClass = symbolicName.substr(hash + 1);
    }
    return 1;
}

BOOL CUsbPrinterPort::FindInterfaceLink9x(const std::string& instancePart,
                                          const std::string& interfaceClass,
                                          std::string* devicePath) {
    return FindSymbolicLink(m_services.registry, m_services.codePage, interfaceClass,
                            {instancePart, interfaceClass}, devicePath);
}

}  // namespace marnel
