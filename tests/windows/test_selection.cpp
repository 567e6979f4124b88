// The selection rectangle: its handle zones, its dotted XOR outline, and
// drawing, moving and resizing it with real mouse messages in the main
// window.
#include "support/app_fixture.h"

#include "app/main_window.h"
#include "app/selection.h"

#include <gtest/gtest.h>

using namespace wintest;
using namespace apptest;

namespace {

SelectionRect Rect(LONG left, LONG top, LONG right, LONG bottom)
{
    SelectionRect s = {};
    s.active = 1;
    s.left = left;
    s.top = top;
    s.right = right;
    s.bottom = bottom;
    return s;
}

// --- Handle zones -------------------------------------------------------------

TEST(SelectionZones, EveryZoneOfANormalRectangle)
{
    const SelectionRect s = Rect(100, 50, 200, 150);
    const struct {
        int x, y, code;
    } cases[] = {
        {150, 100, 1}, {102, 52, 1},  {197, 147, 1},                 // inside
        {100, 50, 2},  {98, 48, 2},   {101, 51, 2},                  // top-left corner
        {200, 150, 3}, {198, 148, 3}, {201, 151, 3},                 // bottom-right corner
        {200, 50, 4},  {198, 48, 4},  {201, 51, 4},                  // top-right corner
        {100, 150, 5}, {98, 148, 5},  {101, 151, 5},                 // bottom-left corner
        {150, 50, 6},  {150, 48, 6},  {150, 51, 6},   {102, 50, 6},  // top edge
        {150, 150, 7}, {150, 148, 7}, {150, 151, 7},  {197, 150, 7}, // bottom edge
        {100, 100, 8}, {98, 100, 8},  {101, 52, 8},   {101, 147, 8}, // left edge
        {200, 100, 9}, {198, 100, 9}, {201, 147, 9},                 // right edge
        // Outside: the zones reach 2 pixels out, exclusive at the far side.
        {97, 100, 0},  {202, 100, 0}, {150, 47, 0},   {150, 152, 0}, {97, 47, 0}, {202, 152, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitZoneAt(&s, c.x, c.y), c.code) << "(" << c.x << "," << c.y << ")";
}

TEST(SelectionZones, OverlappingZonesOfTinyRectanglesGoToTheLastInOrder)
{
    // 4 x 4: the inside and the edges are empty; corners meet at the middle.
    const SelectionRect four = Rect(10, 10, 14, 14);
    EXPECT_EQ(HitZoneAt(&four, 11, 11), 2);
    EXPECT_EQ(HitZoneAt(&four, 12, 12), 3);
    EXPECT_EQ(HitZoneAt(&four, 12, 11), 4);
    EXPECT_EQ(HitZoneAt(&four, 11, 12), 5);
    EXPECT_EQ(HitZoneAt(&four, 15, 15), 3);
    EXPECT_EQ(HitZoneAt(&four, 16, 16), 0);

    // 2 x 2: all four corner zones cover the rectangle; the bottom-left
    // one is tested last and wins.
    const SelectionRect two = Rect(10, 10, 12, 12);
    EXPECT_EQ(HitZoneAt(&two, 10, 10), 5);
    EXPECT_EQ(HitZoneAt(&two, 11, 11), 5);
    EXPECT_EQ(HitZoneAt(&two, 9, 9), 2);
    EXPECT_EQ(HitZoneAt(&two, 12, 12), 3);
    EXPECT_EQ(HitZoneAt(&two, 13, 9), 4);
    EXPECT_EQ(HitZoneAt(&two, 10, 9), 4);
    EXPECT_EQ(HitZoneAt(&two, 9, 13), 5);

    // 3 wide, 40 high: the left and right edge zones overlap; right wins.
    const SelectionRect thin = Rect(10, 10, 13, 50);
    EXPECT_EQ(HitZoneAt(&thin, 11, 30), 9);
    EXPECT_EQ(HitZoneAt(&thin, 10, 30), 8);
    EXPECT_EQ(HitZoneAt(&thin, 14, 30), 9);
}

TEST(SelectionZones, OrderPairSwapsOnlyWhenReversed)
{
    LONG a = 7, b = 3;
    OrderPair(&a, &b);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 7);
    OrderPair(&a, &b);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 7);
    LONG c = -5, d = -5;
    OrderPair(&c, &d);
    EXPECT_EQ(c, -5);
    EXPECT_EQ(d, -5);
}

