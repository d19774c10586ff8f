// CIE conversions between XYZ, Lab, LCh, Luv, Yxy and PQR, and chromatic adaptation.
//
// The array conversions copy blocks of colours into one array per component, convert
// those with branch-free loops the compiler vectorises, and write the block back, so
// the output may be the input array itself. The hot ones are built for AVX-512, AVX2 and
// baseline x86-64 and each call runs the build the CPU supports best.
#include "chromel/cie.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "chromel/abi_guard.h"
#include "chromel/block_loops.h"
#include "chromel/isa_dispatch.h"

namespace chromel {
namespace {

using vmath::pick;
using vmath::safeDiv;

constexpr double kInv116 = 0.008620689655172414;
constexpr double kKappa = 903.3;
constexpr double kInvKappa = 0.0011070519207350825;
constexpr double kEpsilon = 0.008856451679035631;
constexpr double kSixTwentyNinths = 0.20689655172413793;
constexpr double kLuvEpsilon = 0.008856;
constexpr double kLuvKappa = 903.0;
constexpr double kLuvLightnessBreak = 7.9996248;  // 903.3 * 0.008856
constexpr double kMaxAxis = 128.0;
constexpr double kDoubleMax = std::numeric_limits<double>::max();

[[gnu::always_inline]] inline double clampRange(double v, double lo, double hi) {
    return pick(v <= lo, lo, pick(v >= hi, hi, v));
}

// A white and black pair as the per-colour loops use it.
struct Reference {
    double wx, wy, wz;  // white
    double kx, ky, kz;  // black
    double nx, ny, nz;  // white - black
    double ix, iy, iz;  // 1 / (white - black)
    bool reciprocals;   // whether ix, iy and iz are all finite
};

Reference reference(const PointRecord& white, const PointRecord& black) {
    Reference r{};
    r.wx = white.X, r.wy = white.Y, r.wz = white.Z;
    r.kx = black.X, r.ky = black.Y, r.kz = black.Z;
    r.nx = white.X - black.X, r.ny = white.Y - black.Y, r.nz = white.Z - black.Z;
    r.ix = 1.0 / r.nx, r.iy = 1.0 / r.ny, r.iz = 1.0 / r.nz;
    r.reciprocals = std::isfinite(r.ix) && std::isfinite(r.iy) && std::isfinite(r.iz);
    return r;
}

[[gnu::always_inline]] inline bool isWhite(const Reference& r, double x, double y, double z) {
    return (x == r.wx) & (y == r.wy) & (z == r.wz);
}

[[gnu::always_inline]] inline bool isBlack(const Reference& r, double x, double y, double z) {
    return (x == r.kx) & (y == r.ky) & (z == r.kz);
}

// The Lab companding function: linear near black, the cube root above. kFinite promises a
// finite t, which saves the test for infinities. The root is taken of |t|: a negative t
// would send its discarded steps through subnormal numbers, which the CPU handles many
// times slower.
template <bool kFinite = false>
[[gnu::always_inline]] inline double labF(double t) {
    const bool root = t > kEpsilon;
    const double c = vmath::cbrtPositive(std::fabs(t));  // discarded unless t is above the break
    const double linear = (kKappa * t + 16.0) * kInv116;
    if constexpr (kFinite) return pick(root, c, linear);
    const bool finite = t <= kDoubleMax;
    return pick(root, pick(finite, c, t), linear);
}

[[gnu::always_inline]] inline double labFInverse(double t) {
    return pick(t <= kSixTwentyNinths, (116.0 * t - 16.0) * kInvKappa, t * t * t);
}

struct Triple {
    double a, b, c;
};

// A ratio whose last bit could move f across the gap between its two pieces, or too large
// for the product to stand for the quotient.
[[gnu::always_inline]] inline bool nearBreak(double ratio) {
    const double offset = ratio - kEpsilon;
    const bool away = pick(offset < 0.0, -offset, offset) > kEpsilon * 0x1p-44;
    const bool moderate = pick(ratio < 0.0, -ratio, ratio) < 0x1p900;
    return !(away & moderate);
}

// XYZ of one Lab colour; kExact maps the white and black exactly onto the reference's.
template <bool kExact = true>
[[gnu::always_inline]] inline Triple xyzOfLab(const Reference& r, double l, double a, double b) {
    const double fy = (l + 16.0) * kInv116;
    const double x = r.nx * labFInverse(fy + 0.002 * a) + r.kx;
    const double y = r.ny * labFInverse(fy) + r.ky;
    const double z = r.nz * labFInverse(fy - 0.005 * b) + r.kz;
    if constexpr (!kExact) return {x, y, z};
    const bool white = (l == 100.0) & (a == 0.0) & (b == 0.0);
    const bool black = (l == 0.0) & (a == 0.0) & (b == 0.0);
    return {pick(white, r.wx, pick(black, r.kx, x)), pick(white, r.wy, pick(black, r.ky, y)),
            pick(white, r.wz, pick(black, r.kz, z))};
}

// Whether a block may hold the white or the black: both have a* = b* = 0.
[[gnu::always_inline]] inline bool mayHoldNeutral(const double* __restrict a,
                                                  const double* __restrict b, std::size_t n) {
    double neutral = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        neutral += pick((a[i] == 0.0) & (b[i] == 0.0), 1.0, 0.0);
    return neutral != 0.0;
}

// Luv white chromaticity u'n, v'n.
struct LuvWhite {
    double un, vn;
};

LuvWhite luvWhite(const Reference& r) {
    const double d = r.nx + 15.0 * r.ny + 3.0 * r.nz;
    return {safeDiv(4.0 * r.nx, d), safeDiv(9.0 * r.ny, d)};
}

// XYZ to PQR matrices by adaptation method, each followed by its inverse as stored.
struct Matrix {
    double m[3][3];
};

struct MethodMatrices {
    Matrix forward;
    Matrix inverse;
};

constexpr MethodMatrices kMethods[4] = {
    {{{{0.40024, 0.7076, -0.08081}, {-0.2263, 1.16532, 0.0457}, {0.0, 0.0, 0.91822}}},
     {{{1.85995, -1.12939, 0.2199}, {0.36119, 0.63881, 0.0}, {0.0, 0.0, 1.08906}}}},
    {{{{0.0708, 0.9447, -0.0155}, {-0.4612, 1.3618, 0.1013}, {0.0, 0.0, 1.0}}},
     {{{2.5592, -1.7754, 0.2195}, {0.8667, 0.1331, 0.0}, {0.0, 0.0, 1.0}}}},
    {{{{0.38971, 0.68898, -0.07868}, {-0.22981, 1.1834, 0.04641}, {0.0, 0.0, 1.0}}},
     {{{1.9102, -1.1121, 0.2019}, {0.371, 0.6291, 0.0}, {0.0, 0.0, 1.0}}}},
    {{{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}},
     {{{0.987, -0.1471, 0.16}, {0.4323, 0.5184, 0.0493}, {-0.0085, 0.04, 0.9685}}}},
};

bool isMethod(std::int32_t method) {
    return method >= 1 && method <= 4;
}

const MethodMatrices& methodMatrices(std::int32_t method) {
    return kMethods[isMethod(method) ? method - 1 : 0];
}

[[gnu::always_inline]] inline Triple multiply(const Matrix& m, double x, double y, double z) {
    return {m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z,
            m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z,
            m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z};
}

[[gnu::always_inline]] inline void applyMatrix(std::span<const ColorRecord> in, const Matrix& m,
                                               ColorRecord* out) {
    forEachBlock(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const Triple t = multiply(m, b.c0[i], b.c1[i], b.c2[i]);
                b.c0[i] = t.a, b.c1[i] = t.b, b.c2[i] = t.c;
            }
        });
}

