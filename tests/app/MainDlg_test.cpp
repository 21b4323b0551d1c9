#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ScriptedUi.h"
#include "app/MainDlg.h"
#include "device/RegistryDeviceBus.h"
#include "res/Resource.h"
#include "sim/MemoryRegistry.h"
#include "sim/MemorySpooler.h"
#include "sim/SimDevice.h"
#include "sim/SimDeviceFile.h"
#include "sim/SimPlatform.h"

namespace marnel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr DWORD kWarning = kMbOk | kMbIconExclamation;
constexpr DWORD kOffline = kPrinterAttributeWorkOffline;

// The main window with the operations it hands over to observed, not run.
class ObservedDlg : public CQuillKQDlg {
public:
    ObservedDlg(const PlatformServices& services, ScriptedUi& ui)
        : CQuillKQDlg(services, ui, ui), m_scripted(ui) {}
    void DownloadFirmware(const std::string& path) override {
        m_scripted.Note("download:" + path);
    }
    void SelfTest() override { m_scripted.Note("self-test"); }

private:
    ScriptedUi& m_scripted;
};

class DroppedFiles : public IDroppedFiles {
public:
    DroppedFiles(ScriptedUi& ui, std::vector<std::string> paths)
        : m_ui(ui), m_paths(std::move(paths)) {}
    DWORD Count() override {
        m_ui.Note("drop-count");
        return static_cast<DWORD>(m_paths.size());
    }
    std::string Path(DWORD index) override {
        m_ui.Note("drop-path:" + std::to_string(index));
        return m_paths.at(index);
    }
    void Finish() override { m_ui.Note("drop-finish"); }

private:
    ScriptedUi& m_ui;
    std::vector<std::string> m_paths;
};

// A test name from a case's description.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    std::string name;
    for (const char* p = param.param.what; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    }
    return name;
}

class MainDlgTest : public ::testing::Test {
protected:
    MainDlgTest() {
        ui.SetTimerHandler([this](DWORD id) { dlg.OnTimer(id); });
        ui.ClearEvents();
    }

    ~MainDlgTest() override {
        EXPECT_EQ(0u, spooler.OpenHandleCount()) << "printer handle left open";
        EXPECT_EQ(0u, spooler.BadCloses());
        EXPECT_THAT(spooler.Jobs(), IsEmpty()) << "selection started a print job";
    }

    void Add(const std::string& name, const std::string& driver, DWORD attributes = 0) {
        spooler.AddPrinter({name, driver, "USB001", attributes});
    }
    void SetOffline(const std::string& name) { spooler.SetAttributes(name, kOffline); }
    std::size_t Enumerations() const { return spooler.CountCalls("EnumPrinters"); }
    std::vector<std::string> SpoolerCalls(const std::string& prefix) const {
        std::vector<std::string> calls;
        for (const auto& call : spooler.Calls()) {
            if (call.compare(0, prefix.size(), prefix) == 0) {
                calls.push_back(call);
            }
        }
        return calls;
    }

    VirtualClock clock;
    ScriptedUi ui{clock};
    MemorySpooler spooler;
    MemoryRegistry registry;
    SimDeviceFile deviceFile;
    SimPlatformVersion version;
    SimCodePage codePage;
    CRegistryDeviceBus devices{version, registry, deviceFile, codePage};
    PlatformServices services{spooler, devices, clock, codePage};
    ObservedDlg dlg{services, ui};
};

// --- Choosing the device ---

struct SelectionCase {
    const char* what;
    std::vector<PrinterInfo> printers;
    int count;
    std::string chosen;  // empty: no device
};

void PrintTo(const SelectionCase& c, std::ostream* os) { *os << c.what; }

class SelectionTest : public MainDlgTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(SelectionTest, ChoosesTheFirstQualifyingPrinterAndLabelsIt) {
    const SelectionCase& c = GetParam();
    for (const auto& printer : c.printers) {
        spooler.AddPrinter(printer);
    }
    if (c.count > 1) {
        ui.ExpectBox("Many devices are connected.", kWarning);
    }

