// A valid KQ-10 parameter block for the emulated printers to hold.
#pragma once

#include <cstdint>
#include <cstring>

#include "protocol/ParameterBlock.h"

namespace marnel {

// Its data bytes follow from `seed`, so that blocks of two devices differ.
inline ParameterBlockBytes Kq10ParameterBlock(std::uint8_t seed) {
    ParameterBlockBytes block{};
    std::memcpy(block.data(), "KQ-10 \0\0", 8);
    for (std::size_t i = 0; i < kFixedDataSize; ++i) {
        block[kFixedDataOffset + i] = static_cast<std::uint8_t>(seed + i * 3);
    }
    StoreParameterChecksum(block);
    return block;
}

}  // namespace marnel
