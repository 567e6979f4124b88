#include "app/splash.h"

#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "resources/resource.h"

namespace {

constexpr int kSplashWidth = 283;
constexpr int kSplashHeight = 335;
HINSTANCE SplashInstance = nullptr;

void OnSplashPaint(HWND window)
{
    PaintDC paint(window);
    GdiObject<HBITMAP> bitmap(LoadBitmapA(SplashInstance, RES_BITMAP_SPLASH));
    HDC memory = CreateCompatibleDC(paint.get());
    if (memory && bitmap.get()) {
        SelectObjectGuard selected(memory, bitmap.get());
        BitBlt(paint.get(), 0, 0, kSplashWidth, kSplashHeight, memory, 0, 0, SRCCOPY);
    }
    if (memory)
        DeleteDC(memory);
}

}  // namespace

LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_PAINT:
        OnSplashPaint(window);
        return 0;
    case WM_LBUTTONDOWN:
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunSplash(HINSTANCE instance, int showCommand)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SplashWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = "";
    wc.lpszClassName = "Open";
    if (!RegisterClassExA(&wc))
        return 0;
    HWND window = CreateWindowExA(0, "Open", "Quillvane Openning", WS_POPUP | WS_BORDER, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kSplashWidth, kSplashHeight, nullptr, nullptr, instance, nullptr);
    SplashInstance = instance;
    if (!window)
        return 0;
    CentreWindow(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
