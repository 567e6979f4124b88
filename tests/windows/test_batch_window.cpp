// The batch window driven as a user drives it, on a folder of four photos
// (one of them unreadable, one whose result would take the name of an
// earlier one's): every result must be byte for byte the one
// quillvane-cli.exe writes when run by hand with the same options, the
// unreadable photo must be listed with the tool's reason, the later of the
// two of one result name with the clash, and no input may change.
#include "support/app_fixture.h"
#include "support/dialog_fixture.h"
#include "support/win_test_support.h"

#include "app/batch_window.h"
#include "app/settings.h"
#include "platform/child_process.h"
#include "platform/command_line.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace dlgtest;
using namespace wintest;

class BatchWindow : public DialogTest {};

// Runs the tool by hand: its exit status, its standard error in *errors.
DWORD RunTool(const std::vector<std::string>& arguments, std::string* errors)
{
    std::vector<std::wstring> words = {BatchToolPath()};
    for (const std::string& a : arguments)
        words.push_back(Utf8ToWide(a));
    ChildProcess child;
    if (StartChildProcess(words[0], CommandLineOf(words), &child) != 0)
        return 0xFFFF;
    DWORD status = 0;
    EXPECT_TRUE(FinishChildProcess(&child, 1 << 16, errors, &status));
    return status;
}

std::string Bytes(const std::string& pathUtf8)
{
    std::string contents;
    ReadWholeFile(Utf8ToAnsi(pathUtf8), contents);
    return contents;
}

