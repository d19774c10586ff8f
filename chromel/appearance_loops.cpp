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

struct Triple {
    double a, b, c;
};

[[gnu::always_inline]] inline Triple multiply(const Matrix3& m, double x, double y, double z) {
    return {m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z,
            m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z,
            m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z};
}

// Post-adaptation compression of one cone response, and its inverse.
[[gnu::always_inline]] inline double compress(const AppearanceModel& m, double v) {
    const double p = vmath::pow(m.flOver100 * std::fabs(v), 0.42);
    const double r = 400.0 * p / (p + 27.13);
    return pick(v < 0.0, -r, r) + 0.1;
}

[[gnu::always_inline]] inline double expand(const AppearanceModel& m, double v) {
    const double x = v - 0.1;
    double ax = std::fabs(x);
    ax = pick(ax > 399.9, 399.9, ax);
    const double r = m.hundredOverFl * vmath::pow(27.13 * ax / (400.0 - ax), 1.0 / 0.42);
    return pick(x < 0.0, -r, r);
}

[[gnu::always_inline]] inline Triple compressedCones(const AppearanceModel& m, double x, double y,
                                                     double z) {
    const Triple cone = multiply(m.toCone, x, y, z);
    return {compress(m, cone.a), compress(m, cone.b), compress(m, cone.c)};
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

template <AppearanceForm kForm>
[[gnu::always_inline]] inline std::size_t forwardBlocks(std::span<const ColorRecord> in,
                                                        const AppearanceModel& m,
                                                        ColorRecord* out) {
    return forEachBlockUntilInvalid(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            double stop[kBlock];
            double stops = 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                const double x = b.c0[i] * m.sampleScale;
                const double y = b.c1[i] * m.sampleScale;
                const double z = b.c2[i] * m.sampleScale;
                // v - v is 0 for a finite v, NaN otherwise.
                const bool valid =
                    (x >= 0.0) & (z >= 0.0) & (y >= -1.0) & ((x - x) + (y - y) + (z - z) == 0.0);
                const bool dark = y <= 0.0;
                const Triple ca = compressedCones(m, x, y, z);
                const double a = ca.a + (ca.c - 12.0 * ca.b) * (1.0 / 11.0);
                const double bb = (ca.a + ca.b - 2.0 * ca.c) * (1.0 / 9.0);
                const double r = __builtin_sqrt(a * a + bb * bb);
                const double inverseR = 1.0 / r;
                const double cosH = pick(r == 0.0, 1.0, a * inverseR);
                const double sinH = pick(r == 0.0, 0.0, bb * inverseR);
                double h = vmath::hueAngle(a, bb);
                h = pick(h >= vmath::kTwoPi, 0.0, h);
                const double j = 100.0 * vmath::pow(achromatic(m, ca) / m.aw, m.cz);
                double t =
                    safeDiv(m.hueFactor * eccentricity(sinH, cosH) * r, ca.a + ca.b + 1.05 * ca.c);
                t = pick(t < 0.0, 0.0, t);
                const double c = vmath::pow(t, 0.9) * __builtin_sqrt(j * 0.01) * m.chromaFactor;
                b.c0[i] = pick(dark, 0.0, j);
                if constexpr (kForm == AppearanceForm::JCh) {
                    b.c1[i] = pick(dark, 0.0, c);
                    b.c2[i] = pick(dark, 0.0, h);
                } else {
                    b.c1[i] = pick(dark | (c == 0.0), 0.0, c * cosH);
                    b.c2[i] = pick(dark | (c == 0.0), 0.0, c * sinH);
                }
                stop[i] = pick(valid, 0.0, 1.0);
                stops += stop[i];
            }
            return firstFlagged(stop, stops, n);
        });
}

template <AppearanceForm kForm>
[[gnu::always_inline]] inline std::size_t inverseBlocks(std::span<const ColorRecord> in,
                                                        const AppearanceModel& m,
                                                        ColorRecord* out) {
    const double outScale = 1.0 / m.sampleScale;
    return forEachBlockUntilInvalid(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            double stop[kBlock];
            double stops = 0.0;
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
                const bool dark = j <= 0.0;
                const double jr = pick(dark, 1.0, j * 0.01);
                const double t = vmath::pow(c / (__builtin_sqrt(jr) * m.chromaFactor), 1.0 / 0.9);
                const double achroma = m.aw * vmath::pow(jr, 1.0 / m.cz);
                const double p2 = achroma / m.nbb + 0.305;
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
                valid = valid & !(chromatic & (den == 0.0));
                const double ra =
                    0.32786885245901637 * p2 + 0.32145402708481824 * a + 0.2052744119743407 * bb;
                const double ga =
                    0.32786885245901637 * p2 - 0.6350677120456165 * a - 0.18602993585174626 * bb;
                const double ba =
                    0.32786885245901637 * p2 - 0.15680684248039914 * a - 4.490377761938703 * bb;
                const Triple xyz =
                    multiply(m.fromCone, expand(m, ra), expand(m, ga), expand(m, ba));
                b.c0[i] = pick(dark | (xyz.a < 0.0), 0.0, xyz.a * outScale);
                b.c1[i] = pick(dark | (xyz.b < 0.0), 0.0, xyz.b * outScale);
                b.c2[i] = pick(dark | (xyz.c < 0.0), 0.0, xyz.c * outScale);
                stop[i] = pick(valid, 0.0, 1.0);
                stops += stop[i];
            }
            return firstFlagged(stop, stops, n);
        });
}

}  // namespace

double achromaticResponse(const AppearanceModel& model, double x, double y, double z) {
    return achromatic(model, compressedCones(model, x, y, z));
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
