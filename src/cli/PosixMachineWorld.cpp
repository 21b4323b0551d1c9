// This machine: CUPS queues and the maker's USB devices through the Linux
// back ends.
#include <memory>

#include "cli/DeviceWorld.h"
#include "cli/SignalHold.h"
#include "posix/PosixPlatform.h"

namespace marnel::cli {

namespace {

// A held signal also stops a job that a device takes slowly, between its transfers.
PosixPlatform::Options MachineOptions() {
    PosixPlatform::Options options;
    options.interrupted = [] { return SignalHold::Caught() != 0; };
    return options;
}

class MachineWorld : public DeviceWorld {
public:
    const PlatformServices& Services() override { return m_platform.Services(); }

    IMachineCheckup* Checkup() override { return &m_platform.Checkup(); }

    std::string Description() const override { return "this machine"; }

private:
    PosixPlatform m_platform{MachineOptions()};
};

}  // namespace

std::unique_ptr<DeviceWorld> MakeMachineWorld() { return std::make_unique<MachineWorld>(); }

}  // namespace marnel::cli
