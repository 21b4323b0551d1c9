#include <unistd.h>

#include <iostream>

#include "cli/Cli.h"
#include "posix/PosixEnvironment.h"
#include "posix/PosixFileSystem.h"
#include "posix/PosixHashing.h"

int main(int argc, char** argv) {
    marnel::cli::Console console{std::cout, std::cerr, std::cin, isatty(STDOUT_FILENO) == 1};
    marnel::PosixFileSystem files;
    marnel::PosixEnvironment environment;
    marnel::PosixHashing hashing;
    const int status = marnel::cli::RunCli(
        argc, argv, console, files, environment, hashing,
        [&files, &hashing](const std::optional<marnel::cli::Simulation>& simulation) {
            return simulation ? marnel::cli::MakeSimulatedWorld(*simulation, files, hashing)
                              : marnel::cli::MakeMachineWorld();
        });
    return marnel::cli::FinishOutput(std::cout, std::cerr, status);
}
