#include "app/settings.h"

#include <cstring>

RememberedSettings Remembered = {};

void ResetRememberedSettings()
{
    Remembered = RememberedSettings{};
}

namespace {

int FilterChoice::*StrengthMember(FilterKind kind)
{
    switch (kind) {
    case FilterKind::Soft:
        return &FilterChoice::softStrength;
    case FilterKind::Emboss:
        return &FilterChoice::embossStrength;
    case FilterKind::Custom:
        return &FilterChoice::customStrength;
    case FilterKind::Sharpen:
        break;
    }
    return &FilterChoice::sharpenStrength;
}

}  // namespace

int& StrengthOf(FilterChoice& choice, FilterKind kind)
{
    return choice.*StrengthMember(kind);
}

int StrengthOf(const FilterChoice& choice, FilterKind kind)
{
    return choice.*StrengthMember(kind);
}

FilterParams FilterParamsOf(const FilterChoice& choice)
{
    FilterParams params;
    params.kind = choice.kind;
    params.strength = StrengthOf(choice, choice.kind);
    std::memcpy(params.kernel, choice.customKernel, sizeof params.kernel);
    return params;
}
