// The edit menu (undo, redo) and the commands that give the picture a new
// size (resize, crop to the selection), on the picture's history.
#pragma once

#include "image/history.h"
#include "image/image_document.h"

#include <windows.h>

// The history of MainDocument and MainPhoto's alpha plane.
extern EditHistory PictureHistory;

// Undo and redo: the picture as it was before the last change, or again
// after it.  A change of size shows as a new picture does (the window's
// size, the selection cleared).
void UndoCommand(HWND window);
void RedoCommand(HWND window);

// The resize dialog, then the whole picture resized (a selection is
// cleared); an engine without memory says so and leaves the picture alone.
void ResizeCommand(HWND window);
// The picture cut to the selection (clipped to the picture).
void CropCommand(HWND window);

// Grays and names the items of these commands as the picture, the
// selection and the history allow: every one needs a picture; undo and
// redo a step (undo reads "元に戻せません" when a change could not be kept);
// crop a selection that holds some of the picture.
void ShowEditCommandStates(HWND window);

// doc's history goes (before another picture is read into it, after it
// was read, or when it is let go); the picture counts as saved unless doc
// is modified.  Nothing for a document other than MainDocument.
void ForgetHistoryOf(const ImageDocument* doc);
// doc reached its file: the history counts the picture as it is as saved.
void MarkHistorySaved(const ImageDocument* doc);
