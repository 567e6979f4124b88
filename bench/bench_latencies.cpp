// Times what a user of the Windows program waits for on a large photograph:
//
//     quillvane_latency_bench --photo FILE.jpg [--reps N] [--out DIR]
//
// The real main window, its real commands and dialogs, driven as a user's
// clicks drive them:
//   - open: the photograph dropped on the window (the open dialog's read,
//     without the dialog), from the drop to the end of the first paint of
//     the new picture;
//   - save as JPEG: the save dialog given a new name in DIR and the JPEG
//     type, then from the click on the JPEG settings' OK to the repainted
//     window (the file written);
//   - each processing command: its dialog opened from the menu, the
//     settings chosen, then from the click on OK to the repainted window
//     (the engine, the region's return, the display copy, the paint);
//   - undo and redo in turn, from the menu item to the repainted window.
// Each case runs --reps times (default 5) and prints every run (wall time
// and the program's processor time), the best and the median, and its
// target.  After the first open, and after the opens and saves, it prints
// the process's peak working set and peak committed memory.  Exit status 1
// when a run did not go as a user's would (a dialog that never came, a
// command that applied nothing, a file not written).

#include "app/file_settings.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "image/image_document.h"
#include "platform/utf16.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "resources/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kDefaultReps = 5;
constexpr int kMaxReps = 50;
constexpr UINT kTickMs = 50;
constexpr int kDialogWaitTicks = 400;  // 20 s for a dialog to come up
constexpr int kFileTypeCombo = 1136;   // the common file dialogs' type list
constexpr int kFileNameEdit = 1152;
constexpr int kFileNameCombo = 1148;   // Wine's name box (a ComboBoxEx)

enum class Kind { Open, Save, Command, UndoRedo };

struct Case {
    const char* name;
    Kind kind;
    UINT command;          // the menu item (Save, Command)
    int dialogControl;     // a control only the dialog to click OK in has
    void (*choose)();      // the settings a user picks in the dialog, or null
    double targetMs;
};

void ChooseSharpen()
{
    Remembered.filter.kind = FilterKind::Sharpen;
    Remembered.filter.sharpenStrength = 5;
}
void ChooseSoftest()
{
    Remembered.filter.kind = FilterKind::Soft;
    Remembered.filter.softStrength = kFilterStrength.max;
}
void ChooseNegative()
{
    Remembered.effect.kind = EffectKind::Negative;
}
void ChoosePosterize()
{
    Remembered.effect.kind = EffectKind::Posterize;
    Remembered.effect.bandWidth = 64;
}
void ChooseYsh()
{
    // +10 % luminance, +30 % saturation, +30 degrees, as the bars leave it.
    Remembered.ysh.luminance = kYshLuminance.def + 10;
    Remembered.ysh.saturation = kYshSaturation.def + 30;
    Remembered.ysh.hue = kYshHue.def + 30;
    Remembered.ysh.mode = ColourMode::Ysh;
}

constexpr Case kCases[] = {
    {"open: drop to the first paint", Kind::Open, 0, 0, nullptr, 400},
    {"save as JPEG: OK to the repainted window", Kind::Save, IDM_SAVE, IDC_JPEG_QUALITY, nullptr, 500},
    {"filter sharpen 5: OK to repaint", Kind::Command, IDM_FILTER, IDC_FILTER_SHARPEN, ChooseSharpen, 300},
    {"filter soft 10: OK to repaint", Kind::Command, IDM_FILTER, IDC_FILTER_SHARPEN, ChooseSoftest, 300},
    {"effect negative: OK to repaint", Kind::Command, IDM_EFFECT, IDC_EFFECT_NEGATIVE, ChooseNegative, 300},
    {"effect posterize 64: OK to repaint", Kind::Command, IDM_EFFECT, IDC_EFFECT_NEGATIVE, ChoosePosterize, 300},
    {"YSH +10% +30% +30deg: OK to repaint", Kind::Command, IDM_YSH, IDC_YSH_LUMINANCE, ChooseYsh, 300},
    // Undo and redo take turns, so that each run has a step to take back.
    {"undo / redo in turn: menu item to repaint", Kind::UndoRedo, IDM_UNDO, 0, nullptr, 150},
};
constexpr int kCaseCount = sizeof kCases / sizeof kCases[0];

