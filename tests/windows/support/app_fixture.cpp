#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/edit_commands.h"
#include "app/file_settings.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/photo_state.h"
#include "app/selection.h"
#include "image/region_swap.h"
#include "app/print.h"
#include "resources/resource.h"

#include <cstdio>
#include <cstring>

using namespace wintest;

namespace apptest {

Rgb PictureColour(int x, int y)
{
    return Rgb{static_cast<BYTE>(x & 255), static_cast<BYTE>(y & 255),
               static_cast<BYTE>(((x >> 8) & 15) | (((y >> 8) & 15) << 4))};
}

bool WriteTestBmp(const std::string& pathAnsi, int width, int height)
{
    const int stride = (width * 3 + 3) & ~3;
    const DWORD bitsSize = static_cast<DWORD>(stride) * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + bitsSize;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = bitsSize;

    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    std::string row(stride, '\0');
    for (int memoryRow = 0; memoryRow < height; ++memoryRow) {
        const int y = height - 1 - memoryRow;
        for (int x = 0; x < width; ++x) {
            const Rgb c = PictureColour(x, y);
            row[x * 3] = static_cast<char>(c.blue);
            row[x * 3 + 1] = static_cast<char>(c.green);
            row[x * 3 + 2] = static_cast<char>(c.red);
        }
        bytes += row;
    }
    return WriteWholeFile(pathAnsi, bytes);
}

const BYTE* DocPixel(const ImageDocument& doc, int x, int y)
{
    return doc.dib + doc.bitsOffset + (static_cast<std::size_t>(doc.height - 1 - y) * doc.width + x) * 4;
}

std::vector<BYTE> DocBytes(const ImageDocument& doc)
{
    if (!doc.dib)
        return {};
    const std::size_t bytes = WorkDibBytes(doc.width, doc.height);
    return std::vector<BYTE>(doc.dib, doc.dib + bytes);
}

void ReleasePictures()
{
    HistoryRelease(&PictureHistory);
    MainPhoto.alpha.clear();
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    ResetDocument(&MainDocument);
    ResetDocument(&WatermarkDocument);
    ResetDocument(&DisplayCopy);
    ViewState.pictureWindowRect = ViewStateRecord{}.pictureWindowRect;
    ClearSelection();
    Selection = SelectionRect{};
}

void ResetProgramState()
{
    ReleasePictures();
    hitCode = 0;
    prevMouseX = prevMouseY = 0;
    ViewState = ViewStateRecord{};
    FileTypeIndex = 1;
    BmpSaveDepth = 24;
}

bool TakeQuitMessage(WPARAM* exitCode)
{
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        if (exitCode)
            *exitCode = msg.wParam;
    }
    return found;
}

void MainWindowFixture::SetUp()
{
    ResetProgramState();
    TakeQuitMessage();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(instance, kMainWindowClass, &existing)) {
        ASSERT_EQ(RegisterMainWindowClass(instance), 0);
    }
    window_ = CreateMainWindow(instance, SW_SHOW);
    ASSERT_NE(window_, nullptr);
    dir_ = std::make_unique<TempDir>();
    Paint();
}

void MainWindowFixture::TearDown()
{
    if (window_ && IsWindow(window_)) {
        if (GetCapture() == window_)
            ReleaseCapture();
        DestroyWindow(window_);
    }
    window_ = nullptr;
    ReleasePrintSettings();
    ResetProgramState();
    PumpFor(10);
    TakeQuitMessage();
    dir_.reset();
}

std::string OpenDialogTitle()
{
    return ProgramLanguage() == UiLanguage::English ? "Open" : wintest::U8(u8"開く");
}

bool MainWindowFixture::OpenPicture(int width, int height)
{
    char name[64];
    std::snprintf(name, sizeof name, "picture-%d-%dx%d.bmp", ++openedCount_, width, height);
    const std::string path = dir_->File(name);
    if (!WriteTestBmp(path, width, height)) {
        ADD_FAILURE() << "cannot write " << path;
        return false;
    }
    {
        DialogDriver driver;
        driver.OnDialog(OpenDialogTitle(), [&](HWND dialog) { FileDialogAccept(dialog, path); });
        SendMessageA(window_, WM_COMMAND, IDM_OPEN, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    Paint();
    const bool opened = MainDocument.isLoaded && MainDocument.width == width && MainDocument.height == height &&
                        std::strcmp(MainDocument.path, path.c_str()) == 0;
    EXPECT_TRUE(opened) << "picture " << width << "x" << height << " did not open";
    return opened;
}

void MainWindowFixture::Paint()
{
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(20);
    UpdateWindow(window_);
}

RECT MainWindowFixture::Client() const
{
    RECT r = {};
    GetClientRect(window_, &r);
    return r;
}

RECT MainWindowFixture::WindowRect() const
{
    RECT r = {};
    GetWindowRect(window_, &r);
    return r;
}

void MainWindowFixture::MoveMouse(int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(window_, &p);
    SetCursorPos(p.x, p.y);
    SendMessageA(window_, WM_MOUSEMOVE, Selection.dragging ? MK_LBUTTON : 0,
                 MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void MainWindowFixture::Press(int x, int y)
{
    MoveMouse(x, y);
    SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void MainWindowFixture::Release(int x, int y)
{
    SendMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void MainWindowFixture::DragMouse(POINT from, POINT to, int steps)
{
    Press(from.x, from.y);
    for (int i = 1; i <= steps; ++i)
        MoveMouse(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    Release(to.x, to.y);
}

std::vector<COLORREF> MainWindowFixture::RowPixels(int y, int x0, int x1) const
{
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window_);
    for (int x = x0; x <= x1; ++x)
        pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window_, dc);
    return pixels;
}

std::vector<COLORREF> MainWindowFixture::ColumnPixels(int x, int y0, int y1) const
{
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window_);
    for (int y = y0; y <= y1; ++y)
        pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window_, dc);
    return pixels;
}

void ProcessingWindowFixture::SetUp()
{
    MainWindowFixture::SetUp();
    dlgtest::ResetProcessingSettings();
}

void ProcessingWindowFixture::TearDown()
{
    MainWindowFixture::TearDown();
    dlgtest::ResetProcessingSettings();
}

}  // namespace apptest
