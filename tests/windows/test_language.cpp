// The program's language and its manifest: QUILLVANE_LANG (or else the
// user's Windows) picks the Japanese or the English menu and dialogs, the
// Japanese exactly as they have always been and the English with the same
// controls; both programs carry a manifest that makes them DPI-aware and
// gives them common controls 6.
#include "support/app_fixture.h"

#include "app/language.h"
#include "app/main_window.h"
#include "app/print.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using namespace wintest;
using namespace apptest;

namespace {

std::vector<std::string> Utf8s(std::initializer_list<const char8_t*> texts)
{
    std::vector<std::string> out;
    for (const char8_t* text : texts)
        out.push_back(U8(text));
    return out;
}

struct DialogTexts {
    const char* name;
    const char8_t* caption;
    // The texts of the controls that have one, in template order.
    std::vector<std::string> texts;
};

struct LanguageTexts {
    // Each menu bar item, then its items ("" for a separator).
    std::vector<std::string> menu;
    std::vector<DialogTexts> dialogs;
};

const LanguageTexts& JapaneseTexts()
{
    static const LanguageTexts texts = {
        Utf8s({u8"ファイル(&F)", u8"ファイルの読み込み(&O)", u8"ファイルの書き込み(&S)", u8"", u8"ページ設定(&G)",
               u8"印刷(&P)", u8"", u8"一括処理(&B)…", u8"", u8"終了(&X)", u8"編集(&E)", u8"元に戻す(&U)\tCtrl+Z", u8"やり直し(&R)\tCtrl+Y",
               u8"画像加工(&K)", u8"バンプ設定(&B)", u8"フィルター(&T)", u8"画像効果(&E)", u8"",
               u8"画像サイズ変更(&R)…", u8"選択範囲で切り抜き(&C)", u8"文字透かし(&W)…", u8"色調整(&A)", u8"YSH調整(&Y)"}),
        {
            {RES_DLG_BUMP, u8"バンプ設定",
             Utf8s({u8"OK", u8"ｷｬﾝｾﾙ", u8"光源の方向", u8"X:", u8"Y:", u8"Z:", u8"強度:",
                    u8"  1     バンプの強さ     200", u8"増幅:", u8"  0     バンプの増幅    800", u8"明度:",
                    u8"  1     周囲の明るさ     100", u8"プレビュー", u8"Ｙ：", u8"透かし画像(左上) Ｘ：",
                    u8"透かし画像を選択", u8"縦横比維持", u8"拡大しない。", u8"繰り返す。",
                    u8"透かし画像の縦・横が背景より小さい時"})},
            {RES_DLG_FILTER, u8"フィルター",
             Utf8s({u8"OK", u8"ｷｬﾝｾﾙ", u8"シャープ", u8"ソ フ ト", u8"カラー  エンボス", u8"カスタム", u8"弱", u8"強",
                    u8"0", u8"10", u8"弱", u8"強", u8"0", u8"10", u8"弱", u8"強", u8"0", u8"10", u8"※許容値:-9～9",
                    u8"弱", u8"強", u8"0", u8"10", u8"カスタム強度:"})},
            {RES_DLG_EFFECT, u8"画像効果",
             Utf8s({u8"OK", u8"ｷｬﾝｾﾙ", u8"ネ　　ガ：階調を反転する", u8"ポスター：近似色を一色にする",
                    u8"ソ ラ リ：ネガとポジの混合", u8"２ 値 化：ハイコントラスト", u8"種類", u8"  8階調", u8" 16階調",
                    u8" 32階調", u8" 64階調", u8"128階調", u8"階調幅", u8"コントラスト補正", u8"下限", u8"上限",
                    u8"元画像", u8"濃度範囲", u8"R範囲", u8"～", u8"～", u8"G範囲", u8"～", u8"～", u8"B範囲", u8"～",
                    u8"～", u8"0                       255", u8"0                       255", u8"濃度補正",
                    u8"プレビュー"})},
            {RES_DLG_YSH, u8"YSH色調整",
             Utf8s({u8"輝度", u8"-100％", u8"0％", u8"100％", u8"彩度", u8"-100％", u8"0％", u8"100％", u8"色相",
                    u8"-180度", u8"0度", u8"180度", u8"プレビュー", u8"CMYKカラー",
                    u8"参考：紙質などで色調は変わりますので", u8"参考程度です。", u8"OK", u8"ｷｬﾝｾﾙ"})},
            {RES_DLG_JPEG, u8"Jpeg保存ファイル設定",
             Utf8s({u8"画質", u8"低", u8"中", u8"高", u8"プログレッシブ", u8"OK", u8"ｷｬﾝｾﾙ", u8"メタデータ", u8"すべて残す",
                    u8"位置情報以外を残す", u8"残さない"})},
            {RES_DLG_COLORDEPTH, u8"BMP保存ファイル設定",
             Utf8s({u8"OK", u8"ｷｬﾝｾﾙ", u8"16ビットカラー", u8"24ビットカラー", u8"32ビットカラー"})},
            {RES_DLG_PRINTABORT, u8"印刷中止",
             Utf8s({u8"画像を印刷しています。", u8"中止するときは「ｷｬﾝｾﾙ」を押してください。", u8"ｷｬﾝｾﾙ"})},
            {RES_DLG_RESIZE, u8"画像サイズ変更",
             Utf8s({u8"OK", u8"ｷｬﾝｾﾙ", u8"長辺のピクセル数(&L)", u8"幅と高さに収める(&F)", u8"×", u8"倍率 ％(&P)",
                    u8"現在のサイズ:", u8"変更後のサイズ:"})},
        }};
    return texts;
}

const LanguageTexts& EnglishTexts()
{
    static const LanguageTexts texts = {
        Utf8s({u8"&File", u8"&Open...", u8"&Save As...", u8"", u8"Pa&ge Setup...", u8"&Print...", u8"",
               u8"&Batch...", u8"", u8"E&xit",
               u8"&Edit", u8"&Undo\tCtrl+Z", u8"&Redo\tCtrl+Y", u8"&Image", u8"&Bump Settings...", u8"Fil&ters...",
               u8"&Effects...", u8"", u8"Re&size...", u8"&Crop to Selection", u8"Text &Watermark...", u8"&Color", u8"&YSH Adjustment..."}),
        {
            {RES_DLG_BUMP, u8"Bump Settings",
             Utf8s({u8"OK", u8"Cancel", u8"Light", u8"X:", u8"Y:", u8"Z:", u8"Strength:", u8"1 to 200", u8"Amplify:",
                    u8"0 to 800", u8"Ambient:", u8"1 to 100", u8"Preview", u8"Y:", u8"Position X:", u8"Watermark...",
                    u8"Keep aspect", u8"Don't enlarge", u8"Tile", u8"When smaller than the picture"})},
            {RES_DLG_FILTER, u8"Filters",
             Utf8s({u8"OK", u8"Cancel", u8"Sharpen", u8"Soften", u8"Emboss", u8"Custom", u8"-", u8"+", u8"0", u8"10",
                    u8"-", u8"+", u8"0", u8"10", u8"-", u8"+", u8"0", u8"10", u8"Allowed: -9 to 9", u8"-", u8"+", u8"0",
                    u8"10", u8"Strength:"})},
            {RES_DLG_EFFECT, u8"Image Effects",
             Utf8s({u8"OK", u8"Cancel", u8"Negative: invert the tones", u8"Posterize: fewer colors",
                    u8"Solarize: partly negative", u8"Threshold: high contrast", u8"Effect", u8"8", u8"16", u8"32",
                    u8"64", u8"128", u8"Levels", u8"Contrast correction", u8"Lower", u8"Upper", u8"Original", u8"range",
                    u8"R:", u8"-", u8"-", u8"G:", u8"-", u8"-", u8"B:", u8"-", u8"-", u8"0                       255",
                    u8"0                       255", u8"Tone correction", u8"Preview"})},
            {RES_DLG_YSH, u8"YSH Color Adjustment",
             Utf8s({u8"Luminance", u8"-100%", u8"0%", u8"100%", u8"Saturation", u8"-100%", u8"0%", u8"100%", u8"Hue",
                    u8"-180°", u8"0°", u8"180°", u8"Preview", u8"CMYK color", u8"Note: colors vary with the paper,",
                    u8"so treat this as a guide.", u8"OK", u8"Cancel"})},
            {RES_DLG_JPEG, u8"JPEG Save Settings",
             Utf8s({u8"Quality", u8"Low", u8"Medium", u8"High", u8"Progressive", u8"OK", u8"Cancel", u8"Metadata", u8"Keep all",
                    u8"Keep all but the location", u8"Keep none"})},
            {RES_DLG_COLORDEPTH, u8"BMP Save Settings",
             Utf8s({u8"OK", u8"Cancel", u8"16-bit color", u8"24-bit color", u8"32-bit color"})},
            {RES_DLG_PRINTABORT, u8"Printing",
             Utf8s({u8"Printing the picture.", u8"Click Cancel to stop printing.", u8"Cancel"})},
            {RES_DLG_RESIZE, u8"Resize Picture",
             Utf8s({u8"OK", u8"Cancel", u8"&Long edge (pixels)", u8"&Fit inside W x H", u8"×", u8"&Percent",
                    u8"Current size:", u8"New size:"})},
        }};
    return texts;
}

// While alive: QUILLVANE_LANG holds setting (unset for null) and this
// thread uses the language decided from it afresh.  Afterwards the
// variable, the decision and the thread's languages are as before.
class LanguageSetting {
public:
    explicit LanguageSetting(const wchar_t* setting)
    {
        wchar_t value[64] = {};
        const DWORD length = GetEnvironmentVariableW(kName, value, 64);
        if (length > 0 && length < 64)
            previous_ = value;
        SetEnvironmentVariableW(kName, setting);
        ForgetProgramLanguage();
        UseProgramLanguage(GetModuleHandleA(nullptr));
    }
    ~LanguageSetting()
    {
        SetEnvironmentVariableW(kName, previous_ ? previous_->c_str() : nullptr);
        ForgetProgramLanguage();
        SetThreadUILanguage(uiLanguage_);
        SetThreadLocale(locale_);
    }
    LanguageSetting(const LanguageSetting&) = delete;
    LanguageSetting& operator=(const LanguageSetting&) = delete;

private:
    static constexpr const wchar_t* kName = L"QUILLVANE_LANG";
    std::optional<std::wstring> previous_;
    LANGID uiLanguage_ = GetThreadUILanguage();
    LCID locale_ = GetThreadLocale();
};

std::string TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return WideToUtf8(text);
}

