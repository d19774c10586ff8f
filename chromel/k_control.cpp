// CMYK black control: a new K from a black-generation curve of the old K, limited by the
// total ink, with the removed or added black compensated in C, M and Y.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "chromel/abi_guard.h"
#include "chromel/cie.h"
#include "chromel/cmyk_grid_lab.h"
#include "chromel/curve_interp.h"
#include "chromel/vector_math.h"
#include "chromel32.h"

namespace chromel {
namespace {

using vmath::pick;

constexpr int32_t kFailed = -1;
constexpr std::size_t kBlock = 128;

enum CurveType : int32_t { kNone = 0, kGamma = 1, kSpline = 2, kPolynomial = 3, kLinear = 4 };

// 0-255 to percent and back, keeping the ends exact.
[[gnu::always_inline]] inline double percentOf(double v) {
    return pick(v == 255.0, 100.0, v * (100.0 / 255.0));
}
[[gnu::always_inline]] inline double fromPercent(double v) {
    return pick(v == 100.0, 255.0, v * 2.55);
}
double limit255(double v) {
    return std::clamp(v, 0.0, 255.0);
}

// A curve through a table of points with its coefficients set up once. Outside the
// table the end values hold.
class TableCurve {
public:
    // False for a table of fewer than 2 or more than 256 points, or whose x values
    // neither rise nor fall strictly.
    bool prepare(int32_t type, std::span<const CurvePoint> points) {
        m_type = type;
        m_points = points;
        if (points.size() < 2 || points.size() > kMaxCurvePoints) return false;
        m_rising = points[0].x < points[1].x;
        if (type == kPolynomial) return polynomialSetup(points, m_coefficients) != 0;
        // The linear curve has no coefficients, but a repeated x would divide by zero.
        return splineSetup(points, m_coefficients) != 0;
    }

    double operator()(double x) const {
        const CurvePoint first = m_points.front(), last = m_points.back();
        if (x <= first.x) return first.y;
        if (x >= last.x) return last.y;
        return inner(x);
    }

    // The interpolator itself, without the end values.
    double inner(double x) const {
        if (m_type == kPolynomial) return polynomialValue(m_points, m_coefficients, x);
        if (!m_rising)
            return m_type == kSpline ? splineValue(m_points, m_coefficients, x)
                                     : linearValue(m_points, x);
        // x0 < x < xn: the segment x[i] < x <= x[i + 1], found without branches (the
        // interpolators' own search takes the same segment).
        const std::size_t last = m_points.size() - 2;
        std::size_t i = 0;
        for (std::size_t step = std::bit_floor(last); step != 0; step >>= 1) {
            const std::size_t next = i + step;
            i = (next <= last && m_points[next].x < x) ? next : i;
        }
        const CurvePoint lo = m_points[i], hi = m_points[i + 1];
        if (m_type != kSpline || m_points.size() == 2)
            return ((hi.x - x) * lo.y + (x - lo.x) * hi.y) / (hi.x - lo.x);
        const double h = hi.x - lo.x;
        const double a = (hi.x - x) / h, b = (x - lo.x) / h;
        return a * lo.y + b * hi.y +
               ((a * a * a - a) * m_coefficients[i] + (b * b * b - b) * m_coefficients[i + 1]) *
                   (h * h) / 6.0;
    }

    // Joins strictly rising points by lines, whatever their number.
    void prepareLinear(std::span<const CurvePoint> points) {
        m_type = kLinear;
        m_points = points;
        m_rising = true;
    }

    std::span<const CurvePoint> points() const { return m_points; }
    const CurvePoint& first() const { return m_points.front(); }
    const CurvePoint& last() const { return m_points.back(); }

private:
    int32_t m_type = kLinear;
    bool m_rising = true;
    std::span<const CurvePoint> m_points;
    std::array<double, kMaxCurvePoints> m_coefficients{};
};

// The record's black-generation curve.
class BlackCurve {
public:
    bool prepare(const KControlParams& p) {
        m_type = p.curveType;
        m_gamma = p.gamma;
        if (m_type < kSpline || m_type > kLinear) return true;
        if (p.table == nullptr) return false;
        const auto* pts = reinterpret_cast<const CurvePoint*>(p.table);
        const std::size_t n = p.tableCount < 0 ? 0 : static_cast<std::size_t>(p.tableCount);
        return m_table.prepare(m_type, {pts, n});
    }

