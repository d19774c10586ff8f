// Dialog-unit arithmetic; independent of the toolkit.
#include "app/ui/dialog_units.h"

#include <algorithm>
#include <cstdint>

namespace app::ui {

BaseUnits baseUnitsFromExtent(int sampleWidthPx, int lineHeightPx) {
    // (width / 26 + 1) / 2 is the average over 52 letters rounded to nearest.
    const int cx = (std::max(sampleWidthPx, 0) / 26 + 1) / 2;
    return {std::max(cx, 1), std::max(lineHeightPx, 1)};
}

int mulDiv(int value, int numerator, int denominator) {
    const std::int64_t product = std::int64_t{value} * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t result =
        product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(result);
}

int horizontalPixels(int dialogUnits, BaseUnits units) {
    return mulDiv(dialogUnits, units.cx, 4);
}

int verticalPixels(int dialogUnits, BaseUnits units) {
    return mulDiv(dialogUnits, units.cy, 8);
}

PixelRect toPixels(int x, int y, int cx, int cy, BaseUnits units) {
    return {horizontalPixels(x, units), verticalPixels(y, units), horizontalPixels(cx, units),
            verticalPixels(cy, units)};
}

}  // namespace app::ui
