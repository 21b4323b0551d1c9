#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "CommandWorld.h"

namespace marnel {
namespace {

using test::CommandTest;
using test::kPrompt;
using test::kWarning;

constexpr char kVersionUp[] =
    "Please restart in a VERSION UP mode.\n\nPush [OK] when ready to receive.";
constexpr DWORD kPiece = 1048576;

class FirmwareUpgrade : public CommandTest {
protected:
    // The device restarted in update mode before the prompt is answered.
    void ExpectPromptRestartingTheDevice() {
        ui.ExpectBox(kVersionUp, kPrompt, kIdOk, [this] { Device().SetMode(SimMode::kUpdate); });
    }

    const SpoolerJob* OnlyJob() {
        EXPECT_EQ(world.Spooler().Jobs().size(), 1u);
        return world.Spooler().Jobs().empty() ? nullptr : &world.Spooler().Jobs()[0];
    }
};

TEST_F(FirmwareUpgrade, SendsTheFileAsOneRawJobInPiecesOfAtMostOneMebibyte) {
    struct Case {
        std::uint64_t size;
        std::vector<DWORD> writes;
    } cases[] = {
        {0, {}},
        {1, {1}},
        {kPiece, {kPiece}},
        {kPiece + 1, {kPiece, 1}},
        {2500000, {kPiece, kPiece, 402848}},
    };
    std::size_t jobs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        Device().SetMode(SimMode::kService);
        Files().AddGeneratedFile("/fw/image.kvf", c.size);
        ExpectPromptRestartingTheDevice();
        dlg.DownloadFirmware("/fw/image.kvf");
        ASSERT_EQ(world.Spooler().Jobs().size(), ++jobs);
        const SpoolerJob& job = world.Spooler().Jobs().back();
        EXPECT_EQ(job.docName, "Updater");
        EXPECT_FALSE(job.hasOutputFile);
        EXPECT_EQ(job.dataType, "RAW");
        EXPECT_EQ(job.pagesStarted, 1);
        EXPECT_EQ(job.pagesEnded, 1);
        EXPECT_EQ(job.writeSizes, c.writes);
        EXPECT_EQ(job.state, SpoolerJob::State::kDelivered);
        ASSERT_EQ(Device().Jobs().size(), jobs);
        EXPECT_EQ(Device().Jobs().back().bytes, Files().Content("/fw/image.kvf"));
        EXPECT_EQ(Device().Jobs().back().modeOnArrival, SimMode::kUpdate);
    }
    EXPECT_EQ(ui.Boxes().size(), jobs) << "only the prompts: a completed job shows nothing";
    EXPECT_TRUE(ui.WaitCursorSpansMs().empty()) << "no wait cursor during a download";
}

TEST_F(FirmwareUpgrade, TheDialogChoosesTheFileAndADropDoesNotChangeTheRememberedPath) {
    Files().SetFile("/fw/chosen.kvf", Pattern(5000, 1));
    Files().SetFile("/drop/other.bin", Pattern(700, 2));
    dlg.m_strFirmwarePath = "/fw/old.kvf";
    ui.AnswerFileDialog("/fw/chosen.kvf");
    ExpectPromptRestartingTheDevice();
    dlg.OnFirmwareUpgrade();
    EXPECT_EQ(dlg.m_strFirmwarePath, "/fw/chosen.kvf");

    Device().SetMode(SimMode::kService);
    ExpectPromptRestartingTheDevice();
    dlg.DownloadFirmware("/drop/other.bin");
    EXPECT_EQ(dlg.m_strFirmwarePath, "/fw/chosen.kvf");

    ui.CancelFileDialog();
    dlg.OnFirmwareUpgrade();
    ASSERT_EQ(ui.FileDialogs().size(), 2u);
    const FileDialogRequest& request = ui.FileDialogs()[0];
    EXPECT_EQ(request.kind, FileDialogKind::kOpen);
    EXPECT_EQ(request.initialName, "/fw/old.kvf");
    EXPECT_EQ(request.defaultExtension, "");
    EXPECT_EQ(request.flags, 0x1004u);
    EXPECT_EQ(request.filter, "Firmware file (*.kvf)|*.kvf|All Files (*.*)|*.*||");
    EXPECT_EQ(ui.FileDialogs()[1].initialName, "/fw/chosen.kvf");
    EXPECT_EQ(dlg.m_strFirmwarePath, "/fw/chosen.kvf") << "a cancelled dialog changes nothing";

    ASSERT_EQ(Device().Jobs().size(), 2u);
    EXPECT_EQ(Device().Jobs()[0].bytes, Pattern(5000, 1));
    EXPECT_EQ(Device().Jobs()[1].bytes, Pattern(700, 2));
}

TEST_F(FirmwareUpgrade, CancelAtTheFirstPromptSendsNothing) {
    Files().SetFile("/fw/a.kvf", Pattern(10, 1));
    ui.ExpectBox(kVersionUp, kPrompt, kIdCancel);
    dlg.DownloadFirmware("/fw/a.kvf");
    EXPECT_TRUE(world.Spooler().Jobs().empty());
    EXPECT_EQ(world.Spooler().CountCalls("OpenPrinter Zarvel KQ-10"), 0u);
    EXPECT_TRUE(Device().ControlLog().empty());
}

TEST_F(FirmwareUpgrade, ThePromptComesBackUntilTheDeviceLeavesServiceModeAndThePrinterOpens) {
    Files().SetFile("/fw/a.kvf", Pattern(10, 1));
    // Still in service mode, then unreachable, then the printer refuses to
    // open, then ready: four prompts, and no word about which it was.
    ui.ExpectBox(kVersionUp, kPrompt);
    ui.ExpectBox(kVersionUp, kPrompt, kIdOk, [this] { world.Unplug("Zarvel KQ-10"); });
    ui.ExpectBox(kVersionUp, kPrompt, kIdOk, [this] {
        world.Plug("Zarvel KQ-10");
        Device().SetMode(SimMode::kUpdate);
        world.Spooler().SetOpenFails("Zarvel KQ-10");
    });
    ui.ExpectBox(kVersionUp, kPrompt, kIdOk,
                 [this] { world.Spooler().SetOpenFails("Zarvel KQ-10", false); });
    dlg.DownloadFirmware("/fw/a.kvf");
    ASSERT_EQ(Device().Jobs().size(), 1u);
    EXPECT_EQ(Device().Jobs()[0].bytes, Pattern(10, 1));
    EXPECT_EQ(ui.Boxes().size(), 4u);
}

TEST_F(FirmwareUpgrade, NoDeviceReachableOnlyBringsThePromptBack) {
    Files().SetFile("/fw/a.kvf", Pattern(10, 1));
    dlg.m_strPrinterName.clear();
    ui.ExpectBox(kVersionUp, kPrompt);
    ui.ExpectBox(kVersionUp, kPrompt);
    ui.ExpectBox(kVersionUp, kPrompt, kIdCancel);
    dlg.DownloadFirmware("/fw/a.kvf");
    EXPECT_TRUE(world.Spooler().Jobs().empty());
}

TEST_F(FirmwareUpgrade, AFileThatCannotBeOpenedIsReportedWithoutAPrompt) {
    Files().SetFile("/fw/held.kvf", Pattern(10, 1));
    Files().FaultsFor("/fw/held.kvf").heldByOtherProgram = true;
    ui.ExpectBox("/fw/missing.kvf was not found.", kWarning);
    dlg.DownloadFirmware("/fw/missing.kvf");
    ui.ExpectBox("A sharing violation occurred while accessing /fw/held.kvf.", kWarning);
    dlg.DownloadFirmware("/fw/held.kvf");
    EXPECT_TRUE(world.Spooler().Calls().empty());
}

TEST_F(FirmwareUpgrade, AReadErrorPartWayCancelsTheJobAndIsReported) {
    Files().AddGeneratedFile("/fw/big.kvf", 3 * kPiece);
    Files().FaultsFor("/fw/big.kvf").readErrorAfter = kPiece + 5;
    ExpectPromptRestartingTheDevice();
    ui.ExpectBox("A hardware I/O error was reported while accessing /fw/big.kvf.", kWarning);
    dlg.DownloadFirmware("/fw/big.kvf");
    const SpoolerJob* job = OnlyJob();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->state, SpoolerJob::State::kCancelled);
    EXPECT_EQ(job->pagesEnded, 0);
    EXPECT_TRUE(Device().Jobs().empty()) << "no part of the file reached the device";
    // Cancelled before the report, the printer closed after it.
    const std::vector<std::string>& calls = world.Spooler().Calls();
    EXPECT_EQ(calls.back(), "ClosePrinter Zarvel KQ-10");
    EXPECT_EQ(calls[calls.size() - 2], "CancelJob 1");
}