// --- The outline on screen --------------------------------------------------

class SelectionOutline : public MainWindowFixture {};

TEST_F(SelectionOutline, DrawingTwiceLeavesTheScreenAsItWas)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    Selection = Rect(50, 40, 250, 200);
    const std::vector<COLORREF> top = RowPixels(40, 40, 260);
    const std::vector<COLORREF> bottom = RowPixels(199, 40, 260);
    const std::vector<COLORREF> left = ColumnPixels(50, 30, 210);
    const std::vector<COLORREF> right = ColumnPixels(249, 30, 210);
    const std::vector<COLORREF> inside = RowPixels(120, 40, 260);
    const std::vector<COLORREF> pastRight = ColumnPixels(250, 30, 210);
    const std::vector<COLORREF> pastBottom = RowPixels(200, 40, 260);

    DrawSelectionOutline(window_, &Selection);
    // A dotted line XORed onto the picture: the dots with the gray pen,
    // the gaps with the (opaque) background colour; nothing outside the
    // edges changes.
    const std::vector<COLORREF> topOn = RowPixels(40, 40, 260);
    int dots = 0;
    for (std::size_t i = 0; i < top.size(); ++i) {
        const int x = 40 + static_cast<int>(i);
        if (topOn[i] == top[i])
            continue;
        EXPECT_TRUE(x >= 50 && x < 250) << "x " << x;
        if (topOn[i] == (top[i] ^ RGB(128, 128, 128)))
            ++dots;
        else
            EXPECT_EQ(topOn[i], top[i] ^ RGB(255, 255, 255)) << "x " << x;
    }
    EXPECT_GT(dots, 200 / 4);
    EXPECT_NE(RowPixels(199, 40, 260), bottom);
    EXPECT_NE(ColumnPixels(50, 30, 210), left);
    EXPECT_NE(ColumnPixels(249, 30, 210), right);
    EXPECT_EQ(RowPixels(120, 52, 247), std::vector<COLORREF>(inside.begin() + 12, inside.begin() + 208));
    // The outline stops short of right and bottom.
    EXPECT_EQ(ColumnPixels(250, 30, 210), pastRight);
    EXPECT_EQ(RowPixels(200, 40, 260), pastBottom);

    DrawSelectionOutline(window_, &Selection);
    EXPECT_EQ(RowPixels(40, 40, 260), top);
    EXPECT_EQ(RowPixels(199, 40, 260), bottom);
    EXPECT_EQ(ColumnPixels(50, 30, 210), left);
    EXPECT_EQ(ColumnPixels(249, 30, 210), right);

    // A repaint draws the picture and then the outline over it.
    Paint();
    EXPECT_EQ(RowPixels(40, 40, 260), topOn);
    DrawSelectionOutline(window_, &Selection);
    EXPECT_EQ(RowPixels(40, 40, 260), top);
}

TEST_F(SelectionOutline, NothingIsDrawnWhileModalOrForADegenerateRectangle)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    const std::vector<COLORREF> top = RowPixels(40, 40, 260);

    Selection = Rect(50, 40, 250, 200);
    ViewState.modalBusy = 1;
    DrawSelectionOutline(window_, &Selection);
    EXPECT_EQ(RowPixels(40, 40, 260), top);
    ViewState.modalBusy = 0;

    Selection = Rect(50, 40, 250, 40);
    DrawSelectionOutline(window_, &Selection);
    EXPECT_EQ(RowPixels(40, 40, 260), top);
    const std::vector<COLORREF> left = ColumnPixels(50, 30, 210);
    Selection = Rect(50, 40, 50, 200);
    DrawSelectionOutline(window_, &Selection);
    EXPECT_EQ(ColumnPixels(50, 30, 210), left);
    EXPECT_EQ(RowPixels(40, 40, 260), top);
}

