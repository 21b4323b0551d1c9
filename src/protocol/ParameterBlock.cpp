#include "protocol/ParameterBlock.h"

#include <cstring>

namespace marnel {

namespace {


// Where the checksummed data of a block lie. A counted block with N <= 0
// has no data; one with N > 252 has no checksum inside the block.
struct DataSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool checksumInBlock = true;
};

std::int32_t CountedLength(const std::uint8_t* block) {
    const std::uint8_t* p = block + kCountedLengthOffset;
    const std::uint32_t raw =
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    std::int32_t value;
    std::memcpy(&value, &raw, sizeof value);  // two's complement, without UB
    return value;
}

DataSpan LocateData(const std::uint8_t* block, ParameterLayout layout) {
    if (layout == ParameterLayout::kFixed) {
        return {kFixedDataOffset, kFixedDataSize, true};
    }
    const std::int32_t n = CountedLength(block);
    if (n > kCountedMaxDataSize) {
        return {kCountedDataOffset, 0, false};  // decided before any summing
    }
    return {kCountedDataOffset, n > 0 ? static_cast<std::size_t>(n) : 0, true};
}

std::uint32_t SumBytes(const std::uint8_t* data, std::size_t length) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum += data[i];
    }
    return sum & 0xFFFF;
}

std::string TagText(const std::uint8_t* block) {
    std::string tag;
    // Bytes 6 and 7 are neither the model nor covered by the checksum.
    for (std::size_t i = 0; i < kModelTagSize && block[i] != 0; ++i) {
        const std::uint8_t c = block[i];
        tag.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    while (!tag.empty() && tag.back() == ' ') {
        tag.pop_back();
    }
    return tag;
}

}  // namespace

ParameterLayout DetectParameterLayout(const std::uint8_t* block) {
    return std::memcmp(block, kFixedLayoutTag, kFixedLayoutTagSize) == 0
               ? ParameterLayout::kFixed
               : ParameterLayout::kCounted;
}

std::uint16_t ChecksumForSum(std::uint32_t sum) {
    return static_cast<std::uint16_t>((0x10000u - (sum & 0xFFFFu)) & 0xFFFFu);
}

ParameterBlockInfo DescribeParameterBlock(const std::uint8_t* block) {
    ParameterBlockInfo info;
    info.layout = DetectParameterLayout(block);
    info.modelTag = TagText(block);
    info.dataLength = info.layout == ParameterLayout::kFixed
                          ? static_cast<std::int32_t>(kFixedDataSize)
                          : CountedLength(block);

    const DataSpan span = LocateData(block, info.layout);
    info.checksumInBlock = span.checksumInBlock;
    if (!span.checksumInBlock) {
        info.valid = false;
        return info;
    }
    const std::size_t at = span.offset + span.length;
    info.storedChecksum = static_cast<std::uint16_t>((block[at] << 8) | block[at + 1]);
    info.computedChecksum = ChecksumForSum(SumBytes(block + span.offset, span.length));
    info.valid = info.storedChecksum == info.computedChecksum;
    return info;
}

bool IsParameterBlockValid(const std::uint8_t* block) {
    return DescribeParameterBlock(block).valid;
}

bool StoreParameterChecksum(std::uint8_t* block) {
    const DataSpan span = LocateData(block, DetectParameterLayout(block));
    if (!span.checksumInBlock) {
        return false;
    }
    const std::uint16_t checksum = ChecksumForSum(SumBytes(block + span.offset, span.length));
    const std::size_t at = span.offset + span.length;
    block[at] = static_cast<std::uint8_t>(checksum >> 8);
    block[at + 1] = static_cast<std::uint8_t>(checksum & 0xFF);
    return true;
}

const char* ParameterLayoutName(ParameterLayout layout) {
    return layout == ParameterLayout::kFixed ? "fixed" : "counted";
}

std::vector<ByteRange> DifferingBytes(const ParameterBlockBytes& a, const ParameterBlockBytes& b) {
    std::vector<ByteRange> ranges;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        if (!ranges.empty() && ranges.back().last + 1 == i) {
            ranges.back().last = i;
        } else {
            ranges.push_back({i, i});
        }
    }
    return ranges;
}

std::string RangesText(const std::vector<ByteRange>& ranges) {
    std::string text;
    for (const ByteRange& range : ranges) {
        text += (text.empty() ? "" : ", ") + std::to_string(range.first) +
                (range.last > range.first ? "-" + std::to_string(range.last) : std::string());
    }
    return text;
}

}  // namespace marnel
