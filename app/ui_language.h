// The two languages the program speaks, and which one it speaks: kept free
// of windows.h, so that the message table (app/messages) builds natively.
#pragma once

#include <cstddef>

enum class UiLanguage { Japanese, English };
inline constexpr std::size_t kUiLanguageCount = 2;

// Decided at the first call and kept: QUILLVANE_LANG=ja or en when it is
// set to one of them, otherwise Japanese where the user's Windows speaks
// Japanese and English everywhere else (app/language.cpp).  The native
// test builds have their own (app/language_stand_in.cpp).
UiLanguage ProgramLanguage();
