#include "cli/report.h"

#include "image/messages.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>

namespace {

const char* ReportName = nullptr;
long ReportCount = 0;
std::string ReportedText;  // what was shown since the last TakeReportedText

void Show(const std::string& line)
{
    std::fputs(line.c_str(), stderr);
    ReportedText += line;
    ++ReportCount;
}

// The core's sentences and the catalogue's English for each.
struct CoreSentence {
    const char* japanese;
    const char* english;
};

const CoreSentence kCoreSentences[] = {
    {msg::kOpenFailed, N_("the file cannot be opened")},
    {msg::kNotBitmap, N_("not a bitmap")},
    {msg::kDepthUnsupported, N_("only 16-, 24- and 32-bit colour bitmaps are supported")},
    {msg::kCompressionUnsupported, N_("bitmaps with this compression are not supported")},
    {msg::kHeaderUnsupported, N_("bitmaps of this kind are not supported")},
    {msg::kBitmapDamaged, N_("the bitmap file is damaged")},
    {msg::kBadSize, N_("the picture's width or height is wrong")},
    {msg::kTooLarge, N_("the picture is too large to read")},
    {msg::kOutOfMemory, N_("not enough memory")},
    {msg::kFreeFailed, N_("a memory block could not be freed")},
    {msg::kNothingLoaded, N_("no picture is loaded")},
    {msg::kCreateFailed, N_("the file cannot be created")},
    {msg::kJpegUnreadable, N_("the JPEG file could not be read")},
    {msg::kJpegWriteFailed, N_("the JPEG file could not be written")},
    {"画像が大きすぎてメモリーが足りません。", N_("the picture is too large for the memory")},
    {"ファイルを開けません。", N_("the file cannot be opened")},
    {"画像が大きすぎます。", N_("the picture is too large")},
    {"対応していない色形式です。", N_("the colour format is not supported")},
    {"ファイル名が長すぎます。", N_("the file name is too long")},
    {"ファイルを作成できません。", N_("the file cannot be created")},
    {"ファイルを最後まで書き込めませんでした。", N_("the file could not be written to the end")},
    {"元のファイルを置き換えられません。", N_("the existing file cannot be replaced")},
};

// "スキャンの数が多すぎます（N超）。"
constexpr char kScansPrefix[] = "スキャンの数が多すぎます（";
constexpr char kScansSuffix[] = "超）。";

std::string Trim(std::string line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\r'))
        line.erase(line.begin());
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string TranslateSentence(const std::string& sentence)
{
    for (const CoreSentence& s : kCoreSentences)
        if (Trim(s.japanese) == sentence)
            return _(s.english);
    const std::size_t prefix = std::strlen(kScansPrefix);
    const std::size_t suffix = std::strlen(kScansSuffix);
    if (sentence.size() > prefix + suffix && sentence.compare(0, prefix, kScansPrefix) == 0 &&
        sentence.compare(sentence.size() - suffix, suffix, kScansSuffix) == 0)
        return Format(_("too many scans (more than %s)"), sentence.substr(prefix, sentence.size() - prefix - suffix).c_str());
    // The library's own words (libjpeg's messages are English) stay as they are.
    return sentence;
}

std::string TranslateLine(const std::string& raw)
{
    const std::string line = Trim(raw);
    if (line.size() >= 2 && line.front() == '(' && line.back() == ')')
        return "(" + TranslateSentence(line.substr(1, line.size() - 2)) + ")";
    return TranslateSentence(line);
}

void ReportToStandardError(const char* /*caption*/, const char* text)
{
    const std::string line = TranslateCoreMessage(text);
    if (ReportName)
        Show(std::string("quillvane-cli: ") + ReportName + ": " + line + "\n");
    else
        Show("quillvane-cli: " + line + "\n");
}

}  // namespace

void Report(const std::string& name, const std::string& text)
{
    Show("quillvane-cli: " + name + ": " + text + "\n");
}

std::string TakeReportedText()
{
    std::string text;
    text.swap(ReportedText);
    return text;
}

long ReportedCount()
{
    return ReportCount;
}

void RouteCoreMessages()
{
    SetMessageBoxSink(ReportToStandardError);
}

void StopRoutingCoreMessages()
{
    SetMessageBoxSink(nullptr);
}

void SetReportName(const char* name)
{
    ReportName = name;
}

std::string TranslateCoreMessage(const char* text)
{
    // A message box may hold several lines; the command line gets one.
    std::string joined;
    const char* start = text;
    for (;;) {
        const char* end = std::strchr(start, '\n');
        const std::string line = TranslateLine(end ? std::string(start, end) : std::string(start));
        if (!line.empty()) {
            if (!joined.empty())
                joined += ' ';
            joined += line;
        }
        if (!end)
            break;
        start = end + 1;
    }
    return joined;
}
