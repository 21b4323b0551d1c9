#include <unistd.h>

#include <iostream>

#include "cli/Cli.h"
#include "posix/PosixEnvironment.h"
#include "posix/PosixFileSystem.h"

int main(int argc, char** argv) {
    marnel::cli::Console console{std::cout, std::cerr, std::cin, isatty(STDOUT_FILENO) == 1};
    marnel::PosixFileSystem files;
    marnel::PosixEnvironment environment;
    const int status = marnel::cli::RunCli(
        argc, argv, console, files, environment, [](const std::optional<std::string>& simulateModel) {
            return simulateModel ? marnel::cli::MakeSimulatedWorld(*simulateModel)
                                 : marnel::cli::MakeMachineWorld();
        });
    return marnel::cli::FinishOutput(std::cout, std::cerr, status);
}
