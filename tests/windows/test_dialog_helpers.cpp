// The helpers every settings dialog uses: the shared scroll value slot with
// its scroll bar and "%3d" text, and centring a window on the desktop.
#include "support/win_test_support.h"

#include "app/dialog_helpers.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace wintest;

namespace {

constexpr int kBar = 100;
constexpr int kText = 101;

// A window with a horizontal scroll bar control and a value text beside
// it, as in the program's dialogs.  The bar's own range is wide, so that
// what the helpers set is what the bar reports.
class DialogHelpers : public ::testing::Test {
protected:
    void SetUp() override
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        dialog_ = CreateWindowExA(0, "STATIC", "helpers", WS_POPUP | WS_VISIBLE, 10, 10, 300, 80, nullptr, nullptr,
                                  instance, nullptr);
        ASSERT_NE(dialog_, nullptr);
        HWND bar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_HORZ, 10, 10, 150, 16, dialog_,
                                   reinterpret_cast<HMENU>(kBar), instance, nullptr);
        HWND text = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 170, 10, 60, 16, dialog_,
                                    reinterpret_cast<HMENU>(kText), instance, nullptr);
        ASSERT_TRUE(bar && text);
        SetScrollRange(bar, SB_CTL, -2000, 2000, FALSE);
    }
    void TearDown() override
    {
        if (dialog_)
            DestroyWindow(dialog_);
    }

    void Slot(int value, int minimum, int maximum)
    {
        ScrollValue = value;
        ScrollMin = minimum;
        ScrollMax = maximum;
    }
    int BarPosition() const { return GetScrollPos(GetDlgItem(dialog_, kBar), SB_CTL); }
    std::string Text() const { return ControlTextUtf8(dialog_, kText); }
    // Puts the bar and the text somewhere else, to see that a helper
    // refreshes them.
    void Scramble()
    {
        SetScrollPos(GetDlgItem(dialog_, kBar), SB_CTL, -1500, FALSE);
        SetDlgItemTextA(dialog_, kText, "zz");
    }

    HWND dialog_ = nullptr;
};

TEST_F(DialogHelpers, SetScrollValueClampsMovesTheBarAndShowsTheValue)
{
    Slot(-5, 0, 40);
    EXPECT_EQ(SetScrollValue(dialog_, kBar, kText, 0), 0);
    EXPECT_EQ(ScrollValue, 0);
    EXPECT_EQ(BarPosition(), 0);
    EXPECT_EQ(Text(), "  0");

    Slot(55, 0, 40);
    SetScrollValue(dialog_, kBar, kText, 0);
    EXPECT_EQ(ScrollValue, 40);
    EXPECT_EQ(BarPosition(), 40);
    EXPECT_EQ(Text(), " 40");

    Slot(17, 0, 40);
    SetScrollValue(dialog_, kBar, kText, 0);
    EXPECT_EQ(ScrollValue, 17);
    EXPECT_EQ(BarPosition(), 17);
    EXPECT_EQ(Text(), " 17");
    EXPECT_EQ(ScrollMin, 0);
    EXPECT_EQ(ScrollMax, 40);
}

TEST_F(DialogHelpers, WhenTheBoundsCrossTheMaximumWins)
{
    for (int value : {0, 7, 20}) {
        Slot(value, 10, 5);
        SetScrollValue(dialog_, kBar, kText, 0);
        EXPECT_EQ(ScrollValue, 5) << value;
        EXPECT_EQ(BarPosition(), 5) << value;
    }
}

TEST_F(DialogHelpers, TextsArePaddedToThreeCharactersAndNeverCut)
{
    const struct {
        int value, offset;
        const char* text;
    } cases[] = {
        {5, 0, "  5"},   {0, 100, "-100"}, {150, 100, " 50"}, {93, 100, " -7"},
        {1234, 0, "1234"}, {0, 0, "  0"},  {-12, 0, "-12"},
    };
    for (const auto& c : cases) {
        Slot(c.value, -2000, 2000);
        SetScrollValue(dialog_, kBar, kText, c.offset);
        EXPECT_EQ(Text(), c.text) << c.value << " - " << c.offset;
        EXPECT_EQ(BarPosition(), c.value);  // the bar keeps the unshifted value
    }
    ShowNumber(dialog_, kText, 7);
    EXPECT_EQ(Text(), "  7");
    ShowNumber(dialog_, kText, -800);
    EXPECT_EQ(Text(), "-800");
    Slot(30, 0, 40);
    ShowScrollValue(dialog_, kText, 20);
    EXPECT_EQ(Text(), " 10");
}

TEST_F(DialogHelpers, TextIdZeroUpdatesTheBarOnly)
{
    SetDlgItemTextA(dialog_, kText, "old");
    Slot(60, 0, 50);
    SetScrollValue(dialog_, kBar, 0, 0);
    EXPECT_EQ(ScrollValue, 50);
    EXPECT_EQ(BarPosition(), 50);
    EXPECT_EQ(Text(), "old");
}

