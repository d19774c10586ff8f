// The per-colour loops of the CIECAM02 model. Like the CIE conversions, they convert blocks
// of colours held one array per component with branch-free code the compiler vectorises,
// built for AVX-512, AVX2 and baseline x86-64. Unlike them, an array ends at its first
// invalid colour: each block records where that lies, and only the colours before it are
// written back.
#include <cmath>

#include "chromel/appearance.h"
#include "chromel/block_loops.h"

namespace chromel {
namespace {

using vmath::pick;
using vmath::safeDiv;

// cos 2 and sin 2: the eccentricity takes cos(h + 2) from the sine and cosine of h.
constexpr double kCos2 = -0.4161468365471424;
constexpr double kSin2 = 0.9092974268256817;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kMinT = 1.1920929e-7;  // below it, t counts as no chroma at all

[[gnu::always_inline]] inline double eccentricity(double sinH, double cosH) {
    return (cosH * kCos2 - sinH * kSin2 + 3.8) * 0.25;
}

// sign(v) |v|^y: the powers of the cone responses keep their signs.
[[gnu::always_inline]] inline double signedPower(double v, double y) {
    const double p = vmath::pow(std::fabs(v), y);
    return pick(v < 0.0, -p, p);
}

// The loops raise whole arrays in passes of their own: a pow inlined beside the rest of
// the model would leave the compiler short of vector registers.
[[gnu::always_inline]] inline void raiseSigned(double* v, std::size_t n, double y) {
    for (std::size_t i = 0; i < n; ++i)
        v[i] = signedPower(v[i], y);
}

// Post-adaptation compression of one cone response, in two steps around its power:
// the scaled response (FL R / 100), then R'a from sign(R') (FL |R'| / 100)^0.42.
[[gnu::always_inline]] inline double compressionBase(const AppearanceModel& m, double v) {
    return m.flOver100 * v;
}

[[gnu::always_inline]] inline double compressPowered(double p) {
    const double ap = std::fabs(p);
    const double r = 400.0 * ap / (ap + 27.13);
    return pick(p < 0.0, -r, r) + 0.1;
}

// The inverse, likewise: the base of the power from R'a, then R' from its power.
[[gnu::always_inline]] inline double expansionBase(double v) {
    const double x = v - 0.1;
    double ax = std::fabs(x);
    ax = pick(ax > 399.9, 399.9, ax);
    const double q = 27.13 * ax / (400.0 - ax);
    return pick(x < 0.0, -q, q);
}

constexpr double kCompression = 0.42;
constexpr double kExpansion = 1.0 / 0.42;

struct Triple {
    double a, b, c;
};

[[gnu::always_inline]] inline Triple multiply(const Matrix3& m, double x, double y, double z) {
    return {m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z,
            m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z,
            m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z};
}

[[gnu::always_inline]] inline double achromatic(const AppearanceModel& m, const Triple& ca) {
    const double a = (2.0 * ca.a + ca.b + 0.05 * ca.c - 0.305) * m.nbb;
    return pick(a < 0.0, 0.0, a);
}

// Like forEachBlock, but `kernel(block, n)` returns how many leading entries of the block
// it converted validly; only those are written back, and the loop ends at a block that
// falls short. Returns the number of colours written.
template <typename Kernel>
[[gnu::always_inline]] inline std::size_t forEachBlockUntilInvalid(std::span<const ColorRecord> in,
                                                                   ColorRecord* out,
                                                                   Kernel&& kernel) {
    Block b;
    for (std::size_t base = 0; base < in.size(); base += kBlock) {
        const std::size_t n = std::min(kBlock, in.size() - base);
        const ColorRecord* src = in.data() + base;
        for (std::size_t i = 0; i < n; ++i) {
            b.c0[i] = src[i].v[0];
            b.c1[i] = src[i].v[1];
            b.c2[i] = src[i].v[2];
        }
        const std::size_t valid = kernel(b, n);
        ColorRecord* dst = out + base;
        for (std::size_t i = 0; i < valid; ++i) {
            dst[i].v[0] = b.c0[i];
            dst[i].v[1] = b.c1[i];
            dst[i].v[2] = b.c2[i];
        }
        if (valid < n) return base + valid;
    }
    return in.size();
}

// Index of the first non-zero flag among n, or n; `flagged` is their sum.
inline std::size_t firstFlagged(const double* flags, double flagged, std::size_t n) {
    if (flagged == 0.0) return n;
    std::size_t i = 0;
    while (i < n && flags[i] == 0.0)
        ++i;
    return i;
}

// Scratch arrays of one block.
struct Scratch {
    double cone[3][kBlock];
    double u[kBlock], v[kBlock];
    double sinH[kBlock], cosH[kBlock];
    double stop[kBlock];
};

template <AppearanceForm kForm>
[[gnu::always_inline]] inline std::size_t forwardBlocks(std::span<const ColorRecord> in,
                                                        const AppearanceModel& m,
                                                        ColorRecord* out) {
    return forEachBlockUntilInvalid(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            Scratch s;
            for (std::size_t i = 0; i < n; ++i) {
                const double x = b.c0[i] * m.sampleScale;
                const double y = b.c1[i] * m.sampleScale;
                const double z = b.c2[i] * m.sampleScale;
                // v - v is 0 for a finite v, NaN otherwise.
                const bool valid =
                    (x >= 0.0) & (z >= 0.0) & (y >= -1.0) & ((x - x) + (y - y) + (z - z) == 0.0);
                s.stop[i] = pick(valid, 0.0, 1.0);
                const Triple cone = multiply(m.toCone, x, y, z);
                s.cone[0][i] = compressionBase(m, cone.a);
                s.cone[1][i] = compressionBase(m, cone.b);
                s.cone[2][i] = compressionBase(m, cone.c);
            }
            for (double* channel : s.cone)
                raiseSigned(channel, n, kCompression);
            double stops = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                const Triple ca{compressPowered(s.cone[0][i]), compressPowered(s.cone[1][i]),
                                compressPowered(s.cone[2][i])};
                const double a = ca.a + (ca.c - 12.0 * ca.b) * (1.0 / 11.0);
                const double bb = (ca.a + ca.b - 2.0 * ca.c) * (1.0 / 9.0);
                const double r = __builtin_sqrt(a * a + bb * bb);
                const double inverseR = 1.0 / r;
                const double cosH = pick(r == 0.0, 1.0, a * inverseR);
                const double sinH = pick(r == 0.0, 0.0, bb * inverseR);
                double t =
                    safeDiv(m.hueFactor * eccentricity(sinH, cosH) * r, ca.a + ca.b + 1.05 * ca.c);
                t = pick(t < 0.0, 0.0, t);
                // A dark sample raises zeros: J = C = 0.
                const bool dark = b.c1[i] * m.sampleScale <= 0.0;
                s.u[i] = pick(dark, 0.0, achromatic(m, ca) / m.aw);
                s.v[i] = pick(dark, 0.0, t);
                // JCh keeps a and b for the hue (0 for a dark sample), Jab the direction.
                if constexpr (kForm == AppearanceForm::JCh) {
                    s.cosH[i] = pick(dark, 0.0, a);
                    s.sinH[i] = pick(dark, 0.0, bb);
                } else {
                    s.cosH[i] = cosH;
                    s.sinH[i] = sinH;
                }
                stops += s.stop[i];
            }
            raiseSigned(s.u, n, m.cz);
            raiseSigned(s.v, n, 0.9);
            for (std::size_t i = 0; i < n; ++i) {
                const double j = 100.0 * s.u[i];
                const double c = s.v[i] * __builtin_sqrt(j * 0.01) * m.chromaFactor;
                b.c0[i] = j;
                if constexpr (kForm == AppearanceForm::JCh) {
                    const double h = vmath::hueAngle(s.cosH[i], s.sinH[i]);
                    b.c1[i] = c;
                    b.c2[i] = pick(h >= vmath::kTwoPi, 0.0, h);
                } else {
                    b.c1[i] = pick(c == 0.0, 0.0, c * s.cosH[i]);
                    b.c2[i] = pick(c == 0.0, 0.0, c * s.sinH[i]);
                }
            }
            return firstFlagged(s.stop, stops, n);
        });
}

