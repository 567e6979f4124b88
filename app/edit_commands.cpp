#include "app/edit_commands.h"

#include "app/main_window.h"
#include "app/messages.h"
#include "app/photo_state.h"
#include "app/resize_dialog.h"
#include "app/selection.h"
#include "app/wait_cursor.h"
#include "platform/utf16.h"
#include "processing/resize.h"
#include "resources/resource.h"

#include <algorithm>
#include <string>

EditHistory PictureHistory;

namespace {

void Repaint(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
}

HINSTANCE InstanceOf(HWND window)
{
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

using HistoryStepper = HistoryMove (*)(EditHistory*, ImageDocument*, std::vector<std::uint8_t>*);

// The window shows a picture of a new size.  Without memory to show it the
// change is taken back (which needs no memory), the picture is shown as it
// was and the lack of memory is reported; the change can be made again
// with redo.  Only when nothing can be taken back is the picture let go.
void ShowResized(HWND window, HistoryStepper takeBack, bool canTakeBack)
{
    if (TryShowNewPicture(window) == 0)
        return;
    if (!canTakeBack || takeBack(&PictureHistory, &MainDocument, &MainPhoto.alpha) != HistoryMove::Picture) {
        ShowNewPicture(window);
        return;
    }
    if (ShowNewPicture(window) == 0)
        ShowOutcome(window, Fail(Failure::OutOfMemory));
}

void MoveInHistory(HWND window, HistoryStepper move, HistoryStepper back)
{
    if (!MainDocument.isLoaded)
        return;
    DrawSelectionOutline(window, &Selection);
    const HistoryMove moved = move(&PictureHistory, &MainDocument, &MainPhoto.alpha);
    if (moved == HistoryMove::Picture)
        ShowResized(window, back, true);
    else if (moved == HistoryMove::Pixels)
        RefreshDisplayCopy(&DisplayCopy, &MainDocument);
    Repaint(window);
}

// The picture an engine made takes the old one's place, which becomes a
// step of the history; the window shows it as it shows a new picture.
void TakeNewPicture(HWND window, PictureBlock made)
{
    if (made.failure != Failure::None) {
        ShowOutcome(window, Fail(made.failure));
        return;
    }
    Outcome warnings;
    HistoryReplacePicture(&PictureHistory, &MainDocument, &MainPhoto.alpha, std::move(made), &warnings);
    ShowOutcome(window, warnings);
    ShowResized(window, HistoryUndo, HistoryCanUndo(PictureHistory));
}

// The selection in picture pixels, clipped to the picture: false when
// there is none or it holds none of the picture.
bool CropRectangle(PictureRect* rect)
{
    if (!MainDocument.isLoaded || !MainDocument.dib || !Selection.active)
        return false;
    const PictureRect r = SelectionInPicture(Selection, ViewState);
    *rect = {std::max(r.left, LONG{0}), std::max(r.top, LONG{0}), std::min(r.right, MainDocument.width - 1),
             std::min(r.bottom, MainDocument.height - 1)};
    return rect->left <= rect->right && rect->top <= rect->bottom;
}

// The undo item's text as the menu resource has it, in the program's
// language.
std::wstring UndoItemText(HWND window)
{
    wchar_t text[128] = {};
    if (HMENU fresh = LoadMenuW(InstanceOf(window), WideFromUtf8(RES_MENU_MAIN).c_str())) {
        GetMenuStringW(fresh, IDM_UNDO, text, 128, MF_BYCOMMAND);
        DestroyMenu(fresh);
    }
    return text;
}

// The undo item reads "元に戻せません" while a change that could not be
// kept stands in the way, and its own text otherwise.
void NameUndoItem(HWND window, HMENU menu, bool lost)
{
    wchar_t shown[128] = {};
    GetMenuStringW(menu, IDM_UNDO, shown, 128, MF_BYCOMMAND);
    const std::wstring cannot = WideFromUtf8(ProgramText(Text::CantUndo));
    if ((shown == cannot) == lost)
        return;
    std::wstring text = lost ? cannot : UndoItemText(window);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = text.data();
    SetMenuItemInfoW(menu, IDM_UNDO, FALSE, &item);
}

void Enable(HMENU menu, UINT id, bool enabled)
{
    EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void UndoCommand(HWND window)
{
    MoveInHistory(window, HistoryUndo, HistoryRedo);
}

void RedoCommand(HWND window)
{
    MoveInHistory(window, HistoryRedo, HistoryUndo);
}

void ResizeCommand(HWND window)
{
    if (!MainDocument.isLoaded || !MainDocument.dib)
        return;
    DrawSelectionOutline(window, &Selection);
    ViewState.modalBusy = 1;
    ResizeParams size;
    const bool go = AskResize(window, MainDocument.width, MainDocument.height, &size);
    ViewState.modalBusy = 0;
    if (go) {
        WaitCursor busy;
        TakeNewPicture(window, ResizePicture(size, WorkDibPixels(MainDocument.dib), MainDocument.width,
                                             MainDocument.height, MainPhoto.alpha));
    }
    Repaint(window);
}

void CropCommand(HWND window)
{
    PictureRect rect;
    if (!CropRectangle(&rect))
        return;
    DrawSelectionOutline(window, &Selection);
    TakeNewPicture(window, CropPicture(rect, WorkDibPixels(MainDocument.dib), MainDocument.width,
                                       MainDocument.height, MainPhoto.alpha));
    Repaint(window);
}

void ShowEditCommandStates(HWND window)
{
    HMENU menu = GetMenu(window);
    if (!menu)
        return;
    const bool loaded = MainDocument.isLoaded != 0;
    PictureRect rect;
    Enable(menu, IDM_UNDO, loaded && HistoryCanUndo(PictureHistory));
    Enable(menu, IDM_REDO, loaded && HistoryCanRedo(PictureHistory));
    Enable(menu, IDM_RESIZE, loaded);
    Enable(menu, IDM_CROP, CropRectangle(&rect));
    NameUndoItem(window, menu, loaded && HistoryUndoLost(PictureHistory));
}

void ForgetHistoryOf(const ImageDocument* doc)
{
    if (doc != &MainDocument)
        return;
    HistoryRelease(&PictureHistory);
    // Unsaved changes stay unsaved with no step left to undo.
    if (doc->isModified)
        PictureHistory.saved = -1;
}

void MarkHistorySaved(const ImageDocument* doc)
{
    if (doc == &MainDocument)
        HistoryMarkSaved(&PictureHistory);
}
