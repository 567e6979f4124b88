#include "app/main_window.h"

#include "app/batch_window.h"
#include "app/bump_dialog.h"
#include "app/colour_dialog.h"
#include "app/dialog_helpers.h"
#include "app/edit_commands.h"
#include "app/effect_dialog.h"
#include "app/filter_dialog.h"
#include "app/gdi_guards.h"
#include "app/language.h"
#include "app/wait_cursor.h"
#include "app/open_save.h"
#include "app/print.h"
#include "app/scrolling.h"
#include "app/selection.h"
#include "app/settings.h"
#include "app/splash.h"
#include "app/text_mark_dialog.h"
#include "image/command_sequence.h"
#include "image/image_document.h"
#include "app/messages.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/neighbourhood.h"
#include "resources/resource.h"

#include <shellapi.h>

ViewStateRecord ViewState = {};
HINSTANCE AppInstance = nullptr;

namespace {

// Menu items that need a picture.
constexpr UINT kPictureCommands[] = {IDM_SAVE, IDM_PRINT, IDM_YSH, IDM_BUMP, IDM_FILTER, IDM_EFFECT,
                                     // Text watermark
                                     IDM_TEXTMARK};

void Repaint(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
}

// Runs a modal interaction with the outline off and modalBusy set.
template <typename Interaction>
auto Modal(HWND window, Interaction interaction)
{
    DrawSelectionOutline(window, &Selection);
    ViewState.modalBusy = 1;
    auto result = interaction();
    ViewState.modalBusy = 0;
    return result;
}

void OnPaint(HWND window)
{
    if (!MainDocument.isLoaded) {
        HMENU menu = GetMenu(window);
        for (UINT id : kPictureCommands)
            EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
        ShowEditCommandStates(window);
        DefWindowProcA(window, WM_PAINT, 0, 0);
        return;
    }
    HMENU menu = GetMenu(window);
    GetWindowRect(window, &ViewState.currentWindowRect);
    const int dx = ViewState.viewWidth - DisplayCopy.width;
    ViewState.imageOffsetX = dx < 0 ? 0 : dx / 2;
    const int dy = ViewState.viewHeight - DisplayCopy.height;
    ViewState.imageOffsetY = dy < 0 ? 0 : dy / 2;

    {
        PaintDC paint(window);
        if (DisplayCopy.dib && DisplayCopy.bmi)
            StretchDIBits(paint.get(), ViewState.imageOffsetX - ViewState.hScrollPos,
                          ViewState.imageOffsetY - ViewState.vScrollPos, DisplayCopy.width, DisplayCopy.height, 0, 0,
                          DisplayCopy.width, DisplayCopy.height, DisplayCopy.dib + DisplayCopy.bitsOffset,
                          DisplayCopy.bmi, DIB_RGB_COLORS, SRCCOPY);
    }

    if (!SelectionDegenerate(&Selection) && ViewState.modalBusy != 1) {
        Selection.left += ViewState.pendingScrollDX;
        Selection.right += ViewState.pendingScrollDX;
        Selection.top += ViewState.pendingScrollDY;
        Selection.bottom += ViewState.pendingScrollDY;
    }
    DrawSelectionOutline(window, &Selection);

    ShowScrollBar(window, SB_BOTH, TRUE);
    const RECT& r = ViewState.currentWindowRect;
    const bool smaller =
        ViewState.maxTrackWidth > r.right - r.left || ViewState.maxTrackHeight > r.bottom - r.top;
    EnableScrollBar(window, SB_BOTH, smaller ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
    for (UINT id : kPictureCommands)
        EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED);
    ShowEditCommandStates(window);
    ViewState.pendingScrollDX = 0;
    ViewState.pendingScrollDY = 0;
}

// Unsaved work is kept unless the user lets it go or it reached a file.
// The question and the save run as one modal interaction: the selection
// outline stays off throughout and comes back with the repaint.
void OnClose(HWND window)
{
    if (MainDocument.isModified) {
        const bool keep = Modal(window, [&] {
            const int answer =
                Ask(window, Text::UnsavedQuestion, Text::ExitCaption, MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL)
                return true;
            bool saved = true;
            if (answer == IDYES)
                SaveImageCommand(window, &MainDocument, &saved);
            return !saved;
        });
        if (keep) {
            Repaint(window);
            return;
        }
    }
    ForgetHistoryOf(&MainDocument);
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    ReleaseDocument(&DisplayCopy);
    ReleasePrintSettings();
    DestroyWindow(window);
}

void OnGetMinMaxInfo(LPARAM lParam)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    const RECT& r = ViewState.pictureWindowRect;
    info->ptMaxTrackSize.x = r.right - r.left;
    info->ptMaxTrackSize.y = r.bottom - r.top;
    ViewState.maxTrackWidth = info->ptMaxTrackSize.x;
    ViewState.maxTrackHeight = info->ptMaxTrackSize.y;
}

}  // namespace

