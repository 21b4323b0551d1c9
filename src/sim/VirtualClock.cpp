#include "sim/VirtualClock.h"

#include <numeric>

namespace marnel {

void VirtualClock::Sleep(DWORD milliseconds) {
    m_sleeps.push_back(milliseconds);
    m_nowMs += milliseconds;
}

std::uint64_t VirtualClock::TotalSleptMs() const {
    return std::accumulate(m_sleeps.begin(), m_sleeps.end(), std::uint64_t{0});
}

}  // namespace marnel