// --- Drawing a new rectangle with the mouse ----------------------------------

class SelectionDrag : public MainWindowFixture {
protected:
    // Without a picture the client area is plain class background, so an
    // outline shows as pixels of another colour.
    int MarkedOnRow(int y, int x0, int x1) const
    {
        int marked = 0;
        for (COLORREF c : RowPixels(y, x0, x1))
            if (c != kBackground)
                ++marked;
        return marked;
    }
    void MakeRect(int left, int top, int right, int bottom)
    {
        // A click far from any old rectangle drops it first.
        Press(5, 5);
        Release(5, 5);
        ASSERT_EQ(Selection.active, 0);
        DragMouse({left, top}, {right, bottom});
        ASSERT_EQ(Selection.active, 1);
        ASSERT_EQ(Selection.left, left);
        ASSERT_EQ(Selection.top, top);
        ASSERT_EQ(Selection.right, right);
        ASSERT_EQ(Selection.bottom, bottom);
    }
    bool CursorIs(LPCSTR id) const { return GetCursor() == LoadCursorA(nullptr, id); }

    static constexpr COLORREF kBackground = RGB(192, 192, 192);
};

TEST_F(SelectionDrag, DragDrawsTheOutlineAndActivatesOnRelease)
{
    ASSERT_EQ(MarkedOnRow(40, 0, 300), 0);
    Press(50, 40);
    EXPECT_EQ(Selection.dragging, 1);
    EXPECT_EQ(Selection.active, 0);
    EXPECT_EQ(GetCapture(), window_);
    MoveMouse(120, 100);
    MoveMouse(250, 180);
    EXPECT_EQ(Selection.right, 250);
    EXPECT_EQ(Selection.bottom, 180);
    EXPECT_EQ(Selection.active, 0);
    EXPECT_TRUE(CursorIs(IDC_CROSS));
    // Only the latest outline is on the screen: the bottom edge of the
    // one before (row 99) has gone.
    EXPECT_GT(MarkedOnRow(40, 0, 300), 200 / 4);
    EXPECT_EQ(MarkedOnRow(99, 52, 240), 0);

    Release(250, 180);
    EXPECT_EQ(Selection.dragging, 0);
    EXPECT_EQ(Selection.active, 1);
    EXPECT_EQ(Selection.left, 50);
    EXPECT_EQ(Selection.top, 40);
    EXPECT_EQ(Selection.right, 250);
    EXPECT_EQ(Selection.bottom, 180);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_GT(MarkedOnRow(40, 0, 300), 200 / 4);
    EXPECT_GT(MarkedOnRow(179, 0, 300), 200 / 4);
}

TEST_F(SelectionDrag, ClickWithoutDragLeavesNoRectangle)
{
    Press(120, 90);
    Release(120, 90);
    EXPECT_EQ(Selection.active, 0);
    EXPECT_EQ(Selection.dragging, 0);
    EXPECT_EQ(Selection.left, Selection.right);
    EXPECT_EQ(Selection.top, Selection.bottom);
    EXPECT_EQ(MarkedOnRow(90, 0, 300), 0);
    EXPECT_EQ(GetCapture(), nullptr);

    // A click also removes an existing rectangle.
    MakeRect(60, 50, 160, 120);
    MoveMouse(300, 200);
    Press(300, 200);
    Release(300, 200);
    EXPECT_EQ(Selection.active, 0);
    EXPECT_EQ(MarkedOnRow(50, 0, 300), 0);
}

TEST_F(SelectionDrag, ReverseDragIsNormalisedOnRelease)
{
    Press(300, 200);
    MoveMouse(200, 120);
    MoveMouse(100, 50);
    EXPECT_EQ(Selection.left, 300);
    EXPECT_EQ(Selection.right, 100);
    Release(100, 50);
    EXPECT_EQ(Selection.left, 100);
    EXPECT_EQ(Selection.top, 50);
    EXPECT_EQ(Selection.right, 300);
    EXPECT_EQ(Selection.bottom, 200);
    EXPECT_EQ(Selection.active, 1);
}

