// Interpolation inside one grid cell: tetrahedral and linear-chain kernels over blocks of
// points, shared by the exported cell functions and the CMYK separation.
#ifndef CHROMEL_GRID_INTERP_H
#define CHROMEL_GRID_INTERP_H

#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "chromel/block_loops.h"
#include "chromel/isa.h"
#include "chromel/vector_math.h"
#include "chromel32.h"

namespace chromel {

enum class CellScheme { Tetrahedral, Linear };

// Interpolates every point in a cell of 8 (inDims 3) or 16 (inDims 4) nodes with outDims
// (3 or 4) components; a three-component result gets 0.0 as its fourth double. `out` may
// be `points` itself, or hold the cell.
void interpolateCell(CellScheme scheme, int inDims, int outDims, const GridNode* cell,
                     std::span<const ColorRecord> points, ColorRecord* out);
// The same on the build for `isa`, which the CPU must support; the form above runs
// hostIsa()'s. All builds give the same bits.
void interpolateCell(CellScheme scheme, int inDims, int outDims, const GridNode* cell,
                     std::span<const ColorRecord> points, ColorRecord* out, Isa isa);

// One cube of a cell, read once per call. Tetrahedral interpolation mirrors the cube on
// every axis where the point's coordinate is negative; rather than move nodes, a point
// takes its origin node o (the mirror bits 4, 2, 1) and reads node i ^ o for node i.
struct Cube {
    double x[8], y[8], z[8];  // node positions
    double v[4][8];           // node values by component
    // Per origin o: the origin's coordinate and the edge from it to its partner node.
    double x0[8], ex[8], y0[8], ey[8], z0[8], ez[8];
};

inline Cube cubeOf(const GridNode* nodes) {
    Cube c{};
    for (int i = 0; i < 8; ++i) {
        c.x[i] = nodes[i].position.v[0];
        c.y[i] = nodes[i].position.v[1];
        c.z[i] = nodes[i].position.v[2];
        for (int k = 0; k < 4; ++k)
            c.v[k][i] = nodes[i].value.v[k];
    }
    for (int o = 0; o < 8; ++o) {
        c.x0[o] = c.x[o], c.ex[o] = c.x[o ^ 4] - c.x[o];
        c.y0[o] = c.y[o], c.ey[o] = c.y[o ^ 2] - c.y[o];
        c.z0[o] = c.z[o], c.ez[o] = c.z[o ^ 1] - c.z[o];
    }
    return c;
}

namespace grid {

using vmath::pick;

// Eight per-origin values as separate scalars: the compiler keeps them in registers, where
// selecting among them vectorises (a select between two array entries would become a
// load from a selected address, which does not).
struct Eight {
    double a0, a1, a2, a3, a4, a5, a6, a7;
};

[[gnu::always_inline]] inline Eight eight(const double* a) {
    return {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]};
}

// The value for the origin whose mirror bits are mx (4), my (2), mz (1).
[[gnu::always_inline]] inline double byOrigin(const Eight& e, bool mx, bool my, bool mz) {
    const double b0 = pick(mz, e.a1, e.a0), b1 = pick(mz, e.a3, e.a2);
    const double b2 = pick(mz, e.a5, e.a4), b3 = pick(mz, e.a7, e.a6);
    return pick(mx, pick(my, b3, b2), pick(my, b1, b0));
}

// Offset over edge, as a fraction of the edge; a zero edge keeps the lower node.
// Written without a select on the quotient: for an edge fixed over the loop the compiler
// would keep that select's condition scalar, and the loop would not vectorise.
[[gnu::always_inline]] inline double fraction(double offset, double edge) {
    const bool zero = edge == 0.0;
    return (offset * pick(zero, 0.0, 1.0)) / pick(zero, 1.0, edge);
}

// max(0, x): x when above zero, else +0.0 (NaN included). In a loop that vectorises this is
// a vector max; a single value takes MAXSD itself, as GCC would branch on the comparison.
template <bool kScalar>
[[gnu::always_inline]] inline double positivePart(double x) {
    if constexpr (kScalar) return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(x), _mm_setzero_pd()));
    return std::max(0.0, x);
}

// Weights of a cube's nodes seen from its origin, from the fractions along the three edges
// out of it: the fractions' order picks one of the six tetrahedra around the diagonal from
// node 0 to node 7, and only that tetrahedron's four weights are non-zero.
template <bool kScalar = false>
[[gnu::always_inline]] inline void tetrahedralWeights(double tx, double ty, double tz, double* w) {
    w[0] = 1.0 - std::max(tx, std::max(ty, tz));
    w[7] = std::min(tx, std::min(ty, tz));
    w[4] = positivePart<kScalar>(tx - std::max(ty, tz));
    w[2] = positivePart<kScalar>(ty - std::max(tx, tz));
    w[1] = positivePart<kScalar>(tz - std::max(tx, ty));
    w[6] = positivePart<kScalar>(std::min(tx, ty) - tz);
    w[5] = positivePart<kScalar>(std::min(tx, tz) - ty);
    w[3] = positivePart<kScalar>(std::min(ty, tz) - tx);
}

