// Why a text mark could not be drawn.  The text code shows nothing; the
// front end turns an outcome into its own words.
#pragma once

#include <string>
#include <utility>

enum class TextFailure : unsigned char {
    None,
    // The parameters, checked before anything is opened.
    TextHeightOutOfRange,   // number: the height asked for
    SoftenOutOfRange,       // number: the passes asked for
    FontIndexOutOfRange,    // number: the index asked for
    TextTooLong,
    TextEmpty,
    // The text's characters.
    TextNotUtf8,            // number: the byte, counted from 1, where decoding failed
    ControlCharacter,       // character
    // Finding and opening the font.
    FontconfigUnavailable,
    FamilyNotUnderstood,    // font: the family asked for
    NoFontAtAll,            // the default font was asked for and none is installed
    NoSuchFamily,           // font: the family asked for (fontconfig has no match)
    FamilyNotInstalled,     // font: the family asked for (fontconfig offers only another)
    FontIndexWithFamily,
    FreeTypeUnavailable,
    FontFileUnopenable,     // font: the file
    NotAFontFile,           // font: the file
    NoSuchFace,             // font: the file; number: the faces it holds; second: the index asked for
    NoOutlines,             // font: the file
    CannotScale,            // font: the file; number: the text height
    ShaperCannotRead,       // font: the file
    // Shaping and drawing; face names the font's family and style.
    ShapingOutOfMemory,
    NoGlyph,                // face, font; character
    BrokenGlyph,            // face, font; number: the glyph index
    GlyphTooLarge,          // face, font
    FieldTooLarge,          // number, second: the width and height the outlines would need
    GlyphNotDrawable,       // face, font
    GlyphsTooLarge,         // number: the text height
    NothingDrawn,
    InkTooLarge,            // number, second: the width and height of the drawn field
};

struct TextOutcome {
    TextFailure failure = TextFailure::None;
    std::string font;       // the font file, or the family asked for
    std::string face;       // the face's family and style
    long long number = 0;
    long long second = 0;
    char32_t character = 0;

    bool ok() const { return failure == TextFailure::None; }
};

inline TextOutcome FailText(TextFailure failure, std::string font = {}, long long number = 0, long long second = 0)
{
    TextOutcome outcome;
    outcome.failure = failure;
    outcome.font = std::move(font);
    outcome.number = number;
    outcome.second = second;
    return outcome;
}