    int32_t type() const { return m_type; }
    const TableCurve& table() const { return m_table; }

    // f(x) over a block. Gamma curves take 255 (x / 255)^gamma with 0 and 255 kept
    // exact; a negative x counts as 0.
    void apply(const double* x, double* out, std::size_t n) const {
        if (m_type == kGamma) {
            gammaBlock(m_gamma, x, out, n);
            return;
        }
        for (std::size_t i = 0; i < n; ++i)
            out[i] = m_table(x[i]);
    }

private:
    [[gnu::target_clones("avx512f", "avx2", "default")]] static void gammaBlock(
        double gamma, const double* __restrict x, double* __restrict out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const double v = pick(x[i] < 0.0, 0.0, x[i]);
            const double curved = 255.0 * vmath::pow(v / 255.0, gamma);
            out[i] = pick(v == 0.0, 0.0, pick(v == 255.0, 255.0, curved));
        }
    }

    int32_t m_type = kNone;
    double m_gamma = 1.0;
    TableCurve m_table;
};

// K' = f(K) limited by the ink: 0 when not positive, else at most C + M + Y + K and
// 255 x ratio.
double limitBlack(double kNew, const ColorRecord& c, double inkLimit) {
    if (!(kNew > 0.0)) return 0.0;
    return std::min({kNew, c.v[0] + c.v[1] + c.v[2] + c.v[3], inkLimit});
}

struct Weights {
    double c, m, y;
};

// Method 0: the removed black shared by weights; weights summing to 0 share it equally.
Weights shareOf(const KControlParams& p) {
    const double wc = p.weightC, wm = p.weightM, wy = p.weightY;
    const double sum = wc + wm + wy;
    if (sum == 0.0) return {1.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0};
    return {wc / sum, wm / sum, wy / sum};
}

void weighted(const Weights& w, const ColorRecord& in, double kNew, ColorRecord& out) {
    const double c = in.v[0], m = in.v[1], y = in.v[2];
    const double d = in.v[3] - kNew;
    out = in;
    if (kNew == in.v[3] || c + m + y == 0.0) return;
    out.v[0] = limit255(c + d * w.c);
    out.v[1] = limit255(m + d * w.m);
    out.v[2] = limit255(y + d * w.y);
    out.v[3] = kNew;
}

// Method 1: the removed black shared in proportion to C, M and Y.
void proportional(const ColorRecord& in, double kNew, ColorRecord& out) {
    const double c = in.v[0], m = in.v[1], y = in.v[2], k = in.v[3];
    const double sum = c + m + y;
    out = in;
    if (kNew == k || sum == 0.0) return;  // no ink to share it with (or negative inputs)
    if (c == m && m == y) {
        out.v[0] = out.v[1] = out.v[2] = limit255((sum + k - kNew) / 3.0);
    } else {
        const double d = k - kNew;
        out.v[0] = limit255(c + d * c / sum);
        out.v[1] = limit255(m + d * m / sum);
        out.v[2] = limit255(y + d * y / sum);
    }
    out.v[3] = kNew;
}

struct Gcr {
    double h;          // black-start ratio in [0.1, 1]
    double threshold;  // K where black generation starts
    double z;          // (100 TL - 100) / 3
    double stretch;    // 255 / (255 - threshold)
    double invBig;     // 1 / (100 h)
};

Gcr gcrOf(const KControl2Params& p) {
    double h = p.blackStartRatio;
    if (h > 1.0) h = 1.0;
    if (!(h > 0.1)) h = 0.1;
    const double threshold = 255.0 - 255.0 * h;
    return {h, threshold, (100.0 * p.totalInkRatio - 100.0) / 3.0, 255.0 / (255.0 - threshold),
            1.0 / (100.0 * h)};
}

// The curve's argument of method 3: K rescaled from [threshold, 255] to [0, 255].
double gcrArgument(const Gcr& g, double k) {
    return k >= g.threshold ? (k - g.threshold) * g.stretch : 0.0;
}

// Method 3: gray-component replacement in percent, over planar blocks. k1 holds f of the
// rescaled K, not yet limited; the results replace c, m, y and k. Every step selects
// rather than branches, so the loop vectorises; lanes not picked may hold inf or NaN.
[[gnu::target_clones("avx512f", "avx2", "default")]] void grayReplacementBlock(
    const Gcr& gcr, double inkLimit, double* __restrict cc, double* __restrict mm,
    double* __restrict yy, double* __restrict kk, const double* __restrict k1s, std::size_t n) {
    const double big = 100.0 * gcr.h, z = gcr.z, h = gcr.h, invBig = gcr.invBig;
    // Scales by 100 / largest when the largest passes 100; the largest becomes 100.
    auto limitLargest = [](double& a, double& b, double& c) {
        const double top = std::max(std::max(a, b), c);
        const bool over = top > 100.0;
        const double f = pick(over, 100.0 / top, 1.0);
        a = pick(over & (a == top), 100.0, a * f);
        b = pick(over & (b == top), 100.0, b * f);
        c = pick(over & (c == top), 100.0, c * f);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const double C = cc[i], M = mm[i], Y = yy[i], K = kk[i], k1 = k1s[i];
        const double k1l = pick(k1 > 0.0, std::min(std::min(k1, C + M + Y + K), inkLimit), 0.0);
        const double c = percentOf(C), m = percentOf(M), y = percentOf(Y), k = percentOf(K);
        const double s3 = c + m + y, s4 = s3 + k;
        const double g0 = percentOf(k1l);
        const double g = pick(g0 > 0.0, std::min(std::min(g0, s4), 100.0), 0.0);
        const double kN = g * h;
        const bool copy = (kN == k) | (s3 == 0.0);
        // Gray-replaced target from the dominant (largest) residue rx; its channel's
        // percent value is rx + GC.
        const double d = k - kN, gc = std::min(std::min(c, m), y);
        const double r0 = c - gc, r1 = m - gc, r2 = y - gc;
        const double rx = std::max(std::max(r0, r1), r2), x = rx + gc;
        const double lifted = x + k * (x - z) / (big - k);
        const double top = pick((k != big) & (lifted > rx), std::min(lifted, 100.0), rx);
        const double per = top / rx;  // picked only where a residue is below rx > 0
        const double a0 = pick(r0 != rx, r0 * per, top), a1 = pick(r1 != rx, r1 * per, top),
                     a2 = pick(r2 != rx, r2 * per, top);
        // Proportional target.
        const double grow = 1.0 + d / s3;
        double b0 = c * grow, b1 = m * grow, b2 = y * grow;
        limitLargest(b0, b1, b2);
        // Blend, then keep the total. When all the ink went to black nothing is left to
        // rescale: C, M and Y are 0.
        const double q = kN * invBig, w = q - q * q;
        double t0 = b0 + (a0 - b0) * w, t1 = b1 + (a1 - b1) * w, t2 = b2 + (a2 - b2) * w;
        const double sum3 = t0 + t1 + t2;
        const double keep = pick(sum3 == 0.0, 0.0, (s4 - kN) / sum3);
        t0 *= keep, t1 *= keep, t2 *= keep;
        limitLargest(t0, t1, t2);
        cc[i] = pick(copy, C, fromPercent(t0));
        mm[i] = pick(copy, M, fromPercent(t1));
        yy[i] = pick(copy, Y, fromPercent(t2));
        kk[i] = pick(copy, K, fromPercent(kN));
    }
}

void grayReplacement(const Gcr& gcr, double inkLimit, const BlackCurve& curve,
                     std::span<const ColorRecord> in, ColorRecord* out) {
    double c[kBlock], m[kBlock], y[kBlock], k[kBlock], w[kBlock], k1[kBlock];
    for (std::size_t base = 0; base < in.size(); base += kBlock) {
        const std::size_t n = std::min(kBlock, in.size() - base);
        const ColorRecord* src = in.data() + base;
        for (std::size_t i = 0; i < n; ++i) {
            c[i] = src[i].v[0], m[i] = src[i].v[1], y[i] = src[i].v[2], k[i] = src[i].v[3];
            w[i] = gcrArgument(gcr, k[i]);
        }
        curve.apply(w, k1, n);
        grayReplacementBlock(gcr, inkLimit, c, m, y, k, k1, n);
        ColorRecord* dst = out + base;
        for (std::size_t i = 0; i < n; ++i)
            dst[i] = ColorRecord{{c[i], m[i], y[i], k[i]}};
    }
}

// Colours are read whole before anything is written, so out may be in.
template <typename PerColour>
void forEachColour(std::span<const ColorRecord> in, ColorRecord* out, const BlackCurve& curve,
                   PerColour&& perColour, double (*argument)(const ColorRecord&, const void*),
                   const void* context) {
    double x[kBlock], f[kBlock];
    ColorRecord local[kBlock];
    for (std::size_t base = 0; base < in.size(); base += kBlock) {
        const std::size_t n = std::min(kBlock, in.size() - base);
        std::memcpy(local, in.data() + base, n * sizeof(ColorRecord));
        for (std::size_t i = 0; i < n; ++i)
            x[i] = argument(local[i], context);
        curve.apply(x, f, n);
        for (std::size_t i = 0; i < n; ++i)
            perColour(local[i], f[i], out[base + i]);
    }
}

double blackOf(const ColorRecord& c, const void*) {
    return c.v[3];
}

void copyColours(std::span<const ColorRecord> in, ColorRecord* out) {
    if (in.data() != out) std::memmove(out, in.data(), in.size_bytes());
}

int32_t searchMethod(const KControlParams& p, const BlackCurve& curve,
                     std::span<const ColorRecord> in, ColorRecord* out);

// Methods 0-2 (and 3 when gcr is given). The curve is already set up.
int32_t runBasic(const KControlParams& p, const BlackCurve& curve, const Gcr* gcr,
                 std::span<const ColorRecord> in, ColorRecord* out) {
    const double inkLimit = 255.0 * p.inkLimitRatio;
    switch (p.method) {
        case 0: {
            const Weights w = shareOf(p);
            forEachColour(
                in, out, curve,
                [&](const ColorRecord& c, double f, ColorRecord& o) {
                    weighted(w, c, limitBlack(f, c, inkLimit), o);
                },
                blackOf, nullptr);
            return 0;
        }
        case 1:
            forEachColour(
                in, out, curve,
                [&](const ColorRecord& c, double f, ColorRecord& o) {
                    proportional(c, limitBlack(f, c, inkLimit), o);
                },
                blackOf, nullptr);
            return 0;
        case 2:
            return searchMethod(p, curve, in, out);
        case 3:
            if (gcr != nullptr) {
                grayReplacement(*gcr, inkLimit, curve, in, out);
                return 0;
            }
            [[fallthrough]];
        default:
            copyColours(in, out);
            return 0;
    }
}

// Curve type 0 or unknown: the input is copied. Otherwise the table must be usable.
template <typename Run>
int32_t withCurve(const KControlParams& p, std::span<const ColorRecord> in, ColorRecord* out,
                  Run&& run) {
    if (p.curveType < kGamma || p.curveType > kLinear) {
        copyColours(in, out);
        return 0;
    }
    BlackCurve curve;
    return curve.prepare(p) ? run(curve) : kFailed;
}

int32_t kControl(const KControlParams& p, const Gcr* gcr, std::span<const ColorRecord> in,
                 ColorRecord* out) {
    return withCurve(p, in, out,
                     [&](const BlackCurve& curve) { return runBasic(p, curve, gcr, in, out); });
}

// Method 2: seven ways of sharing the removed black over C, M and Y, each looked up in
// the grid and weighed by its difference from the input's Lab.
constexpr std::size_t kCandidates = 7;
constexpr double kShares[kCandidates][3] = {
    {1, 0, 0},
    {0, 1, 0},
    {0, 0, 1},
    {0.5, 0.5, 0},
    {0.5, 0, 0.5},
    {0, 0.5, 0.5},
    {1.0 / 3, 1.0 / 3, 1.0 / 3},
};

int32_t searchMethod(const KControlParams& p, const BlackCurve& curve,
                     std::span<const ColorRecord> in, ColorRecord* out) {
    if (p.gridDescriptor == nullptr || p.gridPositions == nullptr || p.gridValues == nullptr)
        return kFailed;
    const double inkLimit = 255.0 * p.inkLimitRatio;
    constexpr std::size_t kPer = kCandidates + 1;  // the input, then its candidates
    // The grid's checks, made once per call to it, pay over many colours (see gridLabs).
    const std::size_t chunk = std::min<std::size_t>(in.size(), 1024);
    std::vector<ColorRecord> local(chunk), probes(chunk * kPer), labs(chunk * kPer);
    std::vector<double> x(chunk), kNew(chunk);
    double d[kCandidates];
    for (std::size_t base = 0; base < in.size(); base += chunk) {
        const std::size_t n = std::min(chunk, in.size() - base);
        std::memcpy(local.data(), in.data() + base, n * sizeof(ColorRecord));
        for (std::size_t i = 0; i < n; ++i)
            x[i] = local[i].v[3];
        curve.apply(x.data(), kNew.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const ColorRecord& c = local[i];
            kNew[i] = limitBlack(kNew[i], c, inkLimit);
            const double removed = c.v[3] - kNew[i];
            ColorRecord* probe = probes.data() + i * kPer;
            probe[0] = c;
            for (std::size_t j = 0; j < kCandidates; ++j)
                probe[j + 1] =
                    ColorRecord{{c.v[0] + removed * kShares[j][0], c.v[1] + removed * kShares[j][1],
                                 c.v[2] + removed * kShares[j][2], kNew[i]}};
        }
        // The descriptor is the same for every chunk: only the first can be refused.
        if (!gridLabs(CellScheme::Tetrahedral, p.gridDescriptor, p.gridPositions, p.gridValues,
                      {probes.data(), n * kPer}, labs.data()))
            return kFailed;
        for (std::size_t i = 0; i < n; ++i) {
            ColorRecord& o = out[base + i];
            if (kNew[i] == local[i].v[3]) {
                o = local[i];
                continue;
            }
            const ColorRecord* lab = labs.data() + i * kPer;
            if (p.deltaE == nullptr)
                defaultDifferences(lab[0], {lab + 1, kCandidates}, d);
            else
                for (std::size_t j = 0; j < kCandidates; ++j)
                    d[j] = p.deltaE(&lab[0], &lab[j + 1]);
            pickByDifference(d, probes.data() + i * kPer + 1, kCandidates, 4, &o);
            o.v[3] = kNew[i];
        }
    }
    return 0;
}

// Method 4 --------------------------------------------------------------------------------
// Black generation along each colour's black line (through it and the black corner):
//  1. v = last table output / 255, at most (1 - (t - 2)^2 / 10)^2; the black point's
//     C, M, Y amount is 255 (t - v) / 3.
//  2. The table's spline sampled at K = 0 ... 255, rising points kept, axes exchanged and
//     the inputs rescaled to 0-255, is the inverted curve (identity when fewer than two
//     points rise); the samples pass through it with the record's curve type and are
//     scaled to 0-255 v.
//  3. Projections of the CMY from the black corner and from the white corner onto the
//     cube's faces, each separated with (p, k = 1, s, t).
//  4. The target total L follows the white-corner projection's ink (an arc for the
//     middle range).
//  5. K' = B(GC), GC = min(C, M, Y), B the curve of the record's type through
//     (sample_i, inverted_i) sorted by sample, repeated samples dropped. The black-corner
//     projection lies on a face through white, so its own gray component is 0 and GC runs
//     from 0 there to 255 at black: the samples are positions on that scale. B keeps its
//     end outputs outside its inputs; K' <= last output and <= 255 x ink ratio.
//  6. L - K' shared over C, M, Y in proportion to the input.
//  7. Correction w u r q g (1 - g) (projection channel - black point) with g the
//     position of K' between B's first and last input and u = K / 255, limited to [0, 1],
//     of the separation of the point g of the way from the projection to black.
//  8. C + M + Y rescaled to L - K'.
// The three search parameters are not used.
class BlackLine {
public:
    BlackLine(const KControl3Params& p, const TableCurve& table) : m_p(p) {
        const KControlParams& base = p.base.base;
        m_t = p.base.blackStartRatio;
        double v = table.last().y == 255.0 ? 1.0 : table.last().y / 255.0;
        const double w = 1.0 - (m_t - 2.0) * (m_t - 2.0) / 10.0;
        if (w * w < v) v = w * w;
        m_blackPoint = 255.0 * ((m_t - v) / 3.0);
        m_inkLimit = 255.0 * base.inkLimitRatio;
        buildBlackCurve(base, table, v);
    }

