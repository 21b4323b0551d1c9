// What the simulated device does beyond answering the protocol: print jobs,
// the restart after a firmware update, and the requests it refuses.
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
    VersionBuffer version{};
    EXPECT_FALSE(port->IsServiceMode());
    EXPECT_FALSE(port->ReadVersion(version));

    world.device.ReceiveJob({0x1B, 0x40, 0x00});
    EXPECT_EQ(world.device.Jobs().front().modeOnArrival, SimMode::kUpdate);
    ASSERT_TRUE(port->ReadVersion(version));
    EXPECT_STREQ(reinterpret_cast<const char*>(version.data()), "1.06");
}

// A request as a test sends it, and whether the device takes it.
struct Step {
    Request request;
    bool accepted;
};

std::vector<std::uint8_t> BlockWrite(std::size_t blockSize) {
    std::vector<std::uint8_t> bytes = {0xF0, 0x00, 0x0A};
    const std::vector<std::uint8_t> block = DefaultParameterBlock(SimModel::kKQ10);
    bytes.insert(bytes.end(), block.begin(), block.end());
    bytes.resize(3 + blockSize, 0x00);
    return bytes;
}

TEST(SimDeviceTest, RefusesWhatARealDeviceWouldAndCountsItAsUnexpected) {
    const Request write = Set(BlockWrite(266));
    const struct {
        const char* what;
        SimModel model;
        std::vector<Step> steps;
    } cases[] = {
        {"identity of another capacity",
         SimModel::kKQ10,
         {{Get({0xF0, 0x00, 0x00}, 2), false},
          {Get({0xF0, 0x00, 0x00}, 9), false},
          {Identity(), true}}},
        {"status of another capacity",
         SimModel::kKQ10,
         {{StartParameterRead(), true},
          {Get({0xF0, 0x00, 0x08, 0x01}, 300), false},
          {ParameterReadStatus(), true}}},
        {"data gets of another capacity",
         SimModel::kKQ10,
         {{StartParameterRead(), true},
          {ParameterReadStatus(), true},
          {Get({0xF0, 0x00, 0x0A, 0x01}, 265), false},
          {ParameterDataRead(), true},
          {StartVersionRead(), true},
          {VersionStatus(), true},
          {Get({0xF0, 0x00, 0x0A, 0x03}, 4096), false},
          {VersionDataRead(), true}}},
        {"a report status from an ETX model",
         SimModel::kZT5,
         {{StartReport(), true}, {ReportStatus(), false}}},
        {"a report status from the line-mode model",
         SimModel::kKQ10,
         {{StartReport(), true}, {ReportStatus(), true}}},
        {"data writes of any length but a block's",
         SimModel::kKQ20,
         {{Set(BlockWrite(265)), false}, {Set(BlockWrite(267)), false}, {write, true}}},
        {"a store needs the block written just before it",
         SimModel::kKQ10,
         {{StoreParameters(), false},
          {write, true},
          {StoreParameters(), true},
          {StoreStatus(), true},
          {StoreParameters(), false},
          {write, true},
          {StartVersionRead(), true},
          {StoreParameters(), false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimDevice device(c.model);
        std::size_t refused = 0;
        for (const Step& step : c.steps) {
            std::vector<std::uint8_t> reply(step.request.capacity);
            DWORD returned = 0;
            const BOOL ok = device.IoControl(step.request.code, step.request.bytes.data(),
                                             static_cast<DWORD>(step.request.bytes.size()),
                                             reply.empty() ? nullptr : reply.data(),
                                             step.request.capacity, &returned);
            EXPECT_EQ(ok != 0, step.accepted) << ::testing::PrintToString(step.request);
            EXPECT_EQ(device.Log().back().unexpected, !step.accepted);
            refused += step.accepted ? 0 : 1;
        }
        device.ClearLog();
        EXPECT_EQ(device.UnexpectedCount(), refused) << "the count outlives the log";
    }
}

}  // namespace
}  // namespace marnel
