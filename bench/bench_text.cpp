// Text-mark timing: a 30-character line drawn at 256 pixels a line, as
// text-mark and bump --text draw it (font lookup, shaping, drawing), and
// the same made into the watermark picture with the soft filter.  Prints
// the first run (which for the default font includes starting fontconfig:
// what every quillvane-cli process pays once) and the median and the
// slowest of the --reps runs after it (default 20).  Not a test.
//
//     quillvane_text_bench [--reps N]
#include "text/text_mark.h"
#include "text/text_render.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TextCase {
    const char* name;
    const char* text;
    const char* font;  // empty: the default font through fontconfig
    int soften;
    bool picture;      // also make the watermark picture
};

// 30 characters each.
const TextCase kCases[] = {
    {"Latin, default font", "Quillvane Studio (c) 2026 mark", "", 0, false},
    {"Japanese, default font", "© 2026 山田写真事務所 Yamada Photo 写真", "", 0, false},
    {"Latin, DejaVu Sans file", "Quillvane Studio (c) 2026 mark", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0,
     false},
    {"Japanese, IPAGothic file", "© 2026 山田写真事務所 Yamada Photo 写真",
     "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf", 0, false},
    {"Japanese + soften 3 + picture", "© 2026 山田写真事務所 Yamada Photo 写真", "", 3, true},
};

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv)
{
    int reps = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            reps = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: quillvane_text_bench [--reps N]\n");
            return 2;
        }
    }
    std::printf("text mark, 30 characters at 256 px a line; the first run, then median and slowest of %d more\n",
                reps);
    for (const TextCase& c : kCases) {
        TextMarkParams options;
        options.text = c.text;
        options.font = c.font;
        options.soften = c.soften;
        std::vector<double> times;
        double first = 0.0;
        TextField field;
        for (int r = 0; r <= reps; ++r) {
            const auto start = std::chrono::steady_clock::now();
            const TextOutcome outcome = RenderTextField(options, &field);
            if (!outcome.ok()) {
                std::fprintf(stderr, "%s: the text mark cannot be drawn (failure %d)\n", c.name,
                             static_cast<int>(outcome.failure));
                return 1;
            }
            if (c.picture) {
                ImageDocument doc = {};
                ResetDocument(&doc);
                if (BuildTextMarkDocument(field, options.soften, &doc) != TextMarkFailure::None)
                    return 1;
                ReleaseDocument(&doc);
            }
            const double ms = Milliseconds(std::chrono::steady_clock::now() - start);
            if (r == 0)
                first = ms;
            else
                times.push_back(ms);
        }
        std::sort(times.begin(), times.end());
        std::printf("  %-30s %5ld x %-4ld  first %7.2f ms  median %7.2f ms  slowest %7.2f ms\n", c.name, field.width,
                    field.height, first, times[times.size() / 2], times.back());
    }
    return 0;
}
