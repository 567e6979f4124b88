// The values of quillvane-cli's options: numbers, lists, lengths, colours,
// names.  Each parser takes the text as typed and returns 0 with the value,
// or -1 with a one-line *error that names the option.
#pragma once

#include "cli/options.h"

#include <string>
#include <vector>

// ASCII case-insensitive equality with a lower-case b.
bool EqualsNoCase(const std::string& a, const char* b);

// A whole decimal number with an optional sign and nothing else; one
// beyond int's range becomes LONG_MIN or LONG_MAX.
int ParseInteger(const std::string& text, long* value);

// A finite decimal real number and nothing else.
int ParseReal(const std::string& text, double* value);

// Splits "a,b,c"; 0 when there are exactly count fields.
int SplitList(const std::string& text, int count, std::vector<std::string>* fields);

// One whole number of the option in low..high.
int IntegerValue(const std::string& option, const std::string& text, long low, long high, int* out,
                 std::string* error);

// count whole numbers separated by commas, each in low..high; shape
// describes the list for the message (marked with N_).
int IntegerList(const std::string& option, const std::string& text, int count, const char* shape, long low,
                long high, int* out, std::string* error);

// One real number of the option in low..high.
int RealValue(const std::string& option, const std::string& text, double low, double high, double* out,
              std::string* error);

// --format: bmp, jpeg (jpg), png, webp, any case.
int ParseFormat(const std::string& text, CliFormat* out, std::string* error);

// --kind of filter or effect (by command): sets the kind and marks it given.
int ParseKind(CliCommand command, const std::string& text, CliOptions* o, std::string* error);

// --levels: a band width 8..128 (kEffectBandWidths).
int ParseLevels(const std::string& text, CliOptions* o, std::string* error);

// --light X,Y,Z: any direction but 0,0,0.
int ParseLight(const std::string& text, CliOptions* o, std::string* error);

// --bounds BL,BU,GL,GU,RL,RU: each lower bound at most its upper one.
int ParseBounds(const std::string& text, CliOptions* o, std::string* error);

// A text mark's text as typed (\n and \\ escapes) into UTF-8 lines.
int ParseMarkText(const std::string& name, const std::string& typed, std::string* text, std::string* error);

// --background: "#rrggbb", "rrggbb", "R,G,B", "white" or "black".
int ParseColour(const std::string& text, unsigned char* rgb, std::string* error);

// "N%" or "Npx" (or, when plainPixels, "N"); at least minimum.
int ParseLength(const std::string& option, const std::string& text, bool plainPixels, double minimum, CliLength* out,
                std::string* error);

// --resize: "Npx" (the long edge), "P%" (up to four decimals, more than 0
// and at most 10000) or "WxH" (a box the picture is fitted into).
int ParseResize(const std::string& option, const std::string& text, ResizeRequest* out, std::string* error);

// --gravity: nw, n, ne, w, center (centre), e, sw, s, se.
int ParseGravity(const std::string& text, CliGravity* out, std::string* error);
