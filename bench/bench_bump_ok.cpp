// Times the bump dialog's OK in the Windows program, from the click to the
// repainted main window, on a large picture:
//
//     quillvane_bump_ok_bench [--reps N] [--size WxH]
//
// The real main window and the real bump dialog: the picture (generated,
// default 6000x4000) is shown as the open command leaves it, the bump
// command is started from its menu item, and in the dialog a 1200x1200
// watermark is set to repeat as tiles, as a user would choose it.  Then
// the clock starts and OK is clicked: the dialog ends, the engine runs,
// the region goes back, the display copy is refreshed and the window
// repaints; the clock stops when the main window's paint has returned.
// Each run is one bump on the picture the last one left.  The parts are
// then timed alone, on the same picture, for where the time goes.

#include "app/main_window.h"
#include "app/settings.h"
#include "bench/bench_pictures.h"
#include "image/blocks.h"
#include "image/command_sequence.h"
#include "image/image_document.h"
#include "processing/bump.h"
#include "resources/resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kDefaultReps = 5;
constexpr int kMaxReps = 100;
constexpr LONG kWatermarkSide = 1200;
constexpr UINT kTickMs = 50;
constexpr int kDialogWaitTicks = 200;  // 10 s for the dialog to come up

struct OkBenchRecord {
    HWND window;
    WNDPROC mainProc;
    ImageDocument mark;  // the chosen watermark, copied into the dialog's each run
    int reps;
    int run;
    int step;             // of the run in the dialog: 0 waiting, 1 chosen, 2 clicked
    int ticks;
    bool commandReturned;
    LARGE_INTEGER frequency;
    LARGE_INTEGER clicked;
    double ms[kMaxReps];
    double commandMs[kMaxReps];  // from the click to the command's return, before the paint
    double closedMs[kMaxReps];   // from the click to the dialog's destruction
    HWND dialog;                 // the dialog of the current run, once found
    HHOOK hook;
    int failed;           // 1 when a run did not go as a user's would
};

OkBenchRecord Bench = {};

double MillisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(Bench.frequency.QuadPart);
}

BOOL CALLBACK FindDialog(HWND candidate, LPARAM found)
{
    char name[16] = {};
    GetClassNameA(candidate, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(candidate) && GetDlgItem(candidate, IDC_BUMP_REPEAT)) {
        *reinterpret_cast<HWND*>(found) = candidate;
        return FALSE;
    }
    return TRUE;
}

// The watermark a user would open with the dialog's choose button: a
// document of its own, luminance computed.
int ChooseWatermark(HWND dialog)
{
    ReleaseDocument(&WatermarkDocument);
    WatermarkDocument = Bench.mark;
    const std::size_t bytes = WorkDibBytes(Bench.mark.width, Bench.mark.height);
    HGLOBAL block = AllocateBlock(bytes);
    if (!block)
        return -1;
    WatermarkDocument.hDib = block;
    WatermarkDocument.dib = static_cast<BYTE*>(GlobalLock(block));
    WatermarkDocument.bmi = reinterpret_cast<BITMAPINFO*>(WatermarkDocument.dib);
    std::memcpy(WatermarkDocument.dib, Bench.mark.dib, bytes);
    // Repeat as tiles: the check box and its handler, as a click does.
    CheckDlgButton(dialog, IDC_BUMP_DONTENLARGE, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_BUMP_KEEPASPECT, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_BUMP_REPEAT, BST_CHECKED);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BUMP_REPEAT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_BUMP_REPEAT)));
    return 0;
}

// Runs inside the dialog's modal loop: choose, let the dialog settle for a
// tick, then click OK.
void CALLBACK DialogTick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) {
        if (++Bench.ticks > kDialogWaitTicks) {
            KillTimer(nullptr, timer);
            std::fprintf(stderr, "quillvane_bump_ok_bench: the bump dialog did not open\n");
            Bench.failed = 1;
            PostQuitMessage(1);
        }
        return;
    }
    if (Bench.step == 0) {
        if (ChooseWatermark(dialog) != 0) {
            KillTimer(nullptr, timer);
            std::fprintf(stderr, "quillvane_bump_ok_bench: no memory for the watermark\n");
            Bench.failed = 1;
            EndDialog(dialog, IDCANCEL);
            return;
        }
        Bench.step = 1;
        return;
    }
    KillTimer(nullptr, timer);
    Bench.step = 2;
    Bench.dialog = dialog;
    QueryPerformanceCounter(&Bench.clicked);
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

// Notes when the clicked dialog is destroyed: the time up to there is the
// dialog's own end; after it come the engine, the commit and the refresh.
LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_DESTROYWND && Bench.step == 2 && reinterpret_cast<HWND>(wParam) == Bench.dialog)
        Bench.closedMs[Bench.run] = MillisecondsSince(Bench.clicked);
    return CallNextHookEx(Bench.hook, code, wParam, lParam);
}

void StartRun()
{
    Bench.step = 0;
    Bench.ticks = 0;
    Bench.commandReturned = false;
    SetTimer(nullptr, 0, kTickMs, DialogTick);
    PostMessageA(Bench.window, WM_COMMAND, MAKEWPARAM(IDM_BUMP, 0), 0);
}