TEST_F(DialogHelpers, LineAndPageCodesStepByOneAndTen)
{
    const struct {
        int code, start, result;
    } cases[] = {
        {SB_LINEUP, 20, 19},  {SB_LINEDOWN, 20, 21}, {SB_PAGEUP, 20, 10}, {SB_PAGEDOWN, 20, 30},
        {SB_LINEUP, 0, 0},    {SB_PAGEUP, 4, 0},     {SB_LINEDOWN, 40, 40}, {SB_PAGEDOWN, 35, 40},
    };
    for (const auto& c : cases) {
        Slot(c.start, 0, 40);
        EXPECT_EQ(ScrollValueFromCode(dialog_, kBar, kText, c.code, 0, 0), 0);
        EXPECT_EQ(ScrollValue, c.result) << "code " << c.code << " from " << c.start;
        EXPECT_EQ(BarPosition(), c.result);
    }
}

TEST_F(DialogHelpers, ThumbTrackFollowsTheThumbWithinTheBounds)
{
    Slot(20, 0, 40);
    ScrollValueFromCode(dialog_, kBar, kText, SB_THUMBTRACK, 33, 0);
    EXPECT_EQ(ScrollValue, 33);
    EXPECT_EQ(BarPosition(), 33);
    EXPECT_EQ(Text(), " 33");
    ScrollValueFromCode(dialog_, kBar, kText, SB_THUMBTRACK, 300, 0);
    EXPECT_EQ(ScrollValue, 40);
    EXPECT_EQ(Text(), " 40");
    Slot(20, 10, 40);
    ScrollValueFromCode(dialog_, kBar, kText, SB_THUMBTRACK, 3, 0);
    EXPECT_EQ(ScrollValue, 10);
    EXPECT_EQ(BarPosition(), 10);
}

TEST_F(DialogHelpers, ThumbPositionAndEndScrollKeepTheValueButRefresh)
{
    for (int code : {SB_THUMBPOSITION, SB_ENDSCROLL, SB_TOP, SB_BOTTOM}) {
        Slot(20, 0, 40);
        Scramble();
        ScrollValueFromCode(dialog_, kBar, kText, code, 33, 0);
        EXPECT_EQ(ScrollValue, 20) << code;
        EXPECT_EQ(BarPosition(), 20) << code;
        EXPECT_EQ(Text(), " 20") << code;
    }
    // Even a value outside the bounds is brought back by the refresh.
    Slot(70, 0, 40);
    ScrollValueFromCode(dialog_, kBar, kText, SB_ENDSCROLL, 0, 0);
    EXPECT_EQ(ScrollValue, 40);
}

TEST_F(DialogHelpers, OffsetShiftsTheTextOfEveryCode)
{
    Slot(100, 0, 200);
    ScrollValueFromCode(dialog_, kBar, kText, SB_LINEUP, 0, 100);
    EXPECT_EQ(Text(), " -1");
    ScrollValueFromCode(dialog_, kBar, kText, SB_THUMBTRACK, 0, 100);
    EXPECT_EQ(Text(), "-100");
    ScrollValueFromCode(dialog_, kBar, kText, SB_THUMBTRACK, 200, 100);
    EXPECT_EQ(Text(), "100");
}

TEST_F(DialogHelpers, TripleIsClampedIntoTheBarRange)
{
    int value = 50;
    InitScrollTriple(dialog_, kBar, kText, 0, &value, 0, 40);
    EXPECT_EQ(value, 40);
    int minimum = -1, maximum = -1;
    GetScrollRange(GetDlgItem(dialog_, kBar), SB_CTL, &minimum, &maximum);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 40);
    EXPECT_EQ(BarPosition(), 40);
    EXPECT_EQ(Text(), " 40");
    EXPECT_EQ(ScrollTriple(dialog_, kBar, kText, 0, MAKEWPARAM(SB_PAGEUP, 0), &value, 0, 40), 30);
    EXPECT_EQ(value, 30);
    EXPECT_EQ(Text(), " 30");
}

// --- Centring ---------------------------------------------------------------

struct Placed {
    int left, top, width, height;
};

Placed CentreAPopup(int width, int height)
{
    HWND window = CreateWindowExA(0, "STATIC", "centre", WS_POPUP, 3, 7, width, height, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return {0, 0, -1, -1};
    EXPECT_EQ(CentreWindow(window), 0);
    RECT r;
    GetWindowRect(window, &r);
    DestroyWindow(window);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST(CentreWindow, KeepsTheSizeAndCentresWithTruncatingDivision)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    ASSERT_EQ(desktop.left, 0);
    ASSERT_EQ(desktop.top, 0);
    ASSERT_EQ(desktop.right % 2, 0);
    ASSERT_EQ(desktop.bottom % 2, 0);

    Placed p = CentreAPopup(300, 200);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.left, desktop.right / 2 - 150);
    EXPECT_EQ(p.top, desktop.bottom / 2 - 100);

    // Odd sizes: half a pixel is dropped towards the top-left.
    p = CentreAPopup(301, 201);
    EXPECT_EQ(p.width, 301);
    EXPECT_EQ(p.height, 201);
    EXPECT_EQ(p.left, desktop.right / 2 - 151);
    EXPECT_EQ(p.top, desktop.bottom / 2 - 101);
}

TEST(CentreWindow, WindowLargerThanTheDesktopGetsANegativePosition)
{
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int width = desktop.right + 221;  // odd excess: -110.5 becomes -110
    const int height = desktop.bottom + 77;  // -38.5 becomes -38
    const Placed p = CentreAPopup(width, height);
    EXPECT_EQ(p.width, width);
    EXPECT_EQ(p.height, height);
    EXPECT_EQ(p.left, -110);
    EXPECT_EQ(p.top, -38);
}

}  // namespace