    dlg.SelectPrinter();

    EXPECT_EQ(c.chosen, dlg.m_strPrinterName);
    EXPECT_EQ(c.chosen.empty() ? "- No Device -" : c.chosen, ui.Label());
    // The count itself, with the choice already made.
    EXPECT_EQ(c.count, dlg.FindDevicePrinters());
}

PrinterInfo P(std::string name, std::string driver, DWORD attributes = 0) {
    return {std::move(name), std::move(driver), "USB001", attributes};
}

INSTANTIATE_TEST_SUITE_P(
    Printers, SelectionTest,
    ::testing::Values(
        SelectionCase{"no local printers", {}, 0, ""},
        SelectionCase{"no driver with a device prefix",
                      {P("Office", "Generic / Text Only"), P("Label", "Zarvel XY-1"),
                       P("Zarvel KQ-10", "Microsoft Print To PDF")},
                      0,
                      ""},
        SelectionCase{"driver names one character short of a prefix",
                      {P("a", "Zarvel KQ"), P("b", "Zarvel ZT"), P("c", "Zarvel")},
                      0,
                      ""},
        SelectionCase{"KQ driver in lower case", {P("Desk", "zarvel kq-20 driver")}, 1, "Desk"},
        SelectionCase{"ZT driver in mixed case", {P("Shop", "ZARVEL zt-5")}, 1, "Shop"},
        SelectionCase{"driver name exactly a prefix", {P("Bare", "Zarvel ZT-")}, 1, "Bare"},
        SelectionCase{"offline device skipped, online one chosen without a warning",
                      {P("Asleep", "Zarvel KQ-20", kOffline), P("Awake", "Zarvel KQ-20")},
                      1,
                      "Awake"},
        SelectionCase{"only device offline", {P("Asleep", "Zarvel KQ-20", kOffline | 0x40)}, 0, ""},
        SelectionCase{"other attribute bits do not matter",
                      {P("Shared", "Zarvel KQ-20", 0x0008 | 0x0040 | 0x2000)},
                      1,
                      "Shared"},
        SelectionCase{
            "two devices: the first in spooler order, with a warning",
            {P("Office", "Generic"), P("Second", "Zarvel ZT-3"), P("First?", "Zarvel KQ-10")},
            2,
            "Second"}),
    CaseName<SelectionCase>);

TEST_F(MainDlgTest, ManyDevicesWarningComesOnceAndBeforeTheLabel) {
    Add("One", "Zarvel KQ-20");
    Add("Two", "Zarvel KQ-20");
    Add("Three", "Zarvel ZT-1");
    ui.ExpectBox("Many devices are connected.", kWarning);

    dlg.SelectPrinter();

    EXPECT_THAT(ui.Events(), ElementsAre("box:Many devices are connected.", "label:One"));
}

TEST_F(MainDlgTest, SelectionChoosesAfreshButFindingAloneKeepsAStoredName) {
    Add("Device", "Zarvel KQ-20");
    dlg.m_strPrinterName = "Earlier";
    EXPECT_EQ(1, dlg.FindDevicePrinters());
    EXPECT_EQ("Earlier", dlg.m_strPrinterName);

    dlg.SelectPrinter();
    EXPECT_EQ("Device", dlg.m_strPrinterName);
}

TEST_F(MainDlgTest, FailedEnumerationMeansNoDeviceWithoutAMessage) {
    Add("Device", "Zarvel KQ-20");
    for (auto fault : {SpoolerFault::kSizeQueryFailed, SpoolerFault::kReadFailed}) {
        spooler.SetEnumFault(fault);
        dlg.m_strPrinterName = "Stale";
        dlg.SelectPrinter();
        EXPECT_EQ("", dlg.m_strPrinterName);
        EXPECT_EQ("- No Device -", ui.Label());
    }
    EXPECT_THAT(ui.Boxes(), IsEmpty());
}