TEST_F(FirmwareUpgrade, ASpoolerFailureCancelsTheJobAndSaysSo) {
    struct Case {
        const char* what;
        void (*inject)(MemorySpooler&);
    } cases[] = {
        {"StartDocPrinter fails", [](MemorySpooler& s) { s.SetStartDocFails(true); }},
        {"second write fails", [](MemorySpooler& s) { s.FailWrite(1); }},
        {"first write short", [](MemorySpooler& s) { s.ShortWrite(0, 1000); }},
        {"EndDocPrinter fails", [](MemorySpooler& s) { s.SetEndDocFails(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimWorld other;
        SimInstalledDevice& device = other.AddDevice(SimDeviceSetup(SimModel::kZT5));
        ScriptedUi otherUi(other.Clock());
        CQuillKQDlg window(other.Services(), otherUi, otherUi);
        window.m_strPrinterName = "Zarvel ZT-5";
        other.Files().AddGeneratedFile("/fw/zt.kvf", 2 * kPiece + 10);
        c.inject(other.Spooler());
        otherUi.ExpectBox(kVersionUp, kPrompt, kIdOk,
                          [&] { device.device.SetMode(SimMode::kUpdate); });
        otherUi.ExpectBox("Failed to send the firmware.", kWarning);
        window.DownloadFirmware("/fw/zt.kvf");
        EXPECT_TRUE(device.device.Jobs().empty());
        for (const SpoolerJob& job : other.Spooler().Jobs()) {
            EXPECT_NE(job.state, SpoolerJob::State::kDelivered);
        }
        EXPECT_EQ(other.Spooler().OpenHandleCount(), 0u);
        EXPECT_EQ(other.Files().OpenHandleCount(), 0u);
    }
}

// Reads this process's peak resident set size (VmHWM) in KiB; 0 when unknown.
std::size_t PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return static_cast<std::size_t>(std::stoul(line.substr(6)));
        }
    }
    return 0;
}

