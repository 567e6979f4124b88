// The text watermark command through the main window's menu: a Japanese
// text typed into the dialog, its font chosen in the font dialog, OK, then
// OK in the bump dialog.  The mark must be the one the text code draws from
// the same font file (the tool's path), and the picture the bump of that
// mark with the same light, bit for bit.  The prefix's only Japanese font is
// the build machine's IPA Gothic (fonts-ipafont-gothic), which Wine lists
// among the installed fonts; none of Windows's own Japanese fonts is there.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"

#include "app/settings.h"
#include "app/text_mark_dialog.h"
#include "processing/bump.h"
#include "resources/resource.h"
#include "text/text_mark.h"
#include "text/text_render.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace wintest;
using namespace dlgtest;

namespace {

const char kIpaGothic[] = "Z:/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const char kDejaVuSansBold[] = "Z:/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kFontFaceCombo = 1136;   // cmb1 of the font dialog
constexpr int kFontStyleCombo = 1137;  // cmb2: its styles

// Types text into an edit as keys and the IME deliver it: one WM_CHAR for
// each UTF-16 unit, after the box's old text is selected.
void TypeWide(HWND dialog, int id, const std::wstring& text)
{
    HWND edit = GetDlgItem(dialog, id);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t unit : text)
        SendMessageW(edit, WM_CHAR, unit, 1);
}

// The mark as the tool makes it: drawn from the font file, then made a
// picture, bevelled and softened by the text code.
std::vector<BYTE> ToolMark(const std::string& text, int height, int soften, int bevel, ImageDocument* mark,
                           const char* font = kIpaGothic)
{
    TextMarkParams params;
    params.text = text;
    params.font = font;
    params.textHeight = height;
    params.soften = soften;
    params.bevel = bevel;
    TextField field;
    const TextOutcome drawn = RenderTextField(params, &field);
    EXPECT_TRUE(drawn.ok()) << static_cast<int>(drawn.failure);
    EXPECT_EQ(BuildTextMark(field, params, mark), TextMarkFailure::None);
    return apptest::DocBytes(*mark);
}

// The face of the font dialog's list that names IPA Gothic: Wine lists it
// under its Japanese name in a Japanese set-up.
int IpaGothicEntry(HWND fontDialog, std::wstring* name)
{
    for (const wchar_t* candidate : {L"IPAゴシック", L"IPAGothic"}) {
        const LRESULT at = SendDlgItemMessageW(fontDialog, kFontFaceCombo, CB_FINDSTRINGEXACT,
                                               static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(candidate));
        if (at != CB_ERR) {
            *name = candidate;
            return static_cast<int>(at);
        }
    }
    return -1;
}

class TextWatermark : public apptest::ProcessingWindowFixture {
protected:

    // The text watermark dialog from the menu: text typed at height 40 with
    // the softening and bevel given, a font picked in the font dialog, OK;
    // then the bump dialog answered by bump.  Returns the watermark the
    // bump dialog was given.
    std::vector<BYTE> MarkThroughDialogs(const std::wstring& text, int soften, int bevel,
                                         const std::function<void(HWND)>& pickFont,
                                         const std::function<void(HWND)>& bump)
    {
        std::vector<BYTE> watermark;
        DialogDriver driver;
        HWND textDialog = nullptr;
        driver.OnDialog(U8(u8"文字透かし"), [&](HWND dialog) {
            textDialog = dialog;
            TypeWide(dialog, IDC_TEXTMARK_TEXT, text);
            Type(dialog, IDC_TEXTMARK_HEIGHT, "40");
            ScrollBar(dialog, IDC_TEXTMARK_SOFTEN, SB_THUMBTRACK, soften);
            ScrollBar(dialog, IDC_TEXTMARK_BEVEL, SB_THUMBTRACK, bevel);
            PressButton(dialog, IDC_TEXTMARK_FONT);
        });
        driver.OnDialog("", [&](HWND fontDialog) {
            pickFont(fontDialog);
            PressButton(fontDialog, IDOK);
            // Queued after the font dialog's OK: the text dialog's, once the
            // mark in the new font is drawn.
            PressButton(textDialog, IDOK);
        });
        driver.OnDialog(U8(u8"バンプ設定"), [&](HWND dialog) {
            watermark = apptest::DocBytes(WatermarkDocument);
            bump(dialog);
        });
        SendMessageA(window_, WM_COMMAND, IDM_TEXTMARK, 0);
        EXPECT_EQ(driver.Problems(), "");
        return watermark;
    }
};