// One PQR channel of the adaptation: source white and black map exactly onto the
// destination's, everything else linearly between them.
struct ChannelMap {
    double sourceWhite, sourceBlack, destinationWhite, destinationBlack, scale;
};

ChannelMap channelMap(double w1, double k1, double w2, double k2) {
    return {w1, k1, w2, k2, safeDiv(w2 - k2, w1 - k1)};
}

[[gnu::always_inline]] inline double mapChannel(const ChannelMap& c, double v) {
    const double linear = c.destinationBlack + (v - c.sourceBlack) * c.scale;
    return pick(v == c.sourceWhite, c.destinationWhite,
                pick(v == c.sourceBlack, c.destinationBlack, linear));
}

// The limit is a template argument so that the loop holds no branch on it.
template <Limit kLimit>
[[gnu::always_inline]] inline void labToLchBlocks(std::span<const ColorRecord> in,
                                                  ColorRecord* out) {
    forEachBlock(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const double a = b.c1[i], bb = b.c2[i];
                const double c = lchChroma(a, bb, kLimit);
                b.c0[i] = lchLightness(b.c0[i], kLimit);
                b.c1[i] = c;
                b.c2[i] = lchHue(a, bb, c);
            }
        });
}

// The converted arrays of one call: each conversion reads the members it needs.
struct Job {
    std::span<const ColorRecord> in;
    ColorRecord* out;
    Reference ref;
    Limit limit;
    const MethodMatrices* matrices;
    ChannelMap p, q, r;
};

// f of each component's ratio to the white, (v - k) / n, over a block. Products with the
// reciprocals are much cheaper than the quotients and differ from them by an ulp or two,
// which away from the break leaves f on the same piece; a block with any ratio close to
// the break, or too large for the product to stand for the quotient, takes quotients.
struct Companded {
    double x[kBlock], y[kBlock], z[kBlock];
};

[[gnu::always_inline]] inline void compand(const Reference& r, const Block& b, std::size_t n,
                                           Companded& f) {
    double near = 1.0;
    if (r.reciprocals) {
        near = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            f.x[i] = (b.c0[i] - r.kx) * r.ix;
            f.y[i] = (b.c1[i] - r.ky) * r.iy;
            f.z[i] = (b.c2[i] - r.kz) * r.iz;
            const bool x = nearBreak(f.x[i]), y = nearBreak(f.y[i]), z = nearBreak(f.z[i]);
            near += pick(x | y | z, 1.0, 0.0);
        }
    }
    if (near == 0.0) {
        for (double* t : {f.x, f.y, f.z})
            for (std::size_t i = 0; i < n; ++i)
                t[i] = labF<true>(t[i]);
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        f.x[i] = labF(safeDiv(b.c0[i] - r.kx, r.nx));
    for (std::size_t i = 0; i < n; ++i)
        f.y[i] = labF(safeDiv(b.c1[i] - r.ky, r.ny));
    for (std::size_t i = 0; i < n; ++i)
        f.z[i] = labF(safeDiv(b.c2[i] - r.kz, r.nz));
}

// The limits are template arguments so that the loops hold no branch on them.
template <Limit kLimit>
[[gnu::always_inline]] inline double limited(double v, double lo, double hi) {
    return kLimit == Limit::Clamp ? clampRange(v, lo, hi) : v;
}

template <Limit kLimit>
[[gnu::always_inline]] inline void xyzToLabBlocks(const Job& job) {
    const Reference& r = job.ref;
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            Companded f;
            compand(r, b, n, f);
            for (std::size_t i = 0; i < n; ++i) {
                const double x = b.c0[i], y = b.c1[i], z = b.c2[i];
                const bool w = isWhite(r, x, y, z);
                const bool k = isBlack(r, x, y, z);
                const double l = limited<kLimit>(116.0 * f.y[i] - 16.0, 0.0, 100.0);
                const double a = limited<kLimit>(500.0 * (f.x[i] - f.y[i]), -kMaxAxis, kMaxAxis);
                const double bb = limited<kLimit>(200.0 * (f.y[i] - f.z[i]), -kMaxAxis, kMaxAxis);
                b.c0[i] = pick(w, 100.0, pick(k, 0.0, l));
                b.c1[i] = pick(w | k, 0.0, a);
                b.c2[i] = pick(w | k, 0.0, bb);
            }
        });
}

[[gnu::always_inline]] inline void xyzToLabBlocks(const Job& job) {
    if (job.limit == Limit::Clamp)
        xyzToLabBlocks<Limit::Clamp>(job);
    else
        xyzToLabBlocks<Limit::None>(job);
}

