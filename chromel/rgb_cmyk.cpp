// RGB spaces and device colours: XYZ to and from sRGB, AdobeRGB and WideGamutRGB, the
// RGB to XYZ matrix of any primaries, RGB and CMY complements, the CMY to CMYK separation
// through a tetrahedral cube, CMYK to CMY folding and per-channel CMYK gamma.
//
// The array conversions run block by block over branch-free loops (see block_loops.h),
// built for AVX-512, AVX2 and baseline x86-64 and chosen per call; powers come from
// vmath::powCurve.
#include "chromel/rgb_cmyk.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "chromel/block_loops.h"
#include "chromel/grid_interp.h"
#include "chromel/isa_dispatch.h"

namespace chromel {
namespace {

using vmath::pick;
using Matrix = std::array<double, 9>;  // row by row

constexpr double kEncodeBreak = 0.0031308;
constexpr double kDefaultGamma = 2.2;

constexpr double determinant(const Matrix& m) {
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

// Inverse by cofactors over the given determinant.
constexpr Matrix inverseWith(const Matrix& m, double det) {
    return {(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det,
            (m[1] * m[5] - m[2] * m[4]) / det, (m[5] * m[6] - m[3] * m[8]) / det,
            (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
            (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det,
            (m[0] * m[4] - m[1] * m[3]) / det};
}

// A singular matrix is nudged one element at a time, in row order, by a factor 1.000001
// until its determinant is non-zero; failing that it is inverted with a determinant of
// 1e-6. The result is always finite for finite input.
Matrix guardedInverse(const Matrix& m) {
    const double det = determinant(m);
    if (det != 0.0) return inverseWith(m, det);
    for (std::size_t e = 0; e < m.size(); ++e) {
        Matrix nudged = m;
        nudged[e] *= 1.000001;
        const double d = determinant(nudged);
        if (d != 0.0) return inverseWith(nudged, d);
    }
    return inverseWith(m, 1e-6);
}

constexpr Matrix product(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[3 * i + j] = a[3 * i] * b[j] + a[3 * i + 1] * b[3 + j] + a[3 * i + 2] * b[6 + j];
    return r;
}

constexpr std::array<double, 3> apply(const Matrix& m, double x, double y, double z) {
    return {m[0] * x + m[1] * y + m[2] * z, m[3] * x + m[4] * y + m[5] * z,
            m[6] * x + m[7] * y + m[8] * z};
}

struct RgbSpace {
    Matrix toRgb;  // XYZ to linear RGB
    Matrix toXyz;  // linear RGB to XYZ
};

constexpr Matrix kSrgbToRgb{3.2406, -1.5372, -0.4986, -0.9689, 1.8758,
                            0.0415, 0.0557,  -0.2040, 1.0570};
constexpr Matrix kAdobeToRgb{2.0416, -0.565, -0.3447, -0.9692, 1.876,
                             0.0416, 0.0134, -0.1184, 1.0152};
constexpr Matrix kWideToRgb{1.4623, -0.1845, -0.2734, -0.5529, 1.448,
                            0.0681, 0.0346,  -0.0958, 1.2877};

// sRGB keeps its own published inverse; the others invert their XYZ to RGB matrix.
constexpr RgbSpace kSrgb{kSrgbToRgb,
                         {0.4124, 0.3576, 0.1805, 0.2126, 0.7152, 0.0722, 0.0193, 0.1192, 0.9505}};
constexpr RgbSpace kAdobeRgb{kAdobeToRgb, inverseWith(kAdobeToRgb, determinant(kAdobeToRgb))};
constexpr RgbSpace kWideGamutRgb{kWideToRgb, inverseWith(kWideToRgb, determinant(kWideToRgb))};

// A curve's input as kept in the block row, and the base of its power.
struct CurveInput {
    double kept;
    double base;
};

// A power curve over a block row: prepare(v) gives each entry's kept value and base (1
// where the power is discarded), finish(kept, power) its result. When the exponent and
// every base allow, the loop takes powCurveInRange, which gives powCurve's bits without its
// special cases.
template <typename Prepare, typename Finish>
[[gnu::always_inline]] inline void curveRow(double* row, double y, std::size_t n, Prepare prepare,
                                            Finish finish) {
    // On the bit patterns, every base outside the range (negative and NaN ones too) lies
    // above the top of the span from the bottom; an integer OR reduction vectorises, where
    // a sum of doubles would stay in order, one lane at a time.
    constexpr std::uint64_t kBottom = std::bit_cast<std::uint64_t>(vmath::kCurveBaseMin);
    constexpr std::uint64_t kSpan = std::bit_cast<std::uint64_t>(vmath::kCurveBaseMax) - kBottom;
    double base[kBlock];
    std::uint64_t outside = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const CurveInput input = prepare(row[i]);
        row[i] = input.kept;
        base[i] = input.base;
        outside |=
            static_cast<std::uint64_t>(std::bit_cast<std::uint64_t>(input.base) - kBottom > kSpan);
    }
    if (outside == 0 && std::fabs(y) <= vmath::kCurveExponentMax) {
        for (std::size_t i = 0; i < n; ++i)
            row[i] = finish(row[i], vmath::powCurveInRange(base[i], y));
    } else {
        for (std::size_t i = 0; i < n; ++i)
            row[i] = finish(row[i], vmath::powCurve(base[i], y));
    }
}

// Linear [0, 1] to encoded 0-255 over a block row; the limits map exactly onto 0 and 255.
[[gnu::always_inline]] inline void encodeRow(double* row, double invGamma, std::size_t n) {
    curveRow(
        row, invGamma, n, [](double v) __attribute__((always_inline)) {
            const double limited = std::min(std::max(v, 0.0), 1.0);
            return CurveInput{limited, pick(limited > kEncodeBreak, limited, 1.0)};
        },
        [](double limited, double p) __attribute__((always_inline)) {
            // 1.055 p - 0.055, written so that p = 1 gives exactly 1.
            const double curve = p + 0.055 * (p - 1.0);
            return 255.0 * pick(limited > kEncodeBreak, curve, 12.92 * limited);
        });
}

// Encoded 0-255 to linear over a block row; values outside 0-255 go through unlimited.
// Worked on the 0-255 scale, without a division: the break is the largest value whose
// ratio to 255 rounds to at most 0.04045, so each value takes the same branch as its ratio.
[[gnu::always_inline]] inline void decodeRow(double* row, double gamma, std::size_t n) {
    constexpr double kBreak = 10.31475;
    constexpr double kOffset = 14.025;             // 0.055 * 255
    constexpr double kCurveScale = 1.0 / 269.025;  // 1 / (1.055 * 255)
    constexpr double kLinearScale = 1.0 / 3294.6;  // 1 / (12.92 * 255)
    curveRow(
        row, gamma, n, [](double encoded) __attribute__((always_inline)) {
            return CurveInput{encoded,
                              pick(encoded > kBreak, (encoded + kOffset) * kCurveScale, 1.0)};
        },
        [](double encoded, double p) __attribute__((always_inline)) {
            return pick(encoded > kBreak, p, encoded * kLinearScale);
        });
}

// 255 (c / 255)^gamma of complements or ink amounts c over a block row; a negative c
// counts as 0, and 0 and 255 map onto themselves. Complement = true takes c = 255 - v.
template <bool Complement>
[[gnu::always_inline]] inline void gammaRow(double* row, double gamma, std::size_t n) {
    curveRow(
        row, gamma, n, [](double v) __attribute__((always_inline)) {
            const double c = Complement ? 255.0 - v : v;
            const double limited = pick(c < 0.0, 0.0, c);
            return CurveInput{limited, pick(limited == 0.0, 1.0, limited / 255.0)};
        },
        [](double limited, double p) __attribute__((always_inline)) {
            return pick(limited == 0.0, 0.0, pick(limited == 255.0, 255.0, 255.0 * p));
        });
}

[[gnu::always_inline]] inline double clamp255(double v) {
    return pick(v < 0.0, 0.0, pick(v > 255.0, 255.0, v));
}

// One array conversion: the matrix serves the RGB spaces, the gammas (one per channel;
// the RGB curves use the first) the curves, the cube the separation.
struct Job {
    std::span<const ColorRecord> in;
    ColorRecord* out;
    Matrix matrix{};
    double gamma[4]{};
    const Cube* cube = nullptr;
};

[[gnu::always_inline]] inline void xyzToRgbBlocks(const Job& job) {
    const Matrix m = job.matrix;
    const double invGamma = 1.0 / job.gamma[0];
    forEachBlock4(
        job.in, job.out, [&](Block4 & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const auto rgb = apply(m, b.c[0][i], b.c[1][i], b.c[2][i]);
                b.c[0][i] = rgb[0], b.c[1][i] = rgb[1], b.c[2][i] = rgb[2];
                b.c[3][i] = 0.0;
            }
            // One channel per loop: a single power keeps to the registers.
            for (auto* row : {b.c[0], b.c[1], b.c[2]})
                encodeRow(row, invGamma, n);
        });
}

[[gnu::always_inline]] inline void rgbToXyzBlocks(const Job& job) {
    const Matrix m = job.matrix;
    const double gamma = job.gamma[0];
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (auto* row : {b.c0, b.c1, b.c2})
                decodeRow(row, gamma, n);
            for (std::size_t i = 0; i < n; ++i) {
                const auto xyz = apply(m, b.c0[i], b.c1[i], b.c2[i]);
                b.c0[i] = xyz[0], b.c1[i] = xyz[1], b.c2[i] = xyz[2];
            }
        });
}

[[gnu::always_inline]] inline void complementBlock(const double* g, double* c0, double* c1,
                                                   double* c2, std::size_t n) {
    gammaRow<true>(c0, g[0], n);
    gammaRow<true>(c1, g[1], n);
    gammaRow<true>(c2, g[2], n);
}

[[gnu::always_inline]] inline void complementBlocks(const Job& job) {
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            complementBlock(job.gamma, b.c0, b.c1, b.c2, n);
        });
}

