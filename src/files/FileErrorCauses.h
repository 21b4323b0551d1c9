// The one place where system error codes become the causes of the file-error
// report, for every back end: both file systems include this table and
// nothing else of the core above the platform seams.
#pragma once

#include "platform/FileSystem.h"

namespace marnel {

// errno values of open/read/write/rename/flock.
FileErrorCause FileErrorCauseFromErrno(int errnoValue);

// Win32 error codes of CreateFileA/ReadFile/WriteFile/MoveFileExA.
FileErrorCause FileErrorCauseFromWin32(unsigned long errorCode);

}  // namespace marnel
