// A clock that sleeps in no wall time: every sleep is recorded and moves the
// virtual time forward, so tests can pin exact sleep schedules.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Clock.h"

namespace marnel {

class VirtualClock : public IClock {
public:
    void Sleep(DWORD milliseconds) override;
    std::uint64_t NowMs() override { return m_nowMs; }

    // Moves time on without a sleep, as a blocking call that takes time would.
    void Advance(std::uint64_t milliseconds) { m_nowMs += milliseconds; }

    const std::vector<DWORD>& Sleeps() const { return m_sleeps; }
    std::uint64_t TotalSleptMs() const;
    void ClearSleeps() { m_sleeps.clear(); }

private:
    std::uint64_t m_nowMs = 0;
    std::vector<DWORD> m_sleeps;
};

}  // namespace marnel
