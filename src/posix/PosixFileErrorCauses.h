// The causes of the file-error report for errno values: the POSIX file
// system's half of the mapping whose causes the seam defines
// (platform/FileSystem.h).
#pragma once

#include "platform/FileSystem.h"

namespace marnel {

// errno values of open/read/write/rename/flock.
FileErrorCause FileErrorCauseFromErrno(int errnoValue);

}  // namespace marnel
