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
// The printer nodes are the ports PlanUsbPorts presents. Every device gets an
// instance name (its serial, or its bus location when the serial could be
// mistaken for part of another device's names) and a parent id prefix that
// no other device shares. The facts are fetched afresh when a walk starts
// (no key open) and the last fetch is older than the refresh interval.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryTree.h"
#include "posix/UsbPortPlan.h"
#include "posix/UsbPrinterNames.h"

namespace marnel {

// Adds the keys for these devices and queues to `tree`.
void BuildUsbRegistryTree(const std::vector<UsbPrinterDevice>& devices,
                          const std::vector<QueuePort>& queues, RegistryTree* tree);

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