[[gnu::always_inline]] inline void labToXyzBlocks(const Job& job) {
    const Reference& r = job.ref;
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            // Blocks without a neutral colour skip the selects of the white and black.
            if (!mayHoldNeutral(b.c1, b.c2, n)) {
                for (std::size_t i = 0; i < n; ++i) {
                    const Triple xyz = xyzOfLab<false>(r, b.c0[i], b.c1[i], b.c2[i]);
                    b.c0[i] = xyz.a, b.c1[i] = xyz.b, b.c2[i] = xyz.c;
                }
                return;
            }
            for (std::size_t i = 0; i < n; ++i) {
                const Triple xyz = xyzOfLab(r, b.c0[i], b.c1[i], b.c2[i]);
                b.c0[i] = xyz.a, b.c1[i] = xyz.b, b.c2[i] = xyz.c;
            }
        });
}

template <Limit kLimit>
[[gnu::always_inline]] inline void xyzToLchBlocks(const Job& job) {
    const Reference& r = job.ref;
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            Companded f;
            compand(r, b, n, f);
            for (std::size_t i = 0; i < n; ++i) {
                const double x = b.c0[i], y = b.c1[i], z = b.c2[i];
                const bool w = isWhite(r, x, y, z);
                const bool k = isBlack(r, x, y, z);
                const double l = 116.0 * f.y[i] - 16.0;
                const double a = 500.0 * (f.x[i] - f.y[i]), bb = 200.0 * (f.y[i] - f.z[i]);
                const double c = lchChroma(a, bb, Limit::None);
                double h = pick(c == 0.0, 0.0, vmath::hueAngle(a, bb));
                h = pick(h > vmath::kTwoPi, h - vmath::kTwoPi, h);
                b.c0[i] = pick(w, 100.0, pick(k, 0.0, lchLightness(l, kLimit)));
                b.c1[i] = pick(w | k, 0.0, lchChroma(a, bb, kLimit));
                b.c2[i] = pick(w | k, 0.0, h);
            }
        });
}

[[gnu::always_inline]] inline void xyzToLchBlocks(const Job& job) {
    if (job.limit == Limit::Clamp)
        xyzToLchBlocks<Limit::Clamp>(job);
    else
        xyzToLchBlocks<Limit::None>(job);
}

[[gnu::always_inline]] inline void lchToXyzBlocks(const Job& job) {
    const Reference& r = job.ref;
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            double a[kBlock], bb[kBlock];
            polarToCartesian(b.c1, b.c2, a, bb, n);
            for (std::size_t i = 0; i < n; ++i) {
                const Triple xyz = xyzOfLab(r, b.c0[i], a[i], bb[i]);
                b.c0[i] = xyz.a, b.c1[i] = xyz.b, b.c2[i] = xyz.c;
            }
        });
}

[[gnu::always_inline]] inline void xyzToLuvBlocks(const Job& job) {
    const Reference& r = job.ref;
    const LuvWhite wn = luvWhite(r);
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const double x = b.c0[i], y = b.c1[i], z = b.c2[i];
                const bool w = isWhite(r, x, y, z);
                const bool k = isBlack(r, x, y, z);
                const double dx = x - r.kx, dy = y - r.ky, dz = z - r.kz;
                const double yr = safeDiv(dy, r.ny);
                const double d = dx + 15.0 * dy + 3.0 * dz;
                const double u1 = safeDiv(4.0 * dx, d);
                const double v1 = safeDiv(9.0 * dy, d);
                const bool root = yr > kLuvEpsilon;
                const bool finite = yr <= kDoubleMax;
                const double c = vmath::cbrtPositive(std::fabs(yr));
                const double l = pick(root, 116.0 * pick(finite, c, yr) - 16.0, kLuvKappa * yr);
                const double u = 13.0 * l * (u1 - wn.un);
                const double v = 13.0 * l * (v1 - wn.vn);
                b.c0[i] = pick(w, 100.0, pick(k, 0.0, clampRange(l, 0.0, 100.0)));
                b.c1[i] = pick(w | k, 0.0, clampRange(u, -134.0, 220.0));
                b.c2[i] = pick(w | k, 0.0, clampRange(v, -140.0, 122.0));
            }
        });
}

[[gnu::always_inline]] inline void luvToXyzBlocks(const Job& job) {
    const Reference& r = job.ref;
    const LuvWhite wn = luvWhite(r);
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const double l = b.c0[i], u = b.c1[i], v = b.c2[i];
                const bool w = (l == 100.0) & (u == 0.0) & (v == 0.0);
                const bool k = (l == 0.0) & (u == 0.0) & (v == 0.0);
                const double f = (l + 16.0) * kInv116;
                // Relative luminance scaled back by white - black, as the forward
                // conversion divided by it; X and Z follow Y.
                const double yr = pick(l <= kLuvLightnessBreak, l * kInvKappa, f * f * f);
                const double y = r.ny * yr;
                const double alpha = (safeDiv(52.0 * l, u + 13.0 * l * wn.un) - 1.0) * (1.0 / 3.0);
                const double x =
                    safeDiv(y * (safeDiv(39.0 * l, v + 13.0 * l * wn.vn) - 5.0) + 5.0 * y,
                            alpha + 1.0 / 3.0);
                const double z = alpha * x - 5.0 * y;
                b.c0[i] = pick(w, r.wx, pick(k, r.kx, x + r.kx));
                b.c1[i] = pick(w, r.wy, pick(k, r.ky, y + r.ky));
                b.c2[i] = pick(w, r.wz, pick(k, r.kz, z + r.kz));
            }
        });
}

[[gnu::always_inline]] inline void labToLchBlocks(const Job& job) {
    if (job.limit == Limit::Clamp)
        labToLchBlocks<Limit::Clamp>(job.in, job.out);
    else
        labToLchBlocks<Limit::None>(job.in, job.out);
}

template <Limit kLimit>
[[gnu::always_inline]] inline void lchToLabBlocks(const Job& job) {
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            double a[kBlock], bb[kBlock];
            polarToCartesian(b.c1, b.c2, a, bb, n);
            for (std::size_t i = 0; i < n; ++i) {
                const bool neutral = b.c1[i] == 0.0;
                b.c0[i] = pick(neutral, b.c0[i], lchLightness(b.c0[i], kLimit));
                b.c1[i] = pick(neutral, 0.0, limited<kLimit>(a[i], -kMaxAxis, kMaxAxis));
                b.c2[i] = pick(neutral, 0.0, limited<kLimit>(bb[i], -kMaxAxis, kMaxAxis));
            }
        });
}

