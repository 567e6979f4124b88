// resize_picture IN.png L,T,R,B W H OUT.png: the reference for
// quillvane-cli's --crop and --resize.  Reads a PNG (with its alpha),
// cuts the rectangle out with the engine's CropPicture, resizes the cut to
// W x H with its ResizePicture and writes the result as a PNG (RGBA when
// the input had alpha).
#include "files/png_file.h"
#include "files/rgba_rows.h"
#include "image/blocks.h"
#include "processing/resize.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int Fail(const char* what, const char* path)
{
    std::fprintf(stderr, "resize_picture: %s: %s\n", path, what);
    return 1;
}

void Adopt(ImageDocument* doc, PictureBlock* picture, std::vector<std::uint8_t>* alpha)
{
    AdoptWorkDib(doc, picture->block, picture->width, picture->height, nullptr);
    alpha->swap(picture->alpha);
}

}  // namespace

int main(int argc, char** argv)
{
    int ltrb[4] = {};
    if (argc != 6 || std::sscanf(argv[2], "%d,%d,%d,%d", &ltrb[0], &ltrb[1], &ltrb[2], &ltrb[3]) != 4) {
        std::fprintf(stderr, "usage: resize_picture IN.png L,T,R,B W H OUT.png\n");
        return 2;
    }
    const PictureRect rect = {ltrb[0], ltrb[1], ltrb[2], ltrb[3]};
    ImageDocument doc = {};
    std::vector<std::uint8_t> alpha;
    if (!ReadPngFile(argv[1], &doc, &alpha).ok())
        return Fail("cannot be read", argv[1]);
    PictureBlock cut = CropPicture(rect, WorkDibPixels(doc.dib), doc.width, doc.height, alpha);
    if (cut.failure != Failure::None)
        return Fail("the rectangle is refused", argv[2]);
    Adopt(&doc, &cut, &alpha);
    const ResizeParams size = {std::atoi(argv[3]), std::atoi(argv[4])};
    PictureBlock resized = ResizePicture(size, WorkDibPixels(doc.dib), doc.width, doc.height, alpha);
    if (resized.failure != Failure::None)
        return Fail("cannot be resized", argv[1]);
    Adopt(&doc, &resized, &alpha);
    if (!WritePngFile(argv[5], &doc, alpha.empty() ? nullptr : alpha.data()).ok())
        return Fail("cannot be written", argv[5]);
    ReleaseDocument(&doc);
    return 0;
}
