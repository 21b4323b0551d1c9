#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedUi.h"
#include "app/SelfTest.h"
#include "protocol/DevicePort.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

constexpr DWORD kPlain = kMbOk | kMbIconExclamation;  // MB_OK as the box routine shows it
constexpr DWORD kInformation = kMbOk | kMbIconInformation;

struct SelfTestRun : ::testing::Test {
    SelfTestRun() : ui(world.Clock()) {
        installed = &world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
        g_bReportEndsWithEtx = 0;  // the KQ-10's line-mode report
        original = installed->device.ParameterBlock();
    }

    void Run(const std::string& printerName) {
        CDevicePort port(world.Services());
        RunSelfTest(port, printerName, ui);
        EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 1u) << "the port stays open for the caller";
    }

    SimDevice& Device() { return installed->device; }

    SimWorld world;
    SimInstalledDevice* installed;
    ScriptedUi ui;
    std::vector<std::uint8_t> original;
};

TEST_F(SelfTestRun, EverythingSucceedsInTenBoxes) {
    const std::string version = DefaultVersionText(SimModel::kKQ10);
    const std::string report = DefaultReportText(SimModel::kKQ10);
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Success: PutParam dummy", kInformation);
    ui.ExpectBox("Success: PutParam original", kInformation);
    ui.ExpectBox("Success: GetParam2", kInformation);
    ui.ExpectBox("Success: Compare", kInformation);
    ui.ExpectBox("Success: GetVersion (" + version + ")", kInformation);
    ui.ExpectBox("Success: GetReport", kInformation);
    ui.ExpectBox(report, kInformation);
    Run("Zarvel KQ-10");
    EXPECT_EQ(ui.Boxes().size(), 10u);
    EXPECT_EQ(Device().StoreCount(), 2);
    EXPECT_EQ(Device().ParameterBlock(), original) << "the block read first is written back";
}

TEST_F(SelfTestRun, TheDummyBlockIsTheKq10TagAndZeros) {
    // The device keeps whatever it stores; catch the dummy in between.
    std::vector<std::uint8_t> dummy;
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Success: PutParam dummy", kInformation,  kIdOk,
                 [&] { dummy = Device().ParameterBlock(); });
    ui.ExpectBox("Success: PutParam original", kInformation);
    ui.ExpectBox("Success: GetParam2", kInformation);
    ui.ExpectBox("Success: Compare", kInformation);
    ui.ExpectBox("Success: GetVersion (" + DefaultVersionText(SimModel::kKQ10) + ")", kInformation);
    ui.ExpectBox("Success: GetReport", kInformation);
    ui.ExpectBox(DefaultReportText(SimModel::kKQ10), kInformation);
    Run("Zarvel KQ-10");
    std::vector<std::uint8_t> expected(266, 0);
    const char tag[] = "KQ-10   ";
    std::copy(tag, tag + 8, expected.begin());
    EXPECT_EQ(dummy, expected);
}

TEST_F(SelfTestRun, NoDeviceSelectedEndsAfterCreate) {
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Error: Create", kPlain);
    CDevicePort port(world.Services());
    RunSelfTest(port, "", ui);
    EXPECT_TRUE(Device().ControlLog().empty());
}

TEST_F(SelfTestRun, FirstReadFailureEndsTheTest) {
    Device().Faults().failedStatus = 0x01;
    Device().Faults().failedStatusCommand = 0x01;  // the parameter read
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Error: GetParam", kPlain);
    Run("Zarvel KQ-10");
    EXPECT_EQ(Device().StoreCount(), 0);
}

TEST_F(SelfTestRun, FailedWritesAreReportedAndTheTestGoesOn) {
    Device().Faults().failedStatus = 0x01;
    Device().Faults().failedStatusCommand = 0x02;  // the store
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Error: PutParam dummy", kPlain);
    ui.ExpectBox("Error: PutParam original", kPlain);
    ui.ExpectBox("Success: GetParam2", kInformation);
    ui.ExpectBox("Success: Compare", kInformation);
    ui.ExpectBox("Success: GetVersion (" + DefaultVersionText(SimModel::kKQ10) + ")", kInformation);
    ui.ExpectBox("Success: GetReport", kInformation);
    ui.ExpectBox(DefaultReportText(SimModel::kKQ10), kInformation);
    Run("Zarvel KQ-10");
}

