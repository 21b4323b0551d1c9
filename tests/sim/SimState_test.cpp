#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/DevicePort.h"
#include "protocol/ParameterBlock.h"
#include "sim/SimState.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

using ::testing::HasSubstr;

TEST(SimState, UnitsComeBackInAnotherWorldAsTheyWereLeft) {
    SimState state;
    std::string error;
    ASSERT_TRUE(SeedSimState("KQ-10,zt-5,KQ-10", &state, &error)) << error;
    state.units[0].faults = {"refuses-store"};
    SimWorld first;
    BuildSimWorld(state, first);
    std::vector<std::uint8_t> changed = first.Device(1).device.ParameterBlock();
    changed[20] ^= 0xFF;
    first.Device(1).device.SetParameterBlock(changed);
    first.Device(1).device.SetVersion("1.07");
    first.Device(2).device.SetMode(SimMode::kUpdate);
    first.Unplug("Zarvel KQ-10 (2)");
    CaptureSimState(first, &state);

    SimState read;
    ASSERT_TRUE(ParseSimState(SimStateToJson(state), &read, &error)) << error;
    SimWorld second;
    BuildSimWorld(read, second);
    ASSERT_EQ(second.DeviceCount(), 3u);
    const char* printers[] = {"Zarvel KQ-10", "Zarvel ZT-5", "Zarvel KQ-10 (2)"};
    const char* serials[] = {"KQ10SN0001", "ZT5SN0002", "KQ10SN0003"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(second.Device(i).printer.printerName, printers[i]);
        EXPECT_EQ(second.Device(i).serial, serials[i]);
        EXPECT_EQ(second.Device(i).device.Model(), first.Device(i).device.Model());
    }
    EXPECT_EQ(second.Device(1).device.ParameterBlock(), changed);
    EXPECT_EQ(second.Device(1).device.VersionReply(), first.Device(1).device.VersionReply());
    EXPECT_EQ(second.Device(2).device.Mode(), SimMode::kUpdate);
    EXPECT_FALSE(second.Device(2).plugged);
    EXPECT_EQ(read.units[0].faults, std::vector<std::string>{"refuses-store"});

    // The fault is the device's again: a valid block is written but not stored.
    CDevicePort port(second.Services());
    ASSERT_TRUE(port.Open("Zarvel KQ-10"));
    ParameterBlockBytes block{};
    const std::vector<std::uint8_t> valid = DefaultParameterBlock(SimModel::kKQ10);
    std::copy(valid.begin(), valid.end(), block.begin());
    EXPECT_FALSE(port.WriteParameterBlock(block));
    EXPECT_EQ(second.Device(0).device.StoreCount(), 0);
}

TEST(SimState, ADamagedStateIsRefusedWithWhatIsWrong) {
    SimState state;
    std::string error;
    ASSERT_TRUE(SeedSimState("KQ-10,KQ-20", &state, &error));
    SimWorld world;
    BuildSimWorld(state, world);
    CaptureSimState(world, &state);
    const std::string good = SimStateToJson(state);
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        return text.replace(text.find(from), from.size(), to);
    };
    const struct {
        std::string text;
        const char* said;
    } cases[] = {
        {good.substr(0, good.size() / 2), "not valid JSON"},
        {"[]", "not a JSON object"},
        {replaced("\"schema\": 1", "\"schema\": 2"), "\"schema\" is not 1"},
        {replaced("\"units\"", "\"unit\""), "no list of \"units\""},
        {replaced("\"model\": \"KQ-20\"", "\"model\": \"KQ-99\""),
         "unit 2 names the unknown model"},
        {replaced("\"mode\": \"service\"", "\"mode\": \"asleep\""), "unit 1 has the mode"},
        {replaced("\"parameters\": \"4b", "\"parameters\": \"4"), "not 266 bytes in hex"},
        {replaced("\"parameters\": \"4b", "\"parameters\": \"zz"), "not 266 bytes in hex"},
        {replaced("\"faults\": []", "\"faults\": [\"melts\"]"), "the fault \"melts\""},
        {replaced("\"plugged\": true", "\"plugged\": 1"), "\"plugged\""},
        {replaced("\"firmware\": \"1.05\"", "\"firmware\": \"1.05-long-text\""), "firmware"},
        {replaced("KQ20SN0002", "kq10sn0001"), "two units have"},
    };
    for (const auto& c : cases) {
        SimState read;
        EXPECT_FALSE(ParseSimState(c.text, &read, &error)) << c.said;
        EXPECT_THAT(error, HasSubstr(c.said));
    }
    EXPECT_FALSE(SeedSimState("KQ-10,,ZT-5", &state, &error));
    EXPECT_THAT(error, HasSubstr("Unknown simulated model \"\""));
}

TEST(SimState, AFirmwareImageNamesTheVersionItBrings) {
    const std::string marker = "SIMULATED-VERSION=";
    const struct {
        std::string image;
        const char* version;  // null: the image names none
    } cases[] = {
        {marker + "1.06\nbinary", "1.06"},
        {"header\r\n" + marker + "2.10\r\nrest", "2.10"},
        {"header " + marker + "3.0", "3.0"},  // ended by the end of the image
        {std::string(4095, 'x') + marker + "4.00\n", "4.00"},
        {std::string(4096, 'x') + marker + "4.00\n", nullptr},
        {std::string(4095, 'x') + marker + "4.00", "4.00"},
        {marker + "\n", nullptr},
        {marker + "123456789\n", nullptr},  // longer than the version reply holds
        {marker + "1.0\x01\n", nullptr},
        {"no version here", nullptr},
    };
    for (const auto& c : cases) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.image.data());
        const std::optional<std::string> version = SimulatedVersionIn(bytes, c.image.size());
        EXPECT_EQ(version.has_value(), c.version != nullptr) << c.image.substr(0, 40);
        if (version && c.version != nullptr) {
            EXPECT_EQ(*version, c.version);
        }
    }
}

}  // namespace
}  // namespace marnel
