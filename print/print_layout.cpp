#include "print/print_layout.h"

PrintLayout ComputePrintLayout(int width, int height, double sx, double sy, double px, double py, double hres,
                               double vres, bool centred)
{
    const double scaleX = px / sx;
    const double scaleY = py / sy;
    PrintLayout layout = {};
    layout.exceedsArea = width * scaleX > hres || height * scaleY > vres;
    layout.width = static_cast<int>(width * scaleX);
    layout.height = static_cast<int>(height * scaleY);
    if (centred) {
        // Full width: a picture wider than 32767 device pixels stays where
        // it belongs instead of wrapping around.
        layout.x = static_cast<int>((hres - layout.width) * 0.5);
        layout.y = static_cast<int>((vres - layout.height) * 0.5);
    }
    return layout;
}
