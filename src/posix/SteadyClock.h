// The real clock: sleeps of the calling thread and a monotonic reading.
#pragma once

#include "platform/Clock.h"

namespace marnel {

class SteadyClock : public IClock {
public:
    void Sleep(DWORD milliseconds) override;
    std::uint64_t NowMs() override;
};

}  // namespace marnel
