// The undo history: random runs of commands (the real engines on random
// regions, crops, resizes), undos, redos and saves on a small picture with
// an alpha plane, compared after every move with replaying the commands
// still done from the start; then the cap, a change the history cannot
// keep, and the unsaved-changes state.
#include "image/command_sequence.h"
#include "image/history.h"
#include "processing/effects.h"
#include "processing/neighbourhood.h"
#include "processing/resize.h"
#include "support/processing_support.h"
#include "support/stand_in_hooks.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using proc_test::MakeDocument;

enum class Kind { Effect, Filter, Crop, Resize };

struct Command {
    Kind kind;
    bool whole;        // Effect, Filter: no region
    PictureRect rect;  // the region (Effect, Filter) or the rectangle kept (Crop)
    int variant;       // which effect or filter
    LONG width;        // Resize: the new size
    LONG height;
};

struct Picture {
    ImageDocument doc = {};
    std::vector<std::uint8_t> alpha;
    ~Picture() { proc_test::ReleaseDocument(&doc); }
};

struct EngineRun {
    const Command* command;
    ImageDocument* doc;
};

Failure RunEngine(void* context)
{
    const auto* run = static_cast<const EngineRun*>(context);
    if (run->command->kind == Kind::Filter) {
        FilterParams params;
        params.kind = static_cast<FilterKind>(run->command->variant % 3);
        params.strength = 3 + run->command->variant;
        return ApplyNeighbourhoodFilter(params, run->doc->hDib);
    }
    EffectParams params;
    params.kind = run->command->variant % 2 ? EffectKind::Solarize : EffectKind::Negative;
    ApplyEffect(params, WorkDibPixels(run->doc->dib), reinterpret_cast<BITMAPINFOHEADER*>(run->doc->dib));
    return Failure::None;
}

// Runs command on picture as the program does, through history when given;
// true when it changed the picture.
bool RunCommand(const Command& command, Picture* picture, EditHistory* history)
{
    ImageDocument* doc = &picture->doc;
    if (command.kind == Kind::Effect || command.kind == Kind::Filter) {
        EngineRun run{&command, doc};
        return RunProcessingCommand(doc, command.whole ? nullptr : &command.rect, {nullptr, RunEngine, &run}, history)
            .applied;
    }
    const BYTE* pixels = WorkDibPixels(doc->dib);
    PictureBlock made = command.kind == Kind::Crop
                            ? CropPicture(command.rect, pixels, doc->width, doc->height, picture->alpha)
                            : ResizePicture({command.width, command.height}, pixels, doc->width, doc->height,
                                            picture->alpha);
    EXPECT_EQ(made.failure, Failure::None);
    if (made.failure != Failure::None)
        return false;
    if (history) {
        HistoryReplacePicture(history, doc, &picture->alpha, std::move(made), nullptr);
    } else {
        AdoptWorkDib(doc, made.block, made.width, made.height, nullptr);
        picture->alpha = std::move(made.alpha);
    }
    return true;
}

void MakePicture(Picture* picture, const ref::Picture& pixels, const std::vector<std::uint8_t>& alpha)
{
    MakeDocument(&picture->doc, pixels);
    picture->alpha = alpha;
}

PictureRect RandomRect(std::mt19937& rng, LONG width, LONG height, bool inside)
{
    const LONG slack = inside ? 0 : 2;
    auto pick = [&](LONG from, LONG to) { return std::uniform_int_distribution<LONG>(from, to)(rng); };
    const LONG left = pick(-slack, width - 1);
    const LONG top = pick(-slack, height - 1);
    const LONG right = pick(std::max(left, LONG{0}), width - 1 + slack);
    return {left, top, right, pick(std::max(top, LONG{0}), height - 1 + slack)};
}

Command RandomCommand(std::mt19937& rng, LONG width, LONG height)
{
    Command c = {};
    c.kind = static_cast<Kind>(std::uniform_int_distribution<int>(0, 3)(rng));
    c.variant = std::uniform_int_distribution<int>(0, 5)(rng);
    c.whole = c.variant == 0;
    c.rect = RandomRect(rng, width, height, c.kind == Kind::Crop);
    c.width = std::uniform_int_distribution<LONG>(1, 23)(rng);
    c.height = std::uniform_int_distribution<LONG>(1, 17)(rng);
    return c;
}