TEST_F(MainDlgTest, OutOfMemoryWhileListingIsReportedAndCountsAsNoDevice) {
    Add("Device", "Zarvel KQ-20");
    spooler.SetEnumFault(SpoolerFault::kOutOfMemory);
    ui.ExpectBox("Out of memory.", kWarning);

    dlg.SelectPrinter();

    EXPECT_EQ("- No Device -", ui.Label());
    EXPECT_THAT(ui.Events(), ElementsAre("box:Out of memory.", "label:- No Device -"));
}

// --- Device changes and the re-check ---

TEST_F(MainDlgTest, OnlyNodeChangesStartTheRecheckTimer) {
    for (DWORD event : {0x0000u, 0x0018u, 0x8000u, 0x8004u, 0x0006u, 0x0008u}) {
        EXPECT_EQ(1, dlg.OnDeviceChange(event, 0)) << "event " << event;
    }
    EXPECT_THAT(ui.Events(), IsEmpty());
    EXPECT_EQ(0u, dlg.m_nTimer);

    EXPECT_EQ(1, dlg.OnDeviceChange(kDbtDevNodesChanged, 0));
    EXPECT_THAT(ui.Events(), ElementsAre("timer:1:200"));
    EXPECT_EQ(kDeviceChangeTimerId, dlg.m_nTimer);
}

TEST_F(MainDlgTest, ABurstOfChangesLeadsToOneRecheckAfterTheLast) {
    // No stored printer: the re-check selects at once, so the enumeration's
    // time is the re-check's time.
    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(50);
    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(50);
    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(199);
    EXPECT_EQ(0u, Enumerations());
    ui.Elapse(1);
    EXPECT_EQ(1u, Enumerations()) << "re-check 200 ms after the third notification";
    ui.Elapse(5000);
    EXPECT_EQ(1u, Enumerations());
    EXPECT_EQ(0u, dlg.m_nTimer);
    EXPECT_FALSE(ui.TimerPending(kDeviceChangeTimerId));
    EXPECT_THAT(clock.Sleeps(), IsEmpty());
}

TEST_F(MainDlgTest, AnotherTimerGoesToDefaultHandling) {
    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.ClearEvents();

    dlg.OnTimer(kDeviceChangeTimerId + 1);

    EXPECT_THAT(ui.Events(), ElementsAre("default"));
    EXPECT_EQ(kDeviceChangeTimerId, dlg.m_nTimer);
    EXPECT_TRUE(ui.TimerPending(kDeviceChangeTimerId));
    EXPECT_EQ(0u, Enumerations());
}

TEST_F(MainDlgTest, RecheckKeepsAStoredPrinterThatIsStillOnline) {
    Add("Zarvel KQ-10", "Zarvel KQ-10");
    dlg.SelectPrinter();
    // A second device arrives; the stored one stays usable.
    Add("Newcomer", "Zarvel ZT-1");
    ui.ClearEvents();

    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(200);

    EXPECT_EQ(1u, Enumerations()) << "no enumeration beyond the first selection";
    EXPECT_THAT(SpoolerCalls("OpenPrinter"), ElementsAre("OpenPrinter Zarvel KQ-10"));
    EXPECT_EQ("Zarvel KQ-10", dlg.m_strPrinterName);
    EXPECT_THAT(ui.Events(),
                ElementsAre("timer:1:200", "WM_TIMER:1", "kill:1", "wait+", "wait-"));
    EXPECT_THAT(clock.Sleeps(), ElementsAre(1000u));
    EXPECT_THAT(ui.WaitCursorSpansMs(), ElementsAre(1000u));
}

struct LostPrinterCase {
    const char* what;
    void (*lose)(MemorySpooler&);
    bool outOfMemoryBox;
};

void PrintTo(const LostPrinterCase& c, std::ostream* os) { *os << c.what; }

class LostPrinterTest : public MainDlgTest, public ::testing::WithParamInterface<LostPrinterCase> {};

