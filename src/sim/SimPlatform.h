// Small simulated platform parts: the version query and the ANSI code page.
#pragma once

#include <array>

#include "platform/CodePage.h"
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

// A code page that is single-byte unless lead bytes are declared.
class SimCodePage : public ICodePage {
public:
    // Declares first..last (inclusive) lead bytes of double-byte characters.
    void AddLeadByteRange(unsigned char first, unsigned char last) {
        for (unsigned int byte = first; byte <= last; ++byte) {
            m_leadBytes[byte] = true;
        }
    }

    bool IsLeadByte(unsigned char byte) const override { return m_leadBytes[byte]; }

private:
    std::array<bool, 256> m_leadBytes{};
};

}  // namespace marnel
