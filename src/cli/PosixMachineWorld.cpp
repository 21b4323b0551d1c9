// This machine: CUPS queues and the maker's USB devices through the Linux
// back ends.
#include <memory>

#include "cli/DeviceWorld.h"
#include "posix/PosixPlatform.h"

namespace marnel::cli {

namespace {

class MachineWorld : public DeviceWorld {
public:
    const PlatformServices& Services() override { return m_platform.Services(); }

    IMachineCheckup* Checkup() override { return &m_platform.Checkup(); }

    std::string Description() const override { return "this machine"; }

    std::string LastError() const override {
        std::string error = m_platform.LastDeviceError();
        if (error.empty()) {
            error = m_platform.UsbError();
        }
        return error;
    }

private:
    PosixPlatform m_platform;
};

}  // namespace

std::unique_ptr<DeviceWorld> MakeMachineWorld() { return std::make_unique<MachineWorld>(); }

}  // namespace marnel::cli
