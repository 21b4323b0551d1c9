// The platform version query (GetVersionExA with a 148-byte record).
#pragma once

#include "platform/Types.h"

namespace marnel {

constexpr DWORD kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS: 95/98/Me
constexpr DWORD kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

class IPlatformVersion {
public:
    virtual ~IPlatformVersion() = default;

    // Non-zero on success with the record's dwPlatformId in *platformId.
    virtual BOOL GetPlatformId(DWORD* platformId) = 0;
};

}  // namespace marnel