TEST_F(SelfTestRun, FailedSecondReadSkipsTheComparisonOnly) {
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Success: PutParam dummy", kInformation);
    ui.ExpectBox("Success: PutParam original", kInformation, kIdOk, [&] {
        Device().Faults().failedStatus = 0x01;
        Device().Faults().failedStatusCommand = 0x01;
    });
    ui.ExpectBox("Error: GetParam2", kPlain, kIdOk,
                 [&] { Device().Faults().failedStatus.reset(); });
    ui.ExpectBox("Success: GetVersion (" + DefaultVersionText(SimModel::kKQ10) + ")", kInformation);
    ui.ExpectBox("Success: GetReport", kInformation);
    ui.ExpectBox(DefaultReportText(SimModel::kKQ10), kInformation);
    Run("Zarvel KQ-10");
}

TEST_F(SelfTestRun, ADifferentSecondReadFailsTheComparison) {
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Success: PutParam dummy", kInformation);
    ui.ExpectBox("Success: PutParam original", kInformation, kIdOk,
                 [&] { Device().SetParameterBlock(DefaultParameterBlock(SimModel::kZT5)); });
    ui.ExpectBox("Success: GetParam2", kInformation);
    ui.ExpectBox("Error: Compare", kPlain);
    ui.ExpectBox("Success: GetVersion (" + DefaultVersionText(SimModel::kKQ10) + ")", kInformation);
    ui.ExpectBox("Success: GetReport", kInformation);
    ui.ExpectBox(DefaultReportText(SimModel::kKQ10), kInformation);
    Run("Zarvel KQ-10");
}

TEST_F(SelfTestRun, VersionAndReportFillTheirBuffersExactly) {
    // Nine non-zero bytes and more behind them: only the nine are shown.
    Device().SetVersionReply({'V', '1', '2', '.', '3', '4', '-', 'r', 'c', 'X', 'Y'});
    std::string report(4095, 'r');
    report += '\n';
    Device().SetReport(report);
    Device().Faults().failedStatus = 0x01;
    Device().Faults().failedStatusCommand = 0x02;
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Error: PutParam dummy", kPlain);
    ui.ExpectBox("Error: PutParam original", kPlain);
    ui.ExpectBox("Success: GetParam2", kInformation);
    ui.ExpectBox("Success: Compare", kInformation);
    ui.ExpectBox("Success: GetVersion (V12.34-rc)", kInformation);
    ui.ExpectBox("Success: GetReport", kInformation);
    ui.ExpectBox(report, kInformation);
    Run("Zarvel KQ-10");
    EXPECT_EQ(ui.Boxes().back().text.size(), 4096u);
}

TEST_F(SelfTestRun, VersionAndReportFailuresEndTheTestAfterTheReport) {
    Device().Faults().failedStatus = 0x01;
    Device().Faults().failedStatusCommand = 0x03;  // the version read
    Device().Faults().readFailAfter = 10;
    ui.ExpectBox("Start Self Test", kPlain);
    ui.ExpectBox("Success: Create", kInformation);
    ui.ExpectBox("Success: GetParam", kInformation);
    ui.ExpectBox("Success: PutParam dummy", kInformation);
    ui.ExpectBox("Success: PutParam original", kInformation);
    ui.ExpectBox("Success: GetParam2", kInformation);
    ui.ExpectBox("Success: Compare", kInformation);
    ui.ExpectBox("Error: GetVersion", kPlain);
    ui.ExpectBox("Error: GetReport", kPlain);
    Run("Zarvel KQ-10");
}

}  // namespace
}  // namespace marnel
