#include "app/batch_window.h"

#include "app/batch_arguments.h"
#include "app/dialog_helpers.h"
#include "app/messages.h"
#include "app/settings.h"
#include "files/picture_io.h"
#include "platform/child_process.h"
#include "platform/command_line.h"
#include "platform/utf16.h"
#include "resources/resource.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// What the workers post to the window: wParam is the photo's index.
constexpr UINT kPhotoStarted = WM_APP + 40;
constexpr UINT kPhotoEnded = WM_APP + 41;   // lParam: 1 done, 0 failed
constexpr UINT kBatchEnded = WM_APP + 42;

// A worker keeps at most this much of what the tool writes for one photo.
constexpr std::size_t kMaxToolMessageBytes = 16 * 1024;

// ---- Controls ---------------------------------------------------------------

std::string ControlText(HWND dialog, int id)
{
    const HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

// A whole number typed into id within range; false (the box focused) when
// it is missing or outside.
bool ReadNumber(HWND dialog, int id, ParamRange range, int* value)
{
    const std::string text = ControlText(dialog, id);
    long v = -1;
    if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos)
        v = std::stol(text);
    if (v < range.min || v > range.max) {
        SetFocus(GetDlgItem(dialog, id));
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

void ShowNumberIn(HWND dialog, int id, int value)
{
    SetControlText(dialog, id, std::to_string(value));
}

// The index of the checked radio button among first..first+count-1 (0 when
// none is).
int CheckedRadio(HWND dialog, int first, int count)
{
    for (int i = 0; i < count; ++i)
        if (IsDlgButtonChecked(dialog, first + i) == BST_CHECKED)
            return i;
    return 0;
}

void Check(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

std::string Formatted(const char* format, ...)
{
    char text[512];
    va_list values;
    va_start(values, format);
    std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    return text;
}

std::vector<std::string> ListedInputs(HWND dialog)
{
    const HWND list = GetDlgItem(dialog, IDC_BATCH_INPUTS);
    std::vector<std::string> inputs;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        inputs.push_back(Utf8FromWide(item));
    }
    return inputs;
}

void AddInput(HWND dialog, const std::wstring& path)
{
    const HWND list = GetDlgItem(dialog, IDC_BATCH_INPUTS);
    if (SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(path.c_str())) ==
        LB_ERR)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

// ---- The settings in the controls ---------------------------------------------

void ShowSettings(HWND dialog, const BatchSettings& s)
{
    for (const std::string& input : s.inputs)
        AddInput(dialog, WideFromUtf8(input));
    Check(dialog, IDC_BATCH_RECURSIVE, s.recursive);
    SetControlText(dialog, IDC_BATCH_OUTPUT, s.outputFolder);
    SetControlText(dialog, IDC_BATCH_SUFFIX, s.suffix);
    CheckRadioButton(dialog, IDC_BATCH_TYPE_SAME, IDC_BATCH_TYPE_WEBP, IDC_BATCH_TYPE_SAME + static_cast<int>(s.type));
    ShowNumberIn(dialog, IDC_BATCH_QUALITY, s.quality);
    Check(dialog, IDC_BATCH_LOSSLESS, s.lossless);
    CheckRadioButton(dialog, IDC_BATCH_META_ALL, IDC_BATCH_META_NONE, IDC_BATCH_META_ALL + static_cast<int>(s.metadata));
    CheckRadioButton(dialog, IDC_BATCH_RESIZE_NONE, IDC_BATCH_RESIZE_FIT,
                     IDC_BATCH_RESIZE_NONE + static_cast<int>(s.resize));
    ShowNumberIn(dialog, IDC_BATCH_LONG_EDGE, s.longEdge);
    ShowNumberIn(dialog, IDC_BATCH_PERCENT, s.percent);
    ShowNumberIn(dialog, IDC_BATCH_FIT_WIDTH, s.fitWidth);
    ShowNumberIn(dialog, IDC_BATCH_FIT_HEIGHT, s.fitHeight);
    CheckRadioButton(dialog, IDC_BATCH_MARK_FILE, IDC_BATCH_MARK_TEXT, IDC_BATCH_MARK_FILE + static_cast<int>(s.mark));
    SetControlText(dialog, IDC_BATCH_MARK_PATH, s.watermarkFile);
    SetControlText(dialog, IDC_BATCH_TEXT, s.text);
    SetControlText(dialog, IDC_BATCH_FONT, s.font);
    ShowNumberIn(dialog, IDC_BATCH_TEXT_HEIGHT, s.textHeight);
    CheckRadioButton(dialog, IDC_BATCH_PLACE_OWN, IDC_BATCH_PLACE_SIZED,
                     IDC_BATCH_PLACE_OWN + static_cast<int>(s.placement));
    ShowNumberIn(dialog, IDC_BATCH_MARK_SIZE, s.markSize);
    ShowNumberIn(dialog, IDC_BATCH_MARGIN_X, s.marginX);
    ShowNumberIn(dialog, IDC_BATCH_MARGIN_Y, s.marginY);
    CheckRadioButton(dialog, IDC_BATCH_ANCHOR_NW, IDC_BATCH_ANCHOR_SE, IDC_BATCH_ANCHOR_NW + static_cast<int>(s.anchor));
}

// The choices without their numbers, which ReadNumbers checks.
void ReadChoices(HWND dialog, BatchSettings* s)
{
    s->inputs = ListedInputs(dialog);
    s->recursive = IsDlgButtonChecked(dialog, IDC_BATCH_RECURSIVE) == BST_CHECKED;
    s->outputFolder = ControlText(dialog, IDC_BATCH_OUTPUT);
    s->suffix = ControlText(dialog, IDC_BATCH_SUFFIX);
    s->type = static_cast<BatchType>(CheckedRadio(dialog, IDC_BATCH_TYPE_SAME, 5));
    s->lossless = IsDlgButtonChecked(dialog, IDC_BATCH_LOSSLESS) == BST_CHECKED;
    s->metadata = static_cast<BatchMetadata>(CheckedRadio(dialog, IDC_BATCH_META_ALL, 3));
    s->resize = static_cast<BatchResize>(CheckedRadio(dialog, IDC_BATCH_RESIZE_NONE, 4));
    s->mark = static_cast<BatchMark>(CheckedRadio(dialog, IDC_BATCH_MARK_FILE, 2));
    s->watermarkFile = ControlText(dialog, IDC_BATCH_MARK_PATH);
    s->text = ControlText(dialog, IDC_BATCH_TEXT);
    s->font = ControlText(dialog, IDC_BATCH_FONT);
    s->placement = static_cast<BatchPlacement>(CheckedRadio(dialog, IDC_BATCH_PLACE_OWN, 4));
    s->anchor = static_cast<BatchAnchor>(CheckedRadio(dialog, IDC_BATCH_ANCHOR_NW, 9));
}

// Every number the choices use; false (the box focused) at the first bad one.
bool ReadNumbers(HWND dialog, BatchSettings* s)
{
    const bool sized = s->placement == BatchPlacement::Sized;
    const bool text = s->mark == BatchMark::Text;
    const struct {
        bool used;
        int id;
        ParamRange range;
        int* value;
    } numbers[] = {
        {s->type != BatchType::Bmp && s->type != BatchType::Png, IDC_BATCH_QUALITY, kBatchQuality, &s->quality},
        {s->resize == BatchResize::LongEdge, IDC_BATCH_LONG_EDGE, kBatchLongEdge, &s->longEdge},
        {s->resize == BatchResize::Percent, IDC_BATCH_PERCENT, kBatchPercent, &s->percent},
        {s->resize == BatchResize::Fit, IDC_BATCH_FIT_WIDTH, kBatchFitWidth, &s->fitWidth},
        {s->resize == BatchResize::Fit, IDC_BATCH_FIT_HEIGHT, kBatchFitHeight, &s->fitHeight},
        {text, IDC_BATCH_TEXT_HEIGHT, kBatchTextHeight, &s->textHeight},
        {sized, IDC_BATCH_MARK_SIZE, kBatchMarkSize, &s->markSize},
        {sized, IDC_BATCH_MARGIN_X, kBatchMargin, &s->marginX},
        {sized, IDC_BATCH_MARGIN_Y, kBatchMargin, &s->marginY},
    };
    for (const auto& n : numbers)
        if (n.used && !ReadNumber(dialog, n.id, n.range, n.value))
            return false;
    return true;
}

// What the choices make sense of: only the settings that apply can be changed.
void EnableChoices(HWND dialog, bool running)
{
    BatchSettings s;
    ReadChoices(dialog, &s);
    const auto enable = [&](int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on && !running); };
    const bool text = s.mark == BatchMark::Text;
    const bool sized = s.placement == BatchPlacement::Sized;
    enable(IDC_BATCH_QUALITY, s.type != BatchType::Bmp && s.type != BatchType::Png);
    enable(IDC_BATCH_LOSSLESS, s.type == BatchType::Webp || s.type == BatchType::SameAsInput);
    enable(IDC_BATCH_LONG_EDGE, s.resize == BatchResize::LongEdge);
    enable(IDC_BATCH_PERCENT, s.resize == BatchResize::Percent);
    enable(IDC_BATCH_FIT_WIDTH, s.resize == BatchResize::Fit);
    enable(IDC_BATCH_FIT_HEIGHT, s.resize == BatchResize::Fit);
    enable(IDC_BATCH_MARK_PATH, !text);
    enable(IDC_BATCH_BROWSE_MARK, !text);
    for (int id : {IDC_BATCH_TEXT, IDC_BATCH_FONT, IDC_BATCH_TEXT_HEIGHT})
        enable(id, text);
    for (int id : {IDC_BATCH_MARK_SIZE, IDC_BATCH_MARGIN_X, IDC_BATCH_MARGIN_Y})
        enable(id, sized);
    for (int id = IDC_BATCH_ANCHOR_NW; id <= IDC_BATCH_ANCHOR_SE; ++id)
        enable(id, sized);
    for (int id : {IDC_BATCH_INPUTS, IDC_BATCH_ADD_FILES, IDC_BATCH_ADD_FOLDER, IDC_BATCH_CLEAR, IDC_BATCH_RECURSIVE,
                   IDC_BATCH_OUTPUT, IDC_BATCH_BROWSE_OUTPUT, IDC_BATCH_SUFFIX, IDC_BATCH_START})
        enable(id, true);
    const std::pair<int, int> radioGroups[] = {{IDC_BATCH_TYPE_SAME, 5}, {IDC_BATCH_META_ALL, 3},
                                               {IDC_BATCH_RESIZE_NONE, 4}, {IDC_BATCH_MARK_FILE, 2},
                                               {IDC_BATCH_PLACE_OWN, 4}};
    for (const auto& [first, count] : radioGroups)
        for (int id = first; id < first + count; ++id)
            enable(id, true);
    EnableWindow(GetDlgItem(dialog, IDC_BATCH_STOP), running);
}

// ---- The photos ---------------------------------------------------------------

struct Photo {
    std::string input;
    std::string outputFolder;
    std::string problem;   // found before the run: the photo is not given to the tool
    bool ok = false;       // the tool made its result
    std::string messages;  // why not: the tool's standard error, or the problem
};

std::wstring WithSeparator(std::wstring path)
{
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path;
}

// A path made full and lower case, to compare names as Windows does.
std::wstring ComparablePath(const std::wstring& path)
{
    std::wstring full(32768, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    full.resize(n > 0 && n < full.size() ? n : 0);
    if (full.empty())
        full = path;
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/'))
        full.pop_back();
    CharLowerBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

// The pictures in folder, and with recursive those below it, in name order
// as the tool takes them; each result goes to the same place below
// outputFolder.  Folders that are links are not entered (no loops), nor is
// the output folder.
void FindPictures(const std::wstring& folder, const std::string& outputFolder, bool recursive,
                  const std::wstring& outputFull, std::vector<Photo>* photos)
{
    WIN32_FIND_DATAW entry = {};
    const HANDLE find = FindFirstFileW((WithSeparator(folder) + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::pair<std::string, DWORD>> names;
    do {
        const std::string name = Utf8FromWide(entry.cFileName);
        if (name != "." && name != "..")
            names.emplace_back(name, entry.dwFileAttributes);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    for (const auto& [name, attributes] : names) {
        const std::wstring path = WithSeparator(folder) + WideFromUtf8(name);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (HasPictureExtension(name.c_str()))
                photos->push_back({Utf8FromWide(path), outputFolder, {}, false, {}});
        } else if (recursive && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && ComparablePath(path) != outputFull) {
            FindPictures(path, Utf8FromWide(WithSeparator(WideFromUtf8(outputFolder))) + name, true, outputFull,
                         photos);
        }
    }
}

std::vector<Photo> PlanPhotos(const BatchSettings& s)
{
    const std::wstring outputFull = ComparablePath(WideFromUtf8(s.outputFolder));
    std::vector<Photo> photos;
    for (const std::string& input : s.inputs) {
        const std::wstring wide = WideFromUtf8(input);
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            FindPictures(wide, s.outputFolder, s.recursive, outputFull, &photos);
        else
            photos.push_back({input, s.outputFolder, {}, false, {}});
    }
    return photos;
}

// Makes folder and the folders above it that are missing.
bool MakeFolders(const std::wstring& folder)
{
    for (std::size_t i = 3; i <= folder.size(); ++i)
        if (i == folder.size() || folder[i] == L'\\' || folder[i] == L'/')
            CreateDirectoryW(folder.substr(0, i).c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static_assert(static_cast<int>(BatchType::Bmp) == kTypeBmp && static_cast<int>(BatchType::Jpeg) == kTypeJpeg &&
              static_cast<int>(BatchType::Png) == kTypePng && static_cast<int>(BatchType::Webp) == kTypeWebp);

// The name the tool gives a photo's result: stem + suffix + the extension
// of its type, which for "as input" is the type the input's first bytes
// show (as the tool reads them).
std::wstring ResultName(const Photo& photo, const BatchSettings& s)
{
    std::wstring stem = WideFromUtf8(photo.input);
    stem.erase(0, stem.find_last_of(L"\\/:") + 1);
    if (const std::size_t dot = stem.find_last_of(L'.'); dot != std::wstring::npos && dot > 0)
        stem.resize(dot);
    const int type = s.type == BatchType::SameAsInput ? SniffPictureType(photo.input.c_str()) : static_cast<int>(s.type);
    return WithSeparator(WideFromUtf8(photo.outputFolder)) + stem + WideFromUtf8(s.suffix) +
           WideFromUtf8(TypeExtension(type));
}

// No result may replace an input, nor the result of an earlier photo (the
// tool's rules, which each of its runs can check only against its own
// input): such a photo is not processed.  The result folders are made.
void CheckPhotos(const BatchSettings& s, std::vector<Photo>* photos)
{
    std::set<std::wstring> inputs, results;
    for (const Photo& photo : *photos)
        inputs.insert(ComparablePath(WideFromUtf8(photo.input)));
    for (Photo& photo : *photos) {
        const std::wstring name = ResultName(photo, s);
        const std::string shown = Utf8FromWide(name);
        if (inputs.count(ComparablePath(name)))
            photo.problem = Formatted(ProgramText(Text::BatchWouldReplace), photo.input.c_str(), shown.c_str());
        else if (!results.insert(ComparablePath(name)).second)
            photo.problem = Formatted(ProgramText(Text::BatchResultTaken), photo.input.c_str(), shown.c_str());
        if (photo.problem.empty() && !MakeFolders(WideFromUtf8(photo.outputFolder)))
            photo.problem = photo.input + ": " + ProgramText(Text::BatchOutputFailed);
    }
}

// ---- The run ------------------------------------------------------------------

struct BatchRun {
    HWND dialog = nullptr;
    std::wstring tool;
    BatchSettings settings;
    BumpParams bump;
    std::vector<Photo> photos;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::atomic<int> workersLeft{0};
    std::mutex lock;       // guards the photos' results
    std::mutex startLock;  // one process started at a time: none inherits another's pipe
    std::vector<std::thread> workers;
    ULONGLONG startTick = 0;
    int ended = 0;
    int failed = 0;
    bool closeWhenEnded = false;
};

// The run of the open window, while there is one.
std::unique_ptr<BatchRun> Run;

std::string TrimmedLines(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

void RunPhoto(BatchRun* run, Photo* photo)
{
    std::string messages = photo->problem;
    bool ok = false;
    if (messages.empty()) {
        std::vector<std::wstring> words = {run->tool};
        for (const std::string& word : BatchToolArguments(run->settings, run->bump, photo->input, photo->outputFolder))
            words.push_back(WideFromUtf8(word));
        ChildProcess child;
        DWORD error = 0;
        {
            const std::lock_guard<std::mutex> guard(run->startLock);
            error = StartChildProcess(run->tool, CommandLineOf(words), &child);
        }
        DWORD status = 1;
        if (error != 0)
            messages = photo->input + ": " + Formatted(ProgramText(Text::BatchStartFailed), error);
        else
            ok = FinishChildProcess(&child, kMaxToolMessageBytes, &messages, &status) && status == 0;
        if (!ok && messages.empty())
            messages = Formatted("quillvane-cli: %s: exit status %lu", photo->input.c_str(), status);
    }
    const std::lock_guard<std::mutex> guard(run->lock);
    photo->ok = ok;
    photo->messages = TrimmedLines(messages);
}

// Takes the next photo until none is left or Stop was pressed.
void Worker(BatchRun* run)
{
    for (;;) {
        if (run->stop)
            break;
        const std::size_t index = run->next++;
        if (index >= run->photos.size())
            break;
        PostMessageW(run->dialog, kPhotoStarted, index, 0);
        RunPhoto(run, &run->photos[index]);
        PostMessageW(run->dialog, kPhotoEnded, index, 0);
    }
    if (--run->workersLeft == 0)
        PostMessageW(run->dialog, kBatchEnded, 0, 0);
}

void StartWorkers(BatchRun* run)
{
    const int workers = static_cast<int>(
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), run->photos.size()));
    run->workersLeft = workers;
    run->startTick = GetTickCount64();
    for (int k = 0; k < workers; ++k) {
        try {
            run->workers.emplace_back(Worker, run);
        } catch (...) {
            if (--run->workersLeft == 0)
                PostMessageW(run->dialog, kBatchEnded, 0, 0);
        }
    }
}

std::string Duration(ULONGLONG seconds)
{
    if (seconds >= 3600)
        return Formatted("%llu:%02llu:%02llu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return Formatted("%llu:%02llu", seconds / 60, seconds % 60);
}

void ShowProgress(HWND dialog, const BatchRun& run)
{
    const std::size_t total = run.photos.size();
    SendDlgItemMessageW(dialog, IDC_BATCH_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(run.ended), 0);
    SetControlText(dialog, IDC_BATCH_COUNT, Formatted("%d / %zu", run.ended, total));
    if (run.ended == 0)
        return;
    // Time left = elapsed / done x remaining.
    const ULONGLONG elapsed = GetTickCount64() - run.startTick;
    const ULONGLONG left = elapsed / static_cast<ULONGLONG>(run.ended) * (total - static_cast<std::size_t>(run.ended));
    SetControlText(dialog, IDC_BATCH_TIME_LEFT, Formatted(ProgramText(Text::BatchTimeLeft), Duration(left / 1000).c_str()));
}

// The summary: counts, whether it was stopped, each failure with its reason.
std::string Summary(const BatchRun& run)
{
    std::string text = Formatted(ProgramText(Text::BatchSummary), run.ended - run.failed, run.failed);
    if (run.stop && static_cast<std::size_t>(run.ended) < run.photos.size())
        text += std::string("\r\n") + ProgramText(Text::BatchCancelled);
    for (const Photo& photo : run.photos) {
        if (photo.ok || photo.messages.empty())
            continue;
        text += "\r\n";
        for (char c : photo.messages)
            text += c == '\n' ? std::string("\r\n") : c == '\r' ? std::string() : std::string(1, c);
    }
    return text;
}

// ---- The window's commands ------------------------------------------------------

std::wstring PickFolder(HWND dialog, Text title)
{
    const std::wstring caption = WideFromUtf8(ProgramText(title));
    BROWSEINFOW info = {};
    info.hwndOwner = dialog;
    info.lpszTitle = caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
    if (!item)
        return std::wstring();
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(item, path);
    ILFree(item);
    return ok ? path : std::wstring();
}

// The pictures picked in the open dialog: several, or one.
std::vector<std::wstring> PickPictures(HWND dialog, bool several)
{
    std::wstring filter = WideFromUtf8(ProgramText(Text::BatchPictureFilter));
    filter += std::wstring(L"\0*.bmp;*.jpg;*.jpeg;*.png;*.webp\0", 33);
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = dialog;
    open.lpstrFilter = filter.c_str();
    open.lpstrFile = buffer.data();
    open.nMaxFile = static_cast<DWORD>(buffer.size());
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER |
                 (several ? OFN_ALLOWMULTISELECT : 0);
    if (!GetOpenFileNameW(&open))
        return {};
    // One full name, or the folder and then each name, each ending in a null.
    std::vector<std::wstring> parts;
    for (const wchar_t* p = buffer.c_str(); *p; p += wcslen(p) + 1)
        parts.emplace_back(p);
    if (parts.size() <= 1)
        return parts;
    std::vector<std::wstring> names;
    for (std::size_t i = 1; i < parts.size(); ++i)
        names.push_back(WithSeparator(parts[0]) + parts[i]);
    return names;
}

void Refuse(HWND dialog, Text text)
{
    ShowMessageBox(dialog, ProgramText(text), Text::BatchCaption, MB_OK | MB_ICONEXCLAMATION);
}

// The window's settings checked for a run; false after saying what is wrong.
bool SettingsForRun(HWND dialog, BatchSettings* s)
{
    *s = Remembered.batch;
    ReadChoices(dialog, s);
    if (!ReadNumbers(dialog, s)) {
        Refuse(dialog, Text::BatchBadNumber);
        return false;
    }
    const bool noMark = s->mark == BatchMark::File ? s->watermarkFile.empty() : s->text.empty();
    const Text problem = s->inputs.empty()        ? Text::BatchNoInput
                         : s->outputFolder.empty() ? Text::BatchNoOutput
                         : noMark                  ? Text::BatchNoWatermark
                                                   : Text::BatchCaption;
    if (problem != Text::BatchCaption) {
        Refuse(dialog, problem);
        return false;
    }
    Remembered.batch = *s;
    return true;
}

void OnStart(HWND dialog)
{
    auto run = std::make_unique<BatchRun>();
    if (!SettingsForRun(dialog, &run->settings))
        return;
    run->tool = BatchToolPath();
    if (GetFileAttributesW(run->tool.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Refuse(dialog, Text::BatchNoTool);
        return;
    }
    if (!MakeFolders(WideFromUtf8(run->settings.outputFolder))) {
        Refuse(dialog, Text::BatchOutputFailed);
        return;
    }
    run->photos = PlanPhotos(run->settings);
    if (run->photos.empty()) {
        Refuse(dialog, Text::BatchNoPictures);
        return;
    }
    CheckPhotos(run->settings, &run->photos);
    run->dialog = dialog;
    run->bump = Remembered.bump;
    SendDlgItemMessageW(dialog, IDC_BATCH_PROGRESS, PBM_SETRANGE32, 0, static_cast<LPARAM>(run->photos.size()));
    for (int id : {IDC_BATCH_CURRENT, IDC_BATCH_TIME_LEFT, IDC_BATCH_SUMMARY})
        SetControlText(dialog, id, "");
    Run = std::move(run);
    ShowProgress(dialog, *Run);
    EnableChoices(dialog, true);
    SetFocus(GetDlgItem(dialog, IDC_BATCH_STOP));
    StartWorkers(Run.get());
}

void OnPhotoEnded(HWND dialog, std::size_t index)
{
    if (!Run || index >= Run->photos.size())
        return;
    ++Run->ended;
    {
        const std::lock_guard<std::mutex> guard(Run->lock);
        if (!Run->photos[index].ok)
            ++Run->failed;
    }
    ShowProgress(dialog, *Run);
}

void OnBatchEnded(HWND dialog)
{
    if (!Run)
        return;
    for (std::thread& worker : Run->workers)
        worker.join();
    SetControlText(dialog, IDC_BATCH_CURRENT, "");
    SetControlText(dialog, IDC_BATCH_TIME_LEFT, "");
    SetControlText(dialog, IDC_BATCH_SUMMARY, Summary(*Run));
    const bool close = Run->closeWhenEnded;
    Run.reset();
    EnableChoices(dialog, false);
    if (close)
        EndDialog(dialog, IDCANCEL);
}

// Close (and the window's close box, and Esc): while photos run, it stops
// the run and closes the window once they have ended.
void OnClose(HWND dialog)
{
    if (Run) {
        Run->stop = true;
        Run->closeWhenEnded = true;
        return;
    }
    BatchSettings s = Remembered.batch;
    ReadChoices(dialog, &s);
    ReadNumbers(dialog, &s);
    Remembered.batch = s;
    EndDialog(dialog, IDCANCEL);
}

void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_BATCH_ADD_FILES:
        for (const std::wstring& name : PickPictures(dialog, true))
            AddInput(dialog, name);
        break;
    case IDC_BATCH_ADD_FOLDER:
        if (const std::wstring folder = PickFolder(dialog, Text::BatchInputFolderTitle); !folder.empty())
            AddInput(dialog, folder);
        break;
    case IDC_BATCH_CLEAR: SendDlgItemMessageW(dialog, IDC_BATCH_INPUTS, LB_RESETCONTENT, 0, 0); break;
    case IDC_BATCH_BROWSE_OUTPUT:
        if (const std::wstring folder = PickFolder(dialog, Text::BatchOutputFolderTitle); !folder.empty())
            SetControlText(dialog, IDC_BATCH_OUTPUT, Utf8FromWide(folder));
        break;
    case IDC_BATCH_BROWSE_MARK:
        for (const std::wstring& name : PickPictures(dialog, false))
            SetControlText(dialog, IDC_BATCH_MARK_PATH, Utf8FromWide(name));
        break;
    case IDC_BATCH_START:
        if (!Run)
            OnStart(dialog);
        break;
    case IDC_BATCH_STOP:
        if (Run) {
            Run->stop = true;
            EnableWindow(GetDlgItem(dialog, IDC_BATCH_STOP), FALSE);
        }
        break;
    case IDCANCEL: OnClose(dialog); break;
    default:
        if (!Run)
            EnableChoices(dialog, false);
        break;
    }
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_INITDIALOG:
        ShowSettings(dialog, Remembered.batch);
        EnableChoices(dialog, false);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnCommand(dialog, LOWORD(wParam));
        return TRUE;
    case kPhotoStarted:
        if (Run && wParam < Run->photos.size())
            SetControlText(dialog, IDC_BATCH_CURRENT, Run->photos[wParam].input);
        return TRUE;
    case kPhotoEnded: OnPhotoEnded(dialog, wParam); return TRUE;
    case kBatchEnded: OnBatchEnded(dialog); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

std::wstring BatchToolPath()
{
    std::wstring path = ExecutablePath();
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"quillvane-cli.exe";
}

void RunBatchWindow(HWND owner)
{
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)),
                    WideFromUtf8(RES_DLG_BATCH).c_str(), owner, BatchDialogProc, 0);
}

INT_PTR CALLBACK BatchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    try {
        return HandleMessage(dialog, message, wParam);
    } catch (...) {
        // Out of memory for a list or a thread: the run that was being
        // started is not, and the window stays.
        if (message == WM_COMMAND && !Run)
            ReportError(dialog, Text::OutOfMemory);
        return TRUE;
    }
}
