// UTF-8 <-> UTF-16 conversion for the Windows seam.
//
// The portable records keep text and file names as UTF-8; Windows' wide
// functions take UTF-16.  These convert between the two without any code
// page, so they behave the same on every Windows and in native tests.
// Malformed input (a stray continuation byte, a lone surrogate) becomes
// U+FFFD rather than being dropped, so a conversion never shortens a name
// silently into another valid one.
#pragma once

#include <string>
#include <string_view>

std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);

// Appends one code point (at most U+10FFFF) to out as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

#ifdef _WIN32
// wchar_t is UTF-16 on Windows: the same conversions for the W functions.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
#endif
