// The Windows locator's side of an open unit: how its link packs each
// vendor request into the printing class driver's device controls, and the
// serial a device path carries.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "device/DeviceSerial.h"
#include "device/RegistryDeviceBus.h"
#include "platform/DeviceFile.h"
#include "sim/MemoryRegistry.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

// Records each device control; a get is answered with `replyCount` bytes
// of 0xEE (a count beyond the capacity is claimed, not written).
class ControlRecorder : public IDeviceFile {
public:
    struct Control {
        DWORD code;
        std::vector<std::uint8_t> input;
        bool hasOutput;
        DWORD outSize;
    };

    HANDLE Open(const std::string&, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) override {
        return kHandle;
    }
    BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) override {
        reads.push_back(bytesToRead);
        *static_cast<std::uint8_t*>(buffer) = 'K';
        *bytesRead = 1;
        return device == kHandle;
    }
    BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer,
                   DWORD outSize, DWORD* bytesReturned, void*) override {
        const auto* in = static_cast<const std::uint8_t*>(inBuffer);
        controls.push_back({controlCode, {in, in + inSize}, outBuffer != nullptr, outSize});
        for (DWORD i = 0; i < std::min(replyCount, outSize); ++i) {
            static_cast<std::uint8_t*>(outBuffer)[i] = 0xEE;
        }
        *bytesReturned = outBuffer != nullptr ? replyCount : 0;
        return device == kHandle;
    }
    BOOL Close(HANDLE device) override {
        closed.push_back(device);
        return 1;
    }

    static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(0x5150);
    DWORD replyCount = 0;
    std::vector<Control> controls;
    std::vector<DWORD> reads;
    std::vector<HANDLE> closed;
};

TEST(RegistryDeviceBus, TheLinkPacksRequestValueHighByteFirstThenData) {
    const struct {
        bool get;
        std::uint8_t request;
        std::uint16_t value;
        std::vector<std::uint8_t> data;
        std::size_t capacity;
        DWORD replyCount;
        std::vector<std::uint8_t> input;
    } cases[] = {
        {false, 0xF0, 0x0008, {0x04}, 0, 0, {0xF0, 0x00, 0x08, 0x04}},
        {false, 0xF0, 0x000A, {0x01, 0x02, 0x03}, 0, 0, {0xF0, 0x00, 0x0A, 0x01, 0x02, 0x03}},
        {true, 0xF0, 0x0000, {}, 8, 8, {0xF0, 0x00, 0x00}},
        {true, 0x12, 0xA55A, {0x03}, 3, 3, {0x12, 0xA5, 0x5A, 0x03}},
        // A driver that claims more than the room it had is reported as it claimed.
        {true, 0xF0, 0x0008, {0x02, 0x02}, 3, 7, {0xF0, 0x00, 0x08, 0x02, 0x02}},
    };
    ControlRecorder file;
    MemoryRegistry registry;
    SimPlatformVersion version;
    SimCodePage codePage;
    CRegistryDeviceBus bus(version, registry, file, codePage);
    {
        std::string error = "unchanged";
        std::unique_ptr<IDeviceLink> link =
            bus.Open(DeviceRef{"\\\\?\\USB#x#SN1#{c}", "", "", ""}, &error);
        ASSERT_NE(link, nullptr);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::PrintToString(c.input));
            file.replyCount = c.replyCount;
            std::vector<std::uint8_t> reply(c.capacity, 0);
            std::size_t received = 99;
            const bool ok = c.get
                                ? link->VendorGet(c.request, c.value, c.data.data(), c.data.size(),
                                                  reply.data(), reply.size(), &received)
                                : link->VendorSet(c.request, c.value, c.data.data(), c.data.size());
            EXPECT_TRUE(ok);
            const ControlRecorder::Control& sent = file.controls.back();
            EXPECT_EQ(sent.code, c.get ? kIoctlVendorGetCommand : kIoctlVendorSetCommand);
            EXPECT_EQ(sent.input, c.input);
            EXPECT_EQ(sent.hasOutput, c.get);
            EXPECT_EQ(sent.outSize, c.capacity);
            if (c.get) {
                EXPECT_EQ(received, c.replyCount);
                EXPECT_EQ(reply, std::vector<std::uint8_t>(c.capacity, 0xEE));
            }
        }
        std::uint8_t byte = 0;
        std::size_t got = 0;
        EXPECT_TRUE(link->ReadData(&byte, 1, &got));
        EXPECT_EQ(file.reads, std::vector<DWORD>{1});
        EXPECT_EQ(got, 1u);
        EXPECT_EQ(byte, 'K');
        EXPECT_TRUE(file.closed.empty());
    }
    EXPECT_EQ(file.closed, std::vector<HANDLE>{ControlRecorder::kHandle});
}

TEST(RegistryDeviceBus, SerialIsTheInstanceOfAPathUnlessTheSystemMadeItUp) {
    const struct {
        const char* path;
        const char* serial;
    } cases[] = {
        {"\\\\?\\USB#VID_1A2B&PID_0010#KQ10SN0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
         "KQ10SN0001"},
        {"\\\\.\\ZT5SN0002#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", "ZT5SN0002"},
        {"\\\\?\\USB#VID_1A2B&PID_0010#5&2A3B&0&1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}", ""},
        {"\\\\?\\USB#VID_1A2B&PID_0010#BUS001&DEV002#{28d78fad}", ""},
        {"\\\\?\\USB#VID_1A2B&PID_0010", ""},
        {"/dev/usb/lp0", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SerialOfDevicePath(c.path), c.serial) << c.path;
    }
}

}  // namespace
}  // namespace marnel
