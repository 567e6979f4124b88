#include "support/test_support.h"

#include "platform/file_names.h"
#include "platform/utf16.h"

#include "platform/user_stand_in.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qvtest {

// ---- Scratch directory --------------------------------------------------

TempDir::TempDir()
{
#ifdef _WIN32
    // No mkdtemp: a name from the process id and a counter, created only
    // when nobody has it yet.
    static unsigned counter = 0;
    std::error_code error;
    for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("quillvane-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(++counter));
        if (std::filesystem::create_directory(candidate, error))
            path_ = candidate.string();
    }
    if (path_.empty())
        ADD_FAILURE() << "cannot create a temporary directory: " << error.message();
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "quillvane-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data()))
        ADD_FAILURE() << "cannot create a temporary directory from " << pattern;
    else
        path_ = buffer.data();
#endif
}

TempDir::~TempDir()
{
    if (path_.empty())
        return;
    std::error_code ignored;
    // Tests make directories read-only now and then; undo that first so
    // the clean-up cannot fail half-way.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const
{
    return path_ + "/" + name;
}

std::vector<std::string> TempDir::Names() const
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// ---- Message boxes --------------------------------------------------------

namespace {
MessageCapture* currentCapture = nullptr;
}

#ifdef _WIN32
namespace {

// Sees each message box of the test thread become active, hands its
// caption and text on, and closes it with OK.
LRESULT CALLBACK CloseMessageBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[16] = {};
        GetClassNameA(box, className, sizeof className);
        if (std::strcmp(className, "#32770") == 0 && GetDlgItem(box, 0xFFFF)) {
            // Read wide and kept as UTF-8, as the program's texts are.
            wchar_t caption[256] = {};
            wchar_t text[2048] = {};
            GetWindowTextW(box, caption, 256);
            GetDlgItemTextW(box, 0xFFFF, text, 2048);
            const std::string captionUtf8 = Utf8FromWide(caption);
            const std::string textUtf8 = Utf8FromWide(text);
            if (currentCapture)
                currentCapture->Record(captionUtf8.c_str(), textUtf8.c_str());
            else
                std::fprintf(stderr, "%s: %s\n", captionUtf8.c_str(), textUtf8.c_str());
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Installed before the first test runs, for the whole program.
const HHOOK messageBoxHook = SetWindowsHookExA(WH_CBT, CloseMessageBoxes, nullptr, GetCurrentThreadId());

}  // namespace

MessageCapture::MessageCapture() : previous_(currentCapture)
{
    currentCapture = this;
    EXPECT_NE(messageBoxHook, nullptr) << "message boxes cannot be closed";
}

MessageCapture::~MessageCapture()
{
    currentCapture = previous_;
}
#else
MessageCapture::MessageCapture() : previous_(currentCapture)
{
    currentCapture = this;
    SetMessageBoxSink(&MessageCapture::Sink);
}

MessageCapture::~MessageCapture()
{
    currentCapture = previous_;
    SetMessageBoxSink(previous_ ? &MessageCapture::Sink : nullptr);
}
#endif

void MessageCapture::Record(const char* caption, const char* text)
{
    entries_.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
}

void MessageCapture::Sink(const char* caption, const char* text)
{
    if (currentCapture)
        currentCapture->Record(caption, text);
}

bool MessageCapture::Has(const std::string& caption, const std::string& text) const
{
    return std::find(entries_.begin(), entries_.end(), caption + "|" + text) != entries_.end();
}

std::size_t MessageCapture::CountCaption(const std::string& caption) const
{
    const std::string prefix = caption + "|";
    return static_cast<std::size_t>(std::count_if(entries_.begin(), entries_.end(), [&](const std::string& e) {
        return e.compare(0, prefix.size(), prefix) == 0;
    }));
}

std::string MessageCapture::Joined() const
{
    if (entries_.empty())
        return "(no message box)";
    std::string all;
    for (const auto& e : entries_) {
        if (!all.empty())
            all += " ; ";
        all += "[" + e + "]";
    }
    return all;
}

// ---- Pictures ----------------------------------------------------------------

std::string Describe(const Pixel& p)
{
    std::ostringstream out;
    out << int(p.red) << "," << int(p.green) << "," << int(p.blue) << "/" << int(p.height);
    return out.str();
}

ImageDocument MakeDocument(int width, int height, const PixelFunction& fn)
{
    ImageDocument doc{};
    const std::size_t bytes = WorkDibBytes(width, height);
    doc.hDib = GlobalAlloc(GHND, bytes);
    if (!doc.hDib) {
        ADD_FAILURE() << "no block for a " << width << "x" << height << " test picture";
        return doc;
    }
    doc.dib = static_cast<BYTE*>(GlobalLock(doc.hDib));
    WriteWorkDibHeader(doc.dib, width, height);
    doc.bmi = reinterpret_cast<BITMAPINFO*>(doc.dib);
    doc.width = width;
    doc.height = height;
    doc.bitsOffset = kWorkDibHeaderBytes;
    doc.isLoaded = 1;
    if (fn) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                SetPixel(doc, x, y, fn(x, y));
    }
    return doc;
}

void SetPath(ImageDocument* doc, const std::string& path)
{
    std::memset(doc->path, 0, sizeof doc->path);
    std::strncpy(doc->path, path.c_str(), sizeof doc->path - 1);
}

std::uint8_t* PixelAddress(const ImageDocument& doc, int x, int y)
{
    const std::size_t index =
        static_cast<std::size_t>(doc.height - 1 - y) * static_cast<std::size_t>(doc.width) + static_cast<std::size_t>(x);
    return doc.dib + kWorkDibHeaderBytes + index * kBytesPerPixel;
}

Pixel GetPixel(const ImageDocument& doc, int x, int y)
{
    const std::uint8_t* p = PixelAddress(doc, x, y);
    return Pixel{p[0], p[1], p[2], p[3]};
}

void SetPixel(const ImageDocument& doc, int x, int y, const Pixel& px)
{
    std::uint8_t* p = PixelAddress(doc, x, y);
    p[0] = px.blue;
    p[1] = px.green;
    p[2] = px.red;
    p[3] = px.height;
}

BITMAPINFOHEADER BlockHeader(const ImageDocument& doc)
{
    BITMAPINFOHEADER header{};
    if (doc.dib)
        std::memcpy(&header, doc.dib, sizeof header);
    return header;
}

std::vector<std::uint8_t> BlockBytes(const ImageDocument& doc)
{
    if (!doc.hDib || !doc.dib)
        return {};
    const std::size_t size = GlobalSize(doc.hDib);
    return std::vector<std::uint8_t>(doc.dib, doc.dib + size);
}

namespace {

bool Close(int a, int b, int tolerance)
{
    return std::abs(a - b) <= tolerance;
}

constexpr int kMaxListed = 12;

}  // namespace

::testing::AssertionResult PixelsMatch(const ImageDocument& doc, int width, int height,
                                       const PixelFunction& expected, bool compareHeight, int tolerance)
{
    if (!doc.dib)
        return ::testing::AssertionFailure() << "the document holds no block";
    if (doc.width != width || doc.height != height)
        return ::testing::AssertionFailure() << "size " << doc.width << "x" << doc.height << ", expected "
                                             << width << "x" << height;
    std::ostringstream diff;
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pixel got = GetPixel(doc, x, y);
            const Pixel want = expected(x, y);
            const bool same = Close(got.red, want.red, tolerance) && Close(got.green, want.green, tolerance) &&
                              Close(got.blue, want.blue, tolerance) &&
                              (!compareHeight || got.height == want.height);
            if (!same) {
                if (count < kMaxListed)
                    diff << "\n  (" << x << "," << y << ") got " << Describe(got) << " expected "
                         << Describe(want);
                ++count;
            }
        }
    }
    if (count == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " pixel(s) differ (r,g,b/height"
                                         << (tolerance ? ", tolerance " + std::to_string(tolerance) : "")
                                         << "):" << diff.str();
}

