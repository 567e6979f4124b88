// Every allocation of the program's open, processing and save commands
// fails in turn, and saves meet a full disk at several points, through the
// main window's own menu commands, dialogs and message boxes.  Each failed
// command leaves the picture exactly as it was (or, when the display copy
// of a picture just read cannot be made, no picture), the user's file
// untouched, no temporary file and no block behind, and says so once.
#include "support/app_fixture.h"
#include "support/failure_walk.h"

#include "app/file_settings.h"
#include "app/main_window.h"
#include "app/selection.h"
#include "files/bmp_reader.h"
#include "files/jpeg_writer.h"
#include "support/shown.h"
#include "resources/resource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace wintest;
using namespace apptest;

namespace {

const std::string kOpenTitle = U8(u8"開く");
const std::string kSaveTitle = U8(u8"名前を付けて保存");
const std::string kOutOfMemory = U8(u8"メモリーが足りません。");

// The message boxes of one run, answered with OK (a save onto the user's
// file first answers Yes to the save dialog's question whether to replace
// it); the dialogs a run drives are queued on driver.
class Boxes {
public:
    explicit Boxes(bool replacing = false)
    {
        if (replacing)
            driver.AnswerMessageBox(IDYES);
        for (int i = 0; i < 3; ++i)
            driver.AnswerMessageBox(IDOK);
    }
    // The program's own message boxes, without the save dialog's question
    // (the one answered Yes).
    std::vector<DialogRecord> Program() const
    {
        std::vector<DialogRecord> boxes;
        for (const DialogRecord& box : driver.MessageBoxes())
            if (box.answer != IDYES)
                boxes.push_back(box);
        return boxes;
    }
    // Dialogs that came unasked or did not come (unless the command may
    // stop before them); spare answers are no problem.
    std::string Problems(bool dialogsMayNotCome = false) const
    {
        const std::string all = driver.Problems();
        std::string problems;
        for (std::size_t start = 0; start < all.size();) {
            const std::size_t end = all.find('\n', start);
            const std::string line = all.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
            if (line.find("answer(s) not used") == std::string::npos &&
                !(dialogsMayNotCome && line.find("no dialog came") != std::string::npos))
                problems += line;
            start = end == std::string::npos ? all.size() : end + 1;
        }
        return problems;
    }
    std::string Joined() const
    {
        std::string all;
        for (const DialogRecord& record : driver.Seen())
            all += "[" + record.caption + (record.messageBox ? ": " + record.text : "") + "] ";
        return all + Problems();
    }
    // Exactly one box from the program, the lack of memory (or, for a
    // failed write, the caption alone is checked).
    void ExpectOneError(const std::string& text, bool dialogsMayNotCome = false) const
    {
        EXPECT_EQ(Problems(dialogsMayNotCome), "");
        const std::vector<DialogRecord> boxes = Program();
        ASSERT_EQ(boxes.size(), 1u) << Joined();
        EXPECT_EQ(boxes[0].caption, "Error");
        if (!text.empty()) {
            EXPECT_EQ(boxes[0].text, text);
        }
    }

    DialogDriver driver;
};

// The picture's record and block, to compare bit for bit.
struct PictureState {
    std::vector<BYTE> bytes;
    ImageDocument record{};
};

PictureState Capture()
{
    return PictureState{DocBytes(MainDocument), MainDocument};
}

void ExpectUnchanged(const PictureState& before)
{
    const ImageDocument& now = MainDocument;
    EXPECT_EQ(now.isLoaded, before.record.isLoaded);
    EXPECT_EQ(now.isModified, before.record.isModified);
    EXPECT_EQ(now.width, before.record.width);
    EXPECT_EQ(now.height, before.record.height);
    EXPECT_STREQ(now.path, before.record.path);
    EXPECT_EQ(std::memcmp(&now.fileHeader, &before.record.fileHeader, sizeof now.fileHeader), 0);
    EXPECT_TRUE(DocBytes(now) == before.bytes) << "the picture's block changed";
}

void AcceptFile(HWND dialog, const std::string& path, int type)
{
    FileDialogSelectType(dialog, type);
    FileDialogAccept(dialog, path);
}

class FailureWalk : public MainWindowFixture {
protected:
    // A 23 x 14 picture from a BMP file, shown as an open would show it.
    void LoadBase()
    {
        const std::string path = dir_->File("base.bmp");
        ASSERT_TRUE(WriteTestBmp(path, 23, 14));
        std::snprintf(MainDocument.path, sizeof MainDocument.path, "%s", path.c_str());
        ASSERT_EQ(Shown(ReadBmpFile(&MainDocument), window_), 0);
        MainDocument.isModified = 0;
        MainDocument.bitsOffset = kWorkDibHeaderBytes;
        ComputeLuminance(&MainDocument);
        ASSERT_EQ(ShowNewPicture(window_), 0);
        Paint();
    }

