// Correlated colour temperature from XYZ, and daylight chromaticity from a temperature.
#include <cmath>

#include "chromel/rendering.h"
#include "chromel32.h"

namespace chromel {

// Cubic in n = (x - 0.332) / (y - 0.1858) (McCamy's form). No range check: off the Planckian
// locus any value comes out, and y = 0.1858 divides by zero.
double correlatedColourTemperature(double X, double Y, double Z) noexcept {
    const double sum = X + Y + Z;
    if (sum == 0.0) return 0.0;
    const double x = X / sum;
    const double y = Y / sum;
    const double n = (x - 0.332) / (y - 0.1858);
    return 3601.0 * n * n - 437.0 * n * n * n - 6861.0 * n + 5514.31;
}

Chromaticity daylightChromaticity(double kelvin) noexcept {
    if (!(kelvin >= 4000.0 && kelvin <= 25000.0)) return {0.0, 0.0};
    const double t1 = kelvin;
    const double t2 = std::pow(kelvin, 2.0);
    const double t3 = std::pow(kelvin, 3.0);
    const double e3 = std::pow(10.0, 3.0);
    const double e6 = std::pow(10.0, 6.0);
    const double e9 = std::pow(10.0, 9.0);
    const double x = kelvin <= 7000.0
                         ? -4.607 * e9 / t3 + 2.9678 * e6 / t2 + 0.09911 * e3 / t1 + 0.244063
                         : -2.0064 * e9 / t3 + 1.9018 * e6 / t2 + 0.24748 * e3 / t1 + 0.237040;
    return {x, 2.87 * x - 3.0 * x * x - 0.275};
}

}  // namespace chromel

extern "C" {

double QelColor_CalcColTempFromXYZ(double X, double Y, double Z) noexcept {
    return chromel::correlatedColourTemperature(X, Y, Z);
}

void QelColor_XYZ2ColorTemperature(const ColorRecord* xyz, double* kelvin) noexcept {
    if (kelvin == nullptr) return;
    *kelvin = xyz == nullptr
                  ? 0.0
                  : chromel::correlatedColourTemperature(xyz->v[0], xyz->v[1], xyz->v[2]);
}

void QelColor_CalcxyFromColTemp(double kelvin, double* x, double* y) noexcept {
    const chromel::Chromaticity c = chromel::daylightChromaticity(kelvin);
    if (x != nullptr) *x = c.x;
    if (y != nullptr) *y = c.y;
}

void QelColor_ColorTemperature2Chromacity(const double* kelvin, double* x, double* y) noexcept {
    // A missing temperature is out of range: (0, 0).
    const chromel::Chromaticity c =
        chromel::daylightChromaticity(kelvin == nullptr ? 0.0 : *kelvin);
    if (x != nullptr) *x = c.x;
    if (y != nullptr) *y = c.y;
}

}  // extern "C"
