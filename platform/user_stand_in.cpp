#include "platform/user_stand_in.h"

#include "platform/utf16.h"

#include <cstdio>
#include <string>

namespace {

MessageBoxSink messageSink = nullptr;

std::string Utf8(LPCWSTR text)
{
    return text ? Utf8FromUtf16(text) : std::string();
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    (void)owner;
    (void)type;
    const std::string shownText = Utf8(text);
    const std::string shownCaption = Utf8(caption);
    if (messageSink)
        messageSink(shownCaption.c_str(), shownText.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", shownCaption.c_str(), shownText.c_str());
    return IDOK;
}

void SetMessageBoxSink(MessageBoxSink sink)
{
    messageSink = sink;
}
