// The text-mark renderer on arbitrary text and options: the first four
// bytes choose the alignment, the line height (8..71 pixels, to keep runs
// fast), the soften passes (0..3) and the font (two font files, or a family
// through fontconfig); the rest is the text, valid UTF-8 or not.  A
// refusal must say why and leave no field; a field must have its padding
// black and come out the same twice; the picture made of it must hold it.
#include "cli/text_messages.h"
#include "fuzz_support.h"
#include "text/text_mark.h"
#include "text/text_render.h"

#include <cstdint>
#include <string>

namespace {

const char* const kFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    "DejaVu Sans",
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    if (size < 4)
        return 0;
    TextMarkParams options;
    options.align = static_cast<TextAlign>(data[0] % 3);
    options.textHeight = kTextHeightMin + data[1] % 64;
    options.soften = data[2] % 4;
    options.font = kFonts[data[3] % 4];
    options.text.assign(reinterpret_cast<const char*>(data + 4), size - 4);

    TextField field;
    const TextOutcome outcome = RenderTextField(options, &field);
    if (!outcome.ok()) {
        qvfuzz::Check(!TextFailureText(outcome).empty(), "a refusal says why");
        qvfuzz::Check(field.width == 0 && field.height == 0 && field.levels.empty(), "a refusal leaves no field");
        return 0;
    }
    qvfuzz::Check(field.width > 0 && field.height > 0, "a field has pixels");
    qvfuzz::Check(field.levels.size() == static_cast<std::size_t>(field.width * field.height), "the field's size");
    const long pad = TextPadding(options);
    qvfuzz::Check(field.width > 2 * pad && field.height > 2 * pad, "the field holds more than its padding");
    bool inked = false;
    for (long y = 0; y < field.height; ++y)
        for (long x = 0; x < field.width; ++x) {
            const unsigned char level = field.levels[static_cast<std::size_t>(y * field.width + x)];
            const bool padding = x < pad || y < pad || x >= field.width - pad || y >= field.height - pad;
            qvfuzz::Check(!padding || level == 0, "the padding is black");
            inked |= level != 0;
        }
    qvfuzz::Check(inked, "a field has ink");

    TextField again;
    qvfuzz::Check(RenderTextField(options, &again).ok() && again.levels == field.levels,
                  "the same text draws the same field");

    ImageDocument doc = {};
    ResetDocument(&doc);
    if (BuildTextMarkDocument(field, options.soften, &doc) == TextMarkFailure::None) {
        qvfuzz::Check(doc.width == field.width && doc.height == field.height, "the picture has the field's size");
        ReleaseDocument(&doc);
    }
    return 0;
}
