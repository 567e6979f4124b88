#include "support/jpeg_generator.h"

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace qvtest {

namespace {

// One scan per AC coefficient of each component, refined bit by bit:
// 2 DC scans + components x 63 x levels AC scans.
std::vector<jpeg_scan_info> ManyScanScript(int components, int levels)
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

int InputComponents(JpegStored stored)
{
    switch (stored) {
    case JpegStored::kGrey:
        return 1;
    case JpegStored::kTwoComponents:
        return 2;
    case JpegStored::kCmyk:
    case JpegStored::kYcck:
        return 4;
    default:
        return 3;
    }
}

void FillRow(const JpegRecipe& r, int y, int components, JSAMPLE* row)
{
    static const JSAMPLE kTop[4] = {200, 40, 30, 90};
    static const JSAMPLE kBottom[4] = {20, 50, 210, 160};
    for (int x = 0; x < r.width; ++x) {
        JSAMPLE* p = row + static_cast<std::size_t>(x) * components;
        for (int c = 0; c < components; ++c) {
            if (r.flat)
                p[c] = y < r.height / 2 ? kTop[c] : kBottom[c];
            else if (c == 0)
                p[c] = static_cast<JSAMPLE>(x * 255 / (r.width > 1 ? r.width - 1 : 1));
            else if (c == 1)
                p[c] = static_cast<JSAMPLE>(y * 255 / (r.height > 1 ? r.height - 1 : 1));
            else if (c == 2)
                p[c] = static_cast<JSAMPLE>((x + y) * 16);
            else
                p[c] = static_cast<JSAMPLE>((x * y) & 0xFF);
        }
    }
}

}  // namespace

bool WriteJpeg(const std::string& path, const JpegRecipe& r)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const int components = InputComponents(r.stored);
    std::vector<jpeg_scan_info> script;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(r.width);
    cinfo.image_height = static_cast<JDIMENSION>(r.height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1   ? JCS_GRAYSCALE
                           : components == 2 ? JCS_UNKNOWN
                           : components == 4 ? JCS_CMYK
                                             : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (r.stored == JpegStored::kRgb)
        jpeg_set_colorspace(&cinfo, JCS_RGB);
    else if (r.stored == JpegStored::kYcck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    if (components == 4)
        cinfo.write_Adobe_marker = r.adobe ? TRUE : FALSE;
    for (int c = 0; c < cinfo.num_components && c < 4; ++c)
        if (r.sampling[c][0] > 0) {
            cinfo.comp_info[c].h_samp_factor = r.sampling[c][0];
            cinfo.comp_info[c].v_samp_factor = r.sampling[c][1];
        }
    if (r.manyScanLevels > 0) {
        script = ManyScanScript(cinfo.num_components, r.manyScanLevels);
        cinfo.scan_info = script.data();
        cinfo.num_scans = static_cast<int>(script.size());
    } else if (r.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    cinfo.arith_code = r.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = r.restartRows;
    cinfo.restart_interval = static_cast<unsigned>(r.restartBlocks);
    jpeg_set_quality(&cinfo, r.quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(r.width) * components);
    int filled = -1;  // flat pictures change their row only once
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        const int key = r.flat ? (y < r.height / 2 ? 0 : 1) : y;
        if (key != filled) {
            FillRow(r, y, components, row.data());
            filled = key;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

bool WriteFlatJpeg(const std::string& path, int width, int height, int quality, bool progressive, bool sample444)
{
    JpegRecipe r;
    r.width = width;
    r.height = height;
    r.quality = quality;
    r.progressive = progressive;
    r.flat = true;
    if (sample444)
        for (auto& factors : r.sampling)
            factors[0] = factors[1] = 1;
    return WriteJpeg(path, r);
}

bool WriteManyScanJpeg(const std::string& path, int width, int height, int levels)
{
    JpegRecipe r;
    r.width = width;
    r.height = height;
    r.quality = 90;
    r.manyScanLevels = levels;
    r.flat = true;
    for (auto& factors : r.sampling)
        factors[0] = factors[1] = 1;
    return WriteJpeg(path, r);
}

}  // namespace qvtest