::testing::AssertionResult Same(const Picture& expected, const Picture& actual)
{
    if (expected.doc.width != actual.doc.width || expected.doc.height != actual.doc.height)
        return ::testing::AssertionFailure() << actual.doc.width << " x " << actual.doc.height << " instead of "
                                             << expected.doc.width << " x " << expected.doc.height;
    if (std::memcmp(expected.doc.dib, actual.doc.dib, WorkDibBytes(expected.doc.width, expected.doc.height)) != 0)
        return ::testing::AssertionFailure() << "the WorkDib differs";
    if (actual.doc.bmi != reinterpret_cast<BITMAPINFO*>(actual.doc.dib))
        return ::testing::AssertionFailure() << "bmi is not the block's header";
    if (expected.alpha != actual.alpha)
        return ::testing::AssertionFailure() << "the alpha plane differs";
    return ::testing::AssertionSuccess();
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::mt19937 rng(7);
        original_ = proc_test::RandomPicture(rng, 13, 9);
        alpha_.resize(13 * 9);
        for (auto& a : alpha_)
            a = static_cast<std::uint8_t>(rng());
    }
    void TearDown() override { HistoryRelease(&history_); }

    // The picture after the first count commands, run without a history.
    void Replay(const std::vector<Command>& commands, std::size_t count, Picture* out)
    {
        MakePicture(out, original_, alpha_);
        for (std::size_t i = 0; i < count; ++i)
            RunCommand(commands[i], out, nullptr);
    }

    ref::Picture original_{1, 1};
    std::vector<std::uint8_t> alpha_;
    EditHistory history_;
};

TEST_F(HistoryTest, RandomRunsMatchReplayingTheCommandsStillDone)
{
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Picture picture;
        MakePicture(&picture, original_, alpha_);
        HistoryRelease(&history_);
        std::vector<Command> done;  // every command that can be undone or redone, oldest first
        std::size_t cursor = 0;
        std::ptrdiff_t savedAt = 0;
        for (int move = 0; move < 160; ++move) {
            const int roll = std::uniform_int_distribution<int>(0, 9)(rng);
            if (roll < 4) {
                const Command c = RandomCommand(rng, picture.doc.width, picture.doc.height);
                if (RunCommand(c, &picture, &history_)) {
                    done.resize(cursor);
                    if (savedAt > static_cast<std::ptrdiff_t>(cursor))
                        savedAt = -1;
                    done.push_back(c);
                    ++cursor;
                }
            } else if (roll < 7) {
                const HistoryMove m = HistoryUndo(&history_, &picture.doc, &picture.alpha);
                ASSERT_EQ(m == HistoryMove::None, cursor == 0);
                cursor -= cursor > 0 ? 1 : 0;
            } else if (roll < 9) {
                const HistoryMove m = HistoryRedo(&history_, &picture.doc, &picture.alpha);
                ASSERT_EQ(m == HistoryMove::None, cursor == done.size());
                cursor += cursor < done.size() ? 1 : 0;
            } else {
                HistoryMarkSaved(&history_);
                picture.doc.isModified = 0;
                savedAt = static_cast<std::ptrdiff_t>(cursor);
            }
            SCOPED_TRACE(move);
            Picture expected;
            Replay(done, cursor, &expected);
            ASSERT_TRUE(Same(expected, picture));
            ASSERT_EQ(HistoryCanUndo(history_), cursor > 0);
            ASSERT_EQ(HistoryCanRedo(history_), cursor < done.size());
            ASSERT_FALSE(HistoryUndoLost(history_));
            ASSERT_EQ(picture.doc.isModified, savedAt == static_cast<std::ptrdiff_t>(cursor) ? 0 : 1);
        }
        HistoryRelease(&history_);
        EXPECT_EQ(history_.bytes, 0u);
    }
    EXPECT_LIVE_BLOCKS(0);
}

// A whole-picture negative: a step of 40 + 13 x 9 x 4 = 508 bytes.
Command Negative()
{
    return {Kind::Effect, true, {}, 0, 0, 0};
}