TEST_F(BatchWindow, StampsEachPhotoAsTheToolDoesListsTheFailureAndLeavesInputsAlone)
{
    ASSERT_NE(GetFileAttributesW(BatchToolPath().c_str()), INVALID_FILE_ATTRIBUTES) << "the tool beside the tests";
    TempDir dir;
    const std::string root = AnsiToUtf8(dir.Path());
    const std::string in = root + "\\photos in", out = root + "\\out", byHand = root + "\\by hand";
    for (const std::string& folder : {in, out, byHand})
        ASSERT_TRUE(CreateDirectoryW(Utf8ToWide(folder).c_str(), nullptr));
    const std::vector<std::string> good = {"a.bmp", U8(u8"写真 1.bmp")};
    ASSERT_TRUE(apptest::WriteTestBmp(Utf8ToAnsi(in + "\\" + good[0]), 120, 80));
    ASSERT_TRUE(apptest::WriteTestBmp(Utf8ToAnsi(in + "\\" + good[1]), 64, 96));
    ASSERT_TRUE(WriteWholeFile(Utf8ToAnsi(in + "\\broken.jpg"), "not a photograph at all"));
    // A bitmap named .png: its PNG result would be a.bmp's.
    ASSERT_TRUE(apptest::WriteTestBmp(Utf8ToAnsi(in + "\\a.png"), 50, 40));
    const std::string mark = root + "\\mark.bmp";
    ASSERT_TRUE(apptest::WriteTestBmp(Utf8ToAnsi(mark), 30, 20));
    std::vector<std::string> before;
    const std::vector<std::string> inputs = {good[0], good[1], "broken.jpg", "a.png"};
    for (const std::string& name : inputs)
        before.push_back(Bytes(in + "\\" + name));

    std::string summary;
    DialogDriver driver;
    driver.SetStuckTimeout(180000);
    driver.OnDialog(U8(u8"一括処理"), [&](HWND dialog) {
        SendDlgItemMessageW(dialog, IDC_BATCH_INPUTS, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(Utf8ToWide(in).c_str()));
        SetWindowTextW(GetDlgItem(dialog, IDC_BATCH_OUTPUT), Utf8ToWide(out).c_str());
        SetWindowTextW(GetDlgItem(dialog, IDC_BATCH_SUFFIX), L"_wm");
        ClickButton(dialog, IDC_BATCH_TYPE_SAME + 3);  // PNG
        ClickButton(dialog, IDC_BATCH_META_NONE);
        ClickButton(dialog, IDC_BATCH_RESIZE_NONE + 1);
        Type(dialog, IDC_BATCH_LONG_EDGE, "100");
        SetWindowTextW(GetDlgItem(dialog, IDC_BATCH_MARK_PATH), Utf8ToWide(mark).c_str());
        ClickButton(dialog, IDC_BATCH_PLACE_SIZED);
        Type(dialog, IDC_BATCH_MARK_SIZE, "25");
        ClickButton(dialog, IDC_BATCH_ANCHOR_NW + 2);  // upper right
        Type(dialog, IDC_BATCH_MARGIN_X, "3");
        Type(dialog, IDC_BATCH_MARGIN_Y, "2");
        ClickButton(dialog, IDC_BATCH_START);
        EXPECT_TRUE(IsEnabled(dialog, IDC_BATCH_STOP));
        EXPECT_FALSE(IsEnabled(dialog, IDC_BATCH_START));
        EXPECT_TRUE(PumpUntil([&] { return !Text(dialog, IDC_BATCH_SUMMARY).empty(); }, 150000));
        summary = Text(dialog, IDC_BATCH_SUMMARY);
        EXPECT_EQ(Text(dialog, IDC_BATCH_COUNT), "4 / 4");
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_BATCH_PROGRESS, PBM_GETPOS, 0, 0), 4);
        EXPECT_TRUE(IsEnabled(dialog, IDC_BATCH_START));
        PressButton(dialog, IDCANCEL);
    });
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(GetModuleHandleA(nullptr), RES_DLG_BATCH, nullptr, BatchDialogProc, 0);
    EXPECT_EQ(driver.Problems(), "");

    // The summary: two done, two failed: the unreadable one with the tool's
    // reason naming it, the second of one result name with the clash.
    EXPECT_EQ(summary.rfind(U8(u8"完了 2 件、失敗 2 件"), 0), 0u) << summary;
    EXPECT_NE(summary.find(in + "\\a.png" + U8(u8" の結果 ") + out + "\\a_wm.png" + U8(u8" が前の写真の結果を上書きします")),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find(in + "\\broken.jpg"), std::string::npos) << summary;
    std::string errors;
    EXPECT_NE(RunTool({"bump", "-o", byHand, "--", in + "\\broken.jpg"}, &errors), 0u);
    while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r'))
        errors.pop_back();
    EXPECT_NE(summary.find(errors.substr(errors.find(": ") + 2)), std::string::npos) << summary << "\n" << errors;
    EXPECT_FALSE(FileExists(Utf8ToAnsi(out + "\\broken_wm.png")));

    // Each result as the tool by hand writes it, with the options written out.
    for (const std::string& name : good) {
        SCOPED_TRACE(name);
        errors.clear();
        ASSERT_EQ(RunTool({"bump", "--watermark", mark, "--size", "25%", "--gravity", "ne", "--margin", "3,2",
                           "--light", "-0.5,0.5,0.7071067811865476", "--strength", "20", "--amplify", "200",
                           "--ambient", "60", "--format", "png", "--strip", "--resize", "100px", "--suffix", "_wm",
                           "-o", byHand, in + "\\" + name},
                          &errors),
                  0u)
            << errors;
        const std::string stem = name.substr(0, name.size() - 4) + "_wm.png";
        const std::string expected = Bytes(byHand + "\\" + stem);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(Bytes(out + "\\" + stem) == expected) << "the window's result differs from the tool's";
    }
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(Bytes(in + "\\" + inputs[i]), before[i]);

    // The choices are remembered for the next opening.
    EXPECT_EQ(Remembered.batch.outputFolder, out);
    EXPECT_EQ(Remembered.batch.type, BatchType::Png);
    EXPECT_EQ(Remembered.batch.anchor, BatchAnchor::NorthEast);
}

