// The one box the core still shows itself: the command sequence's and the
// region swap's shortage of memory (caption "Error", an OK button).  Every
// other text the program shows lives in app/messages.h.
#pragma once

#include "platform/platform.h"

namespace msg {
inline constexpr const char kOutOfMemory[] = "メモリーが足りません。";
inline constexpr const char kErrorCaption[] = "Error";
}  // namespace msg

inline void ReportError(HWND window, const char* text)
{
    MessageBoxA(window, text, msg::kErrorCaption, MB_OK);
}
