#include "app/text_mark_dialog.h"

#include "app/bump_dialog.h"
#include "app/dialog_helpers.h"
#include "app/gdi_guards.h"
#include "app/messages.h"
#include "files/text_placeholders.h"
#include "platform/utf16.h"
#include "processing/bevel.h"
#include "resources/resource.h"
#include "text/font_lookup.h"
#include "text/text_mark.h"
#include "text/text_render.h"

#include <commdlg.h>

#include <algorithm>
#include <cwchar>

namespace {

// What one opening of the dialog works on.
struct TextMarkDialog {
    TextMarkChoice choice;   // the values shown; remembered when the dialog ends
    std::string fontFile;    // the face's file, when found
    int fontIndex = 0;
    TextOutcome fontProblem; // why the face has no file
    ImageDocument mark = {}; // the mark of the values shown; empty when it cannot be drawn
    bool settingUp = true;   // the boxes' own changes while they are filled
};

TextMarkDialog* StateOf(HWND dialog)
{
    return reinterpret_cast<TextMarkDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

std::string ControlTextUtf8(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8FromWide(text);
}

// The inside of the preview frame, in the dialog's client pixels.
RECT PreviewArea(HWND dialog)
{
    RECT area;
    GetWindowRect(GetDlgItem(dialog, IDC_TEXTMARK_PREVIEW), &area);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&area), 2);
    InflateRect(&area, -1, -1);
    return area;
}

// The mark scaled to fit the frame (never enlarged), centred on black.
void DrawMarkPreview(HWND dialog, HDC dc, const ImageDocument& mark)
{
    const RECT area = PreviewArea(dialog);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!mark.dib || mark.width <= 0 || mark.height <= 0)
        return;
    const double fit = std::min({1.0, static_cast<double>(area.right - area.left) / mark.width,
                                 static_cast<double>(area.bottom - area.top) / mark.height});
    const int w = std::max(1, static_cast<int>(mark.width * fit));
    const int h = std::max(1, static_cast<int>(mark.height * fit));
    const int x = area.left + (area.right - area.left - w) / 2;
    const int y = area.top + (area.bottom - area.top - h) / 2;
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, x, y, w, h, 0, 0, mark.width, mark.height, mark.dib + mark.bitsOffset, mark.bmi,
                  DIB_RGB_COLORS, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

void ShowFace(HWND dialog, const TextMarkDialog& state)
{
    SetControlText(dialog, IDC_TEXTMARK_FACE, state.choice.face.empty() ? TextMarkNoFontText() : state.choice.face);
}

void FindFont(TextMarkDialog* state)
{
    state->fontFile.clear();
    state->fontIndex = 0;
    state->fontProblem = FindFaceFile(&state->choice.face, {state->choice.bold, state->choice.italic},
                                      &state->fontFile, &state->fontIndex);
}

// Draws the mark of the values shown, its placeholders filled from the
// picture's file, says what it is or what is wrong, and lets OK go on only
// with a mark.
void Redraw(HWND dialog, TextMarkDialog* state)
{
    if (state->settingUp)
        return;
    ReleaseDocument(&state->mark);
    std::string problem = TextMarkProblemText(state->fontProblem);
    std::string text;
    if (problem.empty()) {
        const PlaceholderOutcome filled = FillTextPlaceholders(state->choice.text, MainDocument.path, &text);
        problem = PlaceholderBoxText(filled);
    }
    if (problem.empty())
        problem = MakeTextMark(state->choice, text, state->fontFile, state->fontIndex, &state->mark);
    const bool ready = problem.empty();
    SetControlText(dialog, IDC_TEXTMARK_MESSAGE,
                   ready ? TextMarkSizeText(state->mark.width, state->mark.height) : problem);
    EnableWindow(GetDlgItem(dialog, IDOK), ready ? TRUE : FALSE);
    const RECT area = PreviewArea(dialog);
    InvalidateRect(dialog, &area, FALSE);
}

