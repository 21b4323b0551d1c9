#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandWorld.h"
#include "app/ReportDlg.h"

namespace marnel {
namespace {

using test::CommandTest;
using test::kWarning;

using ReportCommand = CommandTest;

TEST_F(ReportCommand, ShowsTheReportWithThePortAndCursorHeldAndSaves) {
    const std::string report = DefaultReportText(SimModel::kKQ10);
    bool shown = false;
    ui.SetReportWindowHandler([&](CReportDlg& dialog) {
        shown = true;
        EXPECT_EQ(dialog.Text(), report);
        EXPECT_EQ(dialog.m_pFont, &dlg.m_font);
        EXPECT_EQ(ui.WaitCursorDepth(), 1);
        EXPECT_EQ(world.DeviceFile().OpenHandleCount(), 1u);
        ui.AnswerFileDialog("/r/report.txt");
        dialog.OnSave();
    });
    dlg.OnGetReport();
    EXPECT_TRUE(shown);
    const std::vector<std::uint8_t> saved = Files().Content("/r/report.txt");
    EXPECT_EQ(std::string(saved.begin(), saved.end()), report);
    EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(ReportCommand, FailedReadShowsNoWindow) {
    Device().SetMode(SimMode::kUpdate);  // not in service mode: every transfer fails
    ui.SetReportWindowHandler([](CReportDlg&) { ADD_FAILURE() << "window shown"; });
    ui.ExpectBox("Failed to Get Report.", kWarning);
    dlg.OnGetReport();
    EXPECT_EQ(ui.Boxes()[0].waitCursorDepth, 1);
}

TEST_F(ReportCommand, NoDeviceReachableFailsWithoutTheCursor) {
    dlg.m_strPrinterName.clear();
    ui.ExpectBox("Failed to connect.", kWarning);
    dlg.OnGetReport();
    EXPECT_EQ(ui.Boxes()[0].waitCursorDepth, 0);
    EXPECT_TRUE(ui.WaitCursorSpansMs().empty());
}

}  // namespace
}  // namespace marnel
