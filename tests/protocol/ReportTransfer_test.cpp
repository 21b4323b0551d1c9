// The report over the data pipe under both end rules, and the version.
#include <gtest/gtest.h>

#include <string>

#include "SimPortHarness.h"

namespace marnel {
namespace {

using namespace test;

class ReportTransferTest : public ::testing::Test {
protected:
    // Line mode is the KQ-10's (a device without ETX); ETX mode any other.
    void UseDevice(SimModel model, const std::string& report) {
        port.reset();
        world = std::make_unique<DeviceBench>(model);
        world->device.SetReport(std::vector<std::uint8_t>(report.begin(), report.end()));
        port = world->OpenPort();
        port->SetQuirks(ModelQuirks{model != SimModel::kKQ10});
    }

    Status Read() {
        buffer.fill(0);
        return port->ReadReport(buffer);
    }
    std::string Text() const { return std::string(buffer.begin(), buffer.end()); }
    SimDevice& device() { return world->device; }

    std::unique_ptr<DeviceBench> world;
    std::unique_ptr<TestPort> port;
    ReportBuffer buffer{};
};

TEST_F(ReportTransferTest, EtxEndsTheReportAndIsNotStored) {
    UseDevice(SimModel::kZT5, "AB");
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text().substr(0, 3), std::string("AB\0", 3));
    EXPECT_EQ(Requests(device()), (std::vector<Request>{Identity(), StartReport()}));
    EXPECT_EQ(device().ReadCount(), 3u);  // A, B, ETX

    UseDevice(SimModel::kZT5, "A\nB");
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text().substr(0, 4), std::string("A\nB\0", 4));
    EXPECT_EQ(Requests(device()).size(), 2u) << "no status get in ETX mode";
}

TEST_F(ReportTransferTest, LineModeAsksAfterEachLineFeed) {
    UseDevice(SimModel::kKQ10, "one\ntwo\n");
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text().substr(0, 9), std::string("one\ntwo\n\0", 9));
    EXPECT_EQ(Requests(device()),
              (std::vector<Request>{Identity(), StartReport(), ReportStatus(), ReportStatus()}));
    EXPECT_EQ(device().Log()[6].reply, (std::vector<std::uint8_t>{0x00, 0x02, 0x00}))
        << "the first line feed is answered busy";
    EXPECT_EQ(device().ReadCount(), 8u) << "nothing is read after the last line feed";
    EXPECT_TRUE(world->clock.Sleeps().empty());
}

TEST_F(ReportTransferTest, LineModeFailedStatusGetKeepsReading) {
    UseDevice(SimModel::kKQ10, "one\ntwo\n");
    device().Faults().failControlCalls = {3};  // the status get after "one\n"
    EXPECT_TRUE(Read());
    EXPECT_EQ(Requests(device()).size(), 4u);
}

TEST_F(ReportTransferTest, LineModeFailedStatusEndsAtOnce) {
    UseDevice(SimModel::kKQ10, "one\ntwo\n");
    device().Faults().failedStatus = 0x05;
    const Status read = Read();
    EXPECT_FALSE(read);
    EXPECT_EQ(Text().substr(0, 5), std::string("one\n\0", 5));
    EXPECT_EQ(device().ReadCount(), 4u);
    EXPECT_EQ(read.Error().Describe(), "report status: the device reported failure (status 0x05)");
}

TEST_F(ReportTransferTest, OtherModesEndMarkerIsJustAByte) {
    UseDevice(SimModel::kKQ10, std::string("A\x03"
                                           "B\n",
                                           4));
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text().substr(0, 5), std::string("A\x03"
                                               "B\n\0",
                                               5));

    // The port's quirks, not the device, pick the rule: a KQ-10 report read
    // in ETX mode never ends, since the KQ-10 sends no ETX.
    UseDevice(SimModel::kKQ10, "A\n");
    port->SetQuirks(ModelQuirks{true});
    const Status read = Read();
    EXPECT_FALSE(read);
    EXPECT_EQ(read.Error().device.kind, FailureKind::kDeviceSilent);
    EXPECT_EQ(Requests(device()).size(), 2u);
}

TEST_F(ReportTransferTest, ZeroByteIsStored) {
    UseDevice(SimModel::kZT5, std::string("A\0B", 3));
    EXPECT_TRUE(Read());
    EXPECT_EQ(buffer[2], 'B');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())), "A");
}

TEST_F(ReportTransferTest, EmptyReadsAreFollowedByTheNextReadAtOnce) {
    UseDevice(SimModel::kZT5, "AB");
    device().Faults().emptyReadsBeforeByte = 2;
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text().substr(0, 3), std::string("AB\0", 3));
    EXPECT_EQ(device().ReadCount(), 9u);
    EXPECT_TRUE(world->clock.Sleeps().empty());
}

// Lines of 64 bytes, the last ending in the buffer's last byte.
std::string FullBufferOfLines() {
    std::string text;
    for (std::size_t line = 0; text.size() < kReportBufferSize; ++line) {
        text += std::string(63, static_cast<char>('a' + line % 26)) + '\n';
    }
    return text;
}

