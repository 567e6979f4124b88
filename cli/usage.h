// The text quillvane-cli --help prints.
#pragma once

// The usage text, translated.
const char* CliUsageText();
