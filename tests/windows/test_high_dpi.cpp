// The program on a screen of more than 96 dpi.  ctest runs this suite
// twice: win.HighDpiAt96 on a 96-dpi screen writes what it saw to a file
// (QUILLVANE_DPI_RECORD), win.HighDpi on a 144-dpi screen (a Wine prefix
// whose LogPixels is 144) compares with it (QUILLVANE_DPI_COMPARE).  Both
// check the resolution they were promised (QUILLVANE_DPI_EXPECTED).  Run
// without these it checks only what holds on any screen.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/main_window.h"
#include "app/settings.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace wintest;
using namespace apptest;

namespace {

std::string Environment(const char* name)
{
    char value[1024];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// The process's DPI awareness: 0 unaware, 1 system, 2 per monitor; from
// the thread's awareness context where user32 has one (Windows 10 1607
// and later, Wine), else from IsProcessDPIAware.
int DpiAwareness()
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    using ContextFn = HANDLE(WINAPI*)();
    using AwarenessFn = int(WINAPI*)(HANDLE);
    const auto context = reinterpret_cast<ContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    const auto awareness = reinterpret_cast<AwarenessFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (context && awareness)
        return awareness(context());
    return IsProcessDPIAware() ? 1 : 0;
}

std::uint64_t Fnv1a(const std::vector<BYTE>& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (BYTE b : bytes)
        hash = (hash ^ b) * 0x100000001b3u;
    return hash;
}

class HighDpi : public ProcessingWindowFixture {};

TEST_F(HighDpi, PictureOneToOneAndTheDefaultBumpAsOnA96DpiScreen)
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const std::string expected = Environment("QUILLVANE_DPI_EXPECTED");
    if (!expected.empty()) {
        ASSERT_EQ(dpi, std::stoi(expected)) << "the screen resolution the test was run for";
    }
    // The manifest asks for system awareness; Wine 8 makes every program
    // per-monitor aware.  Either way the screen's pixels are the program's.
    EXPECT_GE(DpiAwareness(), 1) << "DPI-aware";
    EXPECT_TRUE(IsProcessDPIAware());

    // The picture takes the window's size in real pixels and is drawn 1:1.
    ASSERT_TRUE(OpenPicture(640, 480));
    EXPECT_EQ(ViewState.viewWidth, 640);
    EXPECT_EQ(ViewState.viewHeight, 480);
    const RECT client = Client();
    EXPECT_EQ(ViewState.hScrollMax, 640 - client.right);
    EXPECT_EQ(ViewState.vScrollMax, 480 - client.bottom);
    HDC dc = GetDC(window_);
    for (const POINT p : {POINT{0, 0}, POINT{321, 123}, POINT{client.right - 1, client.bottom - 1}}) {
        const Rgb c = PictureColour(p.x, p.y);
        EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(c.red, c.green, c.blue)) << p.x << "," << p.y;
    }
    ReleaseDC(window_, dc);

    // The default light, OK without touching anything.
    std::map<std::string, std::string> seen;
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
            const RECT pane = dlgtest::DialogRect(dialog, 25, 20, 115, 120);
            seen["pane"] = std::to_string(pane.right - pane.left) + "x" + std::to_string(pane.bottom - pane.top);
            seen["light"] = dlgtest::Text(dialog, IDC_BUMP_LIGHTX_TEXT) + dlgtest::Text(dialog, IDC_BUMP_LIGHTY_TEXT) +
                            dlgtest::Text(dialog, IDC_BUMP_LIGHTZ_TEXT);
            PressButton(dialog, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_BUMP, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    ASSERT_EQ(seen.count("light"), 1u) << "the bump dialog did not open";
    EXPECT_EQ(Remembered.lightMarker.x, 75);
    EXPECT_EQ(Remembered.lightMarker.y, 65);
    EXPECT_EQ(MainDocument.isModified, 1);
    // A click on the circle's centre is the light from the front, kept as
    // the centre of the 96-dpi circle.
    {
        DialogDriver driver;
        driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
            const RECT pane = dlgtest::DialogRect(dialog, 25, 20, 115, 120);
            dlgtest::ClickAt(dialog, {(pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2});
            PressButton(dialog, IDCANCEL);
        });
        SendMessageA(window_, WM_COMMAND, IDM_BUMP, 0);
        EXPECT_EQ(driver.Problems(), "");
    }
    EXPECT_EQ(Remembered.bump.lightX, 0.0);
    EXPECT_EQ(Remembered.bump.lightY, 0.0);
    EXPECT_EQ(Remembered.bump.lightZ, 1.0);
    seen["centre"] = std::to_string(Remembered.lightMarker.x) + "," + std::to_string(Remembered.lightMarker.y);
    seen["client"] = std::to_string(client.right) + "x" + std::to_string(client.bottom);
    seen["bump"] = std::to_string(Fnv1a(DocBytes(MainDocument)));

    if (const std::string path = Environment("QUILLVANE_DPI_RECORD"); !path.empty()) {
        std::string text;
        for (const auto& [key, value] : seen)
            text += key + " " + value + "\n";
        ASSERT_TRUE(WriteWholeFile(path, text)) << path;
    }
    if (const std::string path = Environment("QUILLVANE_DPI_COMPARE"); !path.empty()) {
        std::string text;
        ASSERT_TRUE(ReadWholeFile(path, text)) << path;
        std::map<std::string, std::string> at96;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            if (const std::size_t space = line.find(' '); space != std::string::npos)
                at96[line.substr(0, space)] = line.substr(space + 1);
        // The dialog really grew, and nothing that comes out of it changed.
        EXPECT_NE(seen["pane"], at96["pane"]) << "the light circle has its 96-dpi size";
        EXPECT_EQ(seen["client"], at96["client"]) << "client area";
        EXPECT_EQ(seen["light"], at96["light"]) << "default light";
        EXPECT_EQ(seen["centre"], at96["centre"]) << "the circle's centre";
        EXPECT_EQ(seen["bump"], at96["bump"]) << "the default bump's bytes";
    }
}

}  // namespace
