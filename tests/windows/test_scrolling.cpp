// Scrolling the 1:1 view with the window's own scroll bars, resizing, and
// how both keep the selection (and what a command cuts out of the picture)
// over the same picture pixels.
#include "support/app_fixture.h"

#include "app/main_window.h"
#include "app/scrolling.h"
#include "app/selection.h"
#include "app/settings.h"
#include "image/region_swap.h"
#include "processing/effects.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

using namespace wintest;
using namespace apptest;

namespace {

// --- The step of each scroll code -------------------------------------------

TEST(ScrollStep, LineAndPageStepsAndThumbPosition)
{
    EXPECT_EQ(ScrollDelta(SB_LINEDOWN, 0, 100, 50), 1);
    EXPECT_EQ(ScrollDelta(SB_LINEUP, 0, 100, 50), -1);
    EXPECT_EQ(ScrollDelta(SB_PAGEDOWN, 0, 100, 50), 10);
    EXPECT_EQ(ScrollDelta(SB_PAGEUP, 0, 100, 50), -10);
    EXPECT_EQ(ScrollDelta(SB_THUMBPOSITION, 70, 100, 50), 20);
    EXPECT_EQ(ScrollDelta(SB_THUMBPOSITION, 12, 100, 50), -38);
    // Dragging the thumb, the end of a scroll and the far ends move nothing.
    EXPECT_EQ(ScrollDelta(SB_THUMBTRACK, 70, 100, 50), 0);
    EXPECT_EQ(ScrollDelta(SB_ENDSCROLL, 70, 100, 50), 0);
    EXPECT_EQ(ScrollDelta(SB_TOP, 0, 100, 50), 0);
    EXPECT_EQ(ScrollDelta(SB_BOTTOM, 0, 100, 50), 0);
}

TEST(ScrollStep, StepsAreClampedToTheRange)
{
    EXPECT_EQ(ScrollDelta(SB_PAGEDOWN, 0, 100, 95), 5);
    EXPECT_EQ(ScrollDelta(SB_PAGEUP, 0, 100, 4), -4);
    EXPECT_EQ(ScrollDelta(SB_LINEDOWN, 0, 100, 100), 0);
    EXPECT_EQ(ScrollDelta(SB_LINEUP, 0, 100, 0), 0);
    EXPECT_EQ(ScrollDelta(SB_THUMBPOSITION, 500, 100, 30), 70);
    // A view no larger than the client area: the maximum is 0 or
    // negative and nothing moves.
    for (int code : {SB_LINEDOWN, SB_LINEUP, SB_PAGEDOWN, SB_PAGEUP}) {
        EXPECT_EQ(ScrollDelta(code, 0, 0, 0), 0) << code;
        EXPECT_EQ(ScrollDelta(code, 0, -25, 0), 0) << code;
    }
    EXPECT_EQ(ScrollDelta(SB_THUMBPOSITION, 10, -25, 0), 0);
}

// --- The view in the window -------------------------------------------------

class ScrollingView : public MainWindowFixture {
protected:
    // A 600 x 400 picture in a window made smaller than it.
    void OpenAndShrink()
    {
        ASSERT_TRUE(OpenPicture(600, 400));
        SetWindowPos(window_, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
        Paint();
        const RECT client = Client();
        ASSERT_EQ(ViewState.hScrollMax, 600 - client.right);
        ASSERT_EQ(ViewState.vScrollMax, 400 - client.bottom);
        ASSERT_GT(ViewState.hScrollMax, 100);
        ASSERT_GT(ViewState.vScrollMax, 50);
        ASSERT_EQ(ViewState.hScrollPos, 0);
    }
    void H(int code, int thumb = 0) { SendMessageA(window_, WM_HSCROLL, MAKEWPARAM(code, thumb), 0); }
    void V(int code, int thumb = 0) { SendMessageA(window_, WM_VSCROLL, MAKEWPARAM(code, thumb), 0); }
    bool RepaintPending() const { return GetUpdateRect(window_, nullptr, FALSE) != FALSE; }
    COLORREF ScreenPixel(int x, int y) const
    {
        HDC dc = GetDC(window_);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(window_, dc);
        return c;
    }
    static COLORREF PictureScreenColour(int x, int y)
    {
        const Rgb c = PictureColour(x, y);
        return RGB(c.red, c.green, c.blue);
    }
    // The pixels RegionSwapExtract cuts out for the current selection as
    // the view maps it, as picture colours (top row first); the picture is
    // restored.
    std::vector<COLORREF> ExtractedRegion(LONG* cols, LONG* rows)
    {
        std::vector<COLORREF> pixels;
        *cols = *rows = 0;
        const PictureRect region = SelectionInPicture(Selection, ViewState);
        RegionSwap swap;
        if (RegionSwapExtract(&swap, &MainDocument, Selection.active ? &region : nullptr) != RegionCut::Ready) {
            ADD_FAILURE() << "extract refused";
            return pixels;
        }
        *cols = MainDocument.width;
        *rows = MainDocument.height;
        for (int y = 0; y < MainDocument.height; ++y)
            for (int x = 0; x < MainDocument.width; ++x) {
                const BYTE* p = DocPixel(MainDocument, x, y);
                pixels.push_back(RGB(p[2], p[1], p[0]));
            }
        RegionSwapCancel(&swap, &MainDocument);
        return pixels;
    }
};

TEST_F(ScrollingView, LineAndPageStepsMoveTheViewBothWays)
{
    OpenAndShrink();
    H(SB_LINEDOWN);
    EXPECT_EQ(ViewState.hScrollPos, 1);
    EXPECT_EQ(GetScrollPos(window_, SB_HORZ), 1);
    EXPECT_EQ(ViewState.scrolledX, 1);
    EXPECT_EQ(ViewState.pendingScrollDX, -1);
    EXPECT_EQ(ViewState.pendingScrollDY, 0);
    EXPECT_TRUE(RepaintPending());
    Paint();
    EXPECT_EQ(ViewState.pendingScrollDX, 0);
    EXPECT_EQ(ScreenPixel(0, 0), PictureScreenColour(1, 0));

    H(SB_PAGEDOWN);
    EXPECT_EQ(ViewState.hScrollPos, 11);
    H(SB_PAGEUP);
    EXPECT_EQ(ViewState.hScrollPos, 1);
    H(SB_LINEUP);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_EQ(ViewState.scrolledX, 0);

    V(SB_PAGEDOWN);
    EXPECT_EQ(ViewState.vScrollPos, 10);
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), 10);
    EXPECT_EQ(ViewState.scrolledY, 10);
    EXPECT_EQ(ViewState.pendingScrollDY, -10);
    // The horizontal steps since the last paint (page down, page up, line
    // up) are still pending: the view moved one pixel back to the left.
    EXPECT_EQ(ViewState.pendingScrollDX, 1);
    V(SB_LINEDOWN);
    EXPECT_EQ(ViewState.vScrollPos, 11);
    EXPECT_EQ(ViewState.scrolledY, 11);
    Paint();
    EXPECT_EQ(ScreenPixel(0, 0), PictureScreenColour(0, 11));
    EXPECT_EQ(ScreenPixel(30, 40), PictureScreenColour(30, 51));
}

