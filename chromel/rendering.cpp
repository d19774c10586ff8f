// Colour temperature and Duv by the nearest point of the Planckian locus, and colour
// rendering indices by the test-colour method.
#include "chromel/rendering.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "chromel/cie_tables.h"
#include "chromel/rendering_tables.h"

namespace chromel {
namespace {

constexpr double kSecondRadiationConstant = 1.4388e-2;  // m K

// The locus is searched in mired (1e6 / T): 1 mired steps from 20 (50000 K) to 1100 (909 K).
constexpr double kFirstMired = 20.0;
constexpr double kLastMired = 1100.0;
constexpr std::size_t kLocusPoints = static_cast<std::size_t>(kLastMired - kFirstMired) + 1;
// Half-width of the second, exact parabola around the first estimate.
constexpr double kRefineMired = 0.01;

struct Uv {
    double u;
    double v;
};

Uv uvOf(const Xyz& c) noexcept {
    const double d = c.X + 15.0 * c.Y + 3.0 * c.Z;
    return {4.0 * c.X / d, 6.0 * c.Y / d};
}

// Relative spectral radiance of a blackbody at `nm`; the first radiation constant cancels
// out of every ratio it enters. The exponent is at least 0.37 over the visible range at
// 50000 K, so exp(x) - 1 loses nothing.
double planck(double nm, double kelvin) noexcept {
    const double um = nm * 1e-3;
    return 1.0 / (um * um * um * um * um *
                  (std::exp(kSecondRadiationConstant / (nm * 1e-9 * kelvin)) - 1.0));
}

// The observer's rows with the kelvin-free parts of Planck's law: 1 / lambda^5 (lambda in
// micrometres) and c2 / lambda.
struct PlanckGrid {
    std::array<double, kCmfRows> invFifth;
    std::array<double, kCmfRows> c2OverLambda;
};

const PlanckGrid& planckGrid() noexcept {
    static const PlanckGrid g = [] {
        PlanckGrid t{};
        for (std::size_t i = 0; i < kCmfRows; ++i) {
            const double nm = static_cast<double>(kGridStartNm + i);
            const double um = nm * 1e-3;
            t.invFifth[i] = 1.0 / (um * um * um * um * um);
            t.c2OverLambda[i] = kSecondRadiationConstant / (nm * 1e-9);
        }
        return t;
    }();
    return g;
}

// Locus chromaticity at `mired`, from Planck's law and the 1 nm observer.
Uv locusAt(double mired) noexcept {
    const PlanckGrid& g = planckGrid();
    const double perKelvin = mired * 1e-6;
    Xyz s{0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < kCmfRows; ++i) {
        const double m = g.invFifth[i] / (std::exp(g.c2OverLambda[i] * perKelvin) - 1.0);
        s.X += m * kCmf1931.x[i];
        s.Y += m * kCmf1931.y[i];
        s.Z += m * kCmf1931.z[i];
    }
    return uvOf(s);
}

const std::vector<Uv>& locusTable() noexcept {
    static const std::vector<Uv> table = [] {
        std::vector<Uv> t(kLocusPoints);
        for (std::size_t i = 0; i < kLocusPoints; ++i)
            t[i] = locusAt(kFirstMired + static_cast<double>(i));
        return t;
    }();
    return table;
}

double distance2(const Uv& a, const Uv& b) noexcept {
    return (a.u - b.u) * (a.u - b.u) + (a.v - b.v) * (a.v - b.v);
}

// Abscissa of the vertex of the parabola through (m - h, a), (m, b), (m + h, c).
double vertex(double m, double h, double a, double b, double c) noexcept {
    const double curvature = a - 2.0 * b + c;
    if (!(curvature > 0.0)) return m;
    return m + 0.5 * h * (a - c) / curvature;
}

// Test-colour reflectances times the colour-matching functions, at 5 nm.
struct WeightedSamples {
    std::array<std::array<RenderingColumn, 3>, kTestColourCount> sample;
    std::array<RenderingColumn, 3> cmf;
};

const WeightedSamples& weightedSamples() noexcept {
    static const WeightedSamples w = [] {
        WeightedSamples t{};
        for (std::size_t k = 0; k < kRenderingRows; ++k) {
            const std::size_t g = k * kRenderingIntervalNm;  // the 1 nm row of this wavelength
            t.cmf[0][k] = kCmf1931.x[g];
            t.cmf[1][k] = kCmf1931.y[g];
            t.cmf[2][k] = kCmf1931.z[g];
        }
        for (std::size_t i = 0; i < kTestColourCount; ++i)
            for (std::size_t c = 0; c < 3; ++c)
                for (std::size_t k = 0; k < kRenderingRows; ++k)
                    t.sample[i][c][k] = kTestColourReflectance[i][k] * t.cmf[c][k];
        return t;
    }();
    return w;
}

double dot(const RenderingColumn& a, const RenderingColumn& b) noexcept {
    double s = 0.0;
    for (std::size_t k = 0; k < kRenderingRows; ++k)
        s += a[k] * b[k];
    return s;
}

// A light's chromaticity and its test colours', with Y scaled so that the light has Y = 100,
// as (c, d) of the von Kries shift.
struct Rendered {
    Uv source;
    std::array<Uv, kTestColourCount> uv;
    std::array<double, kTestColourCount> Y;
};

Rendered render(const RenderingColumn& light) noexcept {
    const WeightedSamples& w = weightedSamples();
    Rendered r{};
    const Xyz white{dot(light, w.cmf[0]), dot(light, w.cmf[1]), dot(light, w.cmf[2])};
    r.source = uvOf(white);
    for (std::size_t i = 0; i < kTestColourCount; ++i) {
        const Xyz c{dot(light, w.sample[i][0]), dot(light, w.sample[i][1]),
                    dot(light, w.sample[i][2])};
        r.uv[i] = uvOf(c);
        r.Y[i] = 100.0 * c.Y / white.Y;
    }
    return r;
}

double shiftC(const Uv& p) noexcept {
    return (4.0 - p.u - 10.0 * p.v) / p.v;
}
double shiftD(const Uv& p) noexcept {
    return (1.708 * p.v + 0.404 - 1.481 * p.u) / p.v;
}

// 1964 U*V*W* of a colour of chromaticity `p` and luminance Y against the white `w`.
std::array<double, 3> uvw(const Uv& p, double Y, const Uv& w) noexcept {
    const double W = 25.0 * std::cbrt(Y) - 17.0;
    return {13.0 * W * (p.u - w.u), 13.0 * W * (p.v - w.v), W};
}

RenderingColumn referenceIlluminant(double kelvin) noexcept {
    RenderingColumn s{};
    if (kelvin < 5000.0) {
        for (std::size_t k = 0; k < kRenderingRows; ++k)
            s[k] =
                planck(static_cast<double>(kRenderingStartNm + k * kRenderingIntervalNm), kelvin);
        return s;
    }
    const Chromaticity c = daylightChromaticity(std::min(kelvin, 25000.0));
    const double m = 0.0241 + 0.2562 * c.x - 0.7341 * c.y;
    const double m1 = (-1.3515 - 1.7703 * c.x + 5.9114 * c.y) / m;
    const double m2 = (0.0300 - 31.4424 * c.x + 30.0717 * c.y) / m;
    for (std::size_t k = 0; k < kRenderingRows; ++k)
        s[k] = kDaylightComponents[0][k] + m1 * kDaylightComponents[1][k] +
               m2 * kDaylightComponents[2][k];
    return s;
}

}  // namespace

TemperatureDuv planckianTemperature(const Xyz& xyz) noexcept {
    const Uv p = uvOf(xyz);
    const std::vector<Uv>& table = locusTable();
    std::size_t best = 0;
    double bestD = distance2(p, table[0]);
    for (std::size_t i = 1; i < kLocusPoints; ++i) {
        const double d = distance2(p, table[i]);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    // A parabola through the nearest table point and its neighbours, then a narrow one
    // through exact locus points around its vertex.
    const std::size_t mid = std::clamp<std::size_t>(best, 1, kLocusPoints - 2);
    double mired = vertex(kFirstMired + static_cast<double>(mid), 1.0, distance2(p, table[mid - 1]),
                          distance2(p, table[mid]), distance2(p, table[mid + 1]));
    mired = std::clamp(mired, kFirstMired + kRefineMired, kLastMired - kRefineMired);
    mired = vertex(mired, kRefineMired, distance2(p, locusAt(mired - kRefineMired)),
                   distance2(p, locusAt(mired)), distance2(p, locusAt(mired + kRefineMired)));
    mired = std::clamp(mired, kFirstMired, kLastMired);
    const Uv on = locusAt(mired);
    const double duv = std::sqrt(distance2(p, on));
    return {1e6 / mired, p.v >= on.v ? duv : -duv};
}

bool colourRendering(const SpectrumView& light, ColourRendering& out) noexcept {
    out = ColourRendering{};
    if (light.values == nullptr || light.intervalNm == 0) return false;
    const std::size_t n = std::min<std::size_t>(light.count, kGridSize);
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(light.values[i])) return false;

    Grid grid;
    resample(light, grid);
    RenderingColumn test{};
    for (std::size_t k = 0; k < kRenderingRows; ++k)
        test[k] = grid[k * kRenderingIntervalNm];
    const WeightedSamples& w = weightedSamples();
    const Xyz white{dot(test, w.cmf[0]), dot(test, w.cmf[1]), dot(test, w.cmf[2])};
    if (!(white.Y > 0.0) || !(white.X + 15.0 * white.Y + 3.0 * white.Z > 0.0)) return false;

    const Rendered k = render(test);
    const Rendered r = render(referenceIlluminant(planckianTemperature(white).kelvin));
    const double cr = shiftC(r.source), dr = shiftD(r.source);
    const double ck = shiftC(k.source), dk = shiftD(k.source);
    double sum = 0.0;
    for (std::size_t i = 0; i < kTestColourCount; ++i) {
        // The test colour adapted to the reference white.
        const double c = cr / ck * shiftC(k.uv[i]);
        const double d = dr / dk * shiftD(k.uv[i]);
        const double den = 16.518 + 1.481 * c - d;
        const Uv adapted{(10.872 + 0.404 * c - 4.0 * d) / den, 5.520 / den};
        const auto a = uvw(adapted, k.Y[i], r.source);
        const auto b = uvw(r.uv[i], r.Y[i], r.source);
        const double dE = std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                                    (a[2] - b[2]) * (a[2] - b[2]));
        out.ri[i] = 100.0 - 4.6 * dE;
        if (i < 8) sum += out.ri[i];
    }
    out.ra = sum / 8.0;
    return true;
}

}  // namespace chromel

