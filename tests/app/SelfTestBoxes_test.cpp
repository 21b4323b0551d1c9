#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "CommandWorld.h"
#include "ScriptedUi.h"
#include "UnexpectedRequests.h"
#include "app/SelfTestBoxes.h"
#include "ops/DeviceAccess.h"
#include "protocol/DevicePort.h"
#include "sim/SimWorld.h"

namespace marnel {
namespace {

constexpr DWORD kPlain = kMbOk | kMbIconExclamation;  // MB_OK as the box routine shows it
constexpr DWORD kInformation = kMbOk | kMbIconInformation;

struct SelfTestRun : ::testing::Test {
    SelfTestRun() : ui(world.Clock()) {
        installed = &world.AddDevice(SimDeviceSetup(SimModel::kKQ10));
        original = installed->device.ParameterBlock();
    }

    ~SelfTestRun() override { test::ExpectUnexpectedRequests(world, 0); }

    SimDevice& Device() { return installed->device; }

    SimWorld world;
    SimInstalledDevice* installed;
    ScriptedUi ui;
    std::vector<std::uint8_t> original;
    int starvedWrites = 0;  // block writes that find no memory
};

// The boxes of a run where every step succeeds, in order.
std::vector<std::string> AllSucceed(const std::string& version, const std::string& report) {
    return {"Start Self Test",         "Success: Create",   "Success: GetParam",
            "Success: PutParam dummy", "Success: PutParam original",
            "Success: GetParam2",      "Success: Compare",  "Success: GetVersion (" + version + ")",
            "Success: GetReport",      report};
}

struct SelfTestCase {
    const char* what;
    std::string printer = "Zarvel KQ-10";
    std::function<void(SelfTestRun&)> arrange{};  // none: the device as it comes
    // Boxes that differ from AllSucceed: {shown there, shown instead}; an
    // empty replacement means the box is not shown; "a\n+b" stands for two.
    std::vector<std::pair<std::string, std::string>> changes{};
    std::size_t boxes = 10;  // the run ends after this many
    std::map<std::string, std::function<void(SelfTestRun&)>> whileShown{};
    std::function<void(SelfTestRun&)> check{};  // none: the boxes say it all
    std::string version = DefaultVersionText(SimModel::kKQ10);
    std::string report = DefaultReportText(SimModel::kKQ10);
};

void PrintTo(const SelfTestCase& c, std::ostream* os) { *os << c.what; }

class SelfTestBoxes : public SelfTestRun, public ::testing::WithParamInterface<SelfTestCase> {};

TEST_P(SelfTestBoxes, ShowEachStepInOrderWithItsIcon) {
    const SelfTestCase& c = GetParam();
    if (c.arrange) {
        c.arrange(*this);
    }
    std::vector<std::string> expected = AllSucceed(c.version, c.report);
    for (const auto& [shown, instead] : c.changes) {
        auto at = std::find(expected.begin(), expected.end(), shown);
        const std::size_t cut = instead.find("\n+");
        *at = instead.substr(0, cut);
        if (cut != std::string::npos) {
            expected.insert(at + 1, instead.substr(cut + 2));
        }
    }
    expected.erase(std::remove(expected.begin(), expected.end(), ""), expected.end());
    expected.resize(std::min(expected.size(), c.boxes));
    for (const std::string& text : expected) {
        const bool plain = text == "Start Self Test" || text == "Out of memory." ||
                           text.rfind("Error: ", 0) == 0 || text.rfind("The device's", 0) == 0 ||
                           text.rfind("Access to", 0) == 0;
        const auto action = c.whileShown.find(text);
        ui.ExpectBox(text, plain ? kPlain : kInformation, kIdOk,
                     action == c.whileShown.end()
                         ? std::function<void()>()
                         : [this, act = action->second] { act(*this); });
    }
    CDeviceAccess access(world.Services(), [this] {
        return std::make_unique<test::StarvedPort>(world.Services(), starvedWrites);
    });
    ChangeLog log;
    log.fileSystem = &world.Files();
    log.environment = &world.Environment();
    ShowSelfTest(access, c.printer, log, ui);
    EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 0u) << "the port is closed at the end";
    if (c.check) {
        c.check(*this);
    }
}

std::vector<std::uint8_t> g_caughtDummy;

const auto kFailStore = [](SelfTestRun& run) {
    run.Device().Faults().failedStatus = 0x01;
    run.Device().Faults().failedStatusCommand = 0x02;  // the store
};
const std::string kBackups = "/home/technician/.local/state/marnel/backups";
const std::string kBackup = kBackups + "/KQ-10_Zarvel-KQ-10_KQ10SN0001_20261207T120000Z.prm";
// The original block could not be written back, even the second time.
const std::vector<std::pair<std::string, std::string>> kFailedWrites = {
    {"Success: PutParam dummy", "Error: PutParam dummy"},
    {"Success: PutParam original",
     "Error: PutParam original\n+The device's parameters were saved to " + kBackup +
         " before the test. Restore them with Put Parameters."}};
const auto kBackupHoldsTheOriginal = [](SelfTestRun& run) {
    EXPECT_EQ(run.world.Files().Content(kBackup), run.original) << "byte for byte";
    EXPECT_EQ(run.Device().StoreCount(), 0);
};

INSTANTIATE_TEST_SUITE_P(
    Runs, SelfTestBoxes,
    ::testing::Values(
        SelfTestCase{"everything succeeds in ten boxes", "Zarvel KQ-10", {}, {}, 10, {},
                     [](SelfTestRun& run) {
                         EXPECT_EQ(run.ui.Boxes().size(), 10u);
                         EXPECT_EQ(run.Device().StoreCount(), 2);
                         EXPECT_EQ(run.Device().ParameterBlock(), run.original)
                             << "the block read first is written back";
                     }},
        // The device keeps whatever it stores; catch the dummy in between.
        SelfTestCase{"the dummy block is the KQ-10 tag and zeros", "Zarvel KQ-10", {}, {}, 10,
                     {{"Success: PutParam dummy",
                       [](SelfTestRun& run) { g_caughtDummy = run.Device().ParameterBlock(); }}},
                     [](SelfTestRun&) {
                         std::vector<std::uint8_t> expected(266, 0);
                         const char tag[] = "KQ-10   ";
                         std::copy(tag, tag + 8, expected.begin());
                         EXPECT_EQ(g_caughtDummy, expected);
                     }},
        SelfTestCase{"no device selected ends after Create", "", {},
                     {{"Success: Create", "Error: Create"}}, 2, {},
                     [](SelfTestRun& run) { EXPECT_TRUE(run.Device().ControlLog().empty()); }},
        SelfTestCase{"a failed first read ends the test", "Zarvel KQ-10",
                     [](SelfTestRun& run) {
                         run.Device().Faults().failedStatus = 0x01;
                         run.Device().Faults().failedStatusCommand = 0x01;  // the parameter read
                     },
                     {{"Success: GetParam", "Error: GetParam"}}, 3, {},
                     [](SelfTestRun& run) { EXPECT_EQ(run.Device().StoreCount(), 0); }},
        SelfTestCase{"failed writes are reported, the backup named, and the test goes on",
                     "Zarvel KQ-10", kFailStore, kFailedWrites, 11, {}, kBackupHoldsTheOriginal},
        SelfTestCase{"a transient failure writing the original back is tried again",
                     "Zarvel KQ-10", {}, {}, 10,
                     {{"Success: PutParam dummy",
                       [](SelfTestRun& run) {
                           // The next control call, the first of the write back, fails.
                           run.Device().Faults().failControlCalls = {
                               static_cast<int>(run.Device().ControlLog().size()) + 1};
                       }}},
                     [](SelfTestRun& run) {
                         EXPECT_EQ(run.Device().StoreCount(), 2);
                         EXPECT_EQ(run.Device().ParameterBlock(), run.original);
                     }},
        // Each write that finds no memory says so before its step's box; the
        // second try of the original then stores it.
        SelfTestCase{"writes out of memory say so first", "Zarvel KQ-10",
                     [](SelfTestRun& run) { run.starvedWrites = 2; },
                     {{"Success: PutParam dummy", "Out of memory.\n+Error: PutParam dummy"},
                      {"Success: PutParam original",
                       "Out of memory.\n+Success: PutParam original"}},
                     12, {},
                     [](SelfTestRun& run) {
                         EXPECT_EQ(run.Device().StoreCount(), 1);
                         EXPECT_EQ(run.Device().ParameterBlock(), run.original);
                     }},
        SelfTestCase{"without a backup nothing is written", "Zarvel KQ-10",
                     [](SelfTestRun& run) {
                         run.world.Files().FaultsFor(kBackups).openFails =
                             FileErrorCause::kAccessDenied;
                     },
                     {{"Success: GetParam",
                       "Success: GetParam\n+Access to " + kBackups + " was denied."}},
                     4, {},
                     [](SelfTestRun& run) {
                         EXPECT_EQ(run.Device().StoreCount(), 0);
                         for (const std::string& path : run.world.Files().Paths()) {
                             EXPECT_NE(path.rfind(kBackups, 0), 0u) << path;
                         }
                     }},
        SelfTestCase{"a failed second read skips the comparison only", "Zarvel KQ-10", {},
                     {{"Success: GetParam2", "Error: GetParam2"}, {"Success: Compare", ""}}, 10,
                     {{"Success: PutParam original",
                       [](SelfTestRun& run) {
                           run.Device().Faults().failedStatus = 0x01;
                           run.Device().Faults().failedStatusCommand = 0x01;
                       }},
                      {"Error: GetParam2",
                       [](SelfTestRun& run) { run.Device().Faults().failedStatus.reset(); }}}},
        SelfTestCase{"a different second read fails the comparison", "Zarvel KQ-10", {},
                     {{"Success: Compare", "Error: Compare"}}, 10,
                     {{"Success: PutParam original",
                       [](SelfTestRun& run) {
                           run.Device().SetParameterBlock(DefaultParameterBlock(SimModel::kZT5));
                       }}}},
        // Nine non-zero bytes and more behind them: only the nine are shown.
        SelfTestCase{"version and report fill their buffers exactly", "Zarvel KQ-10",
                     [](SelfTestRun& run) {
                         run.Device().SetVersionReply(
                             {'V', '1', '2', '.', '3', '4', '-', 'r', 'c', 'X', 'Y'});
                         run.Device().SetReport(std::string(4095, 'r') + '\n');
                         kFailStore(run);
                     },
                     kFailedWrites, 11, {},
                     [](SelfTestRun& run) { EXPECT_EQ(run.ui.Boxes().back().text.size(), 4096u); },
                     "V12.34-rc", std::string(4095, 'r') + '\n'},
        SelfTestCase{"version and report failures end the test after the report", "Zarvel KQ-10",
                     [](SelfTestRun& run) {
                         run.Device().Faults().failedStatus = 0x01;
                         run.Device().Faults().failedStatusCommand = 0x03;  // the version read
                         run.Device().Faults().readFailAfter = 10;
                     },
                     {{"Success: GetVersion (" + DefaultVersionText(SimModel::kKQ10) + ")",
                       "Error: GetVersion"},
                      {"Success: GetReport", "Error: GetReport"},
                      {DefaultReportText(SimModel::kKQ10), ""}},
                     10,
                     {}}));

}  // namespace
}  // namespace marnel
