// wininspect: lists and presses the windows and controls of programs
// running in the same Wine prefix.  Wine draws each top-level window into a
// single X window, so X tools cannot see controls; scripts ask this helper
// instead (it answers in well under a second) and then click with xdotool at
// the rectangle it reports, or let it press the control directly.
//
//   wininspect list [title]               top-level windows (whose caption
//                                         contains title) and all their controls
//   wininspect click <title> <id>         BM_CLICK to the control (posted)
//   wininspect settext <title> <id> <text>
//   wininspect select <title> <id> <index>   combo box entry + CBN_SELCHANGE
//   wininspect command <title> <id>       WM_COMMAND id to the window (menus)
//   wininspect close <title>              WM_CLOSE
//
// Output of list, one line per window, UTF-8, fields separated by tabs:
//   window|control  hwnd=0x..  parent=0x..  class="..."  id=N  text="..."
//   rect=left,top,right,bottom (screen)  visible=0|1  enabled=0|1  focus=0|1
//   [active=0|1 foreground=0|1 pid=N]  [check=0|1|2]  [scroll=pos,min,max,page]
//   [hscroll=... vscroll=...]
// Texts escape \ " tab and line ends as \\ \" \t \r \n.
// Exit status: 0 done, 1 no such window or control, 2 bad arguments.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Timeouts for messages to other processes: a hung program must not hang
// the script asking about it.
constexpr UINT kSendTimeoutMs = 1000;

HANDLE out = nullptr;
bool outIsConsole = false;

void Write(const std::wstring& text)
{
    DWORD written = 0;
    if (outIsConsole) {
        WriteConsoleW(out, text.data(), (DWORD)text.size(), &written, nullptr);
        return;
    }
    int len = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8(len, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), utf8.data(), len, nullptr, nullptr);
    WriteFile(out, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
}

std::wstring Quote(const std::wstring& text)
{
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': quoted += L"\\\\"; break;
        case L'"': quoted += L"\\\""; break;
        case L'\t': quoted += L"\\t"; break;
        case L'\r': quoted += L"\\r"; break;
        case L'\n': quoted += L"\\n"; break;
        default: quoted += c;
        }
    }
    return quoted + L"\"";
}

std::wstring Hex(const void* p)
{
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"0x%08lx", (unsigned long)(ULONG_PTR)p);
    return buffer;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// WM_GETTEXT rather than GetWindowText: for another process's window only
// the message gives an edit control's contents.
std::wstring TextOf(HWND hwnd)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, length + 1, (LPARAM)text.data(), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &copied))
        return L"";
    text.resize(copied <= length ? copied : length);
    return text;
}

std::wstring ScrollText(HWND hwnd, int bar)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(hwnd, bar, &info)) return L"";
    wchar_t buffer[96];
    std::swprintf(buffer, 96, L"%d,%d,%d,%u", info.nPos, info.nMin, info.nMax, info.nPage);
    return buffer;
}

struct Target {
    std::wstring title;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param)
{
    auto* target = (Target*)param;
    if (target->title.empty() || TextOf(hwnd).find(target->title) != std::wstring::npos)
        target->found.push_back(hwnd);
    return TRUE;
}

// Top-level windows whose caption contains title, visible ones first.
std::vector<HWND> TopLevel(const std::wstring& title)
{
    Target target{title, {}};
    EnumWindows(CollectTopLevel, (LPARAM)&target);
    std::vector<HWND> ordered;
    for (HWND h : target.found)
        if (IsWindowVisible(h)) ordered.push_back(h);
    for (HWND h : target.found)
        if (!IsWindowVisible(h)) ordered.push_back(h);
    return ordered;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param)
{
    ((std::vector<HWND>*)param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Descendants(HWND top)
{
    std::vector<HWND> children;
    EnumChildWindows(top, CollectChild, (LPARAM)&children);
    return children;
}

void ListOne(HWND hwnd, bool topLevel, HWND focus, HWND active, HWND foreground)
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    std::wstring cls = ClassOf(hwnd);
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    wchar_t numbers[160];
    std::swprintf(numbers, 160, L"\tid=%d", topLevel ? 0 : GetDlgCtrlID(hwnd));
    std::wstring line = std::wstring(topLevel ? L"window" : L"control") + L"\thwnd=" + Hex(hwnd) + L"\tparent=" +
                        Hex(topLevel ? (HWND)GetWindow(hwnd, GW_OWNER) : GetParent(hwnd)) + L"\tclass=" + Quote(cls) +
                        numbers + L"\ttext=" + Quote(TextOf(hwnd));
    std::swprintf(numbers, 160, L"\trect=%ld,%ld,%ld,%ld\tvisible=%d\tenabled=%d\tfocus=%d", r.left, r.top, r.right,
                  r.bottom, IsWindowVisible(hwnd) ? 1 : 0, IsWindowEnabled(hwnd) ? 1 : 0, hwnd == focus ? 1 : 0);
    line += numbers;
    if (topLevel) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        std::swprintf(numbers, 160, L"\tactive=%d\tforeground=%d\tpid=%lu", hwnd == active ? 1 : 0,
                      hwnd == foreground ? 1 : 0, pid);
        line += numbers;
    }
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        LONG type = style & BS_TYPEMASK;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
            type == BS_3STATE || type == BS_AUTO3STATE) {
            DWORD_PTR check = 0;
            SendMessageTimeoutW(hwnd, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &check);
            std::swprintf(numbers, 160, L"\tcheck=%d", (int)check);
            line += numbers;
        }
    }
    if (_wcsicmp(cls.c_str(), L"ScrollBar") == 0) {
        std::wstring s = ScrollText(hwnd, SB_CTL);
        if (!s.empty()) line += L"\tscroll=" + s;
    }
    if (style & WS_HSCROLL) {
        std::wstring s = ScrollText(hwnd, SB_HORZ);
        if (!s.empty()) line += L"\thscroll=" + s;
    }
    if (style & WS_VSCROLL) {
        std::wstring s = ScrollText(hwnd, SB_VERT);
        if (!s.empty()) line += L"\tvscroll=" + s;
    }
    Write(line + L"\n");
}

