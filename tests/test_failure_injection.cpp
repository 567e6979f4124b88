// Every allocation of every command fails in turn: the program must not
// crash or leak, must leave the picture and the user's files exactly as
// they were when the command could not complete, and must tell the user
// only what its commands tell (the readers, the BMP writer and processing
// report a shortage of memory once; the display copy reports nothing).
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "image/command_sequence.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "support/failure_walk.h"
#include "support/shown.h"
#include "support/test_support.h"

#include <cstdio>
#include <functional>
#include <string>

using namespace qvtest;

namespace {

Pixel Colourful(int x, int y)
{
    return Rgbh((x * 37 + y * 11) & 0xFF, (x * 5 + y * 29) & 0xFF, (x * y * 3 + 40) & 0xFF);
}

Pixel Logo(int x, int y)
{
    return (x + y) % 3 == 0 ? Rgbh(250, 250, 250) : Rgbh(10, 20, 30);
}

class FailureInjectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDocument(&MainDocument);
        ResetDocument(&WatermarkDocument);
        ResetDocument(&DisplayCopy);
    }
    void TearDown() override
    {
        StandInFailNthAllocation(0);
        ReleaseDocument(&MainDocument);
        ReleaseDocument(&WatermarkDocument);
        ReleaseDocument(&DisplayCopy);
    }

    // An input file written by the program's own writers.
    std::string Input(const char* name, int width, int height, const PixelFunction& fn, bool jpeg)
    {
        ImageDocument d = MakeDocument(width, height, fn);
        const std::string path = dir.File(name);
        SetPath(&d, path);
        MessageCapture quiet;
        const int rc = jpeg ? Shown(WriteJpegFile(&d, JpegWriteSettings{})) : Shown(WriteBmpFile(&d, BmpWriteSettings{}));
        ReleaseDocument(&d);
        EXPECT_EQ(rc, 0) << quiet.Joined();
        return path;
    }

    TempDir dir;
};

TEST_F(FailureInjectionTest, OpeningIntoThePictureOrTheWatermarkSurvivesEveryFailedAllocation)
{
    const std::string bmp = Input("photo.bmp", 21, 13, Colourful, false);
    const std::string jpeg = Input("photo.jpg", 19, 17, Colourful, true);
    for (ImageDocument* doc : {&MainDocument, &WatermarkDocument}) {
        for (const std::string& path : {bmp, jpeg}) {
            const bool isJpeg = path == jpeg;
            DocumentSnapshot before;
            WalkAllocationFailures<MessageCapture>(
                (std::string(doc == &MainDocument ? "picture <- " : "watermark <- ") + path).c_str(),
                [&] {
                    *doc = MakeDocument(6, 5, Logo);
                    ComputeLuminance(doc);
                    SetPath(doc, path);
                    before = Snapshot(*doc);
                },
                [&](MessageCapture&) {
                    // The open command: the reader, then the luminance pass.
                    const int rc = isJpeg ? Shown(ReadJpegFile(doc)) : Shown(ReadBmpFile(doc));
                    if (rc != 0)
                        return rc;
                    doc->isModified = 0;
                    doc->bitsOffset = kWorkDibHeaderBytes;
                    ComputeLuminance(doc);
                    return 0;
                },
                [&](const MessageCapture& messages) {
                    EXPECT_TRUE(Unchanged(*doc, before));
                    EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
                    EXPECT_TRUE(messages.Has(msg::kErrorCaption, msg::kOutOfMemory)) << messages.Joined();
                },
                [&] {
                    EXPECT_EQ(doc->width, isJpeg ? 19 : 21);
                    EXPECT_EQ(doc->height, isJpeg ? 17 : 13);
                },
                [&] { ReleaseDocument(doc); });
        }
    }
}

