// The test harness itself under Wine: message boxes answered from the CBT
// hook, the common file dialogs and a modal dialog driven, mouse and scroll
// messages delivered, wininspect reading and pressing controls, and the
// printer set-ups of the two Wine prefixes.
#include "support/win_test_support.h"

#include <gtest/gtest.h>
#include <cderr.h>

#include <commdlg.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

using namespace wintest;

namespace {

// --- Message boxes ----------------------------------------------------------

TEST(HarnessMessageBox, AnswersInOrderAndRecordsJapaneseTexts)
{
    DialogDriver driver;
    driver.AnswerMessageBox(IDNO);
    driver.AnswerMessageBox(IDCANCEL);
    driver.AnswerMessageBox(IDOK);

    EXPECT_EQ(MessageBoxA(nullptr, "変更を保存しますか？", "Quillvane185Rizo", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "ｷｬﾝｾﾙ ソ表\\", "確認", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "完了", "Quillvane185Rizo", MB_OK), IDOK);

    std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "Quillvane185Rizo");
    EXPECT_EQ(boxes[0].text, U8(u8"変更を保存しますか？"));
    EXPECT_EQ(boxes[0].answer, IDNO);
    // Half-width katakana and a second byte of 0x5C survive the round trip.
    EXPECT_EQ(boxes[1].caption, U8(u8"確認"));
    EXPECT_EQ(boxes[1].text, U8(u8"ｷｬﾝｾﾙ ソ表\\"));
    EXPECT_EQ(boxes[2].text, U8(u8"完了"));
    EXPECT_EQ(driver.Problems(), "");
}

TEST(HarnessMessageBox, UnexpectedBoxIsCancelledAndReported)
{
    DialogDriver driver;
    EXPECT_EQ(MessageBoxA(nullptr, "想定外", "Quillvane185Rizo", MB_OKCANCEL), IDCANCEL);
    EXPECT_NE(driver.Problems().find(U8(u8"想定外")), std::string::npos) << driver.Problems();

    DialogDriver unused;
    unused.AnswerMessageBox(IDYES);
    EXPECT_NE(unused.Problems(), "");
}

// --- Common file dialogs ----------------------------------------------------

struct HookLog {
    std::vector<UINT> notifications;
    std::vector<DWORD> typeIndexes;  // nFilterIndex at each CDN_TYPECHANGE
};
HookLog* hookLog = nullptr;

UINT_PTR CALLBACK FileHook(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && hookLog) {
        auto* notify = (OFNOTIFYA*)lParam;
        hookLog->notifications.push_back(notify->hdr.code);
        if (notify->hdr.code == CDN_TYPECHANGE) hookLog->typeIndexes.push_back(notify->lpOFN->nFilterIndex);
    }
    return 0;
}

const char kFilter[] = "ビットマップ (*.bmp)\0*.bmp\0JPEG (*.jpg)\0*.jpg\0すべて (*.*)\0*.*\0";

OPENFILENAMEA FileDialogSetup(char* buffer, DWORD size, DWORD flags)
{
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | flags;
    ofn.lpfnHook = FileHook;
    return ofn;
}

