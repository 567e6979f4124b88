// Writes the JPEG seeds of the fuzz targets that take structure: every
// process the reader meets (baseline, progressive, long scan scripts,
// arithmetic coding, restart intervals), every stored colour form (grey,
// YCbCr, RGB, CMYK and YCCK with and without Adobe's marker), odd sampling
// factors, and files the reader must refuse (12-bit samples, lossless,
// two components).
//
//   make_jpeg_seeds OUTPUT-DIRECTORY
#include "support/jpeg_generator.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using qvtest::JpegRecipe;
using qvtest::JpegStored;

struct Seed {
    std::string name;
    JpegRecipe recipe;
};

JpegRecipe Recipe(int width, int height, JpegStored stored)
{
    JpegRecipe r;
    r.width = width;
    r.height = height;
    r.stored = stored;
    return r;
}

std::vector<Seed> Seeds()
{
    std::vector<Seed> seeds;
    auto add = [&](const std::string& name, const JpegRecipe& r) { seeds.push_back({name, r}); };
    JpegRecipe r = Recipe(17, 9, JpegStored::kCmyk);
    r.adobe = true;
    add("cmyk-adobe-17x9", r);
    add("cmyk-plain-16x16", Recipe(16, 16, JpegStored::kCmyk));
    r = Recipe(23, 11, JpegStored::kYcck);
    r.adobe = true;
    add("ycck-adobe-23x11", r);
    r.progressive = true;
    add("ycck-progressive-23x11", r);
    r = Recipe(9, 17, JpegStored::kCmyk);
    r.adobe = true;
    r.progressive = true;
    add("cmyk-progressive-9x17", r);
    r = Recipe(8, 8, JpegStored::kCmyk);
    r.adobe = true;
    r.manyScanLevels = 1;  // 2 + 252 scans: within the reader's limit
    add("scans-254-8x8", r);
    r.manyScanLevels = 2;  // 2 + 504 scans: beyond it
    add("scans-506-8x8", r);
    r = Recipe(8, 8, JpegStored::kYCbCr);
    r.manyScanLevels = 2;
    add("scans-380-ycbcr-8x8", r);

    for (JpegStored stored : {JpegStored::kYCbCr, JpegStored::kGrey, JpegStored::kRgb}) {
        const char* kind = stored == JpegStored::kGrey ? "grey" : stored == JpegStored::kRgb ? "rgb" : "ycbcr";
        auto named = [&](const char* what) { return std::string(kind) + "-" + what; };
        r = Recipe(21, 13, stored);
        add(named("baseline-21x13"), r);
        r.arithmetic = true;
        add(named("arithmetic-21x13"), r);
        r.progressive = true;
        add(named("arithmetic-progressive-21x13"), r);
        r.arithmetic = false;
        add(named("progressive-21x13"), r);
        r.restartBlocks = 1;
        add(named("progressive-restart1-21x13"), r);
        r = Recipe(40, 24, stored);
        r.restartRows = 1;
        add(named("restart-rows-40x24"), r);
        r.restartRows = 0;
        r.restartBlocks = 3;
        add(named("restart-3-40x24"), r);
        r.arithmetic = true;
        add(named("arithmetic-restart-3-40x24"), r);
    }
    // Sampling factors: the library's 2x2, then odd ones per component.
    const int kFactors[][3][2] = {
        {{1, 1}, {1, 1}, {1, 1}}, {{2, 1}, {1, 1}, {1, 1}}, {{1, 2}, {1, 1}, {1, 1}},
        {{4, 1}, {1, 1}, {1, 1}}, {{1, 4}, {1, 1}, {1, 1}}, {{3, 1}, {1, 1}, {1, 1}},
        {{2, 2}, {2, 1}, {1, 2}}, {{1, 1}, {2, 2}, {1, 1}}, {{4, 2}, {1, 1}, {1, 1}},
    };
    static const char* const kFactorNames[] = {"444", "422", "440", "411", "4-1-vertical", "3x1", "mixed",
                                              "chroma-larger", "4x2"};
    for (std::size_t i = 0; i < std::size(kFactors); ++i) {
        for (bool progressive : {false, true}) {
            r = Recipe(19, 14, JpegStored::kYCbCr);
            r.progressive = progressive;
            for (int c = 0; c < 3; ++c) {
                r.sampling[c][0] = kFactors[i][c][0];
                r.sampling[c][1] = kFactors[i][c][1];
            }
            add(std::string("sample-") + kFactorNames[i] + (progressive ? "-progressive" : "") + "-19x14", r);
        }
    }
    r = Recipe(1, 1, JpegStored::kYCbCr);
    add("ycbcr-1x1", r);
    add("two-components-12x10", Recipe(12, 10, JpegStored::kTwoComponents));
    r = Recipe(33, 1, JpegStored::kGrey);
    add("grey-33x1", r);
    r = Recipe(1, 33, JpegStored::kYCbCr);
    r.progressive = true;
    add("ycbcr-progressive-1x33", r);
    r = Recipe(24, 16, JpegStored::kYCbCr);
    r.quality = 100;
    add("ycbcr-q100-24x16", r);
    r.quality = 1;
    add("ycbcr-q1-24x16", r);
    return seeds;
}

