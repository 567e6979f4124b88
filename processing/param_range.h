// The range and default of one whole-number setting of an engine, written
// once beside the engine's parameter struct and read by every front end
// that lets a user choose the setting.
#pragma once

struct ParamRange {
    int min;
    int max;
    int def;

    constexpr bool Contains(int v) const { return v >= min && v <= max; }
};