// The separation cube: ink amounts at the corners of the CMY cube (edges 0 and 255).
Cube separationCube(double p, double k, double s, double t) {
    const double pr = 255.0 * p, sec = 255.0 * s / 2.0, black = 255.0 * k,
                 total = 255.0 * (t - k) / 3.0;
    const double values[8][4] = {
        {0, 0, 0, 0},  {0, 0, pr, 0},    {0, pr, 0, 0},    {0, sec, sec, 0},
        {pr, 0, 0, 0}, {sec, 0, sec, 0}, {sec, sec, 0, 0}, {total, total, total, black},
    };
    GridNode nodes[8]{};
    for (int i = 0; i < 8; ++i) {
        nodes[i].position = {
            {(i & 4) ? 255.0 : 0.0, (i & 2) ? 255.0 : 0.0, (i & 1) ? 255.0 : 0.0, 0.0}};
        for (int c = 0; c < 4; ++c)
            nodes[i].value.v[c] = values[i][c];
    }
    return cubeOf(nodes);
}

// CMY in the block's first three rows to limited CMYK in all four.
[[gnu::always_inline]] inline void separateBlock(const Cube& cube, Block4& b, std::size_t n) {
    double* const rows[4] = {b.c[0], b.c[1], b.c[2], b.c[3]};
    grid::tetrahedralBlock<4>(cube, b.c[0], b.c[1], b.c[2], rows, n);
    for (auto& row : b.c)
        for (std::size_t i = 0; i < n; ++i)
            row[i] = clamp255(row[i]);
}

