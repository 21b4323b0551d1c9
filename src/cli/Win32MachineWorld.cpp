// This machine: the spooler's printers and the device nodes the registry
// walks find, through the Windows back ends.
#include <memory>

#include "cli/DeviceWorld.h"
#include "win32/Win32Checkup.h"
#include "win32/Win32Platform.h"

namespace marnel::cli {

namespace {

class MachineWorld : public DeviceWorld {
public:
    MachineWorld() : m_services(m_platform.Services()) {}

    const PlatformServices& Services() override { return m_services; }

    IMachineCheckup* Checkup() override { return &m_checkup; }

    std::string Description() const override { return "this machine"; }

private:
    Win32Platform m_platform;
    PlatformServices m_services;
    Win32Checkup m_checkup{m_platform.Registry()};
};

}  // namespace

std::unique_ptr<DeviceWorld> MakeMachineWorld() {
    return std::make_unique<MachineWorld>();
}

}  // namespace marnel::cli
