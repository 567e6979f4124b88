// Metadata copying over hostile files: the input is read as the source of
// a JPEG, PNG or WebP picture's metadata and copied into a small picture of
// each type (chosen from the input).  Exiv2's errors must come back as a
// failure with a reason, never as an exception, a crash or a leak; the
// orientation read is always 1..8.
#include "fuzz_support.h"

#include "files/metadata_copy.h"
#include "files/jpeg_writer.h"
#include "files/png_file.h"
#include "files/webp_file.h"

#include <cstdio>
#include <cstring>

namespace {

// A 3 x 2 picture written once as each target type.
const std::string& Target(int type)
{
    static std::string paths[3];
    if (paths[type].empty()) {
        static const char* const extensions[] = {".jpg", ".png", ".webp"};
        paths[type] = qvfuzz::OutputFile(extensions[type]) + ".target";
        ImageDocument doc;
        ResetDocument(&doc);
        HGLOBAL block = GlobalAlloc(GHND, WorkDibBytes(3, 2) + 4);
        doc.hDib = block;
        doc.dib = static_cast<BYTE*>(GlobalLock(block));
        WriteWorkDibHeader(doc.dib, 3, 2);
        doc.bmi = reinterpret_cast<BITMAPINFO*>(doc.dib);
        doc.width = 3;
        doc.height = 2;
        doc.isLoaded = 1;
        doc.bitsOffset = kWorkDibHeaderBytes;
        Outcome result;
        if (type == 0) {
            std::snprintf(doc.path, sizeof doc.path, "%s", paths[type].c_str());
            result = WriteJpegFile(&doc, JpegWriteSettings{});
        } else if (type == 1) {
            result = WritePngFile(paths[type].c_str(), &doc, nullptr);
        } else {
            result = WriteWebpFile(paths[type].c_str(), &doc, nullptr, 80, false);
        }
        qvfuzz::Check(result.ok(), "target picture written");
        ReleaseDocument(&doc);
    }
    return paths[type];
}

std::string ReadAll(const std::string& path)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, got);
        std::fclose(f);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    qvfuzz::Choices choices(data, size);
    const std::string& source = qvfuzz::InputFile(data, size);

    int orientation = 0;
    const Outcome read = ReadOrientation(source.c_str(), &orientation);
    if (read.ok())
        qvfuzz::Check(orientation >= 1 && orientation <= 8, "orientation 1..8");
    else
        qvfuzz::Check(read.failure == Failure::MetadataUnreadable && orientation == 1,
                      "a failed read names its problem");

    const std::string& target = Target(static_cast<int>(choices.Next(3)));
    const std::string copy = target + ".copy";
    const std::string original = ReadAll(target);
    if (std::FILE* f = std::fopen(copy.c_str(), "wb")) {
        std::fwrite(original.data(), 1, original.size(), f);
        std::fclose(f);
    }
    const Outcome copied = CopyMetadata(source.c_str(), copy.c_str(), 3, 2, choices.Next(2) == 1);
    if (!copied.ok())
        qvfuzz::Check(copied.failure == Failure::MetadataUnreadable || copied.failure == Failure::MetadataUnwritable,
                      "a failed copy names its problem");
    std::remove(copy.c_str());
    return 0;
}
