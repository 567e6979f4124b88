// The text of a text mark as code points: the one check that both the
// command-line parser and the renderer apply, so that neither trusts the
// other's input.
#pragma once

#include "text/text_failure.h"

#include <cstddef>
#include <string>
#include <vector>

// Decodes strict UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF) into *codes.  A line break (U+000A) is kept; every other
// control character (U+0000..U+001F, U+007F..U+009F) is refused, since no
// font draws one: TextNotUtf8 names the byte, ControlCharacter the
// character.
inline TextOutcome DecodeMarkText(const std::string& text, std::vector<char32_t>* codes)
{
    codes->clear();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t code = 0;
        char32_t lowest = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
            lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
            lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
            lowest = 0x10000;
        }
        bool valid = length > 0 && n - i >= static_cast<std::size_t>(length);
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0u) == 0x80u;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (valid)
            valid = code >= lowest && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid)
            return FailText(TextFailure::TextNotUtf8, {}, static_cast<long long>(i + 1));
        if ((code < 0x20 && code != 0x0A) || (code >= 0x7F && code <= 0x9F)) {
            TextOutcome outcome = FailText(TextFailure::ControlCharacter);
            outcome.character = code;
            return outcome;
        }
        codes->push_back(code);
        i += static_cast<std::size_t>(length);
    }
    return {};
}
