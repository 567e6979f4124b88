#include "text/text_render.h"

#include "text/font_lookup.h"
#include "text/text_utf8.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ot.h>
#include <hb.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The largest field drawn, and the most glyph pixels held while drawing.
constexpr std::int64_t kMaxFieldPixels = std::int64_t{1} << 26;
constexpr std::int64_t kMaxFieldSide = std::int64_t{1} << 20;
constexpr std::int64_t kMaxGlyphBytes = std::int64_t{1} << 27;
// A glyph whose outline box is larger than this many line heights is a
// broken or hostile font, not lettering.
constexpr long kMaxGlyphLines = 4;

// The open font: a FreeType face at the mark's size and the HarfBuzz font
// over it.  Freed in reverse order by the destructor.
struct MarkFont {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    hb_font_t* shaper = nullptr;
    std::string name;
    std::string file;
    int index = 0;

    MarkFont() = default;
    MarkFont(const MarkFont&) = delete;
    MarkFont& operator=(const MarkFont&) = delete;
    ~MarkFont()
    {
        if (shaper)
            hb_font_destroy(shaper);
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

// A failure of one of the font's glyphs, named with the font.
TextOutcome GlyphFailure(TextFailure failure, const MarkFont& font)
{
    TextOutcome outcome = FailText(failure, font.file);
    outcome.face = font.name;
    return outcome;
}

bool IsRegularFile(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool EndsWithNoCase(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = text[text.size() - n + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

// A --font value names a file when it has a slash (on Windows a backslash
// too), names an existing file, or ends like a font file; otherwise it is a
// family.
bool NamesFontFile(const std::string& font)
{
#ifdef _WIN32
    if (font.find('\\') != std::string::npos)
        return true;
#endif
    return font.find('/') != std::string::npos || IsRegularFile(font) || EndsWithNoCase(font, ".ttf") ||
           EndsWithNoCase(font, ".otf") || EndsWithNoCase(font, ".ttc") || EndsWithNoCase(font, ".otc") ||
           EndsWithNoCase(font, ".pfb") || EndsWithNoCase(font, ".woff");
}

// Opens the font and sets its size so that one line is textHeight pixels
// from baseline to baseline.
int OpenMarkFont(const TextMarkParams& params, MarkFont* font, TextOutcome* problem)
{
    if (params.font.empty() || !NamesFontFile(params.font)) {
        if (params.fontIndex != 0) {
            *problem = FailText(TextFailure::FontIndexWithFamily);
            return -1;
        }
        if (FindFamily(params.font, &font->file, &font->index, problem) != 0)
            return -1;
    } else {
        font->file = params.font;
        font->index = params.fontIndex;
    }
    if (FT_Init_FreeType(&font->library) != 0) {
        font->library = nullptr;
        *problem = FailText(TextFailure::FreeTypeUnavailable);
        return -1;
    }
    // Opening with index -1 only counts the faces, so that a wrong index
    // gets its own message.
    FT_Face probe = nullptr;
    FT_Error error = FT_New_Face(font->library, font->file.c_str(), -1, &probe);
    if (error == FT_Err_Cannot_Open_Resource) {
        *problem = FailText(TextFailure::FontFileUnopenable, font->file);
        return -1;
    }
    if (error != 0) {
        *problem = FailText(TextFailure::NotAFontFile, font->file);
        return -1;
    }
    const long faces = probe->num_faces;
    FT_Done_Face(probe);
    if (font->index >= faces) {
        *problem = FailText(TextFailure::NoSuchFace, font->file, faces, font->index);
        return -1;
    }
    if (FT_New_Face(font->library, font->file.c_str(), font->index, &font->face) != 0) {
        font->face = nullptr;
        *problem = FailText(TextFailure::NotAFontFile, font->file);
        return -1;
    }
    FT_Face face = font->face;
    font->name = face->family_name ? face->family_name : "(unnamed)";
    if (face->style_name && std::strcmp(face->style_name, "Regular") != 0 && std::strcmp(face->style_name, "Book") != 0)
        font->name += std::string(" ") + face->style_name;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        *problem = FailText(TextFailure::NoOutlines, font->file);
        return -1;
    }

    // The em in 1/64 pixel that makes the font's line spacing textHeight
    // pixels; a font whose line spacing is absurd gets an em of textHeight.
    const std::int64_t lineUnits = face->height > 0 ? face->height : face->units_per_EM;
    std::int64_t em = (std::int64_t{params.textHeight} * 64 * face->units_per_EM + lineUnits / 2) / lineUnits;
    if (em < std::int64_t{params.textHeight} * 16 || em > std::int64_t{params.textHeight} * 256)
        em = std::int64_t{params.textHeight} * 64;
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(em), 72, 72) != 0) {
        *problem = FailText(TextFailure::CannotScale, font->file, params.textHeight);
        return -1;
    }
    // HarfBuzz reads the font file itself (mapped, not copied table by
    // table through FreeType), at the same em: its positions are the
    // unhinted outlines' positions FreeType draws.
    hb_blob_t* blob = hb_blob_create_from_file(font->file.c_str());
    hb_face_t* shapingFace = hb_face_create(blob, static_cast<unsigned>(font->index));
    hb_blob_destroy(blob);
    font->shaper = hb_font_create(shapingFace);
    hb_face_destroy(shapingFace);
    if (hb_face_get_glyph_count(hb_font_get_face(font->shaper)) == 0) {
        *problem = FailText(TextFailure::ShaperCannotRead, font->file);
        return -1;
    }
    hb_font_set_scale(font->shaper, static_cast<int>(em), static_cast<int>(em));
    return 0;
}

// A run of one script within a line: [start, end) of the line's codes.
struct ScriptRun {
    std::size_t start;
    std::size_t end;
    hb_script_t script;
};

bool IsNeutralScript(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

hb_direction_t DirectionOf(hb_script_t script)
{
    const hb_direction_t direction = hb_script_get_horizontal_direction(script);
    return direction == HB_DIRECTION_RTL ? HB_DIRECTION_RTL : HB_DIRECTION_LTR;
}

// Splits a line into runs of one script each.  Combining marks stay with
// their base.  Other neutral characters (spaces, digits, punctuation)
// between two runs join the earlier one, unless only the later one runs in
// the line's direction: a space between a Hebrew word and a Latin one in a
// Latin line belongs between them, not inside the Hebrew run's right end.
std::vector<ScriptRun> SplitScripts(const char32_t* codes, std::size_t count, hb_direction_t lineDirection)
{
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    std::vector<ScriptRun> runs;
    std::size_t pending = count;  // start of the neutral characters not yet placed
    for (std::size_t i = 0; i < count; ++i) {
        const hb_script_t script = hb_unicode_script(unicode, codes[i]);
        if (IsNeutralScript(script)) {
            if (pending == count && (runs.empty() || script != HB_SCRIPT_INHERITED))
                pending = i;
            if (pending == count)
                runs.back().end = i + 1;  // a mark on the run's last letter
            continue;
        }
        const std::size_t start = pending == count ? i : pending;
        pending = count;
        if (runs.empty()) {
            runs.push_back({start, i + 1, script});
        } else if (script == runs.back().script) {
            runs.back().end = i + 1;
        } else if (DirectionOf(runs.back().script) != lineDirection && DirectionOf(script) == lineDirection) {
            runs.push_back({start, i + 1, script});  // the neutrals open the new run
        } else {
            runs.back().end = i;  // the neutrals close the earlier run
            runs.push_back({i, i + 1, script});
        }
    }
    if (pending != count) {
        if (runs.empty())
            runs.push_back({0, count, HB_SCRIPT_COMMON});
        else
            runs.back().end = count;
    }
    return runs;
}

bool IsJapaneseScript(hb_script_t script)
{
    return script == HB_SCRIPT_HAN || script == HB_SCRIPT_HIRAGANA || script == HB_SCRIPT_KATAKANA;
}

// Names the first code point of a cluster the font has no glyph for.
char32_t MissingCharacter(FT_Face face, const std::vector<char32_t>& codes, std::size_t cluster, std::size_t end)
{
    for (std::size_t i = cluster; i < end; ++i)
        if (FT_Get_Char_Index(face, codes[i]) == 0)
            return codes[i];
    return codes[cluster];
}

// Shapes one line (codes [lineStart, lineEnd) of the text) and appends its
// glyphs with x from the line's start.  Returns the pen's travel, or -1
// with *problem.
long ShapeLine(const MarkFont& font, const std::vector<char32_t>& codes, std::size_t lineStart,
               std::size_t lineEnd, int line, std::vector<TextGlyph>* glyphs, TextOutcome* problem)
{
    const std::size_t count = lineEnd - lineStart;
    const char32_t* lineCodes = codes.data() + lineStart;
    // Runs go left to right, or right to left when the line's first letter
    // is of a right-to-left script; each run's own glyphs come out in
    // visual order.
    hb_direction_t lineDirection = HB_DIRECTION_LTR;
    hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
    for (std::size_t i = 0; i < count; ++i) {
        const hb_script_t script = hb_unicode_script(unicode, lineCodes[i]);
        if (!IsNeutralScript(script)) {
            lineDirection = DirectionOf(script);
            break;
        }
    }
    std::vector<ScriptRun> runs = SplitScripts(lineCodes, count, lineDirection);
    if (lineDirection == HB_DIRECTION_RTL)
        std::reverse(runs.begin(), runs.end());

    hb_buffer_t* buffer = hb_buffer_create();
    long pen = 0;
    int status = 0;
    for (const ScriptRun& run : runs) {
        hb_buffer_clear_contents(buffer);
        static_assert(sizeof(char32_t) == sizeof(uint32_t));
        hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(lineCodes), static_cast<int>(count),
                            static_cast<unsigned>(run.start), static_cast<int>(run.end - run.start));
        const hb_script_t script = IsNeutralScript(run.script) ? HB_SCRIPT_LATIN : run.script;
        hb_buffer_set_script(buffer, script);
        hb_buffer_set_direction(buffer, DirectionOf(script));
        // A fixed language, not the locale's, so that the glyphs chosen
        // never depend on the environment.
        hb_buffer_set_language(buffer, hb_language_from_string(IsJapaneseScript(script) ? "ja" : "und", -1));
        hb_shape(font.shaper, buffer, nullptr, 0);
        if (!hb_buffer_allocation_successful(buffer)) {
            *problem = FailText(TextFailure::ShapingOutOfMemory);
            status = -1;
            break;
        }
        unsigned glyphCount = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &glyphCount);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &glyphCount);
        // The first character without a glyph in reading order, whatever
        // the direction; its cluster ends where the next one starts.
        std::size_t missingCluster = run.end;
        for (unsigned g = 0; g < glyphCount; ++g)
            if (infos[g].codepoint == 0)
                missingCluster = std::min<std::size_t>(missingCluster, infos[g].cluster);
        if (missingCluster < run.end) {
            std::size_t end = run.end;
            for (unsigned k = 0; k < glyphCount; ++k)
                if (infos[k].cluster > missingCluster && infos[k].cluster < end)
                    end = infos[k].cluster;
            *problem = GlyphFailure(TextFailure::NoGlyph, font);
            problem->character = MissingCharacter(font.face, codes, lineStart + missingCluster, lineStart + end);
            status = -1;
            break;
        }
        for (unsigned g = 0; g < glyphCount; ++g) {
            TextGlyph glyph = {};
            glyph.glyph = infos[g].codepoint;
            glyph.cluster = static_cast<unsigned>(lineStart + infos[g].cluster);
            glyph.line = line;
            glyph.x = pen + positions[g].x_offset;
            glyph.y = -positions[g].y_offset;
            glyph.advance = hb_font_get_glyph_h_advance(font.shaper, infos[g].codepoint);
            glyphs->push_back(glyph);
            pen += positions[g].x_advance;
        }
    }
    hb_buffer_destroy(buffer);
    return status != 0 ? -1 : std::max(pen, 0L);
}