[[gnu::always_inline]] inline void lchToLabBlocks(const Job& job) {
    if (job.limit == Limit::Clamp)
        lchToLabBlocks<Limit::Clamp>(job);
    else
        lchToLabBlocks<Limit::None>(job);
}

[[gnu::always_inline]] inline void adaptBlocks(const Job& job) {
    const MethodMatrices& m = *job.matrices;
    forEachBlock(
        job.in, job.out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const Triple t = multiply(m.forward, b.c0[i], b.c1[i], b.c2[i]);
                const Triple x = multiply(m.inverse, mapChannel(job.p, t.a), mapChannel(job.q, t.b),
                                          mapChannel(job.r, t.c));
                b.c0[i] = x.a, b.c1[i] = x.b, b.c2[i] = x.c;
            }
        });
}

// Each conversion is built once per instruction set (isa_dispatch.h). Naming the loop's type
// lets the overloaded loop names resolve.
using BlockLoop = void (*)(const Job&);

template <BlockLoop kLoop>
void run(Isa isa, const Job& job) {
    chromel::isa::run<Job, kLoop>(isa, job);
}

Job referenced(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
               ColorRecord* out) {
    return {in, out, reference(white, black), Limit::Clamp, nullptr, {}, {}, {}};
}

}  // namespace

ColorRecord labToLch(const ColorRecord& lab, Limit limit) {
    ColorRecord out = lab;
    out.v[0] = lchLightness(lab.v[0], limit);
    out.v[1] = lchChroma(lab.v[1], lab.v[2], limit);
    out.v[2] = lchHue(lab.v[1], lab.v[2], out.v[1]);
    return out;
}

void xyzToLab(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa) {
    run<xyzToLabBlocks>(isa, referenced(in, white, black, out));
}

void labToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa) {
    run<labToXyzBlocks>(isa, referenced(in, white, black, out));
}

void xyzToLch(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa) {
    run<xyzToLchBlocks>(isa, referenced(in, white, black, out));
}

void lchToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa) {
    run<lchToXyzBlocks>(isa, referenced(in, white, black, out));
}

void xyzToLuv(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa) {
    run<xyzToLuvBlocks>(isa, referenced(in, white, black, out));
}

void luvToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out, Isa isa) {
    run<luvToXyzBlocks>(isa, referenced(in, white, black, out));
}

void labToLch(std::span<const ColorRecord> in, Limit limit, ColorRecord* out, Isa isa) {
    run<labToLchBlocks>(isa, {in, out, {}, limit, nullptr, {}, {}, {}});
}

void lchToLab(std::span<const ColorRecord> in, ColorRecord* out, Isa isa) {
    run<lchToLabBlocks>(isa, {in, out, {}, Limit::Clamp, nullptr, {}, {}, {}});
}

void xyzToLab(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out) {
    xyzToLab(in, white, black, out, hostIsa());
}

void labToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out) {
    labToXyz(in, white, black, out, hostIsa());
}

void xyzToLch(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out) {
    xyzToLch(in, white, black, out, hostIsa());
}

void lchToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out) {
    lchToXyz(in, white, black, out, hostIsa());
}

void xyzToLuv(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out) {
    xyzToLuv(in, white, black, out, hostIsa());
}

void luvToXyz(std::span<const ColorRecord> in, const PointRecord& white, const PointRecord& black,
              ColorRecord* out) {
    luvToXyz(in, white, black, out, hostIsa());
}

void labToLch(std::span<const ColorRecord> in, Limit limit, ColorRecord* out) {
    labToLch(in, limit, out, hostIsa());
}

void lchToLab(std::span<const ColorRecord> in, ColorRecord* out) {
    lchToLab(in, out, hostIsa());
}

void xyzToLabUnlimited(std::span<const ColorRecord> in, const PointRecord& white,
                       const PointRecord& black, ColorRecord* out) {
    Job job = referenced(in, white, black, out);
    job.limit = Limit::None;
    run<xyzToLabBlocks>(hostIsa(), job);
}

void xyzToLchUnlimited(std::span<const ColorRecord> in, const PointRecord& white,
                       const PointRecord& black, ColorRecord* out) {
    Job job = referenced(in, white, black, out);
    job.limit = Limit::None;
    run<xyzToLchBlocks>(hostIsa(), job);
}

void lchToLabUnlimited(std::span<const ColorRecord> in, ColorRecord* out) {
    run<lchToLabBlocks>(hostIsa(), {in, out, {}, Limit::None, nullptr, {}, {}, {}});
}

void xyzToYxy(std::span<const ColorRecord> in, ColorRecord* out) {
    forEachBlock(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const double x = b.c0[i], y = b.c1[i], z = b.c2[i];
                const double s = x + y + z;
                b.c0[i] = y;
                b.c1[i] = safeDiv(x, s);
                b.c2[i] = safeDiv(y, s);
            }
        });
}

void yxyToXyz(std::span<const ColorRecord> in, ColorRecord* out) {
    forEachBlock(
        in, out, [&](Block & b, std::size_t n) __attribute__((always_inline)) {
            for (std::size_t i = 0; i < n; ++i) {
                const double yl = b.c0[i], x = b.c1[i], y = b.c2[i];
                const bool zero = yl == 0.0;
                b.c0[i] = vmath::pick(zero, 0.0, safeDiv(yl * x, y));
                b.c1[i] = vmath::pick(zero, 0.0, yl);
                b.c2[i] = vmath::pick(zero, 0.0, safeDiv(yl * (1.0 - x - y), y));
            }
        });
}

void xyzToPqr(std::span<const ColorRecord> in, std::int32_t method, ColorRecord* out) {
    applyMatrix(in, methodMatrices(method).forward, out);
}

void pqrToXyz(std::span<const ColorRecord> in, std::int32_t method, ColorRecord* out) {
    applyMatrix(in, methodMatrices(method).inverse, out);
}

