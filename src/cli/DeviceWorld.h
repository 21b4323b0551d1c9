// The world a command runs in: the real machine, or the built-in simulated
// device. Picked at run time, so one binary serves both.
#pragma once

#include <memory>
#include <string>

#include "platform/Services.h"

namespace marnel {
class IHashing;
class IMachineCheckup;
}

namespace marnel::cli {

class DeviceWorld {
public:
    virtual ~DeviceWorld() = default;

    virtual const PlatformServices& Services() = 0;

    // The checks of the machine's set-up for the doctor; null when the world
    // has none.
    virtual IMachineCheckup* Checkup() { return nullptr; }

    // "simulated KQ-10", "this machine": for diagnostics.
    virtual std::string Description() const = 0;

    // The technician restarts the device of `printer` in its update mode
    // when asked to. Only a simulated device needs the world to do it.
    virtual void OnVersionUpPrompt(const std::string& /*printer*/) {}
    // And back in its service mode when asked to, after the upgrade.
    virtual void OnServiceModePrompt(const std::string& /*printer*/) {}
};

// The simulated world with one device of `model` ("KQ-10", "ZT-5", ...).
// Throws std::invalid_argument for a model the simulator does not know.
// `hashing` is the build's own (its history records digests), and outlives
// the world.
std::unique_ptr<DeviceWorld> MakeSimulatedWorld(const std::string& model, IHashing& hashing);

// The models MakeSimulatedWorld knows, for --help.
std::string SimulatedModelNames();

// This machine: CUPS queues and USB devices; on Windows the spooler's
// printers and the registry's device nodes. One implementation per platform.
std::unique_ptr<DeviceWorld> MakeMachineWorld();

}  // namespace marnel::cli