// The sum of term(0) ... term(7) in one fixed order, so that every path gives the same bits.
template <typename Term>
[[gnu::always_inline]] inline auto weightedSum(Term term) {
    return ((term(0) + term(1)) + (term(2) + term(3))) +
           ((term(4) + term(5)) + (term(6) + term(7)));
}

// Tetrahedral interpolation over a block: the fractions along the three edges from the
// origin pick one of the six tetrahedra around the diagonal from node 0 to node 7, and
// each node's weight follows from their order. Mirror = false serves blocks without a
// negative coordinate. Writes Out components into out[0..Out-1]. Twin = true also
// interpolates the values of `twin`, a cube with the same node positions, into
// twinOut[0..Out-1], from the same weights.
template <int Out, bool Mirror, bool Twin = false>
[[gnu::always_inline]] inline void tetrahedralKernel(const Cube& cube, const double* __restrict px,
                                                     const double* __restrict py,
                                                     const double* __restrict pz,
                                                     double* const* out, std::size_t n,
                                                     const Cube* twin = nullptr,
                                                     double* const* twinOut = nullptr) {
    const Cube c = cube;  // a local copy: the output rows cannot alias it
    double twinValues[Out][8];
    if constexpr (Twin)
        for (int k = 0; k < Out; ++k)
            std::copy_n(twin->v[k], 8, twinValues[k]);
    // Results gather in a local array: writes through `out` would need run-time alias
    // checks, which fail for adjacent rows, and the loop would run unvectorised.
    double res[Out][kBlock];
    double twinRes[Twin ? Out : 1][Twin ? kBlock : 1];
    const Eight x0 = eight(c.x0), ex = eight(c.ex), y0 = eight(c.y0), ey = eight(c.ey),
                z0 = eight(c.z0), ez = eight(c.ez);
    for (std::size_t i = 0; i < n; ++i) {
        const bool mx = Mirror & (px[i] < 0.0), my = Mirror & (py[i] < 0.0),
                   mz = Mirror & (pz[i] < 0.0);
        const double tx = fraction(px[i] - byOrigin(x0, mx, my, mz), byOrigin(ex, mx, my, mz));
        const double ty = fraction(py[i] - byOrigin(y0, mx, my, mz), byOrigin(ey, mx, my, mz));
        const double tz = fraction(pz[i] - byOrigin(z0, mx, my, mz), byOrigin(ez, mx, my, mz));
        double w[8];
        tetrahedralWeights(tx, ty, tz, w);
        if constexpr (Mirror) {
            // Node i of the cube carries the weight of mirrored node i ^ o.
            auto swapIf = [&](bool m, int bit) __attribute__((always_inline)) {
#pragma GCC unroll 8
                for (int k = 0; k < 8; ++k) {
                    if (k & bit) continue;
                    const double lo = w[k], hi = w[k | bit];
                    w[k] = pick(m, hi, lo);
                    w[k | bit] = pick(m, lo, hi);
                }
            };
            swapIf(mx, 4);
            swapIf(my, 2);
            swapIf(mz, 1);
        }
#pragma GCC unroll 4
        for (int k = 0; k < Out; ++k) {
            const double* v = c.v[k];
            res[k][i] = weightedSum([&](int j) { return w[j] * v[j]; });
        }
        if constexpr (Twin) {
#pragma GCC unroll 4
            for (int k = 0; k < Out; ++k) {
                const double* v = twinValues[k];
                twinRes[k][i] = weightedSum([&](int j) { return w[j] * v[j]; });
            }
        }
    }
    for (int k = 0; k < Out; ++k)
        std::copy_n(res[k], n, out[k]);
    if constexpr (Twin)
        for (int k = 0; k < Out; ++k)
            std::copy_n(twinRes[k], n, twinOut[k]);
}

