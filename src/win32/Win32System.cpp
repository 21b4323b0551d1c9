#include "win32/Win32System.h"

#include "win32/WindowsApi.h"

#include <cstring>

namespace marnel {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record is 148 bytes");

BOOL Win32PlatformVersion::GetPlatformId(DWORD* platformId) {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    // The platform id is what is asked, not the version numbers that newer
    // SDKs deprecate the call for.
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExA(&info)) {
        return 0;
    }
    *platformId = static_cast<DWORD>(info.dwPlatformId);
    return 1;
}

void Win32Clock::Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

std::uint64_t Win32Clock::NowMs() { return GetTickCount64(); }

bool Win32CodePage::IsLeadByte(unsigned char byte) const { return IsDBCSLeadByte(byte) != 0; }

}  // namespace marnel
