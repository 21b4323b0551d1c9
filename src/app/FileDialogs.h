// The file dialogs the window's commands show, each filter built from the
// string table at run time.
#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace marnel {

// "<firstFilter>All Files (*.*)|*.*||": `firstFilter` is a string-table
// entry with its own trailing '|', or 0 for the "All Files" entry alone.
std::string AllFilesFilter(DWORD firstFilter = 0);

// The open or save dialog for a parameter file, offering `initialName`.
FileDialogRequest ParameterFileDialog(FileDialogKind kind, const std::string& initialName);

}  // namespace marnel
