#include "support/jpeg_generator.h"

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace qvtest {

namespace {

bool Encode(const std::string& path, int width, int height, int quality, bool progressive, bool sample444,
            const std::vector<jpeg_scan_info>* script)
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
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (sample444)
        for (int c = 0; c < 3; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    if (script) {
        cinfo.scan_info = script->data();
        cinfo.num_scans = static_cast<int>(script->size());
    } else if (progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> top(static_cast<std::size_t>(width) * 3);
    std::vector<JSAMPLE> bottom(top.size());
    for (std::size_t i = 0; i < top.size(); i += 3) {
        top[i] = 200, top[i + 1] = 40, top[i + 2] = 30;
        bottom[i] = 20, bottom[i + 1] = 50, bottom[i + 2] = 210;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = static_cast<int>(cinfo.next_scanline) < height / 2 ? top.data() : bottom.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

}  // namespace

bool WriteFlatJpeg(const std::string& path, int width, int height, int quality, bool progressive, bool sample444)
{
    return Encode(path, width, height, quality, progressive, sample444, nullptr);
}

bool WriteManyScanJpeg(const std::string& path, int width, int height, int levels)
{
    std::vector<jpeg_scan_info> scans;
    jpeg_scan_info dc = {};
    dc.comps_in_scan = 3;
    for (int c = 0; c < 3; ++c)
        dc.component_index[c] = c;
    dc.Al = 1;
    scans.push_back(dc);
    dc.Ah = 1;
    dc.Al = 0;
    scans.push_back(dc);
    for (int level = levels - 1; level >= 0; --level)
        for (int c = 0; c < 3; ++c)
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
    return Encode(path, width, height, 90, true, true, &scans);
}

}  // namespace qvtest
