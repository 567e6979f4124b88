#include "app/scrolling.h"

#include "app/main_window.h"
#include "app/selection.h"

#include <algorithm>

namespace {

void SetBarRange(HWND window, int bar, int maximum)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_POS;
    info.nMin = 0;
    info.nMax = maximum;
    info.nPos = 0 < maximum ? 0 : maximum;
    SetScrollInfo(window, bar, &info, TRUE);
}

}  // namespace

void SetScrollRanges(HWND window, LPARAM clientSize, int viewWidth, int viewHeight, int* hPos, int* vPos,
                     int* hMax, int* vMax)
{
    *vPos = 0;
    *hPos = 0;
    *vMax = viewHeight - HIWORD(clientSize);
    SetBarRange(window, SB_VERT, *vMax);
    *hMax = viewWidth - LOWORD(clientSize);
    SetBarRange(window, SB_HORZ, *hMax);
}

void OnViewSize(HWND window, LPARAM clientSize)
{
    DrawSelectionOutline(window, &Selection);
    SetScrollRanges(window, clientSize, ViewState.viewWidth, ViewState.viewHeight, &ViewState.hScrollPos,
                    &ViewState.vScrollPos, &ViewState.hScrollMax, &ViewState.vScrollMax);
    // The view shows its top-left corner again; the selection goes back
    // with the picture.
    Selection.left += ViewState.scrolledX;
    Selection.right += ViewState.scrolledX;
    Selection.top += ViewState.scrolledY;
    Selection.bottom += ViewState.scrolledY;
    ViewState.scrolledX = 0;
    ViewState.scrolledY = 0;
}

int ScrollDelta(int code, int thumb, int maximum, int position)
{
    int step = 0;
    switch (code) {
    case SB_LINEUP:
        step = -1;
        break;
    case SB_LINEDOWN:
        step = 1;
        break;
    case SB_PAGEUP:
        step = -10;
        break;
    case SB_PAGEDOWN:
        step = 10;
        break;
    case SB_THUMBPOSITION:
        step = thumb - position;
        break;
    default:
        break;
    }
    return std::max(-position, std::min(step, maximum - position));
}

void ScrollView(HWND window, WPARAM wParam, int maximum, int* position, UINT message)
{
    const int delta = ScrollDelta(LOWORD(wParam), HIWORD(wParam), maximum, *position);
    if (delta == 0)
        return;
    *position += delta;
    // The content moves by -delta along the bar's axis.  Steps that come
    // before the next paint add up: the paint moves the selection by all
    // of them, so it stays over the same picture pixels.
    const bool vertical = message == WM_VSCROLL;
    const int shiftX = vertical ? 0 : -delta;
    const int shiftY = vertical ? -delta : 0;
    ViewState.pendingScrollDX += shiftX;
    ViewState.pendingScrollDY += shiftY;
    ViewState.scrolledX -= shiftX;
    ViewState.scrolledY -= shiftY;
    const int bar = vertical ? SB_VERT : SB_HORZ;
    DrawSelectionOutline(window, &Selection);
    ScrollWindowEx(window, shiftX, shiftY, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = *position;
    SetScrollInfo(window, bar, &info, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}
