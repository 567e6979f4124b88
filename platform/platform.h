// The one place where the image core meets the operating system.
//
// On Windows the core calls the real Kernel and USER functions from
// <windows.h>.  Everywhere else a small stand-in supplies the few calls and
// record types the core uses: movable memory blocks, file handles, message
// boxes and cursors.  Core sources include this header and never
// <windows.h> directly.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#ifdef QUILLVANE_FAILURE_HOOKS
// Test builds of the Windows program: its allocations and writes pass
// through the failure hooks (platform/failure_hooks.h,
// platform/win32_failure_hooks.cpp), where a test can make them fail.
#include "platform/failure_hooks.h"
HGLOBAL HookedGlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL HookedGlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
HGLOBAL HookedGlobalFree(HGLOBAL block);
BOOL HookedWriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);
#define GlobalAlloc(flags, bytes) HookedGlobalAlloc(flags, bytes)
#define GlobalReAlloc(block, bytes, flags) HookedGlobalReAlloc(block, bytes, flags)
#define GlobalFree(block) HookedGlobalFree(block)
#define WriteFile(file, buffer, count, written, overlapped) HookedWriteFile(file, buffer, count, written, overlapped)
#endif
#else
#include "platform/win32_stand_in.h"
#endif

#include <cstddef>
#include <cstdint>

static_assert(sizeof(BITMAPFILEHEADER) == 14, "BMP file header is 14 bytes on disk");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BMP info header is 40 bytes on disk");
static_assert(sizeof(RGBQUAD) == 4);
static_assert(sizeof(BITMAPINFO) == 44, "one header and one colour slot");
static_assert(sizeof(RECT) == 16);
