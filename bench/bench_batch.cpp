// Times the batch window beside quillvane-cli.exe run by hand on the same
// photographs:
//
//     quillvane_batch_bench --photo FILE.jpg --work DIR [--count N] [--runs N]
//
// The photograph is copied N times (default 20) into DIR\in and a 1200 x
// 1200 relief is written as DIR\mark.bmp.  Each run then stamps every copy
// twice, in turn:
//   - the batch window, opened as the File menu opens it, its choices as
//     remembered (the folder, the mark tiled, the bump dialog's light, the
//     file's own type, metadata kept), from the click on Start to the
//     summary shown;
//   - the tool by hand, from its start to its exit, with the arguments the
//     window gives it for one photo and all N photos named at once (the
//     tool spreads them over the cores, one process per photo, as the
//     window does).
// The results of the two must be byte for byte the same.  Prints every
// run, the median of each side and their ratio against the target of
// 1.2.  Exit status 1 when a run failed or the results differ.

#include "app/batch_arguments.h"
#include "app/batch_window.h"
#include "app/settings.h"
#include "bench/bench_pictures.h"
#include "files/bmp_writer.h"
#include "platform/child_process.h"
#include "platform/command_line.h"
#include "platform/utf16.h"
#include "resources/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kTargetRatio = 1.2;
constexpr int kMaxRuns = 20;

struct BatchBenchRecord {
    std::string photo;
    std::string work;
    int count = 20;
    int runs = 3;
    LARGE_INTEGER frequency;
    LARGE_INTEGER started;
    bool clicked = false;
    double windowMs = 0;
    std::string summary;
};

BatchBenchRecord Bench;

double MillisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(Bench.frequency.QuadPart);
}

[[noreturn]] void Fail(const std::string& why)
{
    std::fprintf(stderr, "quillvane_batch_bench: %s\n", why.c_str());
    std::exit(1);
}

std::string Input(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "\\photo-%02d.jpg", i + 1);
    return Bench.work + "\\in" + name;
}

