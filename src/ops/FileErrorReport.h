// The file-error report: the one message box with which a command reports a
// caught file error or exhausted memory before it goes on with its clean-up.
#pragma once

#include <string>

#include "ops/FileException.h"
#include "platform/UserInterface.h"

namespace marnel {

// The error's own message: the cause's string with "%1" replaced by the
// path, or by "an unnamed file" when no path is known.
std::string FileErrorMessage(const CFileException& error);

// Shows the message with an OK button and the warning icon.
void ReportFileError(IUserInterface& ui, const CFileException& error);
// Shows "Out of memory." the same way.
void ReportOutOfMemory(IUserInterface& ui);

}  // namespace marnel
