// Lab from a CMYK grid: a C x M x Y lattice per K level, located by binary search and
// interpolated with the 4D cell kernels; and the pick-by-difference of candidate colours.
#include "chromel/cmyk_grid_lab.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "chromel/abi_guard.h"
#include "chromel/d_control.h"
#include "chromel/interval_search.h"
#include "chromel/isa.h"

namespace chromel {
namespace {

constexpr int kMaxEntries = 256;

// Breakpoints of one axis, every `stride` doubles. An evenly spaced axis may also carry
// the map from a value to its interval's index, exact to within one (see markEven). No
// member initialisers: a grid's 256 layers are left unwritten until used.
struct Axis {
    const double* b;
    std::size_t stride;
    int n;
    bool even;
    double origin, scale;

    static Axis over(const double* b, std::size_t stride, int n) {
        return {b, stride, n, false, 0.0, 0.0};
    }

    double at(int i) const { return b[static_cast<std::size_t>(i) * stride]; }
    // 1 + the interval index by arithmetic, within 1 ... n - 1; NaN gives n - 1.
    int guess(double v) const {
        const double q = (v - origin) * scale;
        const double top = n - 2;
        return 1 + static_cast<int>(q > 0.0 ? (q < top ? q : top) : (q <= 0.0 ? 0.0 : top));
    }
};

// The upper end i of the interval holding v: values below b_0 take the first interval,
// values at or above the last breakpoint the last one. An even axis moves its guess by at
// most one step either way, with no jump that depends on v; both breakpoints are read at
// the guess, as v below the lower one is also below the upper.
[[gnu::always_inline]] inline int upperIndex(const Axis& a, double v) {
    if (!a.even) return chromel::upperIndex(a.b, a.stride, a.n, v);
    const int i = a.guess(v);
    return i - ((i > 1) & (v < a.at(i - 1))) + ((i < a.n - 1) & !(v < a.at(i)));
}

// Marks the axis even when the guess lies within one of the search's answer everywhere:
// both are monotonic in v, so checking at each breakpoint covers the values between.
void markEven(Axis& a) {
    a.even = false;
    const double span = a.at(a.n - 1) - a.at(0);
    if (!(span > 0.0)) return;
    a.origin = a.at(0);
    a.scale = (a.n - 1) / span;
    for (int i = 1; i < a.n; ++i) {
        // Values from b_(i-1) up to b_i have upper index i (the last interval runs on).
        if (!(a.at(i) >= a.at(i - 1))) return;
        if (a.guess(a.at(i - 1)) < i - 1 || a.guess(a.at(i)) > i + 1) return;
    }
    a.even = true;
}

// The four axes of a grid whose layers share even axes, located together: C, M in one pair
// of lanes, Y, K in the other. Each lane gives what upperIndex gives for its axis.
struct EvenAxes {
    __m128d origin[2], scale[2], top[2];
    __m128i last;                                      // n - 1 per axis
    std::array<std::array<double, kMaxEntries>, 4> b;  // each axis's breakpoints, in a row

    void set(const std::array<const Axis*, 4>& axes) {
        double o[4], sc[4], t[4];
        alignas(16) std::int32_t l[4];
        for (int a = 0; a < 4; ++a) {
            const Axis& axis = *axes[a];
            o[a] = axis.origin, sc[a] = axis.scale, t[a] = axis.n - 2, l[a] = axis.n - 1;
            for (int i = 0; i < axis.n; ++i)
                b[a][i] = axis.at(i);
        }
        for (int h = 0; h < 2; ++h) {
            origin[h] = _mm_loadu_pd(o + 2 * h);
            scale[h] = _mm_loadu_pd(sc + 2 * h);
            top[h] = _mm_loadu_pd(t + 2 * h);
        }
        last = _mm_load_si128(reinterpret_cast<const __m128i*>(l));
    }