::testing::AssertionResult SamePixels(const ImageDocument& actual, const ImageDocument& expected, bool compareHeight)
{
    if (!expected.dib)
        return ::testing::AssertionFailure() << "the expected document holds no block";
    return PixelsMatch(actual, expected.width, expected.height,
                       [&](int x, int y) { return GetPixel(expected, x, y); }, compareHeight);
}

DocumentSnapshot Snapshot(const ImageDocument& doc)
{
    DocumentSnapshot s;
    s.record = doc;
    if (doc.bmi) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(doc.bmi);
        s.bmiBytes.assign(p, p + sizeof(BITMAPINFOHEADER));
    }
    s.blockBytes = BlockBytes(doc);
    return s;
}

::testing::AssertionResult Unchanged(const ImageDocument& doc, const DocumentSnapshot& before)
{
    const ImageDocument& b = before.record;
    std::ostringstream out;
    if (doc.hDib != b.hDib)
        out << " hDib";
    if (std::memcmp(&doc.fileHeader, &b.fileHeader, sizeof doc.fileHeader) != 0)
        out << " fileHeader";
    if (doc.bmi != b.bmi)
        out << " bmi";
    if (doc.width != b.width)
        out << " width(" << doc.width << " was " << b.width << ")";
    if (doc.height != b.height)
        out << " height(" << doc.height << " was " << b.height << ")";
    if (std::memcmp(doc.path, b.path, sizeof doc.path) != 0)
        out << " path";
    if (doc.isLoaded != b.isLoaded)
        out << " isLoaded";
    if (doc.isModified != b.isModified)
        out << " isModified";
    if (doc.dib != b.dib)
        out << " dib";
    if (doc.bitsOffset != b.bitsOffset)
        out << " bitsOffset";
    if (doc.bmi && doc.bmi == b.bmi &&
        std::memcmp(doc.bmi, before.bmiBytes.data(), before.bmiBytes.size()) != 0)
        out << " bmi-header-contents";
    if (doc.hDib == b.hDib && BlockBytes(doc) != before.blockBytes)
        out << " block-contents";
    if (out.str().empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "changed:" << out.str();
}

// ---- Files --------------------------------------------------------------------

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    // Through the core's file seam, so UTF-8 names work on Windows too.
    std::FILE* out = OpenFileUtf8(path.c_str(), "wb");
    if (!out)
        return false;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::FILE* in = OpenFileUtf8(path.c_str(), "rb");
    if (!in)
        return {};
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(in);
    return bytes;
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual, const std::vector<std::uint8_t>& expected)
{
    std::ostringstream diff;
    int count = 0;
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (actual[i] != expected[i]) {
            if (count < kMaxListed) {
                char line[64];
                std::snprintf(line, sizeof line, "\n  offset %zu: got 0x%02X expected 0x%02X", i, actual[i], expected[i]);
                diff << line;
            }
            ++count;
        }
    }
    if (count == 0 && actual.size() == expected.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "size " << actual.size() << ", expected " << expected.size() << "; "
                                         << count << " differing byte(s) in the common part" << diff.str();
}