    void operator()(const ColorRecord& in, ColorRecord& out) const {
        double x[3];
        for (int i = 0; i < 3; ++i)
            x[i] = std::isfinite(in.v[i]) ? limit255(in.v[i]) : 0.0;
        if (x[0] == 0.0 && x[1] == 0.0 && x[2] == 0.0) {
            out = ColorRecord{{0.0, 0.0, 0.0, 0.0}};  // white: no ink to share
            return;
        }
        // Projections from black and from white; at either corner the point itself.
        double fb = HUGE_VAL, fw = HUGE_VAL;
        for (double c : x) {
            if (c < 255.0) fb = std::min(fb, 255.0 / (255.0 - c));
            if (c > 0.0) fw = std::min(fw, 255.0 / c);
        }
        if (fb == HUGE_VAL) fb = 1.0;
        ColorRecord pb{}, pw{};
        for (int i = 0; i < 3; ++i) {
            pb.v[i] = 255.0 - (255.0 - x[i]) * fb;
            pw.v[i] = x[i] * fw;
        }
        const double total = target(x, pw, separate(pw));
        const double gc = std::min({x[0], x[1], x[2]});
        double kNew = std::min({blackAt(gc), m_blackOut, m_inkLimit});
        if (!(kNew > 0.0)) kNew = 0.0;
        if (total <= kNew) {
            out = ColorRecord{{0.0, 0.0, 0.0, total}};
            return;
        }
        const double sum = x[0] + x[1] + x[2];
        double shared[3], corrected[3];
        for (int i = 0; i < 3; ++i)
            shared[i] = (total - kNew) * x[i] / sum;
        const double g = position(kNew);
        const double factor = g * (1.0 - g) * correction(x, pb, g);
        double sumCorrected = 0.0;
        for (int i = 0; i < 3; ++i) {
            corrected[i] = std::max(shared[i] + factor * (pb.v[i] - m_blackPoint), 0.0);
            sumCorrected += corrected[i];
        }
        const double* use = sumCorrected > 0.0 ? corrected : shared;
        const double scale = (total - kNew) / (sumCorrected > 0.0 ? sumCorrected : total - kNew);
        for (int i = 0; i < 3; ++i)
            out.v[i] = limit255(use[i] * scale);
        out.v[3] = limit255(kNew);
    }

private:
    ColorRecord separate(const ColorRecord& cmy) const {
        ColorRecord cmykOut{};
        QelColor_CMY2CMYK(&cmy, m_p.primaryRatio, 1.0, m_p.secondaryRatio, m_t, &cmykOut);
        return cmykOut;
    }

