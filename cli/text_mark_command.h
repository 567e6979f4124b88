// Text marks in quillvane-cli: the text-mark command, and drawing the mark
// that bump --text stamps, with the tool's messages.
#pragma once

#include "cli/options.h"
#include "image/image_document.h"
#include "text/text_render.h"

#include <string>

// Draws the text; returns 0, or -1 with the one-line *problem (translated).
int RenderTextMark(const TextMarkParams& params, TextField* field, std::string* problem);

// bump --text: checks the placeholders of options->text.text
// (files/text_template.h).  A text without placeholders becomes its
// literal text (doubled braces made single), drawn once as before; a text
// with placeholders sets options->textPerPhoto, and its literal parts are
// laid out here so that a problem with the font shows before any photo.
// Returns 0, or -1 with the one-line *problem (translated).
int PrepareTextTemplate(CliOptions* options, std::string* problem);

// For bump --text with placeholders: fills the text in from the photo at
// input, draws it and makes it WatermarkDocument.  Every problem is
// reported naming input.  Returns 0 or -1.
int MakePhotoTextMark(const CliOptions& options, const std::string& input);

// Makes doc the text mark of the field with the bevel and softening of
// params (BuildTextMark, text/text_mark.h); returns 0, or -1 when there is
// no memory (reported on standard error).
int MakeTextMarkDocument(const TextField& field, const TextMarkParams& params, ImageDocument* doc);

// The text-mark command: draws options.text and writes it to options.output
// as a PNG (8-bit RGB) or a 24-bit BMP, white bevelled letters on black.  Returns
// the exit status: 0 written, 1 the file could not be written, 2 a problem
// with the text, the font or the output name (reported; nothing is
// written).
int RunTextMark(const CliOptions& options);
