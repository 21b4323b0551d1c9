// Other programs run as children, for commands that gather what other
// commands print: no shell between, standard input from the null device,
// each output stream into a file of its own. One implementation per system
// (posix/PosixChildProcess.cpp, win32/Win32ChildProcess.cpp); the CLI alone
// uses it, and the simulator needs none.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace marnel {

struct ChildOutcome {
    bool started = false;   // false: not run at all; `error` says why
    int exitStatus = -1;    // the child's exit status when it exited
    int signal = 0;         // the signal that ended it, or 0 (always 0 on Windows)
    bool timedOut = false;  // ended by us after the time allowed
    std::string error;
};

// Runs `argv` (argv[0] searched on PATH when it has no folder) with its
// standard output written to `outPath` and its standard error to `errPath`
// (both created or truncated), and waits at most `timeoutSeconds`; then it
// is killed. Once `stop` (when given) says so, the child is asked to end
// (SIGTERM; on Windows it is ended) and waited for. An error file the child
// left empty is removed.
ChildOutcome RunChild(const std::vector<std::string>& argv, const std::string& outPath,
                      const std::string& errPath, unsigned timeoutSeconds,
                      const std::function<bool()>& stop = nullptr);

// This program's own executable, for running itself as a child; empty when
// the system cannot say.
std::string OwnExecutable();

// A new folder only this user may enter, in the user's temporary folder
// ($TMPDIR or /tmp; %TEMP% on Windows); empty with *error set when none
// could be made.
std::string MakePrivateFolder(const std::string& prefix, std::string* error);

// Lets only this user read and write the file at `path` (mode 0600; on
// Windows an access list of the user alone); false with *error set when it
// could not be changed.
bool KeepPrivate(const std::string& path, std::string* error);

// Removes a folder and everything below it, following no links.
void RemoveFolderTree(const std::string& folder);

}  // namespace marnel