    // The guesses (see Axis::guess; MINPD takes the bound for NaN), then the corrections
    // from the two breakpoints around each.
    [[gnu::always_inline]] std::array<int, 4> upper(const ColorRecord& p) const {
        __m128d v[2];
        __m128i guess[2];
        for (int h = 0; h < 2; ++h) {
            v[h] = _mm_loadu_pd(p.v + 2 * h);
            const __m128d q = _mm_mul_pd(_mm_sub_pd(v[h], origin[h]), scale[h]);
            guess[h] = _mm_cvttpd_epi32(_mm_max_pd(_mm_min_pd(q, top[h]), _mm_setzero_pd()));
        }
        const __m128i one = _mm_set1_epi32(1);
        const __m128i i = _mm_add_epi32(_mm_unpacklo_epi64(guess[0], guess[1]), one);
        alignas(16) std::array<int, 4> at;
        _mm_store_si128(reinterpret_cast<__m128i*>(at.data()), i);
        __m128d around[4];  // b[i - 1], b[i]
        for (int a = 0; a < 4; ++a)
            around[a] = _mm_loadu_pd(&b[a][at[a] - 1]);
        __m128d below[2], above[2];
        for (int h = 0; h < 2; ++h) {
            below[h] = _mm_cmplt_pd(v[h], _mm_unpacklo_pd(around[2 * h], around[2 * h + 1]));
            above[h] = _mm_cmpnlt_pd(v[h], _mm_unpackhi_pd(around[2 * h], around[2 * h + 1]));
        }
        // The 64-bit masks as 32-bit ones, each -1 where set.
        auto narrow = [](__m128d lo, __m128d hi) {
            return _mm_castps_si128(
                _mm_shuffle_ps(_mm_castpd_ps(lo), _mm_castpd_ps(hi), _MM_SHUFFLE(2, 0, 2, 0)));
        };
        const __m128i down = _mm_and_si128(narrow(below[0], below[1]), _mm_cmpgt_epi32(i, one));
        const __m128i up = _mm_and_si128(narrow(above[0], above[1]), _mm_cmplt_epi32(i, last));
        _mm_store_si128(reinterpret_cast<__m128i*>(at.data()),
                        _mm_sub_epi32(_mm_add_epi32(i, down), up));
        return at;
    }
};

struct Layer {
    std::array<Axis, 3> axes;  // C, M, Y
    std::size_t base;          // global index of the layer's first node
};

struct Grid {
    Axis k;
    std::array<Layer, kMaxEntries> layers;
    const ColorRecord* positions = nullptr;
    const ColorRecord* values = nullptr;
    bool sameLayers = false;  // every layer has the first one's breakpoints
    bool evenShared = false;  // and all their axes, K's too, are even
    bool onAxes = false;      // and every node lies at its breakpoints
    EvenAxes evenAxes;        // set when evenShared
};

bool sameBreakpoints(const Axis& a, const Axis& b) {
    if (a.n != b.n) return false;
    for (int i = 0; i < a.n; ++i)
        if (!(a.at(i) == b.at(i))) return false;
    return true;
}

std::size_t nodeCount(const Grid& g) {
    const auto n = static_cast<std::size_t>(g.layers[0].axes[0].n);
    return static_cast<std::size_t>(g.k.n) * n * n * n;
}

// Whether every node of an even shared grid lies at its breakpoints, bit for bit.
bool nodesOnAxes(const Grid& g) {
    const auto& b = g.evenAxes.b;
    const int n = g.layers[0].axes[0].n;
    const ColorRecord* node = g.positions;
    for (int k = 0; k < g.k.n; ++k)
        for (int c = 0; c < n; ++c)
            for (int m = 0; m < n; ++m)
                for (int y = 0; y < n; ++y, ++node) {
                    const double at[4] = {b[0][c], b[1][m], b[2][y], b[3][k]};
                    if (std::memcmp(node->v, at, sizeof at) != 0) return false;
                }
    return true;
}

// Checks that cost a few operations per breakpoint, worth making for many points: which
// axes are even, and whether all layers share their breakpoints.
constexpr std::uint32_t kCheckedCount = 64;

void checkAxes(Grid& g, std::uint32_t count) {
    if (count < kCheckedCount) return;
    markEven(g.k);
    g.sameLayers = true;
    for (int j = 1; j < g.k.n && g.sameLayers; ++j)
        for (int a = 0; a < 3; ++a)
            g.sameLayers =
                g.sameLayers && sameBreakpoints(g.layers[j].axes[a], g.layers[0].axes[a]);
    // Shared layers are located on the first one's axes.
    for (int j = 0; j < (g.sameLayers ? 1 : g.k.n); ++j)
        for (Axis& a : g.layers[j].axes)
            markEven(a);
    const auto& axes = g.layers[0].axes;
    g.evenShared = g.sameLayers && g.k.even &&
                   std::all_of(axes.begin(), axes.end(), [](const Axis& a) { return a.even; });
    if (g.evenShared) g.evenAxes.set({&axes[0], &axes[1], &axes[2], &g.k});
    g.onAxes = g.evenShared && count >= nodeCount(g) && nodesOnAxes(g);
}

// The cell of a point: its K interval and the upper indices on each axis of both layers.
struct CellKey {
    int j = -1;
    int i[2][3] = {};
};

[[gnu::always_inline]] inline CellKey locate(const Grid& g, const ColorRecord& p) {
    CellKey key;
    key.j = upperIndex(g.k, p.v[3]) - 1;
    if (g.sameLayers) {
        // The searches need not wait for the layer.
        for (int a = 0; a < 3; ++a)
            key.i[0][a] = key.i[1][a] = upperIndex(g.layers[0].axes[a], p.v[a]);
        return key;
    }
    for (int l = 0; l < 2; ++l)
        for (int a = 0; a < 3; ++a)
            key.i[l][a] = upperIndex(g.layers[key.j + l].axes[a], p.v[a]);
    return key;
}

// One cube of a layer read where its nodes lie: a layer of n nodes per axis is stored
// C-major, so node i (bits 4, 2, 1 for C, M, Y) sits n^2, n and 1 records on from node 0
// for each bit set. pos and val point at node 0's records.
struct LatticeCube {
    const ColorRecord* pos;
    const ColorRecord* val;
    std::size_t n, nn;