void ShowBevel(HWND dialog, const TextMarkChoice& choice)
{
    int width = BevelWidthOf(choice);
    InitScrollTriple(dialog, IDC_TEXTMARK_BEVEL, IDC_TEXTMARK_BEVEL_TEXT, 0, &width, kBevelWidth.min,
                     kBevelWidth.max);
}

void OnTextMarkInit(HWND dialog, TextMarkDialog* state)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    CentreWindow(dialog);
    TextMarkChoice& choice = state->choice;
    SendDlgItemMessageW(dialog, IDC_TEXTMARK_TEXT, EM_LIMITTEXT, kTextMaxBytes, 0);
    SetControlText(dialog, IDC_TEXTMARK_TEXT, choice.text);
    SendDlgItemMessageW(dialog, IDC_TEXTMARK_HEIGHT, EM_LIMITTEXT, 4, 0);
    SetDlgItemInt(dialog, IDC_TEXTMARK_HEIGHT, static_cast<UINT>(std::max(choice.height, 0)), FALSE);
    InitScrollTriple(dialog, IDC_TEXTMARK_SOFTEN, IDC_TEXTMARK_SOFTEN_TEXT, 0, &choice.soften, 0, kTextSoftenMax);
    if (choice.bevel != kTextBevelDefault)
        choice.bevel = std::clamp(choice.bevel, kBevelWidth.min, kBevelWidth.max);
    ShowBevel(dialog, choice);
    FindFont(state);
    ShowFace(dialog, *state);
    state->settingUp = false;
    Redraw(dialog, state);
}

void OnChooseFont(HWND dialog, TextMarkDialog* state)
{
    LOGFONTW font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfHeight = -MulDiv(12, ScreenDpi(), 72);
    font.lfWeight = state->choice.bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = state->choice.italic ? TRUE : FALSE;
    const std::wstring face = WideFromUtf8(state->choice.face);
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    CHOOSEFONTW choose = {};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = dialog;
    choose.lpLogFont = &font;
    // Outline fonts only: the mark is drawn from the font's file by
    // FreeType, at any height.
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_SCALABLEONLY | CF_NOVERTFONTS;
    if (!ChooseFontW(&choose))
        return;
    state->choice.face = Utf8FromWide(font.lfFaceName);
    state->choice.bold = font.lfWeight >= FW_SEMIBOLD;
    state->choice.italic = font.lfItalic != 0;
    FindFont(state);
    ShowFace(dialog, *state);
    Redraw(dialog, state);
}

void OnHeightChanged(HWND dialog, TextMarkDialog* state)
{
    BOOL read = FALSE;
    const UINT height = GetDlgItemInt(dialog, IDC_TEXTMARK_HEIGHT, &read, FALSE);
    // An empty or unreadable box is a height out of range, and says so.
    state->choice.height = read ? static_cast<int>(height) : 0;
    if (state->choice.bevel == kTextBevelDefault)
        ShowBevel(dialog, state->choice);
    Redraw(dialog, state);
}

void OnTextMarkScroll(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    TextMarkDialog* state = StateOf(dialog);
    const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    if (id == IDC_TEXTMARK_SOFTEN) {
        ScrollTriple(dialog, id, IDC_TEXTMARK_SOFTEN_TEXT, 0, wParam, &state->choice.soften, 0, kTextSoftenMax);
    } else if (id == IDC_TEXTMARK_BEVEL) {
        // Once moved, the width no longer follows the height.
        int width = BevelWidthOf(state->choice);
        ScrollTriple(dialog, id, IDC_TEXTMARK_BEVEL_TEXT, 0, wParam, &width, kBevelWidth.min,
                     kBevelWidth.max);
        state->choice.bevel = width;
    } else {
        return;
    }
    Redraw(dialog, state);
}

void EndTextMarkDialog(HWND dialog, TextMarkDialog* state, int result)
{
    Remembered.textMark = state->choice;
    EndDialog(dialog, result);
}

