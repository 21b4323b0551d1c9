// The world a command runs in: the real machine, or the built-in simulated
// device. Picked at run time, so one binary serves both.
#pragma once

#include <memory>
#include <string>

#include "platform/Services.h"

namespace marnel {
class IFileSystem;
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

    // Once the command is done, whatever its outcome: a world whose units
    // outlive the command writes them down. Raises CFileException.
    virtual void Keep() {}
};

// What --simulate and --simulate-state ask for.
struct Simulation {
    std::string models;     // "KQ-10", or several: "KQ-10,ZT-5,KQ-10"
    std::string stateFile;  // empty: the units live for one command
};

// The simulated world with one device per model named ("KQ-10", "ZT-5", ...).
// With a state file, its units are those of the file, which is locked until
// the world is gone and rewritten by Keep; a missing file is seeded with the
// models. Throws std::invalid_argument for a model the simulator does not
// know or a state file it cannot read as one, CFileException when the file
// cannot be read or locked. `files` and `hashing` are the build's own (its
// history records digests), and outlive the world.
std::unique_ptr<DeviceWorld> MakeSimulatedWorld(const Simulation& simulation, IFileSystem& files,
                                                IHashing& hashing);

// The models MakeSimulatedWorld knows, for --help.
std::string SimulatedModelNames();

// This machine: CUPS queues and USB devices; on Windows the spooler's
// printers and the registry's device nodes. One implementation per platform.
std::unique_ptr<DeviceWorld> MakeMachineWorld();

}  // namespace marnel::cli