// A picture that cannot be shown for lack of memory is let go, with a
// message: the window then has no picture and no command that needs one.
int ShowNewPicture(HWND window)
{
    if (TryShowNewPicture(window) != 0) {
        ForgetHistoryOf(&MainDocument);
        ReleaseDocument(&MainDocument);
        MainDocument.isLoaded = 0;
        MainDocument.isModified = 0;
        ReportError(window, Text::OutOfMemory);
        Repaint(window);
        return -1;
    }
    return 0;
}

// The display copy is rebuilt and the window takes the picture's size (at
// least the minimum canvas).
int TryShowNewPicture(HWND window)
{
    ClearSelection();
    if (BuildDisplayCopy(&DisplayCopy, &MainDocument) != 0)
        return -1;
    ViewState.scrolledX = 0;
    ViewState.scrolledY = 0;
    RECT& r = ViewState.pictureWindowRect;
    GetWindowRect(window, &r);
    ViewState.viewWidth = MainDocument.width >= kMinimumWindowWidth
                              ? MainDocument.width
                              : kMinimumWindowWidth - 2 * GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXVSCROLL);
    ViewState.viewHeight = MainDocument.height >= kMinimumWindowHeight
                               ? MainDocument.height
                               : kMinimumWindowHeight - 2 * GetSystemMetrics(SM_CYFRAME) -
                                     GetSystemMetrics(SM_CYHSCROLL) - GetSystemMetrics(SM_CYCAPTION) -
                                     GetSystemMetrics(SM_CYMENU);
    r.right = GetSystemMetrics(SM_CXVSCROLL) + ViewState.viewWidth + r.left - 1;
    r.bottom = GetSystemMetrics(SM_CYHSCROLL) + ViewState.viewHeight + r.top - 1;
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, TRUE);
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    Repaint(window);
    return 0;
}

namespace {

// After an open command: the window shows what the document now holds.
void ShowOpenResult(HWND window, int result)
{
    if (result == -1 || !MainDocument.isLoaded) {
        Repaint(window);
        return;
    }
    ShowNewPicture(window);
    Modal(window, [&] {
        ShowOpenNotice(window);
        return 0;
    });
}

void OnOpen(HWND window)
{
    ShowOpenResult(window, Modal(window, [&] { return OpenImageCommand(window, &MainDocument); }));
}

// The names of the files dropped; the drop is finished.
std::vector<std::wstring> DroppedFiles(HDROP drop)
{
    std::vector<std::wstring> names;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
        names.push_back(std::move(name));
    }
    DragFinish(drop);
    return names;
}

// Files dropped while a command's dialog or question is up are refused.
void OnDropFiles(HWND window, HDROP drop)
{
    const std::vector<std::wstring> names = DroppedFiles(drop);
    if (ViewState.modalBusy == 1 || !IsWindowEnabled(window))
        return;
    OpenShellFiles(window, names);
}

// The engines of the processing commands, on the document as the selection
// left it.
Failure ApplyBumpCommand()
{
    return ApplyBump(Remembered.bump, &WatermarkDocument, &MainDocument);
}
Failure ApplyFilterCommand()
{
    return ApplyNeighbourhoodFilter(FilterParamsOf(Remembered.filter), MainDocument.hDib);
}
Failure ApplyEffectCommand()
{
    ApplyEffect(Remembered.effect, WorkDibPixels(MainDocument.dib),
                reinterpret_cast<BITMAPINFOHEADER*>(MainDocument.dib));
    return Failure::None;
}
Failure ApplyColourCommand()
{
    ApplyColourAdjust(Remembered.ysh, WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
    return Failure::None;
}

struct ProcessingCommand {
    UINT id;
    const char* dialogTemplate;
    DLGPROC dialogProc;
    Failure (*apply)();
    // Instead of the template: the command's own dialogs; true goes on.
    bool (*ask)(HWND window) = nullptr;
};

constexpr ProcessingCommand kProcessingCommands[] = {
    {IDM_BUMP, RES_DLG_BUMP, BumpDialogProc, ApplyBumpCommand},
    {IDM_FILTER, RES_DLG_FILTER, FilterDialogProc, ApplyFilterCommand},
    {IDM_EFFECT, RES_DLG_EFFECT, EffectDialogProc, ApplyEffectCommand},
    {IDM_YSH, RES_DLG_YSH, YshDialogProc, ApplyColourCommand},
    // Text watermark: its dialog, then the bump dialog with the mark.
    {IDM_TEXTMARK, nullptr, nullptr, ApplyBumpCommand, AskTextWatermark},
};

struct CommandRun {
    HWND window;
    const ProcessingCommand* command;
};

// The command's dialog, with the outline off; OK goes on.
bool AskCommandDialog(void* context)
{
    const auto* run = static_cast<const CommandRun*>(context);
    ViewState.modalBusy = 1;
    bool ok = false;
    if (run->command->ask) {
        ok = run->command->ask(run->window);
    } else {
        auto* instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(run->window, GWLP_HINSTANCE));
        ok = DialogBoxParamA(instance, run->command->dialogTemplate, run->window, run->command->dialogProc, 0) ==
             IDOK;
    }
    ViewState.modalBusy = 0;
    Repaint(run->window);
    return ok;
}

