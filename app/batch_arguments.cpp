#include "app/batch_arguments.h"

#include <cstdio>

namespace {

std::string Number(int value)
{
    return std::to_string(value);
}

// A real number that reads back as the same double.
std::string Exact(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

const char* FormatName(BatchType type)
{
    switch (type) {
    case BatchType::Bmp: return "bmp";
    case BatchType::Jpeg: return "jpeg";
    case BatchType::Png: return "png";
    case BatchType::Webp: return "webp";
    case BatchType::SameAsInput: break;
    }
    return nullptr;
}

const char* GravityName(BatchAnchor anchor)
{
    constexpr const char* kNames[] = {"nw", "n", "ne", "w", "center", "e", "sw", "s", "se"};
    return kNames[static_cast<int>(anchor)];
}

void AddFileOptions(const BatchSettings& s, std::vector<std::string>* a)
{
    if (const char* format = FormatName(s.type))
        a->insert(a->end(), {"--format", format});
    const bool webpPossible = s.type == BatchType::Webp || s.type == BatchType::SameAsInput;
    if (s.lossless && webpPossible)
        a->push_back("--lossless");
    if (s.type != BatchType::Bmp && s.type != BatchType::Png)
        a->insert(a->end(), {"--quality", Number(s.quality)});
    // Everything is kept unless asked: --strip writes none; the tool's
    // choice of what to keep goes by --metadata.
    if (s.metadata == BatchMetadata::None)
        a->push_back("--strip");
    else if (s.metadata == BatchMetadata::NoLocation)
        a->insert(a->end(), {"--metadata", "no-location"});
    switch (s.resize) {
    case BatchResize::LongEdge: a->insert(a->end(), {"--resize", Number(s.longEdge) + "px"}); break;
    case BatchResize::Percent: a->insert(a->end(), {"--resize", Number(s.percent) + "%"}); break;
    case BatchResize::Fit:
        a->insert(a->end(), {"--resize", Number(s.fitWidth) + "x" + Number(s.fitHeight)});
        break;
    case BatchResize::None: break;
    }
    if (!s.suffix.empty())
        a->insert(a->end(), {"--suffix", s.suffix});
}

void AddMarkOptions(const BatchSettings& s, const BumpParams& bump, std::vector<std::string>* a)
{
    if (s.mark == BatchMark::File) {
        a->insert(a->end(), {"--watermark", s.watermarkFile});
    } else {
        a->insert(a->end(), {"--text", ToolMarkText(s.text)});
        if (!s.font.empty())
            a->insert(a->end(), {"--font", s.font});
        a->insert(a->end(), {"--text-height", Number(s.textHeight)});
    }
    switch (s.placement) {
    case BatchPlacement::OwnSize: a->push_back("--no-enlarge"); break;
    case BatchPlacement::Tiled: a->push_back("--tile"); break;
    case BatchPlacement::Stretched: break;
    case BatchPlacement::Sized:
        a->insert(a->end(), {"--size", Number(s.markSize) + "%", "--gravity", GravityName(s.anchor), "--margin",
                             Number(s.marginX) + "," + Number(s.marginY)});
        break;
    }
    a->insert(a->end(), {"--light", Exact(bump.lightX) + "," + Exact(bump.lightY) + "," + Exact(bump.lightZ),
                         "--strength", Number(bump.strength), "--amplify", Number(bump.amplification), "--ambient",
                         Number(bump.ambient)});
}

}  // namespace

std::string ToolMarkText(const std::string& typed)
{
    std::string text;
    for (char c : typed) {
        text += c;
        if (c == '\\')
            text += '\\';
    }
    return text;
}

std::vector<std::string> BatchToolArguments(const BatchSettings& settings, const BumpParams& bump,
                                            const std::string& input, const std::string& outputFolder)
{
    std::vector<std::string> arguments = {"bump"};
    AddMarkOptions(settings, bump, &arguments);
    AddFileOptions(settings, &arguments);
    arguments.insert(arguments.end(), {"-o", outputFolder, "--", input});
    return arguments;
}
