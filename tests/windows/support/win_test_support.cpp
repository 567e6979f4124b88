#include "support/win_test_support.h"

#include <commctrl.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace wintest {

namespace {

// The driver of this thread, for the hook and timer callbacks.
thread_local DialogDriver* activeDriver = nullptr;

// How long after activation a dialog is handled: long enough for the common
// dialogs to fill their controls (they finish after WM_INITDIALOG).
constexpr UINT kSettleMs = 40;

std::string Convert(const std::string& in, UINT from, UINT to)
{
    if (in.empty()) return {};
    int wideLen = MultiByteToWideChar(from, 0, in.data(), (int)in.size(), nullptr, 0);
    std::wstring wide(wideLen, L'\0');
    MultiByteToWideChar(from, 0, in.data(), (int)in.size(), wide.data(), wideLen);
    int outLen = WideCharToMultiByte(to, 0, wide.data(), wideLen, nullptr, 0, nullptr, nullptr);
    std::string out(outLen, '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLen, out.data(), outLen, nullptr, nullptr);
    return out;
}

bool Contains(const std::vector<HWND>& list, HWND hwnd)
{
    return std::find(list.begin(), list.end(), hwnd) != list.end();
}

void Remove(std::vector<HWND>& list, HWND hwnd)
{
    list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
}

// Wide, so that names outside the code page go too.
void RemoveAllFilesW(const std::wstring& dir)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveAllFilesW(path);
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void RemoveAllFiles(const std::string& dirAnsi)
{
    std::wstring dir(dirAnsi.size(), L'\0');
    dir.resize(MultiByteToWideChar(CP_ACP, 0, dirAnsi.data(), (int)dirAnsi.size(), dir.data(), (int)dir.size()));
    RemoveAllFilesW(dir);
}

}  // namespace

// --- Text -------------------------------------------------------------------

std::string Utf8ToAnsi(const std::string& utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }
std::string AnsiToUtf8(const std::string& ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }

std::wstring Utf8ToWide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    int len = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring wide(len, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), len);
    return wide;
}

std::string WideToUtf8(const std::wstring& wide)
{
    if (wide.empty()) return {};
    int len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string out(len, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), out.data(), len, nullptr, nullptr);
    return out;
}

std::string WindowTextAnsi(HWND hwnd)
{
    int len = GetWindowTextLengthA(hwnd);
    std::string text(len + 1, '\0');
    len = GetWindowTextA(hwnd, text.data(), len + 1);
    text.resize(len > 0 ? len : 0);
    return text;
}

std::string WindowTextUtf8(HWND hwnd) { return AnsiToUtf8(WindowTextAnsi(hwnd)); }

std::string ClassName(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string ControlTextUtf8(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control ? WindowTextUtf8(control) : std::string();
}

// --- Message loop -----------------------------------------------------------

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(10, timeoutMs - elapsed), QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// --- Files ------------------------------------------------------------------

TempDir::TempDir()
{
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof base, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 1000; attempt++) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%squillvane-test-%lu-%ld", base, GetCurrentProcessId(),
                      InterlockedIncrement(&counter));
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            return;
        }
    }
}

TempDir::~TempDir()
{
    if (path_.empty()) return;
    RemoveAllFiles(path_);
    RemoveDirectoryA(path_.c_str());
}

std::string TempDir::File(const std::string& name) const { return path_ + "\\" + name; }