template <AppearanceForm kForm>
[[gnu::always_inline]] inline std::size_t inverseBlocks(std::span<const ColorRecord> in,
                                                        const AppearanceModel& m,
                                                        ColorRecord* out) {
    const double outScale = 1.0 / m.sampleScale;
    return forEachBlockUntilInvalid(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            Scratch s;
            for (std::size_t i = 0; i < n; ++i) {
                const double j = b.c0[i];
                double c, sinH, cosH;
                bool valid = (j >= -1.0) & (j - j == 0.0);
                if constexpr (kForm == AppearanceForm::JCh) {
                    c = b.c1[i];
                    const double h = b.c2[i];
                    const double degrees = h * kDegreesPerRadian;
                    valid =
                        valid & (c >= 0.0) & (c - c == 0.0) & (degrees >= 0.0) & (degrees <= 360.0);
                    vmath::sinCos(h, sinH, cosH);
                } else {
                    const double a = b.c1[i], bb = b.c2[i];
                    c = __builtin_sqrt(a * a + bb * bb);
                    valid = valid & (c - c == 0.0);
                    cosH = pick(c == 0.0, 1.0, a / c);
                    sinH = pick(c == 0.0, 0.0, bb / c);
                }
                s.stop[i] = pick(valid, 0.0, 1.0);
                s.sinH[i] = sinH;
                s.cosH[i] = cosH;
                // J <= 0 is black whatever the rest; it takes J = 100 meanwhile.
                const double jr = pick(j <= 0.0, 1.0, j * 0.01);
                s.u[i] = jr;
                s.v[i] = c / (__builtin_sqrt(jr) * m.chromaFactor);
            }
            raiseSigned(s.u, n, 1.0 / m.cz);
            raiseSigned(s.v, n, 1.0 / 0.9);
            double stops = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                const double sinH = s.sinH[i], cosH = s.cosH[i];
                const double t = s.v[i];
                const double p2 = m.aw * s.u[i] / m.nbb + 0.305;
                const double p1 = m.hueFactor * eccentricity(sinH, cosH) / t;
                // Divided by sin h where |sin h| >= |cos h|, by cos h elsewhere.
                const bool steep = std::fabs(sinH) >= std::fabs(cosH);
                const double major = pick(steep, sinH, cosH), minor = pick(steep, cosH, sinH);
                const double ratio = minor / major;
                const double den =
                    p1 / major +
                    pick(steep,
                         0.47826086956521735 * ratio - 0.01924447612259444 + 4.714896650035638,
                         0.47826086956521735 + 4.695652173913043 * ratio);
                const double q = p2 / den;
                const bool chromatic = t > kMinT;
                const double a = pick(chromatic, pick(steep, q * ratio, q), 0.0);
                const double bb = pick(chromatic, pick(steep, q, q * ratio), 0.0);
                s.stop[i] = pick(chromatic & (den == 0.0), 1.0, s.stop[i]);
                stops += s.stop[i];
                s.cone[0][i] = expansionBase(0.32786885245901637 * p2 + 0.32145402708481824 * a +
                                             0.2052744119743407 * bb);
                s.cone[1][i] = expansionBase(0.32786885245901637 * p2 - 0.6350677120456165 * a -
                                             0.18602993585174626 * bb);
                s.cone[2][i] = expansionBase(0.32786885245901637 * p2 - 0.15680684248039914 * a -
                                             4.490377761938703 * bb);
            }
            for (double* channel : s.cone)
                raiseSigned(channel, n, kExpansion);
            for (std::size_t i = 0; i < n; ++i) {
                const bool dark = b.c0[i] <= 0.0;
                const Triple xyz =
                    multiply(m.fromCone, m.hundredOverFl * s.cone[0][i],
                             m.hundredOverFl * s.cone[1][i], m.hundredOverFl * s.cone[2][i]);
                b.c0[i] = pick(dark | (xyz.a < 0.0), 0.0, xyz.a * outScale);
                b.c1[i] = pick(dark | (xyz.b < 0.0), 0.0, xyz.b * outScale);
                b.c2[i] = pick(dark | (xyz.c < 0.0), 0.0, xyz.c * outScale);
            }
            return firstFlagged(s.stop, stops, n);
        });
}

}  // namespace

