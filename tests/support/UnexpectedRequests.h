// The simulated device refuses what a real device would refuse and counts
// it as unexpected. Every bench that builds a device checks that count when
// its test ends, so a test passes only if the code sent nothing a device
// would refuse, or the test says how many such requests it provokes.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "sim/SimWorld.h"

namespace marnel::test {

inline void ExpectUnexpectedRequests(const SimDevice& device, std::size_t expected) {
    EXPECT_EQ(device.UnexpectedCount(), expected)
        << "requests the simulated " << SimModelName(device.Model())
        << " refused as unknown (see its log)";
}

// Every device of the world; `expected` applies to their sum.
inline void ExpectUnexpectedRequests(const SimWorld& world, std::size_t expected) {
    EXPECT_EQ(world.UnexpectedCount(), expected)
        << "requests the simulated devices refused as unknown";
}

}  // namespace marnel::test
