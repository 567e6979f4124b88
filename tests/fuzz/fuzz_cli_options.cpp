// quillvane-cli's option parser on arbitrary command lines: the input's
// bytes split at zero bytes into arguments.  Whatever it accepts must be
// within the documented ranges; whatever it refuses must say why.
#include "cli/options.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool Within(int v, int low, int high)
{
    return v >= low && v <= high;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words{"quillvane-cli"};
    std::string word;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0)
        words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    argv.push_back(nullptr);

    CliOptions options;
    std::string error;
    const int result = ParseCliOptions(static_cast<int>(words.size()), argv.data(), &options, &error);
    if (result != 0) {
        Check(!error.empty(), "a refusal names the problem");
        return 0;
    }
    if (options.command == CliCommand::Help || options.command == CliCommand::Version)
        return 0;
    Check(options.command != CliCommand::None, "a command");
    if (options.command == CliCommand::TextMark)
        Check(options.inputs.empty() && options.textGiven, "text-mark's argument is its text");
    else
        Check(!options.inputs.empty(), "an input");
    if (options.textGiven)
        Check(!options.text.text.empty() && options.text.text.size() <= kTextMaxBytes &&
                  Within(options.text.textHeight, kTextHeightMin, kTextHeightMax) &&
                  Within(options.text.soften, 0, kTextSoftenMax) &&
                  Within(options.text.fontIndex, 0, kTextFontIndexMax),
              "text options");
    Check((options.outputGiven && !options.output.empty()) || options.inPlace, "an output, or the inputs replaced");
    Check(options.bmpDepth == 16 || options.bmpDepth == 24 || options.bmpDepth == 32, "--bmp-depth");
    Check(Within(options.quality, 60, 100), "--quality");
    if (options.regionGiven)
        Check(options.region[0] < options.region[2] && options.region[1] < options.region[3], "--region order");
    Check(Within(options.bump.strength, 1, 200) && Within(options.bump.amplification, 0, 800) &&
              Within(options.bump.ambient, 1, 100),
          "bump ranges");
    Check(std::isfinite(options.bump.lightX) && std::isfinite(options.bump.lightY) &&
              std::isfinite(options.bump.lightZ),
          "a finite light direction");
    Check(options.bump.layout.offsetX >= 0 && options.bump.layout.offsetY >= 0, "--offset");
    Check(Within(options.filter.strength, 0, 10), "filter --strength");
    for (const auto& row : options.filter.kernel)
        for (int k : row)
            Check(Within(k, -9, 9), "--kernel");
    Check(options.effect.bandWidth == 8 || options.effect.bandWidth == 16 || options.effect.bandWidth == 32 ||
              options.effect.bandWidth == 64 || options.effect.bandWidth == 128,
          "--levels");
    for (int c = 0; c < 3; ++c)
        Check(Within(options.effect.lowerBound[c], 0, 255) && Within(options.effect.upperBound[c], 0, 255) &&
                  options.effect.lowerBound[c] <= options.effect.upperBound[c],
              "--bounds");
    Check(Within(options.ysh.luminance, 0, 200) && Within(options.ysh.saturation, 0, 200) &&
              Within(options.ysh.hue, 0, 360),
          "ysh ranges");

    // The same command line parses the same way again.
    CliOptions again;
    std::string error2;
    Check(ParseCliOptions(static_cast<int>(words.size()), argv.data(), &again, &error2) == 0, "parsing is repeatable");
    Check(again.inputs == options.inputs && again.output == options.output && again.quality == options.quality,
          "parsing is repeatable");
    return 0;
}
