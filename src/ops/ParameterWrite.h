// The one way a block is written into a unit, whether it is a user's file,
// the self test's original going back, or parameters restored after a
// firmware upgrade: tried up to a number of times, then read back where the
// caller asks.
#pragma once

#include "ops/Outcome.h"
#include "protocol/ParameterBlock.h"

namespace marnel {

class CDevicePort;

struct BlockWriteResult : Outcome {
    bool readBackFailed = false;  // written and stored, but not given back as sent
    int outOfMemory = 0;          // attempts that found no memory for their request
};

// Writes `block` into the open `port`'s unit, up to `attempts` times until
// the unit stores it; with `readBack`, then reads it back and compares.
[[nodiscard]] BlockWriteResult StoreBlock(CDevicePort& port, const ParameterBlockBytes& block, int attempts,
                            bool readBack);

}  // namespace marnel