int ShapeText(const TextMarkParams& params, const MarkFont& font, TextLayout* layout, TextOutcome* problem)
{
    std::vector<char32_t> codes;
    *problem = DecodeMarkText(params.text, &codes);
    if (!problem->ok())
        return -1;
    layout->fontName = font.name;
    layout->fontFile = font.file;
    layout->fontIndex = font.index;
    layout->glyphs.clear();
    layout->lineWidths.clear();
    std::size_t start = 0;
    int line = 0;
    for (;;) {
        std::size_t end = start;
        while (end < codes.size() && codes[end] != U'\n')
            ++end;
        const long width = ShapeLine(font, codes, start, end, line, &layout->glyphs, problem);
        if (width < 0)
            return -1;
        layout->lineWidths.push_back(width);
        if (end == codes.size())
            break;
        start = end + 1;
        ++line;
    }
    // Alignment and baselines: line k's baseline is k line heights below
    // the first.
    const long widest = *std::max_element(layout->lineWidths.begin(), layout->lineWidths.end());
    for (TextGlyph& glyph : layout->glyphs) {
        const long width = layout->lineWidths[static_cast<std::size_t>(glyph.line)];
        if (params.align == TextAlign::Center)
            glyph.x += (widest - width) / 2;
        else if (params.align == TextAlign::Right)
            glyph.x += widest - width;
        glyph.y += static_cast<long>(glyph.line) * params.textHeight * 64;
    }
    return 0;
}