[[gnu::always_inline]] inline void separateBlocks(const Job& job) {
    forEachBlock4(
        job.in, job.out, [&](Block4 & b, std::size_t n) __attribute__((always_inline)) {
            separateBlock(*job.cube, b, n);
        });
}

[[gnu::always_inline]] inline void rgbToCmykBlocks(const Job& job) {
    forEachBlock4(
        job.in, job.out, [&](Block4 & b, std::size_t n) __attribute__((always_inline)) {
            complementBlock(job.gamma, b.c[0], b.c[1], b.c[2], n);
            separateBlock(*job.cube, b, n);
        });
}

// The ink total with K spread over C, M and Y in their own proportions; a total equal
// to the limit becomes 765. With a zero limit the factor is infinite: channels with ink
// give 255 and channels without give 0. The fourth double of the output is not written.
void cmykToCmy(double ratio, std::span<const ColorRecord> in, ColorRecord* out) {
    const double limit = 255.0 * ratio;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double c = in[i].v[0], m = in[i].v[1], y = in[i].v[2];
        const double s3 = c + m + y, s4 = s3 + in[i].v[3];
        const double e = pick(s4 == limit, 765.0, pick(s4 != 0.0, 765.0 * s4 / limit, 0.0));
        const bool none = s3 == 0.0;
        const double d = pick(none, 1.0, s3);
        out[i].v[0] = pick(none | (c == 0.0), 0.0, clamp255(e * c / d));
        out[i].v[1] = pick(none | (m == 0.0), 0.0, clamp255(e * m / d));
        out[i].v[2] = pick(none | (y == 0.0), 0.0, clamp255(e * y / d));
    }
}