    [[gnu::always_inline]] std::size_t offset(int i) const {
        return ((i & 4) ? nn : 0) + ((i & 2) ? n : 0) + static_cast<std::size_t>(i & 1);
    }
    [[gnu::always_inline]] const double* position(int i) const { return pos[offset(i)].v; }
    [[gnu::always_inline]] double x(int i) const { return pos[offset(i)].v[0]; }
    [[gnu::always_inline]] double y(int i) const { return pos[offset(i)].v[1]; }
    [[gnu::always_inline]] double z(int i) const { return pos[offset(i)].v[2]; }
    [[gnu::always_inline]] double v(int k, int i) const { return val[offset(i)].v[k]; }
    [[gnu::always_inline]] const double* record(int i) const { return val[offset(i)].v; }
};

// A cell's two cubes, the lower layer's first. Located on even shared axes, a cell also
// keeps its lower breakpoints' indices (C, M, Y, K).
struct CellNodes {
    LatticeCube cube[2];
    std::array<int, 4> lower;
    const double* position(int node) const { return cube[node / 8].position(node % 8); }
};

// A cube whose nodes lie at its axes' breakpoints, bit for bit: the positions are read from
// the axes (x, y, z: the cube's lower breakpoint on each), the values where they lie.
struct AxisCube {
    const double *x0, *y0, *z0;
    const LatticeCube& nodes;

