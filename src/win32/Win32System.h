// Small kernel back ends: the platform version, the clock, the active ANSI
// code page's lead bytes and the user's environment.
#pragma once

#include <array>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/PlatformVersion.h"

namespace marnel {

// GetVersionExA with a 148-byte OSVERSIONINFOA, size field 148, rest zero.
class Win32PlatformVersion : public IPlatformVersion {
public:
    BOOL GetPlatformId(DWORD* platformId) override;
};

// Sleep and GetTickCount64.
class Win32Clock : public IClock {
public:
    void Sleep(DWORD milliseconds) override;
    std::uint64_t NowMs() override;
};

// IsDBCSLeadByte in the active ANSI code page, and the system's own
// upper-casing of its single-byte characters (CharUpperBuffA), taken once.
class Win32CodePage : public ICodePage {
public:
    Win32CodePage();
    bool IsLeadByte(unsigned char byte) const override;
    unsigned char UpperCase(unsigned char byte) const override { return m_upper[byte]; }

private:
    std::array<unsigned char, 256> m_upper{};
};

// GetEnvironmentVariableA; state in %LOCALAPPDATA%\Marnel; the system time.
class Win32Environment : public IEnvironment {
public:
    std::string Variable(const std::string& name) override;
    std::string DefaultStateFolder() override;
    // GetFullPathNameA.
    std::string AbsolutePath(const std::string& path) override;
    char PathSeparator() const override { return '\\'; }
    std::int64_t UtcSeconds() override;
    // The DNS host name (GetComputerNameExA).
    std::string HostName() override;
};

}  // namespace marnel