// Stop once a photo is under way: the photos under way finish, no other starts,
// and the summary says so.  Every result there is whole and is the tool's
// own for a text mark filled in per photo; nothing half written is left.
TEST_F(BatchWindow, StopFinishesThePhotosUnderWayAndStartsNoOther)
{
    TempDir dir;
    const std::string root = AnsiToUtf8(dir.Path());
    const std::string in = root + "\\in", out = root + "\\out", byHand = root + "\\by hand";
    for (const std::string& folder : {in, out, byHand})
        ASSERT_TRUE(CreateDirectoryW(Utf8ToWide(folder).c_str(), nullptr));
    constexpr int kPhotos = 8;
    Remembered.batch = BatchSettings{};
    Remembered.bump = BumpParams{};
    for (int i = 0; i < kPhotos; ++i)
        ASSERT_TRUE(apptest::WriteTestBmp(Utf8ToAnsi(in + "\\p" + std::to_string(i) + ".bmp"), 400, 300));
    const std::string font = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";

    std::string summary, count;
    DialogDriver driver;
    driver.SetStuckTimeout(180000);
    driver.OnDialog(U8(u8"一括処理"), [&](HWND dialog) {
        SendDlgItemMessageW(dialog, IDC_BATCH_INPUTS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(in).c_str()));
        SetWindowTextW(GetDlgItem(dialog, IDC_BATCH_OUTPUT), Utf8ToWide(out).c_str());
        ClickButton(dialog, IDC_BATCH_MARK_TEXT);
        SetWindowTextW(GetDlgItem(dialog, IDC_BATCH_TEXT), L"{filename}");
        SetWindowTextW(GetDlgItem(dialog, IDC_BATCH_FONT), Utf8ToWide(font).c_str());
        Type(dialog, IDC_BATCH_TEXT_HEIGHT, "40");
        ClickButton(dialog, IDC_BATCH_PLACE_OWN + 1);  // tiled
        ClickButton(dialog, IDC_BATCH_START);
        // Stop once the first photo is under way.
        EXPECT_TRUE(PumpUntil([&] { return !Text(dialog, IDC_BATCH_CURRENT).empty(); }, 60000));
        ClickButton(dialog, IDC_BATCH_STOP);
        EXPECT_FALSE(IsEnabled(dialog, IDC_BATCH_STOP));
        EXPECT_TRUE(PumpUntil([&] { return !Text(dialog, IDC_BATCH_SUMMARY).empty(); }, 150000));
        summary = Text(dialog, IDC_BATCH_SUMMARY);
        count = Text(dialog, IDC_BATCH_COUNT);
        PressButton(dialog, IDCANCEL);
    });
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(GetModuleHandleA(nullptr), RES_DLG_BATCH, nullptr, BatchDialogProc, 0);
    EXPECT_EQ(driver.Problems(), "");

    int done = -1;
    ASSERT_EQ(std::sscanf(count.c_str(), "%d /", &done), 1) << count;
    EXPECT_GE(done, 1) << "the photo under way finished";
    EXPECT_LT(done, kPhotos) << "Stop started no more photos";
    EXPECT_EQ(summary, U8(u8"完了 ") + std::to_string(done) + U8(u8" 件、失敗 0 件\r\n中止しました。"));
    int results = 0;
    for (int i = 0; i < kPhotos; ++i) {
        const std::string name = "p" + std::to_string(i) + ".bmp";
        if (!FileExists(Utf8ToAnsi(out + "\\" + name)))
            continue;
        ++results;
        std::string errors;
        ASSERT_EQ(RunTool({"bump", "--text", "{filename}", "--font", font, "--text-height", "40", "--tile", "--light",
                           "-0.5,0.5,0.7071067811865476", "--strength", "20", "--amplify", "200", "--ambient", "60",
                           "--quality", "80", "-o", byHand, in + "\\" + name},
                          &errors),
                  0u)
            << errors;
        EXPECT_TRUE(Bytes(out + "\\" + name) == Bytes(byHand + "\\" + name)) << name;
    }
    EXPECT_EQ(results, done);
    WIN32_FIND_DATAW found;
    const HANDLE left = FindFirstFileW(Utf8ToWide(out + "\\*.qv-tmp").c_str(), &found);
    EXPECT_EQ(left, INVALID_HANDLE_VALUE) << "a half-written file was left";
    if (left != INVALID_HANDLE_VALUE)
        FindClose(left);
}

}  // namespace
