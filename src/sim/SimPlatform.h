// Small simulated platform parts: the version query, the ANSI code page and
// the user's environment.
#pragma once

#include <array>
#include <map>
#include <string>

#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/PlatformVersion.h"

namespace marnel {

// The platform version query, answering a fixed platform id or failing.
class SimPlatformVersion : public IPlatformVersion {
public:
    explicit SimPlatformVersion(DWORD platformId = kPlatformWin32Nt) : m_platformId(platformId) {}

    void SetPlatformId(DWORD platformId) { m_platformId = platformId; }
    void SetFails(bool fails) { m_fails = fails; }
    int Calls() const { return m_calls; }

    BOOL GetPlatformId(DWORD* platformId) override {
        ++m_calls;
        if (m_fails) {
            return 0;
        }
        *platformId = m_platformId;
        return 1;
    }

private:
    DWORD m_platformId;
    bool m_fails = false;
    int m_calls = 0;
};

// A code page that is single-byte unless lead bytes are declared, and whose
// letters are the ASCII ones unless more are declared.
class SimCodePage : public ICodePage {
public:
    SimCodePage() {
        for (unsigned int byte = 0; byte < 256; ++byte) {
            m_upper[byte] = AsciiUpper(static_cast<unsigned char>(byte));
        }
    }

    // Declares first..last (inclusive) lead bytes of double-byte characters.
    void AddLeadByteRange(unsigned char first, unsigned char last) {
        for (unsigned int byte = first; byte <= last; ++byte) {
            m_leadBytes[byte] = true;
        }
    }

    // Declares a letter beyond ASCII: `lower` upper-cases to `upper`.
    void AddLetter(unsigned char lower, unsigned char upper) { m_upper[lower] = upper; }

    bool IsLeadByte(unsigned char byte) const override { return m_leadBytes[byte]; }
    unsigned char UpperCase(unsigned char byte) const override {
        return m_leadBytes[byte] ? byte : m_upper[byte];
    }

private:
    std::array<bool, 256> m_leadBytes{};
    std::array<unsigned char, 256> m_upper{};
};

// An environment of a technician's account: variables as set, the state
// folder below a fixed home, and a wall clock that stands still unless moved.
class SimEnvironment : public IEnvironment {
public:
    void SetVariable(const std::string& name, const std::string& value) {
        m_variables[name] = value;
    }
    void SetUtcSeconds(std::int64_t seconds) { m_utcSeconds = seconds; }

    std::string Variable(const std::string& name) override {
        auto it = m_variables.find(name);
        return it == m_variables.end() ? std::string() : it->second;
    }
    std::string DefaultStateFolder() override { return "/home/technician/.local/state/marnel"; }
    // Against the simulated current folder, /home/technician; a path of
    // either system's absolute form stays as it is.
    std::string AbsolutePath(const std::string& path) override {
        const bool absolute = path.empty() || path[0] == '/' || path[0] == '\\' ||
                              (path.size() > 1 && path[1] == ':');
        return absolute ? path : "/home/technician/" + path;
    }
    char PathSeparator() const override { return '/'; }
    std::int64_t UtcSeconds() override { return m_utcSeconds; }
    std::string HostName() override { return "service-bench"; }

private:
    std::map<std::string, std::string> m_variables;
    std::int64_t m_utcSeconds = 1796644800;  // 2026-12-07 12:00:00 UTC
};

}  // namespace marnel
