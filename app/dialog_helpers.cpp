#include "app/dialog_helpers.h"

#include "app/gdi_guards.h"
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

int ScreenDpi()
{
    WindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

int ScaledFrom96(int length)
{
    return MulDiv(length, ScreenDpi(), 96);
}

namespace {

// A font's average character width and its height, the way a dialog
// measures the font it is laid out with; {0, 0} when it cannot be measured.
SIZE FontBaseUnits(HDC dc, HFONT font)
{
    static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SelectObjectGuard select(dc, font);
    TEXTMETRICW metrics = {};
    SIZE extent = {};
    if (!GetTextMetricsW(dc, &metrics) || !GetTextExtentPoint32W(dc, kLetters, 52, &extent))
        return {0, 0};
    return {(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

// The dialog's base units on a 96-dpi screen.
SIZE BaseUnitsAt96(HWND dialog)
{
    RECT own = {0, 0, 4, 8};
    MapDialogRect(dialog, &own);
    WindowDC dc(dialog);
    const int dpi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 96;
    if (dpi == 96 || dpi <= 0)
        return {own.right, own.bottom};
    // Without a font to measure, the dialog's own units scaled.
    const SIZE scaled = {MulDiv(own.right, 96, dpi), MulDiv(own.bottom, 96, dpi)};
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW face = {};
    if (!font || GetObjectW(font, sizeof face, &face) != sizeof face)
        return scaled;
    face.lfHeight = MulDiv(face.lfHeight, 96, dpi);
    GdiObject<HFONT> font96(CreateFontIndirectW(&face));
    const SIZE base = font96.get() ? FontBaseUnits(dc.get(), font96.get()) : SIZE{0, 0};
    return base.cx > 0 && base.cy > 0 ? base : scaled;
}

}  // namespace

RECT MapDialogRectAt96(HWND dialog, RECT rect)
{
    const SIZE base = BaseUnitsAt96(dialog);
    return {MulDiv(rect.left, base.cx, 4), MulDiv(rect.top, base.cy, 8), MulDiv(rect.right, base.cx, 4),
            MulDiv(rect.bottom, base.cy, 8)};
}
