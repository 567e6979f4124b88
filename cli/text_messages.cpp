#include "cli/text_messages.h"

#include "cli/text.h"
#include "platform/utf16.h"
#include "text/text_mark_params.h"

#include <cstddef>
#include <cstdio>

namespace {

std::string CharacterName(char32_t code)
{
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
    const bool printable = code > 0x20 && !(code >= 0x7F && code <= 0x9F);
    if (!printable)
        return number;
    std::string name = "'";
    AppendUtf8(name, code);
    return name + "' (" + number + ")";
}

// The text and the parameters.
std::string TextParamsText(const TextOutcome& o)
{
    switch (o.failure) {
    case TextFailure::TextHeightOutOfRange:
        return Format(_("--text-height: %d is out of range (%d..%d)"), static_cast<int>(o.number), kTextHeightMin,
                      kTextHeightMax);
    case TextFailure::SoftenOutOfRange:
        return Format(_("--soften: %d is out of range (0..%d)"), static_cast<int>(o.number), kTextSoftenMax);
    case TextFailure::FontIndexOutOfRange:
        return Format(_("--font-index: %d is out of range"), static_cast<int>(o.number));
    case TextFailure::TextTooLong: return Format(_("the text is too long (at most %zu bytes)"), kTextMaxBytes);
    case TextFailure::TextEmpty: return _("the text is empty");
    case TextFailure::TextNotUtf8:
        return Format(_("the text is not valid UTF-8 (at byte %zu)"), static_cast<std::size_t>(o.number));
    case TextFailure::ControlCharacter:
        return Format(_("the text holds the control character U+%04X, which no font draws"),
                      static_cast<unsigned>(o.character));
    default: return std::string();
    }
}

// Finding and opening the font.
std::string FontText(const TextOutcome& o)
{
    const char* font = o.font.c_str();
    switch (o.failure) {
    case TextFailure::FontconfigUnavailable: return _("fontconfig cannot load its configuration");
    case TextFailure::FamilyNotUnderstood:
        return Format(_("--font: '%s' is not a font name fontconfig understands"), font);
    case TextFailure::NoFontAtAll:
#ifdef _WIN32
        return _("no font for Japanese is installed (Yu Gothic, Meiryo or MS Gothic); name a font file with --font");
#else
        return _("fontconfig finds no font at all (install fonts-ipafont-gothic)");
#endif
    case TextFailure::NoSuchFamily: return Format(_("no installed font is named '%s'"), font);
    case TextFailure::FamilyNotInstalled:
        return Format(_("no installed font is named '%s' ('fc-list : family' lists the families)"), font);
    case TextFailure::FontIndexWithFamily: return _("--font-index applies to a font file, not to a family");
    case TextFailure::FreeTypeUnavailable: return _("FreeType cannot start");
    case TextFailure::FontFileUnopenable: return Format(_("--font: cannot open the font file '%s'"), font);
    case TextFailure::NotAFontFile: return Format(_("--font: '%s' is not a font file"), font);
    case TextFailure::NoSuchFace: {
        const long faces = static_cast<long>(o.number);
        return Format(TranslatePlural("--font-index: '%s' holds %ld face (0..%ld), not %d",
                                      "--font-index: '%s' holds %ld faces (0..%ld), not %d",
                                      static_cast<unsigned long>(faces)),
                      font, faces, faces - 1, static_cast<int>(o.second));
    }
    case TextFailure::NoOutlines:
        return Format(_("--font: '%s' has no outlines (a bitmap font cannot be scaled)"), font);
    case TextFailure::CannotScale:
        return Format(_("--font: '%s' cannot be scaled to %d pixels"), font, static_cast<int>(o.number));
    case TextFailure::ShaperCannotRead: return Format(_("--font: HarfBuzz cannot read '%s'"), font);
    default: return std::string();
    }
}

// Shaping and drawing.
std::string DrawingText(const TextOutcome& o)
{
    const char* face = o.face.c_str();
    const char* font = o.font.c_str();
    switch (o.failure) {
    case TextFailure::ShapingOutOfMemory: return _("not enough memory to shape the text");
    case TextFailure::NoGlyph:
        return Format(_("the font '%s' (%s) has no glyph for %s"), face, font, CharacterName(o.character).c_str());
    case TextFailure::BrokenGlyph:
        return Format(_("the font '%s' (%s) has a broken glyph (index %u)"), face, font,
                      static_cast<unsigned>(o.number));
    case TextFailure::GlyphTooLarge: return Format(_("the font '%s' (%s) has a glyph far larger than a line"), face, font);
    case TextFailure::FieldTooLarge:
        return Format(_("the text mark would be about %lld x %lld pixels, too large (at most 2^26 pixels, "
                        "for example 8192 x 8192): use a smaller --text-height or a shorter text"),
                      o.number, o.second);
    case TextFailure::GlyphNotDrawable:
        return Format(_("the font '%s' (%s) has a glyph FreeType cannot draw"), face, font);
    case TextFailure::GlyphsTooLarge:
        return Format(_("the text is too large to draw at %d pixels a line"), static_cast<int>(o.number));
    case TextFailure::NothingDrawn: return _("the text draws nothing (only blanks)");
    case TextFailure::InkTooLarge:
        return Format(_("the text mark would be %lld x %lld pixels; at most 2^26 pixels (for example 8192 x "
                        "8192) are drawn: use a smaller --text-height or a shorter text"),
                      o.number, o.second);
    default: return std::string();
    }
}

}  // namespace

