#include "win32/Win32System.h"

#include "win32/WindowsApi.h"

#include <cstring>
#include <ctime>
#include <vector>

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

Win32CodePage::Win32CodePage() {
    for (unsigned int i = 0; i < m_upper.size(); ++i) {
        const auto byte = static_cast<unsigned char>(i);
        m_upper[i] = byte;
        if (byte == 0 || IsLeadByte(byte)) {
            continue;
        }
        char upper = static_cast<char>(byte);
        CharUpperBuffA(&upper, 1);
        // Upper-casing goes through Unicode and back: a letter whose capital
        // the code page lacks may come back as a best fit (another letter) or
        // a default character. Only a fold that leads back to this byte
        // counts, so that two different letters never compare equal.
        char lowerAgain = upper;
        CharLowerBuffA(&lowerAgain, 1);
        if (static_cast<unsigned char>(lowerAgain) == byte) {
            m_upper[i] = static_cast<unsigned char>(upper);
        }
    }
}

bool Win32CodePage::IsLeadByte(unsigned char byte) const { return IsDBCSLeadByte(byte) != 0; }

std::string Win32Environment::Variable(const std::string& name) {
    const ::DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) {
        return std::string();
    }
    std::vector<char> value(size, '\0');
    const ::DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), size);
    return length < size ? std::string(value.data(), length) : std::string();
}

std::string Win32Environment::DefaultStateFolder() {
    const std::string local = Variable("LOCALAPPDATA");
    return local.empty() ? std::string() : local + "\\Marnel";
}

std::string Win32Environment::AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    const ::DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return path;
    }
    std::vector<char> full(size, '\0');
    const ::DWORD length = GetFullPathNameA(path.c_str(), size, full.data(), nullptr);
    return length > 0 && length < size ? std::string(full.data(), length) : path;
}

std::int64_t Win32Environment::UtcSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::string Win32Environment::HostName() {
    ::DWORD size = 0;
    GetComputerNameExA(ComputerNameDnsHostname, nullptr, &size);
    if (size == 0) {
        return std::string();
    }
    std::vector<char> name(size, '\0');
    return GetComputerNameExA(ComputerNameDnsHostname, name.data(), &size) != 0
               ? std::string(name.data(), size)
               : std::string();
}

}  // namespace marnel
