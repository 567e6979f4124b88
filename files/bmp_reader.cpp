#include "files/bmp_reader.h"

#include "platform/file_names.h"
#include "image/blocks.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <cstring>

namespace {

// Closes the file handle on every path out of the reader.
struct FileCloser {
    HANDLE file;
    ~FileCloser()
    {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
};

// Frees a block on every path out of the reader.
struct BlockGuard {
    HGLOBAL block = nullptr;
    ~BlockGuard()
    {
        if (block) {
            GlobalUnlock(block);
            FreeBlock(block);
        }
    }
    HGLOBAL Release()
    {
        HGLOBAL b = block;
        block = nullptr;
        return b;
    }
};

std::uint32_t Read32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// One colour component of a bit-field pixel: where it sits and how it
// widens to 8 bits.
struct Channel {
    std::uint32_t mask;
    int shift;
    int bits;
};

Channel ChannelFromMask(std::uint32_t mask)
{
    if (mask == 0)
        return {0, 0, 0};
    const int shift = std::countr_zero(mask);
    const int bits = std::bit_width(mask >> shift);
    return {mask, shift, bits};
}

// Narrow fields widen by multiplication (5 bits x8, 6 bits x4, 4 bits x16:
// 31 becomes 248, not 255); wider fields keep their top 8 bits.
BYTE Component(std::uint32_t value, const Channel& c)
{
    if (c.bits == 0)
        return 0;
    const std::uint32_t v = (value & c.mask) >> c.shift;
    if (c.bits <= 8)
        return static_cast<BYTE>(v << (8 - c.bits));
    return static_cast<BYTE>(v >> (c.bits - 8));
}

struct PixelFormat {
    int bitCount;
    bool maskDecode;  // through red/green/blue channels
    Channel red, green, blue;
};

// What the file says, checked.
struct BmpLayout {
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER infoHeader;
    LONG width;
    LONG height;
    bool topDown;
    PixelFormat format;
    std::uint64_t rowBytes;   // one file row, padded to 4 bytes
    std::uint64_t pixelBytes; // all rows
    std::uint64_t pixelOffset;
    std::uint64_t fileSize;
};

constexpr std::size_t kHeaderArea = 14 + 124 + 16;

// Reads and checks the headers: Failure::None, or why the reader cannot
// take the file.
Failure ParseHeaders(HANDLE file, BmpLayout* layout)
{
    LONG sizeHigh = 0;
    const DWORD sizeLow = SetFilePointer(file, 0, &sizeHigh, FILE_END);
    if (sizeLow == INVALID_SET_FILE_POINTER && sizeHigh == 0)
        return Failure::OpenFailed;
    layout->fileSize = static_cast<std::uint64_t>(static_cast<std::uint32_t>(sizeHigh)) << 32 | sizeLow;

    BYTE head[kHeaderArea] = {};
    DWORD got = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 || !ReadFile(file, head, sizeof head, &got, nullptr))
        return Failure::OpenFailed;
    if (got < 2 || head[0] != 'B' || head[1] != 'M')
        return Failure::NotBitmap;
    if (got < 14 + 4)
        return Failure::BitmapDamaged;
    std::memcpy(&layout->fileHeader, head, sizeof layout->fileHeader);
    const std::uint32_t infoSize = Read32(head + 14);
    if (infoSize < sizeof(BITMAPINFOHEADER) || infoSize > 124)
        return Failure::HeaderUnsupported;
    if (got < 14 + sizeof(BITMAPINFOHEADER))
        return Failure::BitmapDamaged;
    BITMAPINFOHEADER& info = layout->infoHeader;
    std::memcpy(&info, head + 14, sizeof info);

    if (info.biBitCount != 16 && info.biBitCount != 24 && info.biBitCount != 32)
        return Failure::DepthUnsupported;
    PixelFormat& format = layout->format;
    format = {info.biBitCount, false, {}, {}, {}};
    if (info.biCompression == BI_BITFIELDS && info.biBitCount != 24) {
        // The three masks follow a 40-byte header, and are the next fields
        // of every longer one: at offset 54 either way.
        if (got < 54 + 12)
            return Failure::BitmapDamaged;
        const std::uint32_t limit = info.biBitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        format.maskDecode = true;
        format.red = ChannelFromMask(Read32(head + 54) & limit);
        format.green = ChannelFromMask(Read32(head + 58) & limit);
        format.blue = ChannelFromMask(Read32(head + 62) & limit);
    } else if (info.biCompression == BI_RGB) {
        if (info.biBitCount == 16) {
            format.maskDecode = true;
            format.red = ChannelFromMask(0x7C00);
            format.green = ChannelFromMask(0x03E0);
            format.blue = ChannelFromMask(0x001F);
        }
    } else {
        return Failure::CompressionUnsupported;
    }

    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == std::numeric_limits<LONG>::min())
        return Failure::BadSize;
    layout->topDown = info.biHeight < 0;
    layout->width = info.biWidth;
    layout->height = layout->topDown ? -info.biHeight : info.biHeight;
    if (!PictureSizeAllowed(layout->width, layout->height))
        return Failure::TooLarge;

    layout->rowBytes = (static_cast<std::uint64_t>(layout->width) * info.biBitCount + 31) / 32 * 4;
    layout->pixelBytes = layout->rowBytes * static_cast<std::uint64_t>(layout->height);
    layout->pixelOffset = layout->fileHeader.bfOffBits;
    if (layout->pixelOffset < 14 + sizeof(BITMAPINFOHEADER) || layout->pixelOffset >= layout->fileSize)
        return Failure::BitmapDamaged;
    return Failure::None;
}

