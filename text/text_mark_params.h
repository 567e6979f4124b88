// What a text mark is drawn from: the text, the font and how the lines
// sit, with each parameter's limits and default.
#pragma once

#include <cstddef>
#include <string>

// How lines of different widths sit against each other.
enum class TextAlign { Left, Center, Right };

// Pixels from one baseline to the next.
constexpr int kTextHeightMin = 8;
constexpr int kTextHeightMax = 2048;
constexpr int kTextHeightDefault = 256;
// Passes of the soft 3x3 filter over the mark.
constexpr int kTextSoftenMax = 10;
constexpr int kTextSoftenDefault = 0;
// The face of a font collection.
constexpr int kTextFontIndexMax = 65535;
// The bevel that raises the letters from their edges (processing/bevel.h),
// in the mark's pixels: kTextBevelDefault stands for the width a text of
// its height gets, DefaultTextBevel.
constexpr int kTextBevelDefault = -1;
constexpr int DefaultTextBevel(int textHeight)
{
    return (textHeight + 5) / 10;  // round(textHeight / 10)
}
// The text, in bytes of UTF-8.
constexpr std::size_t kTextMaxBytes = 4096;

struct TextMarkParams {
    std::string text;          // UTF-8; a line break (U+000A) starts a new line
    std::string font;          // a family for fontconfig, or a font file's path; empty: the default
    int fontIndex = 0;         // the face in a collection (.ttc), 0..kTextFontIndexMax
    TextAlign align = TextAlign::Left;
    int textHeight = kTextHeightDefault;  // kTextHeightMin..kTextHeightMax
    int soften = kTextSoftenDefault;      // 0..kTextSoftenMax
    int bevel = kTextBevelDefault;        // kBevelWidth's range, or kTextBevelDefault
};