std::vector<char> Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Save(const std::string& path, const std::vector<char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// A copy of a file with its frame header changed: the marker (0xC0 + n)
// and the sample precision.  No encoder here writes such files; the reader
// must refuse them by their header.
bool Patched(const std::string& from, const std::string& to, int marker, int precision)
{
    std::vector<char> bytes = Load(from);
    for (std::size_t i = 0; i + 4 < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && (b == 0xC0 || b == 0xC2 || b == 0xC9 || b == 0xCA)) {
            bytes[i + 1] = static_cast<char>(marker);
            bytes[i + 4] = static_cast<char>(precision);
            return Save(to, bytes);
        }
    }
    return false;
}

// A copy of a file with a segment put right after its start marker.
bool WithSegment(const std::string& from, const std::string& to, int marker, std::size_t length)
{
    std::vector<char> bytes = Load(from);
    if (bytes.size() < 2)
        return false;
    std::vector<char> segment = {static_cast<char>(0xFF), static_cast<char>(marker),
                                 static_cast<char>((length + 2) >> 8), static_cast<char>((length + 2) & 0xFF)};
    for (std::size_t i = 0; i < length; ++i)
        segment.push_back(static_cast<char>('a' + i % 26));
    bytes.insert(bytes.begin() + 2, segment.begin(), segment.end());
    return Save(to, bytes);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_jpeg_seeds OUTPUT-DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    bool ok = true;
    for (const Seed& seed : Seeds())
        ok = qvtest::WriteJpeg(dir + seed.name + ".jpg", seed.recipe) && ok;
    ok = Patched(dir + "ycbcr-baseline-21x13.jpg", dir + "precision12-baseline-21x13.jpg", 0xC1, 12) && ok;
    ok = Patched(dir + "ycbcr-progressive-21x13.jpg", dir + "precision12-progressive-21x13.jpg", 0xC2, 12) && ok;
    ok = Patched(dir + "ycbcr-arithmetic-21x13.jpg", dir + "precision12-arithmetic-21x13.jpg", 0xC9, 12) && ok;
    ok = Patched(dir + "grey-baseline-21x13.jpg", dir + "lossless-grey-21x13.jpg", 0xC3, 8) && ok;
    ok = Patched(dir + "ycbcr-baseline-21x13.jpg", dir + "hierarchical-21x13.jpg", 0xC5, 8) && ok;
    ok = Patched(dir + "ycbcr-baseline-21x13.jpg", dir + "extended-21x13.jpg", 0xC1, 8) && ok;
    // A comment and an application segment the reader skips, and a
    // segment that claims more bytes than the file holds.
    ok = WithSegment(dir + "ycbcr-baseline-21x13.jpg", dir + "comment-21x13.jpg", 0xFE, 300) && ok;
    ok = WithSegment(dir + "ycbcr-baseline-21x13.jpg", dir + "app9-21x13.jpg", 0xE9, 5000) && ok;
    std::vector<char> cut = Load(dir + "app9-21x13.jpg");
    cut.resize(1000);
    ok = Save(dir + "app9-cut-21x13.jpg", cut) && ok;
    return ok ? 0 : 1;
}