TEST_F(HistoryTest, TheCapDropsTheOldestStepsAndRefusesAStepLargerThanItself)
{
    Picture picture;
    MakePicture(&picture, original_, alpha_);
    const Command solarize = {Kind::Effect, false, {2, 1, 6, 4}, 1, 0, 0};  // a 5 x 4 region: 120 bytes
    const std::vector<Command> commands = {solarize, Negative(), Negative(), solarize};

    // Room for two negatives and the region, not for all four steps: the
    // oldest goes first.
    history_.capBytes = 508 * 2 + 120;
    for (const Command& c : commands)
        ASSERT_TRUE(RunCommand(c, &picture, &history_));
    EXPECT_EQ(history_.steps.size(), 3u);
    EXPECT_LE(history_.bytes, history_.capBytes);
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::None);
    EXPECT_FALSE(HistoryCanUndo(history_));
    EXPECT_FALSE(HistoryUndoLost(history_)) << "steps dropped for the cap are not a lost change";
    Picture expected;
    Replay(commands, 1, &expected);
    EXPECT_TRUE(Same(expected, picture));
    // The state the picture opened in cannot be reached: it stays modified.
    EXPECT_EQ(picture.doc.isModified, 1);

    // A step larger than the cap is refused, the command runs all the
    // same, and nothing before it can be undone.
    history_.capBytes = 400;
    ASSERT_TRUE(RunCommand(Negative(), &picture, &history_));
    EXPECT_FALSE(HistoryCanUndo(history_));
    EXPECT_FALSE(HistoryCanRedo(history_));
    EXPECT_TRUE(HistoryUndoLost(history_));
    EXPECT_EQ(history_.bytes, 0u);
    Picture negated;
    Replay({commands[0], Negative()}, 2, &negated);
    EXPECT_TRUE(Same(negated, picture));
    // A smaller step after it is kept again.
    ASSERT_TRUE(RunCommand(solarize, &picture, &history_));
    EXPECT_TRUE(HistoryCanUndo(history_));
    ASSERT_EQ(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::Pixels);
    EXPECT_TRUE(Same(negated, picture));
    EXPECT_TRUE(HistoryUndoLost(history_));

    // A crop whose old picture (508 + 117 bytes of alpha) is over the cap is
    // refused too, and the crop still happens.
    ASSERT_TRUE(RunCommand({Kind::Crop, false, {1, 1, 3, 2}, 0, 0, 0}, &picture, &history_));
    EXPECT_EQ(picture.doc.width, 3);
    EXPECT_EQ(picture.doc.height, 2);
    EXPECT_EQ(picture.alpha.size(), 6u);
    EXPECT_FALSE(HistoryCanUndo(history_));
    EXPECT_FALSE(HistoryCanRedo(history_));
}

TEST_F(HistoryTest, NoMemoryForAStepNeverFailsTheCommand)
{
    QV_NEEDS_STAND_IN();
    Picture picture;
    MakePicture(&picture, original_, alpha_);
    ASSERT_TRUE(RunCommand({Kind::Effect, false, {0, 0, 2, 2}, 1, 0, 0}, &picture, &history_));
    ASSERT_TRUE(HistoryCanUndo(history_));
    // No block larger than 100 bytes: the whole-picture step cannot be made,
    // even with the older steps let go.
    StandInSetAllocationLimit(100);
    const bool applied = RunCommand(Negative(), &picture, &history_);
    StandInSetAllocationLimit(0);
    ASSERT_TRUE(applied);
    Picture expected;
    Replay({{Kind::Effect, false, {0, 0, 2, 2}, 1, 0, 0}, Negative()}, 2, &expected);
    EXPECT_TRUE(Same(expected, picture));
    EXPECT_TRUE(HistoryUndoLost(history_));
    EXPECT_EQ(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::None);
    EXPECT_EQ(picture.doc.isModified, 1);
}

TEST_F(HistoryTest, UndoingBackToTheSavedPictureClearsTheModifiedState)
{
    Picture picture;
    MakePicture(&picture, original_, alpha_);
    const Command crop = {Kind::Crop, false, {1, 2, 9, 7}, 0, 0, 0};
    const Command resize = {Kind::Resize, false, {}, 0, 20, 5};
    ASSERT_TRUE(RunCommand(crop, &picture, &history_));
    EXPECT_EQ(picture.doc.isModified, 1);
    ASSERT_EQ(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::Picture);
    EXPECT_EQ(picture.doc.isModified, 0) << "back to the picture as opened";
    ASSERT_EQ(HistoryRedo(&history_, &picture.doc, &picture.alpha), HistoryMove::Picture);
    EXPECT_EQ(picture.doc.isModified, 1);

    // Saved after the crop: the crop is the saved state now.
    HistoryMarkSaved(&history_);
    picture.doc.isModified = 0;
    ASSERT_TRUE(RunCommand(resize, &picture, &history_));
    EXPECT_EQ(picture.doc.width, 20);
    ASSERT_EQ(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::Picture);
    EXPECT_EQ(picture.doc.isModified, 0);
    ASSERT_EQ(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::Picture);
    EXPECT_EQ(picture.doc.isModified, 1);
    // A new command from here drops the saved state's step for good.
    ASSERT_TRUE(RunCommand(Negative(), &picture, &history_));
    ASSERT_EQ(HistoryUndo(&history_, &picture.doc, &picture.alpha), HistoryMove::Pixels);
    EXPECT_EQ(picture.doc.isModified, 1);
    EXPECT_FALSE(HistoryCanUndo(history_));
    EXPECT_TRUE(HistoryCanRedo(history_));

    // A new picture: no steps, and it is the saved state.
    HistoryRelease(&history_);
    EXPECT_FALSE(HistoryCanUndo(history_));
    EXPECT_FALSE(HistoryCanRedo(history_));
    EXPECT_EQ(history_.saved, 0);
}

}  // namespace