    // Target total ink from the input against its white-corner projection.
    static double target(const double (&x)[3], const ColorRecord& pw, const ColorRecord& sepWhite) {
        const double ink = sepWhite.v[0] + sepWhite.v[1] + sepWhite.v[2] + sepWhite.v[3];
        const double d = ink == 765.0 ? 1.0 : ink / 765.0;
        const double sumIn = x[0] + x[1] + x[2], pwSum = pw.v[0] + pw.v[1] + pw.v[2];
        const double c = sumIn == pwSum ? 100.0 : 100.0 * sumIn / pwSum;
        double e;
        if (c >= 100.0) {
            e = 100.0 * d;
        } else if (d >= 1.0) {
            e = d * c;
        } else {
            const double f = 100.0 * d * std::sqrt(d);
            if (c <= f) {
                e = c;
            } else {
                const double rise = 100.0 * d - f, run = 100.0 - f;
                const double r = rise * (run - rise) / (run - 2.0 * rise);
                if (std::isfinite(r) && r != 0.0) {
                    const double arg = 1.0 - (c - 100.0) * (c - 100.0) * (r - rise) / (r * r * run);
                    e = f + rise - r + r * std::sqrt(std::max(arg, 0.0));
                } else {
                    e = f + (c - f) * rise / run;  // a degenerate arc is a straight segment
                }
            }
        }
        return e == 100.0 ? 765.0 : 7.65 * e;
    }

