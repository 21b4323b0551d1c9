// The text of a caught file error, as the file-error report shows it.
#pragma once

#include <string>

#include "files/FileException.h"

namespace marnel {

// The error's own message: the cause's string with "%1" replaced by the
// path, or by "an unnamed file" when no path is known.
std::string FileErrorMessage(const CFileException& error);

}  // namespace marnel