TEST_P(LostPrinterTest, RecheckSelectsAgainWhenTheStoredPrinterIsGone) {
    Add("Device", "Zarvel KQ-20");
    dlg.SelectPrinter();
    GetParam().lose(spooler);
    ui.ClearEvents();
    if (GetParam().outOfMemoryBox) {
        ui.ExpectBox("Out of memory.", kWarning);
    }

    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(200);

    EXPECT_EQ("", dlg.m_strPrinterName);
    EXPECT_EQ("- No Device -", ui.Label());
    EXPECT_EQ(2u, Enumerations());
    EXPECT_EQ(1200u, clock.NowMs()) << "discovery after the 1000 ms settle";
    // The wait cursor covers the sleep and the check, not the discovery.
    ASSERT_GE(ui.Events().size(), 2u);
    EXPECT_EQ("label:- No Device -", ui.Events().back());
    EXPECT_EQ(0, ui.WaitCursorDepth());
    EXPECT_THAT(ui.WaitCursorSpansMs(), ElementsAre(1000u));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, LostPrinterTest,
    ::testing::Values(
        LostPrinterCase{"offline",
                        [](MemorySpooler& s) { s.SetAttributes("Device", kOffline); }, false},
        LostPrinterCase{"deleted", [](MemorySpooler& s) { s.RemovePrinter("Device"); }, false},
        LostPrinterCase{"not to be opened",
                        [](MemorySpooler& s) {
                            s.SetOpenFails("Device");
                            s.SetAttributes("Device", kOffline);
                        },
                        false},
        LostPrinterCase{"record unreadable",
                        [](MemorySpooler& s) {
                            s.SetGetPrinterFault("Device", SpoolerFault::kReadFailed);
                            s.SetAttributes("Device", kOffline);
                        },
                        false},
        LostPrinterCase{"out of memory reading the record",
                        [](MemorySpooler& s) {
                            s.SetGetPrinterFault("Device", SpoolerFault::kOutOfMemory);
                            s.SetAttributes("Device", kOffline);
                        },
                        true}),
    CaseName<LostPrinterCase>);

TEST_F(MainDlgTest, RecheckAfterLosingTheDeviceChoosesAnotherOne) {
    Add("First", "Zarvel KQ-10");
    dlg.SelectPrinter();
    SetOffline("First");
    Add("Zarvel KQ-10 spare", "Zarvel KQ-10");

    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(200);

    EXPECT_EQ("Zarvel KQ-10 spare", dlg.m_strPrinterName);
    EXPECT_EQ("Zarvel KQ-10 spare", ui.Label());
}

TEST_F(MainDlgTest, RecheckWithoutAStoredPrinterSelectsAtOnce) {
    dlg.SelectPrinter();
    Add("Arrived", "Zarvel ZT-2");
    ui.ClearEvents();

    dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
    ui.Elapse(200);

    EXPECT_THAT(clock.Sleeps(), IsEmpty());
    EXPECT_THAT(SpoolerCalls("OpenPrinter"), IsEmpty());
    EXPECT_EQ("Arrived", ui.Label());
    EXPECT_THAT(ui.Events(), ElementsAre("timer:1:200", "WM_TIMER:1", "kill:1", "label:Arrived"));
}

TEST_F(MainDlgTest, RecheckDuringABoxCanChangeTheChoice) {
    // A box's modal loop still delivers the timer: the re-check runs while
    // the warning is up, and the outer selection labels what it left.
    Add("One", "Zarvel KQ-20");
    Add("Two", "Zarvel KQ-20");
    ui.ExpectBox("Many devices are connected.", kWarning, kIdOk, [this] {
        SetOffline("One");
        dlg.OnDeviceChange(kDbtDevNodesChanged, 0);
        ui.Elapse(200);
    });

    dlg.SelectPrinter();

    EXPECT_EQ("Two", dlg.m_strPrinterName);
    EXPECT_EQ("Two", ui.Label());
}

// --- System menu, drops, initialisation ---