ByteBuilder& ByteBuilder::U8(unsigned v)
{
    bytes_.push_back(static_cast<std::uint8_t>(v));
    return *this;
}

ByteBuilder& ByteBuilder::U16(unsigned v)
{
    U8(v & 0xFF);
    return U8((v >> 8) & 0xFF);
}

ByteBuilder& ByteBuilder::U32(std::uint32_t v)
{
    U16(v & 0xFFFF);
    return U16(v >> 16);
}

ByteBuilder& ByteBuilder::I32(std::int32_t v)
{
    return U32(static_cast<std::uint32_t>(v));
}

ByteBuilder& ByteBuilder::Text(const char* s)
{
    while (*s)
        U8(static_cast<unsigned char>(*s++));
    return *this;
}

ByteBuilder& ByteBuilder::Fill(std::size_t count, unsigned v)
{
    bytes_.insert(bytes_.end(), count, static_cast<std::uint8_t>(v));
    return *this;
}

ByteBuilder& ByteBuilder::Append(const std::vector<std::uint8_t>& bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

void ByteBuilder::PatchU32(std::size_t offset, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes_.at(offset + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t LoadU16(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

std::uint32_t LoadU32(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(LoadU16(bytes, offset)) |
           (static_cast<std::uint32_t>(LoadU16(bytes, offset + 2)) << 16);
}

}  // namespace qvtest

#if defined(_WIN32) && !defined(QUILLVANE_FAILURE_HOOKS)
// A Windows build linked with the program that ships: nothing to count and
// nothing to inject on the real Windows calls.
void StandInFailNthAllocation(long) {}
long StandInLiveBlocks() { return 0; }
void StandInSetAllocationLimit(std::size_t) {}
long StandInAllocationsMade() { return 0; }
void StandInFailWritesAfter(long long) {}
#endif
