// The array conversions of the RGB spaces and device colours on a named instruction-set
// build, which the CPU must support; the exports run hostIsa()'s. All builds give the
// same bits. `out` may be the input array itself.
#ifndef CHROMEL_RGB_CMYK_H
#define CHROMEL_RGB_CMYK_H

#include <span>

#include "chromel/isa.h"
#include "chromel32.h"

namespace chromel {

enum class RgbSpaceId { Srgb, AdobeRgb, WideGamutRgb };

// The separation's primary, black, secondary and total-ink factors.
struct Separation {
    double p, k, s, t;
};

// XYZ (Y = 1) to 0-255 RGB with the fourth double set to 0, and back (fourth kept).
void xyzToRgb(RgbSpaceId space, double gamma, std::span<const ColorRecord> in, ColorRecord* out,
              Isa isa);
void rgbToXyz(RgbSpaceId space, double gamma, std::span<const ColorRecord> in, ColorRecord* out,
              Isa isa);
// 255 ((255 - c) / 255)^gamma per channel; the fourth double is kept.
void rgbToCmy(const double (&gamma)[3], std::span<const ColorRecord> in, ColorRecord* out, Isa isa);
void cmyToCmyk(const Separation& separation, std::span<const ColorRecord> in, ColorRecord* out,
               Isa isa);
void rgbToCmyk(const double (&gamma)[3], const Separation& separation,
               std::span<const ColorRecord> in, ColorRecord* out, Isa isa);
void cmykGamma(const double (&gamma)[4], std::span<const ColorRecord> in, ColorRecord* out,
               Isa isa);

}  // namespace chromel

#endif  // CHROMEL_RGB_CMYK_H
