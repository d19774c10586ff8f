// Interpolation inside one grid cell: tetrahedral and linear-chain kernels over blocks of
// points, shared by the exported cell functions and the CMYK separation.
#ifndef CHROMEL_GRID_INTERP_H
#define CHROMEL_GRID_INTERP_H

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

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
        // Weights of the mirrored cube's nodes; only the tetrahedron's four are non-zero.
        double w[8];
        w[0] = 1.0 - std::max(tx, std::max(ty, tz));
        w[7] = std::min(tx, std::min(ty, tz));
        w[4] = std::max(0.0, tx - std::max(ty, tz));
        w[2] = std::max(0.0, ty - std::max(tx, tz));
        w[1] = std::max(0.0, tz - std::max(tx, ty));
        w[6] = std::max(0.0, std::min(tx, ty) - tz);
        w[5] = std::max(0.0, std::min(tx, tz) - ty);
        w[3] = std::max(0.0, std::min(ty, tz) - tx);
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
            res[k][i] = ((w[0] * v[0] + w[1] * v[1]) + (w[2] * v[2] + w[3] * v[3])) +
                        ((w[4] * v[4] + w[5] * v[5]) + (w[6] * v[6] + w[7] * v[7]));
        }
        if constexpr (Twin) {
#pragma GCC unroll 4
            for (int k = 0; k < Out; ++k) {
                const double* v = twinValues[k];
                twinRes[k][i] = ((w[0] * v[0] + w[1] * v[1]) + (w[2] * v[2] + w[3] * v[3])) +
                                ((w[4] * v[4] + w[5] * v[5]) + (w[6] * v[6] + w[7] * v[7]));
            }
        }
    }
    for (int k = 0; k < Out; ++k)
        std::copy_n(res[k], n, out[k]);
    if constexpr (Twin)
        for (int k = 0; k < Out; ++k)
            std::copy_n(twinRes[k], n, twinOut[k]);
}

// Linear chain over a block: along x on the four x edges, along y between the results,
// along z between those two.
template <int Out>
[[gnu::always_inline]] inline void linearBlock(const Cube& cube, const double* __restrict px,
                                               const double* __restrict py,
                                               const double* __restrict pz, double* const* out,
                                               std::size_t n) {
    const Cube c = cube;
    // Results gather in a local array: writes through `out` would need run-time alias
    // checks, which fail for adjacent rows, and the loop would run unvectorised.
    double res[Out][kBlock];
    for (std::size_t i = 0; i < n; ++i) {
        const double ta = fraction(px[i] - c.x[0], c.x[4] - c.x[0]);
        const double tb = fraction(px[i] - c.x[2], c.x[6] - c.x[2]);
        const double tc = fraction(px[i] - c.x[1], c.x[5] - c.x[1]);
        const double td = fraction(px[i] - c.x[3], c.x[7] - c.x[3]);
        const double ya = (1.0 - ta) * c.y[0] + ta * c.y[4];
        const double yb = (1.0 - tb) * c.y[2] + tb * c.y[6];
        const double yc = (1.0 - tc) * c.y[1] + tc * c.y[5];
        const double yd = (1.0 - td) * c.y[3] + td * c.y[7];
        const double tab = fraction(py[i] - ya, yb - ya);
        const double tcd = fraction(py[i] - yc, yd - yc);
        const double tz = fraction(pz[i] - c.z[0], c.z[7] - c.z[0]);
#pragma GCC unroll 4
        for (int k = 0; k < Out; ++k) {
            const double* v = c.v[k];
            const double a = (1.0 - ta) * v[0] + ta * v[4];
            const double b = (1.0 - tb) * v[2] + tb * v[6];
            const double cc = (1.0 - tc) * v[1] + tc * v[5];
            const double d = (1.0 - td) * v[3] + td * v[7];
            const double ab = (1.0 - tab) * a + tab * b;
            const double cd = (1.0 - tcd) * cc + tcd * d;
            res[k][i] = (1.0 - tz) * ab + tz * cd;
        }
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

}  // namespace grid
}  // namespace chromel

#endif  // CHROMEL_GRID_INTERP_H
