// The 266-byte parameter block as a value: which layout it has, where its
// checksummed data lie, whether its checksum holds, and how to make it hold.
// The parameter file is this block byte for byte, so the same functions serve
// the device transfer, the simulated device and offline inspection.
//
// Two layouts, told apart by the first six bytes:
//   fixed (the KQ-10, tag "KQ-10 "): data = 256 bytes at 8, checksum at 264/265
//   counted (every other model):     N = signed 32-bit LE at 8, data = N bytes
//                                    at 12, checksum at 12+N / 13+N
// The checksum is stored high byte first and is the 16-bit two's complement
// of the byte sum of the data. Every function reads exactly the 266 bytes of
// the block and nothing beyond them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/VendorRequests.h"

namespace marnel {

using ParameterBlockBytes = std::array<std::uint8_t, kParameterBlockSize>;

enum class ParameterLayout {
    kFixed,    // model tag "KQ-10 "
    kCounted,  // length-prefixed data
};

constexpr char kFixedLayoutTag[] = "KQ-10 ";  // six bytes, the space included
constexpr std::size_t kFixedLayoutTagSize = 6;
constexpr std::size_t kModelTagSize = 6;  // every layout's model tag
constexpr std::size_t kFixedDataOffset = 8;
constexpr std::size_t kFixedDataSize = 256;
constexpr std::size_t kCountedLengthOffset = 8;
constexpr std::size_t kCountedDataOffset = 12;
// 12 + 252 + 2 = 266: the longest data whose checksum still fits the block.
constexpr std::int32_t kCountedMaxDataSize = 252;

// Everything `marnel inspect` tells about a block.
struct ParameterBlockInfo {
    ParameterLayout layout = ParameterLayout::kCounted;
    // The model tag as text: the first six bytes up to a zero byte, trailing
    // spaces dropped, unprintable bytes as '?'.
    std::string modelTag;
    // 256 for the fixed layout; N as stored for the counted layout.
    std::int32_t dataLength = 0;
    // False for a counted block with N > 252: its checksum would lie beyond
    // the block, so it has no stored checksum and is invalid.
    bool checksumInBlock = true;
    std::uint16_t storedChecksum = 0;    // meaningful when checksumInBlock
    std::uint16_t computedChecksum = 0;  // the value that makes the block valid
    bool valid = false;
};

// The layout the block's first six bytes select. Reads bytes 0..5.
ParameterLayout DetectParameterLayout(const std::uint8_t* block);

// The 16-bit value that a checksum must hold for data whose byte sum is `sum`.
std::uint16_t ChecksumForSum(std::uint32_t sum);

// The full description; `block` must hold kParameterBlockSize bytes.
ParameterBlockInfo DescribeParameterBlock(const std::uint8_t* block);

// True when the block's checksum holds; `block` must hold kParameterBlockSize bytes.
bool IsParameterBlockValid(const std::uint8_t* block);

// Writes the checksum that makes the block valid into its place (for a
// counted block with N <= 0, zeros at 12 and 13). Returns false, leaving the
// block unchanged, when N > 252 and the checksum has no place in the block.
bool StoreParameterChecksum(std::uint8_t* block);

inline bool IsParameterBlockValid(const ParameterBlockBytes& block) {
    return IsParameterBlockValid(block.data());
}
inline ParameterBlockInfo DescribeParameterBlock(const ParameterBlockBytes& block) {
    return DescribeParameterBlock(block.data());
}
inline bool StoreParameterChecksum(ParameterBlockBytes& block) {
    return StoreParameterChecksum(block.data());
}

// A run of bytes, both ends included, where two blocks differ.
struct ByteRange {
    std::size_t first = 0;
    std::size_t last = 0;
};

// Where `a` and `b` differ, in order; none when they are equal.
std::vector<ByteRange> DifferingBytes(const ParameterBlockBytes& a, const ParameterBlockBytes& b);

// "8-11, 40": the ranges as text; empty for none.
std::string RangesText(const std::vector<ByteRange>& ranges);

// Text for the layout, as tools print it: "fixed" or "counted".
const char* ParameterLayoutName(ParameterLayout layout);

}  // namespace marnel
