#include "support/dialog_fixture.h"

#include "support/app_fixture.h"

#include "processing/bump.h"
#include "app/bump_dialog.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "app/filter_dialog.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "app/preview.h"
#include "app/settings.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>

using namespace wintest;

namespace dlgtest {

Bgr DefaultColour(int x, int y)
{
    return Bgr{static_cast<BYTE>((x * 7 + y * 3) & 255), static_cast<BYTE>((x * 2 + y * 5 + 40) & 255),
               static_cast<BYTE>((x * x + y * 11 + 90) & 255)};
}

void LoadPicture(int width, int height, const ColourFn& colour)
{
    ReleaseDocument(&MainDocument);
    ResetDocument(&MainDocument);
    const std::size_t bytes = WorkDibBytes(width, height);
    MainDocument.hDib = GlobalAlloc(GHND, bytes);
    ASSERT_NE(MainDocument.hDib, nullptr);
    MainDocument.dib = static_cast<BYTE*>(GlobalLock(MainDocument.hDib));
    WriteWorkDibHeader(MainDocument.dib, width, height);
    MainDocument.bmi = reinterpret_cast<BITMAPINFO*>(MainDocument.dib);
    MainDocument.bitsOffset = kWorkDibHeaderBytes;
    MainDocument.width = width;
    MainDocument.height = height;
    MainDocument.isLoaded = 1;
    std::strcpy(MainDocument.path, "C:\\picture.bmp");
    BYTE* pixels = WorkDibPixels(MainDocument.dib);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = pixels + (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
            const Bgr c = colour(x, y);
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
        }
    ComputeLuminance(&MainDocument);
}

void ResetProcessingSettings()
{
    ResetRememberedSettings();
    kernelEditsBlocked = 1;
}

std::vector<BYTE> CopyDib(const BYTE* dib)
{
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    return std::vector<BYTE>(dib, dib + WorkDibBytes(header->biWidth, header->biHeight));
}

std::vector<BYTE> CopyBlock(HGLOBAL block)
{
    if (!block)
        return {};
    const auto* dib = static_cast<const BYTE*>(GlobalLock(block));
    std::vector<BYTE> bytes = CopyDib(dib);
    GlobalUnlock(block);
    return bytes;
}

std::vector<BYTE> PreviewImageBytes()
{
    return CopyBlock(PreviewImage);
}

LONG DibWidth(const std::vector<BYTE>& dib)
{
    return reinterpret_cast<const BITMAPINFOHEADER*>(dib.data())->biWidth;
}

LONG DibHeight(const std::vector<BYTE>& dib)
{
    return reinterpret_cast<const BITMAPINFOHEADER*>(dib.data())->biHeight;
}

std::vector<BYTE> FilteredCopy(const std::vector<BYTE>& dib)
{
    HGLOBAL block = GlobalAlloc(GHND, dib.size() + 4);
    auto* p = static_cast<BYTE*>(GlobalLock(block));
    std::memcpy(p, dib.data(), dib.size());
    GlobalUnlock(block);
    EXPECT_EQ(ApplyNeighbourhoodFilter(FilterParamsOf(Remembered.filter), block), Failure::None);
    std::vector<BYTE> result = CopyBlock(block);
    GlobalFree(block);
    return result;
}

std::vector<BYTE> ReadPreviewFromScreen(HWND dialog)
{
    const int w = PreviewRect.right - PreviewRect.left;
    const int h = PreviewRect.bottom - PreviewRect.top;
    std::vector<BYTE> out;
    if (w <= 0 || h <= 0)
        return out;
    HDC dc = GetDC(dialog);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, dc, PreviewRect.left, PreviewRect.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const BYTE*>(bits);
    out.reserve(static_cast<std::size_t>(w) * h * 3);
    for (int i = 0; i < w * h; ++i, p += 4)
        out.insert(out.end(), {p[0], p[1], p[2]});
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(dialog, dc);
    return out;
}

std::vector<BYTE> ScreenForm(const std::vector<BYTE>& dib)
{
    const LONG w = DibWidth(dib);
    const LONG h = DibHeight(dib);
    std::vector<BYTE> out;
    out.reserve(static_cast<std::size_t>(w) * h * 3);
    const BYTE* pixels = dib.data() + kWorkDibHeaderBytes;
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            const BYTE* p = pixels + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4;
            out.insert(out.end(), {p[0], p[1], p[2]});
        }
    return out;
}