int CheckTextOptions(const TextMarkParams& params, TextOutcome* problem)
{
    if (params.textHeight < kTextHeightMin || params.textHeight > kTextHeightMax) {
        *problem = FailText(TextFailure::TextHeightOutOfRange, {}, params.textHeight);
        return -1;
    }
    if (params.soften < 0 || params.soften > kTextSoftenMax) {
        *problem = FailText(TextFailure::SoftenOutOfRange, {}, params.soften);
        return -1;
    }
    if (params.fontIndex < 0 || params.fontIndex > kTextFontIndexMax) {
        *problem = FailText(TextFailure::FontIndexOutOfRange, {}, params.fontIndex);
        return -1;
    }
    if (params.text.size() > kTextMaxBytes) {
        *problem = FailText(TextFailure::TextTooLong);
        return -1;
    }
    if (params.text.find_first_not_of('\n') == std::string::npos) {
        *problem = FailText(TextFailure::TextEmpty);
        return -1;
    }
    return 0;
}

// One drawn glyph: its coverage in the shared pool, top-left corner in
// whole pixels (y down), and the box of its nonzero pixels.
struct DrawnGlyph {
    std::size_t offset;
    long left;
    long top;
    long width;
    long height;
};

// Loads a glyph's outline moved by the fraction of its position; *originX
// and *originUp receive the whole pixels (y up).  Returns 0, or -1 with
// *problem.
int LoadPlacedGlyph(const MarkFont& font, const TextGlyph& glyph, long* originX, long* originUp,
                    TextOutcome* problem)
{
    if (FT_Load_Glyph(font.face, glyph.glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
        font.face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        *problem = GlyphFailure(TextFailure::BrokenGlyph, font);
        problem->number = glyph.glyph;
        return -1;
    }
    const long upY = -glyph.y;
    *originX = glyph.x >> 6;
    *originUp = upY >> 6;
    FT_Outline_Translate(&font.face->glyph->outline, glyph.x & 63, upY & 63);
    return 0;
}

// Checks the size of the field from the glyphs' outline boxes before
// anything is drawn, and estimates the bytes the drawn glyphs need.
// Returns 0, or -1 with *problem.
int CheckFieldSize(const TextMarkParams& params, const MarkFont& font, const TextLayout& layout,
                   std::int64_t* glyphBytes, TextOutcome* problem)
{
    *glyphBytes = 0;
    const long limit = kMaxGlyphLines * params.textHeight * 64;
    bool any = false;
    std::int64_t left = 0, right = 0, top = 0, bottom = 0;  // whole pixels, y up
    for (const TextGlyph& glyph : layout.glyphs) {
        long originX = 0, originUp = 0;
        if (LoadPlacedGlyph(font, glyph, &originX, &originUp, problem) != 0)
            return -1;
        if (font.face->glyph->outline.n_points == 0)
            continue;
        FT_BBox box;
        FT_Outline_Get_CBox(&font.face->glyph->outline, &box);
        if (box.xMax - box.xMin > limit || box.yMax - box.yMin > limit || box.xMin < -limit || box.xMax > limit ||
            box.yMin < -limit || box.yMax > limit) {
            *problem = GlyphFailure(TextFailure::GlyphTooLarge, font);
            return -1;
        }
        const std::int64_t l = originX + (box.xMin >> 6), r = originX + ((box.xMax + 63) >> 6);
        const std::int64_t b = originUp + (box.yMin >> 6), t = originUp + ((box.yMax + 63) >> 6);
        *glyphBytes += (r - l + 2) * (t - b + 2);
        left = any ? std::min(left, l) : l;
        right = any ? std::max(right, r) : r;
        bottom = any ? std::min(bottom, b) : b;
        top = any ? std::max(top, t) : t;
        any = true;
    }
    const std::int64_t pad = TextPadding(params);
    const std::int64_t width = right - left + 2 * pad, height = top - bottom + 2 * pad;
    if (any && (width > kMaxFieldSide || height > kMaxFieldSide || width * height > kMaxFieldPixels)) {
        *problem = FailText(TextFailure::FieldTooLarge, {}, width, height);
        return -1;
    }
    return 0;
}

// Draws every glyph of the layout into pool.  Returns 0, or -1 with
// *problem.
int DrawGlyphs(const TextMarkParams& params, const MarkFont& font, const TextLayout& layout,
               std::vector<DrawnGlyph>* drawn, std::vector<unsigned char>* pool, TextOutcome* problem)
{
    for (const TextGlyph& glyph : layout.glyphs) {
        long originX = 0, originUp = 0;
        if (LoadPlacedGlyph(font, glyph, &originX, &originUp, problem) != 0)
            return -1;
        if (font.face->glyph->outline.n_points == 0)
            continue;  // a blank
        if (FT_Render_Glyph(font.face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            *problem = GlyphFailure(TextFailure::GlyphNotDrawable, font);
            return -1;
        }
        const FT_Bitmap& bitmap = font.face->glyph->bitmap;
        if (bitmap.width == 0 || bitmap.rows == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
            continue;
        const std::size_t bytes = static_cast<std::size_t>(bitmap.width) * bitmap.rows;
        if (static_cast<std::int64_t>(pool->size() + bytes) > kMaxGlyphBytes) {
            *problem = FailText(TextFailure::GlyphsTooLarge, {}, params.textHeight);
            return -1;
        }
        // In the field y runs down.
        DrawnGlyph d = {pool->size(), originX + font.face->glyph->bitmap_left,
                        -(originUp + font.face->glyph->bitmap_top), static_cast<long>(bitmap.width),
                        static_cast<long>(bitmap.rows)};
        pool->resize(pool->size() + bytes);
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
            std::memcpy(pool->data() + d.offset + static_cast<std::size_t>(row) * bitmap.width, source, bitmap.width);
        }
        drawn->push_back(d);
    }
    return 0;
}

// The box of the ink: rows and columns with a nonzero level, inclusive.
struct InkBox {
    long left = 0, top = 0, right = -1, bottom = -1;
};

// Finds the ink of the drawn glyphs; false when there is none.
bool FindInk(const std::vector<DrawnGlyph>& drawn, const std::vector<unsigned char>& pool, InkBox* ink)
{
    bool inked = false;
    for (const DrawnGlyph& d : drawn) {
        for (long y = 0; y < d.height; ++y) {
            const unsigned char* row = pool.data() + d.offset + static_cast<std::size_t>(y * d.width);
            for (long x = 0; x < d.width; ++x) {
                if (row[x] == 0)
                    continue;
                const long px = d.left + x;
                const long py = d.top + y;
                if (!inked) {
                    ink->left = ink->right = px;
                    ink->top = ink->bottom = py;
                    inked = true;
                } else {
                    ink->left = std::min(ink->left, px);
                    ink->right = std::max(ink->right, px);
                    ink->top = std::min(ink->top, py);
                    ink->bottom = std::max(ink->bottom, py);
                }
            }
        }
    }
    return inked;
}

}  // namespace

int TextPadding(const TextMarkParams& params)
{
    return params.textHeight / 32 + 1 + params.soften;
}

TextOutcome LayoutText(const TextMarkParams& params, TextLayout* layout)
{
    *layout = TextLayout{};
    TextOutcome problem;
    if (CheckTextOptions(params, &problem) != 0)
        return problem;
    MarkFont font;
    if (OpenMarkFont(params, &font, &problem) != 0)
        return problem;
    ShapeText(params, font, layout, &problem);
    return problem;
}

TextOutcome RenderTextField(const TextMarkParams& params, TextField* field)
{
    *field = TextField{};
    TextOutcome problem;
    if (CheckTextOptions(params, &problem) != 0)
        return problem;
    MarkFont font;
    TextLayout layout;
    if (OpenMarkFont(params, &font, &problem) != 0 || ShapeText(params, font, &layout, &problem) != 0)
        return problem;
    std::vector<DrawnGlyph> drawn;
    std::vector<unsigned char> pool;
    std::int64_t glyphBytes = 0;
    if (CheckFieldSize(params, font, layout, &glyphBytes, &problem) != 0)
        return problem;
    pool.reserve(static_cast<std::size_t>(std::min(glyphBytes, kMaxGlyphBytes)));
    if (DrawGlyphs(params, font, layout, &drawn, &pool, &problem) != 0)
        return problem;

    InkBox ink;
    if (!FindInk(drawn, pool, &ink))
        return FailText(TextFailure::NothingDrawn);
    const long pad = TextPadding(params);
    const std::int64_t width = std::int64_t{ink.right} - ink.left + 1 + 2 * pad;
    const std::int64_t height = std::int64_t{ink.bottom} - ink.top + 1 + 2 * pad;
    if (width > kMaxFieldSide || height > kMaxFieldSide || width * height > kMaxFieldPixels)
        return FailText(TextFailure::InkTooLarge, {}, width, height);

    field->width = static_cast<long>(width);
    field->height = static_cast<long>(height);
    field->levels.assign(static_cast<std::size_t>(width * height), 0);
    // Overlapping letters add up (to white at most): where two anti-aliased
    // edges meet, their coverages are disjoint parts of the pixel.
    // A glyph's bitmap may reach beyond the ink by rows or columns of
    // zeros: only its part inside the ink box is added.
    for (const DrawnGlyph& d : drawn) {
        const long y0 = std::max(0L, ink.top - d.top), y1 = std::min(d.height, ink.bottom - d.top + 1);
        const long x0 = std::max(0L, ink.left - d.left), x1 = std::min(d.width, ink.right - d.left + 1);
        for (long y = y0; y < y1; ++y) {
            const unsigned char* source = pool.data() + d.offset + static_cast<std::size_t>(y * d.width);
            unsigned char* target =
                field->levels.data() +
                static_cast<std::size_t>((d.top + y - ink.top + pad) * width + (d.left - ink.left + pad));
            for (long x = x0; x < x1; ++x) {
                const int sum = target[x] + source[x];
                target[x] = static_cast<unsigned char>(sum > 255 ? 255 : sum);
            }
        }
    }
    return {};
}
