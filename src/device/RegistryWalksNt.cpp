// The NT family's walks: from the USB printer node (Enum\USBPRINT) to its
// parent USB device node (Enum\USB, by "ParentIdPrefix"), and from that
// node's interface class to the device-interface record (DeviceClasses).
#include "device/AnsiText.h"
#include "device/RegistryDeviceBus.h"
#include "device/RegistryWalk.h"

namespace marnel {

BOOL CRegistryDeviceBus::FindParentIdPrefix(const std::string& driverName,
                                            const std::string& portName,
                                            std::string* parentIdPrefix) {
    RegistryWalk walk{m_registry, m_codePage, {}};
    std::string instanceName;
    if (!FindUsbPrintInstance(walk, kUsbPrintKeyNt, driverName, portName, &instanceName)) {
        m_strCause = walk.failureCause;
        return 0;
    }
    // The instance is named <parent id prefix>&<port>: cut by length,
    // wherever the port name stood.
    const std::size_t cut = portName.size() + 1;
    *parentIdPrefix =
        instanceName.size() > cut ? instanceName.substr(0, instanceName.size() - cut) : "";
    return 1;
}

BOOL CRegistryDeviceBus::FindUsbDeviceByPrefix(const std::string& parentIdPrefix,
                                               std::string* deviceKeyName,
                                               std::string* instanceKeyName,
                                               std::string* interfaceClass) {
    RegistryWalk walk{m_registry, m_codePage, {}};
    CRegKeyGuard usb(walk);
    if (!usb.OpenRoot(kUsbKeyNt)) {
        m_strCause = walk.failureCause;
        return 0;
    }
    std::string foundDevice;
    std::string foundInstance;
    std::string symbolicName;
    const WalkStep result = ForEachSubkey(usb, [&](const std::string& deviceName) {
        CRegKeyGuard device(walk);
        if (!device.OpenBelow(usb, deviceName)) {
            return WalkStep::kFail;
        }
        return ForEachSubkey(device, [&](const std::string& instanceName) {
            CRegKeyGuard instance(walk);
            if (!instance.OpenBelow(device, instanceName)) {
                return WalkStep::kFail;
            }
            std::string idPrefix;  // stays empty when unreadable
            ReadStringValue(instance, "ParentIdPrefix", &idPrefix);
            if (!AnsiEqualsNoCase(walk.codePage, idPrefix, parentIdPrefix)) {
                return WalkStep::kNext;
            }
            CRegKeyGuard parameters(walk);
            if (!parameters.OpenBelow(instance, "Device Parameters")) {
                return WalkStep::kFail;
            }
            if (!ReadStringValue(parameters, "SymbolicName", &symbolicName)) {
                return WalkStep::kNext;
            }
            foundDevice = deviceName;
            foundInstance = instanceName;
            return WalkStep::kFound;
        });
    });
    if (result != WalkStep::kFound) {
        walk.Fail("no USB device below " + std::string(kUsbKeyNt) + " has parent id prefix \"" +
                  parentIdPrefix + "\" and a symbolic name");
        m_strCause = walk.failureCause;
        return 0;
    }
    const std::size_t brace = AnsiFind(walk.codePage, symbolicName, "{");
    *deviceKeyName = foundDevice;
    *instanceKeyName = foundInstance;
    *interfaceClass = brace == std::string::npos ? symbolicName : symbolicName.substr(brace);
    return 1;
}

BOOL CRegistryDeviceBus::FindInterfaceLink(const std::string& deviceKeyName,
                                           const std::string& instanceKeyName,
                                           const std::string& interfaceClass,
                                           std::string* devicePath) {
    RegistryWalk walk{m_registry, m_codePage, {}};
    if (!FindSymbolicLink(walk, interfaceClass, {deviceKeyName, instanceKeyName, interfaceClass},
                          devicePath)) {
        m_strCause = walk.failureCause;
        return 0;
    }
    return 1;
}

}  // namespace marnel