// The main menu as the main window shows it.
std::vector<std::string> MainWindowMenu(std::vector<UINT>* ids)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(instance, kMainWindowClass, &existing)) {
        EXPECT_EQ(RegisterMainWindowClass(instance), 0);
    }
    HWND window = CreateMainWindow(instance, SW_SHOWNOACTIVATE);
    EXPECT_NE(window, nullptr);
    std::vector<std::string> texts;
    const HMENU bar = GetMenu(window);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(bar, i, text, 128, MF_BYPOSITION);
        texts.push_back(WideToUtf8(text));
        const HMENU popup = GetSubMenu(bar, i);
        for (int j = 0; j < GetMenuItemCount(popup); ++j) {
            wchar_t item[128] = {};
            GetMenuStringW(popup, j, item, 128, MF_BYPOSITION);
            texts.push_back(WideToUtf8(item));
            ids->push_back(GetMenuItemID(popup, j));
        }
    }
    DestroyWindow(window);
    ReleasePrintSettings();
    ResetProgramState();
    PumpFor(10);
    TakeQuitMessage();
    return texts;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// How a control is made, which both languages share: id, class and style.
struct ControlShape {
    int id;
    std::string className;
    LONG style;
    bool operator==(const ControlShape&) const = default;
};

// Whether a control has room for its whole text on one line in its own
// font (the check box or radio circle and a push button's edges take
// their part).
::testing::AssertionResult ShowsWholeText(HWND control)
{
    wchar_t text[256] = {};
    const int length = GetWindowTextW(control, text, 256);
    if (length == 0)
        return ::testing::AssertionSuccess();
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed = {};
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const bool isButton = ClassName(control) == "Button";
    DrawTextW(dc, text, length, &needed, DT_CALCRECT | DT_SINGLELINE | (isButton ? 0 : DT_NOPREFIX));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT client = {};
    GetClientRect(control, &client);
    int room = client.right;
    if (isButton) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON)
            room -= 13 + 6;
        else if (type == BS_GROUPBOX)
            room -= 2 * 8;
        else
            room -= 2 * 4;
    }
    if (needed.right <= room)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << WideToUtf8(text) << "\" needs " << needed.right << " pixels, has "
                                         << room;
}

