#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeWindow.h"
#include "ScriptedUi.h"
#include "app/Font.h"
#include "app/ReportDlg.h"
#include "sim/MemoryFileSystem.h"
#include "sim/VirtualClock.h"

namespace marnel {
namespace {

constexpr DWORD kWarning = kMbOk | kMbIconExclamation;

// Template 129's children in child order, at a client size of 546 x 390.
class FakeReportWindow : public test::FakeWindow, public IReportWindow {
public:
    FakeReportWindow() {
        Resize(546, 390);
        children[1003] = Rect{328, 358, 424, 382};
        children[2] = Rect{432, 358, 528, 382};
        children[1004] = Rect{2, 2, 544, 352};
        order = {1003, 2, 1004};
    }

    std::vector<int> order;
    std::vector<std::pair<int, FontHandle>> fonts;  // -1: the window itself
    std::map<int, std::string> texts;

    void SetOwnFont(FontHandle font) override { fonts.emplace_back(-1, font); }
    std::vector<int> ChildIds() const override { return order; }
    void SetChildFont(int id, FontHandle font) override { fonts.emplace_back(id, font); }
    void SetChildText(int id, const std::string& text) override { texts[id] = text; }

    // IWindowGeometry through the fake.
    bool IsWindow() const override { return FakeWindow::IsWindow(); }
    Rect GetClientRect() const override { return FakeWindow::GetClientRect(); }
    bool HasChild(int id) const override { return FakeWindow::HasChild(id); }
    bool GetChildRect(int id, Rect* rect) const override {
        return FakeWindow::GetChildRect(id, rect);
    }
    void MoveChild(int id, std::int32_t l, std::int32_t t, std::int32_t w,
                   std::int32_t h) override {
        FakeWindow::MoveChild(id, l, t, w, h);
    }
    void InvalidateRect(const Rect& rect, bool erase) override {
        FakeWindow::InvalidateRect(rect, erase);
    }
    void InvalidateAll(bool erase) override { FakeWindow::InvalidateAll(erase); }
    Point ScreenToClient(Point screen) const override { return FakeWindow::ScreenToClient(screen); }
    int GetSystemMetrics(int index) const override { return FakeWindow::GetSystemMetrics(index); }
    void DrawFrameControl(PaintContext dc, const Rect& rect, unsigned type,
                          unsigned state) override {
        FakeWindow::DrawFrameControl(dc, rect, type, state);
    }
};

struct ReportWindow : ::testing::Test {
    ReportWindow() : ui(clock) { report.assign(4096, '\0'); }

    void SetReport(const std::string& text) { std::copy(text.begin(), text.end(), report.begin()); }

