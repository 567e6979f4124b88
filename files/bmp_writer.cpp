#include "files/bmp_writer.h"

#include "platform/file_names.h"
#include "files/safe_replace.h"
#include "image/blocks.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kBitfieldsInfoBytes = 56;

// The rows pass through a buffer of about this many bytes (at least one
// row) on their way to the file: packing the whole picture first would
// take a block as large as the file.
constexpr std::size_t kChunkBytes = std::size_t{256} << 10;

std::size_t Padding(std::size_t rowBytes)
{
    return (4 - rowBytes % 4) % 4;
}

// 8 bits to 5 with rounding: 0-4 give 0, 5-12 give 1, ... 251-255 give 31.
BYTE To5Bits(BYTE v)
{
    return static_cast<BYTE>((10 * (v + 4)) / 82);
}

// One file row at depth bits: its bytes, padding included.
std::size_t FileRowBytes(LONG width, int depth)
{
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(depth / 8);
    return bytes + Padding(bytes);
}

// The info header (and, at 32 bits, the colour masks after it) that starts
// the file after its 14-byte header: the WorkDib's own header, changed
// where the depth needs.  Returns its size.
DWORD MakeInfo(const ImageDocument* doc, int depth, BYTE* info)
{
    std::memcpy(info, doc->dib, sizeof(BITMAPINFOHEADER));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info);
    header->biBitCount = static_cast<WORD>(depth);
    if (depth == 16) {
        header->biSize = sizeof(BITMAPINFOHEADER);
        header->biCompression = BI_RGB;
    } else if (depth == 32) {
        // Red in the top byte, the low byte unused.
        header->biSize = kBitfieldsInfoBytes;
        header->biCompression = BI_BITFIELDS;
        const DWORD masks[4] = {0xFF000000u, 0x00FF0000u, 0x0000FF00u, 0x00000000u};
        std::memcpy(info + sizeof(BITMAPINFOHEADER), masks, sizeof masks);
        return kBitfieldsInfoBytes;
    } else {
        header->biSize = sizeof(BITMAPINFOHEADER);
    }
    return sizeof(BITMAPINFOHEADER);
}

// Packs count rows of the picture, from row first on (both bottom-up), in
// the file's form at depth bits into d, padding included.
void PackRows(const ImageDocument* doc, int depth, LONG first, LONG count, BYTE* d)
{
    const std::size_t width = static_cast<std::size_t>(doc->width);
    const BYTE* s = WorkDibPixels(doc->dib) + static_cast<std::size_t>(first) * width * kBytesPerPixel;
    const std::size_t pad = Padding(width * static_cast<std::size_t>(depth / 8));
    for (LONG y = 0; y < count; ++y) {
        if (depth == 16) {
            for (std::size_t x = 0; x < width; ++x, s += 4, d += 2) {
                const unsigned v = To5Bits(s[2]) * 1024u + To5Bits(s[1]) * 32u + To5Bits(s[0]);
                d[0] = static_cast<BYTE>(v & 0xFF);
                d[1] = static_cast<BYTE>(v >> 8);
            }
        } else if (depth == 32) {
            for (std::size_t x = 0; x < width; ++x, s += 4, d += 4) {
                d[0] = 0;
                d[1] = s[0];
                d[2] = s[1];
                d[3] = s[2];
            }
        } else {
            for (std::size_t x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
        for (std::size_t i = 0; i < pad; ++i)
            *d++ = 0;
    }
}

bool WriteAll(HANDLE file, const void* bytes, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

// Writes the file to a new temporary file beside the target, its rows
// packed chunk by chunk through buffer, and puts it in place.  Returns 0,
// or -1 with the target untouched.
int WriteReplacing(const ImageDocument* doc, int depth, const BITMAPFILEHEADER& header, const BYTE* info,
                   DWORD infoBytes, BYTE* buffer, LONG rowsPerChunk)
{
    char temporary[kTempPathBytes];
    if (MakeTemporaryPath(doc->path, temporary) != 0)
        return -1;
    HANDLE file = CreateFileUtf8(temporary, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    bool ok = WriteAll(file, &header, sizeof header) && WriteAll(file, info, infoBytes);
    const std::size_t rowBytes = FileRowBytes(doc->width, depth);
    for (LONG first = 0; ok && first < doc->height; first += rowsPerChunk) {
        const LONG count = std::min(rowsPerChunk, doc->height - first);
        PackRows(doc, depth, first, count, buffer);
        ok = WriteAll(file, buffer, static_cast<DWORD>(rowBytes * static_cast<std::size_t>(count)));
    }
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DiscardTemporary(temporary);
        return -1;
    }
    return ReplaceWithTemporary(temporary, doc->path);
}

}  // namespace

Outcome WriteBmpFile(ImageDocument* doc, const BmpWriteSettings& settings)
{
    if (!doc->isLoaded || !doc->dib)
        return Fail(Failure::NothingLoaded);

    const int depth = settings.depth == 16 || settings.depth == 32 ? settings.depth : 24;
    const std::size_t rowBytes = FileRowBytes(doc->width, depth);
    const auto rowsPerChunk = static_cast<LONG>(
        std::clamp<std::size_t>(kChunkBytes / rowBytes, 1, static_cast<std::size_t>(std::max<LONG>(doc->height, 1))));
    // The buffer first: a picture that cannot be written for want of memory
    // never empties a file.
    HGLOBAL chunk = AllocateBlock(rowBytes * static_cast<std::size_t>(rowsPerChunk));
    if (!chunk)
        return Fail(Failure::OutOfMemory);

    BYTE info[kBitfieldsInfoBytes] = {};
    const DWORD infoBytes = MakeInfo(doc, depth, info);
    BITMAPFILEHEADER header = doc->fileHeader;
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = static_cast<DWORD>(sizeof header) + infoBytes;
    header.bfSize = static_cast<DWORD>(sizeof header + infoBytes + rowBytes * static_cast<std::size_t>(doc->height));

    const int result = WriteReplacing(doc, depth, header, info, infoBytes, static_cast<BYTE*>(GlobalLock(chunk)),
                                      rowsPerChunk);
    GlobalUnlock(chunk);
    FreeBlock(chunk);

    if (result != 0)
        return Fail(Failure::CreateFailed);
    doc->fileHeader = header;
    if (depth == 32) {
        // The 32-bit file leaves the HeightBytes behind as 0.
        BYTE* p = WorkDibPixels(doc->dib);
        const std::size_t count = static_cast<std::size_t>(doc->width) * static_cast<std::size_t>(doc->height);
        for (std::size_t i = 0; i < count; ++i, p += 4)
            p[3] = 0;
    }
    return {};
}