TEST_F(TextWatermark, JapaneseTextInAChosenFontStampsTheToolsMarkBitForBit)
{
    ASSERT_TRUE(OpenPicture(400, 300));
    const std::vector<BYTE> before = apptest::DocBytes(MainDocument);
    const std::wstring typed = L"透かし文字 © 2026";
    std::wstring chosenFace;
    const std::vector<BYTE> watermark = MarkThroughDialogs(
        typed, 2, 3,
        [&](HWND fontDialog) {
            const int entry = IpaGothicEntry(fontDialog, &chosenFace);
            EXPECT_GE(entry, 0) << "no IPA Gothic in the font dialog";
            if (entry >= 0)
                SelectComboEntry(fontDialog, kFontFaceCombo, entry);
        },
        [&](HWND dialog) {
            ClickButton(dialog, IDC_BUMP_REPEAT);
            ScrollBar(dialog, IDC_BUMP_AMPLIFY, SB_THUMBTRACK, 300);
            // A light from the upper left, inside the light circle.
            const RECT light = DialogRect(dialog, 45, 40, 46, 41);
            ClickAt(dialog, {light.left, light.top});
            PressButton(dialog, IDOK);
        });
    const std::string text = WideToUtf8(typed);
    const TextMarkChoice& kept = Remembered.textMark;
    EXPECT_EQ(kept.text, text);
    EXPECT_EQ(WideToUtf8(chosenFace), kept.face);
    EXPECT_EQ(kept.height, 40);
    EXPECT_EQ(kept.soften, 2);
    EXPECT_EQ(kept.bevel, 3);

    // The mark: the text code's, from the font file itself.
    ImageDocument mark = {};
    const std::vector<BYTE> expectedMark = ToolMark(text, 40, 2, 3, &mark);
    ASSERT_FALSE(expectedMark.empty());
    EXPECT_TRUE(watermark == expectedMark) << "the dialog's mark is not the text code's";

    // The picture: the bump of that mark over the picture with the light
    // and placement the bump dialog kept.
    ASSERT_EQ(Remembered.bump.layout.repeatTile, true);
    std::vector<BYTE> picture = before;
    ImageDocument expected = {};
    expected.dib = picture.data();
    expected.bmi = reinterpret_cast<BITMAPINFO*>(picture.data());
    expected.bitsOffset = kWorkDibHeaderBytes;
    expected.width = 400;
    expected.height = 300;
    ASSERT_EQ(ApplyBump(Remembered.bump, &mark, &expected), Failure::None);
    ReleaseDocument(&mark);
    EXPECT_EQ(MainDocument.isModified, 1);
    EXPECT_FALSE(apptest::DocBytes(MainDocument) == before) << "the mark left no relief";
    EXPECT_TRUE(apptest::DocBytes(MainDocument) == picture) << "the picture is not the bump of the tool's mark";
}

// The entry of the font dialog's style list that is bold and upright, in
// English or Japanese.
int BoldStyleEntry(HWND fontDialog)
{
    const LRESULT count = SendDlgItemMessageW(fontDialog, kFontStyleCombo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t name[64] = {};
        if (SendDlgItemMessageW(fontDialog, kFontStyleCombo, CB_GETLBTEXTLEN, i, 0) >= 64)
            continue;
        SendDlgItemMessageW(fontDialog, kFontStyleCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
        const std::wstring style = name;
        const bool bold = style.find(L"Bold") != std::wstring::npos || style.find(L"太字") != std::wstring::npos;
        const bool slanted = style.find(L"Italic") != std::wstring::npos || style.find(L"Oblique") != std::wstring::npos ||
                             style.find(L"斜体") != std::wstring::npos;
        if (bold && !slanted)
            return i;
    }
    return -1;
}

// Bold chosen in the font dialog draws the mark from the family's bold
// face, and is remembered.
TEST_F(TextWatermark, ABoldStyleDrawsFromTheBoldFace)
{
    ASSERT_TRUE(OpenPicture(200, 150));
    const std::vector<BYTE> watermark = MarkThroughDialogs(
        L"Bold 2026", 0, 3,
        [](HWND fontDialog) {
            const LRESULT face = SendDlgItemMessageW(fontDialog, kFontFaceCombo, CB_FINDSTRINGEXACT,
                                                     static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"DejaVu Sans"));
            EXPECT_NE(face, CB_ERR) << "no DejaVu Sans in the font dialog";
            if (face != CB_ERR)
                SelectComboEntry(fontDialog, kFontFaceCombo, static_cast<int>(face));
            const int bold = BoldStyleEntry(fontDialog);
            EXPECT_GE(bold, 0) << "no bold style for DejaVu Sans";
            if (bold >= 0)
                SelectComboEntry(fontDialog, kFontStyleCombo, bold);
        },
        [](HWND dialog) { PressButton(dialog, IDCANCEL); });
    EXPECT_EQ(Remembered.textMark.face, "DejaVu Sans");
    EXPECT_TRUE(Remembered.textMark.bold);
    EXPECT_FALSE(Remembered.textMark.italic);
    ImageDocument mark = {};
    const std::vector<BYTE> expected = ToolMark("Bold 2026", 40, 0, 3, &mark, kDejaVuSansBold);
    ReleaseDocument(&mark);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(watermark == expected) << "the mark is not drawn from DejaVu Sans Bold";
}

