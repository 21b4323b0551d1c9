// A parameter read with the real clock costs its sleeps and next to nothing
// more: the protocol adds no waits of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "SimPortHarness.h"
#include "posix/SteadyClock.h"

namespace marnel {
namespace {

using namespace test;
using Millis = std::chrono::duration<double, std::milli>;

// The real clock, keeping account of the wall time its sleeps took, so the
// protocol's own cost can be told apart from a busy machine oversleeping.
class AccountingClock : public IClock {
public:
    void Sleep(DWORD milliseconds) override {
        const auto start = std::chrono::steady_clock::now();
        m_clock.Sleep(milliseconds);
        m_slept += std::chrono::steady_clock::now() - start;
        m_asked += milliseconds;
    }
    std::uint64_t NowMs() override { return m_clock.NowMs(); }

    void Reset() {
        m_slept = {};
        m_asked = 0;
    }
    Millis Slept() const { return m_slept; }
    DWORD Asked() const { return m_asked; }

private:
    SteadyClock m_clock;
    Millis m_slept{};
    DWORD m_asked = 0;
};

TEST(TimingTest, ParameterReadTakesItsSleepFloor) {
    AccountingClock clock;
    DeviceBench world(SimModel::kKQ10, &clock);
    world.device.Faults().busyPolls = 3;  // all four polls are used: 400 ms of sleeps
    auto port = world.OpenPort();
    ParameterBlockBytes block{};

    double bestTotal = 1e9;
    double bestOverhead = 1e9;
    for (int run = 0; run < 5; ++run) {
        clock.Reset();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(port->ReadParameterBlock(block));
        const Millis took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(clock.Asked(), 400u);
        EXPECT_GE(took.count(), 400.0);
        bestTotal = std::min(bestTotal, took.count());
        bestOverhead = std::min(bestOverhead, (took - clock.Slept()).count());
    }
    std::printf("parameter read with 4 polls: %.3f ms wall, %.3f ms outside the sleeps\n",
                bestTotal, bestOverhead);
    RecordProperty("parameter_read_ms", std::to_string(bestTotal));
    // What the protocol itself adds to the 400 ms floor; a loaded machine's
    // oversleeping is the system's, not ours.
    EXPECT_LT(bestOverhead, 5.0);
}

}  // namespace
}  // namespace marnel
