// CIE conversions between XYZ, Lab, LCh, Luv, Yxy and PQR, and chromatic adaptation.
#ifndef CHROMEL_CIE_H
#define CHROMEL_CIE_H

#include <cstdint>
#include <span>

#include "chromel/isa.h"
#include "chromel/vector_math.h"
#include "chromel32.h"

namespace chromel {

// Whether a conversion limits its results to the spaces' usual ranges.
enum class Limit { Clamp, None };

inline constexpr double kMaxLightness = 100.0;
inline constexpr double kMaxChroma = 181.01933598375618;  // 128 * sqrt(2)

// The three parts of the Lab to LCh conversion, shared with the colour differences.
[[gnu::always_inline]] inline double lchLightness(double lightness, Limit limit) {
    if (limit == Limit::None) return lightness;
    return vmath::pick(lightness <= 0.0, 0.0,
                       vmath::pick(lightness >= kMaxLightness, kMaxLightness, lightness));
}

[[gnu::always_inline]] inline double lchChroma(double a, double b, Limit limit) {
    const double c = __builtin_sqrt(a * a + b * b);
    if (limit == Limit::None) return c;
    return vmath::pick(c >= kMaxChroma, kMaxChroma, c);
}

// Hue in radians in [0, 2 pi]; 0 for a colour without chroma.
[[gnu::always_inline]] inline double lchHue(double a, double b, double chroma) {
    const double h = vmath::hueAngle(a, b);
    return vmath::pick(chroma == 0.0, 0.0, vmath::pick(h >= vmath::kTwoPi, vmath::kTwoPi, h));
}

// Lab to LCh of one colour; Limit::None keeps L* and C* as computed.
ColorRecord labToLch(const ColorRecord& lab, Limit limit);

// Array conversions. `out` may be the input array itself; each writes the first three
// components of every output colour. Raw forms take the reference white and black.
void xyzToLab(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out);
void labToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out);
void xyzToLch(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out);
void lchToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out);
void xyzToLuv(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out);
void luvToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out);
void labToLch(std::span<const ColorRecord> in, Limit limit, ColorRecord* out);
void lchToLab(std::span<const ColorRecord> in, ColorRecord* out);
// Lab and LCh with L* and C* never limited (the white and black still map exactly).
void xyzToLabUnlimited(std::span<const ColorRecord> in, const PointRecord& white,
                       const PointRecord& black, ColorRecord* out);
void xyzToLchUnlimited(std::span<const ColorRecord> in, const PointRecord& white,
                       const PointRecord& black, ColorRecord* out);
void lchToLabUnlimited(std::span<const ColorRecord> in, ColorRecord* out);
void xyzToYxy(std::span<const ColorRecord> in, ColorRecord* out);
void yxyToXyz(std::span<const ColorRecord> in, ColorRecord* out);
void xyzToPqr(std::span<const ColorRecord> in, std::int32_t method, ColorRecord* out);
void pqrToXyz(std::span<const ColorRecord> in, std::int32_t method, ColorRecord* out);

// Von Kries adaptation in PQR from the source white and black to the destination's.
struct AdaptationWhites {
    PointRecord sourceWhite;
    PointRecord sourceBlack;
    PointRecord destinationWhite;
    PointRecord destinationBlack;
};
void adaptXyz(std::span<const ColorRecord> in, const AdaptationWhites& whites, std::int32_t method,
              ColorRecord* out);

// The same conversions on the build for `isa`, which the CPU must support; the forms
// above run hostIsa()'s. All builds give the same bits.
void xyzToLab(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa);
void labToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa);
void xyzToLch(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa);
void lchToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa);
void xyzToLuv(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa);
void luvToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa);
void labToLch(std::span<const ColorRecord> in, Limit limit, ColorRecord* out, Isa isa);
void lchToLab(std::span<const ColorRecord> in, ColorRecord* out, Isa isa);
void adaptXyz(std::span<const ColorRecord> in, const AdaptationWhites& whites, std::int32_t method,
              ColorRecord* out, Isa isa);

// ΔE*ab and ΔE*94 (L* and C* limited) as the exports compute them, on the build for `isa`,
// which the CPU must support; the exports run hostIsa()'s. All builds give the same bits.
using DeltaEabFunction = double (*)(const ColorRecord* reference, const ColorRecord* sample);
using DeltaE94Function = double (*)(const ColorRecord* reference, const ColorRecord* sample,
                                    std::int32_t selector);
DeltaEabFunction deltaEabBuild(Isa isa);
DeltaE94Function deltaE94Build(Isa isa);

// QelColor_DefaultDeltaEFunc(&reference, &samples[i]) into out[i], with the same bits.
void defaultDifferences(const ColorRecord& reference, std::span<const ColorRecord> samples,
                        double* out);

}  // namespace chromel

#endif  // CHROMEL_CIE_H