[[gnu::always_inline]] inline void cmykGammaBlocks(const Job& job) {
    forEachBlock4(
        job.in, job.out, [&](Block4 & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t k = 0; k < 4; ++k)
                gammaRow<false>(b.c[k], job.gamma[k], n);
        });
}

template <void (*kLoop)(const Job&)>
void run(Isa isa, const Job& job) {
    isa::run<Job, kLoop>(isa, job);
}

const RgbSpace& spaceOf(RgbSpaceId id) {
    switch (id) {
        case RgbSpaceId::AdobeRgb:
            return kAdobeRgb;
        case RgbSpaceId::WideGamutRgb:
            return kWideGamutRgb;
        case RgbSpaceId::Srgb:
            break;
    }
    return kSrgb;
}

// x, y of a colour; a zero sum gives (0, 0).
std::array<double, 3> chromaticityColumn(const PointRecord& p) {
    const double sum = p.X + p.Y + p.Z;
    const double x = sum == 0.0 ? 0.0 : p.X / sum;
    const double y = sum == 0.0 ? 0.0 : p.Y / sum;
    return {x, y, 1.0 - x - y};
}

// Cone matrices of the adaptation types; other types adapt nothing.
const Matrix* coneMatrix(int32_t type) {
    static constexpr Matrix kType2{0.0708, 0.9447, -0.0155, -0.4612, 1.3618, 0.1013, 0, 0, 1};
    static constexpr Matrix kType3{0.38971, 0.68898, -0.07868, -0.22981, 1.1834, 0.04641, 0, 0, 1};
    static constexpr Matrix kType4{0.8951, 0.2664, -0.1614, -0.7502, 1.7135,
                                   0.0367, 0.0389, -0.0685, 1.0296};
    switch (type) {
        case 2:
            return &kType2;
        case 3:
            return &kType3;
        case 4:
            return &kType4;
        default:
            return nullptr;
    }
}

Matrix rgbToXyzMatrix(const PointRecord& red, const PointRecord& green, const PointRecord& blue,
                      const PointRecord& white, const PointRecord& destination, int32_t type) {
    const auto r = chromaticityColumn(red), g = chromaticityColumn(green),
               b = chromaticityColumn(blue);
    const Matrix primaries{r[0], g[0], b[0], r[1], g[1], b[1], r[2], g[2], b[2]};
    const auto scale = apply(guardedInverse(primaries), white.X, white.Y, white.Z);
    Matrix toXyz = primaries;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            toXyz[3 * i + j] *= scale[j];
    const Matrix* cone = coneMatrix(type);
    if (cone == nullptr) return toXyz;
    const auto src = apply(*cone, 100.0 * white.X, 100.0 * white.Y, 100.0 * white.Z);
    const auto dst = apply(*cone, destination.X, destination.Y, destination.Z);
    Matrix ratios{};
    for (int i = 0; i < 3; ++i)
        ratios[4 * i] = src[i] == 0.0 ? 1.0 : dst[i] / src[i];
    return product(product(guardedInverse(*cone), product(ratios, *cone)), toXyz);
}

bool usable(const ColorRecord* in, uint32_t count, const ColorRecord* out) {
    return count != 0 && in != nullptr && out != nullptr;
}

