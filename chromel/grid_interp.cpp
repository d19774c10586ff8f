// Interpolation inside one cell of a colour grid: tetrahedral or a chain of linear steps,
// over 3D cells (8 nodes) or 4D cells (two cubes along w), with 3 or 4 output components.
#include "chromel/grid_interp.h"

#include <cstring>

#include "chromel/abi_guard.h"
#include "chromel/isa_dispatch.h"

namespace chromel {
namespace {

// Whether two cubes' nodes lie at the same places, bit for bit.
bool samePositions(const Cube& a, const Cube& b) {
    return std::memcmp(a.x, b.x, sizeof a.x) == 0 && std::memcmp(a.y, b.y, sizeof a.y) == 0 &&
           std::memcmp(a.z, b.z, sizeof a.z) == 0;
}

// A 4D cell interpolates both cubes at the point's x, y, z, then along w between them.
// Tetrahedral weights depend on the positions alone: cubes at the same places share them.
template <CellScheme Scheme, int In, int Out>
[[gnu::always_inline]] inline void interpolate(const GridNode* cell,
                                               std::span<const ColorRecord> points,
                                               ColorRecord* out) {
    const Cube lower = cubeOf(cell);
    Cube upper{};
    double w0 = 0.0, w8 = 0.0;
    if constexpr (In == 4) {
        upper = cubeOf(cell + 8);
        w0 = cell[0].position.v[3];
        w8 = cell[8].position.v[3];
    }
    const bool shared = Scheme == CellScheme::Tetrahedral && In == 4 && samePositions(lower, upper);
    auto cube = [&](const Cube& c, const Block4& b, double* const* dst, std::size_t n)
        __attribute__((always_inline)) {
        if constexpr (Scheme == CellScheme::Tetrahedral)
            grid::tetrahedralBlock<Out>(c, b.c[0], b.c[1], b.c[2], dst, n);
        else
            grid::linearBlock<Out>(c, b.c[0], b.c[1], b.c[2], dst, n);
    };
    forEachBlock4(
        points, out, [&](Block4 & b, std::size_t n) __attribute__((always_inline)) {
            if constexpr (In == 4) {
                double lo[4][kBlock], hi[4][kBlock];
                double* const loRows[4] = {lo[0], lo[1], lo[2], lo[3]};
                double* const hiRows[4] = {hi[0], hi[1], hi[2], hi[3]};
                if constexpr (Scheme == CellScheme::Tetrahedral) {
                    if (shared)
                        grid::tetrahedralBlock<Out, true>(lower, b.c[0], b.c[1], b.c[2], loRows, n,
                                                          &upper, hiRows);
                    else
                        cube(lower, b, loRows, n), cube(upper, b, hiRows, n);
                } else {
                    cube(lower, b, loRows, n), cube(upper, b, hiRows, n);
                }
                double t[kBlock];
                for (std::size_t i = 0; i < n; ++i)
                    t[i] = grid::fraction(b.c[3][i] - w0, w8 - w0);
                for (int k = 0; k < Out; ++k)
                    for (std::size_t i = 0; i < n; ++i)
                        b.c[k][i] = (1.0 - t[i]) * lo[k][i] + t[i] * hi[k][i];
            } else {
                // The kernels read every point before they write a result.
                double* const rows[4] = {b.c[0], b.c[1], b.c[2], b.c[3]};
                cube(lower, b, rows, n);
            }
            if constexpr (Out == 3) std::fill_n(b.c[3], n, 0.0);
        });
}

struct Job {
    const GridNode* cell;
    std::span<const ColorRecord> points;
    ColorRecord* out;
};

template <CellScheme Scheme, int In, int Out>
[[gnu::always_inline]] inline void interpolateBlocks(const Job& job) {
    interpolate<Scheme, In, Out>(job.cell, job.points, job.out);
}

using CellFunction = void (*)(Isa, const Job&);

template <CellScheme Scheme, int In, int Out>
constexpr CellFunction kBuilds = &isa::run<Job, interpolateBlocks<Scheme, In, Out>>;

constexpr CellScheme kTetrahedral = CellScheme::Tetrahedral;
constexpr CellScheme kLinear = CellScheme::Linear;

// Indexed by scheme, then input and output dimension less 3.
constexpr CellFunction kCellFunctions[2][2][2] = {
    {{kBuilds<kTetrahedral, 3, 3>, kBuilds<kTetrahedral, 3, 4>},
     {kBuilds<kTetrahedral, 4, 3>, kBuilds<kTetrahedral, 4, 4>}},
    {{kBuilds<kLinear, 3, 3>, kBuilds<kLinear, 3, 4>},
     {kBuilds<kLinear, 4, 3>, kBuilds<kLinear, 4, 4>}},
};

int32_t run(CellScheme scheme, int32_t inDims, int32_t outDims, const GridNode* cell,
            const ColorRecord* points, uint32_t count, ColorRecord* out) {
    const bool dimsOk = (inDims == 3 || inDims == 4) && (outDims == 3 || outDims == 4);
    if (!dimsOk) return -1;
    if (count == 0) return 0;
    if (cell == nullptr || points == nullptr || out == nullptr) return -1;
    interpolateCell(scheme, inDims, outDims, cell, {points, count}, out);
    return 0;
}

}  // namespace

void interpolateCell(CellScheme scheme, int inDims, int outDims, const GridNode* cell,
                     std::span<const ColorRecord> points, ColorRecord* out, Isa isa) {
    kCellFunctions[scheme == CellScheme::Linear][inDims == 4][outDims == 4](isa,
                                                                            {cell, points, out});
}

void interpolateCell(CellScheme scheme, int inDims, int outDims, const GridNode* cell,
                     std::span<const ColorRecord> points, ColorRecord* out) {
    interpolateCell(scheme, inDims, outDims, cell, points, out, hostIsa());
}

}  // namespace chromel

