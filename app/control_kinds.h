// Which dialog control stands for which engine kind or setting.  The
// engines know nothing of control ids; the dialogs look them up here.
#pragma once

#include "processing/colour_adjust.h"
#include "processing/effects.h"
#include "processing/filters.h"
#include "resources/resource.h"

#include <cstddef>
#include <iterator>

// ---- Filter dialog ----------------------------------------------------------

struct FilterButton {
    FilterKind kind;
    int radioId;
    int barId;   // the kind's strength
    int textId;
};

// One radio button and strength bar per filter, in FilterKind's order.
inline constexpr FilterButton kFilterButtons[] = {
    {FilterKind::Sharpen, IDC_FILTER_SHARPEN, IDC_FILTER_SHARPEN_BAR, IDC_FILTER_SHARPEN_TEXT},
    {FilterKind::Soft, IDC_FILTER_SOFT, IDC_FILTER_SOFT_BAR, IDC_FILTER_SOFT_TEXT},
    {FilterKind::Emboss, IDC_FILTER_EMBOSS, IDC_FILTER_EMBOSS_BAR, IDC_FILTER_EMBOSS_TEXT},
    {FilterKind::Custom, IDC_FILTER_CUSTOM, IDC_FILTER_CUSTOM_BAR, IDC_FILTER_CUSTOM_TEXT},
};

// The kernel boxes hold the custom kernel as seen on screen, top row first.
static_assert(IDC_FILTER_KERNEL_LAST - IDC_FILTER_KERNEL_FIRST + 1 == 9);

// ---- Effect dialog ----------------------------------------------------------

struct EffectButton {
    EffectKind kind;
    int id;
};

// One radio button per effect, in EffectKind's order.
inline constexpr EffectButton kEffectButtons[] = {
    {EffectKind::Negative, IDC_EFFECT_NEGATIVE}, {EffectKind::Posterize, IDC_EFFECT_POSTERIZE},
    {EffectKind::Solarize, IDC_EFFECT_SOLARIZE}, {EffectKind::Contrast, IDC_EFFECT_CONTRAST},
    {EffectKind::Binarize, IDC_EFFECT_BINARIZE},
};

struct LevelButton {
    int bandWidth;
    int id;
};

// One radio button per band width, narrowest first.
inline constexpr LevelButton kLevelButtons[] = {
    {8, IDC_EFFECT_LEVEL8},   {16, IDC_EFFECT_LEVEL16},   {32, IDC_EFFECT_LEVEL32},
    {64, IDC_EFFECT_LEVEL64}, {128, IDC_EFFECT_LEVEL128},
};

namespace control_kinds_check {

constexpr bool FilterButtonsInKindOrder()
{
    for (std::size_t i = 0; i < std::size(kFilterButtons); ++i)
        if (static_cast<std::size_t>(kFilterButtons[i].kind) != i)
            return false;
    return true;
}

constexpr bool EffectButtonsInKindOrder()
{
    for (std::size_t i = 0; i < std::size(kEffectButtons); ++i)
        if (static_cast<std::size_t>(kEffectButtons[i].kind) != i)
            return false;
    return true;
}

constexpr bool LevelButtonsOfferEveryBandWidth()
{
    if (std::size(kLevelButtons) != std::size(kEffectBandWidths))
        return false;
    for (std::size_t i = 0; i < std::size(kLevelButtons); ++i)
        if (kLevelButtons[i].bandWidth != kEffectBandWidths[i])
            return false;
    return true;
}

}  // namespace control_kinds_check

static_assert(control_kinds_check::FilterButtonsInKindOrder());
static_assert(std::size(kFilterButtons) == static_cast<std::size_t>(FilterKind::Custom) + 1);
static_assert(control_kinds_check::EffectButtonsInKindOrder());
static_assert(std::size(kEffectButtons) == static_cast<std::size_t>(EffectKind::Binarize) + 1);
static_assert(control_kinds_check::LevelButtonsOfferEveryBandWidth());

// A filter's radio button and bar.
constexpr const FilterButton& FilterButtonOf(FilterKind kind)
{
    return kFilterButtons[static_cast<std::size_t>(kind)];
}

// The filter a radio button stands for; false for another control.
constexpr bool FilterOfButton(int id, FilterKind* kind)
{
    for (const FilterButton& b : kFilterButtons)
        if (b.radioId == id) {
            *kind = b.kind;
            return true;
        }
    return false;
}

// The button of an effect, of a band width (0 for a width no button offers).
constexpr int EffectButtonOf(EffectKind kind)
{
    return kEffectButtons[static_cast<std::size_t>(kind)].id;
}
constexpr int LevelButtonOf(int bandWidth)
{
    for (const LevelButton& b : kLevelButtons)
        if (b.bandWidth == bandWidth)
            return b.id;
    return 0;
}

// The effect or band width a button stands for; false for another control.
constexpr bool EffectOfButton(int id, EffectKind* kind)
{
    for (const EffectButton& b : kEffectButtons)
        if (b.id == id) {
            *kind = b.kind;
            return true;
        }
    return false;
}
constexpr bool BandWidthOfButton(int id, int* bandWidth)
{
    for (const LevelButton& b : kLevelButtons)
        if (b.id == id) {
            *bandWidth = b.bandWidth;
            return true;
        }
    return false;
}
