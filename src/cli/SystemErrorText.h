// What the system itself says about a file error, per platform: its own
// message for the code (strerror; FormatMessage) and what to do next.
#pragma once

#include <string>

#include "files/FileException.h"

namespace marnel::cli {

// The system's message for `code` (errno; a Win32 error code), one line
// without a full stop at its end; empty for 0.
std::string SystemErrorReason(long code);

// What to do next about `error`, by its system code; empty when there is
// nothing to say.
std::string SystemErrorAdvice(const CFileException& error);

}  // namespace marnel::cli