extern "C" {

int32_t QelColor_XYZ2ColorTemperatureDuv(const ColorRecord* xyz, double* kelvin,
                                         double* duv) noexcept {
    if (kelvin != nullptr) *kelvin = 0.0;
    if (duv != nullptr) *duv = 0.0;
    if (xyz == nullptr || kelvin == nullptr || duv == nullptr) return -1;
    const chromel::Xyz c{xyz->v[0], xyz->v[1], xyz->v[2]};
    if (!std::isfinite(c.X) || !std::isfinite(c.Y) || !std::isfinite(c.Z) ||
        !(c.X + 15.0 * c.Y + 3.0 * c.Z > 0.0))
        return -1;
    const chromel::TemperatureDuv t = chromel::planckianTemperature(c);
    *kelvin = t.kelvin;
    *duv = t.duv;
    return 0;
}

int32_t QelColor_Spectrum2ColorRendering(const SpectrumRecord* spectrum, double* ra,
                                         double* ri) noexcept {
    chromel::ColourRendering r{};
    const bool ok = spectrum != nullptr && ra != nullptr &&
                    chromel::colourRendering(chromel::viewOf(*spectrum), r);
    if (ra != nullptr) *ra = r.ra;
    if (ri != nullptr) std::memcpy(ri, r.ri.data(), sizeof r.ri);
    return ok ? 0 : -1;
}

}  // extern "C"
