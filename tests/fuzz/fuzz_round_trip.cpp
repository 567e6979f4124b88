// Round trips as properties: every picture the BMP or JPEG reader accepts
// (the input's first bytes say which) is written by every writer and read
// back.  The size never changes; 24- and 32-bit BMP keep every colour bit
// for bit, 16-bit BMP (5-5-5) keeps each colour within its 5-bit step,
// and JPEG keeps the picture's brightness above a PSNR floor that
// rises with the quality.
#include "fuzz_support.h"

#include "files/bmp_reader.h"
#include "files/bmp_writer.h"
#include "files/jpeg_reader.h"
#include "files/jpeg_writer.h"

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Writes doc as a BMP file or, with jpeg, a JPEG file, reads the file back
// into back.
void WriteAndRead(ImageDocument* doc, ImageDocument* back, const BmpWriteSettings& bmp,
                  const JpegWriteSettings* jpeg)
{
    const std::string& out = qvfuzz::OutputFile(jpeg ? ".jpg" : ".bmp");
    qvfuzz::SetPath(doc, out);
    qvfuzz::Check((jpeg ? WriteJpegFile(doc, *jpeg) : WriteBmpFile(doc, bmp)).ok(),
                  "a picture that was read can be written");
    ResetDocument(back);
    qvfuzz::SetPath(back, out);
    qvfuzz::Check((jpeg ? ReadJpegFile(back) : ReadBmpFile(back)).ok(), "own file reads back");
    qvfuzz::Check(back->width == doc->width && back->height == doc->height, "own file keeps the size");
    std::remove(out.c_str());
}

// Brightness (ITU-R BT.601 weights) of a WorkDib pixel.
double Luma(const BYTE* p)
{
    return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2];
}

// The brightness PSNR a JPEG save at this quality keeps at the least.
// Colours are not compared: chroma is stored at half resolution.  That
// moves brightness too where a saturated pixel's colour, shared with its
// neighbours, clips on the way back (a white pixel among blue ones loses
// about 30 levels), so the floors sit below that worst case and catch a
// lost, blank or garbled picture rather than small losses.  Noise pictures
// reach about 22, 20 and 17 dB.
double PsnrFloor(int quality)
{
    return quality >= 100 ? 15.0 : quality >= 80 ? 14.0 : 12.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qvfuzz::SetUpOnce();
    qvfuzz::BudgetPicture(size);
    const long blocksBefore = StandInLiveBlocks();

    ImageDocument doc;
    ResetDocument(&doc);
    qvfuzz::SetPath(&doc, qvfuzz::InputFile(data, size));
    const bool bmp = size >= 2 && data[0] == 'B' && data[1] == 'M';
    if (!(bmp ? ReadBmpFile(&doc) : ReadJpegFile(&doc)).ok()) {
        qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked by a failed read");
        return 0;
    }
    doc.bitsOffset = kWorkDibHeaderBytes;
    const std::size_t count = static_cast<std::size_t>(doc.width) * static_cast<std::size_t>(doc.height);
    const std::vector<BYTE> original(WorkDibPixels(doc.dib), WorkDibPixels(doc.dib) + count * 4);

    for (int depth : {24, 32, 16}) {
        ImageDocument back;
        WriteAndRead(&doc, &back, BmpWriteSettings{depth}, nullptr);
        const BYTE* a = original.data();
        const BYTE* b = WorkDibPixels(back.dib);
        for (std::size_t i = 0; i < count; ++i, a += 4, b += 4) {
            if (depth == 16) {
                // 5 bits a colour, read back as multiples of 8; the writer
                // divides 0..255 into 32 steps of 8.2, so a colour moves by
                // at most 10.
                for (int c = 0; c < 3; ++c)
                    qvfuzz::Check(b[c] % 8 == 0 && std::abs(b[c] - a[c]) <= 10,
                                  "16-bit file keeps each colour within its 5-bit step");
            } else {
                qvfuzz::Check(a[0] == b[0] && a[1] == b[1] && a[2] == b[2], "24- and 32-bit files keep the colours");
            }
        }
        ReleaseDocument(&back);
    }

    for (int quality : {kJpegQualityMin, kJpegQualityDefault, kJpegQualityMax}) {
        for (bool progressive : {false, true}) {
            const JpegWriteSettings settings{quality, progressive};
            ImageDocument back;
            WriteAndRead(&doc, &back, BmpWriteSettings{}, &settings);
            const BYTE* a = original.data();
            const BYTE* b = WorkDibPixels(back.dib);
            double squares = 0;
            for (std::size_t i = 0; i < count; ++i, a += 4, b += 4) {
                const double d = Luma(a) - Luma(b);
                squares += d * d;
            }
            const double mse = squares / static_cast<double>(count);
            const double psnr = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
            if (psnr < PsnrFloor(quality)) {
                std::fprintf(stderr, "%ld x %ld, quality %d%s: brightness PSNR %.2f dB\n",
                             static_cast<long>(doc.width), static_cast<long>(doc.height), quality,
                             progressive ? " progressive" : "", psnr);
                qvfuzz::Check(false, "JPEG file keeps the brightness above its PSNR floor");
            }
            ReleaseDocument(&back);
        }
    }
    ReleaseDocument(&doc);
    qvfuzz::Check(StandInLiveBlocks() == blocksBefore, "blocks leaked");
    return 0;
}