TEST(HarnessFileDialog, OpenReturnsChosenPathAndType)
{
    TempDir dir;
    std::string picture = dir.File("写真 1.jpg");
    ASSERT_TRUE(WriteWholeFile(picture, "not really a JPEG"));

    HookLog log;
    hookLog = &log;
    DialogDriver driver;
    std::string typeShown;
    driver.OnDialog(U8(u8"開く"), [&](HWND dialog) {
        FileDialogSelectType(dialog, 1);
        typeShown = FileDialogTypeText(dialog);
        FileDialogAccept(dialog, picture);
    });
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn = FileDialogSetup(buffer, sizeof buffer, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    BOOL ok = GetOpenFileNameA(&ofn);
    hookLog = nullptr;

    ASSERT_TRUE(ok) << std::hex << CommDlgExtendedError();
    EXPECT_EQ(std::string(buffer), picture);
    EXPECT_EQ(ofn.nFilterIndex, 2u);
    EXPECT_EQ(typeShown, "JPEG (*.jpg)");
    ASSERT_EQ(log.typeIndexes.size(), 1u);
    EXPECT_EQ(log.typeIndexes[0], 2u);
    EXPECT_NE(std::find(log.notifications.begin(), log.notifications.end(), (UINT)CDN_INITDONE),
              log.notifications.end());
    ASSERT_FALSE(driver.Seen().empty());
    EXPECT_EQ(driver.Seen()[0].caption, U8(u8"開く"));
    EXPECT_EQ(driver.Problems(), "");
}

TEST(HarnessFileDialog, SaveReturnsChosenPathAndType)
{
    TempDir dir;
    std::string target = dir.File("出力.bmp");
    HookLog log;
    hookLog = &log;
    DialogDriver driver;
    driver.OnDialog(U8(u8"名前を付けて保存"), [&](HWND dialog) {
        FileDialogSelectType(dialog, 2);
        FileDialogSelectType(dialog, 0);
        FileDialogAccept(dialog, target);
    });
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn = FileDialogSetup(buffer, sizeof buffer, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
    ofn.nFilterIndex = 2;
    BOOL ok = GetSaveFileNameA(&ofn);
    hookLog = nullptr;

    ASSERT_TRUE(ok) << std::hex << CommDlgExtendedError();
    EXPECT_EQ(std::string(buffer), target);
    EXPECT_EQ(ofn.nFilterIndex, 1u);
    EXPECT_EQ(log.typeIndexes, (std::vector<DWORD>{3, 1}));
    EXPECT_EQ(driver.Problems(), "");
}

TEST(HarnessFileDialog, OverwritePromptIsAnsweredInsideTheDialog)
{
    TempDir dir;
    std::string target = dir.File("existing.bmp");
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    DialogDriver driver;
    driver.OnDialog(U8(u8"名前を付けて保存"), [&](HWND dialog) { FileDialogAccept(dialog, target); });
    driver.AnswerMessageBox(IDYES);
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn = FileDialogSetup(buffer, sizeof buffer, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
    ASSERT_TRUE(GetSaveFileNameA(&ofn)) << std::hex << CommDlgExtendedError();
    EXPECT_EQ(std::string(buffer), target);
    ASSERT_EQ(driver.MessageBoxes().size(), 1u);
    EXPECT_NE(driver.MessageBoxes()[0].text.find(U8(u8"上書き")), std::string::npos) << driver.MessageBoxes()[0].text;
    EXPECT_EQ(driver.Problems(), "");
}

TEST(HarnessFileDialog, CancelReturnsFalseWithoutError)
{
    DialogDriver driver;
    driver.OnDialog(U8(u8"開く"), [](HWND dialog) { FileDialogCancel(dialog); });
    driver.OnDialog(U8(u8"名前を付けて保存"), [](HWND dialog) { FileDialogCancel(dialog); });
    char buffer[MAX_PATH] = "unchanged";
    OPENFILENAMEA ofn = FileDialogSetup(buffer, sizeof buffer, OFN_FILEMUSTEXIST);
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(driver.Problems(), "");
}

// --- A modal dialog from a template in memory -------------------------------

// Builds a DLGTEMPLATE with an edit (100), OK and a button (200) that asks
// a question before closing the dialog.
class TemplateBuilder {
public:
    void Dialog(const char* captionAnsi, int items)
    {
        Align(4);
        Word(LOWORD(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU));
        Word(HIWORD(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU));
        Word(0), Word(0);  // extended style
        Word((WORD)items);
        Word(10), Word(10), Word(200), Word(80);
        Word(0), Word(0);  // menu, class
        Text(captionAnsi);
        Word(9);
        Text("ＭＳ Ｐゴシック");
    }
    void Item(WORD atom, DWORD style, int id, short x, short y, short cx, short cy, const char* textAnsi)
    {
        Align(4);
        style |= WS_CHILD | WS_VISIBLE;
        Word(LOWORD(style)), Word(HIWORD(style));
        Word(0), Word(0);
        Word(x), Word(y), Word(cx), Word(cy);
        Word((WORD)id);
        Word(0xFFFF), Word(atom);
        Text(textAnsi);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return (const DLGTEMPLATE*)words_.data(); }

private:
    void Word(WORD w) { words_.push_back(w); }
    void Align(size_t bytes)
    {
        while ((words_.size() * 2) % bytes) words_.push_back(0);
    }
    void Text(const char* ansi)
    {
        wchar_t wide[256] = {};
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 256);
        for (size_t i = 0; i <= std::wcslen(wide); i++) words_.push_back(wide[i]);
    }
    std::vector<WORD> words_;
};

std::string dialogEditText;

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    int id = LOWORD(wParam);
    if (id == 200) {
        dialogEditText = WindowTextUtf8(GetDlgItem(dialog, 100));
        if (MessageBoxA(dialog, "閉じますか？", "テスト", MB_OKCANCEL) == IDOK) EndDialog(dialog, 200);
        return TRUE;
    }
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return TRUE;
    }
    return FALSE;
}

