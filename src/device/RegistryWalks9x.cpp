// The Windows 95/98/Me family's walks: the USB printer node (Enum\USBPRINT)
// names its USB device by vendor and product id; that device's node
// (Enum\USB) gives the instance and interface class in its "SymbolicName".
#include "device/AnsiText.h"
#include "device/RegistryDeviceBus.h"
#include "device/RegistryWalk.h"

namespace marnel {

namespace {

constexpr std::size_t kDeviceIdChars = 17;    // "VID_xxxx&PID_xxxx"
constexpr std::size_t kDosDevicesChars = 12;  // "\DosDevices\" before the instance part

// substr that yields what there is instead of throwing past the end.
std::string Cut(const std::string& text, std::size_t pos, std::size_t count = std::string::npos) {
    return pos < text.size() ? text.substr(pos, count) : std::string();
}

}  // namespace

BOOL CRegistryDeviceBus::FindUsbPrintIds9x(const std::string& driverName,
                                           const std::string& portName, std::string* deviceId,
                                           std::string* instanceId) {
    RegistryWalk walk{m_registry, m_codePage, {}};
    std::string name;
    if (!FindUsbPrintInstance(walk, kUsbPrintKey9x, driverName, portName, &name)) {
        m_strCause = walk.failureCause;
        return 0;
    }
    // Without a "VID" the ids are cut from the start of the name, and the
    // separator after the device id is not skipped.
    const std::size_t vid = AnsiFind(walk.codePage, name, "VID");
    const std::size_t start = vid == std::string::npos ? 0 : vid;
    const std::size_t rest = vid == std::string::npos ? kDeviceIdChars : vid + kDeviceIdChars + 1;
    *deviceId = Cut(name, start, kDeviceIdChars);
    *instanceId = Cut(name, rest);
    return 1;
}

BOOL CRegistryDeviceBus::FindUsbDevice9x(const std::string& deviceId, const std::string& instanceId,
                                         std::string* instancePart, std::string* interfaceClass) {
    RegistryWalk walk{m_registry, m_codePage, {}};
    CRegKeyGuard usb(walk);
    if (!usb.OpenRoot(kUsbKey9x)) {
        m_strCause = walk.failureCause;
        return 0;
    }
    std::string symbolicName;
    const WalkStep result = ForEachSubkey(usb, [&](const std::string& deviceName) {
        if (!AnsiEqualsNoCase(walk.codePage, deviceName, deviceId)) {
            return WalkStep::kNext;
        }
        CRegKeyGuard device(walk);
        if (!device.OpenBelow(usb, deviceName)) {
            return WalkStep::kFail;
        }
        return ForEachSubkey(device, [&](const std::string& instanceName) {
            if (!AnsiEqualsNoCase(walk.codePage, instanceName, instanceId)) {
                return WalkStep::kNext;
            }
            CRegKeyGuard instance(walk);
            if (!instance.OpenBelow(device, instanceName)) {
                return WalkStep::kFail;
            }
            return ReadStringValue(instance, "SymbolicName", &symbolicName) ? WalkStep::kFound
                                                                            : WalkStep::kNext;
        });
    });
    if (result != WalkStep::kFound) {
        walk.Fail("no USB device " + std::string(kUsbKey9x) + "\\" + deviceId + "\\" + instanceId +
                  " has a symbolic name");
        m_strCause = walk.failureCause;
        return 0;
    }
    // "\DosDevices\<instance part>#<interface class>". The first 12 characters
    // are skipped unchecked; a "#" among them leaves the instance part empty.
    const std::size_t hash = AnsiFind(walk.codePage, symbolicName, "#");
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

BOOL CRegistryDeviceBus::FindInterfaceLink9x(const std::string& instancePart,
                                             const std::string& interfaceClass,
                                             std::string* devicePath) {
    RegistryWalk walk{m_registry, m_codePage, {}};
    if (!FindSymbolicLink(walk, interfaceClass, {instancePart, interfaceClass}, devicePath)) {
        m_strCause = walk.failureCause;
        return 0;
    }
    return 1;
}

}  // namespace marnel