void adaptXyz(std::span<const ColorRecord> in, const AdaptationWhites& whites, std::int32_t method,
              ColorRecord* out, Isa isa) {
    const bool same =
        std::memcmp(&whites.sourceWhite, &whites.destinationWhite, sizeof(PointRecord)) == 0 &&
        std::memcmp(&whites.sourceBlack, &whites.destinationBlack, sizeof(PointRecord)) == 0;
    if (same || !isMethod(method)) {
        if (out != in.data()) std::memmove(out, in.data(), in.size_bytes());
        return;
    }
    const MethodMatrices& m = methodMatrices(method);
    const auto pqr = [&](const PointRecord& p) { return multiply(m.forward, p.X, p.Y, p.Z); };
    const Triple w1 = pqr(whites.sourceWhite), k1 = pqr(whites.sourceBlack);
    const Triple w2 = pqr(whites.destinationWhite), k2 = pqr(whites.destinationBlack);
    run<adaptBlocks>(isa, {in,
                           out,
                           {},
                           Limit::Clamp,
                           &m,
                           channelMap(w1.a, k1.a, w2.a, k2.a),
                           channelMap(w1.b, k1.b, w2.b, k2.b),
                           channelMap(w1.c, k1.c, w2.c, k2.c)});
}

void adaptXyz(std::span<const ColorRecord> in, const AdaptationWhites& whites, std::int32_t method,
              ColorRecord* out) {
    adaptXyz(in, whites, method, out, hostIsa());
}

}  // namespace chromel

// C interface ------------------------------------------------------------------------

namespace {

using chromel::abiGuard;
using chromel::AdaptationWhites;
using chromel::Limit;

std::span<const ColorRecord> colours(const ColorRecord* in, uint32_t count) {
    return {in, count};
}

bool usable(const ColorRecord* in, uint32_t count, const ColorRecord* out) {
    return in != nullptr && out != nullptr && count != 0;
}

void copyColours(const ColorRecord* in, uint32_t count, ColorRecord* out) {
    if (in != out) std::memmove(out, in, std::size_t{count} * sizeof(ColorRecord));
}

// The white and black of an illuminant, as the plain forms use them.
struct Whites {
    PointRecord white;
    PointRecord black;
};

Whites whitesOf(uint32_t illuminant, int32_t observer) {
    Whites w{};
    QelColor_GetWhitePoint(illuminant, observer, &w.white);
    QelColor_GetBlackPoint(illuminant, observer, &w.black);
    return w;
}

using RawConversion = void (*)(std::span<const ColorRecord>, const PointRecord&, const PointRecord&,
                               ColorRecord*);

ColorRecord* runRaw(RawConversion convert, const ColorRecord* in, const PointRecord* white,
                    const PointRecord* black, uint32_t count, ColorRecord* out) {
    if (!usable(in, count, out) || white == nullptr || black == nullptr) return out;
    abiGuard([&] { convert(colours(in, count), *white, *black, out); });
    return out;
}

ColorRecord* runPlain(RawConversion convert, const ColorRecord* in, uint32_t illuminant,
                      int32_t observer, uint32_t count, ColorRecord* out) {
    const Whites w = whitesOf(illuminant, observer);
    return runRaw(convert, in, &w.white, &w.black, count, out);
}

// Adaptation of a space other than XYZ: to XYZ with the source white, adapt in place,
// back with the destination white.
ColorRecord* adaptRaw(RawConversion toXyz, RawConversion fromXyz, const ColorRecord* in,
                      const PointRecord* w1, const PointRecord* k1, const PointRecord* w2,
                      const PointRecord* k2, int32_t method, uint32_t count, ColorRecord* out) {
    if (!usable(in, count, out) || !w1 || !k1 || !w2 || !k2) return out;
    abiGuard([&] {
        // Copies taken before `out` is written: a point may lie in the output array.
        const AdaptationWhites whites{*w1, *k1, *w2, *k2};
        if (std::memcmp(w1, w2, sizeof(PointRecord)) == 0 &&
            std::memcmp(k1, k2, sizeof(PointRecord)) == 0) {
            copyColours(in, count, out);
            return;
        }
        toXyz(colours(in, count), whites.sourceWhite, whites.sourceBlack, out);
        chromel::adaptXyz(colours(out, count), whites, method, out);
        fromXyz(colours(out, count), whites.destinationWhite, whites.destinationBlack, out);
    });
    return out;
}

ColorRecord* adaptPlain(RawConversion toXyz, RawConversion fromXyz, const ColorRecord* in,
                        uint32_t illuminant1, int32_t observer1, uint32_t illuminant2,
                        int32_t observer2, int32_t method, uint32_t count, ColorRecord* out) {
    if (!usable(in, count, out)) return out;
    if (illuminant1 == illuminant2) {
        copyColours(in, count, out);
        return out;
    }
    const Whites a = whitesOf(illuminant1, observer1);
    const Whites b = whitesOf(illuminant2, observer2);
    const PointRecord zero{0.0, 0.0, 0.0};
    abiGuard([&] {
        if (toXyz != nullptr) toXyz(colours(in, count), a.white, a.black, out);
        const ColorRecord* src = toXyz != nullptr ? out : in;
        chromel::adaptXyz(colours(src, count), {a.white, zero, b.white, zero}, method, out);
        if (fromXyz != nullptr) fromXyz(colours(out, count), b.white, b.black, out);
    });
    return out;
}

}  // namespace