// Nothing here allocates or throws, so these run without the exception guard.
extern "C" {

using chromel::CellScheme;

int32_t QelColor_ExtractColors_TriLinear(int32_t inDims, int32_t outDims, const GridNode* cell,
                                         const ColorRecord* points, uint32_t count,
                                         ColorRecord* out) noexcept {
    return chromel::run(CellScheme::Tetrahedral, inDims, outDims, cell, points, count, out);
}

int32_t QelColor_ExtractColors_Linear(int32_t inDims, int32_t outDims, const GridNode* cell,
                                      const ColorRecord* points, uint32_t count,
                                      ColorRecord* out) noexcept {
    return chromel::run(CellScheme::Linear, inDims, outDims, cell, points, count, out);
}

int32_t QelColor_ExtractColors(int32_t inDims, int32_t outDims, const GridNode* cell,
                               const ColorRecord* points, uint32_t count, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColors_TriLinear")));

int32_t QelColor_ExtractColor_TriLinear(int32_t inDims, int32_t outDims, const GridNode* cell,
                                        const ColorRecord* point, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(inDims, outDims, cell, point, 1, out);
}

int32_t QelColor_ExtractColor(int32_t inDims, int32_t outDims, const GridNode* cell,
                              const ColorRecord* point, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColor_TriLinear")));

int32_t QelColor_ExtractColor_Linear(int32_t inDims, int32_t outDims, const GridNode* cell,
                                     const ColorRecord* point, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(inDims, outDims, cell, point, 1, out);
}

// The fixed forms: each array form, its scheme-less alias, and the single-point forms.

int32_t QelColor_ExtractColors_TriLinear_3D3D(const GridNode* cell, const ColorRecord* points,
                                              uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(3, 3, cell, points, count, out);
}

int32_t QelColor_ExtractColors_3D3D(const GridNode* cell, const ColorRecord* points, uint32_t count,
                                    ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColors_TriLinear_3D3D")));

int32_t QelColor_ExtractColors_Linear_3D3D(const GridNode* cell, const ColorRecord* points,
                                           uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(3, 3, cell, points, count, out);
}

int32_t QelColor_ExtractColor_TriLinear_3D3D(const GridNode* cell, const ColorRecord* point,
                                             ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(3, 3, cell, point, 1, out);
}

int32_t QelColor_ExtractColor_3D3D(const GridNode* cell, const ColorRecord* point,
                                   ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColor_TriLinear_3D3D")));

int32_t QelColor_ExtractColor_Linear_3D3D(const GridNode* cell, const ColorRecord* point,
                                          ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(3, 3, cell, point, 1, out);
}

int32_t QelColor_ExtractColors_TriLinear_3D4D(const GridNode* cell, const ColorRecord* points,
                                              uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(3, 4, cell, points, count, out);
}

int32_t QelColor_ExtractColors_3D4D(const GridNode* cell, const ColorRecord* points, uint32_t count,
                                    ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColors_TriLinear_3D4D")));

int32_t QelColor_ExtractColors_Linear_3D4D(const GridNode* cell, const ColorRecord* points,
                                           uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(3, 4, cell, points, count, out);
}

int32_t QelColor_ExtractColor_TriLinear_3D4D(const GridNode* cell, const ColorRecord* point,
                                             ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(3, 4, cell, point, 1, out);
}

int32_t QelColor_ExtractColor_3D4D(const GridNode* cell, const ColorRecord* point,
                                   ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColor_TriLinear_3D4D")));

int32_t QelColor_ExtractColor_Linear_3D4D(const GridNode* cell, const ColorRecord* point,
                                          ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(3, 4, cell, point, 1, out);
}

int32_t QelColor_ExtractColors_TriLinear_4D3D(const GridNode* cell, const ColorRecord* points,
                                              uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(4, 3, cell, points, count, out);
}

int32_t QelColor_ExtractColors_4D3D(const GridNode* cell, const ColorRecord* points, uint32_t count,
                                    ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColors_TriLinear_4D3D")));

int32_t QelColor_ExtractColors_Linear_4D3D(const GridNode* cell, const ColorRecord* points,
                                           uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(4, 3, cell, points, count, out);
}

int32_t QelColor_ExtractColor_TriLinear_4D3D(const GridNode* cell, const ColorRecord* point,
                                             ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(4, 3, cell, point, 1, out);
}

int32_t QelColor_ExtractColor_4D3D(const GridNode* cell, const ColorRecord* point,
                                   ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColor_TriLinear_4D3D")));

int32_t QelColor_ExtractColor_Linear_4D3D(const GridNode* cell, const ColorRecord* point,
                                          ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(4, 3, cell, point, 1, out);
}

int32_t QelColor_ExtractColors_TriLinear_4D4D(const GridNode* cell, const ColorRecord* points,
                                              uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(4, 4, cell, points, count, out);
}

int32_t QelColor_ExtractColors_4D4D(const GridNode* cell, const ColorRecord* points, uint32_t count,
                                    ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColors_TriLinear_4D4D")));

int32_t QelColor_ExtractColors_Linear_4D4D(const GridNode* cell, const ColorRecord* points,
                                           uint32_t count, ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(4, 4, cell, points, count, out);
}

int32_t QelColor_ExtractColor_TriLinear_4D4D(const GridNode* cell, const ColorRecord* point,
                                             ColorRecord* out) noexcept {
    return QelColor_ExtractColors_TriLinear(4, 4, cell, point, 1, out);
}

int32_t QelColor_ExtractColor_4D4D(const GridNode* cell, const ColorRecord* point,
                                   ColorRecord* out) noexcept
    __attribute__((alias("QelColor_ExtractColor_TriLinear_4D4D")));

int32_t QelColor_ExtractColor_Linear_4D4D(const GridNode* cell, const ColorRecord* point,
                                          ColorRecord* out) noexcept {
    return QelColor_ExtractColors_Linear(4, 4, cell, point, 1, out);
}

}  // extern "C"