TEST_F(ReportTransferTest, BufferEnds) {
    // ETX mode: a report that fills the buffer leaves no room for the end.
    const std::string full = FullBufferOfLines();
    ASSERT_EQ(full.size(), kReportBufferSize);
    UseDevice(SimModel::kZT5, full);
    const Status read = Read();
    EXPECT_FALSE(read);
    EXPECT_EQ(Text(), full);
    EXPECT_EQ(read.Error().device.kind, FailureKind::kBufferFull);
    EXPECT_EQ(device().ReadCount(), kReportBufferSize + 1);

    // Line mode: a final line feed in the last byte, answered done, succeeds.
    UseDevice(SimModel::kKQ10, full);
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text(), full);

    // A report longer than the buffer keeps its first 4096 bytes.
    UseDevice(SimModel::kZT5, std::string(5000, 'x'));
    EXPECT_FALSE(Read());
    EXPECT_EQ(Text(), std::string(4096, 'x'));
    EXPECT_EQ(device().ReadCount(), 4097u);
}

TEST_F(ReportTransferTest, FailedReadEndsTheReport) {
    UseDevice(SimModel::kZT5, DefaultReportText(SimModel::kZT5));
    device().Faults().readFailAfter = 100;
    const Status read = Read();
    EXPECT_FALSE(read);
    EXPECT_EQ(Text().substr(0, 100), DefaultReportText(SimModel::kZT5).substr(0, 100));
    EXPECT_EQ(buffer[100], 0);
    EXPECT_EQ(read.Error().Describe(), "report data read: the read failed");
}

TEST_F(ReportTransferTest, SilentDeviceEndsAfterTheLimit) {
    UseDevice(SimModel::kZT5, "AB");
    device().Faults().silent = true;
    device().Faults().emptyReadMs = 100;
    const Status silent = Read();
    EXPECT_FALSE(silent);
    EXPECT_EQ(silent.Error().device.kind, FailureKind::kDeviceSilent);
    EXPECT_EQ(world->clock.NowMs(), CDevicePort::kDefaultReportSilenceLimitMs);
    EXPECT_EQ(device().ReadCount(), 50u);  // 50 reads of 100 ms each

    // A device that stops after its last line without answering done.
    UseDevice(SimModel::kKQ10, "one\ntwo\n");
    device().Faults().failControlCalls = {4};
    device().Faults().emptyReadMs = 250;
    port->SetReportSilenceLimitMs(1000);
    EXPECT_FALSE(Read());
    EXPECT_EQ(world->clock.NowMs(), 1000u);
    EXPECT_EQ(Text().substr(0, 8), "one\ntwo\n");
}

TEST_F(ReportTransferTest, SlowDeviceIsNotSilent) {
    UseDevice(SimModel::kZT5, "ABC");
    device().Faults().emptyReadsBeforeByte = 49;  // 4.9 s before every byte
    device().Faults().emptyReadMs = 100;
    EXPECT_TRUE(Read());
    EXPECT_EQ(Text().substr(0, 4), std::string("ABC\0", 4));
}

TEST_F(ReportTransferTest, DefaultReportsArriveWhole) {
    for (SimModel model : AllSimModels()) {
        SCOPED_TRACE(SimModelName(model));
        UseDevice(model, DefaultReportText(model));
        ASSERT_TRUE(Read());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data())),
                  DefaultReportText(model));
        EXPECT_EQ(device().UnexpectedCount(), 0u);
    }
}

TEST_F(ReportTransferTest, VersionRequestsAndPolls) {
    UseDevice(SimModel::kKQ10, "");
    VersionBuffer version{};
    const Status read = port->ReadVersion(version);
    ASSERT_TRUE(read) << read.Error().Describe();
    EXPECT_STREQ(reinterpret_cast<const char*>(version.data()), "1.05");
    EXPECT_EQ(Requests(device()), (std::vector<Request>{Identity(), StartVersionRead(),
                                                        VersionStatus(), VersionDataRead()}));
    EXPECT_EQ(world->clock.Sleeps(), std::vector<DWORD>{50});

    UseDevice(SimModel::kKQ10, "");
    device().Faults().busyPolls = 4;
    EXPECT_FALSE(port->ReadVersion(version));
    EXPECT_EQ(world->clock.Sleeps(), std::vector<DWORD>(4, 50));
    EXPECT_EQ(Requests(device()).back(), VersionStatus());

    UseDevice(SimModel::kKQ10, "");
    device().SetVersionReply({'1', '2', '3', '4', '5', '6', '7', '8', '9', 'X'});
    version.fill(0);
    ASSERT_TRUE(port->ReadVersion(version));
    EXPECT_EQ(std::string(version.begin(), version.end()), "123456789");

    UseDevice(SimModel::kKQ10, "");
    device().Faults().failControlCalls = {4};
    const Status failed = port->ReadVersion(version);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Error().device.request, DeviceRequest::kVersionDataRead);
}

}  // namespace
}  // namespace marnel