TEST_F(ScrollingView, TheViewJumpsOnlyWhenTheThumbIsReleased)
{
    OpenAndShrink();
    H(SB_THUMBTRACK, 40);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_FALSE(RepaintPending());
    H(SB_THUMBPOSITION, 40);
    EXPECT_EQ(ViewState.hScrollPos, 40);
    EXPECT_EQ(GetScrollPos(window_, SB_HORZ), 40);
    EXPECT_EQ(ViewState.scrolledX, 40);
    H(SB_ENDSCROLL);
    EXPECT_EQ(ViewState.hScrollPos, 40);
    Paint();
    EXPECT_EQ(ScreenPixel(0, 0), PictureScreenColour(40, 0));
    EXPECT_EQ(ScreenPixel(100, 20), PictureScreenColour(140, 20));
}

TEST_F(ScrollingView, StepsStopAtTheEndsWithoutRepainting)
{
    OpenAndShrink();
    const int max = ViewState.hScrollMax;
    H(SB_THUMBPOSITION, max - 3);
    H(SB_PAGEDOWN);
    EXPECT_EQ(ViewState.hScrollPos, max);
    EXPECT_EQ(ViewState.scrolledX, max);
    Paint();
    ASSERT_FALSE(RepaintPending());
    H(SB_LINEDOWN);
    H(SB_PAGEDOWN);
    H(SB_THUMBPOSITION, max + 50);
    EXPECT_EQ(ViewState.hScrollPos, max);
    EXPECT_EQ(ViewState.scrolledX, max);
    EXPECT_FALSE(RepaintPending());
    // The last picture column is at the client's right edge.
    EXPECT_EQ(ScreenPixel(Client().right - 1, 0), PictureScreenColour(599, 0));

    H(SB_THUMBPOSITION, 4);
    H(SB_PAGEUP);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_EQ(ViewState.scrolledX, 0);
    Paint();
    V(SB_LINEUP);
    V(SB_PAGEUP);
    H(SB_LINEUP);
    EXPECT_EQ(ViewState.vScrollPos, 0);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_FALSE(RepaintPending());
}

