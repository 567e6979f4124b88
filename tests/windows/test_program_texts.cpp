// The program's message boxes in the language it speaks.  ctest runs this
// suite twice: under a Japanese Windows (ja_JP, QUILLVANE_LANG=ja) and
// under an English one (en_US, code page 1252, QUILLVANE_LANG=en); the
// texts must read right in both, the Japanese ones exactly as they always
// have.
#include "support/app_fixture.h"

#include "app/language.h"
#include "app/main_window.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace apptest;
using namespace wintest;

namespace {

bool English()
{
    return ProgramLanguage() == UiLanguage::English;
}

// One text in each language.
std::string Said(const char8_t* japanese, const char* english)
{
    return English() ? std::string(english) : U8(japanese);
}

// A button's text without its mnemonic ("&Yes" reads "Yes").
std::string ButtonText(HWND box, int id)
{
    std::string text = ControlTextUtf8(box, id);
    std::erase(text, '&');
    return text;
}

class ProgramTexts : public MainWindowFixture {};

// The run really is the set-up its ctest entry names: an English run
// has Wine's Western code page, a Japanese one code page 932.
TEST_F(ProgramTexts, TheRunSpeaksTheLanguageOfItsWindows)
{
    EXPECT_EQ(GetACP(), English() ? 1252u : 932u);
    EXPECT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), English() ? LANG_ENGLISH : LANG_JAPANESE);
}

TEST_F(ProgramTexts, ADamagedBitmapIsReportedInTheProgramsLanguage)
{
    // "BM" and too little header to hold the sizes.
    const std::string path = dir_->File("damaged.bmp");
    ASSERT_TRUE(WriteWholeFile(path, std::string("BM\0\0\0\0\0\0\0\0\0\0", 12)));
    DialogDriver driver;
    driver.OnDialog(OpenDialogTitle(), [&](HWND dialog) { FileDialogAccept(dialog, path); });
    driver.AnswerMessageBox(IDOK);
    SendMessageA(window_, WM_COMMAND, IDM_OPEN, 0);
    EXPECT_EQ(driver.Problems(), "");
    const std::vector<DialogRecord> boxes = driver.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, Said(u8"ビットマップファイルが壊れています。", "The bitmap file is damaged."));
    EXPECT_EQ(MainDocument.isLoaded, 0);
}

// Closing with unsaved changes asks with Yes, No and Cancel, in the
// program's language; Cancel keeps the window.
TEST_F(ProgramTexts, TheUnsavedQuestionOnExitReadsInTheProgramsLanguage)
{
    ASSERT_TRUE(OpenPicture(40, 30));
    MainDocument.isModified = 1;
    std::vector<std::string> buttons;
    DialogDriver driver;
    driver.OnDialog("Quillvane", [&](HWND box) {
        for (int id : {IDYES, IDNO, IDCANCEL})
            buttons.push_back(ButtonText(box, id));
        PressButton(box, IDCANCEL);
    });
    SendMessageA(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_TRUE(driver.Seen()[0].messageBox);
    EXPECT_EQ(driver.Seen()[0].caption, "Quillvane");
    EXPECT_EQ(driver.Seen()[0].text,
              Said(u8"画像が保存されていません。保存しますか？", "The picture has not been saved. Save it?"));
    ASSERT_EQ(buttons.size(), 3u);
    if (English()) {
        EXPECT_EQ(buttons, (std::vector<std::string>{"Yes", "No", "Cancel"}));
    }
    for (const std::string& button : buttons)
        EXPECT_FALSE(button.empty());
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(MainDocument.isModified, 1);
}

// The open command's question about unsaved work, and the notice that
// there is nothing to save, in the program's language too.
TEST_F(ProgramTexts, TheCommandsAskAndTellInTheProgramsLanguage)
{
    {
        DialogDriver driver;
        driver.AnswerMessageBox(IDOK);
        SendMessageA(window_, WM_COMMAND, IDM_SAVE, 0);
        EXPECT_EQ(driver.Problems(), "");
        ASSERT_EQ(driver.MessageBoxes().size(), 1u);
        EXPECT_EQ(driver.MessageBoxes()[0].caption, "Error");
        EXPECT_EQ(driver.MessageBoxes()[0].text, Said(u8"画像が読み込まれていません。", "No picture is open."));
    }
    ASSERT_TRUE(OpenPicture(20, 10));
    MainDocument.isModified = 1;
    DialogDriver driver;
    driver.AnswerMessageBox(IDCANCEL);
    SendMessageA(window_, WM_COMMAND, IDM_OPEN, 0);
    EXPECT_EQ(driver.Problems(), "");
    ASSERT_EQ(driver.MessageBoxes().size(), 1u);
    EXPECT_EQ(driver.MessageBoxes()[0].caption, English() ? "Quillvane" : "Quivane");
    EXPECT_EQ(driver.MessageBoxes()[0].text,
              Said(u8"画像が保存されていません。保存しますか？", "The picture has not been saved. Save it?"));
}

}  // namespace