struct LatencyBenchRecord {
    HWND window;
    WNDPROC mainProc;
    std::wstring photo;
    std::string outDir;
    int reps;
    int caseIndex;
    int run;
    int step;  // in a run: 0 waiting for the first dialog, 1 chosen / named, 2 clicked
    int ticks;
    bool commandReturned;
    LARGE_INTEGER frequency;
    LARGE_INTEGER clicked;
    double cpuAtClick;  // the process's processor time then, ms
    double ms[kMaxReps];
    double commandMs[kMaxReps];
    double cpuMs[kMaxReps];  // processor time of the program from the click to the paint
    unsigned long long sumBefore;  // PictureSum before an undo or redo
    int met;
};

LatencyBenchRecord Bench = {};

const Case& Current()
{
    return kCases[Bench.caseIndex];
}

double MillisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(Bench.frequency.QuadPart);
}

// User and kernel time of every thread of the process, in ms.
double ProcessorMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

void StartClock()
{
    Bench.cpuAtClick = ProcessorMs();
    QueryPerformanceCounter(&Bench.clicked);
}

[[noreturn]] void Abandon(const char* why)
{
    std::fprintf(stderr, "quillvane_latency_bench: %s: %s (run %d)\n", Current().name, why, Bench.run + 1);
    std::fflush(stderr);
    ExitProcess(1);
}

struct DialogSearch {
    int control;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND candidate, LPARAM context)
{
    auto* search = reinterpret_cast<DialogSearch*>(context);
    char name[16] = {};
    GetClassNameA(candidate, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(candidate) && IsWindowEnabled(candidate) &&
        GetDlgItem(candidate, search->control)) {
        search->found = candidate;
        return FALSE;
    }
    return TRUE;
}

HWND DialogWith(int control)
{
    DialogSearch search{control, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string SavedName(int run)
{
    return Bench.outDir + "\\saved-" + std::to_string(Bench.caseIndex) + "-" + std::to_string(run + 1) + ".jpg";
}

// The save dialog: the JPEG type and a new name, then its OK, as typed.
void NameTheFile(HWND fileDialog)
{
    HWND types = GetDlgItem(fileDialog, kFileTypeCombo);
    SendMessageW(types, CB_SETCURSEL, 1, 0);
    SendMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(kFileTypeCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
    SendMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(kFileTypeCombo, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
    HWND edit = GetDlgItem(fileDialog, kFileNameEdit);
    if (!edit) {
        HWND combo = GetDlgItem(fileDialog, kFileNameCombo);
        edit = combo ? reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0)) : nullptr;
        if (!edit)
            edit = combo;
    }
    if (!edit)
        Abandon("the save dialog has no name box");
    SetWindowTextW(edit, WideFromUtf8(SavedName(Bench.run)).c_str());
    PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(fileDialog, IDOK)));
}

// Runs inside the modal loops: finds the dialog the run waits for, makes
// the choice, then clicks OK with the clock started.
void CALLBACK DialogTick(HWND, UINT, UINT_PTR timer, DWORD)
{
    const Case& c = Current();
    if (c.kind == Kind::Save && Bench.step == 0) {
        if (HWND fileDialog = DialogWith(kFileTypeCombo)) {
            NameTheFile(fileDialog);
            Bench.step = 1;
            Bench.ticks = 0;
        } else if (++Bench.ticks > kDialogWaitTicks) {
            Abandon("the save dialog did not open");
        }
        return;
    }
    HWND dialog = DialogWith(c.dialogControl);
    if (!dialog) {
        if (++Bench.ticks > kDialogWaitTicks)
            Abandon("the dialog did not open");
        return;
    }
    if (Bench.step == 0) {
        // The choice, then a tick for the dialog to settle.
        if (c.choose)
            c.choose();
        Bench.step = 1;
        return;
    }
    KillTimer(nullptr, timer);
    Bench.step = 2;
    StartClock();
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

// An HDROP as the shell makes one for a single file.
HGLOBAL MakeDrop(const std::wstring& name)
{
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t));
    if (!block)
        return nullptr;
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

