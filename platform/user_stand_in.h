// The few window-side calls the program's message table makes (app/messages),
// for its native test builds only: a window handle type, MessageBoxW and
// its answers.  The core never sees this header; the tests link
// platform/user_stand_in.cpp and record each box through the sink.
#pragma once

#include "platform/platform.h"

#ifndef _WIN32
struct StandInWindow;
using HWND = StandInWindow*;

using LPCWSTR = const char16_t*;  // UTF-16, as on Windows

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Prints "caption: text" on standard error (or hands it to the sink below),
// as UTF-8, and answers IDOK.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Where message boxes go instead of standard error; null restores the
// default.  Tests use it to record what was shown (UTF-8).
using MessageBoxSink = void (*)(const char* caption, const char* text);
void SetMessageBoxSink(MessageBoxSink sink);
#endif
