#include "files/picture_io.h"

#include "files/bmp_reader.h"
#include "files/jpeg_reader.h"
#include "files/png_file.h"
#include "files/webp_file.h"
#include "platform/file_names.h"

#include <cstdio>
#include <cstring>

namespace {

bool EndsWithNoCase(const char* name, const char* suffix)
{
    const std::size_t length = std::strlen(name);
    const std::size_t n = std::strlen(suffix);
    if (length < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = name[length - n + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

}  // namespace

int SignatureType(const unsigned char* head, std::size_t got)
{
    if (got >= 2 && head[0] == 'B' && head[1] == 'M')
        return kTypeBmp;
    if (got >= 2 && head[0] == 0xFF && head[1] == 0xD8)
        return kTypeJpeg;
    if (got >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0)
        return kTypePng;
    if (got >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
        return kTypeWebp;
    return 0;
}

int SniffPictureType(const char* path)
{
    unsigned char magic[12] = {};
    std::size_t got = 0;
    std::FILE* file = OpenFileUtf8(path, "rb");
    if (file) {
        got = std::fread(magic, 1, sizeof magic, file);
        std::fclose(file);
    }
    if (const int type = SignatureType(magic, got))
        return type;
    if (EndsWithNoCase(path, ".bmp"))
        return kTypeBmp;
    if (EndsWithNoCase(path, ".png"))
        return kTypePng;
    if (EndsWithNoCase(path, ".webp"))
        return kTypeWebp;
    return kTypeJpeg;
}

const char* TypeExtension(int type)
{
    switch (type) {
    case kTypeBmp: return ".bmp";
    case kTypePng: return ".png";
    case kTypeWebp: return ".webp";
    default: return ".jpg";
    }
}

bool HasPictureExtension(const char* name)
{
    return EndsWithNoCase(name, ".bmp") || EndsWithNoCase(name, ".jpg") || EndsWithNoCase(name, ".jpeg") ||
           EndsWithNoCase(name, ".png") || EndsWithNoCase(name, ".webp");
}

Outcome ReadPictureFile(ImageDocument* doc, int type, std::vector<std::uint8_t>* alpha)
{
    alpha->clear();
    switch (type) {
    case kTypeBmp: return ReadBmpFile(doc);
    case kTypePng: return ReadPngFile(doc->path, doc, alpha);
    case kTypeWebp: return ReadWebpFile(doc->path, doc, alpha);
    default: return ReadJpegFile(doc);
    }
}
