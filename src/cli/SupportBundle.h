// marnel support-bundle FILE: what a technician sends to the maker. The
// tool runs its own commands as children with the same global options,
// keeps what each printed and how it ended, adds the system's own facts, and
// packs it all into a new FILE, a .tar.gz of its own making (no tar program
// is needed).
#pragma once

#include <string>

#include "cli/Commands.h"
#include "cli/Console.h"

namespace marnel::cli {

// Returns 0 once FILE holds the bundle, whatever the items' own statuses;
// 2 when FILE exists already (it is never replaced) or cannot be written.
int MakeSupportBundle(const Console& console, IFileSystem& files, IEnvironment& environment,
                      const GlobalOptions& options, const std::string& archive);

// The one file of facts that only this system can give, read from the real
// machine whatever world the commands ran in. One implementation per system
// (PosixSupportBundle.cpp, Win32SupportBundle.cpp).
struct SystemFacts {
    std::string file;  // its name in the bundle
    std::string what;  // what it holds, for the manifest and the README
    std::string text;
};
SystemFacts GatherSystemFacts();

}  // namespace marnel::cli