    void Unload() { ReleasePictures(); }

    // The names in the scratch folder other than those given.
    std::vector<std::string> Leftovers(const std::vector<std::string>& expected) const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(dir_->File("*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != ".." &&
                std::find(expected.begin(), expected.end(), name) == expected.end())
                names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        started_ = GetTickCount();
        walked_ = qvtest::FailurePointsWalked;
    }
    void TearDown() override
    {
        StandInFailNthAllocation(0);
        StandInFailWritesAfter(-1);
        std::printf("[ summary  ] %ld failure points in %.1f s\n", qvtest::FailurePointsWalked - walked_,
                    (GetTickCount() - started_) / 1000.0);
        MainWindowFixture::TearDown();
    }

    DWORD started_ = 0;
    long walked_ = 0;
};

TEST_F(FailureWalk, OpeningABmpOrAJpegSurvivesEveryFailedAllocation)
{
    const std::string bmp = dir_->File("photo.bmp");
    ASSERT_TRUE(WriteTestBmp(bmp, 21, 13));
    // The JPEG file from the program's own writer.
    const std::string jpeg = dir_->File("photo.jpg");
    LoadBase();
    std::snprintf(MainDocument.path, sizeof MainDocument.path, "%s", jpeg.c_str());
    ASSERT_EQ(Shown(WriteJpegFile(&MainDocument, RememberedJpegSettings()), window_), 0);
    Unload();

    for (const std::string& path : {bmp, jpeg}) {
        const bool isJpeg = path == jpeg;
        PictureState before;
        qvtest::WalkAllocationFailures<Boxes>(
            path,
            [&] {
                LoadBase();
                FileTypeIndex = isJpeg ? 2 : 1;
                before = Capture();
            },
            [&](Boxes& boxes) {
                boxes.driver.OnDialog(kOpenTitle, [&](HWND d) { AcceptFile(d, path, isJpeg ? 1 : 0); });
                SendMessageA(window_, WM_COMMAND, IDM_OPEN, 0);
                Paint();
                return MainDocument.isLoaded && std::strcmp(MainDocument.path, path.c_str()) == 0 ? 0 : -1;
            },
            [&](const Boxes& boxes) {
                boxes.ExpectOneError(kOutOfMemory);
                if (MainDocument.isLoaded) {
                    ExpectUnchanged(before);
                } else {
                    // The picture was read but cannot be shown: let go.
                    EXPECT_EQ(MainDocument.hDib, nullptr);
                    EXPECT_EQ(DisplayCopy.hDib, nullptr);
                }
            },
            [&] {
                EXPECT_EQ(MainDocument.width, isJpeg ? 23 : 21);
                EXPECT_EQ(MainDocument.height, isJpeg ? 14 : 13);
                EXPECT_EQ(MainDocument.isModified, 0);
            },
            [&] { Unload(); });
    }
}

// One processing command: its menu item, its dialog and the controls
// clicked there before OK.
struct Command {
    const char* name;
    UINT id;
    const char8_t* caption;
    std::vector<int> clicks;
};

TEST_F(FailureWalk, EveryProcessingCommandWithAndWithoutASelectionSurvivesEveryFailedAllocation)
{
    const std::vector<Command> commands = {
        {"bump", IDM_BUMP, u8"バンプ設定", {}},
        {"bump, tiled, own size", IDM_BUMP, u8"バンプ設定", {IDC_BUMP_REPEAT, IDC_BUMP_DONTENLARGE}},
        {"sharpen", IDM_FILTER, u8"フィルター", {IDC_FILTER_SHARPEN}},
        {"soft", IDM_FILTER, u8"フィルター", {IDC_FILTER_SOFT}},
        {"emboss", IDM_FILTER, u8"フィルター", {IDC_FILTER_EMBOSS}},
        {"custom kernel", IDM_FILTER, u8"フィルター", {IDC_FILTER_CUSTOM}},
        {"negative", IDM_EFFECT, u8"画像効果", {IDC_EFFECT_NEGATIVE}},
        {"posterize", IDM_EFFECT, u8"画像効果", {IDC_EFFECT_POSTERIZE}},
        {"contrast", IDM_EFFECT, u8"画像効果", {IDC_EFFECT_CONTRAST}},
        {"luminance, saturation, hue", IDM_YSH, u8"YSH色調整", {}},
        {"cmyk", IDM_YSH, u8"YSH色調整", {IDC_YSH_CMYK}},
    };
    for (const Command& command : commands) {
        for (bool selection : {false, true}) {
            PictureState before;
            qvtest::WalkAllocationFailures<Boxes>(
                std::string(command.name) + (selection ? ", selection" : ", whole picture"),
                [&] {
                    LoadBase();
                    if (selection) {
                        const LONG ox = ViewState.imageOffsetX;
                        const LONG oy = ViewState.imageOffsetY;
                        Selection = SelectionRect{0, 1, 0, 0, ox + 3, oy + 2, ox + 17, oy + 11};
                    }
                    before = Capture();
                },
                [&](Boxes& boxes) {
                    boxes.driver.OnDialog(U8(command.caption), [&](HWND d) {
                        for (int id : command.clicks)
                            SendDlgItemMessageA(d, id, BM_CLICK, 0, 0);
                        PressButton(d, IDOK);
                    });
                    SendMessageA(window_, WM_COMMAND, command.id, 0);
                    Paint();
                    return MainDocument.isModified ? 0 : -1;
                },
                [&](const Boxes& boxes) {
                    ExpectUnchanged(before);
                    // Without memory for the region or the bump dialog's
                    // copy of it the dialog never shows.
                    boxes.ExpectOneError(kOutOfMemory, true);
                },
                [&] {
                    EXPECT_EQ(MainDocument.isModified, 1);
                    EXPECT_EQ(MainDocument.width, 23);
                    EXPECT_EQ(MainDocument.height, 14);
                },
                [&] { Unload(); });
        }
    }
}

// The commands that give the picture a new size, and their undo: a run
// either makes the change, shown whole, or leaves the picture as it was,
// shown whole, with one message; the picture is never let go.
TEST_F(FailureWalk, ResizeCropAndUndoSurviveEveryFailedAllocation)
{
    const auto resize = [this](Boxes& boxes) {
        boxes.driver.OnDialog(U8(u8"画像サイズ変更"), [](HWND d) {
            SendDlgItemMessageA(d, IDC_RESIZE_BY_PERCENT, BM_CLICK, 0, 0);
            SetDlgItemTextA(d, IDC_RESIZE_PERCENT, "50");
            PressButton(d, IDOK);
        });
        SendMessageA(window_, WM_COMMAND, IDM_RESIZE, 0);
        Paint();
    };
    struct Case {
        const char* name;
        bool select;       // a selection before the command
        bool resizeFirst;  // the picture resized before the command (outside the walk)
        UINT command;      // 0: the resize dialog
        LONG width;        // the picture's width when the command worked
    };
    const Case cases[] = {
        {"resize", false, false, 0, 12},
        {"crop", true, false, IDM_CROP, 15},
        {"undo of a resize", false, true, IDM_UNDO, 23},
    };
    for (const Case& c : cases) {
        PictureState before;
        qvtest::WalkAllocationFailures<Boxes>(
            c.name,
            [&] {
                LoadBase();
                if (c.resizeFirst) {
                    Boxes unwatched;
                    resize(unwatched);
                }
                if (c.select) {
                    const LONG ox = ViewState.imageOffsetX;
                    const LONG oy = ViewState.imageOffsetY;
                    Selection = SelectionRect{0, 1, 0, 0, ox + 3, oy + 2, ox + 17, oy + 11};
                }
                before = Capture();
            },
            [&](Boxes& boxes) {
                if (c.command == 0)
                    resize(boxes);
                else
                    SendMessageA(window_, WM_COMMAND, c.command, 0);
                Paint();
                return MainDocument.width == c.width ? 0 : -1;
            },
            [&](const Boxes& boxes) {
                ExpectUnchanged(before);
                EXPECT_TRUE(DocBytes(DisplayCopy) == DocBytes(MainDocument)) << "the picture is shown";
                boxes.ExpectOneError(kOutOfMemory, true);
            },
            [&] {
                EXPECT_EQ(MainDocument.isLoaded, 1);
                EXPECT_TRUE(DocBytes(DisplayCopy) == DocBytes(MainDocument)) << "the picture is shown";
            },
            [&] { Unload(); });
    }
}

// A save onto the user's file.
struct SaveBoxes : Boxes {
    SaveBoxes() : Boxes(true) {}
};

// The menu's save with its dialogs: type 0 BMP (at BmpSaveDepth), 1 JPEG.
int SaveFromMenu(HWND window, Boxes& boxes, const std::string& target, int type)
{
    boxes.driver.OnDialog(kSaveTitle, [=](HWND d) { AcceptFile(d, target, type); });
    boxes.driver.OnDialog(type == 0 ? U8(u8"BMP保存ファイル設定") : U8(u8"Jpeg保存ファイル設定"),
                          [](HWND d) { PressButton(d, IDOK); });
    SendMessageA(window, WM_COMMAND, IDM_SAVE, 0);
    return MainDocument.isModified ? -1 : 0;
}

struct SaveCase {
    const char* name;
    int type;
    int depth;
};
const SaveCase kSaves[] = {{"BMP 24 bits", 0, 24}, {"BMP 32 bits", 0, 32}, {"BMP 16 bits", 0, 16}, {"JPEG", 1, 0}};

TEST_F(FailureWalk, SavingAsBmpOrJpegSurvivesEveryFailedAllocation)
{
    const std::string target = dir_->File("result.out");
    const std::string old = "the user's own file";
    for (const SaveCase& save : kSaves) {
        PictureState before;
        qvtest::WalkAllocationFailures<SaveBoxes>(
            save.name,
            [&] {
                ASSERT_TRUE(WriteWholeFile(target, old));
                LoadBase();
                MainDocument.isModified = 1;
                if (save.depth)
                    BmpSaveDepth = save.depth;
                before = Capture();
            },
            [&](SaveBoxes& boxes) { return SaveFromMenu(window_, boxes, target, save.type); },
            [&](const SaveBoxes& boxes) {
                boxes.ExpectOneError(save.type == 0 ? kOutOfMemory : "");
                ExpectUnchanged(before);
                std::string now;
                EXPECT_TRUE(ReadWholeFile(target, now) && now == old) << "the user's file changed";
                EXPECT_EQ(Leftovers({"base.bmp", "result.out"}), std::vector<std::string>{});
            },
            [&] {
                std::string now;
                EXPECT_TRUE(ReadWholeFile(target, now) && now != old);
                EXPECT_EQ(MainDocument.path, target) << "the picture takes the name of its file";
            },
            [&] { Unload(); });
    }
}

TEST_F(FailureWalk, SavingAsBmpOrJpegOntoAFullDiskChangesNothing)
{
    const std::string target = dir_->File("result.out");
    const std::string old = "the user's own file";
    for (const SaveCase& save : kSaves) {
        SCOPED_TRACE(save.name);
        // The size of a complete file, from a save with room enough.
        long long size = 0;
        {
            ASSERT_TRUE(WriteWholeFile(target, old));
            LoadBase();
            MainDocument.isModified = 1;
            if (save.depth)
                BmpSaveDepth = save.depth;
            SaveBoxes boxes;
            ASSERT_EQ(SaveFromMenu(window_, boxes, target, save.type), 0) << boxes.Joined();
            std::string written;
            ASSERT_TRUE(ReadWholeFile(target, written));
            size = static_cast<long long>(written.size());
            Unload();
        }
        // No room at all, room for part of the header, the header and no
        // pixels, half of the file, all of it but its last byte.
        for (long long room : {0LL, 7LL, 54LL, size / 2, size - 1}) {
            SCOPED_TRACE("room for " + std::to_string(room) + " of " + std::to_string(size) + " bytes");
            const long live = StandInLiveBlocks();
            ASSERT_TRUE(WriteWholeFile(target, old));
            LoadBase();
            MainDocument.isModified = 1;
            const PictureState before = Capture();
            {
                SaveBoxes boxes;
                StandInFailWritesAfter(room);
                const int rc = SaveFromMenu(window_, boxes, target, save.type);
                StandInFailWritesAfter(-1);
                EXPECT_EQ(rc, -1);
                boxes.ExpectOneError("");
            }
            ExpectUnchanged(before);
            std::string now;
            EXPECT_TRUE(ReadWholeFile(target, now) && now == old) << "the user's file changed";
            EXPECT_EQ(Leftovers({"base.bmp", "result.out"}), std::vector<std::string>{});
            Unload();
            EXPECT_EQ(StandInLiveBlocks(), live) << "blocks leaked";
            ++qvtest::FailurePointsWalked;
        }
    }
}

}  // namespace
