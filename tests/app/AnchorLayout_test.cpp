#include <gtest/gtest.h>

#include "FakeWindow.h"
#include "app/AnchorLayout.h"
#include "app/SizeGrip.h"

namespace marnel {
namespace {

using test::FakeWindow;

constexpr int kClose = 2;
constexpr int kSave = 1003;
constexpr int kText = 1004;

// The report window's three controls at a client size of 400 x 300.
struct ReportLayout : ::testing::Test {
    void SetUp() override {
        window.Resize(400, 300);
        window.children[kSave] = Rect{240, 270, 312, 290};
        window.children[kClose] = Rect{318, 270, 390, 290};
        window.children[kText] = Rect{2, 2, 398, 262};
        layout.Attach(&window);
        layout.Add(kClose, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
        layout.Add(kSave, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
        layout.Add(kText, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
        start = window.children;
    }

    void ResizeTo(std::int32_t cx, std::int32_t cy) {
        window.Resize(cx, cy);
        layout.OnSize(cx, cy);
    }

    FakeWindow window;
    CAnchorLayout layout;
    std::map<int, Rect> start;
};

TEST_F(ReportLayout, WideningMovesButtonsAndStretchesTextOnly) {
    ResizeTo(440, 300);
    EXPECT_EQ(window.children[kClose], (Rect{358, 270, 430, 290}));
    EXPECT_EQ(window.children[kSave], (Rect{280, 270, 352, 290}));
    EXPECT_EQ(window.children[kText], (Rect{2, 2, 438, 262}));
    // Moved in registration order, each once.
    ASSERT_EQ(window.moves.size(), 3u);
    EXPECT_EQ(window.moves[0].id, kClose);
    EXPECT_EQ(window.moves[1].id, kSave);
    EXPECT_EQ(window.moves[2].id, kText);
}

TEST_F(ReportLayout, TallerMovesButtonsDownAndStretchesText) {
    ResizeTo(400, 330);
    EXPECT_EQ(window.children[kClose], (Rect{318, 300, 390, 320}));
    EXPECT_EQ(window.children[kSave], (Rect{240, 300, 312, 320}));
    EXPECT_EQ(window.children[kText], (Rect{2, 2, 398, 292}));
}

TEST_F(ReportLayout, DeltasApplyAgainstTheLastLayout) {
    ResizeTo(450, 320);
    ResizeTo(420, 310);
    EXPECT_EQ(window.children[kSave], (Rect{260, 280, 332, 300}));
    EXPECT_EQ(window.children[kText], (Rect{2, 2, 418, 272}));
    EXPECT_EQ(layout.LastWidth(), 420);
    EXPECT_EQ(layout.LastHeight(), 310);
}

TEST_F(ReportLayout, SameSizeMovesNothing) {
    ResizeTo(400, 300);
    EXPECT_TRUE(window.moves.empty());
}

TEST_F(ReportLayout, EmptyTextIsLeftWhereItWasAndComesBackFromTheTrackedRect) {
    // The text field is 260 high: at a client height of 40 it would be 0.
    ResizeTo(400, 40);
    EXPECT_EQ(window.children[kText], start[kText]) << "an empty rectangle is not applied";
    EXPECT_EQ(window.children[kSave], (Rect{240, 10, 312, 30})) << "the buttons keep moving";
    ResizeTo(300, 10);
    EXPECT_EQ(window.children[kText], start[kText]);
    EXPECT_EQ(window.children[kClose], (Rect{218, -20, 290, 0}));
    // Still empty on the way back up (height -30 + 20): not applied.
    ResizeTo(300, 30);
    EXPECT_EQ(window.children[kText], start[kText]);
    ResizeTo(350, 200);
    EXPECT_EQ(window.children[kText], (Rect{2, 2, 348, 162}));
    ResizeTo(400, 300);
    EXPECT_EQ(window.children, start);
}

TEST_F(ReportLayout, MaximiseAndRestoreBothRelay) {
    ResizeTo(1024, 740);
    EXPECT_EQ(window.children[kClose], (Rect{942, 710, 1014, 730}));
    ResizeTo(400, 300);
    EXPECT_EQ(window.children, start);
    EXPECT_EQ(window.moves.size(), 6u);
}

TEST_F(ReportLayout, ControlGoneAfterRegistrationIsSkippedAndKeepsItsRect) {
    window.children.erase(kSave);
    ResizeTo(440, 300);
    ASSERT_EQ(layout.Items().size(), 3u);
    auto save = std::next(layout.Items().begin());
    EXPECT_EQ(save->nID, kSave);
    EXPECT_EQ(save->rect, start[kSave]);
    EXPECT_EQ(window.moves.size(), 2u);
}

TEST(AnchorLayout, StretchTakesPrecedenceOverMoveInEachDirection) {
    FakeWindow window;
    window.children[7] = Rect{10, 10, 50, 50};
    CAnchorLayout layout;
    layout.Attach(&window);
    layout.Add(7, ANCHOR_MOVE_X | ANCHOR_SIZE_X | ANCHOR_MOVE_Y | 0x4000);
    window.Resize(420, 310);
    layout.OnSize(420, 310);
    EXPECT_EQ(window.children[7], (Rect{10, 20, 70, 60}));
}

TEST(AnchorLayout, UnknownControlAndDetachedLayoutAddNothing) {
    FakeWindow window;
    window.children[7] = Rect{10, 10, 50, 50};
    CAnchorLayout detached;
    detached.Add(7, ANCHOR_MOVE_X);
    EXPECT_TRUE(detached.Items().empty());

    CAnchorLayout layout;
    layout.Attach(&window);
    layout.Add(99, ANCHOR_MOVE_X);
    EXPECT_TRUE(layout.Items().empty());
    // With no items a size is not even recorded.
    layout.OnSize(999, 999);
    EXPECT_EQ(layout.LastWidth(), 400);
    EXPECT_EQ(layout.LastHeight(), 300);
}

TEST(AnchorLayout, AttachToAWindowThatDoesNotExistChangesNothing) {
    FakeWindow window;
    window.exists = false;
    window.children[7] = Rect{10, 10, 50, 50};
    CAnchorLayout layout;
    layout.Attach(&window);
    EXPECT_EQ(layout.LastWidth(), 0);
    layout.Add(7, ANCHOR_MOVE_X);
    EXPECT_TRUE(layout.Items().empty());
}

TEST(SizeGrip, CellFollowsTheClientAreaAndFallsBackTo16) {
    FakeWindow window;
    CSizeGrip grip;
    EXPECT_FALSE(grip.HitTest(Point{499, 349}));
    grip.Draw(nullptr);
    EXPECT_TRUE(window.drawings.empty());

    grip.Attach(&window);  // the system reports 0 for both metrics
    EXPECT_EQ(grip.GetCellRect(), (Rect{384, 284, 400, 300}));

    FakeWindow sized;
    sized.metrics[kSmCxHScroll] = 17;
    sized.metrics[kSmCyHScroll] = 15;
    CSizeGrip grip2;
    grip2.Attach(&sized);
    EXPECT_EQ(grip2.GetCellRect(), (Rect{383, 285, 400, 300}));
    sized.Resize(440, 330);
    EXPECT_EQ(grip2.GetCellRect(), (Rect{423, 315, 440, 330}));
}

TEST(SizeGrip, HitTestIsInclusiveTopLeftExclusiveBottomRightInScreenCoordinates) {
    FakeWindow window;  // client origin at 100, 50 on the screen
    CSizeGrip grip;
    grip.Attach(&window);
    struct Case {
        Point screen;
        bool inside;
    } cases[] = {
        {{100 + 384, 50 + 284}, true},   // top-left corner of the cell
        {{100 + 399, 50 + 299}, true},   // last pixel
        {{100 + 400, 50 + 299}, false},  // right edge
        {{100 + 399, 50 + 300}, false},  // bottom edge
        {{100 + 383, 50 + 290}, false},  // just left of the cell
        {{384, 284}, false},             // client coordinates taken as screen ones
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grip.HitTest(c.screen), c.inside) << c.screen.x << "," << c.screen.y;
    }
}

TEST(SizeGrip, InvalidateAndDrawUseTheCurrentCell) {
    FakeWindow window;
    CSizeGrip grip;
    grip.Attach(&window);
    window.Resize(440, 310);
    grip.Invalidate();
    int dc = 0;
    grip.Draw(&dc);
    ASSERT_EQ(window.invalidations.size(), 1u);
    EXPECT_EQ(window.invalidations[0].rect, (Rect{424, 294, 440, 310}));
    EXPECT_FALSE(window.invalidations[0].erase);
    ASSERT_EQ(window.drawings.size(), 1u);
    EXPECT_EQ(window.drawings[0].dc, &dc);
    EXPECT_EQ(window.drawings[0].rect, (Rect{424, 294, 440, 310}));
    EXPECT_EQ(window.drawings[0].type, 3u);
    EXPECT_EQ(window.drawings[0].state, 8u);
}

}  // namespace
}  // namespace marnel