// The linear chain for one point over a cube whose node i lies at (x(i), y(i), z(i)) with
// value components v(k, i): along x on the four x edges, along y between the results, along
// z between those two.
template <int Out, typename Nodes>
[[gnu::always_inline]] inline void linearChain(const Nodes& c, double px, double py, double pz,
                                               double* out) {
    const double ta = fraction(px - c.x(0), c.x(4) - c.x(0));
    const double tb = fraction(px - c.x(2), c.x(6) - c.x(2));
    const double tc = fraction(px - c.x(1), c.x(5) - c.x(1));
    const double td = fraction(px - c.x(3), c.x(7) - c.x(3));
    const double ya = (1.0 - ta) * c.y(0) + ta * c.y(4);
    const double yb = (1.0 - tb) * c.y(2) + tb * c.y(6);
    const double yc = (1.0 - tc) * c.y(1) + tc * c.y(5);
    const double yd = (1.0 - td) * c.y(3) + td * c.y(7);
    const double tab = fraction(py - ya, yb - ya);
    const double tcd = fraction(py - yc, yd - yc);
    const double tz = fraction(pz - c.z(0), c.z(7) - c.z(0));
#pragma GCC unroll 4
    for (int k = 0; k < Out; ++k) {
        const double a = (1.0 - ta) * c.v(k, 0) + ta * c.v(k, 4);
        const double b = (1.0 - tb) * c.v(k, 2) + tb * c.v(k, 6);
        const double cc = (1.0 - tc) * c.v(k, 1) + tc * c.v(k, 5);
        const double d = (1.0 - td) * c.v(k, 3) + td * c.v(k, 7);
        const double ab = (1.0 - tab) * a + tab * b;
        const double cd = (1.0 - tcd) * cc + tcd * d;
        out[k] = (1.0 - tz) * ab + tz * cd;
    }
}

// A Cube's nodes as linearChain reads them.
struct CubeNodes {
    const Cube& c;
    [[gnu::always_inline]] double x(int i) const { return c.x[i]; }
    [[gnu::always_inline]] double y(int i) const { return c.y[i]; }
    [[gnu::always_inline]] double z(int i) const { return c.z[i]; }
    [[gnu::always_inline]] double v(int k, int i) const { return c.v[k][i]; }
};

// Linear chain over a block.
template <int Out>
[[gnu::always_inline]] inline void linearBlock(const Cube& cube, const double* __restrict px,
                                               const double* __restrict py,
                                               const double* __restrict pz, double* const* out,
                                               std::size_t n) {
    const Cube c = cube;
    const CubeNodes nodes{c};
    // Results gather in a local array: writes through `out` would need run-time alias
    // checks, which fail for adjacent rows, and the loop would run unvectorised.
    double res[Out][kBlock];
    for (std::size_t i = 0; i < n; ++i) {
        double r[Out];
        linearChain<Out>(nodes, px[i], py[i], pz[i], r);
        for (int k = 0; k < Out; ++k)
            res[k][i] = r[k];
    }
    for (int k = 0; k < Out; ++k)
        std::copy_n(res[k], n, out[k]);
}

// Whether any point of the block may lie below zero on an axis, so that mirroring may
// apply: any sign bit set (negative zeros and NaNs too, which the mirroring kernel
// handles as the plain one does). An integer OR reduction, which vectorises.
[[gnu::always_inline]] inline bool anyNegative(const double* px, const double* py, const double* pz,
                                               std::size_t n) {
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < n; ++i)
        any |= std::bit_cast<std::uint64_t>(px[i]) | std::bit_cast<std::uint64_t>(py[i]) |
               std::bit_cast<std::uint64_t>(pz[i]);
    return (any >> 63) != 0;
}

// Twin = true: see tetrahedralKernel.
template <int Out, bool Twin = false>
[[gnu::always_inline]] inline void tetrahedralBlock(const Cube& c, const double* px,
                                                    const double* py, const double* pz,
                                                    double* const* out, std::size_t n,
                                                    const Cube* twin = nullptr,
                                                    double* const* twinOut = nullptr) {
    if (anyNegative(px, py, pz, n))
        tetrahedralKernel<Out, true, Twin>(c, px, py, pz, out, n, twin, twinOut);
    else
        tetrahedralKernel<Out, false, Twin>(c, px, py, pz, out, n, twin, twinOut);
}

// A point's tetrahedron in one cube, as the block kernels find it: the origin o mirrors the
// cube on each axis where the point's coordinate is negative, and node i takes weight
// w[i ^ o].
struct Tetrahedron {
    int o;
    double w[8];
};

template <typename Nodes>
[[gnu::always_inline]] inline Tetrahedron tetrahedronOf(const Nodes& c, double px, double py,
                                                        double pz) {
    Tetrahedron t;
    t.o = (px < 0.0 ? 4 : 0) | (py < 0.0 ? 2 : 0) | (pz < 0.0 ? 1 : 0);
    auto weigh = [&](int o) __attribute__((always_inline)) {
        tetrahedralWeights<true>(fraction(px - c.x(o), c.x(o ^ 4) - c.x(o)),
                                 fraction(py - c.y(o), c.y(o ^ 2) - c.y(o)),
                                 fraction(pz - c.z(o), c.z(o ^ 1) - c.z(o)), t.w);
    };
    // Without a mirror every index is a constant.
    if (t.o == 0)
        weigh(0);
    else
        weigh(t.o);
    return t;
}