bool OnTextMarkCommand(HWND dialog, WPARAM wParam)
{
    TextMarkDialog* state = StateOf(dialog);
    switch (LOWORD(wParam)) {
    case IDOK:
        if (state->mark.dib)
            EndTextMarkDialog(dialog, state, IDOK);
        return true;
    case IDCANCEL:
        EndTextMarkDialog(dialog, state, IDCANCEL);
        return true;
    case IDC_TEXTMARK_FONT:
        OnChooseFont(dialog, state);
        return true;
    case IDC_TEXTMARK_TEXT:
        if (HIWORD(wParam) != EN_CHANGE)
            return false;
        state->choice.text = ControlTextUtf8(dialog, IDC_TEXTMARK_TEXT);
        Redraw(dialog, state);
        return true;
    case IDC_TEXTMARK_HEIGHT:
        if (HIWORD(wParam) != EN_CHANGE)
            return false;
        OnHeightChanged(dialog, state);
        return true;
    default:
        return false;
    }
}

}  // namespace

TextOutcome FindFaceFile(std::string* face, FaceStyle style, std::string* file, int* index)
{
    TextOutcome problem;
    if (!face->empty()) {
        FindFamily(*face, file, index, &problem, style);
        return problem;
    }
    for (const char* family : kWindowsSansFamilies)
        if (FindFamily(family, file, index, &problem, style) == 0) {
            *face = family;
            return {};
        }
    return FailText(TextFailure::NoFontAtAll);
}

TextMarkParams TextMarkParamsOf(const TextMarkChoice& choice, const std::string& text, const std::string& fontFile,
                                int fontIndex)
{
    TextMarkParams params;
    params.text = text;
    params.font = fontFile;
    params.fontIndex = fontIndex;
    params.textHeight = choice.height;
    params.soften = choice.soften;
    params.bevel = choice.bevel;
    return params;
}

int BevelWidthOf(const TextMarkChoice& choice)
{
    return std::clamp(TextMarkBevel(TextMarkParamsOf(choice, {}, {}, 0)), kBevelWidth.min, kBevelWidth.max);
}

std::string MakeTextMark(const TextMarkChoice& choice, const std::string& text, const std::string& fontFile,
                         int fontIndex, ImageDocument* mark)
{
    ReleaseDocument(mark);
    const TextMarkParams params = TextMarkParamsOf(choice, text, fontFile, fontIndex);
    TextField field;
    const TextOutcome drawn = RenderTextField(params, &field);
    if (!drawn.ok())
        return TextMarkProblemText(drawn);
    if (BuildTextMark(field, params, mark) != TextMarkFailure::None) {
        ReleaseDocument(mark);
        return ProgramText(Text::OutOfMemory);
    }
    return {};
}

bool AskTextWatermark(HWND window)
{
    TextMarkDialog state;
    state.choice = Remembered.textMark;
    auto* instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    const INT_PTR result = DialogBoxParamW(instance, WideFromUtf8(RES_DLG_TEXTMARK).c_str(), window,
                                           TextMarkDialogProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK || !state.mark.dib) {
        ReleaseDocument(&state.mark);
        return false;
    }
    return RunBumpDialogWith(window, &state.mark) == IDOK;
}

INT_PTR CALLBACK TextMarkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        OnTextMarkInit(dialog, reinterpret_cast<TextMarkDialog*>(lParam));
        return TRUE;
    }
    // The messages of the dialog's making come before its state.
    if (!StateOf(dialog))
        return FALSE;
    switch (message) {
    case WM_PAINT: {
        PaintDC paint(dialog);
        DrawMarkPreview(dialog, paint.get(), StateOf(dialog)->mark);
        return TRUE;
    }
    case WM_HSCROLL:
        OnTextMarkScroll(dialog, wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        return OnTextMarkCommand(dialog, wParam) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}
