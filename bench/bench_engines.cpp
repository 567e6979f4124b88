// Times every engine of the image core on one large generated picture.
//
//     quillvane_bench [--reps N] [--size WxH] [--only TEXT]
//
// Each operation runs once to warm up, then N times (default 5); the table
// shows the median time and the throughput in megapixels per second of the
// pixels the operation processes.  Every run starts from the same picture:
// the pixels are restored, untimed, before each one.  The engines are
// called exactly as the program's commands call them, through the global
// records and settings.

#include "bench/bench_pictures.h"
#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"
#include "image/blocks.h"
#include "image/image_document.h"
#include "processing/bevel.h"
#include "processing/bump.h"
#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"
#include "processing/placement.h"
#include "processing/resize.h"
#include "processing/scale.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifndef QUILLVANE_BENCH_BUILD_TYPE
#define QUILLVANE_BENCH_BUILD_TYPE "unknown"
#endif

namespace {

constexpr int kDefaultReps = 5;
constexpr int kMaxReps = 1000;
constexpr LONG kDefaultWidth = 6000;
constexpr LONG kDefaultHeight = 4000;
constexpr LONG kWatermarkSide = 1200;
// The preview box of every processing dialog, in screen pixels (120 dialog
// units at the usual dialog font).
constexpr LONG kPreviewBoxSide = 180;
constexpr double kPi = 3.141592653589793;

struct BenchOptions {
    int reps;
    LONG width;
    LONG height;
    const char* only;  // run only the cases whose name contains this; null: all
};

// Everything the cases share.  Plain pointers: the program frees them
// explicitly at the end.
struct BenchStateRecord {
    BYTE* pristine;              // the generated picture's whole WorkDib
    std::size_t pristineBytes;
    ImageDocument readDocument;  // target of the read benchmarks
    HGLOBAL preview;             // the dialogs' preview of the picture (a WorkDib)
    LONG previewWidth;
    LONG previewHeight;
    char directory[200];         // scratch directory for the file benchmarks
    YshParams ysh;               // the engines' settings of the case being run
    EffectParams effect;
    FilterParams filter;
    BumpParams bump;
    ImageDocument bevelMark;     // a flat mark of kBevelMarkWidth x kBevelMarkHeight
    BYTE* bevelPristine;
};

// The bevelled mark: a line of text 500 pixels high, and its default bevel.
constexpr LONG kBevelMarkWidth = 2000;
constexpr LONG kBevelMarkHeight = 500;
constexpr int kBevelMarkBevel = 50;

// The files the write cases make and the read cases read back.
enum FileVariantIndex { kJpegSequential, kJpegProgressive, kBmp32, kBmp24, kFileVariants };

struct FileVariant {
    const char* fileName;
    bool isJpeg;
    int bmpDepth;
    int progressive;
    char path[256];
};

FileVariant FileVariants[kFileVariants] = {
    {"sequential.jpg", true, 24, 0, {}},
    {"progressive.jpg", true, 24, 1, {}},
    {"depth32.bmp", false, 32, 0, {}},
    {"depth24.bmp", false, 24, 0, {}},
};

BenchStateRecord BenchState = {};

// ---------------------------------------------------------------------------
// The cases.  prepare runs untimed before every run; run is what is timed.

void RestorePicture()
{
    std::memcpy(MainDocument.dib, BenchState.pristine, BenchState.pristineBytes);
}

int PrepareDefault()
{
    RestorePicture();
    return 0;
}

void SetBumpPlacement(int dontEnlarge, int repeatTile)
{
    WatermarkLayout& layout = BenchState.bump.layout;
    layout.keepAspect = false;
    layout.dontEnlarge = dontEnlarge;
    layout.repeatTile = repeatTile;
    layout.offsetX = 0;
    layout.offsetY = 0;
    if (dontEnlarge) {
        // Centred, as a user would place a logo.
        layout.offsetX = (MainDocument.width - WatermarkDocument.width) / 2;
        layout.offsetY = (MainDocument.height - WatermarkDocument.height) / 2;
    }
}

int PrepareBumpNoEnlarge()
{
    RestorePicture();
    SetBumpPlacement(1, 0);
    return 0;
}

int PrepareBumpTile()
{
    RestorePicture();
    SetBumpPlacement(0, 1);
    return 0;
}

int PrepareBumpStretch()
{
    RestorePicture();
    SetBumpPlacement(0, 0);
    return 0;
}

int RunBump()
{
    return ApplyBump(BenchState.bump, &WatermarkDocument, &MainDocument) == Failure::None ? 0 : -1;
}

// The strengths a user would pick: sharpen and emboss 5, soft and the
// custom kernel 1.
int PrepareFilter(FilterKind kind, int strength)
{
    RestorePicture();
    BenchState.filter.kind = kind;
    BenchState.filter.strength = strength;
    return 0;
}

int PrepareSharpen() { return PrepareFilter(FilterKind::Sharpen, 5); }
int PrepareSoft() { return PrepareFilter(FilterKind::Soft, 1); }
int PrepareEmboss() { return PrepareFilter(FilterKind::Emboss, 5); }
int PrepareCustom() { return PrepareFilter(FilterKind::Custom, 1); }

int RunFilter()
{
    return ApplyNeighbourhoodFilter(BenchState.filter, MainDocument.hDib) == Failure::None ? 0 : -1;
}

int RunEffectKind(EffectKind kind)
{
    BenchState.effect.kind = kind;
    ApplyEffect(BenchState.effect, WorkDibPixels(MainDocument.dib),
                reinterpret_cast<const BITMAPINFOHEADER*>(MainDocument.dib));
    return 0;
}

int RunNegative() { return RunEffectKind(EffectKind::Negative); }
int RunPosterize() { return RunEffectKind(EffectKind::Posterize); }
int RunSolarize() { return RunEffectKind(EffectKind::Solarize); }
int RunBinarize() { return RunEffectKind(EffectKind::Binarize); }

// The contrast command measures the picture (as its dialog does on opening)
// and stretches with the measured bounds; both are timed.
int RunContrast()
{
    const ChannelRanges ranges =
        MeasureChannelRanges(WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
    for (int c = 0; c < 3; ++c) {
        BenchState.effect.lowerBound[c] = ranges.minimum[c];
        BenchState.effect.upperBound[c] = ranges.maximum[c];
    }
    return RunEffectKind(EffectKind::Contrast);
}

int PrepareYsh()
{
    RestorePicture();
    BenchState.ysh = YshParams{};
    BenchState.ysh.luminance = 110;   // +10 %
    BenchState.ysh.saturation = 130;  // +30 %
    BenchState.ysh.hue = 210;         // +30 degrees
    return 0;
}

int PrepareCmyk()
{
    RestorePicture();
    BenchState.ysh = YshParams{};
    BenchState.ysh.mode = ColourMode::Cmyk;
    return 0;
}

int RunColourAdjust()
{
    ApplyColourAdjust(BenchState.ysh, WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height);
    return 0;
}

int RunScale()
{
    HGLOBAL scaled = nullptr;
    BITMAPINFO header = {};
    const RECT target = {0, 0, MainDocument.width, MainDocument.height};
    if (ScaleDib(&scaled, MainDocument.dib, &target, &header) != 0)
        return -1;
    FreeBlock(scaled);
    return 0;
}

// The picture resized as --resize would: to a long edge of 2048 pixels
// (area averaging) or to 150 % (bilinear).
int RunResize(const ResizeRequest& request)
{
    ResizeParams size;
    if (ResizedSize(request, MainDocument.width, MainDocument.height, &size.width, &size.height) != Failure::None)
        return -1;
    const PictureBlock resized =
        ResizePicture(size, WorkDibPixels(MainDocument.dib), MainDocument.width, MainDocument.height, {});
    if (resized.failure != Failure::None)
        return -1;
    FreeBlock(resized.block);
    return 0;
}

int RunResizeDown()
{
    ResizeRequest request;
    request.rule = ResizeRule::LongEdge;
    request.longEdge = 2048;
    return RunResize(request);
}

int RunResizeUp()
{
    ResizeRequest request;
    request.rule = ResizeRule::Percent;
    request.millionths = 1500000;
    return RunResize(request);
}

int PrepareWrite(int variant)
{
    const FileVariant* file = &FileVariants[variant];
    RestorePicture();
    std::snprintf(MainDocument.path, sizeof MainDocument.path, "%s", file->path);
    return 0;
}

// The quality a new setting starts at (80).
int RunWrite(int variant)
{
    const FileVariant& file = FileVariants[variant];
    const Outcome outcome =
        file.isJpeg ? WriteJpegFile(&MainDocument, JpegWriteSettings{kJpegQualityDefault, file.progressive != 0})
                    : WriteBmpFile(&MainDocument, BmpWriteSettings{file.bmpDepth});
    return outcome.ok() ? 0 : -1;
}

// A read case reads what its write case left on disk; run alone (--only),
// it writes the file first, untimed.
int PrepareRead(int variant)
{
    const FileVariant* file = &FileVariants[variant];
    std::error_code error;
    if (!std::filesystem::exists(file->path, error) &&
        (PrepareWrite(variant) != 0 || RunWrite(variant) != 0))
        return -1;
    ReleaseDocument(&BenchState.readDocument);
    ResetDocument(&BenchState.readDocument);
    std::snprintf(BenchState.readDocument.path, sizeof BenchState.readDocument.path, "%s", file->path);
    return 0;
}

int RunRead(int variant)
{
    ImageDocument* doc = &BenchState.readDocument;
    const Outcome outcome = FileVariants[variant].isJpeg ? ReadJpegFile(doc) : ReadBmpFile(doc);
    // A read that "succeeds" with the wrong picture would time nothing useful.
    if (!outcome.ok() || doc->width != MainDocument.width || doc->height != MainDocument.height)
        return -1;
    return 0;
}

int PrepareWriteJpeg() { return PrepareWrite(kJpegSequential); }
int PrepareWriteJpegProgressive() { return PrepareWrite(kJpegProgressive); }
int PrepareWriteBmp32() { return PrepareWrite(kBmp32); }
int PrepareWriteBmp24() { return PrepareWrite(kBmp24); }
int RunWriteJpeg() { return RunWrite(kJpegSequential); }
int RunWriteJpegProgressive() { return RunWrite(kJpegProgressive); }
int RunWriteBmp32() { return RunWrite(kBmp32); }
int RunWriteBmp24() { return RunWrite(kBmp24); }
int PrepareReadJpeg() { return PrepareRead(kJpegSequential); }
int PrepareReadJpegProgressive() { return PrepareRead(kJpegProgressive); }
int PrepareReadBmp32() { return PrepareRead(kBmp32); }
int PrepareReadBmp24() { return PrepareRead(kBmp24); }
int RunReadJpeg() { return RunRead(kJpegSequential); }
int RunReadJpegProgressive() { return RunRead(kJpegProgressive); }
int RunReadBmp32() { return RunRead(kBmp32); }
int RunReadBmp24() { return RunRead(kBmp24); }

// Each dialog's preview re-render as the dialog does it on every change of
// a control: a fresh copy of the preview image, processed.  The copy is
// part of the time.
int MakePreview(LONG boxSide)
{
    const RECT box = {0, 0, boxSide, boxSide};
    const RECT source = {0, 0, MainDocument.width, MainDocument.height};
    RECT fitted = {};
    FitRect(&box, &source, &fitted);
    BITMAPINFO header = {};
    if (ScaleDib(&BenchState.preview, MainDocument.dib, &fitted, &header) != 0)
        return -1;
    BenchState.previewWidth = fitted.right - fitted.left;
    BenchState.previewHeight = fitted.bottom - fitted.top;
    return 0;
}

// Returns the copy's block (locked at *dib), or null.
HGLOBAL CopyPreview(BYTE** dib)
{
    const std::size_t bytes = WorkDibBytes(BenchState.previewWidth, BenchState.previewHeight);
    HGLOBAL block = AllocateBlock(bytes + 4);
    if (!block)
        return nullptr;
    const BYTE* source = static_cast<const BYTE*>(GlobalLock(BenchState.preview));
    *dib = static_cast<BYTE*>(GlobalLock(block));
    std::memcpy(*dib, source, bytes);
    GlobalUnlock(BenchState.preview);
    return block;
}

void FreeCopy(HGLOBAL block)
{
    GlobalUnlock(block);
    FreeBlock(block);
}

int PreparePreviewBump()
{
    SetBumpPlacement(0, 0);
    return 0;
}

int RunPreviewBump()
{
    BYTE* dib = nullptr;
    HGLOBAL block = CopyPreview(&dib);
    if (!block)
        return -1;
    const Failure result = RenderBumpPixels(BenchState.bump, dib, BenchState.previewWidth, BenchState.previewHeight,
                                            MainDocument.width, MainDocument.height, &WatermarkDocument);
    FreeCopy(block);
    return result == Failure::None ? 0 : -1;
}

// The slowest setting of the filter dialog: soft at 10 passes.
int PreparePreviewSoft10()
{
    BenchState.filter.kind = FilterKind::Soft;
    BenchState.filter.strength = 10;
    return 0;
}

int PreparePreviewSharpen()
{
    BenchState.filter.kind = FilterKind::Sharpen;
    BenchState.filter.strength = 5;
    return 0;
}

int RunPreviewFilter()
{
    BYTE* dib = nullptr;
    HGLOBAL block = CopyPreview(&dib);
    if (!block)
        return -1;
    const int result = ApplyNeighbourhoodFilter(BenchState.filter, block) == Failure::None ? 0 : -1;
    FreeCopy(block);
    return result;
}

int RunPreviewEffect()
{
    BYTE* dib = nullptr;
    HGLOBAL block = CopyPreview(&dib);
    if (!block)
        return -1;
    BenchState.effect.kind = EffectKind::Posterize;
    ApplyEffect(BenchState.effect, WorkDibPixels(dib), reinterpret_cast<const BITMAPINFOHEADER*>(dib));
    FreeCopy(block);
    return 0;
}

int PreparePreviewYsh()
{
    BenchState.ysh = YshParams{};
    BenchState.ysh.luminance = 110;
    BenchState.ysh.saturation = 130;
    BenchState.ysh.hue = 210;
    return 0;
}

int RunPreviewYsh()
{
    BYTE* dib = nullptr;
    HGLOBAL block = CopyPreview(&dib);
    if (!block)
        return -1;
    ApplyColourAdjust(BenchState.ysh, WorkDibPixels(dib), BenchState.previewWidth, BenchState.previewHeight);
    FreeCopy(block);
    return 0;
}

// A flat mark like a line of bold letters: rings and bars 60 pixels thick
// with antialiased edges, height 255 inside and 0 outside.
int MakeBevelMark()
{
    ImageDocument& mark = BenchState.bevelMark;
    ResetDocument(&mark);
    HGLOBAL block = AllocateBlock(WorkDibBytes(kBevelMarkWidth, kBevelMarkHeight));
    const std::size_t bytes = WorkDibBytes(kBevelMarkWidth, kBevelMarkHeight);
    BenchState.bevelPristine = static_cast<BYTE*>(std::malloc(bytes));
    if (!block || !BenchState.bevelPristine)
        return -1;
    AdoptWorkDib(&mark, block, kBevelMarkWidth, kBevelMarkHeight, nullptr);
    BYTE* p = WorkDibPixels(mark.dib);
    for (LONG y = 0; y < kBevelMarkHeight; ++y)
        for (LONG x = 0; x < kBevelMarkWidth; ++x, p += 4) {
            // Eight letters of 250 pixels: a ring, then a bar, in turn.
            const double lx = x % 250 - 125.0, ly = y - 250.0;
            const double ring = std::fabs(std::hypot(lx, ly * 0.6) - 80.0) - 30.0;
            const double bar = std::max(std::fabs(lx) - 30.0, std::fabs(ly) - 200.0);
            const double edge = (x / 250) % 2 ? bar : ring;  // negative inside
            const double level = std::clamp(0.5 - edge, 0.0, 1.0) * 255.0;
            p[0] = p[1] = p[2] = p[3] = static_cast<BYTE>(level + 0.5);
        }
    std::memcpy(BenchState.bevelPristine, mark.dib, bytes);
    return 0;
}

int PrepareBevel()
{
    std::memcpy(BenchState.bevelMark.dib, BenchState.bevelPristine,
                WorkDibBytes(kBevelMarkWidth, kBevelMarkHeight));
    return 0;
}

int RunBevel()
{
    return ApplyBevel(BevelParams{kBevelMarkBevel}, &BenchState.bevelMark) == Failure::None ? 0 : -1;
}

enum class PixelCount { Picture, Watermark, Preview, BevelMark };

struct BenchCase {
    const char* name;
    PixelCount pixels;  // which pixels the operation processes
    int (*prepare)();
    int (*run)();
};

const BenchCase kCases[] = {
    {"bump NoEnlarge (centred)", PixelCount::Watermark, PrepareBumpNoEnlarge, RunBump},
    {"bump Tile", PixelCount::Picture, PrepareBumpTile, RunBump},
    {"bump Stretch", PixelCount::Picture, PrepareBumpStretch, RunBump},
    {"filter sharpen 5", PixelCount::Picture, PrepareSharpen, RunFilter},
    {"filter soft 1", PixelCount::Picture, PrepareSoft, RunFilter},
    {"filter emboss 5", PixelCount::Picture, PrepareEmboss, RunFilter},
    {"filter custom 1", PixelCount::Picture, PrepareCustom, RunFilter},
    {"effect negative", PixelCount::Picture, PrepareDefault, RunNegative},
    {"effect posterize 64", PixelCount::Picture, PrepareDefault, RunPosterize},
    {"effect solarize 64", PixelCount::Picture, PrepareDefault, RunSolarize},
    {"effect binarize 64", PixelCount::Picture, PrepareDefault, RunBinarize},
    {"effect contrast (measured)", PixelCount::Picture, PrepareDefault, RunContrast},
    {"ysh +10% +30% +30deg", PixelCount::Picture, PrepareYsh, RunColourAdjust},
    {"ysh cmyk round trip", PixelCount::Picture, PrepareCmyk, RunColourAdjust},
    {"ScaleDib to picture size", PixelCount::Picture, PrepareDefault, RunScale},
    {"resize to 2048px (area)", PixelCount::Picture, PrepareDefault, RunResizeDown},
    {"resize to 150% (bilinear)", PixelCount::Picture, PrepareDefault, RunResizeUp},
    {"jpeg write q80", PixelCount::Picture, PrepareWriteJpeg, RunWriteJpeg},
    {"jpeg read", PixelCount::Picture, PrepareReadJpeg, RunReadJpeg},
    {"jpeg write q80 progressive", PixelCount::Picture, PrepareWriteJpegProgressive, RunWriteJpegProgressive},
    {"jpeg read progressive", PixelCount::Picture, PrepareReadJpegProgressive, RunReadJpegProgressive},
    {"bmp write 24-bit", PixelCount::Picture, PrepareWriteBmp24, RunWriteBmp24},
    {"bmp read 24-bit", PixelCount::Picture, PrepareReadBmp24, RunReadBmp24},
    {"bmp write 32-bit", PixelCount::Picture, PrepareWriteBmp32, RunWriteBmp32},
    {"bmp read 32-bit", PixelCount::Picture, PrepareReadBmp32, RunReadBmp32},
    {"preview bump Stretch", PixelCount::Preview, PreparePreviewBump, RunPreviewBump},
    {"preview filter sharpen 5", PixelCount::Preview, PreparePreviewSharpen, RunPreviewFilter},
    {"preview filter soft 10", PixelCount::Preview, PreparePreviewSoft10, RunPreviewFilter},
    {"preview effect posterize", PixelCount::Preview, PrepareDefault, RunPreviewEffect},
    {"preview ysh", PixelCount::Preview, PreparePreviewYsh, RunPreviewYsh},
    {"bevel 50 of a 2000x500 mark", PixelCount::BevelMark, PrepareBevel, RunBevel},
};

// ---------------------------------------------------------------------------
// Running and reporting.

int RunCase(const BenchCase* benchCase, int reps, double* medianMs)
{
    double times[kMaxReps];
    for (int i = -1; i < reps; ++i) {  // i = -1 is the warm-up
        if (benchCase->prepare() != 0)
            return -1;
        const auto start = std::chrono::steady_clock::now();
        const int result = benchCase->run();
        const auto stop = std::chrono::steady_clock::now();
        if (result != 0)
            return -1;
        if (i >= 0)
            times[i] = std::chrono::duration<double, std::milli>(stop - start).count();
    }
    std::sort(times, times + reps);
    *medianMs = reps % 2 ? times[reps / 2] : (times[reps / 2 - 1] + times[reps / 2]) / 2.0;
    return 0;
}

void PrintUsage(std::FILE* stream)
{
    std::fprintf(stream,
                 "usage: quillvane_bench [--reps N] [--size WxH] [--only TEXT]\n"
                 "  --reps N     timed runs per operation after one warm-up (default %d)\n"
                 "  --size WxH   the generated picture's size (default %dx%d)\n"
                 "  --only TEXT  run only the operations whose name contains TEXT\n",
                 kDefaultReps, static_cast<int>(kDefaultWidth), static_cast<int>(kDefaultHeight));
}

// "--name VALUE" or "--name=VALUE".  Returns the value, or null when argv[*i]
// is not this option; *missing is set when the value is absent.
const char* OptionValue(int argc, char** argv, int* i, const char* name, bool* missing)
{
    const std::size_t length = std::strlen(name);
    const char* arg = argv[*i];
    if (std::strncmp(arg, name, length) != 0)
        return nullptr;
    if (arg[length] == '=')
        return arg + length + 1;
    if (arg[length] != '\0')
        return nullptr;
    if (*i + 1 >= argc) {
        *missing = true;
        return nullptr;
    }
    return argv[++*i];
}

int ParseInteger(const char* text, long minimum, long maximum, long* value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < minimum || parsed > maximum)
        return -1;
    *value = parsed;
    return 0;
}

// Returns 0, 1 when usage was printed, or 2 on a bad command line.
int ParseOptions(int argc, char** argv, BenchOptions* options)
{
    *options = {kDefaultReps, kDefaultWidth, kDefaultHeight, nullptr};
    for (int i = 1; i < argc; ++i) {
        bool missing = false;
        const char* value = nullptr;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout);
            return 1;
        }
        if ((value = OptionValue(argc, argv, &i, "--reps", &missing))) {
            long reps = 0;
            if (ParseInteger(value, 1, kMaxReps, &reps) != 0) {
                std::fprintf(stderr, "quillvane_bench: --reps must be 1..%d, not '%s'\n", kMaxReps, value);
                return 2;
            }
            options->reps = static_cast<int>(reps);
        } else if ((value = OptionValue(argc, argv, &i, "--size", &missing))) {
            long width = 0, height = 0;
            char widthText[32] = {}, heightText[32] = {};
            const char* x = std::strchr(value, 'x');
            const std::size_t widthLength = x ? static_cast<std::size_t>(x - value) : 0;
            if (x && widthLength < sizeof widthText && std::strlen(x + 1) < sizeof heightText) {
                std::memcpy(widthText, value, widthLength);
                std::strcpy(heightText, x + 1);
            }
            if (!x || ParseInteger(widthText, 3, kMaxPictureSide, &width) != 0 ||
                ParseInteger(heightText, 3, kMaxPictureSide, &height) != 0 ||
                !PictureSizeAllowed(width, height)) {
                std::fprintf(stderr, "quillvane_bench: --size must be WxH (3..%lld each, at most %lld pixels), not '%s'\n",
                             static_cast<long long>(kMaxPictureSide), static_cast<long long>(kMaxPicturePixels), value);
                return 2;
            }
            options->width = static_cast<LONG>(width);
            options->height = static_cast<LONG>(height);
        } else if ((value = OptionValue(argc, argv, &i, "--only", &missing))) {
            options->only = value;
        } else {
            std::fprintf(stderr, "quillvane_bench: %s '%s'\n",
                         missing ? "missing value after" : "unknown argument", argv[i]);
            PrintUsage(stderr);
            return 2;
        }
    }
    return 0;
}

