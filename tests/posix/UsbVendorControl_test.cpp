#include "posix/UsbVendorControl.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace marnel {
namespace {

using Setup = std::array<std::uint8_t, 8>;

struct Case {
    const char* name;
    DWORD controlCode;
    std::vector<std::uint8_t> request;
    DWORD replyCapacity;
    std::uint8_t interfaceNumber;
    Setup setup;
};

// Every request the device protocol sends, with the exact setup packet it
// must become on the wire.
TEST(UsbVendorControl, SetupPacketsOfEveryRequest) {
    const Case cases[] = {
        {"identity", kIoctlVendorGetCommand, {0xF0, 0x00, 0x00}, 8, 0,
         {0xC1, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00}},
        {"start parameter read", kIoctlVendorSetCommand, {0xF0, 0x00, 0x08, 0x01}, 0, 0,
         {0x41, 0xF0, 0x08, 0x00, 0x00, 0x00, 0x01, 0x00}},
        {"parameter read status", kIoctlVendorGetCommand, {0xF0, 0x00, 0x08, 0x01}, 3, 0,
         {0xC1, 0xF0, 0x08, 0x00, 0x00, 0x00, 0x03, 0x00}},
        {"parameter data read", kIoctlVendorGetCommand, {0xF0, 0x00, 0x0A, 0x01}, 266, 0,
         {0xC1, 0xF0, 0x0A, 0x00, 0x00, 0x00, 0x0A, 0x01}},
        {"store parameters", kIoctlVendorSetCommand, {0xF0, 0x00, 0x08, 0x02, 0x02}, 0, 0,
         {0x41, 0xF0, 0x08, 0x00, 0x00, 0x00, 0x02, 0x00}},
        {"version data on interface 1", kIoctlVendorGetCommand, {0xF0, 0x00, 0x0A, 0x03}, 9,
         1, {0xC1, 0xF0, 0x0A, 0x00, 0x01, 0x00, 0x09, 0x00}},
        {"high value byte", kIoctlVendorSetCommand, {0xF0, 0x12, 0x34}, 0, 2,
         {0x41, 0xF0, 0x34, 0x12, 0x02, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> reply(c.replyCapacity);
        UsbControlTransfer t;
        ASSERT_TRUE(TranslateVendorRequest(c.controlCode, c.request.data(),
                                           static_cast<DWORD>(c.request.size()), reply.data(),
                                           c.replyCapacity, c.interfaceNumber, &t));
        EXPECT_EQ(t.SetupBytes(), c.setup);
    }
}

TEST(UsbVendorControl, SetSendsBytesFromOffsetThreeAndGetReadsIntoReply) {
    std::vector<std::uint8_t> write = {0xF0, 0x00, 0x0A};
    for (int i = 0; i < 266; ++i) {
        write.push_back(static_cast<std::uint8_t>(i * 7));
    }
    UsbControlTransfer set;
    ASSERT_TRUE(TranslateVendorRequest(kIoctlVendorSetCommand, write.data(), 269, nullptr, 0,
                                       0, &set));
    EXPECT_FALSE(set.IsIn());
    EXPECT_EQ(set.wLength, 266);
    EXPECT_EQ(set.data, write.data() + 3);

    const std::uint8_t status[] = {0xF0, 0x00, 0x08, 0x04};
    std::uint8_t reply[3] = {};
    UsbControlTransfer get;
    ASSERT_TRUE(TranslateVendorRequest(kIoctlVendorGetCommand, status, 4, reply, 3, 0, &get));
    EXPECT_TRUE(get.IsIn());
    EXPECT_EQ(get.data, reply);

    UsbControlTransfer identity;
    const std::uint8_t ident[] = {0xF0, 0x00, 0x00};
    ASSERT_TRUE(
        TranslateVendorRequest(kIoctlVendorSetCommand, ident, 3, nullptr, 0, 0, &identity));
    EXPECT_EQ(identity.data, nullptr);  // no data stage at all
}

TEST(UsbVendorControl, RefusesWhatCannotBeCarried) {
    const std::uint8_t request[] = {0xF0, 0x00, 0x08, 0x01};
    std::uint8_t reply[3] = {};
    UsbControlTransfer t;
    t.bRequest = 0x55;
    EXPECT_FALSE(TranslateVendorRequest(0x220034, request, 4, reply, 3, 0, &t));
    EXPECT_FALSE(TranslateVendorRequest(kIoctlVendorGetCommand, request, 2, reply, 3, 0, &t));
    EXPECT_FALSE(TranslateVendorRequest(kIoctlVendorGetCommand, nullptr, 0, reply, 3, 0, &t));
    EXPECT_FALSE(
        TranslateVendorRequest(kIoctlVendorGetCommand, request, 4, reply, 0x10000, 0, &t));
    EXPECT_EQ(t.bRequest, 0x55);  // untouched on failure
}

}  // namespace
}  // namespace marnel
