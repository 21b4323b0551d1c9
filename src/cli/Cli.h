// The marnel command line: parses the arguments, picks the world (the
// simulated device or this machine) and runs one command.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "cli/DeviceWorld.h"

namespace marnel {
class IEnvironment;
class IFileSystem;
class IHashing;
}

namespace marnel::cli {

// Makes the world: the simulated one when asked for, or this machine.
using WorldFactory =
    std::function<std::unique_ptr<DeviceWorld>(const std::optional<Simulation>& simulation)>;

// Runs the tool and returns its exit status. `files` and `environment` are
// this machine's, whatever the world: the user's files and the backups live
// there even when the device is simulated; `hashing` checks the backups.
int RunCli(int argc, const char* const* argv, Console& console, IFileSystem& files,
           IEnvironment& environment, IHashing& hashing, const WorldFactory& makeWorld);

}  // namespace marnel::cli