TEST_F(SelectionDrag, FreeCornerStopsAtTheClientBorderWhichItMayReach)
{
    const RECT client = Client();
    DragMouse({100, 80}, {client.right + 60, client.bottom + 40}, 3);
    EXPECT_EQ(Selection.right, client.right);
    EXPECT_EQ(Selection.bottom, client.bottom);
    EXPECT_EQ(Selection.active, 1);

    DragMouse({90, 70}, {-40, -30}, 3);
    EXPECT_EQ(Selection.left, 0);
    EXPECT_EQ(Selection.top, 0);
    EXPECT_EQ(Selection.right, 90);
    EXPECT_EQ(Selection.bottom, 70);
    EXPECT_EQ(Selection.active, 1);
}

TEST_F(SelectionDrag, PressOutsideAnActiveRectangleStartsANewOneAndRemovesTheOld)
{
    MakeRect(60, 50, 160, 120);
    ASSERT_GT(MarkedOnRow(50, 0, 300), 0);
    MoveMouse(250, 160);
    EXPECT_EQ(hitCode, 0);
    Press(250, 160);
    EXPECT_EQ(Selection.active, 0);
    EXPECT_EQ(Selection.left, 250);
    EXPECT_EQ(Selection.right, 250);
    EXPECT_EQ(MarkedOnRow(50, 0, 300), 0);
    MoveMouse(300, 200);
    Release(300, 200);
    EXPECT_EQ(Selection.left, 250);
    EXPECT_EQ(Selection.top, 160);
    EXPECT_EQ(Selection.right, 300);
    EXPECT_EQ(Selection.bottom, 200);
    EXPECT_EQ(Selection.active, 1);
    EXPECT_EQ(MarkedOnRow(50, 0, 300), 0);
    EXPECT_GT(MarkedOnRow(160, 0, 400), 0);
}

TEST_F(SelectionDrag, NonClientReleaseEndsTheDrag)
{
    Press(60, 50);
    MoveMouse(160, 120);
    SendMessageA(window_, WM_NCLBUTTONUP, HTCAPTION, MAKELPARAM(160, 120));
    EXPECT_EQ(Selection.dragging, 0);
    EXPECT_EQ(Selection.active, 1);
    EXPECT_EQ(GetCapture(), nullptr);
}

// --- Moving and resizing an active rectangle ---------------------------------

TEST_F(SelectionDrag, HoverOverZonesSetsHitCodeAndCursor)
{
    MakeRect(100, 60, 200, 140);
    const struct {
        int x, y, code;
        LPCSTR cursor;
    } zones[] = {
        {150, 100, 1, IDC_SIZEALL}, {100, 60, 2, IDC_SIZENWSE}, {200, 140, 3, IDC_SIZENWSE},
        {200, 60, 4, IDC_SIZENESW}, {100, 140, 5, IDC_SIZENESW}, {150, 60, 6, IDC_SIZENS},
        {150, 140, 7, IDC_SIZENS},  {100, 100, 8, IDC_SIZEWE},  {200, 100, 9, IDC_SIZEWE},
    };
    for (const auto& z : zones) {
        MoveMouse(z.x, z.y);
        EXPECT_EQ(hitCode, z.code) << "(" << z.x << "," << z.y << ")";
        EXPECT_TRUE(CursorIs(z.cursor)) << "(" << z.x << "," << z.y << ")";
    }
    MoveMouse(300, 200);
    EXPECT_EQ(hitCode, 0);
    EXPECT_TRUE(CursorIs(IDC_CROSS));

    // Outside the client area the code is 0 and the cursor is left alone.
    MoveMouse(150, 100);
    const RECT client = Client();
    MoveMouse(client.right + 20, 100);
    EXPECT_EQ(hitCode, 0);
    EXPECT_TRUE(CursorIs(IDC_SIZEALL));
}