TEST_F(ScrollingView, NothingScrollsWhenTheViewFits)
{
    ASSERT_TRUE(OpenPicture(600, 400));
    Paint();
    int position = 0;
    const ViewStateRecord before = ViewState;
    ScrollView(window_, MAKEWPARAM(SB_LINEDOWN, 0), 0, &position, WM_HSCROLL);
    ScrollView(window_, MAKEWPARAM(SB_PAGEDOWN, 0), -30, &position, WM_VSCROLL);
    ScrollView(window_, MAKEWPARAM(SB_THUMBPOSITION, 20), -30, &position, WM_HSCROLL);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(ViewState.scrolledX, before.scrolledX);
    EXPECT_EQ(ViewState.scrolledY, before.scrolledY);
    EXPECT_EQ(ViewState.pendingScrollDX, 0);
    EXPECT_FALSE(RepaintPending());
}

TEST_F(ScrollingView, SelectionFollowsThePictureAtTheNextPaint)
{
    OpenAndShrink();
    DragMouse({100, 60}, {180, 120});
    ASSERT_EQ(Selection.active, 1);
    LONG cols = 0, rows = 0;
    const std::vector<COLORREF> unscrolled = ExtractedRegion(&cols, &rows);
    ASSERT_EQ(cols, 81);
    ASSERT_EQ(rows, 61);
    EXPECT_EQ(unscrolled.front(), PictureScreenColour(100, 60));
    EXPECT_EQ(unscrolled.back(), PictureScreenColour(180, 120));

    H(SB_THUMBPOSITION, 25);
    EXPECT_EQ(ViewState.scrolledX, 25);
    EXPECT_EQ(Selection.left, 100);  // moved by the paint, not before
    Paint();
    EXPECT_EQ(Selection.left, 75);
    EXPECT_EQ(Selection.right, 155);
    EXPECT_EQ(Selection.top, 60);
    EXPECT_EQ(Selection.bottom, 120);
    EXPECT_EQ(ViewState.pendingScrollDX, 0);
    // Client x = c now shows picture column c + 25: the same pixels.
    EXPECT_EQ(ScreenPixel(76, 61), PictureScreenColour(101, 61));
    EXPECT_TRUE(ExtractedRegion(&cols, &rows) == unscrolled);

    V(SB_THUMBPOSITION, 11);
    Paint();
    EXPECT_EQ(ViewState.scrolledY, 11);
    EXPECT_EQ(Selection.top, 49);
    EXPECT_EQ(Selection.bottom, 109);
    EXPECT_EQ(Selection.left, 75);
    EXPECT_TRUE(ExtractedRegion(&cols, &rows) == unscrolled);
    EXPECT_EQ(cols, 81);
    EXPECT_EQ(rows, 61);

    // Back again.
    H(SB_THUMBPOSITION, 0);
    Paint();
    V(SB_THUMBPOSITION, 0);
    Paint();
    EXPECT_EQ(Selection.left, 100);
    EXPECT_EQ(Selection.top, 60);
    EXPECT_TRUE(ExtractedRegion(&cols, &rows) == unscrolled);
}