// Opens a dialog template as the program does (by name, from the module)
// and reads its caption and controls.
struct DialogSeen {
    std::string caption;
    std::vector<std::string> texts;
    std::vector<ControlShape> shapes;
    RECT units = {};  // 400 x 800 dialog units in pixels
};
DialogSeen OpenDialog(const char* name, bool checkRoom)
{
    DialogSeen seen;
    HWND dialog = CreateDialogParamW(GetModuleHandleA(nullptr), Utf8ToWide(name).c_str(), nullptr, QuietDialogProc, 0);
    EXPECT_NE(dialog, nullptr) << name;
    if (!dialog)
        return seen;
    seen.caption = TextOf(dialog);
    seen.units = {0, 0, 400, 800};
    MapDialogRect(dialog, &seen.units);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        const std::string text = TextOf(control);
        if (!text.empty())
            seen.texts.push_back(text);
        seen.shapes.push_back({GetDlgCtrlID(control), ClassName(control), GetWindowLongW(control, GWL_STYLE)});
        if (checkRoom) {
            EXPECT_TRUE(ShowsWholeText(control)) << name;
        }
    }
    DestroyWindow(dialog);
    return seen;
}

struct LanguageCase {
    const wchar_t* setting;
    UiLanguage expected;
};

TEST(Language, MenuAndDialogsComeInTheLanguageChosenWithTheSameControls)
{
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_JAPANESE)
        << "the Windows tests run in a Japanese Wine (scripts/wine-run.sh)";
    const LanguageCase cases[] = {
        {L"ja", UiLanguage::Japanese}, {L"en", UiLanguage::English}, {L"EN", UiLanguage::English},
        // Not set, or set to something else: the user's language.
        {nullptr, UiLanguage::Japanese}, {L"fr", UiLanguage::Japanese}, {L"english", UiLanguage::Japanese},
    };
    std::vector<UINT> japaneseIds;
    std::vector<DialogSeen> japaneseDialogs;
    {
        LanguageSetting japanese(L"ja");
        MainWindowMenu(&japaneseIds);
        for (const DialogTexts& dialog : JapaneseTexts().dialogs)
            japaneseDialogs.push_back(OpenDialog(dialog.name, false));
    }
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE(c.setting ? WideToUtf8(c.setting) : "QUILLVANE_LANG not set");
        LanguageSetting setting(c.setting);
        ASSERT_EQ(ProgramLanguage(), c.expected);
        const bool english = c.expected == UiLanguage::English;
        const LanguageTexts& expected = english ? EnglishTexts() : JapaneseTexts();

        std::vector<UINT> ids;
        EXPECT_EQ(MainWindowMenu(&ids), expected.menu);
        EXPECT_EQ(ids, japaneseIds);
        for (std::size_t i = 0; i < expected.dialogs.size(); ++i) {
            const DialogTexts& dialog = expected.dialogs[i];
            SCOPED_TRACE(dialog.name);
            const DialogSeen seen = OpenDialog(dialog.name, english);
            EXPECT_EQ(seen.caption, U8(dialog.caption));
            EXPECT_EQ(seen.texts, dialog.texts);
            // The same controls, and a dialog unit the same size: what the
            // dialogs compute from it comes out the same.
            EXPECT_EQ(seen.shapes, japaneseDialogs[i].shapes);
            EXPECT_TRUE(EqualRect(&seen.units, &japaneseDialogs[i].units));
        }
    }
    // The decision stays for the rest of the run.
    LanguageSetting english(L"en");
    SetEnvironmentVariableW(L"QUILLVANE_LANG", L"ja");
    EXPECT_EQ(ProgramLanguage(), UiLanguage::English);
}

// The manifest quillvane.rc gives both programs, read back through Windows.
TEST(Manifest, DpiAwareWithCommonControls6AndTheSystemCodePage)
{
    EXPECT_TRUE(IsProcessDPIAware());
    wchar_t value[32] = {};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware",
                                     value, 32, &written))
        << GetLastError();
    EXPECT_STREQ(value, L"true");
    EXPECT_FALSE(QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2019/WindowsSettings",
                                      L"activeCodePage", value, 32, &written));
    EXPECT_EQ(GetACP(), 932u);

    // Version 6 is the side-by-side assembly; the one in the system folder
    // is version 5.
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    CharLowerW(path);
    EXPECT_NE(std::wstring(path).find(L"\\winsxs\\"), std::wstring::npos) << WideToUtf8(path);
    EXPECT_NE(std::wstring(path).find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << WideToUtf8(path);
    FreeLibrary(controls);
}

}  // namespace