TEST_F(FirmwareUpgrade, SixtyFourMebibytesGoThroughOneBufferOfOnePiece) {
    constexpr std::uint64_t kSize = 64ull * kPiece;
    Files().AddGeneratedFile("/fw/huge.kvf", kSize);
    // Neither the spooler nor the device keeps the bytes: they count and
    // checksum them, so that the run's memory is the download's own.
    world.Spooler().SetKeepJobData(false);
    Device().SetKeepJobBytes(false);
    const std::size_t before = PeakResidentKiB();
    ExpectPromptRestartingTheDevice();
    dlg.DownloadFirmware("/fw/huge.kvf");
    const std::size_t after = PeakResidentKiB();
    // Computed only now, so that its own buffer does not count above.
    std::uint32_t expectedCrc = 0;
    {
        std::vector<std::uint8_t> piece(kPiece);
        for (std::uint64_t at = 0; at < kSize; at += kPiece) {
            MemoryFileSystem::PatternBytes(at, piece.data(), piece.size());
            expectedCrc = Crc32(piece.data(), piece.size(), expectedCrc);
        }
    }
    const SpoolerJob* job = OnlyJob();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->writeSizes, std::vector<DWORD>(64, kPiece));
    EXPECT_EQ(job->size, kSize);
    EXPECT_EQ(job->crc32, expectedCrc);
    EXPECT_TRUE(job->data.empty());
    RecordProperty("peak_rss_before_kib", static_cast<int>(before));
    RecordProperty("peak_rss_after_kib", static_cast<int>(after));
    std::printf("peak resident set: %zu KiB before, %zu KiB after the 64 MiB download\n", before,
                after);
    if (before != 0) {
        // One piece buffer and change; holding the file would add 64 MiB.
        EXPECT_LT(after - before, 16u * 1024u);
    }
}

}  // namespace
}  // namespace marnel