    VirtualClock clock;
    ScriptedUi ui;
    MemoryFileSystem fs;
    std::vector<char> report;
    FakeReportWindow window;
};

TEST_F(ReportWindow, InitialisationGivesTheFontToTheButtonsOnlyAndRegistersTheLayout) {
    SetReport("line 1\r\nline 2\r\n");
    int fontObject = 0;
    CFont font;
    font.Attach(&fontObject, ui);
    CReportDlg dialog(report.data(), report.size(), ui, fs);
    dialog.m_pFont = &font;
    EXPECT_EQ(dialog.OnInitDialog(window), 1);

    std::vector<std::pair<int, FontHandle>> fonts = {
        {-1, &fontObject}, {1003, &fontObject}, {2, &fontObject}};
    EXPECT_EQ(window.fonts, fonts) << "the text field keeps its fixed-width font";
    EXPECT_EQ(window.texts[1004], "line 1\r\nline 2\r\n");
    const std::vector<std::pair<int, std::uint32_t>> expected = {
        {2, 0x03}, {1003, 0x03}, {1004, 0x30}};
    std::vector<std::pair<int, std::uint32_t>> items;
    for (const ANCHOR_ITEM& item : dialog.m_layout.Items()) {
        items.emplace_back(item.nID, item.dwFlags);
    }
    EXPECT_EQ(items, expected);
    EXPECT_TRUE(dialog.m_grip.IsAttached());
    font.DeleteObject();
}

TEST_F(ReportWindow, AnEmptyFontIsSentAsWellAndNoFontSendsNothing) {
    CFont empty;
    CReportDlg dialog(report.data(), report.size(), ui, fs);
    dialog.m_pFont = &empty;
    dialog.OnInitDialog(window);
    std::vector<std::pair<int, FontHandle>> fonts = {{-1, nullptr}, {1003, nullptr}, {2, nullptr}};
    EXPECT_EQ(window.fonts, fonts);

    FakeReportWindow other;
    CReportDlg noFont(report.data(), report.size(), ui, fs);
    noFont.OnInitDialog(other);
    EXPECT_TRUE(other.fonts.empty());
}

TEST_F(ReportWindow, TextEndsAtTheFirstZeroOrTheBufferEnd) {
    std::fill(report.begin(), report.end(), 'x');
    report[4095] = 'Z';
    CReportDlg full(report.data(), report.size(), ui, fs);
    full.OnInitDialog(window);
    EXPECT_EQ(window.texts[1004].size(), 4096u);
    EXPECT_EQ(window.texts[1004].back(), 'Z');

    report[100] = '\0';
    FakeReportWindow other;
    CReportDlg cut(report.data(), report.size(), ui, fs);
    cut.OnInitDialog(other);
    EXPECT_EQ(other.texts[1004], std::string(100, 'x'));
}

TEST_F(ReportWindow, ResizingMovesTheButtonsAndInvalidatesTheNewGripCell) {
    CReportDlg dialog(report.data(), report.size(), ui, fs);
    // Size messages before the initialisation change nothing.
    dialog.OnSize(0, 500, 300);
    EXPECT_TRUE(window.moves.empty());
    EXPECT_TRUE(window.invalidations.empty());

    dialog.OnInitDialog(window);
    window.Resize(586, 390);
    dialog.OnSize(0, 586, 390);
    EXPECT_EQ(window.children[1003], (Rect{368, 358, 464, 382}));
    EXPECT_EQ(window.children[2], (Rect{472, 358, 568, 382}));
    EXPECT_EQ(window.children[1004], (Rect{2, 2, 584, 352}));
    ASSERT_EQ(window.invalidations.size(), 1u);
    EXPECT_EQ(window.invalidations[0].rect, (Rect{570, 374, 586, 390}));
    EXPECT_FALSE(window.invalidations[0].erase);

    window.Resize(586, 420);
    dialog.OnSize(2 /* SIZE_MAXIMIZED */, 586, 420);
    EXPECT_EQ(window.children[2], (Rect{472, 388, 568, 412}));
    EXPECT_EQ(window.children[1004], (Rect{2, 2, 584, 382}));
}

TEST_F(ReportWindow, GripPaintsHitTestsAndTheWholeWindowRepaintsAfterSizing) {
    CReportDlg dialog(report.data(), report.size(), ui, fs);
    const Point inCell{100 + 540, 50 + 385};
    EXPECT_EQ(dialog.OnNcHitTest(inCell, 1 /* HTCLIENT */), 1) << "no grip before initialisation";
    dialog.OnInitDialog(window);
    EXPECT_EQ(dialog.OnNcHitTest(inCell, 1), 17);
    EXPECT_EQ(dialog.OnNcHitTest(Point{100 + 10, 50 + 10}, 1), 1);
    int dc = 0;
    dialog.OnPaint(&dc);
    ASSERT_EQ(window.drawings.size(), 1u);
    EXPECT_EQ(window.drawings[0].rect, (Rect{530, 374, 546, 390}));
    EXPECT_EQ(window.drawings[0].type, 3u);
    EXPECT_EQ(window.drawings[0].state, 8u);
    EXPECT_EQ(dialog.OnExitSizeMove(), 1);
    ASSERT_EQ(window.invalidations.size(), 1u);
    EXPECT_TRUE(window.invalidations[0].whole);
    EXPECT_TRUE(window.invalidations[0].erase);
}

TEST_F(ReportWindow, SaveWritesTheTextAndCutsATrailingDotStar) {
    SetReport("A\nB\n");
    report[10] = 'q';  // beyond the first zero: never saved
    CReportDlg dialog(report.data(), report.size(), ui, fs);
    dialog.OnInitDialog(window);
    struct Case {
        const char* returned;
        const char* written;
    } cases[] = {
        {"/r/report.*", "/r/report"},
        {"/r/plain.txt", "/r/plain.txt"},
        {"a.*", "a"},
        {".*", ".*"},  // two characters: never cut
        {"/r/x.**", "/r/x.**"},
    };
    for (const Case& c : cases) {
        ui.AnswerFileDialog(c.returned);
        dialog.OnSave();
        EXPECT_EQ(fs.Content(c.written), (std::vector<std::uint8_t>{'A', '\n', 'B', '\n'}))
            << c.returned;
    }
    ASSERT_EQ(ui.FileDialogs().size(), 5u);
    for (const FileDialogRequest& request : ui.FileDialogs()) {
        EXPECT_EQ(request.kind, FileDialogKind::kSave);
        EXPECT_EQ(request.initialName, "") << "the path is not remembered";
        EXPECT_EQ(request.defaultExtension, "*");
        EXPECT_EQ(request.flags, 0x0006u);
        EXPECT_EQ(request.filter, "Text file (*.txt)|*.txt|All Files (*.*)|*.*||");
    }
    EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(ReportWindow, SaveErrorIsReportedAndTheEarlierFileKept) {
    SetReport("new report");
    fs.SetFile("/r/old.txt", {'o', 'l', 'd'});
    fs.FaultsFor("/r/old.txt").writeErrorAfter = 4;
    CReportDlg dialog(report.data(), report.size(), ui, fs);
    dialog.OnInitDialog(window);
    ui.AnswerFileDialog("/r/old.txt");
    ui.ExpectBox("Disk full while accessing /r/old.txt.", kWarning);
    dialog.OnSave();
    EXPECT_EQ(fs.Content("/r/old.txt"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));

    // The window stays usable: a second save elsewhere succeeds.
    ui.CancelFileDialog();
    dialog.OnSave();
    ui.AnswerFileDialog("/r/other.txt");
    dialog.OnSave();
    EXPECT_EQ(fs.Content("/r/other.txt").size(), 10u);
    EXPECT_EQ(fs.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace marnel
