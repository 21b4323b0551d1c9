// The registry, as the port resolution reads it, presented from the attached
// USB printer-class devices and the CUPS queues that name them, so that the
// core's walks run unchanged on Linux:
//
//   SYSTEM\CurrentControlSet\Enum\USBPRINT\<model key>\<prefix>&<port>
//       DeviceDesc = the queue's driver name (make and model)
//   SYSTEM\CurrentControlSet\Enum\USB\VID_xxxx&PID_xxxx\<serial>
//       ParentIdPrefix = <prefix>
//       Device Parameters\SymbolicName = \??\USB#VID_xxxx&PID_xxxx#<serial>#{class}
//   SYSTEM\CurrentControlSet\Control\DeviceClasses\{class}\##?#USB#...#{class}\#
//       SymbolicLink = \\?\USB#VID_xxxx&PID_xxxx#<serial>#{class}
//
// A device gets one USBPRINT entry per queue whose usb:// device URI names it,
// or, with no queue, one with the URI its queue would have. The facts are
// fetched afresh when a walk starts (no key open) and the last fetch is older
// than the refresh interval.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryTree.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

// A printer queue's driver name and port name (device URI).
struct QueuePort {
    std::string driverName;
    std::string portName;
};

// Adds the keys for these devices and queues to `tree`.
void BuildUsbRegistryTree(const std::vector<UsbPrinterDevice>& devices,
                          const std::vector<QueuePort>& queues, RegistryTree* tree);

// The port a device is reached by when no queue names it; empty for a device
// whose maker and model are unknown.
std::string QueuelessPortName(const UsbPrinterDevice& device);

class UsbRegistry : public IRegistry {
public:
    // Fetches the current devices and queues; false when nothing could be had.
    using Snapshot =
        std::function<bool(std::vector<UsbPrinterDevice>* devices, std::vector<QueuePort>* queues)>;

    explicit UsbRegistry(Snapshot snapshot,
                         std::chrono::milliseconds refreshInterval = std::chrono::milliseconds(1000));
    ~UsbRegistry() override;

    BOOL OpenKey(RegKey parent, const std::string& subkey, RegKey* key) override;
    RegEnumStatus EnumKey(RegKey key, DWORD index, std::string* name, DWORD* errorCode) override;
    BOOL QueryValue(RegKey key, const std::string& valueName, std::string* bytes) override;
    void CloseKey(RegKey key) override;

private:
    void Refresh();

    Snapshot m_snapshot;
    std::chrono::milliseconds m_refreshInterval;
    RegistryTree m_tree;
    bool m_fetched = false;
    std::chrono::steady_clock::time_point m_fetchedAt;
};

}  // namespace marnel