    [[gnu::always_inline]] double x(int i) const { return x0[(i >> 2) & 1]; }
    [[gnu::always_inline]] double y(int i) const { return y0[(i >> 1) & 1]; }
    [[gnu::always_inline]] double z(int i) const { return z0[i & 1]; }
    [[gnu::always_inline]] double v(int k, int i) const { return nodes.v(k, i); }
    [[gnu::always_inline]] const double* record(int i) const { return nodes.record(i); }
};

[[gnu::always_inline]] inline CellNodes nodesOf(const Grid& g, const CellKey& key) {
    CellNodes nodes{};
    for (int l = 0; l < 2; ++l) {
        const Layer& layer = g.layers[key.j + l];
        const auto n = static_cast<std::size_t>(layer.axes[0].n);
        const auto c = static_cast<std::size_t>(key.i[l][0] - 1);
        const auto m = static_cast<std::size_t>(key.i[l][1] - 1);
        const auto y = static_cast<std::size_t>(key.i[l][2] - 1);
        const std::size_t first = layer.base + (c * n + m) * n + y;
        nodes.cube[l] = {g.positions + first, g.values + first, n, n * n};
    }
    return nodes;
}

// The cell of a point, from its position on the axes.
[[gnu::always_inline]] inline CellNodes cellOf(const Grid& g, const ColorRecord& p) {
    if (!g.evenShared) return nodesOf(g, locate(g, p));
    // Every layer has n^3 nodes.
    const std::array<int, 4> i = g.evenAxes.upper(p);
    const auto n = static_cast<std::size_t>(g.layers[0].axes[0].n);
    const std::size_t nn = n * n;
    auto lower = [](int upper) { return static_cast<std::size_t>(upper - 1); };
    const std::size_t first = ((lower(i[3]) * n + lower(i[0])) * n + lower(i[1])) * n + lower(i[2]);
    const std::size_t next = first + nn * n;
    return {{{g.positions + first, g.values + first, n, nn},
             {g.positions + next, g.values + next, n, nn}},
            {i[0] - 1, i[1] - 1, i[2] - 1, i[3] - 1}};
}

void buildCell(const CellNodes& nodes, GridNode* cell) {
    for (int node = 0; node < 16; ++node) {
        const LatticeCube& cube = nodes.cube[node / 8];
        cell[node] = {cube.pos[cube.offset(node % 8)], cube.val[cube.offset(node % 8)]};
    }
}

// One point in its cell without building the cell: the kernels' arithmetic on the cubes'
// nodes (lower at w0 along K, upper at w8), the components in lanes of type V.
template <typename V, typename Nodes>
[[gnu::always_inline]] inline ColorRecord pointIn(CellScheme scheme, const Nodes& lower,
                                                  const Nodes& upper, double w0, double w8,
                                                  const ColorRecord& p) {
    ColorRecord out{};
    if (scheme == CellScheme::Linear)
        grid::cellPoint<CellScheme::Linear, 3, V>(lower, upper, w0, w8, p, out.v);
    else
        grid::cellPoint<CellScheme::Tetrahedral, 3, V>(lower, upper, w0, w8, p, out.v);
    return out;
}

// The nodes where they lie.
template <typename V>
[[gnu::always_inline]] inline ColorRecord cellPoint(CellScheme scheme, const CellNodes& nodes,
                                                    const ColorRecord& p) {
    return pointIn<V>(scheme, nodes.cube[0], nodes.cube[1], nodes.position(0)[3],
                      nodes.position(8)[3], p);
}

// Nodes that lie at the axes' breakpoints: the same numbers, without reading the positions.
template <typename V>
[[gnu::always_inline]] inline ColorRecord axisPoint(CellScheme scheme, const EvenAxes& axes,
                                                    const CellNodes& nodes, const ColorRecord& p) {
    const double* at[4];
    for (int a = 0; a < 4; ++a)
        at[a] = &axes.b[a][nodes.lower[a]];
    return pointIn<V>(scheme, AxisCube{at[0], at[1], at[2], nodes.cube[0]},
                      AxisCube{at[0], at[1], at[2], nodes.cube[1]}, at[3][0], at[3][1], p);
}

bool validCount(std::int32_t n) {
    return n >= 2 && n <= kMaxEntries;
}

// Reads the K levels and sets each layer's node offset. False when a count is out of range.
bool setUp(Grid& g, const GridDescriptor& kLevels) {
    if (!validCount(kLevels.count)) return false;
    g.k = Axis::over(kLevels.values, 1, kLevels.count);
    std::size_t base = 0;
    for (int j = 0; j < kLevels.count; ++j) {
        Layer& layer = g.layers[j];
        if (!validCount(layer.axes[0].n)) return false;
        const auto n = static_cast<std::size_t>(layer.axes[0].n);
        layer.base = base;
        base += n * n * n;
    }
    return true;
}

bool sharedGrid(Grid& g, const GridDescriptor* desc) {
    if (!validCount(desc[0].count)) return false;
    for (int j = 0; j < desc[0].count; ++j) {
        const GridDescriptor& e = desc[1 + j];
        for (Axis& a : g.layers[j].axes)
            a = Axis::over(e.values, 1, e.count);
    }
    return setUp(g, desc[0]);
}

bool perAxisGrid(Grid& g, const GridDescriptor* kLevels, const GridDescriptor2* layers) {
    if (!validCount(kLevels->count)) return false;
    for (int j = 0; j < kLevels->count; ++j) {
        const GridDescriptor2& e = layers[j];
        for (int a = 0; a < 3; ++a)
            g.layers[j].axes[a] = Axis::over(&e.breakpoints[0].v[a], 4, e.count);
    }
    return setUp(g, *kLevels);
}

bool operator==(const CellNodes& a, const CellNodes& b) {
    return a.cube[0].pos == b.cube[0].pos && a.cube[1].pos == b.cube[1].pos;
}

// Points located ahead of their interpolation: the loads of a batch's cells then start
// together instead of each waiting for the previous point's arithmetic.
constexpr std::size_t kAhead = 32;
static_assert(kAhead <= kBlock);
// Runs shorter than this go point by point: the cell kernel's set-up would cost more.
constexpr std::size_t kShortRun = 16;

template <typename Warp>
struct LookUpJob {
    const Grid& g;
    CellScheme scheme;
    std::span<const ColorRecord> cmyk;
    ColorRecord* lab;
    Warp& warp;
    Isa isa;  // for the kernels
};

// Interpolates each point in its cell. Consecutive points of one cell in a batch share the
// cell's nodes and go to the kernel together; a point alone in its cell is interpolated
// where the nodes lie, with the same arithmetic in lanes of type V. `warp` may move a point inside
// its cell: it is told of each new cell (onCell) and then maps the points.
template <typename V, typename Warp>
[[gnu::always_inline]] inline void lookUpLoop(const LookUpJob<Warp>& job) {
    const Grid& g = job.g;
    CellNodes ahead[kAhead];
    GridNode cell[16];
    CellNodes built{};  // the cell in `cell`
    ColorRecord run[kAhead];
    for (std::size_t start = 0; start < job.cmyk.size(); start += kAhead) {
        const std::size_t size = std::min(kAhead, job.cmyk.size() - start);
        const ColorRecord* p = job.cmyk.data() + start;
        ColorRecord* out = job.lab + start;
        for (std::size_t i = 0; i < size; ++i)
            ahead[i] = cellOf(g, p[i]);
        for (std::size_t i = 0, end; i < size; i = end) {
            const CellNodes& nodes = ahead[i];
            job.warp.onCell(nodes);
            for (end = i + 1; end < size && ahead[end] == nodes;)
                ++end;
            if (end - i < kShortRun) {
                for (std::size_t k = i; k < end; ++k)
                    out[k] = g.onAxes ? axisPoint<V>(job.scheme, g.evenAxes, nodes, job.warp(p[k]))
                                      : cellPoint<V>(job.scheme, nodes, job.warp(p[k]));
                continue;
            }
            for (std::size_t k = i; k < end; ++k)
                run[k - i] = job.warp(p[k]);
            if (!(built == nodes)) buildCell(nodes, cell);
            built = nodes;
            interpolateCell(job.scheme, 4, 3, cell, {run, end - i}, out + i, job.isa);
        }
    }
}

// One build for AVX, whose lanes fill a register, and one for the rest; they give the
// same bits.
template <typename Warp>
[[gnu::target("avx2")]] void lookUpOnAvx2(const LookUpJob<Warp>& job) {
    lookUpLoop<grid::Wide>(job);
}

template <typename Warp>
void lookUpOnBaseline(const LookUpJob<Warp>& job) {
    lookUpLoop<grid::Lanes>(job);
}

template <typename Warp>
void lookUp(const Grid& g, CellScheme scheme, std::span<const ColorRecord> cmyk, ColorRecord* lab,
            Warp& warp, Isa isa) {
    const LookUpJob<Warp> job{g, scheme, cmyk, lab, warp, isa};
    if (isa == Isa::Baseline)
        lookUpOnBaseline(job);
    else
        lookUpOnAvx2(job);
}

struct NoWarp {
    void onCell(const CellNodes&) {}
    ColorRecord operator()(const ColorRecord& p) const { return p; }
};

// Per-axis gamma inside the cell, applied only strictly between the cell's bounds.
struct GammaWarp {
    std::array<double, 4> gamma;
    std::array<double, 4> lo{}, hi{};
    void onCell(const CellNodes& cell) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::max(cell.position(0)[a], cell.position(8)[a]);
            hi[a] = std::min(cell.position(7)[a], cell.position(15)[a]);
        }
        lo[3] = cell.position(0)[3];
        hi[3] = cell.position(8)[3];
    }
    ColorRecord operator()(ColorRecord p) const {
        for (int a = 0; a < 4; ++a)
            if (p.v[a] > lo[a] && p.v[a] < hi[a])
                p.v[a] = lo[a] +
                         (hi[a] - lo[a]) * std::pow((p.v[a] - lo[a]) / (hi[a] - lo[a]), gamma[a]);
        return p;
    }
};

