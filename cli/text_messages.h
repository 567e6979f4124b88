// The tool's words for why a text mark could not be drawn.
#pragma once

#include "files/text_template.h"
#include "text/text_failure.h"

#include <string>

// One line, translated, without the tool's name: what the renderer or the
// text check found wrong, named with the font, the character or the size
// where the failure has them.  Empty for no failure.
std::string TextFailureText(const TextOutcome& outcome);

// One line, translated, without the tool's name: why bump --text's
// placeholders could not be filled in (the text's own fault or the
// photo's), naming the placeholder as written.  Empty for no failure.
std::string PlaceholderFailureText(const PlaceholderOutcome& outcome);
