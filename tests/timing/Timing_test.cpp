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

TEST(TimingTest, ParameterReadTakesItsSleepFloor) {
    SteadyClock clock;
    DeviceBench world(SimModel::kKQ10, &clock);
    world.device.Faults().busyPolls = 3;  // all four polls are used: 400 ms of sleeps
    auto port = world.OpenPort();
    std::vector<std::uint8_t> block(266, 0);

    double best = 1e9;
    for (int run = 0; run < 5; ++run) {  // best of five: a loaded machine may oversleep once
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(port->ReadParameterBlock(block.data(), 266), 1);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        EXPECT_GE(took.count(), 400.0);
        best = std::min(best, took.count());
    }
    std::printf("parameter read with 4 polls: %.3f ms (floor 400 ms)\n", best);
    RecordProperty("parameter_read_ms", std::to_string(best));
    EXPECT_LT(best, 405.0);
}

}  // namespace
}  // namespace marnel
