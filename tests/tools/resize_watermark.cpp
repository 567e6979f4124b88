// resize_watermark IN.png W H OUT.png: the reference for quillvane-cli's
// --size.  Reads a PNG watermark, takes its heights as the tool does (alpha
// when it has transparency, else luminance), resamples the picture with
// the engine's ScaleDib to W x H and writes the heights as a grey PNG, whose
// luminance read back is exactly those heights.
#include "files/png_file.h"
#include "processing/scale.h"
#include "processing/transparency.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: resize_watermark IN.png W H OUT.png\n");
        return 2;
    }
    ImageDocument mark = {};
    std::vector<std::uint8_t> alpha;
    if (const Outcome read = ReadPngFile(argv[1], &mark, &alpha); !read.ok()) {
        std::fprintf(stderr, "resize_watermark: %s: cannot be read (failure %d)\n", argv[1],
                     static_cast<int>(read.failure));
        return 1;
    }
    mark.bitsOffset = kWorkDibHeaderBytes;
    ComputeLuminance(&mark);
    const std::size_t count = static_cast<std::size_t>(mark.width) * static_cast<std::size_t>(mark.height);
    if (HasTransparency(alpha))
        for (std::size_t i = 0; i < count; ++i)
            WorkDibPixels(mark.dib)[i * 4 + 3] = alpha[i];

    const RECT target = {0, 0, std::atoi(argv[2]), std::atoi(argv[3])};
    HGLOBAL block = nullptr;
    BITMAPINFO header = {};
    if (ScaleDib(&block, mark.dib, &target, &header) != 0)
        return 1;
    ImageDocument out = {};
    out.hDib = block;
    out.dib = static_cast<BYTE*>(GlobalLock(block));
    out.width = target.right;
    out.height = target.bottom;
    BYTE* p = WorkDibPixels(out.dib);
    for (std::size_t i = 0; i < static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height); ++i, p += 4)
        p[0] = p[1] = p[2] = p[3];
    if (const Outcome written = WritePngFile(argv[4], &out, nullptr); !written.ok()) {
        std::fprintf(stderr, "resize_watermark: %s: cannot be written (failure %d)\n", argv[4],
                     static_cast<int>(written.failure));
        return 1;
    }
    ReleaseDocument(&out);
    ReleaseDocument(&mark);
    return 0;
}