std::string ReadAll(const std::string& path)
{
    std::string bytes;
    if (FILE* f = _wfopen(WideFromUtf8(path).c_str(), L"rb")) {
        char buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// The copies of the photograph and the relief they are stamped with.
void Prepare()
{
    CreateDirectoryW(WideFromUtf8(Bench.work).c_str(), nullptr);
    CreateDirectoryW(WideFromUtf8(Bench.work + "\\in").c_str(), nullptr);
    for (int i = 0; i < Bench.count; ++i)
        if (!CopyFileW(WideFromUtf8(Bench.photo).c_str(), WideFromUtf8(Input(i)).c_str(), FALSE))
            Fail("cannot copy the photograph to " + Input(i));
    ImageDocument mark;
    ResetDocument(&mark);
    if (GenerateWatermark(&mark, 1200) != 0)
        Fail("no memory for the relief");
    const std::string markPath = Bench.work + "\\mark.bmp";
    std::snprintf(mark.path, sizeof mark.path, "%s", markPath.c_str());
    if (WriteBmpFile(&mark, BmpWriteSettings{}).failure != Failure::None)
        Fail("cannot write " + markPath);
    ReleaseDocument(&mark);

    Remembered.batch = BatchSettings{};
    Remembered.batch.inputs = {Bench.work + "\\in"};
    Remembered.batch.mark = BatchMark::File;
    Remembered.batch.watermarkFile = markPath;
    Remembered.batch.placement = BatchPlacement::Tiled;
    Remembered.bump = BumpParams{};
}

BOOL CALLBACK FindBatchWindow(HWND candidate, LPARAM found)
{
    if (GetDlgItem(candidate, IDC_BATCH_START) && IsWindowVisible(candidate)) {
        *reinterpret_cast<HWND*>(found) = candidate;
        return FALSE;
    }
    return TRUE;
}

// Runs inside the window's modal loop: clicks Start once the window is up,
// then waits for the summary and closes the window.
void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBatchWindow, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        return;
    if (!Bench.clicked) {
        Bench.clicked = true;
        QueryPerformanceCounter(&Bench.started);
        SendMessageW(GetDlgItem(dialog, IDC_BATCH_START), BM_CLICK, 0, 0);
        return;
    }
    wchar_t text[4096] = {};
    GetDlgItemTextW(dialog, IDC_BATCH_SUMMARY, text, 4096);
    if (text[0] == 0)
        return;
    Bench.windowMs = MillisecondsSince(Bench.started);
    Bench.summary = Utf8FromWide(text);
    KillTimer(nullptr, timer);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

double RunWindow(const std::string& out)
{
    Remembered.batch.outputFolder = out;
    Bench.clicked = false;
    Bench.summary.clear();
    SetTimer(nullptr, 0, 20, Tick);
    DialogBoxParamW(GetModuleHandleW(nullptr), WideFromUtf8(RES_DLG_BATCH).c_str(), nullptr, BatchDialogProc, 0);
    return Bench.windowMs;
}

double RunTool(const std::string& out)
{
    CreateDirectoryW(WideFromUtf8(out).c_str(), nullptr);
    std::vector<std::string> arguments = BatchToolArguments(Remembered.batch, Remembered.bump, Input(0), out);
    arguments.pop_back();
    for (int i = 0; i < Bench.count; ++i)
        arguments.push_back(Input(i));
    std::vector<std::wstring> words = {BatchToolPath()};
    for (const std::string& a : arguments)
        words.push_back(WideFromUtf8(a));
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    ChildProcess child;
    if (StartChildProcess(words[0], CommandLineOf(words), &child) != 0)
        Fail("cannot start the tool");
    std::string errors;
    DWORD status = 1;
    if (!FinishChildProcess(&child, 1 << 16, &errors, &status) || status != 0)
        Fail("the tool failed: " + errors);
    return MillisecondsSince(start);
}

// The two sides' results are the same bytes; then they go.
void CompareAndClear(const std::string& windowOut, const std::string& toolOut)
{
    for (int i = 0; i < Bench.count; ++i) {
        const std::string name = Input(i).substr(Input(i).rfind('\\'));
        const std::string a = ReadAll(windowOut + name), b = ReadAll(toolOut + name);
        if (a.empty() || a != b)
            Fail("the results of " + name.substr(1) + " differ; the window said: " + Bench.summary);
        DeleteFileW(WideFromUtf8(windowOut + name).c_str());
        DeleteFileW(WideFromUtf8(toolOut + name).c_str());
    }
    RemoveDirectoryW(WideFromUtf8(windowOut).c_str());
    RemoveDirectoryW(WideFromUtf8(toolOut).c_str());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

bool ParseOptions(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--photo") == 0)
            Bench.photo = argv[i + 1];
        else if (std::strcmp(argv[i], "--work") == 0)
            Bench.work = argv[i + 1];
        else if (std::strcmp(argv[i], "--count") == 0)
            Bench.count = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            Bench.runs = std::atoi(argv[i + 1]);
        else
            return false;
    }
    return argc % 2 == 1 && !Bench.photo.empty() && !Bench.work.empty() && Bench.count >= 1 && Bench.count <= 99 &&
           Bench.runs >= 1 && Bench.runs <= kMaxRuns;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: quillvane_batch_bench --photo FILE.jpg --work DIR [--count 1..99] [--runs 1..%d]\n",
                     kMaxRuns);
        return 2;
    }
    QueryPerformanceFrequency(&Bench.frequency);
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    Prepare();
    std::printf("quillvane_batch_bench: %d copies of %s, bump with a 1200x1200 relief tiled, %d runs\n", Bench.count,
                Bench.photo.c_str(), Bench.runs);
    std::vector<double> window, tool;
    for (int run = 1; run <= Bench.runs; ++run) {
        const std::string windowOut = Bench.work + "\\window-" + std::to_string(run);
        const std::string toolOut = Bench.work + "\\tool-" + std::to_string(run);
        window.push_back(RunWindow(windowOut));
        tool.push_back(RunTool(toolOut));
        CompareAndClear(windowOut, toolOut);
        std::printf("run %d: batch window %.0f ms, tool by hand %.0f ms (results identical)\n", run, window.back(),
                    tool.back());
        std::fflush(stdout);
    }
    const double ratio = Median(window) / Median(tool);
    std::printf("batch window: best %.0f ms, median %.0f ms; tool by hand: best %.0f ms, median %.0f ms\n",
                *std::min_element(window.begin(), window.end()), Median(window),
                *std::min_element(tool.begin(), tool.end()), Median(tool));
    std::printf("window / tool (medians): %.2f (target %.1f: %s)\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "missed");
    return 0;
}
