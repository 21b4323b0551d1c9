// What the simulated device does beyond answering the protocol: print jobs
// and the restart after a firmware update.
#include <gtest/gtest.h>

#include "SimPortHarness.h"

namespace marnel {
namespace {

using namespace test;

TEST(SimDeviceTest, JobsArriveInPiecesAndAreChecked) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()),
              0xCBF43926u);

    SimDevice device(SimModel::kZT5);
    std::vector<std::uint8_t> firmware(3000);
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<std::uint8_t>(i * 7);
    }
    device.ReceiveJobData(firmware.data(), 1024);
    device.ReceiveJobData(firmware.data() + 1024, firmware.size() - 1024);
    device.EndJob();
    device.SetKeepJobBytes(false);
    device.ReceiveJob(firmware);
    device.EndJob();  // an empty job

    const auto& jobs = device.Jobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].bytes, firmware);
    EXPECT_EQ(jobs[0].crc32, Crc32(firmware.data(), firmware.size()));
    EXPECT_EQ(jobs[1].size, 3000u);
    EXPECT_EQ(jobs[1].crc32, jobs[0].crc32);
    EXPECT_TRUE(jobs[1].bytes.empty());
    EXPECT_EQ(jobs[2].size, 0u);
    EXPECT_TRUE(jobs[2].complete);
    EXPECT_EQ(device.Mode(), SimMode::kService) << "a job in service mode restarts nothing";
}

TEST(SimDeviceTest, FirmwareInUpdateModeRestartsWithTheNewVersion) {
    DeviceBench world(SimModel::kKQ10);
    world.device.SetMode(SimMode::kUpdate);
    world.device.SetVersionAfterFirmware(std::string("1.06"));
    auto port = world.OpenPort();
    std::vector<std::uint8_t> version(9, 0);
    EXPECT_EQ(port->IsServiceMode(), 0);
    EXPECT_EQ(port->ReadVersion(version.data(), 9), 0);

    world.device.ReceiveJob({0x1B, 0x40, 0x00});
    EXPECT_EQ(world.device.Jobs().front().modeOnArrival, SimMode::kUpdate);
    ASSERT_NE(port->ReadVersion(version.data(), 9), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(version.data()), "1.06");
}

}  // namespace
}  // namespace marnel
