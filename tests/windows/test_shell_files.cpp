// Files handed over by the shell: named on the command line ("Open with",
// "Send to") or dropped on the main window, they open as if chosen in the
// open dialog, names outside the code page included.
#include "support/app_fixture.h"

#include "app/file_settings.h"
#include "app/language.h"
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

using namespace wintest;
using namespace apptest;

namespace {

// An HDROP as the shell makes one: DROPFILES, then each wide name with its
// terminator, then one more terminator.  The window's DragFinish frees it.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names)
{
    size_t chars = 1;
    for (const std::wstring& name : names) chars += name.size() + 1;
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* next = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& name : names) {
        std::memcpy(next, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        next += name.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

std::wstring Quoted(const std::wstring& name) { return L"\"" + name + L"\""; }

enum class Route { Drop, CommandLine };

struct Box {
    std::string caption;
    std::string text;
    int answer;
};

TEST(CommandLineFiles, EveryArgumentAfterTheProgram)
{
    struct Case {
        const wchar_t* line;
        std::vector<std::wstring> files;
    };
    const Case cases[] = {
        {L"", {}},
        {L"quillvane.exe", {}},
        {L"\"C:\\Program Files\\Quillvane\\quillvane.exe\" \"C:\\a b\\\U00020BB7_caf\u00E9_\u2713.bmp\"",
         {L"C:\\a b\\\U00020BB7_caf\u00E9_\u2713.bmp"}},
        {L"q.exe C:\\x.bmp \"D:\\y z.jpg\"", {L"C:\\x.bmp", L"D:\\y z.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.line));
        EXPECT_EQ(CommandLineFiles(c.line), c.files);
    }
}

class ShellFiles : public MainWindowFixture {};

TEST_F(ShellFiles, OpenAsIfChosenInTheOpenDialog)
{
    ASSERT_TRUE(GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) << "the window takes dropped files";
    const std::wstring folder = Utf8ToWide(AnsiToUtf8(dir_->Path())) + L"\\";
    const std::wstring start = folder + L"start.bmp";
    const std::wstring wide = folder + L"\U00020BB7_caf\u00E9_\u2713.bmp";
    const std::wstring second = folder + L"second.bmp";
    const std::wstring notes = folder + L"notes.bmp";
    const std::wstring tooLong = folder + std::wstring(256 - folder.size() - 4, L'n') + L".bmp";
    ASSERT_TRUE(WriteTestBmp(dir_->File("start.bmp"), 7, 5));
    ASSERT_TRUE(WriteTestBmp(dir_->File("wide.bmp"), 3, 2));
    ASSERT_TRUE(MoveFileW((folder + L"wide.bmp").c_str(), wide.c_str()));
    ASSERT_TRUE(WriteTestBmp(dir_->File("second.bmp"), 4, 4));
    ASSERT_TRUE(WriteWholeFile(dir_->File("notes.bmp"), "Plain text, not a picture."));

    const bool english = ProgramLanguage() == UiLanguage::English;
    const Box notice = {"Quillvane",
                        english ? "One picture is open at a time. The first file is opened."
                                : U8(u8"画像は一度に1枚だけ開けます。最初のファイルを開きます。"),
                        IDOK};
    const std::string question = U8(u8"画像が保存されていません。保存しますか？");
    struct Case {
        const char* label;
        std::vector<std::wstring> files;
        bool modified;
        std::vector<Box> boxes;  // in order, with the button pressed
        const std::wstring* opened;  // the picture's file afterwards
        int width;
    };
    const Case cases[] = {
        {"a name outside the code page", {wide}, false, {}, &wide, 3},
        {"several: a notice, then the first", {wide, second}, false, {notice}, &wide, 3},
        {"modified: the question first", {second}, true, {{"Quivane", question, IDNO}}, &second, 4},
        {"modified: Cancel keeps the picture", {second}, true, {{"Quivane", question, IDCANCEL}}, &start, 7},
        {"not a picture", {notes}, false, {{"Error", U8(u8"ビットマップではありません"), IDOK}}, &start, 7},
        {"256 units", {tooLong}, false, {{"Error", U8(u8" ファイルのオープンに失敗しました"), IDOK}}, &start, 7},
    };
    for (Route route : {Route::Drop, Route::CommandLine})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(route == Route::Drop ? "drop: " : "command line: ") + c.label);
            MainDocument.isModified = 0;
            OpenShellFiles(window_, {start});
            ASSERT_EQ(MainDocument.width, 7);
            MainDocument.isModified = c.modified;

            DialogDriver driver;
            for (const Box& box : c.boxes) driver.AnswerMessageBox(box.answer);
            if (route == Route::Drop) {
                SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(c.files)), 0);
            } else {
                std::wstring line = Quoted(L"C:\\Program Files\\Quillvane\\quillvane.exe");
                for (const std::wstring& file : c.files) line += L" " + Quoted(file);
                OpenShellFiles(window_, CommandLineFiles(line.c_str()));
            }
            EXPECT_EQ(driver.Problems(), "");
            std::vector<DialogRecord> seen = driver.MessageBoxes();
            ASSERT_EQ(seen.size(), c.boxes.size());
            for (size_t i = 0; i < seen.size(); i++) {
                EXPECT_EQ(seen[i].caption, c.boxes[i].caption);
                EXPECT_EQ(seen[i].text, c.boxes[i].text);
            }
            EXPECT_EQ(std::string(MainDocument.path), WideToUtf8(*c.opened));
            EXPECT_EQ(MainDocument.width, c.width);
            EXPECT_EQ(DisplayCopy.width, c.width) << "the window shows the picture";
            EXPECT_EQ(MainDocument.isModified, c.opened == &start ? (LONG)c.modified : 0);
        }
}

}  // namespace