TEST_F(MainDlgTest, SystemCommandsRouteByTheirHighBits) {
    for (DWORD id = 0x0010; id <= 0x001F; ++id) {
        for (bool shift : {false, true}) {
            ui.ClearEvents();
            ui.SetShiftDown(shift);
            dlg.OnSysCommand(id, 0);
            EXPECT_THAT(ui.Events(), ElementsAre("shift?", shift ? "self-test" : "about"))
                << "command 0x" << std::hex << id;
        }
    }
    ui.SetShiftDown(true);
    for (DWORD id : {0x0000u, 0x000Fu, 0x0020u, 0x0110u, 0xF020u, 0xF060u, 0xF100u, 0xF010u}) {
        ui.ClearEvents();
        dlg.OnSysCommand(id, 0);
        EXPECT_THAT(ui.Events(), ElementsAre("default")) << "command 0x" << std::hex << id;
    }
}

TEST_F(MainDlgTest, AboutBoxBorrowsTheWindowFontOrNone) {
    dlg.OnSysCommand(IDM_ABOUTBOX, 0);

    int font = 0;
    ui.SetIconTitleFont(&font);
    ObservedDlg withFont(services, ui);
    withFont.OnInitDialog();
    withFont.OnSysCommand(IDM_ABOUTBOX, 0);

    EXPECT_THAT(ui.AboutBoxFonts(), ElementsAre(nullptr, &font));
}

TEST_F(MainDlgTest, DropHandsOnlyTheFirstFileOnAndKeepsTheRememberedPath) {
    dlg.m_strFirmwarePath = "C:\\fw\\chosen.kvf";
    const std::string longPath = "C:\\" + std::string(300, 'd') + "\\update.bin";
    DroppedFiles drop(ui, {longPath, "C:\\second.kvf", "C:\\third.kvf"});

    dlg.OnDropFiles(drop);

    EXPECT_THAT(ui.Events(), ElementsAre("foreground", "drop-count", "drop-path:0",
                                         "download:" + longPath, "drop-finish"));
    EXPECT_EQ("C:\\fw\\chosen.kvf", dlg.m_strFirmwarePath);
}

TEST_F(MainDlgTest, EmptyDropOnlyReleasesTheDrop) {
    DroppedFiles drop(ui, {});
    dlg.OnDropFiles(drop);
    EXPECT_THAT(ui.Events(), ElementsAre("foreground", "drop-count", "drop-finish"));
}

TEST_F(MainDlgTest, InitialisationOrder) {
    int font = 0;
    int icon = 0;
    ui.SetIconTitleFont(&font);
    ui.SetAppIcon(&icon);
    Add("A", "Zarvel KQ-20");
    Add("B", "Zarvel KQ-20");
    ui.ExpectBox("Many devices are connected.", kWarning);
    {
        ObservedDlg window(services, ui);
        EXPECT_EQ(&icon, window.m_hIcon);
        EXPECT_EQ(1, window.OnInitDialog());
        EXPECT_EQ(&font, window.m_font.GetSafeHandle());
        EXPECT_THAT(ui.SystemMenuItems().back(),
                    ::testing::Pair(static_cast<DWORD>(IDM_ABOUTBOX), "&About Marnel..."));
    }
    EXPECT_THAT(ui.Events(),
                ElementsAre("load-icon:128", "menu-separator", "menu:16:&About Marnel...",
                            "big-icon", "create-font", "apply-font",
                            "box:Many devices are connected.", "label:A", "accept-drop",
                            "delete-font"));
    EXPECT_THAT(ui.DeletedFonts(), ElementsAre(&font));
}

TEST_F(MainDlgTest, InitialisationWithoutMenuIconOrFont) {
    ui.SetHasSystemMenu(false);
    {
        ObservedDlg window(services, ui);
        EXPECT_EQ(1, window.OnInitDialog());
        EXPECT_EQ(nullptr, window.m_font.GetSafeHandle());
    }
    EXPECT_THAT(ui.Events(), ElementsAre("load-icon:128", "big-icon:null", "create-font",
                                         "label:- No Device -", "accept-drop"));
}

}  // namespace
}  // namespace marnel