// The point moved to where the corrected colour falls, the correction taken as linear
// between the corrected cell bounds.
struct ControlWarp {
    const ToneCurves& curves;
    double lo[4] = {}, hi[4] = {}, loOut[4] = {}, hiOut[4] = {};
    void onCell(const CellNodes& cell) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(cell.position(0)[a], cell.position(8)[a]);
            hi[a] = std::max(cell.position(7)[a], cell.position(15)[a]);
        }
        lo[3] = cell.position(0)[3];
        hi[3] = cell.position(8)[3];
        curves.apply(lo, loOut);
        curves.apply(hi, hiOut);
    }
    ColorRecord operator()(ColorRecord p) const {
        double out[4];
        curves.apply(p.v, out);
        for (int a = 0; a < 4; ++a) {
            if (out[a] == hiOut[a])
                p.v[a] = hi[a];
            else if (out[a] == loOut[a])
                p.v[a] = lo[a];
            else if (hiOut[a] != loOut[a])
                p.v[a] = lo[a] + (out[a] - loOut[a]) * (hi[a] - lo[a]) / (hiOut[a] - loOut[a]);
        }
        return p;
    }
};

bool pointersOk(const void* a, const void* b, const void* c, const void* d, const void* e) {
    return a != nullptr && b != nullptr && c != nullptr && d != nullptr && e != nullptr;
}

