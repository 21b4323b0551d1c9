// Other programs run as children, for commands that gather what other
// commands print: no shell between, standard input from /dev/null, each
// output stream into a file of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace marnel {

struct ChildOutcome {
    bool started = false;   // false: not run at all; `error` says why
    int exitStatus = -1;    // the child's exit status when it exited
    int signal = 0;         // the signal that ended it, or 0
    bool timedOut = false;  // ended by us with SIGKILL after the time allowed
    std::string error;
};

// Runs `argv` (argv[0] searched on PATH when it has no slash) with its
// standard output written to `outPath` and its standard error to `errPath`
// (both created or truncated), and waits at most `timeoutSeconds`. Once
// `stop` (when given) says so, the child is sent SIGTERM and waited for. An
// error file the child left empty is removed.
ChildOutcome RunChild(const std::vector<std::string>& argv, const std::string& outPath,
                      const std::string& errPath, unsigned timeoutSeconds,
                      const std::function<bool()>& stop = nullptr);

// This program's own executable, for running itself as a child; empty when
// the system cannot say.
std::string OwnExecutable();

// A new folder only this user may enter, under $TMPDIR or /tmp; empty with
// *error set when none could be made.
std::string MakePrivateFolder(const std::string& prefix, std::string* error);

// Lets only this user read and write the file at `path` (mode 0600); false
// with *error set when it could not be changed.
bool KeepPrivate(const std::string& path, std::string* error);

// Removes a folder and everything below it, following no links.
void RemoveFolderTree(const std::string& folder);

}  // namespace marnel