int MakeScratchDirectory()
{
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error)
        return -1;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "quillvane-bench-%llx-%d",
                      static_cast<unsigned long long>(stamp), attempt);
        const std::filesystem::path directory = base / name;
        if (!std::filesystem::create_directory(directory, error))
            continue;
        const std::string text = directory.string();
        if (text.size() + 32 >= sizeof BenchState.directory) {
            std::filesystem::remove(directory, error);
            return -1;
        }
        std::snprintf(BenchState.directory, sizeof BenchState.directory, "%s", text.c_str());
        for (FileVariant& file : FileVariants)
            std::snprintf(file.path, sizeof file.path, "%s/%s", text.c_str(), file.fileName);
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    BenchOptions options;
    const int parsed = ParseOptions(argc, argv, &options);
    if (parsed != 0)
        return parsed == 1 ? 0 : 2;

    const LONG side = std::min({kWatermarkSide, options.width, options.height});
    ResetDocument(&MainDocument);
    ResetDocument(&WatermarkDocument);
    if (GeneratePhoto(&MainDocument, options.width, options.height) != 0 ||
        GenerateWatermark(&WatermarkDocument, side) != 0) {
        std::fprintf(stderr, "quillvane_bench: not enough memory for a %dx%d picture\n",
                     static_cast<int>(options.width), static_cast<int>(options.height));
        return 1;
    }
    // As the open command does after every load.
    ComputeLuminance(&MainDocument);
    ComputeLuminance(&WatermarkDocument);

    BenchState.pristineBytes = WorkDibBytes(options.width, options.height);
    BenchState.pristine = static_cast<BYTE*>(std::malloc(BenchState.pristineBytes));
    if (!BenchState.pristine || MakeScratchDirectory() != 0 || MakePreview(kPreviewBoxSide) != 0 ||
        MakeBevelMark() != 0) {
        std::fprintf(stderr, "quillvane_bench: cannot set up (memory or temporary directory)\n");
        return 1;
    }
    std::memcpy(BenchState.pristine, MainDocument.dib, BenchState.pristineBytes);

    // The settings a user would leave at their defaults, light from the
    // upper left (azimuth 135, elevation 45).
    const double azimuth = 135.0 * kPi / 180.0, elevation = 45.0 * kPi / 180.0;
    BenchState.bump.lightX = std::cos(elevation) * std::cos(azimuth);
    BenchState.bump.lightY = std::cos(elevation) * std::sin(azimuth);
    BenchState.bump.lightZ = std::sin(elevation);
    BenchState.bump.strength = 20;
    BenchState.bump.amplification = 200;
    BenchState.bump.ambient = 60;
    const int kernel[3][3] = {{0, -1, 0}, {-1, 5, -1}, {0, -1, 0}};
    std::memcpy(BenchState.filter.kernel, kernel, sizeof kernel);
    BenchState.effect.bandWidth = 64;

    const double pictureMp = static_cast<double>(options.width) * options.height / 1e6;
    const double watermarkMp = static_cast<double>(side) * side / 1e6;
    const double previewMp = static_cast<double>(BenchState.previewWidth) * BenchState.previewHeight / 1e6;
    std::printf("quillvane_bench: picture %dx%d (%.1f MP), watermark %dx%d, preview %dx%d, median of %d runs after 1 warm-up, build %s\n",
                static_cast<int>(options.width), static_cast<int>(options.height), pictureMp,
                static_cast<int>(side), static_cast<int>(side), static_cast<int>(BenchState.previewWidth),
                static_cast<int>(BenchState.previewHeight), options.reps, QUILLVANE_BENCH_BUILD_TYPE);
    std::printf("%-28s %12s %10s %10s\n", "operation", "median ms", "MP", "MP/s");
    std::fflush(stdout);

    int failures = 0;
    int ran = 0;
    for (const BenchCase& benchCase : kCases) {
        if (options.only && !std::strstr(benchCase.name, options.only))
            continue;
        ++ran;
        const double mp = benchCase.pixels == PixelCount::Watermark ? watermarkMp
                          : benchCase.pixels == PixelCount::Preview ? previewMp
                          : benchCase.pixels == PixelCount::BevelMark ? kBevelMarkWidth * kBevelMarkHeight / 1e6
                                                                     : pictureMp;
        double medianMs = 0.0;
        if (RunCase(&benchCase, options.reps, &medianMs) != 0) {
            std::printf("%-28s %12s\n", benchCase.name, "FAILED");
            ++failures;
        } else {
            std::printf("%-28s %12.3f %10.3f %10.1f\n", benchCase.name, medianMs, mp,
                        medianMs > 0.0 ? mp / (medianMs / 1000.0) : 0.0);
        }
        std::fflush(stdout);
    }

    ReleaseDocument(&BenchState.readDocument);
    if (BenchState.preview)
        FreeBlock(BenchState.preview);
    ReleaseDocument(&MainDocument);
    ReleaseDocument(&WatermarkDocument);
    std::free(BenchState.pristine);
    ReleaseDocument(&BenchState.bevelMark);
    std::free(BenchState.bevelPristine);
    std::error_code error;
    std::filesystem::remove_all(BenchState.directory, error);

    if (ran == 0) {
        std::fprintf(stderr, "quillvane_bench: no operation matches '%s'\n", options.only);
        return 2;
    }
    return failures ? 1 : 0;
}