// A sum of bytes spread over the whole picture: an undo or redo changes
// it.  (The photograph's first rows are black space, which some commands
// leave as they are.)
unsigned long long PictureSum()
{
    if (!MainDocument.dib)
        return 0;
    constexpr std::size_t kStride = 4093;
    const std::size_t bytes = WorkDibBytes(MainDocument.width, MainDocument.height) - kWorkDibHeaderBytes;
    const BYTE* p = WorkDibPixels(MainDocument.dib);
    unsigned long long sum = 0;
    for (std::size_t i = 0; i < bytes; i += kStride)
        sum = sum * 31 + p[i];
    return sum;
}

void StartRun()
{
    Bench.step = 0;
    Bench.ticks = 0;
    Bench.commandReturned = false;
    if (Current().kind == Kind::UndoRedo) {
        Bench.sumBefore = PictureSum();
        PostMessageA(Bench.window, WM_COMMAND, MAKEWPARAM(Bench.run % 2 == 0 ? IDM_UNDO : IDM_REDO, 0), 0);
        return;
    }
    if (Current().kind == Kind::Open) {
        HGLOBAL drop = MakeDrop(Bench.photo);
        if (!drop)
            Abandon("no memory for the drop");
        PostMessageA(Bench.window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        return;
    }
    SetTimer(nullptr, 0, kTickMs, DialogTick);
    PostMessageA(Bench.window, WM_COMMAND, MAKEWPARAM(Current().command, 0), 0);
}

double Median(double* values, int count)
{
    std::sort(values, values + count);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2.0;
}

void PrintPeakMemory(const char* after)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        std::printf("peak working set after %s: %.1f MB (peak committed %.1f MB)\n", after,
                    static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0,
                    static_cast<double>(counters.PeakPagefileUsage) / 1048576.0);
}

void FinishCase()
{
    const Case& c = Current();
    double sorted[2 * kMaxReps];
    std::copy(Bench.ms, Bench.ms + Bench.reps, sorted);
    const double median = Median(sorted, Bench.reps);
    std::copy(Bench.cpuMs, Bench.cpuMs + Bench.reps, sorted + Bench.reps);
    const double cpuBest = *std::min_element(sorted + Bench.reps, sorted + 2 * Bench.reps);
    const bool met = median <= c.targetMs;
    Bench.met += met ? 1 : 0;
    std::printf("%s: best %.1f ms, median %.1f ms (target %.0f ms: %s); least processor time %.1f ms\n", c.name,
                sorted[0], median, c.targetMs, met ? "met" : "missed", cpuBest);
    if (c.kind == Kind::Save)
        PrintPeakMemory("the opens and saves");
    std::fflush(stdout);
}

// A run ended with the paint: checks what the user would see, then the
// next run or case.
void EndRun()
{
    const Case& c = Current();
    if (c.kind == Kind::Save) {
        const std::wstring saved = WideFromUtf8(SavedName(Bench.run));
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!GetFileAttributesExW(saved.c_str(), GetFileExInfoStandard, &data) || data.nFileSizeLow == 0 ||
            MainDocument.isModified)
            Abandon("the picture was not saved");
        DeleteFileW(saved.c_str());
    } else if (c.kind == Kind::Command && !MainDocument.isModified) {
        Abandon("OK applied nothing");
    } else if (c.kind == Kind::UndoRedo && PictureSum() == Bench.sumBefore) {
        Abandon(Bench.run % 2 == 0 ? "undo changed nothing" : "redo changed nothing");
    } else if (c.kind == Kind::Open && (!MainDocument.isLoaded || MainDocument.width < 1)) {
        Abandon("the photograph did not open");
    }
    std::printf("  run %d: %.1f ms (handler returned after %.1f ms; processor time %.1f ms)\n", Bench.run + 1,
                Bench.ms[Bench.run], Bench.commandMs[Bench.run], Bench.cpuMs[Bench.run]);
    if (c.kind == Kind::Open && Bench.run == 0)
        PrintPeakMemory("the first open (the picture and its display copy)");
    std::fflush(stdout);
    if (++Bench.run < Bench.reps) {
        StartRun();
        return;
    }
    FinishCase();
    Bench.run = 0;
    if (++Bench.caseIndex == kCaseCount) {
        PostQuitMessage(0);
        return;
    }
    std::printf("%s\n", Current().name);
    std::fflush(stdout);
    StartRun();
}