TemplateBuilder TestTemplate()
{
    TemplateBuilder t;
    t.Dialog("テスト ダイアログ", 3);
    t.Item(0x0081, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 100, 10, 10, 120, 14, "");
    t.Item(0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 10, 40, 50, 14, "OK");
    t.Item(0x0080, BS_PUSHBUTTON | WS_TABSTOP, 200, 70, 40, 60, 14, "閉じる");
    return t;
}

TEST(HarnessModalDialog, ActionFillsEditAndPressesButtonWithNestedMessageBox)
{
    TemplateBuilder t = TestTemplate();
    DialogDriver driver;
    driver.OnDialog(U8(u8"テスト ダイアログ"), [](HWND dialog) {
        SetControlText(dialog, 100, "全角テキスト");
        PressButton(dialog, 200);
    });
    driver.AnswerMessageBox(IDOK);
    dialogEditText.clear();
    INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), nullptr, TestDialogProc, 0);

    EXPECT_EQ(result, 200);
    EXPECT_EQ(dialogEditText, U8(u8"全角テキスト"));
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[0].caption, U8(u8"テスト ダイアログ"));
    EXPECT_FALSE(driver.Seen()[0].messageBox);
    EXPECT_TRUE(driver.Seen()[1].messageBox);
    EXPECT_EQ(driver.Seen()[1].caption, U8(u8"テスト"));
    EXPECT_EQ(driver.Seen()[1].text, U8(u8"閉じますか？"));
    EXPECT_EQ(driver.Problems(), "");
}

TEST(HarnessModalDialog, CancelButton)
{
    TemplateBuilder t = TestTemplate();
    DialogDriver driver;
    driver.OnDialog(U8(u8"テスト"), [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    EXPECT_EQ(DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), nullptr, TestDialogProc, 0), IDCANCEL);
    EXPECT_EQ(driver.Problems(), "");
}

// --- A window receiving mouse and scroll messages ---------------------------

struct WindowLog {
    std::vector<UINT> messages;
    std::vector<POINT> points;
    std::vector<int> scrollCodes;
    int commands = 0;
};
WindowLog* windowLog = nullptr;

LRESULT CALLBACK LogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (windowLog) {
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
            windowLog->messages.push_back(message);
            windowLog->points.push_back({(short)LOWORD(lParam), (short)HIWORD(lParam)});
            if (message == WM_LBUTTONDOWN) SetCapture(hwnd);
            if (message == WM_LBUTTONUP) ReleaseCapture();
            break;
        case WM_HSCROLL:
        case WM_VSCROLL: {
            windowLog->messages.push_back(message);
            windowLog->scrollCodes.push_back(LOWORD(wParam));
            int bar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
            int pos = GetScrollPos(hwnd, bar);
            if (LOWORD(wParam) == SB_LINEDOWN) pos += 10;
            if (LOWORD(wParam) == SB_THUMBPOSITION) pos = HIWORD(wParam);
            SetScrollPos(hwnd, bar, pos, TRUE);
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == 300 && HIWORD(wParam) == BN_CLICKED) windowLog->commands++;
            break;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CreateLogWindow(const char* title)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = LogWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc.lpszClassName = "QuillvaneHarnessWindow";
        registered = RegisterClassA(&wc) != 0;
    }
    HWND hwnd = CreateWindowExA(0, "QuillvaneHarnessWindow", title,
                                WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, 40, 40, 400, 300, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) return nullptr;
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 200, 50, 0, 0};
    SetScrollInfo(hwnd, SB_HORZ, &si, FALSE);
    SetScrollInfo(hwnd, SB_VERT, &si, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return hwnd;
}