TEST_F(FailureInjectionTest, ADisplayCopyWithoutMemoryShowsNoPictureAndKeepsNothing)
{
    WalkAllocationFailures<MessageCapture>(
        "display copy",
        [&] { MainDocument = MakeDocument(8, 6, Colourful); },
        [&](MessageCapture&) { return BuildDisplayCopy(&DisplayCopy, &MainDocument); },
        [&](const MessageCapture& messages) {
            EXPECT_EQ(DisplayCopy.hDib, nullptr);
            EXPECT_EQ(DisplayCopy.dib, nullptr);
            EXPECT_EQ(DisplayCopy.isLoaded, 0);
            EXPECT_EQ(messages.Count(), 0u) << messages.Joined();
        },
        [&] { EXPECT_TRUE(SamePixels(DisplayCopy, MainDocument, true)); },
        [&] {
            ReleaseDocument(&DisplayCopy);
            ReleaseDocument(&MainDocument);
        });
}

struct Command {
    const char* name;
    std::function<void()> settings;
    std::function<int()> apply;  // on MainDocument, between extract and commit: 0, or -1 without memory
};

Failure RunEngine(void* command)
{
    return static_cast<const Command*>(command)->apply() == 0 ? Failure::None : Failure::OutOfMemory;
}

TEST_F(FailureInjectionTest, EveryProcessingCommandWithAndWithoutASelectionSurvivesEveryFailedAllocation)
{
    static BumpParams bumpParams;
    const auto bump = [] {
        return ApplyBump(bumpParams, &WatermarkDocument, &MainDocument) == Failure::None ? 0 : -1;
    };
    static FilterParams filterParams;
    const auto filter = [] {
        return ApplyNeighbourhoodFilter(filterParams, MainDocument.hDib) == Failure::None ? 0 : -1;
    };
    const auto bumpSettings = [](int keepAspect, int dontEnlarge, int tile) {
        return [=] {
            bumpParams = BumpParams{-0.5, 0.5, 0.7071, 20, 200, 60, {keepAspect != 0, dontEnlarge != 0, tile != 0, 0, 0}};
        };
    };
    const auto filterSettings = [](FilterKind kind, int strength) {
        return [=] { filterParams = FilterParams{kind, strength, {{1, -2, 1}, {0, 3, 0}, {-1, 2, -1}}}; };
    };
    const auto effect = [](EffectKind kind) {
        return [=] {
            BYTE* pixels = WorkDibPixels(MainDocument.dib);
            const ChannelRanges ranges = MeasureChannelRanges(pixels, MainDocument.width, MainDocument.height);
            EffectParams params;
            params.kind = kind;
            params.bandWidth = 32;
            for (int c = 0; c < 3; ++c) {
                params.lowerBound[c] = ranges.minimum[c];
                params.upperBound[c] = ranges.maximum[c];
            }
            ApplyEffect(params, pixels, reinterpret_cast<const BITMAPINFOHEADER*>(MainDocument.dib));
            return 0;
        };
    };
    const auto colour = [](ColourMode mode) {
        return [=] {
            const YshParams ysh{130, 70, 200, mode};
            ApplyColourAdjust(ysh, WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
            return 0;
        };
    };
    const std::vector<Command> commands = {
        {"bump, stretched", bumpSettings(0, 0, 0), bump},
        {"bump, keeping the aspect", bumpSettings(1, 0, 0), bump},
        {"bump, own size", bumpSettings(0, 1, 0), bump},
        {"bump, tiled", bumpSettings(0, 0, 1), bump},
        {"sharpen", filterSettings(FilterKind::Sharpen, 4), filter},
        {"soft", filterSettings(FilterKind::Soft, 3), filter},
        {"emboss", filterSettings(FilterKind::Emboss, 5), filter},
        {"custom kernel", filterSettings(FilterKind::Custom, 2), filter},
        {"negative", [] {}, effect(EffectKind::Negative)},
        {"contrast", [] {}, effect(EffectKind::Contrast)},
        {"ysh", [] {}, colour(ColourMode::Ysh)},
        {"cmyk", [] {}, colour(ColourMode::Cmyk)},
    };
    for (const Command& command : commands) {
        for (bool selection : {false, true}) {
            const PictureRect region = {3, 2, 17, 11};
            CommandOutcome result;
            DocumentSnapshot before;
            DocumentSnapshot watermarkBefore;
            WalkAllocationFailures<MessageCapture>(
                (std::string(command.name) + (selection ? ", selection" : ", whole picture")).c_str(),
                [&] {
                    MainDocument = MakeDocument(23, 14, Colourful);
                    ComputeLuminance(&MainDocument);
                    WatermarkDocument = MakeDocument(7, 5, Logo);
                    ComputeLuminance(&WatermarkDocument);
                    command.settings();
                    before = Snapshot(MainDocument);
                    watermarkBefore = Snapshot(WatermarkDocument);
                },
                [&](MessageCapture&) {
                    // The sequence the main window and the command line run,
                    // its outcome shown as the main window shows it.
                    result = RunProcessingCommand(&MainDocument, selection ? &region : nullptr,
                                                  ProcessingSteps{nullptr, RunEngine, const_cast<Command*>(&command)});
                    return result.applied ? 0 : (Shown(Fail(result.failure)), -1);
                },
                [&](const MessageCapture& messages) {
                    EXPECT_TRUE(Unchanged(MainDocument, before));
                    EXPECT_TRUE(Unchanged(WatermarkDocument, watermarkBefore));
                    // No memory for the region or for the engine: said once.
                    EXPECT_EQ(result.failure, Failure::OutOfMemory);
                    EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
                    EXPECT_TRUE(messages.Has(msg::kErrorCaption, msg::kOutOfMemory)) << messages.Joined();
                },
                [&] { EXPECT_EQ(MainDocument.isModified, 1); },
                [&] {
                    ReleaseDocument(&MainDocument);
                    ReleaseDocument(&WatermarkDocument);
                });
        }
    }
}

TEST_F(FailureInjectionTest, SavingAtEveryDepthAndAsJpegSurvivesEveryFailedAllocation)
{
    const std::string target = dir.File("result.out");
    const std::vector<std::uint8_t> old = {'e', 'x', 'i', 's', 't', 'i', 'n', 'g'};
    for (int depth : {16, 24, 32, 0}) {
        DocumentSnapshot before;
        WalkAllocationFailures<MessageCapture>(
            depth ? ("BMP " + std::to_string(depth) + " bits").c_str() : "JPEG",
            [&] {
                ASSERT_TRUE(WriteBytes(target, old));
                MainDocument = MakeDocument(13, 9, Colourful);
                ComputeLuminance(&MainDocument);
                SetPath(&MainDocument, target);
                before = Snapshot(MainDocument);
            },
            [&](MessageCapture&) {
                return depth ? Shown(WriteBmpFile(&MainDocument, BmpWriteSettings{depth}))
                             : Shown(WriteJpegFile(&MainDocument, JpegWriteSettings{}));
            },
            [&](const MessageCapture& messages) {
                EXPECT_TRUE(Unchanged(MainDocument, before)) << "a failed save keeps the HeightBytes and header";
                EXPECT_TRUE(SameBytes(ReadBytes(target), old));
                EXPECT_EQ(dir.Names(), std::vector<std::string>{"result.out"}) << "no temporary file left";
                EXPECT_EQ(messages.Count(), 1u) << messages.Joined();
                if (depth) {
                    EXPECT_TRUE(messages.Has(msg::kErrorCaption, msg::kOutOfMemory)) << messages.Joined();
                }
            },
            [&] {
                ImageDocument back = {};
                SetPath(&back, target);
                MessageCapture quiet;
                EXPECT_EQ(depth ? Shown(ReadBmpFile(&back)) : Shown(ReadJpegFile(&back)), 0) << quiet.Joined();
                EXPECT_EQ(back.width, 13);
                EXPECT_EQ(back.height, 9);
                ReleaseDocument(&back);
            },
            [&] { ReleaseDocument(&MainDocument); });
    }
    std::printf("[ summary  ] %ld allocation failure points survived\n", FailurePointsWalked);
}

}  // namespace
