#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CommandWorld.h"

namespace marnel {
namespace {

using test::CommandTest;
using test::kInformation;
using test::kWarning;
using test::StarvedDlg;

using ParameterCommands = CommandTest;

TEST_F(ParameterCommands, NoDeviceReachableFailsAtOnceWithoutADialog) {
    world.Unplug("Zarvel KQ-10");
    dlg.m_strParamPath = "/p/last.bin";
    for (auto command : {&CQuillKQDlg::OnGetParameters, &CQuillKQDlg::OnPutParameters}) {
        ui.ExpectBox("Failed to connect.", kWarning);
        (dlg.*command)();
    }
    EXPECT_TRUE(ui.FileDialogs().empty());
    EXPECT_EQ(ui.Boxes()[0].waitCursorDepth, 0);
    EXPECT_EQ(dlg.m_strParamPath, "/p/last.bin");
}

TEST_F(ParameterCommands, GetSavesTheBlockUnchangedAndRemembersThePath) {
    dlg.m_strParamPath = "/p/earlier.bin";
    Files().SetFile("/p/params.bin", Pattern(1000, 1));  // an existing file is replaced whole
    ui.AnswerFileDialog("/p/params.bin");
    dlg.OnGetParameters();
    EXPECT_EQ(Files().Content("/p/params.bin"), Device().ParameterBlock());
    EXPECT_EQ(dlg.m_strParamPath, "/p/params.bin");
    EXPECT_TRUE(ui.Boxes().empty());
    ASSERT_EQ(ui.FileDialogs().size(), 1u);
    const FileDialogRequest& request = ui.FileDialogs()[0];
    EXPECT_EQ(request.kind, FileDialogKind::kSave);
    EXPECT_EQ(request.initialName, "/p/earlier.bin");
    EXPECT_EQ(request.defaultExtension, "");
    EXPECT_EQ(request.flags, 0x0006u);
    EXPECT_EQ(request.filter, "All Files (*.*)|*.*||");
    // The dialog is shown under the wait cursor, after the read.
    std::vector<std::string> events(ui.Events().begin(), ui.Events().end());
    std::vector<std::string> tail(events.end() - 3, events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"wait+", "save-dialog", "wait-"}));
}

