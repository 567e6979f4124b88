#include "platform/user_stand_in.h"

#include <cstdio>

namespace {

MessageBoxSink messageSink = nullptr;

}  // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    (void)owner;
    (void)type;
    if (messageSink)
        messageSink(caption ? caption : "", text ? text : "");
    else
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
}

void SetMessageBoxSink(MessageBoxSink sink)
{
    messageSink = sink;
}