template <typename Warp>
bool sharedLookUp(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
                  const ColorRecord* values, const ColorRecord* cmyk, uint32_t count,
                  ColorRecord* lab, Warp& warp, Isa isa = hostIsa()) {
    if (count == 0) return true;
    if (!pointersOk(desc, positions, values, cmyk, lab)) return false;
    Grid g;
    if (!sharedGrid(g, desc)) return false;
    g.positions = positions;
    g.values = values;
    checkAxes(g, count);
    lookUp(g, scheme, {cmyk, count}, lab, warp, isa);
    return true;
}

int32_t plainLookUp(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
                    const ColorRecord* values, const ColorRecord* cmyk, uint32_t count,
                    ColorRecord* lab) {
    NoWarp none;
    if (!sharedLookUp(scheme, desc, positions, values, cmyk, count, lab, none)) return -1;
    return static_cast<int32_t>(count - 1);
}

int32_t gammaLookUp(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
                    const ColorRecord* values, double gC, double gM, double gY, double gK,
                    const ColorRecord* cmyk, uint32_t count, ColorRecord* lab) {
    GammaWarp warp{{gC, gM, gY, gK}};
    return sharedLookUp(scheme, desc, positions, values, cmyk, count, lab, warp) ? 0 : -1;
}

int32_t controlLookUp(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
                      const ColorRecord* values, const DControlRecord* control, const double* r,
                      const ColorRecord* cmyk, uint32_t count, ColorRecord* lab) {
    if (control == nullptr) return -1;
    const ToneCurves curves(*control, true, r);
    if (!curves.active()) {
        NoWarp none;
        return sharedLookUp(scheme, desc, positions, values, cmyk, count, lab, none) ? 0 : -1;
    }
    ControlWarp warp{curves};
    return sharedLookUp(scheme, desc, positions, values, cmyk, count, lab, warp) ? 0 : -1;
}

}  // namespace

bool gridLabs(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
              const ColorRecord* values, std::span<const ColorRecord> cmyk, ColorRecord* lab,
              Isa isa) {
    NoWarp none;
    return sharedLookUp(scheme, desc, positions, values, cmyk.data(),
                        static_cast<uint32_t>(cmyk.size()), lab, none, isa);
}

bool gridLabs(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
              const ColorRecord* values, std::span<const ColorRecord> cmyk, ColorRecord* lab) {
    return gridLabs(scheme, desc, positions, values, cmyk, lab, hostIsa());
}

void pickByDifference(std::span<const double> d, const ColorRecord* candidates, std::int32_t n,
                      int dims, ColorRecord* out) {
    if (d.empty()) return;
    const std::size_t take =
        std::clamp<std::size_t>(n < 1 ? 1 : static_cast<std::size_t>(n), 1, d.size());
    // The usual few candidates need no allocation.
    std::array<std::size_t, 64> few;
    std::vector<std::size_t> many;
    if (take > few.size()) many.resize(take);
    const std::span<std::size_t> chosen =
        take > few.size() ? std::span<std::size_t>(many) : std::span<std::size_t>(few.data(), take);
    for (std::size_t i = 0; i < take; ++i)
        chosen[i] = i;
    if (take < d.size()) {
        // The first of the largest selected differences.
        auto largest = [&] {
            std::size_t at = 0;
            for (std::size_t s = 1; s < take; ++s)
                if (d[chosen[s]] > d[chosen[at]]) at = s;
            return at;
        };
        std::size_t worst = largest();
        for (std::size_t i = take; i < d.size(); ++i)
            if (d[i] < d[chosen[worst]]) {
                chosen[worst] = i;
                worst = largest();
            }
    }
    const bool exact =
        std::any_of(chosen.begin(), chosen.end(), [&](std::size_t i) { return d[i] == 0.0; });
    double sum[4] = {}, weights = 0.0;
    for (const std::size_t i : chosen) {
        const double w = exact ? (d[i] == 0.0 ? 1.0 : 0.0) : 1.0 / (d[i] * d[i] + 1.0);
        for (int k = 0; k < dims; ++k)
            sum[k] += w * candidates[i].v[k];
        weights += w;
    }
    for (int k = 0; k < dims; ++k)
        out->v[k] = std::clamp(sum[k] / weights, 0.0, 255.0);
}

}  // namespace chromel

