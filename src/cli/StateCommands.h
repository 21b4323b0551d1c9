// The commands that read what Marnel kept: the history of the changes to
// devices and the backups made before them. Neither needs a device.
#pragma once

#include "cli/Console.h"

namespace marnel::cli {

// The history's lines, oldest first. 0, or 2 for a history that cannot be read.
int ShowHistory(const Console& console, IFileSystem& files, IEnvironment& environment);

// The backups' paths, in name order. 0, or 2 for a folder that cannot be read.
int ListBackups(const Console& console, IFileSystem& files, IEnvironment& environment);

}  // namespace marnel::cli
