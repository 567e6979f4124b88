#include "text/text_mark.h"

#include "image/blocks.h"
#include "processing/bevel.h"
#include "processing/filters.h"
#include "processing/neighbourhood.h"

#include <cstring>

namespace {

// The soft filter's passes over the whole picture, as the filter command
// runs them.
int Soften(ImageDocument* doc, int passes)
{
    FilterParams soft;
    soft.kind = FilterKind::Soft;
    soft.strength = passes;
    return ApplyNeighbourhoodFilter(soft, doc->hDib) == Failure::None ? 0 : -1;
}

}  // namespace

TextMarkFailure BuildTextMarkDocument(const TextField& field, int soften, ImageDocument* doc)
{
    ReleaseDocument(doc);
    const LONG width = static_cast<LONG>(field.width);
    const LONG height = static_cast<LONG>(field.height);
    HGLOBAL block = AllocateBlock(WorkDibBytes(width, height));
    if (!block)
        return TextMarkFailure::OutOfMemory;
    AdoptWorkDib(doc, block, width, height, nullptr);
    doc->isModified = 0;
    WriteWorkDibHeader(doc->dib, width, height);
    // The field's rows run top-down, the WorkDib's bottom-up.
    BYTE* pixels = WorkDibPixels(doc->dib);
    for (LONG r = 0; r < height; ++r) {
        const unsigned char* source = field.levels.data() + static_cast<std::size_t>(height - 1 - r) * width;
        BYTE* target = pixels + static_cast<std::size_t>(r) * width * kBytesPerPixel;
        for (LONG c = 0; c < width; ++c) {
            target[4 * c] = source[c];
            target[4 * c + 1] = source[c];
            target[4 * c + 2] = source[c];
            target[4 * c + 3] = 0;
        }
    }
    if (soften > 0 && Soften(doc, soften) != 0) {
        ReleaseDocument(doc);
        return TextMarkFailure::SoftenOutOfMemory;
    }
    ComputeLuminance(doc);
    return TextMarkFailure::None;
}

int TextMarkBevel(const TextMarkParams& params)
{
    return params.bevel == kTextBevelDefault ? DefaultTextBevel(params.textHeight) : params.bevel;
}

TextMarkFailure BuildTextMark(const TextField& field, const TextMarkParams& params, ImageDocument* doc)
{
    const TextMarkFailure made = BuildTextMarkDocument(field, 0, doc);
    if (made != TextMarkFailure::None)
        return made;
    if (ApplyBevel(BevelParams{TextMarkBevel(params)}, doc) != Failure::None) {
        ReleaseDocument(doc);
        return TextMarkFailure::OutOfMemory;
    }
    if (params.soften > 0 && Soften(doc, params.soften) != 0) {
        ReleaseDocument(doc);
        return TextMarkFailure::SoftenOutOfMemory;
    }
    ComputeLuminance(doc);
    return TextMarkFailure::None;
}