extern "C" {

using chromel::CellScheme;

int32_t QelColor_ExtractLabsFromCMYKGridData_TriLinear(const GridDescriptor* desc,
                                                       const ColorRecord* positions,
                                                       const ColorRecord* values,
                                                       const ColorRecord* cmyk, uint32_t count,
                                                       ColorRecord* lab) noexcept {
    return chromel::plainLookUp(CellScheme::Tetrahedral, desc, positions, values, cmyk, count, lab);
}
int32_t QelColor_ExtractLabsFromCMYKGridData_Linear(const GridDescriptor* desc,
                                                    const ColorRecord* positions,
                                                    const ColorRecord* values,
                                                    const ColorRecord* cmyk, uint32_t count,
                                                    ColorRecord* lab) noexcept {
    return chromel::plainLookUp(CellScheme::Linear, desc, positions, values, cmyk, count, lab);
}
int32_t QelColor_ExtractLabsFromCMYKGridData(const GridDescriptor* desc,
                                             const ColorRecord* positions,
                                             const ColorRecord* values, const ColorRecord* cmyk,
                                             uint32_t count, ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabsFromCMYKGridData_TriLinear")));
int32_t QelColor_ExtractLabFromCMYKGridData_TriLinear(const GridDescriptor* desc,
                                                      const ColorRecord* positions,
                                                      const ColorRecord* values,
                                                      const ColorRecord* cmyk,
                                                      ColorRecord* lab) noexcept {
    return QelColor_ExtractLabsFromCMYKGridData_TriLinear(desc, positions, values, cmyk, 1, lab);
}
int32_t QelColor_ExtractLabFromCMYKGridData(const GridDescriptor* desc,
                                            const ColorRecord* positions, const ColorRecord* values,
                                            const ColorRecord* cmyk, ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabFromCMYKGridData_TriLinear")));
int32_t QelColor_ExtractLabWithCMYKGridData(const GridDescriptor* desc,
                                            const ColorRecord* positions, const ColorRecord* values,
                                            const ColorRecord* cmyk, ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabFromCMYKGridData_TriLinear")));
int32_t QelColor_ExtractLabFromCMYKGridData_Linear(const GridDescriptor* desc,
                                                   const ColorRecord* positions,
                                                   const ColorRecord* values,
                                                   const ColorRecord* cmyk,
                                                   ColorRecord* lab) noexcept {
    return QelColor_ExtractLabsFromCMYKGridData_Linear(desc, positions, values, cmyk, 1, lab);
}

int32_t QelColor_ExtractLabsFromCMYKGridDataWithGamma_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values, double gC,
    double gM, double gY, double gK, const ColorRecord* cmyk, uint32_t count,
    ColorRecord* lab) noexcept {
    return chromel::gammaLookUp(CellScheme::Tetrahedral, desc, positions, values, gC, gM, gY, gK,
                                cmyk, count, lab);
}
int32_t QelColor_ExtractLabsFromCMYKGridDataWithGamma_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values, double gC,
    double gM, double gY, double gK, const ColorRecord* cmyk, uint32_t count,
    ColorRecord* lab) noexcept {
    return chromel::gammaLookUp(CellScheme::Linear, desc, positions, values, gC, gM, gY, gK, cmyk,
                                count, lab);
}
int32_t QelColor_ExtractLabsFromCMYKGridDataWithGamma(const GridDescriptor* desc,
                                                      const ColorRecord* positions,
                                                      const ColorRecord* values, double gC,
                                                      double gM, double gY, double gK,
                                                      const ColorRecord* cmyk, uint32_t count,
                                                      ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabsFromCMYKGridDataWithGamma_TriLinear")));
int32_t QelColor_ExtractLabFromCMYKGridDataWithGamma_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values, double gC,
    double gM, double gY, double gK, const ColorRecord* cmyk, ColorRecord* lab) noexcept {
    return chromel::gammaLookUp(CellScheme::Tetrahedral, desc, positions, values, gC, gM, gY, gK,
                                cmyk, 1, lab);
}
int32_t QelColor_ExtractLabFromCMYKGridDataWithGamma(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values, double gC,
    double gM, double gY, double gK, const ColorRecord* cmyk, ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabFromCMYKGridDataWithGamma_TriLinear")));
int32_t QelColor_ExtractLabFromCMYKGridDataWithGamma_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values, double gC,
    double gM, double gY, double gK, const ColorRecord* cmyk, ColorRecord* lab) noexcept {
    return chromel::gammaLookUp(CellScheme::Linear, desc, positions, values, gC, gM, gY, gK, cmyk,
                                1, lab);
}

int32_t QelColor_ExtractLabsFromCMYKGridData2(const GridDescriptor* kLevels,
                                              const GridDescriptor2* layers,
                                              const ColorRecord* positions,
                                              const ColorRecord* values, const ColorRecord* cmyk,
                                              uint32_t count, ColorRecord* lab) noexcept {
    using namespace chromel;
    if (count == 0) return 0;
    if (layers == nullptr || !pointersOk(kLevels, positions, values, cmyk, lab)) return -1;
    Grid g;
    if (!perAxisGrid(g, kLevels, layers)) return -1;
    g.positions = positions;
    g.values = values;
    checkAxes(g, count);
    NoWarp none;
    lookUp(g, CellScheme::Tetrahedral, {cmyk, count}, lab, none, hostIsa());
    return 0;
}
int32_t QelColor_ExtractLabFromCMYKGridData2(const GridDescriptor* kLevels,
                                             const GridDescriptor2* layers,
                                             const ColorRecord* positions,
                                             const ColorRecord* values, const ColorRecord* cmyk,
                                             ColorRecord* lab) noexcept {
    return QelColor_ExtractLabsFromCMYKGridData2(kLevels, layers, positions, values, cmyk, 1, lab);
}

int32_t QelColor_ExtractLabsFromCMYKGridDataForDControl2_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* r, const ColorRecord* cmyk, uint32_t count,
    ColorRecord* lab) noexcept {
    return chromel::controlLookUp(CellScheme::Tetrahedral, desc, positions, values, control, r,
                                  cmyk, count, lab);
}
int32_t QelColor_ExtractLabsFromCMYKGridDataForDControl2_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* r, const ColorRecord* cmyk, uint32_t count,
    ColorRecord* lab) noexcept {
    return chromel::controlLookUp(CellScheme::Linear, desc, positions, values, control, r, cmyk,
                                  count, lab);
}
int32_t QelColor_ExtractLabsFromCMYKGridDataForDControl2(const GridDescriptor* desc,
                                                         const ColorRecord* positions,
                                                         const ColorRecord* values,
                                                         const DControlRecord* control,
                                                         const double* r, const ColorRecord* cmyk,
                                                         uint32_t count, ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabsFromCMYKGridDataForDControl2_TriLinear")));
int32_t QelColor_ExtractLabFromCMYKGridDataForDControl2_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* r, const ColorRecord* cmyk,
    ColorRecord* lab) noexcept {
    return chromel::controlLookUp(CellScheme::Tetrahedral, desc, positions, values, control, r,
                                  cmyk, 1, lab);
}
int32_t QelColor_ExtractLabFromCMYKGridDataForDControl2(const GridDescriptor* desc,
                                                        const ColorRecord* positions,
                                                        const ColorRecord* values,
                                                        const DControlRecord* control,
                                                        const double* r, const ColorRecord* cmyk,
                                                        ColorRecord* lab) noexcept
    __attribute__((alias("QelColor_ExtractLabFromCMYKGridDataForDControl2_TriLinear")));