std::string UnixPath(const std::string& windowsPathAnsi)
{
    using Fn = char*(CDECL*)(const WCHAR*);
    auto fn = (Fn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (!fn) return {};
    int len = MultiByteToWideChar(CP_ACP, 0, windowsPathAnsi.c_str(), -1, nullptr, 0);
    std::wstring wide(len, L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPathAnsi.c_str(), -1, wide.data(), len);
    char* unixPath = fn(wide.c_str());
    if (!unixPath) return {};
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

bool ReadWholeFile(const std::string& pathAnsi, std::string& contents)
{
    contents.clear();
    FILE* f = std::fopen(pathAnsi.c_str(), "rb");
    if (!f) return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) contents.append(buffer, n);
    std::fclose(f);
    return true;
}

bool WriteWholeFile(const std::string& pathAnsi, const std::string& contents)
{
    FILE* f = std::fopen(pathAnsi.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(contents.data(), 1, contents.size(), f) == contents.size();
    return std::fclose(f) == 0 && ok;
}

bool FileExists(const std::string& pathAnsi)
{
    return GetFileAttributesA(pathAnsi.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- Dialog driving ---------------------------------------------------------

DialogDriver::DialogDriver()
{
    activeDriver = this;
    hook_ = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

DialogDriver::~DialogDriver()
{
    if (timer_) KillTimer(nullptr, timer_);
    if (hook_) UnhookWindowsHookEx(hook_);
    activeDriver = nullptr;
}

void DialogDriver::AnswerMessageBox(int buttonId) { answers_.push_back(buttonId); }

void DialogDriver::OnDialog(const std::string& titleUtf8, std::function<void(HWND)> action)
{
    actions_.push_back({titleUtf8, std::move(action)});
}

std::vector<DialogRecord> DialogDriver::MessageBoxes() const
{
    std::vector<DialogRecord> boxes;
    for (const DialogRecord& r : seen_)
        if (r.messageBox) boxes.push_back(r);
    return boxes;
}

std::string DialogDriver::Problems() const
{
    std::string problems;
    for (const std::string& u : unexpected_) problems += "unexpected dialog: " + u + "\n";
    if (!answers_.empty()) problems += std::to_string(answers_.size()) + " message box answer(s) not used\n";
    for (const PendingAction& a : actions_) problems += "no dialog came for the action on \"" + a.title + "\"\n";
    return problems;
}

LRESULT CALLBACK DialogDriver::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    DialogDriver* self = activeDriver;
    if (self && code == HCBT_ACTIVATE) self->Activated((HWND)wParam);
    if (self && code == HCBT_DESTROYWND) {
        HWND gone = (HWND)wParam;
        auto& h = self->handled_;
        h.erase(std::remove_if(h.begin(), h.end(), [gone](const Handled& x) { return x.hwnd == gone; }), h.end());
        Remove(self->pending_, gone);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogDriver::Activated(HWND hwnd)
{
    // A dialog is activated again when a nested one closes; handle it once.
    if (ClassName(hwnd) != "#32770" || IsHandled(hwnd) || Contains(pending_, hwnd)) return;
    pending_.push_back(hwnd);
    if (!timer_) timer_ = SetTimer(nullptr, 0, kSettleMs, TimerProc);
}

void CALLBACK DialogDriver::TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    DialogDriver* self = activeDriver;
    if (!self) {
        KillTimer(nullptr, id);
        return;
    }
    self->HandlePending();
}

bool DialogDriver::IsHandled(HWND hwnd) const
{
    for (const Handled& h : handled_)
        if (h.hwnd == hwnd) return true;
    return false;
}

void DialogDriver::HandlePending()
{
    std::vector<HWND> ready;
    for (HWND hwnd : pending_)
        if (IsWindow(hwnd) && IsWindowVisible(hwnd)) ready.push_back(hwnd);
    for (HWND hwnd : ready) {
        Remove(pending_, hwnd);
        handled_.push_back({hwnd, GetTickCount(), 0});
    }
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(), [](HWND h) { return !IsWindow(h); }),
                   pending_.end());
    handled_.erase(std::remove_if(handled_.begin(), handled_.end(), [](const Handled& h) { return !IsWindow(h.hwnd); }),
                   handled_.end());
    if (pending_.empty() && handled_.empty() && timer_) {
        KillTimer(nullptr, timer_);
        timer_ = 0;
    }
    CheckStuck();
    // Handling may run a nested modal loop (an action that sends rather
    // than posts); the bookkeeping above is done first for that reason.
    for (HWND hwnd : ready)
        if (IsWindow(hwnd)) Handle(hwnd);
}

void DialogDriver::CheckStuck()
{
    DWORD now = GetTickCount();
    for (Handled& h : handled_) {
        // A disabled dialog waits on a nested one, which is handled itself.
        if (now - h.since < stuckMs_ || !IsWindowVisible(h.hwnd) || !IsWindowEnabled(h.hwnd)) continue;
        if (h.nudges == 0)
            unexpected_.push_back("\"" + WindowTextUtf8(h.hwnd) + "\" still open " + std::to_string(stuckMs_ / 1000) +
                                  " s after it was answered");
        if (h.nudges == 0)
            PressButton(h.hwnd, IDCANCEL);
        else
            EndDialog(h.hwnd, IDCANCEL);
        h.nudges++;
        h.since = now;
    }
}

void DialogDriver::Handle(HWND hwnd)
{
    DialogRecord record;
    record.hwnd = hwnd;
    record.caption = WindowTextUtf8(hwnd);
    record.messageBox = IsMessageBox(hwnd);
    if (record.messageBox) record.text = ControlTextUtf8(hwnd, 0xFFFF);

    if (!actions_.empty() &&
        (actions_.front().title.empty() || record.caption.find(actions_.front().title) != std::string::npos)) {
        PendingAction action = std::move(actions_.front());
        actions_.pop_front();
        seen_.push_back(record);
        action.action(hwnd);
        return;
    }
    if (record.messageBox && !answers_.empty()) {
        record.answer = answers_.front();
        answers_.pop_front();
        seen_.push_back(record);
        PressButton(hwnd, record.answer);
        return;
    }
    std::string what = "\"" + record.caption + "\"";
    if (record.messageBox) what += " (message box: \"" + record.text + "\")";
    unexpected_.push_back(what);
    record.answer = IDCANCEL;
    seen_.push_back(record);
    PressButton(hwnd, IDCANCEL);
}

bool IsMessageBox(HWND dialog)
{
    HWND text = GetDlgItem(dialog, 0xFFFF);
    if (!text || ClassName(text) != "Static") return false;
    bool onlyStaticsAndButtons = true;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string cls = ClassName(child);
        if (cls == "Static") continue;
        LONG style = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
        if (cls == "Button" && (style == BS_PUSHBUTTON || style == BS_DEFPUSHBUTTON)) continue;
        onlyStaticsAndButtons = false;
    }
    return onlyStaticsAndButtons;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

void SetControlText(HWND dialog, int id, const std::string& textAnsi)
{
    SetDlgItemTextA(dialog, id, textAnsi.c_str());
}

void SelectComboEntry(HWND dialog, int id, int index)
{
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    // A choice from the drop-down list notifies both; Wine's file dialog
    // acts on CBN_SELENDOK only.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), (LPARAM)combo);
}

HWND FileDialogFrame(HWND dialogOrHookChild)
{
    if (GetDlgItem(dialogOrHookChild, kFileTypeCombo)) return dialogOrHookChild;
    HWND parent = GetParent(dialogOrHookChild);
    return parent && GetDlgItem(parent, kFileTypeCombo) ? parent : dialogOrHookChild;
}

HWND FileDialogNameEdit(HWND dialog)
{
    HWND frame = FileDialogFrame(dialog);
    HWND edit = GetDlgItem(frame, kFileNameEdit);
    if (edit) return edit;
    // Wine 8's explorer dialog has the name in a ComboBoxEx (cmb13) whose
    // edit is a grandchild.
    HWND combo = GetDlgItem(frame, kFileNameCombo);
    if (!combo) return nullptr;
    HWND inner = (HWND)SendMessageA(combo, CBEM_GETEDITCONTROL, 0, 0);
    return inner ? inner : combo;
}

void FileDialogSetName(HWND dialog, const std::string& nameAnsi)
{
    HWND edit = FileDialogNameEdit(dialog);
    if (edit) SetWindowTextA(edit, nameAnsi.c_str());
}

void FileDialogSelectType(HWND dialog, int index)
{
    SelectComboEntry(FileDialogFrame(dialog), kFileTypeCombo, index);
}

std::string FileDialogTypeText(HWND dialog)
{
    HWND combo = GetDlgItem(FileDialogFrame(dialog), kFileTypeCombo);
    int index = (int)SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index < 0) return {};
    int len = (int)SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    std::string text(len + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, index, (LPARAM)text.data());
    text.resize(len);
    return AnsiToUtf8(text);
}

void FileDialogAcceptOnce(HWND dialog, const std::string& nameAnsi)
{
    HWND frame = FileDialogFrame(dialog);
    FileDialogSetName(frame, nameAnsi);
    PressButton(frame, IDOK);
}

namespace {

// Under load a file dialog may still be settling when the name lands (a
// refreshed file list can clear it again), so the attempt is repeated until
// the dialog is gone; never while a nested box (overwrite question) has it
// disabled.  One file dialog is open at a time.
struct AcceptRetry {
    HWND frame = nullptr;
    std::string name;
    UINT_PTR timer = 0;
};
AcceptRetry acceptRetry;

void CALLBACK AcceptRetryTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (id != acceptRetry.timer || !IsWindow(acceptRetry.frame)) {
        KillTimer(nullptr, id);
        if (id == acceptRetry.timer)
            acceptRetry = {};
        return;
    }
    if (IsWindowEnabled(acceptRetry.frame))
        FileDialogAcceptOnce(acceptRetry.frame, acceptRetry.name);
}

}  // namespace

void FileDialogAccept(HWND dialog, const std::string& nameAnsi)
{
    if (acceptRetry.timer)
        KillTimer(nullptr, acceptRetry.timer);
    HWND frame = FileDialogFrame(dialog);
    acceptRetry.frame = frame;
    acceptRetry.name = nameAnsi;
    acceptRetry.timer = SetTimer(nullptr, 0, 700, AcceptRetryTimer);
    FileDialogAcceptOnce(frame, nameAnsi);
}

void FileDialogCancel(HWND dialog) { PressButton(FileDialogFrame(dialog), IDCANCEL); }

// --- Windows ----------------------------------------------------------------

namespace {

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

HWND CreateOwnerWindow()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "QuillvaneTestOwner";
        registered = RegisterClassA(&wc) != 0;
    }
    HWND window = CreateWindowExA(0, "QuillvaneTestOwner", "Quillvane185Rizo", WS_OVERLAPPEDWINDOW, 30, 30, 480,
                                  320, nullptr, nullptr, instance, nullptr);
    if (window) {
        ShowWindow(window, SW_SHOW);
        PumpFor(30);
    }
    return window;
}