TEST_F(SelectionDrag, DraggingTheInsideMovesTheRectangle)
{
    MakeRect(100, 60, 200, 140);
    Press(150, 100);
    EXPECT_EQ(hitCode, 1);
    EXPECT_EQ(Selection.active, 1);
    EXPECT_TRUE(CursorIs(IDC_SIZEALL));
    MoveMouse(160, 105);
    EXPECT_TRUE(CursorIs(IDC_SIZEALL));
    MoveMouse(175, 120);
    Release(175, 120);
    EXPECT_EQ(Selection.left, 125);
    EXPECT_EQ(Selection.top, 80);
    EXPECT_EQ(Selection.right, 225);
    EXPECT_EQ(Selection.bottom, 160);
    EXPECT_EQ(Selection.active, 1);
    // The outline went with it.
    EXPECT_EQ(MarkedOnRow(60, 0, 300), 0);
    EXPECT_GT(MarkedOnRow(80, 0, 300), 100 / 4);
}

TEST_F(SelectionDrag, EachHandleMovesItsEdges)
{
    const struct {
        int x, y, code;
        LONG left, top, right, bottom;
    } handles[] = {
        {100, 60, 2, 107, 65, 200, 140},  {200, 140, 3, 100, 60, 207, 145}, {200, 60, 4, 100, 65, 207, 140},
        {100, 140, 5, 107, 60, 200, 145}, {150, 60, 6, 100, 65, 200, 140},  {150, 140, 7, 100, 60, 200, 145},
        {100, 100, 8, 107, 60, 200, 140}, {200, 100, 9, 100, 60, 207, 140},
    };
    for (const auto& h : handles) {
        SCOPED_TRACE(h.code);
        MakeRect(100, 60, 200, 140);
        Press(h.x, h.y);
        EXPECT_EQ(hitCode, h.code);
        MoveMouse(h.x + 3, h.y + 2);
        MoveMouse(h.x + 7, h.y + 5);
        Release(h.x + 7, h.y + 5);
        EXPECT_EQ(Selection.left, h.left);
        EXPECT_EQ(Selection.top, h.top);
        EXPECT_EQ(Selection.right, h.right);
        EXPECT_EQ(Selection.bottom, h.bottom);
        EXPECT_EQ(Selection.active, 1);
    }
}

TEST_F(SelectionDrag, ResizingPastTheOppositeEdgeIsReorderedOnRelease)
{
    MakeRect(100, 60, 200, 140);
    Press(100, 100);
    ASSERT_EQ(hitCode, 8);
    for (int x = 130; x <= 250; x += 30)
        MoveMouse(x, 100);
    EXPECT_EQ(Selection.left, 250);
    EXPECT_EQ(Selection.right, 200);
    Release(250, 100);
    EXPECT_EQ(Selection.left, 200);
    EXPECT_EQ(Selection.right, 250);
    EXPECT_EQ(Selection.top, 60);
    EXPECT_EQ(Selection.bottom, 140);
    EXPECT_EQ(Selection.active, 1);

    // Dragging the top edge onto the bottom one leaves no height.
    MakeRect(100, 60, 200, 140);
    Press(150, 60);
    ASSERT_EQ(hitCode, 6);
    MoveMouse(150, 100);
    MoveMouse(150, 140);
    Release(150, 140);
    EXPECT_EQ(Selection.top, Selection.bottom);
    EXPECT_EQ(Selection.active, 0);
}

TEST_F(SelectionDrag, MovingStopsOnceTheMouseLeavesTheClientArea)
{
    MakeRect(100, 60, 200, 140);
    const RECT client = Client();
    Press(150, 100);
    ASSERT_EQ(hitCode, 1);
    const int outside = client.right + 30;
    MoveMouse(outside, 100);  // this step is still applied
    EXPECT_EQ(Selection.left, 100 + outside - 150);
    EXPECT_EQ(hitCode, 0);
    MoveMouse(outside + 40, 110);  // later steps are not
    EXPECT_EQ(Selection.left, 100 + outside - 150);
    EXPECT_EQ(Selection.top, 60);
    Release(outside + 40, 110);
    EXPECT_EQ(Selection.left, 100 + outside - 150);
    EXPECT_EQ(Selection.right, 200 + outside - 150);
    EXPECT_EQ(Selection.active, 1);
}

}  // namespace
