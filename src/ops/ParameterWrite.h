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
    bool readBackFailed = false;   // written and stored, but not given back as sent
    bool checksumInvalid = false;  // given back as sent, but its checksum does not hold
    int outOfMemory = 0;           // attempts that found no memory for their request
};

// Reads the unit's block as it delivers it: a block whose checksum does not
// hold (a dummy, a block lost part-way) is still read, and *checksumValid
// says so. Fails only when the block did not arrive.
Status ReadBlockAsDelivered(CDevicePort& port, ParameterBlockBytes& block, bool* checksumValid);

// Writes `block` into the open `port`'s unit, up to `attempts` times until
// the unit stores it; with `readBack`, then reads it back and compares.
[[nodiscard]] BlockWriteResult StoreBlock(CDevicePort& port, const ParameterBlockBytes& block, int attempts,
                            bool readBack);

}  // namespace marnel
