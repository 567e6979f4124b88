#include "app/selection.h"

#include "app/gdi_guards.h"
#include "app/main_window.h"

#include <algorithm>

SelectionRect Selection = {};
int hitCode = 0;
int prevMouseX = 0;
int prevMouseY = 0;

namespace {

struct Zone {
    int code;
    int x1, y1, x2, y2;  // from (x1, y1) inclusive to (x2, y2) exclusive
};

bool Contains(const Zone& z, int x, int y)
{
    return x >= z.x1 && x < z.x2 && y >= z.y1 && y < z.y2;
}

bool InsideClient(HWND window, int x, int y)
{
    RECT client;
    GetClientRect(window, &client);
    const POINT p = {x, y};
    return PtInRect(&client, p) != FALSE;
}

}  // namespace

PictureRect SelectionInPicture(const SelectionRect& selection, const ViewStateRecord& view)
{
    return {selection.left - view.imageOffsetX + view.scrolledX, selection.top - view.imageOffsetY + view.scrolledY,
            selection.right - view.imageOffsetX + view.scrolledX,
            selection.bottom - view.imageOffsetY + view.scrolledY};
}

bool SelectionDegenerate(const SelectionRect* selection)
{
    return selection->left == selection->right || selection->top == selection->bottom;
}

void DrawSelectionOutline(HWND window, const SelectionRect* selection)
{
    if (SelectionDegenerate(selection) || ViewState.modalBusy != 0)
        return;
    WindowDC dc(window);
    if (!dc)
        return;
    GdiObject<HPEN> pen(CreatePen(PS_DOT, 1, RGB(128, 128, 128)));
    SelectObjectGuard penIn(dc.get(), pen.get());
    SelectObjectGuard brushIn(dc.get(), GetStockObject(NULL_BRUSH));
    Rop2Guard xorMode(dc.get(), R2_XORPEN);
    Rectangle(dc.get(), selection->left, selection->top, selection->right, selection->bottom);
}

void SetHitCursor(int code)
{
    LPCSTR cursor = IDC_CROSS;
    switch (code) {
    case 1:
        cursor = IDC_SIZEALL;
        break;
    case 2:
    case 3:
        cursor = IDC_SIZENWSE;
        break;
    case 4:
    case 5:
        cursor = IDC_SIZENESW;
        break;
    case 6:
    case 7:
        cursor = IDC_SIZENS;
        break;
    case 8:
    case 9:
        cursor = IDC_SIZEWE;
        break;
    default:
        break;
    }
    SetCursor(LoadCursorA(nullptr, cursor));
}

int HitZoneAt(const SelectionRect* s, int x, int y)
{
    const int L = s->left, T = s->top, R = s->right, B = s->bottom;
    const Zone zones[] = {
        {1, L + 2, T + 2, R - 2, B - 2}, {2, L - 2, T - 2, L + 2, T + 2}, {3, R - 2, B - 2, R + 2, B + 2},
        {4, R - 2, T - 2, R + 2, T + 2}, {5, L - 2, B - 2, L + 2, B + 2}, {6, L + 2, T - 2, R - 2, T + 2},
        {7, L + 2, B - 2, R - 2, B + 2}, {8, L - 2, T + 2, L + 2, B - 2}, {9, R - 2, T + 2, R + 2, B - 2},
    };
    int code = 0;
    for (const Zone& z : zones)
        if (Contains(z, x, y))
            code = z.code;
    return code;
}

void HitTestSelection(HWND window, SelectionRect* selection)
{
    if (SelectionDegenerate(selection))
        return;
    hitCode = 0;
    if (InsideClient(window, selection->mouseX, selection->mouseY) && selection->active == 1) {
        hitCode = HitZoneAt(selection, selection->mouseX, selection->mouseY);
        SetHitCursor(hitCode);
    }
}