TEST(HarnessWindow, MouseAndScrollMessagesArrive)
{
    WindowLog log;
    windowLog = &log;
    HWND hwnd = CreateLogWindow("ハーネス ウィンドウ");
    ASSERT_NE(hwnd, nullptr);
    PumpFor(50);
    log = {};

    Drag(hwnd, {10, 20}, {110, 70}, 2);
    Scroll(hwnd, WM_HSCROLL, SB_LINEDOWN);
    Scroll(hwnd, WM_VSCROLL, SB_THUMBPOSITION, 77);

    std::vector<UINT> mouse(log.messages.begin(), log.messages.begin() + 6);
    EXPECT_EQ(mouse, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONUP,
                                        WM_HSCROLL}));
    ASSERT_GE(log.points.size(), 5u);
    EXPECT_EQ(log.points[1].x, 10);
    EXPECT_EQ(log.points[2].x, 60);
    EXPECT_EQ(log.points[2].y, 45);
    EXPECT_EQ(log.points[4].x, 110);
    EXPECT_EQ(GetScrollPos(hwnd, SB_HORZ), 10);
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 77);
    EXPECT_EQ(GetCapture(), nullptr);

    windowLog = nullptr;
    DestroyWindow(hwnd);
}

// wininspect, the helper end-to-end scripts use, sees this process's
// controls and presses them.
DWORD RunWaitingAndPumping(const std::string& commandLine, const std::string& outputPath)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE outFile = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 &sa, CREATE_ALWAYS, 0, nullptr);
    if (outFile == INVALID_HANDLE_VALUE) return 1000 + GetLastError();
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outFile;
    si.hStdError = outFile;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr,
                                  &si, &pi);
    CloseHandle(outFile);
    if (!started) return 2000 + GetLastError();
    // The helper sends WM_GETTEXT to our windows: keep answering.
    bool ended = PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 20000);
    DWORD code = 3000;
    if (ended) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::string Wininspect()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir = path;
    return "\"" + dir.substr(0, dir.find_last_of('\\')) + "\\wininspect.exe\"";
}

TEST(HarnessWindow, WininspectListsAndPressesControls)
{
    WindowLog log;
    windowLog = &log;
    // Unique, since other test processes may show windows at the same time.
    std::string title = "検査 " + std::to_string(GetCurrentProcessId());
    HWND hwnd = CreateLogWindow(title.c_str());
    ASSERT_NE(hwnd, nullptr);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND button = CreateWindowExA(0, "BUTTON", "押す", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 80, 24, hwnd,
                                  (HMENU)300, instance, nullptr);
    HWND check = CreateWindowExA(0, "BUTTON", "チェック", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 40, 120, 24,
                                 hwnd, (HMENU)301, instance, nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 70, 120, 24, hwnd, (HMENU)302,
                                instance, nullptr);
    ASSERT_TRUE(button && check && edit);
    SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    SetFocus(edit);
    PumpFor(50);

    TempDir dir;
    std::string out = dir.File("list.txt");
    ASSERT_EQ(RunWaitingAndPumping(Wininspect() + " list \"" + title + "\"", out), 0u);
    std::string listing;
    ASSERT_TRUE(ReadWholeFile(out, listing));
    EXPECT_NE(listing.find(U8(u8"window\t")), std::string::npos) << listing;
    EXPECT_NE(listing.find("text=\"" + AnsiToUtf8(title) + "\""), std::string::npos) << listing;
    EXPECT_NE(listing.find(U8(u8"id=300\ttext=\"押す\"")), std::string::npos) << listing;
    // Wine keeps a window's own scroll bars in its process: another process
    // cannot read them, so no hscroll= field here (scroll bar controls work).
    size_t checkLine = listing.find("id=301");
    ASSERT_NE(checkLine, std::string::npos) << listing;
    EXPECT_NE(listing.find("check=1", checkLine), std::string::npos) << listing;
    size_t editLine = listing.find("id=302");
    ASSERT_NE(editLine, std::string::npos);
    EXPECT_EQ(listing.compare(listing.find("focus=", editLine), 7, "focus=1"), 0) << listing;

    EXPECT_EQ(RunWaitingAndPumping(Wininspect() + " click \"" + title + "\" 300", out), 0u);
    EXPECT_TRUE(PumpUntil([&] { return log.commands == 1; }, 3000));
    EXPECT_EQ(RunWaitingAndPumping(Wininspect() + " settext \"" + title + "\" 302 \"新しい 文字\"", out), 0u);
    EXPECT_EQ(WindowTextUtf8(edit), U8(u8"新しい 文字"));
    EXPECT_EQ(RunWaitingAndPumping(Wininspect() + " click \"" + title + "\" 999", out), 1u);
    EXPECT_EQ(RunWaitingAndPumping(Wininspect() + " click 存在しない 300", out), 1u);

    windowLog = nullptr;
    DestroyWindow(hwnd);
}

