// The rubber-band selection: drawn as a dotted XOR outline, moved by
// dragging its inside and resized by eight handle zones.
#pragma once

#include "app/main_window.h"
#include "image/region_swap.h"

#include <windows.h>

// The rubber-band rectangle in client coordinates; active = 1 confines
// processing to it.  Coordinates are normalised (left <= right, top <= bottom).
struct SelectionRect {
    LONG dragging;
    LONG active;
    LONG mouseX;
    LONG mouseY;
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

extern SelectionRect Selection;

// The selection in picture pixels: its client coordinates less the
// picture's offset in the view, plus the view's scroll position.
PictureRect SelectionInPicture(const SelectionRect& selection, const ViewStateRecord& view);
extern int hitCode;  // 0..9: the handle zone under the mouse
extern int prevMouseX;
extern int prevMouseY;

bool SelectionDegenerate(const SelectionRect* selection);
void DrawSelectionOutline(HWND window, const SelectionRect* selection);
void SetHitCursor(int code);
// The zone code of a point against a rectangle, in the order of testing
// (a later zone overrides an earlier one); 0 for none.
int HitZoneAt(const SelectionRect* selection, int x, int y);
void HitTestSelection(HWND window, SelectionRect* selection);
void ExtendRubberBand(HWND window, SelectionRect* selection);
void MoveOrResizeSelection(int code, HWND window, SelectionRect* selection);
void CheckPressInsideSelection(HWND window, SelectionRect* selection);
void OrderPair(LONG* a, LONG* b);
void ClearSelection();

// Mouse message handlers of the main window.
void OnSelectionButtonDown(HWND window, LPARAM lParam);
void OnSelectionMouseMove(HWND window);
void OnSelectionButtonUp(HWND window, LPARAM lParam);
