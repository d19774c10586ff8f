// Colour temperature with Duv from the Planckian locus, and colour rendering indices.
#ifndef CHROMEL_RENDERING_H
#define CHROMEL_RENDERING_H

#include <array>
#include <cstddef>

#include "chromel/spectral.h"

namespace chromel {

struct Chromaticity {
    double x;
    double y;
};

// CIE daylight locus, 4000 K to 25000 K; (0, 0) outside that range and for NaN.
Chromaticity daylightChromaticity(double kelvin) noexcept;

struct TemperatureDuv {
    double kelvin;
    double duv;  // distance from the locus in CIE 1960 (u, v), positive above it
};

// Nearest point of the Planckian locus to the chromaticity of XYZ. Accurate from 1000 K to
// 25000 K; the search covers 909 K to 50000 K and ends at the nearer end of that range.
// Requires X + 15 Y + 3 Z > 0 and finite values.
TemperatureDuv planckianTemperature(const Xyz& xyz) noexcept;

inline constexpr std::size_t kRenderingIndices = 14;
struct ColourRendering {
    double ra;                                 // general index: mean of R1 to R8
    std::array<double, kRenderingIndices> ri;  // special indices R1 to R14
};

// Test-colour method on `light`; false (and zeros) for a spectrum with no light or with a
// non-finite sample.
bool colourRendering(const SpectrumView& light, ColourRendering& out) noexcept;

}  // namespace chromel

#endif  // CHROMEL_RENDERING_H