// --- Mouse and scrolling ----------------------------------------------------

void MouseMove(HWND hwnd, int x, int y, WPARAM keys)
{
    SendMessageA(hwnd, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
}

void MouseDown(HWND hwnd, int x, int y)
{
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
}

void MouseUp(HWND hwnd, int x, int y)
{
    SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void Click(HWND hwnd, int x, int y)
{
    MouseDown(hwnd, x, y);
    MouseUp(hwnd, x, y);
}

void Drag(HWND hwnd, POINT from, POINT to, int steps)
{
    if (steps < 1) steps = 1;
    MouseDown(hwnd, from.x, from.y);
    for (int i = 1; i <= steps; i++) {
        int x = from.x + (to.x - from.x) * i / steps;
        int y = from.y + (to.y - from.y) * i / steps;
        MouseMove(hwnd, x, y, MK_LBUTTON);
    }
    MouseUp(hwnd, to.x, to.y);
}

void Scroll(HWND hwnd, UINT message, int code, int position)
{
    SendMessageA(hwnd, message, MAKEWPARAM(code, position), 0);
}

// --- Printing ---------------------------------------------------------------

bool NoPrinterPrefix()
{
    const char* value = std::getenv("QUILLVANE_WINE_PRINTER");
    return value && std::string(value) == "0";
}

namespace {
const char kSpoolerKey[] = "Software\\Wine\\Printing\\Spooler";
}

PrinterCapture::PrinterCapture(const std::string& outputPathAnsi)
{
    mutex_ = CreateMutexA(nullptr, FALSE, "QuillvaneTestPrinterOutput");
    if (mutex_) WaitForSingleObject(mutex_, 120000);

    char name[256] = {};
    DWORD nameLen = sizeof name;
    if (!GetDefaultPrinterA(name, &nameLen)) return;
    printer_ = name;
    HANDLE printer = nullptr;
    if (!OpenPrinterA(name, &printer, nullptr)) return;
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (needed && GetPrinterA(printer, 2, info.data(), needed, &needed)) {
        auto* pi2 = (PRINTER_INFO_2A*)info.data();
        if (pi2->pPortName) port_ = pi2->pPortName;
    }
    ClosePrinter(printer);
    std::string unixPath = UnixPath(outputPathAnsi);
    if (port_.empty() || unixPath.empty()) return;

    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSpoolerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return;
    char previous[1024] = {};
    DWORD size = sizeof previous - 1, type = 0;
    hadPrevious_ = RegQueryValueExA(key, port_.c_str(), nullptr, &type, (BYTE*)previous, &size) == ERROR_SUCCESS;
    previous_ = previous;
    ok_ = RegSetValueExA(key, port_.c_str(), 0, REG_SZ, (const BYTE*)unixPath.c_str(),
                         (DWORD)unixPath.size() + 1) == ERROR_SUCCESS;
    RegCloseKey(key);
}

PrinterCapture::~PrinterCapture()
{
    HKEY key;
    if (!port_.empty() && RegOpenKeyExA(HKEY_CURRENT_USER, kSpoolerKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        if (hadPrevious_)
            RegSetValueExA(key, port_.c_str(), 0, REG_SZ, (const BYTE*)previous_.c_str(), (DWORD)previous_.size() + 1);
        else
            RegDeleteValueA(key, port_.c_str());
        RegCloseKey(key);
    }
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

bool PostScriptTitle(const std::string& postscript, std::string& titleAnsi)
{
    static const std::string tag = "%%Title: ";
    size_t at = postscript.find("\n" + tag);
    if (at == std::string::npos) return false;
    at += 1 + tag.size();
    size_t end = postscript.find_first_of("\r\n", at);
    std::string raw = postscript.substr(at, end == std::string::npos ? std::string::npos : end - at);
    // Wine writes a title with bytes outside printable ASCII as a string in
    // parentheses, each such byte as \ooo; other bytes, backslashes
    // included, stay as they are.
    titleAnsi.clear();
    if (raw.size() >= 2 && raw.front() == '(' && raw.back() == ')') {
        for (size_t i = 1; i + 1 < raw.size(); i++) {
            if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '3' &&
                raw[i + 2] >= '0' && raw[i + 2] <= '7' && raw[i + 3] >= '0' && raw[i + 3] <= '7') {
                int value = (raw[i + 1] - '0') * 64 + (raw[i + 2] - '0') * 8 + (raw[i + 3] - '0');
                if (value >= 0x80 || value < 0x20) {
                    titleAnsi += (char)value;
                    i += 3;
                    continue;
                }
            }
            titleAnsi += raw[i];
        }
    } else {
        titleAnsi = raw;
    }
    return true;
}

}  // namespace wintest