// Whether the edges out of origin o lie at the same places in both cubes, bit for bit: then
// a point has the same tetrahedron in both.
template <typename Nodes>
[[gnu::always_inline]] inline bool sameEdges(const Nodes& a, const Nodes& b, int o) {
    auto differ = [](double x, double y) {
        return std::bit_cast<std::uint64_t>(x) ^ std::bit_cast<std::uint64_t>(y);
    };
    return (differ(a.x(o), b.x(o)) | differ(a.x(o ^ 4), b.x(o ^ 4)) | differ(a.y(o), b.y(o)) |
            differ(a.y(o ^ 2), b.y(o ^ 2)) | differ(a.z(o), b.z(o)) |
            differ(a.z(o ^ 1), b.z(o ^ 1))) == 0;
}

// The four components of a record side by side, as two SSE2 pairs: each lane does one
// component's arithmetic.
struct Lanes {
    using Pair = double __attribute__((vector_size(16)));
    Pair a, b;
    double operator[](int k) const { return k < 2 ? a[k] : b[k - 2]; }
};

[[gnu::always_inline]] inline Lanes operator+(const Lanes& x, const Lanes& y) {
    return {x.a + y.a, x.b + y.b};
}

[[gnu::always_inline]] inline Lanes operator*(double w, const Lanes& x) {
    return {w * x.a, w * x.b};
}

// The same four lanes as one 32-byte vector, for builds with AVX: kept in locals and passed
// by reference only, so that no function's ABI depends on the build.
using Wide = double __attribute__((vector_size(32)));

// The weighted sum of a cube's value records (Nodes::record(i): node i's four components)
// as lanes of type V, Lanes or Wide. Lanes sum their terms as values; Wide ones stay in
// locals, which no lambda returns.
template <typename V, typename Nodes>
[[gnu::always_inline]] inline void weighted(const Nodes& c, const double* w, V& sum) {
    if constexpr (std::is_same_v<V, Lanes>) {
        sum = weightedSum([&](int j) {
            Lanes t;
            std::memcpy(&t.a, c.record(j), sizeof t.a);
            std::memcpy(&t.b, c.record(j) + 2, sizeof t.b);
            return w[j] * t;
        });
    } else {
        auto term = [&](int j, V& t) __attribute__((always_inline)) {
            std::memcpy(&t, c.record(j), sizeof t);
            t = w[j] * t;
        };
        V t0, t1, t2, t3, t4, t5, t6, t7;
        term(0, t0), term(1, t1), term(2, t2), term(3, t3);
        term(4, t4), term(5, t5), term(6, t6), term(7, t7);
        sum = ((t0 + t1) + (t2 + t3)) + ((t4 + t5) + (t6 + t7));
    }
}

template <typename V, typename Nodes>
[[gnu::always_inline]] inline void weighted(const Nodes& c, const Tetrahedron& t, V& sum) {
    // Without a mirror every index is a constant.
    if (t.o == 0) return weighted(c, t.w, sum);
    double w[8];
    for (int j = 0; j < 8; ++j)
        w[j] = t.w[j ^ t.o];
    weighted(c, w, sum);
}

// A point of a 4D cell by the block kernels' arithmetic, term for term, so that a point
// gives the same bits alone as in a block: both cubes (Nodes reads as linearChain's do, the
// lower at w0 along the fourth axis, the upper at w8) at the point's x, y, z, then along w
// between them, the components in lanes of type V. Writes Out components.
template <CellScheme Scheme, int Out, typename V, typename Nodes>
[[gnu::always_inline]] inline void cellPoint(const Nodes& lower, const Nodes& upper, double w0,
                                             double w8, const ColorRecord& p, double* out) {
    const double px = p.v[0], py = p.v[1], pz = p.v[2];
    const double t = fraction(p.v[3] - w0, w8 - w0);
    if constexpr (Scheme == CellScheme::Linear) {
        double lo[Out], hi[Out];
        linearChain<Out>(lower, px, py, pz, lo);
        linearChain<Out>(upper, px, py, pz, hi);
        for (int k = 0; k < Out; ++k)
            out[k] = (1.0 - t) * lo[k] + t * hi[k];
    } else {
        const Tetrahedron inLower = tetrahedronOf(lower, px, py, pz);
        V lo, hi;
        weighted(lower, inLower, lo);
        if (sameEdges(lower, upper, inLower.o))
            weighted(upper, inLower, hi);
        else
            weighted(upper, tetrahedronOf(upper, px, py, pz), hi);
        const V r = (1.0 - t) * lo + t * hi;
        for (int k = 0; k < Out; ++k)
            out[k] = r[k];
    }
}

}  // namespace grid
}  // namespace chromel

#endif  // CHROMEL_GRID_INTERP_H
