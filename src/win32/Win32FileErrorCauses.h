// The causes of the file-error report for Win32 error codes: the Windows
// file system's half of the mapping whose causes the seam defines
// (platform/FileSystem.h).
#pragma once

#include "platform/FileSystem.h"

namespace marnel {

// Win32 error codes of CreateFileA/ReadFile/WriteFile/MoveFileExA.
FileErrorCause FileErrorCauseFromWin32(unsigned long errorCode);

}  // namespace marnel
