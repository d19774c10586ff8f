// Dialog units to pixels: horizontal units are a quarter of the font's average character
// width, vertical units an eighth of its height.
#ifndef APP_UI_DIALOG_UNITS_H
#define APP_UI_DIALOG_UNITS_H

namespace app::ui {

struct BaseUnits {
    int cx;  // average character width, pixels
    int cy;  // character height, pixels
};

struct PixelRect {
    int x, y, width, height;
};

// The sample whose extent gives the average character width.
inline constexpr const char* kAverageWidthSample =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Average width of the 52 sample letters, rounded to the nearest pixel, and the line
// height; both at least 1.
BaseUnits baseUnitsFromExtent(int sampleWidthPx, int lineHeightPx);

// value * numerator / denominator rounded half away from zero (denominator > 0).
int mulDiv(int value, int numerator, int denominator);

int horizontalPixels(int dialogUnits, BaseUnits units);
int verticalPixels(int dialogUnits, BaseUnits units);
PixelRect toPixels(int x, int y, int cx, int cy, BaseUnits units);

}  // namespace app::ui

#endif  // APP_UI_DIALOG_UNITS_H