int32_t toRgb(RgbSpaceId space, const ColorRecord* xyz, double gamma, uint32_t count,
              ColorRecord* rgb) {
    if (usable(xyz, count, rgb)) xyzToRgb(space, gamma, {xyz, count}, rgb, hostIsa());
    return 0;
}

void fromRgb(RgbSpaceId space, const ColorRecord* rgb, double gamma, uint32_t count,
             ColorRecord* xyz) {
    if (usable(rgb, count, xyz)) rgbToXyz(space, gamma, {rgb, count}, xyz, hostIsa());
}

}  // namespace

void xyzToRgb(RgbSpaceId space, double gamma, std::span<const ColorRecord> in, ColorRecord* out,
              Isa isa) {
    run<xyzToRgbBlocks>(isa, {in, out, spaceOf(space).toRgb, {gamma}});
}

void rgbToXyz(RgbSpaceId space, double gamma, std::span<const ColorRecord> in, ColorRecord* out,
              Isa isa) {
    run<rgbToXyzBlocks>(isa, {in, out, spaceOf(space).toXyz, {gamma}});
}

void rgbToCmy(const double (&gamma)[3], std::span<const ColorRecord> in, ColorRecord* out,
              Isa isa) {
    run<complementBlocks>(isa, {in, out, {}, {gamma[0], gamma[1], gamma[2]}});
}

void cmyToCmyk(const Separation& s, std::span<const ColorRecord> in, ColorRecord* out, Isa isa) {
    const Cube cube = separationCube(s.p, s.k, s.s, s.t);
    run<separateBlocks>(isa, {in, out, {}, {}, &cube});
}

void rgbToCmyk(const double (&gamma)[3], const Separation& s, std::span<const ColorRecord> in,
               ColorRecord* out, Isa isa) {
    const Cube cube = separationCube(s.p, s.k, s.s, s.t);
    run<rgbToCmykBlocks>(isa, {in, out, {}, {gamma[0], gamma[1], gamma[2]}, &cube});
}

void cmykGamma(const double (&gamma)[4], std::span<const ColorRecord> in, ColorRecord* out,
               Isa isa) {
    run<cmykGammaBlocks>(isa, {in, out, {}, {gamma[0], gamma[1], gamma[2], gamma[3]}});
}

}  // namespace chromel