int32_t QelColor_ExtractLabFromCMYKGridDataForDControl2_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* r, const ColorRecord* cmyk,
    ColorRecord* lab) noexcept {
    return chromel::controlLookUp(CellScheme::Linear, desc, positions, values, control, r, cmyk, 1,
                                  lab);
}

// The selection allocates when n is large; an allocation failure writes nothing.
void QelColor_Extract4DColorFromDeltaEAryBySamplingNum(const double* differences,
                                                       const ColorRecord* candidates,
                                                       uint32_t count, int32_t n,
                                                       ColorRecord* out) noexcept {
    if (differences == nullptr || candidates == nullptr || out == nullptr) return;
    chromel::abiGuard([&] {
        chromel::pickByDifference({differences, count}, candidates, n, 4, out);
    });
}
void QelColor_ExtractCMYKFromDeltaEAryBySamplingNum(const double* differences,
                                                    const ColorRecord* candidates, uint32_t count,
                                                    int32_t n, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_Extract4DColorFromDeltaEAryBySamplingNum")));
void QelColor_ExtractCMYKWithDeltaE(const double* differences, const ColorRecord* candidates,
                                    uint32_t count, int32_t n, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_Extract4DColorFromDeltaEAryBySamplingNum")));
void QelColor_Extract3DColorFromDeltaEAryBySamplingNum(const double* differences,
                                                       const ColorRecord* candidates,
                                                       uint32_t count, int32_t n,
                                                       ColorRecord* out) noexcept {
    if (differences == nullptr || candidates == nullptr || out == nullptr) return;
    chromel::abiGuard([&] {
        chromel::pickByDifference({differences, count}, candidates, n, 3, out);
    });
}
void QelColor_ExtractRGBFromDeltaEAryBySamplingNum(const double* differences,
                                                   const ColorRecord* candidates, uint32_t count,
                                                   int32_t n, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_Extract3DColorFromDeltaEAryBySamplingNum")));
void QelColor_ExtractRGBWithDeltaE(const double* differences, const ColorRecord* candidates,
                                   uint32_t count, int32_t n, ColorRecord* out) noexcept
    __attribute__((alias("QelColor_Extract3DColorFromDeltaEAryBySamplingNum")));

}  // extern "C"
