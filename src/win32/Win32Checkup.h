// The machine checks of a Windows machine: the Print Spooler service, and
// the maker's USB device nodes that Windows has installed. The printers,
// their drivers and ports, and each printer's way through the registry to
// its device node are the core's checks (ops/Doctor), the same walks the
// window opens a device by.
#pragma once

#include "platform/MachineCheckup.h"
#include "platform/Registry.h"

namespace marnel {

class Win32Checkup : public IMachineCheckup {
public:
    explicit Win32Checkup(IRegistry& registry) : m_registry(registry) {}

    // The Print Spooler service, asked of the service control manager.
    std::vector<MachineCheck> SpoolerChecks() override;
    // The device nodes of the maker's vendor id below Enum\USB.
    std::vector<MachineCheck> DeviceChecks() override;
    // None of its own: the core follows each printer's port.
    std::vector<MachineCheck> QueueChecks() override { return {}; }

private:
    IRegistry& m_registry;
};

}  // namespace marnel