    double blackAt(double gc) const {
        if (m_points.empty()) return 0.0;
        if (m_points.size() == 1) return m_points.front().y;
        return m_black(gc);
    }

    double position(double kNew) const {
        if (m_points.size() < 2) return 0.0;
        const double x0 = m_points.front().x, x1 = m_points.back().x;
        return std::clamp((kNew - x0) / (x1 - x0), 0.0, 1.0);
    }

    // w u r q of the correction.
    double correction(const double (&x)[3], const ColorRecord& pb, double g) const {
        ColorRecord moved{};
        for (int i = 0; i < 3; ++i)
            moved.v[i] = pb.v[i] + (255.0 - pb.v[i]) * g;
        const double u = std::clamp(separate(moved).v[3] / 255.0, 0.0, 1.0);
        const double r = std::max({pb.v[0], pb.v[1], pb.v[2]}) / 255.0;
        double delta = 0.0, span = 0.0;
        for (int i = 0; i < 3; ++i) {
            delta += (255.0 - x[i]) * (255.0 - x[i]);
            span += (255.0 - pb.v[i]) * (255.0 - pb.v[i]);
        }
        delta = std::sqrt(delta);
        const double rho = 0.08823529411764706 * std::sqrt(span);
        const double q = rho > delta ? 0.5 - 0.5 * std::cos(vmath::kPi * delta / rho) : 1.0;
        return weighting(u) * u * r * q;
    }

