// The clock: plain sleeps of the calling thread, and a monotonic reading
// used only to bound how long a silent device may keep a transfer waiting.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace marnel {

class IClock {
public:
    virtual ~IClock() = default;

    // Blocks the calling thread for `milliseconds`.
    virtual void Sleep(DWORD milliseconds) = 0;

    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual std::uint64_t NowMs() = 0;
};

}  // namespace marnel
