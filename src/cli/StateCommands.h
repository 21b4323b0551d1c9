// The commands that read what Marnel kept: the history of the changes to
// devices and the backups made before them. Neither needs a device.
#pragma once

#include <vector>

#include "cli/Console.h"
#include "platform/MachineCheckup.h"

namespace marnel {
class IHashing;
struct StateFolderProblem;
}

namespace marnel::cli {

// The history's lines, oldest first. 0, or 2 for a history that cannot be
// read or a state folder that cannot be used.
int ShowHistory(const Console& console, IFileSystem& files, IEnvironment& environment);

// The history's records, oldest first, for a command that shows them beside
// what it reads from the units: a history that cannot be read is a warning
// and gives none, as does a state folder with nothing kept yet.
std::vector<nlohmann::json> HistoryForReport(const Console& console, IFileSystem& files,
                                             IEnvironment& environment);

// The complete backups' paths, oldest first for each printer; a damaged
// one (cut short, or changed since the history recorded its digest) is
// said and left out. `hashing` may be null: digests are then not compared.
// 0, or 2 for a folder that cannot be read or used.
int ListBackups(const Console& console, IFileSystem& files, IEnvironment& environment,
                IHashing* hashing);

// Says why the state folder cannot be used (CheckStateFolder's answer);
// returns the exit status, 2.
int SayStateFolderProblem(const Console& console, IEnvironment& environment,
                          const StateFolderProblem& problem);

// The doctor's check that a command which changes a unit could keep its
// backup and history line (CheckStateFolder), with the fix when not.
MachineCheck StateFolderCheck(IFileSystem& files, IEnvironment& environment);

}  // namespace marnel::cli