// Scroll messages can follow each other faster than the window repaints
// (a held arrow, a keyboard, another program): the selection must still
// end up over the pixels it covered.
TEST_F(ScrollingView, SeveralStepsBeforeOnePaintKeepTheSelectionOverTheSamePixels)
{
    OpenAndShrink();
    DragMouse({100, 60}, {180, 120});
    LONG cols = 0, rows = 0;
    const std::vector<COLORREF> unscrolled = ExtractedRegion(&cols, &rows);

    V(SB_PAGEDOWN);
    V(SB_LINEDOWN);
    Paint();
    EXPECT_EQ(ViewState.scrolledY, 11);
    EXPECT_EQ(Selection.top, 49) << "the selection lost a scroll step";
    EXPECT_EQ(Selection.bottom, 109);
    EXPECT_TRUE(ExtractedRegion(&cols, &rows) == unscrolled);

    H(SB_THUMBPOSITION, 25);
    V(SB_LINEUP);
    Paint();
    EXPECT_EQ(ViewState.scrolledX, 25);
    EXPECT_EQ(ViewState.scrolledY, 10);
    EXPECT_EQ(Selection.left, 75) << "the selection lost a scroll step";
    EXPECT_EQ(Selection.top, 50);
    EXPECT_TRUE(ExtractedRegion(&cols, &rows) == unscrolled);
}

TEST_F(ScrollingView, ResizingShowsTheTopLeftAgainAndMovesTheSelectionBack)
{
    OpenAndShrink();
    DragMouse({100, 60}, {180, 120});
    H(SB_THUMBPOSITION, 25);
    Paint();
    V(SB_PAGEDOWN);
    Paint();
    ASSERT_EQ(Selection.left, 75);
    ASSERT_EQ(Selection.top, 50);

    SetWindowPos(window_, nullptr, 0, 0, 420, 310, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(ViewState.hScrollPos, 0);
    EXPECT_EQ(ViewState.vScrollPos, 0);
    EXPECT_EQ(ViewState.scrolledX, 0);
    EXPECT_EQ(ViewState.scrolledY, 0);
    EXPECT_EQ(GetScrollPos(window_, SB_HORZ), 0);
    EXPECT_EQ(GetScrollPos(window_, SB_VERT), 0);
    EXPECT_EQ(Selection.left, 100);
    EXPECT_EQ(Selection.top, 60);
    EXPECT_EQ(Selection.right, 180);
    EXPECT_EQ(Selection.bottom, 120);
    const RECT client = Client();
    EXPECT_EQ(ViewState.hScrollMax, 600 - client.right);
    EXPECT_EQ(ViewState.vScrollMax, 400 - client.bottom);

    Paint();
    EXPECT_EQ(Selection.left, 100);
    EXPECT_EQ(Selection.top, 60);
    EXPECT_EQ(ScreenPixel(0, 0), PictureScreenColour(0, 0));
    LONG cols = 0, rows = 0;
    const std::vector<COLORREF> region = ExtractedRegion(&cols, &rows);
    ASSERT_FALSE(region.empty());
    EXPECT_EQ(region.front(), PictureScreenColour(100, 60));
}

TEST_F(ScrollingView, CommandOnAScrolledViewProcessesTheSelectedPicturePixels)
{
    OpenAndShrink();
    DragMouse({100, 60}, {180, 120});
    H(SB_THUMBPOSITION, 25);
    Paint();
    V(SB_PAGEDOWN);
    Paint();
    ASSERT_EQ(Selection.left, 75);
    ASSERT_EQ(Selection.top, 50);
    const std::vector<BYTE> before = DocBytes(MainDocument);

    Remembered.effect.kind = EffectKind::Negative;
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"画像効果"), [](HWND dialog) {
            PressButton(dialog, IDC_EFFECT_NEGATIVE);
            PressButton(dialog, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_EFFECT, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    Paint();
    EXPECT_EQ(MainDocument.isModified, 1);
    int inverted = 0, wrong = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 600; ++x) {
            const BYTE* now = DocPixel(MainDocument, x, y);
            const BYTE* was = before.data() + 40 + (static_cast<std::size_t>(399 - y) * 600 + x) * 4;
            const bool inside = x >= 100 && x <= 180 && y >= 60 && y <= 120;
            if (now[0] == 255 - was[0] && now[1] == 255 - was[1] && now[2] == 255 - was[2] && now[3] == was[3])
                ++inverted;
            if (inside != (now[0] != was[0]) && wrong++ < 5)
                ADD_FAILURE() << "pixel (" << x << "," << y << ") " << (inside ? "not processed" : "processed");
        }
    EXPECT_EQ(inverted, 81 * 61);
}

}  // namespace