    double weighting(double u) const {
        if (!(m_t > 2.0)) return 1.0;
        const double s = (m_t - 2.0) * (m_t - 2.0);
        if (m_p.weightingSelector != 1) return 1.0 - s / 4.0;
        const double den = s * (u - 1.0) / 4.0 + 1.0;
        return den > 0.0 ? 1.0 / den : 0.0;
    }

    void buildBlackCurve(const KControlParams& base, const TableCurve& table, double v) {
        // The inverted curve.
        const TableCurve& spline = table;
        std::vector<CurvePoint> inverse;
        inverse.reserve(256);
        double last = spline(0.0);
        inverse.push_back({last, 0.0});
        for (int k = 1; k <= 255; ++k) {
            const double y = spline(k);
            if (y > last) inverse.push_back({last = y, double(k)});
        }
        TableCurve inverted;
        const bool invert = inverse.size() >= 2;
        if (invert) {
            const double lo = inverse.front().x, hi = inverse.back().x;
            for (auto& pt : inverse)
                pt.x = (pt.x - lo) / (hi - lo) * 255.0;
            inverse.back().x = 255.0;
            prepareAny(inverted, base.curveType, inverse);
        }
        const std::size_t n =
            m_p.samples == nullptr || m_p.sampleCount < 0 ? 0 : std::size_t(m_p.sampleCount);
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(m_p.samples[i])) continue;
            const double sample = limit255(m_p.samples[i]);
            double out = invert ? limit255(inverted(sample)) : sample;
            if (v < 1.0) out *= v;
            m_points.push_back({sample, out});
        }
        std::stable_sort(m_points.begin(), m_points.end(),
                         [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
        m_points.erase(
            std::unique(m_points.begin(), m_points.end(),
                        [](const CurvePoint& a, const CurvePoint& b) { return a.x == b.x; }),
            m_points.end());
        if (m_points.size() >= 2) prepareAny(m_black, base.curveType, m_points);
        m_blackOut = m_points.empty() ? 0.0 : m_points.back().y;
    }

    // Points already strictly rising; over 256 of them are joined by lines.
    static void prepareAny(TableCurve& curve, int32_t type, std::span<const CurvePoint> pts) {
        if (pts.size() > kMaxCurvePoints || !curve.prepare(type, pts)) curve.prepareLinear(pts);
    }

    const KControl3Params& m_p;
    double m_t = 0.0, m_blackPoint = 0.0, m_inkLimit = 0.0, m_blackOut = 0.0;
    std::vector<CurvePoint> m_points;
    TableCurve m_black;
};

int32_t blackLineMethod(const KControl3Params& p, const TableCurve& table,
                        std::span<const ColorRecord> in, ColorRecord* out) {
    const BlackLine line(p, table);
    const ColorRecord* src = p.useAlternativeInput != 0 && p.alternativeInput != nullptr
                                 ? p.alternativeInput
                                 : in.data();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const ColorRecord c = src[i];
        line(c, out[i]);
    }
    return 0;
}