double achromaticResponse(const AppearanceModel& model, double x, double y, double z) {
    const Triple cone = multiply(model.toCone, x, y, z);
    const auto compress = [&](double v) {
        return compressPowered(signedPower(compressionBase(model, v), kCompression));
    };
    return achromatic(model, {compress(cone.a), compress(cone.b), compress(cone.c)});
}

[[gnu::target_clones("avx512f", "avx2", "default")]] std::size_t xyzToAppearance(
    std::span<const ColorRecord> in, const AppearanceModel& model, AppearanceForm form,
    ColorRecord* out) {
    if (form == AppearanceForm::Jab) return forwardBlocks<AppearanceForm::Jab>(in, model, out);
    return forwardBlocks<AppearanceForm::JCh>(in, model, out);
}

[[gnu::target_clones("avx512f", "avx2", "default")]] std::size_t appearanceToXyz(
    std::span<const ColorRecord> in, const AppearanceModel& model, AppearanceForm form,
    ColorRecord* out) {
    if (form == AppearanceForm::Jab) return inverseBlocks<AppearanceForm::Jab>(in, model, out);
    return inverseBlocks<AppearanceForm::JCh>(in, model, out);
}

[[gnu::target_clones("avx512f", "avx2", "default")]] void jchToJab(std::span<const ColorRecord> in,
                                                                   ColorRecord* out) {
    forEachBlock(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            double a[kBlock], bb[kBlock];
            polarToCartesian(b.c1, b.c2, a, bb, n);
            for (std::size_t i = 0; i < n; ++i) {
                b.c1[i] = a[i];
                b.c2[i] = bb[i];
            }
        });
}

}  // namespace chromel
