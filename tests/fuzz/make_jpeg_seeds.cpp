// Writes the JPEG seeds cjpeg cannot make: four-component files (CMYK with
// and without Adobe's marker, YCCK) and progressive files with very long
// scan scripts (one scan per coefficient and bit), from small pictures.
//
//   make_jpeg_seeds OUTPUT-DIRECTORY
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

// One scan per AC coefficient of each component, refined bit by bit:
// 2 DC scans + components x 63 x levels AC scans.
std::vector<jpeg_scan_info> LongScript(int components, int levels)
{
    std::vector<jpeg_scan_info> scans;
    jpeg_scan_info dc = {};
    dc.comps_in_scan = components;
    for (int c = 0; c < components; ++c)
        dc.component_index[c] = c;
    dc.Al = 1;
    scans.push_back(dc);
    dc.Ah = 1;
    dc.Al = 0;
    scans.push_back(dc);
    for (int level = levels - 1; level >= 0; --level)
        for (int c = 0; c < components; ++c)
            for (int k = 1; k < 64; ++k) {
                jpeg_scan_info s = {};
                s.comps_in_scan = 1;
                s.component_index[0] = c;
                s.Ss = k;
                s.Se = k;
                s.Ah = level == levels - 1 ? 0 : level + 1;
                s.Al = level;
                scans.push_back(s);
            }
    return scans;
}

bool Write(const std::string& path, J_COLOR_SPACE stored, bool adobe, int width, int height, bool progressive,
           const std::vector<jpeg_scan_info>* script = nullptr)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, stored);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    if (script) {
        cinfo.scan_info = script->data();
        cinfo.num_scans = static_cast<int>(script->size());
    } else if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_set_quality(&cinfo, 75, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            JSAMPLE* p = &row[static_cast<std::size_t>(x) * 4];
            p[0] = static_cast<JSAMPLE>(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = static_cast<JSAMPLE>(y * 255 / (height > 1 ? height - 1 : 1));
            p[2] = static_cast<JSAMPLE>((x + y) * 16);
            p[3] = static_cast<JSAMPLE>((x * y) & 0xFF);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_jpeg_seeds OUTPUT-DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = Write(dir + "/cmyk-adobe-17x9.jpg", JCS_CMYK, true, 17, 9, false);
    ok = Write(dir + "/cmyk-plain-16x16.jpg", JCS_CMYK, false, 16, 16, false) && ok;
    ok = Write(dir + "/ycck-adobe-23x11.jpg", JCS_YCCK, true, 23, 11, false) && ok;
    ok = Write(dir + "/cmyk-progressive-9x17.jpg", JCS_CMYK, true, 9, 17, true) && ok;
    // 3-component (YCbCr) files from CMYK input are not possible; the long
    // scripts use CMYK files, each component coded on its own.
    const std::vector<jpeg_scan_info> under = LongScript(4, 1);  // 2 + 252 scans
    const std::vector<jpeg_scan_info> over = LongScript(4, 2);   // 2 + 504 scans
    ok = Write(dir + "/scans-254-8x8.jpg", JCS_UNKNOWN, true, 8, 8, true, &under) && ok;
    ok = Write(dir + "/scans-506-8x8.jpg", JCS_UNKNOWN, true, 8, 8, true, &over) && ok;
    return ok ? 0 : 1;
}