int32_t kControl3(const KControl3Params& p, std::span<const ColorRecord> in, ColorRecord* out) {
    const KControlParams& base = p.base.base;
    if (base.method != 4) {
        const Gcr gcr = gcrOf(p.base);
        return kControl(base, &gcr, in, out);
    }
    if (base.curveType == kGamma) {
        KControlParams asGcr = base;
        asGcr.method = 3;
        const Gcr gcr = gcrOf(p.base);
        return kControl(asGcr, &gcr, in, out);
    }
    return withCurve(base, in, out, [&](const BlackCurve& curve) {
        // The table's spline, sampled in step 2.
        TableCurve spline;
        spline.prepare(kSpline, curve.table().points());
        return blackLineMethod(p, spline, in, out);
    });
}

template <typename Params, typename Run>
int32_t guarded(const ColorRecord* in, const Params* params, uint32_t count, ColorRecord* out,
                Run&& run) noexcept {
    return abiGuard(kFailed, [&]() -> int32_t {
        if (count == 0) return 0;
        if (in == nullptr || params == nullptr || out == nullptr) return kFailed;
        return run(*params, std::span<const ColorRecord>{in, count}, out);
    });
}

}  // namespace
}  // namespace chromel

// CMYK K-control -------------------------------------------------------------------------