int List(const std::wstring& title)
{
    HWND foreground = GetForegroundWindow();
    for (HWND top : TopLevel(title)) {
        // Focus belongs to the thread that owns the window.
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gui);
        ListOne(top, true, gui.hwndFocus, gui.hwndActive, foreground);
        for (HWND child : Descendants(top)) ListOne(child, false, gui.hwndFocus, gui.hwndActive, foreground);
    }
    return 0;
}

HWND FindControl(const std::wstring& title, int id, HWND* topOut)
{
    for (HWND top : TopLevel(title)) {
        for (HWND child : Descendants(top)) {
            if (GetDlgCtrlID(child) == id) {
                if (topOut) *topOut = top;
                return child;
            }
        }
    }
    return nullptr;
}

int Fail(const wchar_t* what, const std::wstring& title)
{
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    HANDLE saved = out;
    bool savedConsole = outIsConsole;
    DWORD mode;
    out = err;
    outIsConsole = GetConsoleMode(err, &mode) != 0;
    Write(std::wstring(L"wininspect: ") + what + L" (title " + Quote(title) + L")\n");
    out = saved;
    outIsConsole = savedConsole;
    return 1;
}

int Usage()
{
    out = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode;
    outIsConsole = GetConsoleMode(out, &mode) != 0;
    Write(L"usage: wininspect list [title]\n"
          L"       wininspect click <title> <id>\n"
          L"       wininspect settext <title> <id> <text>\n"
          L"       wininspect select <title> <id> <index>\n"
          L"       wininspect command <title> <id>\n"
          L"       wininspect close <title>\n");
    return 2;
}

bool ParseInt(const std::wstring& text, int& value)
{
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    long v = std::wcstol(text.c_str(), &end, 0);
    if (*end != L'\0') return false;
    value = (int)v;
    return true;
}

}  // namespace

int main()
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    outIsConsole = GetConsoleMode(out, &mode) != 0;

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return Usage();
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    const std::wstring& command = args[0];

    if (command == L"list" && args.size() <= 2) return List(args.size() == 2 ? args[1] : L"");

    if (command == L"close" && args.size() == 2) {
        std::vector<HWND> tops = TopLevel(args[1]);
        if (tops.empty()) return Fail(L"no such window", args[1]);
        PostMessageW(tops[0], WM_CLOSE, 0, 0);
        return 0;
    }

    int id = 0;
    if (args.size() < 3 || !ParseInt(args[2], id)) return Usage();
    const std::wstring& title = args[1];

    if (command == L"command" && args.size() == 3) {
        std::vector<HWND> tops = TopLevel(title);
        if (tops.empty()) return Fail(L"no such window", title);
        PostMessageW(tops[0], WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return 0;
    }

    HWND top = nullptr;
    HWND control = FindControl(title, id, &top);
    if (command == L"click" && args.size() == 3) {
        if (!control) return Fail(L"no such control", title);
        PostMessageW(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"settext" && args.size() == 4) {
        if (!control) return Fail(L"no such control", title);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(control, WM_SETTEXT, 0, (LPARAM)args[3].c_str(), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        return 0;
    }
    int index = 0;
    if (command == L"select" && args.size() == 4 && ParseInt(args[3], index)) {
        if (!control) return Fail(L"no such control", title);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(control, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)control);
        return 0;
    }
    return Usage();
}
