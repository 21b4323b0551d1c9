// The NT family's walks: from the USB printer node (Enum\USBPRINT) to its
// parent USB device node (Enum\USB, by "ParentIdPrefix"), and from that
// node's interface class to the device-interface record (DeviceClasses).
#include "device/AnsiText.h"
#include "device/RegistryWalk.h"
#include "device/UsbPrinterPort.h"

namespace marnel {

BOOL CUsbPrinterPort::FindParentIdPrefix(const std::string& driverName, const std::string& portName,
                                         std::string* parentIdPrefix) {
    IRegistry& registry = m_services.registry;
    const ICodePage& codePage = m_services.codePage;
    CRegKeyGuard usbPrint(registry);
    if (!usbPrint.Open(kLocalMachine, kUsbPrintKeyNt)) {
        return 0;
    }
    std::string prefix;
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
                    // The instance is named <parent id prefix>&<port>: cut by
                    // length, wherever the port name stood.
                    const std::size_t cut = portName.size() + 1;
                    prefix = instanceName.size() > cut
                                 ? instanceName.substr(0, instanceName.size() - cut)
                                 : std::string();
                    return WalkStep::kFound;
                });
        });
    if (result != WalkStep::kFound) {
        return 0;
    }
    *parentIdPrefix = prefix;
    return 1;
}

BOOL CUsbPrinterPort::FindUsbDeviceByPrefix(const std::string& parentIdPrefix,
                                            std::string* deviceKeyName,
                                            std::string* instanceKeyName,
                                            std::string* interfaceClass) {
    IRegistry& registry = m_services.registry;
    const ICodePage& codePage = m_services.codePage;
    CRegKeyGuard usb(registry);
    if (!usb.Open(kLocalMachine, kUsbKeyNt)) {
        return 0;
    }
    std::string foundDevice;
    std::string foundInstance;
    std::string foundClass;
    const WalkStep result =
        ForEachSubkey(registry, usb.Get(), [&](const std::string& deviceName) -> WalkStep {
            CRegKeyGuard device(registry);
            if (!device.Open(usb.Get(), deviceName)) {
                return WalkStep::kFail;
            }
            return ForEachSubkey(
                registry, device.Get(), [&](const std::string& instanceName) -> WalkStep {
                    CRegKeyGuard instance(registry);
                    if (!instance.Open(device.Get(), instanceName)) {
                        return WalkStep::kFail;
                    }
                    std::string idPrefix;
                    if (!ReadStringValue(registry, instance.Get(), "ParentIdPrefix", &idPrefix)) {
                        idPrefix.clear();
                    }
                    if (!AnsiEqualsNoCase(codePage, idPrefix, parentIdPrefix)) {
                        return WalkStep::kNext;
                    }
                    CRegKeyGuard parameters(registry);
                    if (!parameters.Open(instance.Get(), "Device Parameters")) {
                        return WalkStep::kFail;
                    }
                    std::string symbolicName;
                    if (!ReadStringValue(registry, parameters.Get(), "SymbolicName",
                                         &symbolicName)) {
                        return WalkStep::kNext;
                    }
                    const std::size_t brace = AnsiFind(codePage, symbolicName, "{");
                    foundDevice = deviceName;
                    foundInstance = instanceName;
                    foundClass =
                        brace == std::string::npos ? symbolicName : symbolicName.substr(brace);
                    return WalkStep::kFound;
                });
        });
    if (result != WalkStep::kFound) {
        return 0;
    }
    *deviceKeyName = foundDevice;
    *instanceKeyName = foundInstance;
    *interfaceClass = foundClass;
    return 1;
}

BOOL CUsbPrinterPort::FindInterfaceLink(const std::string& deviceKeyName,
                                        const std::string& instanceKeyName,
                                        const std::string& interfaceClass,
                                        std::string* devicePath) {
    return FindSymbolicLink(m_services.registry, m_services.codePage, interfaceClass,
                            {deviceKeyName, instanceKeyName, interfaceClass}, devicePath);
}

}  // namespace marnel