extern "C" {

ColorRecord* QelColor_XYZs2LabsRaw(const ColorRecord* xyz, const PointRecord* white,
                                   const PointRecord* black, uint32_t count,
                                   ColorRecord* lab) noexcept {
    return runRaw(chromel::xyzToLab, xyz, white, black, count, lab);
}

ColorRecord* QelColor_XYZ2LabRaw(const ColorRecord* xyz, const PointRecord* white,
                                 const PointRecord* black, ColorRecord* lab) noexcept {
    return QelColor_XYZs2LabsRaw(xyz, white, black, 1, lab);
}

ColorRecord* QelColor_Labs2XYZsRaw(const ColorRecord* lab, const PointRecord* white,
                                   const PointRecord* black, uint32_t count,
                                   ColorRecord* xyz) noexcept {
    return runRaw(chromel::labToXyz, lab, white, black, count, xyz);
}

ColorRecord* QelColor_Lab2XYZRaw(const ColorRecord* lab, const PointRecord* white,
                                 const PointRecord* black, ColorRecord* xyz) noexcept {
    return QelColor_Labs2XYZsRaw(lab, white, black, 1, xyz);
}

ColorRecord* QelColor_XYZs2Labs(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                                uint32_t count, ColorRecord* lab) noexcept {
    return runPlain(chromel::xyzToLab, xyz, illuminant, observer, count, lab);
}

ColorRecord* QelColor_XYZ2Lab(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                              ColorRecord* lab) noexcept {
    return QelColor_XYZs2Labs(xyz, illuminant, observer, 1, lab);
}

ColorRecord* QelColor_Labs2XYZs(const ColorRecord* lab, uint32_t illuminant, int32_t observer,
                                uint32_t count, ColorRecord* xyz) noexcept {
    return runPlain(chromel::labToXyz, lab, illuminant, observer, count, xyz);
}

ColorRecord* QelColor_Lab2XYZ(const ColorRecord* lab, uint32_t illuminant, int32_t observer,
                              ColorRecord* xyz) noexcept {
    return QelColor_Labs2XYZs(lab, illuminant, observer, 1, xyz);
}

ColorRecord* QelColor_XYZs2LChsRaw(const ColorRecord* xyz, const PointRecord* white,
                                   const PointRecord* black, uint32_t count,
                                   ColorRecord* lch) noexcept {
    return runRaw(chromel::xyzToLch, xyz, white, black, count, lch);
}

ColorRecord* QelColor_XYZ2LChRaw(const ColorRecord* xyz, const PointRecord* white,
                                 const PointRecord* black, ColorRecord* lch) noexcept {
    return QelColor_XYZs2LChsRaw(xyz, white, black, 1, lch);
}

ColorRecord* QelColor_LChs2XYZsRaw(const ColorRecord* lch, const PointRecord* white,
                                   const PointRecord* black, uint32_t count,
                                   ColorRecord* xyz) noexcept {
    return runRaw(chromel::lchToXyz, lch, white, black, count, xyz);
}

ColorRecord* QelColor_LCh2XYZRaw(const ColorRecord* lch, const PointRecord* white,
                                 const PointRecord* black, ColorRecord* xyz) noexcept {
    return QelColor_LChs2XYZsRaw(lch, white, black, 1, xyz);
}

ColorRecord* QelColor_XYZs2LChs(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                                uint32_t count, ColorRecord* lch) noexcept {
    return runPlain(chromel::xyzToLch, xyz, illuminant, observer, count, lch);
}

ColorRecord* QelColor_XYZ2LCh(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                              ColorRecord* lch) noexcept {
    return QelColor_XYZs2LChs(xyz, illuminant, observer, 1, lch);
}

ColorRecord* QelColor_LChs2XYZs(const ColorRecord* lch, uint32_t illuminant, int32_t observer,
                                uint32_t count, ColorRecord* xyz) noexcept {
    return runPlain(chromel::lchToXyz, lch, illuminant, observer, count, xyz);
}

ColorRecord* QelColor_LCh2XYZ(const ColorRecord* lch, uint32_t illuminant, int32_t observer,
                              ColorRecord* xyz) noexcept {
    return QelColor_LChs2XYZs(lch, illuminant, observer, 1, xyz);
}

ColorRecord* QelColor_XYZs2LuvsRaw(const ColorRecord* xyz, const PointRecord* white,
                                   const PointRecord* black, uint32_t count,
                                   ColorRecord* luv) noexcept {
    return runRaw(chromel::xyzToLuv, xyz, white, black, count, luv);
}

ColorRecord* QelColor_XYZ2LuvRaw(const ColorRecord* xyz, const PointRecord* white,
                                 const PointRecord* black, ColorRecord* luv) noexcept {
    return QelColor_XYZs2LuvsRaw(xyz, white, black, 1, luv);
}

ColorRecord* QelColor_Luvs2XYZsRaw(const ColorRecord* luv, const PointRecord* white,
                                   const PointRecord* black, uint32_t count,
                                   ColorRecord* xyz) noexcept {
    return runRaw(chromel::luvToXyz, luv, white, black, count, xyz);
}

ColorRecord* QelColor_Luv2XYZRaw(const ColorRecord* luv, const PointRecord* white,
                                 const PointRecord* black, ColorRecord* xyz) noexcept {
    return QelColor_Luvs2XYZsRaw(luv, white, black, 1, xyz);
}

ColorRecord* QelColor_XYZs2Luvs(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                                uint32_t count, ColorRecord* luv) noexcept {
    return runPlain(chromel::xyzToLuv, xyz, illuminant, observer, count, luv);
}

ColorRecord* QelColor_XYZ2Luv(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                              ColorRecord* luv) noexcept {
    return QelColor_XYZs2Luvs(xyz, illuminant, observer, 1, luv);
}

ColorRecord* QelColor_Luvs2XYZs(const ColorRecord* luv, uint32_t illuminant, int32_t observer,
                                uint32_t count, ColorRecord* xyz) noexcept {
    return runPlain(chromel::luvToXyz, luv, illuminant, observer, count, xyz);
}

ColorRecord* QelColor_Luv2XYZ(const ColorRecord* luv, uint32_t illuminant, int32_t observer,
                              ColorRecord* xyz) noexcept {
    return QelColor_Luvs2XYZs(luv, illuminant, observer, 1, xyz);
}

ColorRecord* QelColor_Labs2LChs(const ColorRecord* lab, uint32_t count, ColorRecord* lch) noexcept {
    if (usable(lab, count, lch))
        abiGuard([&] { chromel::labToLch(colours(lab, count), Limit::Clamp, lch); });
    return lch;
}

ColorRecord* QelColor_Lab2LCh(const ColorRecord* lab, ColorRecord* lch) noexcept {
    return QelColor_Labs2LChs(lab, 1, lch);
}

ColorRecord* QelColor_LChs2Labs(const ColorRecord* lch, uint32_t count, ColorRecord* lab) noexcept {
    if (usable(lch, count, lab)) abiGuard([&] { chromel::lchToLab(colours(lch, count), lab); });
    return lab;
}

ColorRecord* QelColor_LCh2Lab(const ColorRecord* lch, ColorRecord* lab) noexcept {
    return QelColor_LChs2Labs(lch, 1, lab);
}

ColorRecord* QelColor_XYZs2Yxys(const ColorRecord* xyz, uint32_t count, ColorRecord* yxy) noexcept {
    if (usable(xyz, count, yxy)) abiGuard([&] { chromel::xyzToYxy(colours(xyz, count), yxy); });
    return yxy;
}

ColorRecord* QelColor_XYZ2Yxy(const ColorRecord* xyz, ColorRecord* yxy) noexcept {
    return QelColor_XYZs2Yxys(xyz, 1, yxy);
}

ColorRecord* QelColor_Yxys2XYZs(const ColorRecord* yxy, uint32_t count, ColorRecord* xyz) noexcept {
    if (usable(yxy, count, xyz)) abiGuard([&] { chromel::yxyToXyz(colours(yxy, count), xyz); });
    return xyz;
}

ColorRecord* QelColor_Yxy2XYZ(const ColorRecord* yxy, ColorRecord* xyz) noexcept {
    return QelColor_Yxys2XYZs(yxy, 1, xyz);
}

ColorRecord* QelColor_XYZs2PQRs(const ColorRecord* xyz, int32_t method, uint32_t count,
                                ColorRecord* pqr) noexcept {
    if (usable(xyz, count, pqr))
        abiGuard([&] { chromel::xyzToPqr(colours(xyz, count), method, pqr); });
    return pqr;
}

ColorRecord* QelColor_XYZ2PQR(const ColorRecord* xyz, int32_t method, ColorRecord* pqr) noexcept {
    return QelColor_XYZs2PQRs(xyz, method, 1, pqr);
}

ColorRecord* QelColor_PQRs2XYZs(const ColorRecord* pqr, int32_t method, uint32_t count,
                                ColorRecord* xyz) noexcept {
    if (usable(pqr, count, xyz))
        abiGuard([&] { chromel::pqrToXyz(colours(pqr, count), method, xyz); });
    return xyz;
}

ColorRecord* QelColor_PQR2XYZ(const ColorRecord* pqr, int32_t method, ColorRecord* xyz) noexcept {
    return QelColor_PQRs2XYZs(pqr, method, 1, xyz);
}

ColorRecord* QelColor_XYZs2XYZsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                   const PointRecord* srcBlack, const PointRecord* dstWhite,
                                   const PointRecord* dstBlack, int32_t method, uint32_t count,
                                   ColorRecord* out) noexcept {
    if (!usable(in, count, out) || !srcWhite || !srcBlack || !dstWhite || !dstBlack) return out;
    abiGuard([&] {
        chromel::adaptXyz(colours(in, count), {*srcWhite, *srcBlack, *dstWhite, *dstBlack}, method,
                          out);
    });
    return out;
}

