// marnel.com, the console program beside the window: the same commands over
// the Windows back ends.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>

#include "cli/Cli.h"
#include "cli/Win32ConsoleOutput.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Hashing.h"
#include "win32/Win32System.h"

int main(int argc, char** argv) {
    // Bytes as the command wrote them, as on Linux: a parameter block or a
    // report sent to standard output must not gain a CR before each LF.
    // Standard input stays text, where Ctrl+Z ends it as Ctrl+D does on Linux.
    _setmode(_fileno(stdout), _O_BINARY);
    const bool outIsConsole = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
    marnel::cli::Console console{std::cout, std::cerr, std::cin, outIsConsole};
    console.narrowToUtf8 = marnel::cli::AnsiToUtf8;
    // On a console window, text in the console's code page (JSON as it is);
    // into a file or a pipe, the bytes as the command wrote them.
    std::streambuf* const out = std::cout.rdbuf();
    std::streambuf* const err = std::cerr.rdbuf();
    const bool errIsJson = false;
    marnel::cli::ConsoleCodePageBuffer outText(out, &console.json);
    marnel::cli::ConsoleCodePageBuffer errText(err, &errIsJson);
    if (outIsConsole) {
        std::cout.rdbuf(&outText);
    }
    if (GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR) {
        std::cerr.rdbuf(&errText);
    }
    marnel::Win32FileSystem files;
    marnel::Win32Environment environment;
    marnel::Win32Hashing hashing;
    const int status = marnel::cli::RunCli(
        argc, argv, console, files, environment, hashing,
        [&files, &hashing](const std::optional<marnel::cli::Simulation>& simulation) {
            return simulation ? marnel::cli::MakeSimulatedWorld(*simulation, files, hashing)
                              : marnel::cli::MakeMachineWorld();
        });
    const int finished = marnel::cli::FinishOutput(std::cout, std::cerr, status);
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    return finished;
}