std::string TextFailureText(const TextOutcome& outcome)
{
    switch (outcome.failure) {
    case TextFailure::None: return std::string();
    case TextFailure::TextHeightOutOfRange:
    case TextFailure::SoftenOutOfRange:
    case TextFailure::FontIndexOutOfRange:
    case TextFailure::TextTooLong:
    case TextFailure::TextEmpty:
    case TextFailure::TextNotUtf8:
    case TextFailure::ControlCharacter: return TextParamsText(outcome);
    case TextFailure::FontconfigUnavailable:
    case TextFailure::FamilyNotUnderstood:
    case TextFailure::NoFontAtAll:
    case TextFailure::NoSuchFamily:
    case TextFailure::FamilyNotInstalled:
    case TextFailure::FontIndexWithFamily:
    case TextFailure::FreeTypeUnavailable:
    case TextFailure::FontFileUnopenable:
    case TextFailure::NotAFontFile:
    case TextFailure::NoSuchFace:
    case TextFailure::NoOutlines:
    case TextFailure::CannotScale:
    case TextFailure::ShaperCannotRead: return FontText(outcome);
    case TextFailure::ShapingOutOfMemory:
    case TextFailure::NoGlyph:
    case TextFailure::BrokenGlyph:
    case TextFailure::GlyphTooLarge:
    case TextFailure::FieldTooLarge:
    case TextFailure::GlyphNotDrawable:
    case TextFailure::GlyphsTooLarge:
    case TextFailure::NothingDrawn:
    case TextFailure::InkTooLarge: return DrawingText(outcome);
    }
    return std::string();
}

std::string PlaceholderFailureText(const PlaceholderOutcome& outcome)
{
    const char* placeholder = outcome.placeholder.c_str();
    switch (outcome.failure) {
    case PlaceholderFailure::None:
    case PlaceholderFailure::Count: return std::string();
    case PlaceholderFailure::Unterminated:
        return Format(_("the placeholder '%s' has no closing '}' (a brace itself is written '{{')"), placeholder);
    case PlaceholderFailure::StrayBrace:
        return Format(_("the '}' at byte %zu closes no placeholder (a brace itself is written '}}')"),
                      outcome.offset + 1);
    case PlaceholderFailure::UnknownName:
        return Format(_("unknown placeholder '%s' (known: {filename}, {date:FORMAT}, {exif:NAME}, {xmp:KEY})"),
                      placeholder);
    case PlaceholderFailure::BadDateFormat:
        return Format(_("%s: the date has no conversion '%s'"), placeholder, outcome.detail.c_str());
    case PlaceholderFailure::UnknownTag: return Format(_("%s: Exiv2 knows no such tag"), placeholder);
    case PlaceholderFailure::TagMissing:
        return Format(_("%s: the photo has no such tag (a default may follow '|')"), placeholder);
    case PlaceholderFailure::MetadataUnreadable:
        return Format(_("%s: the photo's metadata cannot be read (%s)"), placeholder, outcome.detail.c_str());
    case PlaceholderFailure::NoDate:
        return Format(_("%s: the photo has no date taken and no file time"), placeholder);
    }
    return std::string();
}
