// The text-mark command of quillvane-cli.
#include "cli/text_mark_command.h"

#include "cli/batch.h"
#include "cli/picture_files.h"
#include "cli/report.h"
#include "cli/system.h"
#include "cli/text_messages.h"
#include "files/text_placeholders.h"
#include "text/text_mark.h"

#include <cstdio>
#include <string>

namespace {

int TextMarkProblem(const std::string& problem)
{
    WriteError("quillvane-cli: " + problem + "\n");
    return kExitUsage;
}

bool IsDirectory(const std::string& path)
{
    return InspectPath(path).directory;
}

}  // namespace

int RenderTextMark(const TextMarkParams& params, TextField* field, std::string* problem)
{
    const TextOutcome outcome = RenderTextField(params, field);
    if (outcome.ok())
        return 0;
    *problem = TextFailureText(outcome);
    return -1;
}

int PrepareTextTemplate(CliOptions* options, std::string* problem)
{
    TextTemplate parsed;
    const PlaceholderOutcome checked = CheckTextTemplate(options->text.text, &parsed);
    if (!checked.ok()) {
        *problem = "--text: " + PlaceholderFailureText(checked);
        return -1;
    }
    if (!parsed.HasPlaceholders()) {
        options->text.text = parsed.LiteralText();
        return 0;
    }
    options->textPerPhoto = true;
    TextMarkParams literal = options->text;
    literal.text = parsed.LiteralText();
    TextLayout layout;
    const TextOutcome laid = LayoutText(literal, &layout);
    if (laid.ok() || laid.failure == TextFailure::TextEmpty)
        return 0;
    *problem = TextFailureText(laid);
    return -1;
}

int MakePhotoTextMark(const CliOptions& options, const std::string& input)
{
    TextMarkParams params = options.text;
    const PlaceholderOutcome filled = FillTextPlaceholders(options.text.text, input.c_str(), &params.text);
    if (!filled.ok()) {
        Report(input, PlaceholderFailureText(filled));
        return -1;
    }
    TextField field;
    std::string problem;
    if (RenderTextMark(params, &field, &problem) != 0) {
        Report(input, problem);
        return -1;
    }
    if (BuildTextMark(field, params, &WatermarkDocument) != TextMarkFailure::None) {
        Report(input, _("not enough memory for the watermark"));
        return -1;
    }
    return 0;
}

int MakeTextMarkDocument(const TextField& field, const TextMarkParams& params, ImageDocument* doc)
{
    switch (BuildTextMark(field, params, doc)) {
    case TextMarkFailure::None: return 0;
    case TextMarkFailure::OutOfMemory:
        WriteError(Format(_("quillvane-cli: not enough memory for the text mark (%ld x %ld)\n"), field.width,
                          field.height));
        return -1;
    case TextMarkFailure::SoftenOutOfMemory:
        WriteError(_("quillvane-cli: not enough memory to soften the text mark\n"));
        return -1;
    }
    return -1;
}

int RunTextMark(const CliOptions& options)
{
    if (IsDirectory(options.output))
        return TextMarkProblem(
            Format(_("text-mark writes one file; '%s' is a directory"), options.output.c_str()));
    const CliFormat format =
        options.format != CliFormat::FromName ? options.format : FormatFromExtension(options.output);
    if (format == CliFormat::Jpeg || format == CliFormat::Webp)
        return TextMarkProblem(Format(_("a text mark is written as a PNG or BMP file: %s would blur its edges ('%s')"),
                                      format == CliFormat::Jpeg ? "JPEG" : "WebP", options.output.c_str()));
    if (format != CliFormat::Bmp && format != CliFormat::Png)
        return TextMarkProblem(
            Format(_("cannot tell the output type from '%s': name it .png or .bmp"), options.output.c_str()));

    TextField field;
    std::string problem;
    if (RenderTextMark(options.text, &field, &problem) != 0)
        return TextMarkProblem(problem);
    if (BeginBatch(options) != 0) {
        EndBatch();
        return kExitFileFailed;
    }
    int result = MakeTextMarkDocument(field, options.text, &MainDocument);
    // Grey and opaque, with no source for metadata: 8-bit RGB PNG, 24-bit BMP.
    if (result == 0)
        result = WriteResultPicture(options, options.output, format == CliFormat::Png ? kTypePng : kTypeBmp);
    EndBatch();
    return result == 0 ? kExitOk : kExitFileFailed;
}
