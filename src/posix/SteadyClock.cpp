#include "posix/SteadyClock.h"

#include <chrono>
#include <thread>

namespace marnel {

void SteadyClock::Sleep(DWORD milliseconds) {
    // sleep_for may return early on a signal; sleeping to a deadline on the
    // steady clock keeps the whole wait.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::this_thread::sleep_until(deadline);
}

std::uint64_t SteadyClock::NowMs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace marnel