// Converts count file rows, from file row first on, into WorkDib pixels.
void ConvertRows(const BmpLayout& layout, const BYTE* rows, LONG first, LONG count, BYTE* pixels)
{
    const PixelFormat& f = layout.format;
    const std::size_t width = static_cast<std::size_t>(layout.width);
    for (LONG y = first; y < first + count; ++y) {
        const BYTE* s = rows + static_cast<std::size_t>(y - first) * layout.rowBytes;
        const LONG memoryRow = layout.topDown ? layout.height - 1 - y : y;
        BYTE* d = pixels + static_cast<std::size_t>(memoryRow) * width * kBytesPerPixel;
        if (f.maskDecode && f.bitCount == 16) {
            for (std::size_t x = 0; x < width; ++x, s += 2, d += 4) {
                const std::uint32_t v = static_cast<std::uint32_t>(s[0]) | static_cast<std::uint32_t>(s[1]) << 8;
                d[0] = Component(v, f.blue);
                d[1] = Component(v, f.green);
                d[2] = Component(v, f.red);
                d[3] = 0;
            }
        } else if (f.maskDecode) {
            for (std::size_t x = 0; x < width; ++x, s += 4, d += 4) {
                const std::uint32_t v = Read32(s);
                d[0] = Component(v, f.blue);
                d[1] = Component(v, f.green);
                d[2] = Component(v, f.red);
                d[3] = 0;
            }
        } else if (f.bitCount == 32) {
            for (std::size_t x = 0; x < width; ++x, s += 4, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = 0;
            }
        } else {
            for (std::size_t x = 0; x < width; ++x, s += 3, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = 0;
            }
        }
    }
}

// The file's rows pass through a buffer of about this many bytes (at least
// one row): small enough to stay in the cache, large enough that the reads
// cost little.
constexpr std::uint64_t kChunkBytes = std::uint64_t{256} << 10;

// Reads the pixel area chunk by chunk and converts it into the zero-filled
// pixels of the picture.  A short file leaves its missing rows as they are:
// zero bytes convert to zero pixels in every format, so the picture reads
// as if the missing bytes were zero.  Returns 0, or -1 when a read fails.
int ReadRows(HANDLE file, const BmpLayout& layout, BYTE* buffer, LONG rowsPerChunk, BYTE* pixels)
{
    LONG offsetHigh = static_cast<LONG>(layout.pixelOffset >> 32);
    if (SetFilePointer(file, static_cast<LONG>(layout.pixelOffset & 0xFFFFFFFFu), &offsetHigh, FILE_BEGIN) ==
        INVALID_SET_FILE_POINTER)
        return -1;
    std::uint64_t left = layout.fileSize - layout.pixelOffset;
    for (LONG first = 0; first < layout.height && left > 0; first += rowsPerChunk) {
        const LONG count = std::min<LONG>(rowsPerChunk, layout.height - first);
        const std::uint64_t wanted = layout.rowBytes * static_cast<std::uint64_t>(count);
        const DWORD toRead = static_cast<DWORD>(std::min(left, wanted));
        DWORD got = 0;
        if (!ReadFile(file, buffer, toRead, &got, nullptr))
            return -1;
        left = got < toRead ? 0 : left - got;
        std::memset(buffer + got, 0, static_cast<std::size_t>(wanted - got));
        ConvertRows(layout, buffer, first, count, pixels);
    }
    return 0;
}

}  // namespace

Outcome ReadBmpFile(ImageDocument* doc)
{
    // Others may read the file meanwhile: the tool's workers read one
    // watermark at once, and a viewer may hold the picture open.
    FileCloser file{CreateFileUtf8(doc->path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING)};
    if (file.file == INVALID_HANDLE_VALUE)
        return Fail(Failure::OpenFailed);

    BmpLayout layout = {};
    if (const Failure refused = ParseHeaders(file.file, &layout); refused != Failure::None)
        return Fail(refused);

    const auto rowsPerChunk = static_cast<LONG>(
        std::clamp<std::uint64_t>(kChunkBytes / layout.rowBytes, 1, static_cast<std::uint64_t>(layout.height)));
    BlockGuard chunk{AllocateBlock(static_cast<SIZE_T>(layout.rowBytes * static_cast<std::uint64_t>(rowsPerChunk)))};
    BlockGuard picture{AllocateBlock(WorkDibBytes(layout.width, layout.height))};
    if (!chunk.block || !picture.block)
        return Fail(Failure::OutOfMemory);
    auto* buffer = static_cast<BYTE*>(GlobalLock(chunk.block));
    auto* dib = static_cast<BYTE*>(GlobalLock(picture.block));
    if (ReadRows(file.file, layout, buffer, rowsPerChunk, WorkDibPixels(dib)) != 0)
        return Fail(Failure::OpenFailed);

    // The WorkDib's own header: the file's, as a bottom-up 32-bit BI_RGB
    // picture without a colour table.
    BITMAPINFOHEADER header = layout.infoHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biHeight = layout.height;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biClrUsed = 0;
    header.biClrImportant = 0;
    std::memcpy(dib, &header, sizeof header);

    // Everything is read: only now does the document give up its picture.
    Outcome outcome;
    HGLOBAL block = picture.Release();
    GlobalUnlock(block);
    AdoptWorkDib(doc, block, layout.width, layout.height, &outcome);
    doc->fileHeader = layout.fileHeader;
    return outcome;
}