// --- Printing ---------------------------------------------------------------

TEST(HarnessPrint, JobLandsInFileWithDocumentTitle)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    TempDir dir;
    std::string output = dir.File("job.ps");
    PrinterCapture capture(output);
    ASSERT_TRUE(capture.Ok());

    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    ASSERT_TRUE(PrintDlgA(&pd)) << std::hex << CommDlgExtendedError();
    ASSERT_NE(pd.hDC, nullptr);
    EXPECT_GT(GetDeviceCaps(pd.hDC, HORZRES), 0);
    EXPECT_GT(GetDeviceCaps(pd.hDC, LOGPIXELSX), 0);

    const char* document = "Z:\\tmp\\印刷 テスト\\写真.bmp";
    DOCINFOA di = {};
    di.cbSize = sizeof di;
    di.lpszDocName = document;
    EXPECT_GT(StartDocA(pd.hDC, &di), 0);
    EXPECT_GT(StartPage(pd.hDC), 0);
    TextOutA(pd.hDC, 100, 100, "印刷", 4);
    Rectangle(pd.hDC, 200, 200, 600, 400);
    EXPECT_GT(EndPage(pd.hDC), 0);
    EXPECT_GT(EndDoc(pd.hDC), 0);
    DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);

    std::string postscript;
    ASSERT_TRUE(ReadWholeFile(output, postscript));
    EXPECT_EQ(postscript.rfind("%!PS-Adobe", 0), 0u);
    std::string title;
    ASSERT_TRUE(PostScriptTitle(postscript, title));
    EXPECT_EQ(title, document);
    EXPECT_NE(postscript.find("%%Page: 1"), std::string::npos);
}

TEST(HarnessPrint, PrintDialogIsDrivenToOk)
{
    if (NoPrinterPrefix()) GTEST_SKIP() << "prefix without a printer";
    DialogDriver driver;
    std::string printerShown;
    driver.OnDialog(U8(u8"印刷"), [&](HWND dialog) {
        printerShown = ControlTextUtf8(dialog, 1139);  // the printer combo
        PressButton(dialog, IDOK);
    });
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS;
    ASSERT_TRUE(PrintDlgA(&pd)) << std::hex << CommDlgExtendedError();
    EXPECT_NE(pd.hDC, nullptr);
    EXPECT_EQ(printerShown, "Quillvane Test Printer");
    DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    EXPECT_EQ(driver.Problems(), "");
}

TEST(HarnessNoPrinter, DefaultPrinterIsMissing)
{
    if (!NoPrinterPrefix()) GTEST_SKIP() << "needs QUILLVANE_WINE_PRINTER=0 (the prefix without a printer)";
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    EXPECT_EQ(count, 0u);
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), (DWORD)PDERR_NODEFAULTPRN);
}

}  // namespace
