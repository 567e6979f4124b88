#include "app/dialog_helpers.h"

#include "platform/utf16.h"

#include <cstdio>

int ScrollValue = 0;
int ScrollMin = 0;
int ScrollMax = 0;

void SetControlText(HWND dialog, int id, std::string_view text)
{
    SetDlgItemTextW(dialog, id, WideFromUtf8(text).c_str());
}

int ShowScrollValue(HWND dialog, int textId, int offset)
{
    return ShowNumber(dialog, textId, ScrollValue - offset);
}

int ShowNumber(HWND dialog, int textId, int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%3d", value);
    SetControlText(dialog, textId, text);
    return 0;
}

int SetScrollValue(HWND dialog, int scrollId, int textId, int offset)
{
    if (ScrollValue < ScrollMin)
        ScrollValue = ScrollMin;
    if (ScrollValue > ScrollMax)
        ScrollValue = ScrollMax;
    SetScrollPos(GetDlgItem(dialog, scrollId), SB_CTL, ScrollValue, TRUE);
    if (textId != 0)
        ShowScrollValue(dialog, textId, offset);
    return 0;
}

int ScrollValueFromCode(HWND dialog, int scrollId, int textId, int code, int position, int offset)
{
    switch (code) {
    case SB_LINEUP:
        ScrollValue -= 1;
        break;
    case SB_LINEDOWN:
        ScrollValue += 1;
        break;
    case SB_PAGEUP:
        ScrollValue -= 10;
        break;
    case SB_PAGEDOWN:
        ScrollValue += 10;
        break;
    case SB_THUMBTRACK:
        ScrollValue = position;
        break;
    default:
        break;
    }
    return SetScrollValue(dialog, scrollId, textId, offset);
}

int CentreWindow(HWND window)
{
    RECT desktop;
    RECT rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window, nullptr, (desktop.right - width) / 2, (desktop.bottom - height) / 2, width, height,
                 SWP_NOZORDER);
    return 0;
}

void InitScrollTriple(HWND dialog, int scrollId, int textId, int offset, int* value, int minimum, int maximum)
{
    HWND bar = GetDlgItem(dialog, scrollId);
    SetScrollRange(bar, SB_CTL, minimum, maximum, TRUE);
    SetScrollPos(bar, SB_CTL, *value, TRUE);
    ScrollValue = *value;
    ScrollMin = minimum;
    ScrollMax = maximum;
    SetScrollValue(dialog, scrollId, textId, offset);
    *value = ScrollValue;
}

int ScrollTriple(HWND dialog, int scrollId, int textId, int offset, WPARAM wParam, int* value, int minimum,
                 int maximum)
{
    ScrollValue = *value;
    ScrollMin = minimum;
    ScrollMax = maximum;
    ScrollValueFromCode(dialog, scrollId, textId, LOWORD(wParam), HIWORD(wParam), offset);
    *value = ScrollValue;
    return ScrollValue;
}