::testing::AssertionResult PreviewShows(HWND dialog, const std::vector<BYTE>& dib)
{
    if (dib.empty())
        return ::testing::AssertionFailure() << "no expected image";
    const LONG w = DibWidth(dib);
    const LONG h = DibHeight(dib);
    if (PreviewRect.right - PreviewRect.left != w || PreviewRect.bottom - PreviewRect.top != h)
        return ::testing::AssertionFailure() << "PreviewRect is " << PreviewRect.right - PreviewRect.left << "x"
                                             << PreviewRect.bottom - PreviewRect.top << ", image " << w << "x" << h;
    const std::vector<BYTE> screen = ReadPreviewFromScreen(dialog);
    const std::vector<BYTE> expected = ScreenForm(dib);
    int differing = 0;
    std::ostringstream first;
    for (std::size_t i = 0; i < expected.size(); i += 3)
        if (std::memcmp(&screen[i], &expected[i], 3) != 0) {
            if (differing++ == 0) {
                const std::size_t n = i / 3;
                first << "first at preview (" << n % w << "," << n / w << "): screen B,G,R " << int(screen[i]) << ","
                      << int(screen[i + 1]) << "," << int(screen[i + 2]) << " expected " << int(expected[i]) << ","
                      << int(expected[i + 1]) << "," << int(expected[i + 2]);
            }
        }
    if (differing == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " of " << w * h << " preview pixels differ; " << first.str();
}

UnallocatablePreview::UnallocatablePreview() : real_(PreviewImage)
{
    fake_ = GlobalAlloc(GHND, 64);
    auto* dib = static_cast<BYTE*>(GlobalLock(fake_));
    WriteWorkDibHeader(dib, kUnallocatableWidth, kUnallocatableHeight);
    GlobalUnlock(fake_);
    PreviewImage = fake_;
}

UnallocatablePreview::~UnallocatablePreview()
{
    PreviewImage = real_;
    GlobalFree(fake_);
}

void Redraw(HWND dialog)
{
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool IsShown(HWND dialog, int id)
{
    return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void ScrollBar(HWND dialog, int id, int code, int position, UINT message)
{
    SendMessageA(dialog, message, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int BarPos(HWND dialog, int id)
{
    return GetScrollPos(GetDlgItem(dialog, id), SB_CTL);
}

std::pair<int, int> BarRange(HWND dialog, int id)
{
    int minimum = -1, maximum = -1;
    GetScrollRange(GetDlgItem(dialog, id), SB_CTL, &minimum, &maximum);
    return {minimum, maximum};
}

void Type(HWND dialog, int id, const char* text)
{
    SetWindowTextA(GetDlgItem(dialog, id), text);
}

std::string Text(HWND dialog, int id)
{
    return ControlTextUtf8(dialog, id);
}

void ClickAt(HWND dialog, POINT p)
{
    const LPARAM at = MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
    SendMessageA(dialog, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(dialog, WM_LBUTTONUP, 0, at);
}

RECT DialogRect(HWND dialog, int left, int top, int right, int bottom)
{
    RECT r = {left, top, right, bottom};
    MapDialogRect(dialog, &r);
    return r;
}

std::string Num(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%3d", value);
    return text;
}

INT_PTR RunDialog(const char* templateName, DLGPROC proc, const char8_t* caption,
                  const std::function<void(HWND)>& action, DialogDriver* driver)
{
    // Only one driver may be alive: the caller's, or one of our own.
    std::optional<DialogDriver> own;
    DialogDriver* d = driver;
    if (!d)
        d = &own.emplace();
    // A caller with nested dialogs queues every action on its own driver,
    // in the order the dialogs come, and passes no action here.
    if (action)
        d->OnDialog(U8(caption), action);
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), templateName, nullptr, proc, 0);
    EXPECT_EQ(d->Problems(), "");
    return result;
}

void DialogTest::SetUp()
{
    apptest::ResetProgramState();
    ResetProcessingSettings();
}

void DialogTest::TearDown()
{
    apptest::ResetProgramState();
    ResetProcessingSettings();
    PumpFor(10);
}

}  // namespace dlgtest