ColorRecord* QelColor_XYZ2XYZRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                 const PointRecord* srcBlack, const PointRecord* dstWhite,
                                 const PointRecord* dstBlack, int32_t method,
                                 ColorRecord* out) noexcept {
    return QelColor_XYZs2XYZsRaw(in, srcWhite, srcBlack, dstWhite, dstBlack, method, 1, out);
}

ColorRecord* QelColor_Labs2LabsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                   const PointRecord* srcBlack, const PointRecord* dstWhite,
                                   const PointRecord* dstBlack, int32_t method, uint32_t count,
                                   ColorRecord* out) noexcept {
    return adaptRaw(chromel::labToXyz, chromel::xyzToLab, in, srcWhite, srcBlack, dstWhite,
                    dstBlack, method, count, out);
}

ColorRecord* QelColor_Lab2LabRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                 const PointRecord* srcBlack, const PointRecord* dstWhite,
                                 const PointRecord* dstBlack, int32_t method,
                                 ColorRecord* out) noexcept {
    return QelColor_Labs2LabsRaw(in, srcWhite, srcBlack, dstWhite, dstBlack, method, 1, out);
}

ColorRecord* QelColor_LChs2LChsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                   const PointRecord* srcBlack, const PointRecord* dstWhite,
                                   const PointRecord* dstBlack, int32_t method, uint32_t count,
                                   ColorRecord* out) noexcept {
    return adaptRaw(chromel::lchToXyz, chromel::xyzToLch, in, srcWhite, srcBlack, dstWhite,
                    dstBlack, method, count, out);
}

ColorRecord* QelColor_LCh2LChRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                 const PointRecord* srcBlack, const PointRecord* dstWhite,
                                 const PointRecord* dstBlack, int32_t method,
                                 ColorRecord* out) noexcept {
    return QelColor_LChs2LChsRaw(in, srcWhite, srcBlack, dstWhite, dstBlack, method, 1, out);
}

ColorRecord* QelColor_Luvs2LuvsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                   const PointRecord* srcBlack, const PointRecord* dstWhite,
                                   const PointRecord* dstBlack, int32_t method, uint32_t count,
                                   ColorRecord* out) noexcept {
    return adaptRaw(chromel::luvToXyz, chromel::xyzToLuv, in, srcWhite, srcBlack, dstWhite,
                    dstBlack, method, count, out);
}

ColorRecord* QelColor_Luv2LuvRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                 const PointRecord* srcBlack, const PointRecord* dstWhite,
                                 const PointRecord* dstBlack, int32_t method,
                                 ColorRecord* out) noexcept {
    return QelColor_Luvs2LuvsRaw(in, srcWhite, srcBlack, dstWhite, dstBlack, method, 1, out);
}

ColorRecord* QelColor_XYZs2XYZs(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                                uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                                uint32_t count, ColorRecord* out) noexcept {
    return adaptPlain(nullptr, nullptr, in, srcIlluminant, srcObserver, dstIlluminant, dstObserver,
                      method, count, out);
}

ColorRecord* QelColor_XYZ2XYZ(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                              uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                              ColorRecord* out) noexcept {
    return QelColor_XYZs2XYZs(in, srcIlluminant, srcObserver, dstIlluminant, dstObserver, method, 1,
                              out);
}

ColorRecord* QelColor_Labs2Labs(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                                uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                                uint32_t count, ColorRecord* out) noexcept {
    return adaptPlain(chromel::labToXyz, chromel::xyzToLab, in, srcIlluminant, srcObserver,
                      dstIlluminant, dstObserver, method, count, out);
}

ColorRecord* QelColor_Lab2Lab(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                              uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                              ColorRecord* out) noexcept {
    return QelColor_Labs2Labs(in, srcIlluminant, srcObserver, dstIlluminant, dstObserver, method, 1,
                              out);
}