void ExtendRubberBand(HWND window, SelectionRect* selection)
{
    SetCursor(LoadCursorA(nullptr, IDC_CROSS));
    if (!InsideClient(window, selection->mouseX, selection->mouseY)) {
        RECT client;
        GetClientRect(window, &client);
        selection->mouseX = std::min(std::max(selection->mouseX, LONG{0}), client.right);
        selection->mouseY = std::min(std::max(selection->mouseY, LONG{0}), client.bottom);
    }
    DrawSelectionOutline(window, selection);
    selection->right = selection->mouseX;
    selection->bottom = selection->mouseY;
    DrawSelectionOutline(window, selection);
}

void MoveOrResizeSelection(int code, HWND window, SelectionRect* s)
{
    DrawSelectionOutline(window, s);
    const LONG dx = s->mouseX - prevMouseX;
    const LONG dy = s->mouseY - prevMouseY;
    switch (code) {
    case 1:
        s->left += dx;
        s->right += dx;
        s->top += dy;
        s->bottom += dy;
        SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
        break;
    case 2:
        s->left += dx;
        s->top += dy;
        break;
    case 3:
        s->right += dx;
        s->bottom += dy;
        break;
    case 4:
        s->top += dy;
        s->right += dx;
        break;
    case 5:
        s->left += dx;
        s->bottom += dy;
        break;
    case 6:
        s->top += dy;
        break;
    case 7:
        s->bottom += dy;
        break;
    case 8:
        s->left += dx;
        break;
    case 9:
        s->right += dx;
        break;
    default:
        break;
    }
    DrawSelectionOutline(window, s);
}

void CheckPressInsideSelection(HWND window, SelectionRect* s)
{
    const bool inside = s->mouseX >= s->left - 2 && s->mouseX < s->right + 2 && s->mouseY >= s->top - 2 &&
                        s->mouseY < s->bottom + 2;
    if (inside)
        return;
    DrawSelectionOutline(window, s);
    s->left = s->right = s->mouseX;
    s->top = s->bottom = s->mouseY;
    hitCode = 0;
}

void OrderPair(LONG* a, LONG* b)
{
    if (*b < *a) {
        const LONG t = *a;
        *a = *b;
        *b = t;
    }
}

void ClearSelection()
{
    Selection.left = Selection.top = Selection.right = Selection.bottom = 0;
    Selection.active = 0;
    Selection.dragging = 0;
}

void OnSelectionButtonDown(HWND window, LPARAM lParam)
{
    SetCapture(window);
    Selection.mouseX = prevMouseX = LOWORD(lParam);
    Selection.mouseY = prevMouseY = HIWORD(lParam);
    Selection.dragging = 1;
    if (!SelectionDegenerate(&Selection) && hitCode != 0) {
        // A press on a handle zone moves or resizes the rectangle.
        SetHitCursor(hitCode);
        CheckPressInsideSelection(window, &Selection);
        return;
    }
    DrawSelectionOutline(window, &Selection);
    Selection.left = Selection.right = Selection.mouseX;
    Selection.top = Selection.bottom = Selection.mouseY;
    ExtendRubberBand(window, &Selection);
    Selection.active = 0;
}

void OnSelectionMouseMove(HWND window)
{
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(window, &p);
    Selection.mouseX = p.x;
    Selection.mouseY = p.y;
    if (Selection.dragging) {
        if (Selection.active == 0) {
            ExtendRubberBand(window, &Selection);
        } else {
            SetHitCursor(hitCode);
            MoveOrResizeSelection(hitCode, window, &Selection);
        }
        prevMouseX = Selection.mouseX;
        prevMouseY = Selection.mouseY;
    }
    HitTestSelection(window, &Selection);
}

void OnSelectionButtonUp(HWND window, LPARAM lParam)
{
    Selection.dragging = 0;
    SetHitCursor(hitCode);
    OrderPair(&Selection.left, &Selection.right);
    OrderPair(&Selection.top, &Selection.bottom);
    Selection.mouseX = LOWORD(lParam);
    Selection.mouseY = HIWORD(lParam);
    HitTestSelection(window, &Selection);
    ReleaseCapture();
    Selection.active = (Selection.left != Selection.right && Selection.top != Selection.bottom) ? 1 : 0;
}