TEST_F(ParameterCommands, GetCancelledWritesNothingAndKeepsThePath) {
    dlg.m_strParamPath = "/p/earlier.bin";
    ui.CancelFileDialog();
    dlg.OnGetParameters();
    EXPECT_TRUE(Files().Paths().empty());
    EXPECT_EQ(dlg.m_strParamPath, "/p/earlier.bin");
    EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(ParameterCommands, GetWithABadChecksumShowsNoDialog) {
    std::vector<std::uint8_t> block = Device().ParameterBlock();
    block[20] ^= 0xFF;
    Device().SetParameterBlock(block);
    ui.ExpectBox("Failed to Get Parameters.", kWarning);
    dlg.OnGetParameters();
    EXPECT_TRUE(ui.FileDialogs().empty());
    EXPECT_EQ(ui.Boxes()[0].waitCursorDepth, 1);
}

TEST_F(ParameterCommands, GetFileErrorIsReportedUnderTheCursorAndKeepsTheEarlierFile) {
    const std::vector<std::uint8_t> earlier = Pattern(266, 7);
    Files().SetFile("/p/params.bin", earlier);
    Files().FaultsFor("/p/params.bin").writeErrorAfter = 100;
    ui.AnswerFileDialog("/p/params.bin");
    ui.ExpectBox("Disk full while accessing /p/params.bin.", kWarning);
    dlg.OnGetParameters();
    EXPECT_EQ(ui.Boxes()[0].waitCursorDepth, 1);
    EXPECT_EQ(Files().Content("/p/params.bin"), earlier);
    EXPECT_EQ(Files().Paths().size(), 1u);
    EXPECT_EQ(dlg.m_strParamPath, "/p/params.bin");
}

TEST_F(ParameterCommands, PutOfAWrongLengthIsADataFormatErrorAndSendsNothing) {
    for (std::size_t size : {265u, 267u, 0u}) {
        SCOPED_TRACE(size);
        Files().SetFile("/p/file.bin", Pattern(size, 3));
        ui.AnswerFileDialog("/p/file.bin");
        ui.ExpectBox("Data format error.", kWarning);
        dlg.OnPutParameters();
        EXPECT_EQ(ui.Boxes().back().waitCursorDepth, 1);
        EXPECT_TRUE(WrittenBlocks().empty());
        EXPECT_EQ(Device().StoreCount(), 0);
    }
}

TEST_F(ParameterCommands, PutSendsAnyContentUnchangedAndTheDeviceDecides) {
    // A valid block of another model: stored.
    const std::vector<std::uint8_t> other = DefaultParameterBlock(SimModel::kZT5);
    Files().SetFile("/p/zt5.bin", other);
    ui.AnswerFileDialog("/p/zt5.bin");
    ui.ExpectBox("Succeeded in Put Parameters.", kInformation);
    dlg.OnPutParameters();
    EXPECT_EQ(Device().ParameterBlock(), other);

    // A block with a wrong checksum goes out just the same; the device refuses it.
    std::vector<std::uint8_t> broken = other;
    broken[20] ^= 0x55;  // inside the counted data
    Files().SetFile("/p/broken.bin", broken);
    ui.AnswerFileDialog("/p/broken.bin");
    ui.ExpectBox("Failed to Put Parameters.", kWarning);
    dlg.OnPutParameters();
    ASSERT_EQ(WrittenBlocks().size(), 2u);
    EXPECT_EQ(WrittenBlocks()[1], broken);
    EXPECT_EQ(Device().ParameterBlock(), other);
    EXPECT_EQ(ui.FileDialogs()[0].flags, 0x1004u);
    EXPECT_EQ(ui.FileDialogs()[0].kind, FileDialogKind::kOpen);
    EXPECT_EQ(ui.FileDialogs()[1].initialName, "/p/zt5.bin");

    // Each try is in the history, with its outcome.
    const std::vector<std::uint8_t> history =
        Files().Content("/home/technician/.local/state/marnel/history.jsonl");
    const std::string lines(history.begin(), history.end());
    EXPECT_NE(lines.find("\"operation\":\"put-params\",\"printer\":\"Zarvel KQ-10\","
                         "\"serial\":\"KQ10SN0001\",\"model\":\"ZT-5\",\"file\":\"/p/zt5.bin\""),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("\"file\":\"/p/broken.bin\""), std::string::npos);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
    EXPECT_NE(lines.find("\"outcome\":\"failed\""), std::string::npos);
}

// A write that runs out of memory says so itself, before the command's own
// failure box, and sends nothing after the identity check.
TEST_F(ParameterCommands, PutOutOfMemoryShowsTheWritesBoxFirst) {
    StarvedDlg starved(world.Services(), ui, ui, 1);
    starved.m_strPrinterName = dlg.m_strPrinterName;
    Files().SetFile("/p/f.bin", DefaultParameterBlock(SimModel::kZT5));
    ui.AnswerFileDialog("/p/f.bin");
    ui.ExpectBox("Out of memory.", kWarning);
    ui.ExpectBox("Failed to Put Parameters.", kWarning);
    starved.OnPutParameters();
    EXPECT_TRUE(WrittenBlocks().empty());
    EXPECT_EQ(Device().StoreCount(), 0);
}

TEST_F(ParameterCommands, SavedFileGoesBackByteForByteAndThePathCarriesOver) {
    const std::vector<std::uint8_t> block = Device().ParameterBlock();
    ui.AnswerFileDialog("/p/backup.bin");
    dlg.OnGetParameters();
    Device().SetParameterBlock(DefaultParameterBlock(SimModel::kKQ20));
    ui.AnswerFileDialog(dlg.m_strParamPath);
    ui.ExpectBox("Succeeded in Put Parameters.", kInformation);
    dlg.OnPutParameters();
    EXPECT_EQ(ui.FileDialogs()[1].initialName, "/p/backup.bin");
    ASSERT_EQ(WrittenBlocks().size(), 1u);
    EXPECT_EQ(WrittenBlocks()[0], block);
    EXPECT_EQ(Device().ParameterBlock(), block);
}

TEST_F(ParameterCommands, PutFileErrorsEndTheCursorFirstAndSendNothing) {
    struct Case {
        const char* what;
        void (*prepare)(MemoryFileSystem&);
        const char* message;
    } cases[] = {
        {"missing", [](MemoryFileSystem&) {}, "/p/f.bin was not found."},
        {"held by another program",
         [](MemoryFileSystem& fs) {
             fs.SetFile("/p/f.bin", std::vector<std::uint8_t>(266, 1));
             fs.FaultsFor("/p/f.bin").heldByOtherProgram = true;
         },
         "A sharing violation occurred while accessing /p/f.bin."},
        {"ends before its length",
         [](MemoryFileSystem& fs) {
             fs.SetFile("/p/f.bin", std::vector<std::uint8_t>(266, 1));
             fs.FaultsFor("/p/f.bin").readEndsAt = 200;
         },
         "An attempt was made to access /p/f.bin past its end."},
        {"read error",
         [](MemoryFileSystem& fs) {
             fs.SetFile("/p/f.bin", std::vector<std::uint8_t>(266, 1));
             fs.FaultsFor("/p/f.bin").readErrorAfter = 10;
         },
         "A hardware I/O error was reported while accessing /p/f.bin."},
        {"length unknown",
         [](MemoryFileSystem& fs) {
             fs.SetFile("/p/f.bin", std::vector<std::uint8_t>(266, 1));
             fs.FaultsFor("/p/f.bin").lengthFails = FileErrorCause::kBadSeek;
         },
         "Seek failed on /p/f.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFileSystem& fs = Files();
        fs.RemoveFile("/p/f.bin");
        fs.FaultsFor("/p/f.bin") = MemoryFileSystem::Faults();
        c.prepare(fs);
        dlg.m_strParamPath.clear();
        ui.AnswerFileDialog("/p/f.bin");
        ui.ExpectBox(c.message, kWarning);
        dlg.OnPutParameters();
        EXPECT_EQ(ui.Boxes().back().waitCursorDepth, 0);
        EXPECT_EQ(dlg.m_strParamPath, "/p/f.bin") << "kept although unusable";
        EXPECT_TRUE(WrittenBlocks().empty());
    }
}

TEST_F(ParameterCommands, PutCancelledLeavesEverythingAsItWas) {
    dlg.m_strParamPath = "/p/x.bin";
    ui.CancelFileDialog();
    dlg.OnPutParameters();
    EXPECT_EQ(dlg.m_strParamPath, "/p/x.bin");
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_EQ(ui.WaitCursorSpansMs().size(), 0u);
}

}  // namespace
}  // namespace marnel
