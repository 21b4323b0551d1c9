#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "protocol/ParameterBlock.h"

namespace marnel {
namespace {

// Heap blocks of exactly 266 bytes, so that the sanitizer catches any read
// past the block.
std::vector<std::uint8_t> FixedBlock() {
    std::vector<std::uint8_t> block(kParameterBlockSize, 0);
    std::memcpy(block.data(), "KQ-10   ", 8);
    return block;
}

std::vector<std::uint8_t> CountedBlock(std::int32_t n) {
    std::vector<std::uint8_t> block(kParameterBlockSize, 0);
    std::memcpy(block.data(), "ZT-5    ", 8);
    const auto u = static_cast<std::uint32_t>(n);
    for (int i = 0; i < 4; ++i) {
        block[8 + i] = static_cast<std::uint8_t>(u >> (8 * i));
    }
    return block;
}

TEST(ParameterBlockTest, FixedLayoutChecksumExamples) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> data;  // leading data bytes, the rest zero
        std::uint8_t fill;               // value of the remaining data bytes
        std::uint8_t high, low;
    };
    const Case cases[] = {
        {"all zero", {}, 0x00, 0x00, 0x00},
        {"01 02 then zero", {0x01, 0x02}, 0x00, 0xFF, 0xFD},
        {"all FF", {}, 0xFF, 0x01, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto block = FixedBlock();
        std::fill(block.begin() + 8, block.begin() + 264, c.fill);
        std::copy(c.data.begin(), c.data.end(), block.begin() + 8);

        ASSERT_TRUE(StoreParameterChecksum(block.data()));
        EXPECT_EQ(block[264], c.high);
        EXPECT_EQ(block[265], c.low);
        EXPECT_TRUE(IsParameterBlockValid(block.data()));

        block[265] ^= 0x01;
        EXPECT_FALSE(IsParameterBlockValid(block.data()));
    }
}

TEST(ParameterBlockTest, DummyBlockIsValidAndHeaderBytesAreNotCovered) {
    auto block = FixedBlock();  // "KQ-10   " and 258 zero bytes
    EXPECT_TRUE(IsParameterBlockValid(block.data()));
    EXPECT_EQ(DetectParameterLayout(block.data()), ParameterLayout::kFixed);

    block[6] = 0xAB;
    block[7] = 0xCD;
    EXPECT_TRUE(IsParameterBlockValid(block.data()));

    block[8 + 200] = 0x01;  // a data byte changes, the checksum does not
    EXPECT_FALSE(IsParameterBlockValid(block.data()));
}

TEST(ParameterBlockTest, AnyDifferenceInTheTagSelectsTheCountedLayout) {
    const char* tags[] = {"KQ-100  ", "kq-10   ", "KQ-1\0   ", "KQ-10\0  ", "KQ_10   ", " KQ-10  "};
    for (const char* tag : tags) {
        auto block = FixedBlock();
        std::memcpy(block.data(), tag, 8);
        SCOPED_TRACE(std::string(tag, 8));
        EXPECT_EQ(DetectParameterLayout(block.data()), ParameterLayout::kCounted);
    }
    auto block = FixedBlock();
    std::memcpy(block.data(), "KQ-10 X\0", 8);  // only six bytes are compared
    EXPECT_EQ(DetectParameterLayout(block.data()), ParameterLayout::kFixed);
}

TEST(ParameterBlockTest, CountedLayoutChecksumFollowsTheData) {
    auto block = CountedBlock(4);
    const std::uint8_t data[] = {0x10, 0x20, 0x30, 0x40};  // S = 0x00A0
    std::memcpy(block.data() + 12, data, 4);
    block[16] = 0xFF;
    block[17] = 0x60;
    block[100] = 0x77;  // beyond the checksum: not examined

    const ParameterBlockInfo info = DescribeParameterBlock(block.data());
    EXPECT_EQ(info.layout, ParameterLayout::kCounted);
    EXPECT_EQ(info.modelTag, "ZT-5");
    EXPECT_EQ(info.dataLength, 4);
    EXPECT_TRUE(info.checksumInBlock);
    EXPECT_EQ(info.storedChecksum, 0xFF60);
    EXPECT_EQ(info.computedChecksum, 0xFF60);
    EXPECT_TRUE(info.valid);

    block[16] = 0x00;
    block[17] = 0x00;
    ASSERT_TRUE(StoreParameterChecksum(block.data()));
    EXPECT_EQ(block[16], 0xFF);
    EXPECT_EQ(block[17], 0x60);
}

TEST(ParameterBlockTest, NonPositiveLengthSumsNothing) {
    for (std::int32_t n : {0, -1, INT_MIN}) {
        SCOPED_TRACE(n);
        auto block = CountedBlock(n);
        block[14] = 0x55;  // would be data for a positive N
        EXPECT_TRUE(IsParameterBlockValid(block.data()));
        EXPECT_EQ(DescribeParameterBlock(block.data()).dataLength, n);

        block[13] = 0x01;
        EXPECT_FALSE(IsParameterBlockValid(block.data()));
        ASSERT_TRUE(StoreParameterChecksum(block.data()));
        EXPECT_EQ(block[12], 0x00);
        EXPECT_EQ(block[13], 0x00);
    }
    // The length bytes FF FF FF FF read as -1, not as a huge count.
    auto block = CountedBlock(0);
    std::memset(block.data() + 8, 0xFF, 4);
    EXPECT_EQ(DescribeParameterBlock(block.data()).dataLength, -1);
    EXPECT_TRUE(IsParameterBlockValid(block.data()));
}

TEST(ParameterBlockTest, LongestDataEndsAtTheBlocksEnd) {
    auto block = CountedBlock(252);
    std::fill(block.begin() + 12, block.begin() + 264, 0x01);  // S = 252 = 0x00FC
    ASSERT_TRUE(StoreParameterChecksum(block.data()));
    EXPECT_EQ(block[264], 0xFF);
    EXPECT_EQ(block[265], 0x04);
    EXPECT_TRUE(IsParameterBlockValid(block.data()));
}

TEST(ParameterBlockTest, LengthBeyond252IsInvalidWithoutSumming) {
    for (std::int32_t n : {253, 254, 1000, INT_MAX}) {
        SCOPED_TRACE(n);
        auto block = CountedBlock(n);
        const auto before = block;
        const ParameterBlockInfo info = DescribeParameterBlock(block.data());
        EXPECT_FALSE(info.checksumInBlock);
        EXPECT_FALSE(info.valid);
        EXPECT_FALSE(StoreParameterChecksum(block.data()));
        EXPECT_EQ(block, before);
    }
}

}  // namespace
}  // namespace marnel