// Nothing here allocates or throws, so these run without the exception guard.
extern "C" {

using chromel::RgbSpaceId;

// Fixed RGB spaces ----------------------------------------------------------------------

int32_t QelColor_XYZs2sRGBs2(const ColorRecord* xyz, double gamma, uint32_t count,
                             ColorRecord* rgb) noexcept {
    return chromel::toRgb(RgbSpaceId::Srgb, xyz, gamma, count, rgb);
}

int32_t QelColor_XYZs2AdobeRGBs2(const ColorRecord* xyz, double gamma, uint32_t count,
                                 ColorRecord* rgb) noexcept {
    return chromel::toRgb(RgbSpaceId::AdobeRgb, xyz, gamma, count, rgb);
}

int32_t QelColor_XYZs2WideGamutRGBs2(const ColorRecord* xyz, double gamma, uint32_t count,
                                     ColorRecord* rgb) noexcept {
    return chromel::toRgb(RgbSpaceId::WideGamutRgb, xyz, gamma, count, rgb);
}

int32_t QelColor_XYZs2sRGBs(const ColorRecord* xyz, uint32_t count, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2sRGBs2(xyz, chromel::kDefaultGamma, count, rgb);
}

int32_t QelColor_XYZs2AdobeRGBs(const ColorRecord* xyz, uint32_t count, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2AdobeRGBs2(xyz, chromel::kDefaultGamma, count, rgb);
}

int32_t QelColor_XYZs2WideGamutRGBs(const ColorRecord* xyz, uint32_t count,
                                    ColorRecord* rgb) noexcept {
    return QelColor_XYZs2WideGamutRGBs2(xyz, chromel::kDefaultGamma, count, rgb);
}

void QelColor_sRGBs2XYZs2(const ColorRecord* rgb, double gamma, uint32_t count,
                          ColorRecord* xyz) noexcept {
    chromel::fromRgb(RgbSpaceId::Srgb, rgb, gamma, count, xyz);
}

void QelColor_AdobeRGBs2XYZs2(const ColorRecord* rgb, double gamma, uint32_t count,
                              ColorRecord* xyz) noexcept {
    chromel::fromRgb(RgbSpaceId::AdobeRgb, rgb, gamma, count, xyz);
}

void QelColor_WideGamutRGBs2XYZs2(const ColorRecord* rgb, double gamma, uint32_t count,
                                  ColorRecord* xyz) noexcept {
    chromel::fromRgb(RgbSpaceId::WideGamutRgb, rgb, gamma, count, xyz);
}

void QelColor_sRGBs2XYZs(const ColorRecord* rgb, uint32_t count, ColorRecord* xyz) noexcept {
    QelColor_sRGBs2XYZs2(rgb, chromel::kDefaultGamma, count, xyz);
}

void QelColor_AdobeRGBs2XYZs(const ColorRecord* rgb, uint32_t count, ColorRecord* xyz) noexcept {
    QelColor_AdobeRGBs2XYZs2(rgb, chromel::kDefaultGamma, count, xyz);
}

void QelColor_WideGamutRGBs2XYZs(const ColorRecord* rgb, uint32_t count,
                                 ColorRecord* xyz) noexcept {
    QelColor_WideGamutRGBs2XYZs2(rgb, chromel::kDefaultGamma, count, xyz);
}

int32_t QelColor_XYZ2sRGB(const ColorRecord* xyz, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2sRGBs(xyz, 1, rgb);
}

int32_t QelColor_XYZ2AdobeRGB(const ColorRecord* xyz, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2AdobeRGBs(xyz, 1, rgb);
}

int32_t QelColor_XYZ2WideGamutRGB(const ColorRecord* xyz, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2WideGamutRGBs(xyz, 1, rgb);
}

void QelColor_sRGB2XYZ(const ColorRecord* rgb, ColorRecord* xyz) noexcept {
    QelColor_sRGBs2XYZs(rgb, 1, xyz);
}

void QelColor_AdobeRGB2XYZ(const ColorRecord* rgb, ColorRecord* xyz) noexcept {
    QelColor_AdobeRGBs2XYZs(rgb, 1, xyz);
}

void QelColor_WideGamutRGB2XYZ(const ColorRecord* rgb, ColorRecord* xyz) noexcept {
    QelColor_WideGamutRGBs2XYZs(rgb, 1, xyz);
}

int32_t QelColor_XYZ2sRGB2(const ColorRecord* xyz, double gamma, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2sRGBs2(xyz, gamma, 1, rgb);
}

int32_t QelColor_XYZ2AdobeRGB2(const ColorRecord* xyz, double gamma, ColorRecord* rgb) noexcept {
    return QelColor_XYZs2AdobeRGBs2(xyz, gamma, 1, rgb);
}

int32_t QelColor_XYZ2WideGamutRGB2(const ColorRecord* xyz, double gamma,
                                   ColorRecord* rgb) noexcept {
    return QelColor_XYZs2WideGamutRGBs2(xyz, gamma, 1, rgb);
}

void QelColor_sRGB2XYZ2(const ColorRecord* rgb, double gamma, ColorRecord* xyz) noexcept {
    QelColor_sRGBs2XYZs2(rgb, gamma, 1, xyz);
}

void QelColor_AdobeRGB2XYZ2(const ColorRecord* rgb, double gamma, ColorRecord* xyz) noexcept {
    QelColor_AdobeRGBs2XYZs2(rgb, gamma, 1, xyz);
}

void QelColor_WideGamutRGB2XYZ2(const ColorRecord* rgb, double gamma, ColorRecord* xyz) noexcept {
    QelColor_WideGamutRGBs2XYZs2(rgb, gamma, 1, xyz);
}

// Device colours ------------------------------------------------------------------------

int32_t QelColor_RGBs2CMYs(const ColorRecord* in, double gamma0, double gamma1, double gamma2,
                           uint32_t count, ColorRecord* out) noexcept {
    if (chromel::usable(in, count, out))
        chromel::rgbToCmy({gamma0, gamma1, gamma2}, {in, count}, out, chromel::hostIsa());
    return 0;
}

// CMY to RGB is the same complement with the channels' own gammas.
int32_t QelColor_CMYs2RGBs(const ColorRecord* in, double gamma0, double gamma1, double gamma2,
                           uint32_t count, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_RGBs2CMYs")));

int32_t QelColor_RGB2CMY(const ColorRecord* in, double gamma0, double gamma1, double gamma2,
                         ColorRecord* out) noexcept {
    return QelColor_RGBs2CMYs(in, gamma0, gamma1, gamma2, 1, out);
}

int32_t QelColor_CMY2RGB(const ColorRecord* in, double gamma0, double gamma1, double gamma2,
                         ColorRecord* out) noexcept __attribute__((alias("QelColor_RGB2CMY")));

int32_t QelColor_CMYs2CMYKs(const ColorRecord* cmy, double p, double k, double s, double t,
                            uint32_t count, ColorRecord* cmyk) noexcept {
    if (!chromel::usable(cmy, count, cmyk)) return -1;
    chromel::cmyToCmyk({p, k, s, t}, {cmy, count}, cmyk, chromel::hostIsa());
    return 0;
}

int32_t QelColor_CMY2CMYK(const ColorRecord* cmy, double p, double k, double s, double t,
                          ColorRecord* cmyk) noexcept {
    return QelColor_CMYs2CMYKs(cmy, p, k, s, t, 1, cmyk);
}

int32_t QelColor_RGBs2CMYKs(const ColorRecord* rgb, double gammaC, double gammaM, double gammaY,
                            double p, double k, double s, double t, uint32_t count,
                            ColorRecord* cmyk) noexcept {
    if (!chromel::usable(rgb, count, cmyk)) return -1;
    chromel::rgbToCmyk({gammaC, gammaM, gammaY}, {p, k, s, t}, {rgb, count}, cmyk,
                       chromel::hostIsa());
    return 0;
}

int32_t QelColor_RGB2CMYK(const ColorRecord* rgb, double gammaC, double gammaM, double gammaY,
                          double p, double k, double s, double t, ColorRecord* cmyk) noexcept {
    return QelColor_RGBs2CMYKs(rgb, gammaC, gammaM, gammaY, p, k, s, t, 1, cmyk);
}

void QelColor_CMYKs2CMYs(const ColorRecord* cmyk, double ratio, uint32_t count,
                         ColorRecord* cmy) noexcept {
    if (chromel::usable(cmyk, count, cmy)) chromel::cmykToCmy(ratio, {cmyk, count}, cmy);
}

void QelColor_CMYK2CMY(const ColorRecord* cmyk, double ratio, ColorRecord* cmy) noexcept {
    QelColor_CMYKs2CMYs(cmyk, ratio, 1, cmy);
}

int32_t QelColor_CMYKsGamma(const ColorRecord* in, double gammaC, double gammaM, double gammaY,
                            double gammaK, uint32_t count, ColorRecord* out) noexcept {
    const double gamma[4] = {gammaC, gammaM, gammaY, gammaK};
    if (chromel::usable(in, count, out))
        chromel::cmykGamma(gamma, {in, count}, out, chromel::hostIsa());
    return 0;
}

int32_t QelColor_CMYKGamma(const ColorRecord* in, double gammaC, double gammaM, double gammaY,
                           double gammaK, ColorRecord* out) noexcept {
    return QelColor_CMYKsGamma(in, gammaC, gammaM, gammaY, gammaK, 1, out);
}

void QelColor_RGB2XYZMatrix(const PointRecord* red, const PointRecord* green,
                            const PointRecord* blue, const PointRecord* white,
                            const PointRecord* destinationWhite, int32_t adaptation,
                            double* matrix) noexcept {
    if (!red || !green || !blue || !white || !destinationWhite || !matrix) return;
    const auto m =
        chromel::rgbToXyzMatrix(*red, *green, *blue, *white, *destinationWhite, adaptation);
    std::copy(m.begin(), m.end(), matrix);
}

}  // extern "C"
