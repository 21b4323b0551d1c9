// CRegistryDeviceBus: the Windows way to a printer's unit. The registry
// walks lead from the printer's driver and port names to the device path of
// its USB interface, which opens with CreateFileA; the vendor requests go
// as the printing class driver's two device controls. The Windows back end
// and the simulator (and, for now, the Linux back end over the registry it
// presents) each build one over their own registry and device file.
#pragma once

#include <memory>
#include <string>

#include "platform/DeviceBus.h"
#include "platform/Types.h"

namespace marnel {

class ICodePage;
class IDeviceFile;
class IPlatformVersion;
class IRegistry;

class CRegistryDeviceBus : public IDeviceBus {
public:
    // The CreateFileA arguments every unit is opened with.
    static constexpr DWORD kOpenDesiredAccess = 0xC0000000;  // GENERIC_READ | GENERIC_WRITE
    static constexpr DWORD kOpenShareMode = 0;               // no sharing
    static constexpr DWORD kOpenCreationDisposition = 3;     // OPEN_EXISTING
    static constexpr DWORD kOpenFlagsAndAttributes = 0x80;   // FILE_ATTRIBUTE_NORMAL

    CRegistryDeviceBus(IPlatformVersion& version, IRegistry& registry, IDeviceFile& deviceFile,
                       const ICodePage& codePage);

    CRegistryDeviceBus(const CRegistryDeviceBus&) = delete;
    CRegistryDeviceBus& operator=(const CRegistryDeviceBus&) = delete;

    // The platform id picks the NT or the 95/98/Me family of walks. The
    // reference's id and location are the device path, its serial the one
    // the path carries, its model the printer's driver name.
    bool Locate(const PrinterInfo& printer, DeviceRef* ref, LocateFailure* failure) override;

    // Opens the device path with the CreateFileA arguments above; the link
    // closes the handle when it goes.
    std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref, std::string* error) override;

private:
    // Each walk writes its outputs only on success, and its cause of
    // failure to m_strCause.
    BOOL FindParentIdPrefix(const std::string& driverName, const std::string& portName,
                            std::string* parentIdPrefix);
    BOOL FindUsbDeviceByPrefix(const std::string& parentIdPrefix, std::string* deviceKeyName,
                               std::string* instanceKeyName, std::string* interfaceClass);
    BOOL FindInterfaceLink(const std::string& deviceKeyName, const std::string& instanceKeyName,
                           const std::string& interfaceClass, std::string* devicePath);
    BOOL FindUsbPrintIds9x(const std::string& driverName, const std::string& portName,
                           std::string* deviceId, std::string* instanceId);
    BOOL FindUsbDevice9x(const std::string& deviceId, const std::string& instanceId,
                         std::string* instancePart, std::string* interfaceClass);
    BOOL FindInterfaceLink9x(const std::string& instancePart, const std::string& interfaceClass,
                             std::string* devicePath);

    // The walks of the platform's family, from the printer to its device path.
    bool FindDevicePath(const PrinterInfo& printer, std::string* devicePath, OpenStep* step);

    IPlatformVersion& m_version;
    IRegistry& m_registry;
    IDeviceFile& m_deviceFile;
    const ICodePage& m_codePage;
    std::string m_strCause;
};

}  // namespace marnel