Failure ApplyCommandEngine(void* context)
{
    const auto* run = static_cast<const CommandRun*>(context);
    WaitCursor busy;
    return run->command->apply();
}

// Cut the selection out, run the dialog, apply and commit on OK or
// restore on anything else.  Without memory for the selection or for the
// engine the command says so.
void RunCommandFromMenu(HWND window, const ProcessingCommand& command)
{
    DrawSelectionOutline(window, &Selection);
    if (MainDocument.isLoaded) {
        CommandRun run{window, &command};
        const PictureRect region = SelectionInPicture(Selection, ViewState);
        const CommandOutcome result =
            RunProcessingCommand(&MainDocument, Selection.active ? &region : nullptr,
                                 ProcessingSteps{AskCommandDialog, ApplyCommandEngine, &run}, &PictureHistory);
        if (result.applied)
            RefreshDisplayCopy(&DisplayCopy, &MainDocument);
        else
            ShowOutcome(window, Fail(result.failure));
    }
    Repaint(window);
}

void OnCommand(HWND window, UINT id)
{
    switch (id) {
    case IDM_OPEN:
        OnOpen(window);
        return;
    case IDM_SAVE:
        Modal(window, [&] { return SaveImageCommand(window, &MainDocument); });
        break;
    case IDM_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case IDM_PAGESETUP:
        Modal(window, [&] {
            PageSetupCommand(window);
            return 0;
        });
        break;
    case IDM_PRINT:
        Modal(window, [&] { return PrintCommand(window, &MainDocument); });
        break;
    // The edit menu and the commands that give the picture a new size.
    case IDM_UNDO:
        UndoCommand(window);
        return;
    case IDM_REDO:
        RedoCommand(window);
        return;
    case IDM_RESIZE:
        ResizeCommand(window);
        return;
    case IDM_CROP:
        CropCommand(window);
        return;
    // The batch window
    case IDM_BATCH:
        Modal(window, [&] {
            RunBatchWindow(window);
            return 0;
        });
        break;
    default:
        for (const ProcessingCommand& command : kProcessingCommands)
            if (command.id == id) {
                RunCommandFromMenu(window, command);
                return;
            }
        break;
    }
    Repaint(window);
}

}  // namespace

void OpenShellFiles(HWND window, const std::vector<std::wstring>& names)
{
    if (names.empty())
        return;
    if (names.size() > 1)
        Modal(window, [&] {
            const bool english = ProgramLanguage() == UiLanguage::English;
            return MessageBoxW(window, english ? msg::kOnePictureAtATimeEnglish : msg::kOnePictureAtATime,
                               msg::kNoticeCaption, MB_OK | MB_ICONINFORMATION);
        });
    ShowOpenResult(window, Modal(window, [&] { return OpenNamedFileCommand(window, &MainDocument, names[0]); }));
}

std::vector<std::wstring> CommandLineFiles(const wchar_t* commandLine)
{
    std::vector<std::wstring> names;
    int count = 0;
    wchar_t** arguments = commandLine && *commandLine ? CommandLineToArgvW(commandLine, &count) : nullptr;
    if (!arguments)
        return names;
    for (int i = 1; i < count; ++i)
        names.emplace_back(arguments[i]);
    LocalFree(arguments);
    return names;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        OnViewSize(window, lParam);
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(lParam);
        return 0;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        OnSelectionMouseMove(window);
        return 0;
    case WM_LBUTTONDOWN:
        OnSelectionButtonDown(window, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
        OnSelectionButtonUp(window, lParam);
        return 0;
    case WM_HSCROLL:
        ScrollView(window, wParam, ViewState.hScrollMax, &ViewState.hScrollPos, message);
        return 0;
    case WM_VSCROLL:
        ScrollView(window, wParam, ViewState.vScrollMax, &ViewState.vScrollPos, message);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        ShowEditCommandStates(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, RES_ICON_MAIN);
    wc.hIconSm = LoadIconA(instance, RES_ICON_MAIN);
    wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszMenuName = RES_MENU_MAIN;
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&wc) ? 0 : -1;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand)
{
    HWND window = CreateWindowExA(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
    AppInstance = instance;
    if (!window)
        return nullptr;
    CentreWindow(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    LoadPrintDefaults(window);
    DragAcceptFiles(window, TRUE);
    return window;
}

int RunQuillvane(HINSTANCE instance, int showCommand, const std::vector<std::wstring>& files)
{
    ResetDocument(&MainDocument);
    ViewState.pictureWindowRect = ViewStateRecord{}.pictureWindowRect;
    RunSplash(instance, showCommand);
    if (RegisterMainWindowClass(instance) != 0)
        return 0;
    HWND window = CreateMainWindow(instance, showCommand);
    if (!window)
        return 0;
    OpenShellFiles(window, files);
    HACCEL keys = LoadAcceleratorsA(instance, RES_ACCEL_MAIN);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (keys && TranslateAcceleratorA(window, keys, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