// The main window's procedure with the clock around it.
LRESULT CALLBACK TimedMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const Case& c = Current();
    if (message == WM_DROPFILES && c.kind == Kind::Open) {
        StartClock();
        const LRESULT result = CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
        Bench.commandMs[Bench.run] = MillisecondsSince(Bench.clicked);
        Bench.commandReturned = true;
        return result;
    }
    if (message == WM_COMMAND && c.kind == Kind::UndoRedo &&
        (LOWORD(wParam) == IDM_UNDO || LOWORD(wParam) == IDM_REDO)) {
        StartClock();
        const LRESULT result = CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
        Bench.commandMs[Bench.run] = MillisecondsSince(Bench.clicked);
        Bench.commandReturned = true;
        return result;
    }
    if (message == WM_COMMAND && c.kind != Kind::Open && LOWORD(wParam) == c.command) {
        const LRESULT result = CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
        if (Bench.step != 2)
            Abandon("the command ended before OK");
        Bench.commandMs[Bench.run] = MillisecondsSince(Bench.clicked);
        Bench.commandReturned = true;
        return result;
    }
    if (message == WM_PAINT && Bench.commandReturned) {
        const LRESULT result = CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
        GdiFlush();
        Bench.ms[Bench.run] = MillisecondsSince(Bench.clicked);
        Bench.cpuMs[Bench.run] = ProcessorMs() - Bench.cpuAtClick;
        Bench.commandReturned = false;
        EndRun();
        return result;
    }
    return CallWindowProcA(Bench.mainProc, window, message, wParam, lParam);
}

int ParseOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            Bench.reps = std::atoi(argv[++i]);
            if (Bench.reps < 1 || Bench.reps > kMaxReps) {
                std::fprintf(stderr, "quillvane_latency_bench: --reps must be 1..%d\n", kMaxReps);
                return -1;
            }
        } else if (std::strcmp(argv[i], "--photo") == 0 && i + 1 < argc) {
            Bench.photo = WideFromUtf8(argv[++i]);
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            Bench.outDir = argv[++i];
        } else {
            std::fprintf(stderr, "usage: quillvane_latency_bench --photo FILE.jpg [--reps N] [--out DIR]\n");
            return -1;
        }
    }
    if (Bench.photo.empty() || GetFileAttributesW(Bench.photo.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "quillvane_latency_bench: --photo must name a JPEG photograph\n");
        return -1;
    }
    if (Bench.outDir.empty()) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        Bench.outDir = temp;
        if (!Bench.outDir.empty() && Bench.outDir.back() == '\\')
            Bench.outDir.pop_back();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Bench.reps = kDefaultReps;
    if (ParseOptions(argc, argv) != 0)
        return 2;
    QueryPerformanceFrequency(&Bench.frequency);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    ResetDocument(&MainDocument);
    ResetDocument(&WatermarkDocument);
    if (RegisterMainWindowClass(instance) != 0 || !(Bench.window = CreateMainWindow(instance, SW_SHOWNORMAL))) {
        std::fprintf(stderr, "quillvane_latency_bench: cannot create the main window\n");
        return 1;
    }
    UpdateWindow(Bench.window);
    Bench.mainProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Bench.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedMainProc)));
    std::printf("quillvane_latency_bench: %s, %d runs of each\n%s\n", Utf8FromWide(Bench.photo).c_str(), Bench.reps,
                Current().name);
    std::fflush(stdout);
    StartRun();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    std::printf("%d of %d targets met (medians)\n", Bench.met, kCaseCount);
    PrintPeakMemory("every case");
    std::fflush(stdout);

    SetWindowLongPtrA(Bench.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Bench.mainProc));
    MainDocument.isModified = 0;
    DestroyWindow(Bench.window);
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    return 0;
}