int32_t QelColor_CMYKsKControl(const ColorRecord* in, const KControlParams* params, uint32_t count,
                               ColorRecord* out) noexcept {
    return chromel::guarded(in, params, count, out, [](const KControlParams& p, auto cs, auto* o) {
        return chromel::kControl(p, nullptr, cs, o);
    });
}

int32_t QelColor_CMYKsKControl2(const ColorRecord* in, const KControl2Params* params,
                                uint32_t count, ColorRecord* out) noexcept {
    return chromel::guarded(in, params, count, out, [](const KControl2Params& p, auto cs, auto* o) {
        const chromel::Gcr gcr = chromel::gcrOf(p);
        return chromel::kControl(p.base, &gcr, cs, o);
    });
}

int32_t QelColor_CMYKsKControl3(const ColorRecord* in, const KControl3Params* params,
                                uint32_t count, ColorRecord* out) noexcept {
    return chromel::guarded(in, params, count, out, [](const KControl3Params& p, auto cs, auto* o) {
        return chromel::kControl3(p, cs, o);
    });
}

int32_t QelColor_CMYKKControl(const ColorRecord* in, const KControlParams* params,
                              ColorRecord* out) noexcept {
    return QelColor_CMYKsKControl(in, params, 1, out);
}

int32_t QelColor_CMYKKControl2(const ColorRecord* in, const KControl2Params* params,
                               ColorRecord* out) noexcept {
    return QelColor_CMYKsKControl2(in, params, 1, out);
}

int32_t QelColor_CMYKKControl3(const ColorRecord* in, const KControl3Params* params,
                               ColorRecord* out) noexcept {
    return QelColor_CMYKsKControl3(in, params, 1, out);
}