// The main window's procedure with the clock around it.
LRESULT CALLBACK TimedMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDM_BUMP) {
        const LRESULT result = CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
        Bench.commandReturned = Bench.step == 2;
        Bench.commandMs[Bench.run] = MillisecondsSince(Bench.clicked);
        if (!Bench.commandReturned && !Bench.failed) {
            std::fprintf(stderr, "quillvane_bump_ok_bench: the bump command ended before OK\n");
            Bench.failed = 1;
            PostQuitMessage(1);
        }
        return result;
    }
    if (message == WM_PAINT && Bench.commandReturned) {
        const LRESULT result = CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
        GdiFlush();
        Bench.ms[Bench.run] = MillisecondsSince(Bench.clicked);
        Bench.commandReturned = false;
        if (!MainDocument.isModified) {
            std::fprintf(stderr, "quillvane_bump_ok_bench: OK did not apply the bump\n");
            Bench.failed = 1;
            PostQuitMessage(1);
            return result;
        }
        std::printf("run %d: %.1f ms from OK to the repainted window (dialog destroyed after %.1f ms, command "
                    "returned after %.1f ms)\n",
                    Bench.run + 1, Bench.ms[Bench.run], Bench.closedMs[Bench.run], Bench.commandMs[Bench.run]);
        std::fflush(stdout);
        if (++Bench.run < Bench.reps)
            StartRun();
        else
            PostQuitMessage(0);
        return result;
    }
    return CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
}

double Median(double* values, int count)
{
    std::sort(values, values + count);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2.0;
}

// The parts of OK alone, each the best of reps runs on the picture as it is.
void TimeParts(HWND window, int reps)
{
    struct Part {
        const char* name;
        double best;
    } parts[] = {{"engine (ApplyBump, Tile)", 1e30}, {"display copy refresh", 1e30}, {"repaint of the window", 1e30}};
    for (int i = 0; i < reps; ++i) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        if (ApplyBump(Remembered.bump, &WatermarkDocument, &MainDocument) != Failure::None)
            return;
        parts[0].best = std::min(parts[0].best, MillisecondsSince(start));
        QueryPerformanceCounter(&start);
        RefreshDisplayCopy(&DisplayCopy, &MainDocument);
        parts[1].best = std::min(parts[1].best, MillisecondsSince(start));
        QueryPerformanceCounter(&start);
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        GdiFlush();
        parts[2].best = std::min(parts[2].best, MillisecondsSince(start));
    }
    for (const Part& part : parts)
        std::printf("  %-28s %8.1f ms (best of %d)\n", part.name, part.best, reps);
}

int ParseOptions(int argc, char** argv, LONG* width, LONG* height)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            Bench.reps = std::atoi(argv[++i]);
            if (Bench.reps < 1 || Bench.reps > kMaxReps) {
                std::fprintf(stderr, "quillvane_bump_ok_bench: --reps must be 1..%d\n", kMaxReps);
                return -1;
            }
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            long w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(argv[++i], "%ldx%ld%c", &w, &h, &extra) != 2 || w < kWatermarkSide ||
                h < kWatermarkSide || !PictureSizeAllowed(w, h)) {
                std::fprintf(stderr, "quillvane_bump_ok_bench: --size must be WxH, at least %ldx%ld, not '%s'\n",
                             static_cast<long>(kWatermarkSide), static_cast<long>(kWatermarkSide), argv[i]);
                return -1;
            }
            *width = w;
            *height = h;
        } else {
            std::fprintf(stderr, "usage: quillvane_bump_ok_bench [--reps N] [--size WxH]\n");
            return -1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    LONG width = 6000, height = 4000;
    Bench.reps = kDefaultReps;
    if (ParseOptions(argc, argv, &width, &height) != 0)
        return 2;
    QueryPerformanceFrequency(&Bench.frequency);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    ResetDocument(&MainDocument);
    ResetDocument(&WatermarkDocument);
    if (RegisterMainWindowClass(instance) != 0 || !(Bench.window = CreateMainWindow(instance, SW_SHOWNORMAL))) {
        std::fprintf(stderr, "quillvane_bump_ok_bench: cannot create the main window\n");
        return 1;
    }
    // The picture as the open command leaves it, then shown.
    if (GeneratePhoto(&MainDocument, width, height) != 0 || GenerateWatermark(&Bench.mark, kWatermarkSide) != 0) {
        std::fprintf(stderr, "quillvane_bump_ok_bench: not enough memory for a %ldx%ld picture\n",
                     static_cast<long>(width), static_cast<long>(height));
        return 1;
    }
    ComputeLuminance(&MainDocument);
    ComputeLuminance(&Bench.mark);
    if (ShowNewPicture(Bench.window) != 0)
        return 1;
    UpdateWindow(Bench.window);

    Bench.mainProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Bench.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedMainProc)));
    std::printf("quillvane_bump_ok_bench: %ldx%ld picture, %ldx%ld watermark as tiles, %d runs\n",
                static_cast<long>(width), static_cast<long>(height), static_cast<long>(kWatermarkSide),
                static_cast<long>(kWatermarkSide), Bench.reps);
    std::fflush(stdout);
    Bench.hook = SetWindowsHookExA(WH_CBT, WatchDestroy, nullptr, GetCurrentThreadId());
    StartRun();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (Bench.failed || Bench.run < Bench.reps)
        return 1;

    double sorted[kMaxReps];
    std::copy(Bench.ms, Bench.ms + Bench.reps, sorted);
    const double median = Median(sorted, Bench.reps);
    std::printf("OK to repainted window: best %.1f ms, median %.1f ms\n", sorted[0], median);
    std::printf("the parts alone:\n");
    TimeParts(Bench.window, Bench.reps);
    std::fflush(stdout);

    if (Bench.hook)
        UnhookWindowsHookEx(Bench.hook);
    SetWindowLongPtrA(Bench.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Bench.mainProc));
    MainDocument.isModified = 0;
    DestroyWindow(Bench.window);
    ReleaseDocument(&Bench.mark);
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    return 0;
}
