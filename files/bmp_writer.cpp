#include "files/bmp_writer.h"

#include "image/messages.h"
#include "files/file_settings.h"
#include "files/safe_replace.h"

#include <cstring>

namespace {

constexpr DWORD kBitfieldsInfoBytes = 56;

std::size_t Padding(std::size_t rowBytes)
{
    return (4 - rowBytes % 4) % 4;
}

// 8 bits to 5 with rounding: 0-4 give 0, 5-12 give 1, ... 251-255 give 31.
BYTE To5Bits(BYTE v)
{
    return static_cast<BYTE>((10 * (v + 4)) / 82);
}

// Allocates the packed block and copies the WorkDib header into its start.
BYTE* AllocatePacked(HGLOBAL* out, ImageDocument* doc, std::size_t bytes)
{
    *out = GlobalAlloc(GHND, bytes);
    if (!*out)
        return nullptr;
    auto* block = static_cast<BYTE*>(GlobalLock(*out));
    std::memcpy(block, doc->dib, sizeof(BITMAPINFOHEADER));
    doc->fileHeader.bfSize = static_cast<DWORD>(14 + bytes);
    return block;
}

BITMAPINFOHEADER* InfoOf(BYTE* block)
{
    return reinterpret_cast<BITMAPINFOHEADER*>(block);
}

}  // namespace

int PackBmp16(HGLOBAL* out, ImageDocument* doc)
{
    const std::size_t width = static_cast<std::size_t>(doc->width);
    const std::size_t pad = Padding(2 * width);
    const std::size_t rowBytes = 2 * width + pad;
    BYTE* block = AllocatePacked(out, doc, rowBytes * doc->height + sizeof(BITMAPINFOHEADER));
    if (!block)
        return -1;
    InfoOf(block)->biSize = sizeof(BITMAPINFOHEADER);
    InfoOf(block)->biBitCount = 16;
    InfoOf(block)->biCompression = BI_RGB;

    const BYTE* s = WorkDibPixels(doc->dib);
    BYTE* d = block + sizeof(BITMAPINFOHEADER);
    for (LONG y = 0; y < doc->height; ++y, d += pad) {
        for (std::size_t x = 0; x < width; ++x, s += 4, d += 2) {
            const unsigned v = To5Bits(s[2]) * 1024u + To5Bits(s[1]) * 32u + To5Bits(s[0]);
            d[0] = static_cast<BYTE>(v & 0xFF);
            d[1] = static_cast<BYTE>(v >> 8);
        }
    }
    GlobalUnlock(*out);
    return 0;
}

int PackBmp24(HGLOBAL* out, ImageDocument* doc)
{
    const std::size_t width = static_cast<std::size_t>(doc->width);
    const std::size_t pad = Padding(3 * width);
    const std::size_t rowBytes = 3 * width + pad;
    BYTE* block = AllocatePacked(out, doc, rowBytes * doc->height + sizeof(BITMAPINFOHEADER));
    if (!block)
        return -1;
    InfoOf(block)->biSize = sizeof(BITMAPINFOHEADER);
    InfoOf(block)->biBitCount = 24;

    const BYTE* s = WorkDibPixels(doc->dib);
    BYTE* d = block + sizeof(BITMAPINFOHEADER);
    for (LONG y = 0; y < doc->height; ++y, d += pad) {
        for (std::size_t x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    GlobalUnlock(*out);
    return 0;
}

int PackBmp32(HGLOBAL* out, ImageDocument* doc)
{
    const std::size_t count = static_cast<std::size_t>(doc->width) * static_cast<std::size_t>(doc->height);
    BYTE* block = AllocatePacked(out, doc, count * 4 + kBitfieldsInfoBytes);
    if (!block)
        return -1;
    InfoOf(block)->biSize = kBitfieldsInfoBytes;
    InfoOf(block)->biBitCount = 32;
    InfoOf(block)->biCompression = BI_BITFIELDS;
    const DWORD masks[4] = {0xFF000000u, 0x00FF0000u, 0x0000FF00u, 0x00000000u};
    std::memcpy(block + sizeof(BITMAPINFOHEADER), masks, sizeof masks);

    // Red in the top byte, the low byte unused.
    const BYTE* s = WorkDibPixels(doc->dib);
    BYTE* d = block + kBitfieldsInfoBytes;
    for (std::size_t i = 0; i < count; ++i, s += 4, d += 4) {
        d[0] = 0;
        d[1] = s[0];
        d[2] = s[1];
        d[3] = s[2];
    }
    GlobalUnlock(*out);
    return 0;
}

int PackBmpPixels(HGLOBAL* out, ImageDocument* doc)
{
    switch (BmpSaveDepth) {
    case 16:
        return PackBmp16(out, doc);
    case 32:
        return PackBmp32(out, doc);
    default:
        return PackBmp24(out, doc);
    }
}

namespace {

// Writes header and packed block to a new temporary file beside the target
// and puts it in place.  Returns 0, or -1 with the target untouched.
int WriteReplacing(const char* target, const BITMAPFILEHEADER& header, const BYTE* body, DWORD bodyBytes)
{
    char temporary[kTempPathBytes];
    if (MakeTemporaryPath(target, temporary) != 0)
        return -1;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    bool ok = WriteFile(file, &header, sizeof header, &written, nullptr) && written == sizeof header;
    ok = ok && WriteFile(file, body, bodyBytes, &written, nullptr) && written == bodyBytes;
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DiscardTemporary(temporary);
        return -1;
    }
    return ReplaceWithTemporary(temporary, target);
}

}  // namespace

int WriteBmpFile(HWND window, ImageDocument* doc)
{
    if (!doc->isLoaded || !doc->dib) {
        ReportError(window, msg::kNothingLoaded);
        return -1;
    }

    // Packing first: a picture that cannot be packed never empties a file.
    HGLOBAL packed = nullptr;
    const BITMAPFILEHEADER before = doc->fileHeader;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const int packResult = PackBmpPixels(&packed, doc);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    if (packResult != 0 || !packed) {
        doc->fileHeader = before;
        ReportError(window, msg::kOutOfMemory);
        return -1;
    }

    BITMAPFILEHEADER header = doc->fileHeader;
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = BmpSaveDepth == 32 ? 14 + kBitfieldsInfoBytes : 14 + sizeof(BITMAPINFOHEADER);

    const auto* body = static_cast<const BYTE*>(GlobalLock(packed));
    // bfSize was set by the packer; GlobalSize may round the block up.
    const int result = WriteReplacing(doc->path, header, body, header.bfSize - sizeof header);
    GlobalUnlock(packed);
    GlobalFree(packed);

    if (result != 0) {
        doc->fileHeader = before;
        ReportError(window, msg::kCreateFailed);
        return -1;
    }
    doc->fileHeader = header;
    if (BmpSaveDepth == 32) {
        // The 32-bit file leaves the HeightBytes behind as 0.
        BYTE* p = WorkDibPixels(doc->dib);
        const std::size_t count = static_cast<std::size_t>(doc->width) * static_cast<std::size_t>(doc->height);
        for (std::size_t i = 0; i < count; ++i, p += 4)
            p[3] = 0;
    }
    return 0;
}