// Each opening shows what is wrong under the preview and lets OK go on only
// with a mark, whose placeholders are filled from the picture's file; the
// values come back at the next opening; Cancel leaves the picture as it
// was.
TEST_F(TextWatermark, ProblemsShowInTheDialogAndOkWaitsForAMark)
{
    ASSERT_TRUE(OpenPicture(200, 150));
    const std::vector<BYTE> before = apptest::DocBytes(MainDocument);
    const struct {
        const char* face;
        const char8_t* text;
        int height;
        const char8_t* message;  // nullptr: a mark, its size shown
        const char8_t* drawn = u8"";  // with a mark: the text it shows, placeholders filled
    } cases[] = {
        {"IPAGothic", u8"", 64, u8"透かしにする文字を入力してください。"},
        {"IPAGothic", u8"山", 4, u8"文字の高さは8～2048ピクセルです。"},
        {"No Such Face Anywhere", u8"山", 64, u8"フォント「No Such Face Anywhere」のファイルが見つかりません。"},
        {"DejaVu Sans", u8"A山", 64, u8"フォント「DejaVu Sans」には'山' (U+5C71)の字形がありません。"},
        {"", u8"山", 64, u8"日本語のフォント（Yu Gothic、Meiryo、MS Gothic）がありません。フォントを選んでください。"},
        {"IPAGothic", u8"{nope}", 64, u8"不明なプレースホルダーです。\n{nope}"},
        {"IPAGothic", u8"山田", 64, nullptr, u8"山田"},
        // Filled from the open picture's file.
        {"IPAGothic", u8"© {filename}", 32, nullptr, u8"© picture-1-200x150"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.text) + " in " + c.face);
        Remembered.textMark = TextMarkChoice{};
        Remembered.textMark.face = c.face;
        Remembered.textMark.text = U8(c.text);
        Remembered.textMark.height = c.height;
        DialogDriver driver;
        driver.OnDialog(U8(u8"文字透かし"), [&](HWND dialog) {
            EXPECT_EQ(Text(dialog, IDC_TEXTMARK_TEXT), U8(c.text));
            EXPECT_EQ(Text(dialog, IDC_TEXTMARK_HEIGHT), std::to_string(c.height));
            EXPECT_EQ(Text(dialog, IDC_TEXTMARK_FACE), *c.face ? std::string(c.face) : U8(u8"（フォントなし）"));
            // The bevel follows the height until it is moved.
            EXPECT_EQ(Text(dialog, IDC_TEXTMARK_BEVEL_TEXT), Num(DefaultTextBevel(c.height)));
            EXPECT_EQ(IsEnabled(dialog, IDOK), c.message == nullptr);
            if (c.message) {
                EXPECT_EQ(Text(dialog, IDC_TEXTMARK_MESSAGE), U8(c.message));
                // OK without a mark does nothing.
                SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                EXPECT_TRUE(IsWindow(dialog));
            } else {
                ImageDocument mark = {};
                ToolMark(U8(c.drawn), c.height, 0, kTextBevelDefault, &mark);
                ASSERT_GT(mark.width, 0);
                EXPECT_EQ(Text(dialog, IDC_TEXTMARK_MESSAGE), std::to_string(mark.width) + U8(u8" × ") +
                                                                  std::to_string(mark.height) + U8(u8" ピクセル"));
                ReleaseDocument(&mark);
                // The preview shows white letters on black in its frame.
                Redraw(dialog);
                RECT frame;
                GetWindowRect(GetDlgItem(dialog, IDC_TEXTMARK_PREVIEW), &frame);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&frame), 2);
                HDC dc = GetDC(dialog);
                int white = 0;
                int black = 0;
                for (int y = frame.top + 2; y < frame.bottom - 2; y += 2)
                    for (int x = frame.left + 2; x < frame.right - 2; x += 2) {
                        const COLORREF pixel = GetPixel(dc, x, y);
                        white += GetGValue(pixel) > 100;
                        black += pixel == RGB(0, 0, 0);
                    }
                ReleaseDC(dialog, dc);
                EXPECT_GT(white, 10);
                EXPECT_GT(black, white);
            }
            PressButton(dialog, IDCANCEL);
        });
        SendMessageA(window_, WM_COMMAND, IDM_TEXTMARK, 0);
        EXPECT_EQ(driver.Problems(), "");
        EXPECT_EQ(Remembered.textMark.text, U8(c.text));
        EXPECT_EQ(Remembered.textMark.height, c.height);
        EXPECT_TRUE(apptest::DocBytes(MainDocument) == before);
        EXPECT_EQ(MainDocument.isModified, 0);
    }
}

}  // namespace
