// marnel support-bundle FILE: what a technician sends to the maker. The
// tool runs its own commands as children with the same global options,
// keeps what each printed and how it ended, and packs it with the system's
// tar into a new FILE.
#pragma once

#include <string>

#include "cli/Commands.h"
#include "cli/Console.h"

namespace marnel::cli {

// Returns 0 once FILE holds the bundle, whatever the items' own statuses;
// 2 when FILE exists already (it is never replaced) or cannot be written.
int MakeSupportBundle(const Console& console, IFileSystem& files, IEnvironment& environment,
                      const GlobalOptions& options, const std::string& archive);

}  // namespace marnel::cli
