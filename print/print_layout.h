// Where the picture lands on the page: screen pixels scaled to the
// printer's resolution, at the top-left corner or centred.
#pragma once

struct PrintLayout {
    bool exceedsArea;  // larger than the printable area after scaling
    int x, y;          // top-left corner on the page, device pixels
    int width, height; // size on the page, device pixels
};

// width x height picture pixels; screen (sx, sy) and printer (px, py)
// pixels per inch; the printable area hres x vres.
PrintLayout ComputePrintLayout(int width, int height, double sx, double sy, double px, double py, double hres,
                               double vres, bool centred);
