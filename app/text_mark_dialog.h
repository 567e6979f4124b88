// The text watermark dialog: a text in any script, its font, height,
// softening and bevel, with the mark drawn as it changes.  Its OK opens the
// bump dialog with the mark as the watermark, where placement, light and
// preview work as for a watermark file.
#pragma once

#include "text/font_lookup.h"

#include "app/settings.h"
#include "image/image_document.h"
#include "text/text_failure.h"

#include <windows.h>

#include <string>

// The file and face index of a face name (the font dialog's, UTF-8) in a
// style among the installed fonts (the family's plainest face when it has
// none of that style).  An empty face asks for the first of Windows's
// Japanese fonts installed (Yu Gothic, Meiryo, MS Gothic), whose family
// then becomes *face.  Returns an outcome that is ok(), or why no file was
// found (NoFontAtAll, NoSuchFamily).
TextOutcome FindFaceFile(std::string* face, FaceStyle style, std::string* file, int* index);

// The parameters of the text code for the choice, text (placeholders
// filled) and the font file: those quillvane-cli text-mark takes with
// --font FILE --font-index N.
TextMarkParams TextMarkParamsOf(const TextMarkChoice& choice, const std::string& text, const std::string& fontFile,
                                int fontIndex);

// The bevel width the mark gets: the choice's, or while it is
// kTextBevelDefault the text marks' default for the choice's height.
int BevelWidthOf(const TextMarkChoice& choice);

// Makes *mark (released first) the watermark of text drawn in the font file
// at choice's height, bevelled and softened (BuildTextMark): the picture
// quillvane-cli text-mark makes from the same file and values.  Returns "" or, in the
// program's language, why it could not be made (*mark is then released).
std::string MakeTextMark(const TextMarkChoice& choice, const std::string& text, const std::string& fontFile,
                         int fontIndex, ImageDocument* mark);

// Runs the text watermark dialog owned by window, and after its OK the bump
// dialog with the mark.  true when the bump dialog ended with OK:
// WatermarkDocument is then the mark, to be applied with Remembered.bump.
// The dialog's values are remembered however it ends.
bool AskTextWatermark(HWND window);

// lParam: the dialog's state (see text_mark_dialog.cpp), given by
// AskTextWatermark.
INT_PTR CALLBACK TextMarkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