ColorRecord* QelColor_LChs2LChs(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                                uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                                uint32_t count, ColorRecord* out) noexcept {
    return adaptPlain(chromel::lchToXyz, chromel::xyzToLch, in, srcIlluminant, srcObserver,
                      dstIlluminant, dstObserver, method, count, out);
}

ColorRecord* QelColor_LCh2LCh(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                              uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                              ColorRecord* out) noexcept {
    return QelColor_LChs2LChs(in, srcIlluminant, srcObserver, dstIlluminant, dstObserver, method, 1,
                              out);
}

ColorRecord* QelColor_Luvs2Luvs(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                                uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                                uint32_t count, ColorRecord* out) noexcept {
    return adaptPlain(chromel::luvToXyz, chromel::xyzToLuv, in, srcIlluminant, srcObserver,
                      dstIlluminant, dstObserver, method, count, out);
}

ColorRecord* QelColor_Luv2Luv(const ColorRecord* in, uint32_t srcIlluminant, int32_t srcObserver,
                              uint32_t dstIlluminant, int32_t dstObserver, int32_t method,
                              ColorRecord* out) noexcept {
    return QelColor_Luvs2Luvs(in, srcIlluminant, srcObserver, dstIlluminant, dstObserver, method, 1,
                              out);
}

// Unlimited Lab and LCh for the Munsell look-ups: the plain forms' whites, no limits.

ColorRecord* QelColor_XYZs2Labs4Munsell(const ColorRecord* xyz, uint32_t illuminant,
                                        int32_t observer, uint32_t count,
                                        ColorRecord* lab) noexcept {
    return runPlain(chromel::xyzToLabUnlimited, xyz, illuminant, observer, count, lab);
}

ColorRecord* QelColor_XYZ2Lab4Munsell(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                                      ColorRecord* lab) noexcept {
    return QelColor_XYZs2Labs4Munsell(xyz, illuminant, observer, 1, lab);
}

ColorRecord* QelColor_Labs2XYZs4Munsell(const ColorRecord* lab, uint32_t illuminant,
                                        int32_t observer, uint32_t count,
                                        ColorRecord* xyz) noexcept {
    return QelColor_Labs2XYZs(lab, illuminant, observer, count, xyz);
}

ColorRecord* QelColor_Lab2XYZ4Munsell(const ColorRecord* lab, uint32_t illuminant, int32_t observer,
                                      ColorRecord* xyz) noexcept {
    return QelColor_Labs2XYZs(lab, illuminant, observer, 1, xyz);
}

ColorRecord* QelColor_XYZs2LChs4Munsell(const ColorRecord* xyz, uint32_t illuminant,
                                        int32_t observer, uint32_t count,
                                        ColorRecord* lch) noexcept {
    return runPlain(chromel::xyzToLchUnlimited, xyz, illuminant, observer, count, lch);
}

ColorRecord* QelColor_XYZ2LCh4Munsell(const ColorRecord* xyz, uint32_t illuminant, int32_t observer,
                                      ColorRecord* lch) noexcept {
    return QelColor_XYZs2LChs4Munsell(xyz, illuminant, observer, 1, lch);
}

ColorRecord* QelColor_LChs2XYZs4Munsell(const ColorRecord* lch, uint32_t illuminant,
                                        int32_t observer, uint32_t count,
                                        ColorRecord* xyz) noexcept {
    return QelColor_LChs2XYZs(lch, illuminant, observer, count, xyz);
}

ColorRecord* QelColor_LCh2XYZ4Munsell(const ColorRecord* lch, uint32_t illuminant, int32_t observer,
                                      ColorRecord* xyz) noexcept {
    return QelColor_LChs2XYZs(lch, illuminant, observer, 1, xyz);
}

ColorRecord* QelColor_Labs2LChs4Munsell(const ColorRecord* lab, uint32_t count,
                                        ColorRecord* lch) noexcept {
    if (usable(lab, count, lch))
        abiGuard([&] { chromel::labToLch(colours(lab, count), Limit::None, lch); });
    return lch;
}

ColorRecord* QelColor_Lab2LCh4Munsell(const ColorRecord* lab, ColorRecord* lch) noexcept {
    return QelColor_Labs2LChs4Munsell(lab, 1, lch);
}

ColorRecord* QelColor_LChs2Labs4Munsell(const ColorRecord* lch, uint32_t count,
                                        ColorRecord* lab) noexcept {
    if (usable(lch, count, lab))
        abiGuard([&] { chromel::lchToLabUnlimited(colours(lch, count), lab); });
    return lab;
}

ColorRecord* QelColor_LCh2Lab4Munsell(const ColorRecord* lch, ColorRecord* lab) noexcept {
    return QelColor_LChs2Labs4Munsell(lch, 1, lab);
}

ColorRecord* QelColor_Labs2Labs4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                        int32_t srcObserver, uint32_t dstIlluminant,
                                        int32_t dstObserver, int32_t method, uint32_t count,
                                        ColorRecord* out) noexcept {
    return adaptPlain(chromel::labToXyz, chromel::xyzToLabUnlimited, in, srcIlluminant, srcObserver,
                      dstIlluminant, dstObserver, method, count, out);
}

ColorRecord* QelColor_Lab2Lab4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                      int32_t srcObserver, uint32_t dstIlluminant,
                                      int32_t dstObserver, int32_t method,
                                      ColorRecord* out) noexcept {
    return QelColor_Labs2Labs4Munsell(in, srcIlluminant, srcObserver, dstIlluminant, dstObserver,
                                      method, 1, out);
}

ColorRecord* QelColor_LChs2LChs4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                        int32_t srcObserver, uint32_t dstIlluminant,
                                        int32_t dstObserver, int32_t method, uint32_t count,
                                        ColorRecord* out) noexcept {
    return adaptPlain(chromel::lchToXyz, chromel::xyzToLchUnlimited, in, srcIlluminant, srcObserver,
                      dstIlluminant, dstObserver, method, count, out);
}

ColorRecord* QelColor_LCh2LCh4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                      int32_t srcObserver, uint32_t dstIlluminant,
                                      int32_t dstObserver, int32_t method,
                                      ColorRecord* out) noexcept {
    return QelColor_LChs2LChs4Munsell(in, srcIlluminant, srcObserver, dstIlluminant, dstObserver,
                                      method, 1, out);
}

}  // extern "C"
