// Munsell hue lines: the hue circle, control-point arrays along a hue line, the point of a
// given chroma on such an array and the Munsell hue of a Lab colour.
//
// Every look-up reads the constant table directly: no per-thread copy, no mutable state. The
// illuminant and observer arguments are accepted for the interface's sake; the table is the
// same for every pair.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

#include "chromel/curve_interp.h"
#include "chromel/munsell_table.h"
#include "chromel32.h"

namespace chromel::munsell {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr std::size_t kCurvePoints = 14;
constexpr std::size_t kSearchPoints = 13;  // the chroma search uses the first 13 points
constexpr double kNeutralSquare = 0.01;
constexpr double kLargestChroma = 135.0;

// A point of a hue line: lightness, chroma and CIELAB hue angle.
struct Polar {
    double l;
    double c;
    double h;
};

double columnChroma(std::size_t column) {
    return 10.0 * static_cast<double>(column + 1);
}

Polar polarOf(const TableEntry& e, std::size_t column) {
    return {e.l, columnChroma(column), e.hue};
}

// Angle difference brought into (-pi, pi].
double wrapDifference(double d) {
    if (d > kPi) d -= kTwoPi;
    if (d <= -kPi) d += kTwoPi;
    return d;
}

// An angle within one turn of [0, 2 pi) brought into it.
double wrapAngle(double h) {
    if (h >= kTwoPi) h -= kTwoPi;
    if (h < 0.0) h += kTwoPi;
    return h;
}

// The rotation between two points of a hue line: the second point turned back towards the
// first by (1 - t) of their hue difference, keeping its chroma. t = 0 is the first point.
Polar rotate(const Polar& from, const Polar& to, double t, double lightness) {
    if (t == 0.0) return {lightness, from.c, from.h};
    const double d = wrapDifference(to.h - from.h);
    return {lightness, to.c, wrapAngle(to.h - (1.0 - t) * d)};
}

ColorRecord labOf(const Polar& p) {
    return {{p.l, p.c * std::cos(p.h), p.c * std::sin(p.h), 0.0}};
}

// The two table values a lightness falls between, and where between them. Below V = 1 and
// above V = 9 both levels are that end slice: black and white carry no hue to rotate
// towards, so those slices' points are taken as they stand.
struct ValueBracket {
    std::size_t lower;
    std::size_t upper;
    double fraction;
};

ValueBracket valueBracket(double lightness) {
    if (lightness < 10.0) return {1, 1, 0.0};
    if (lightness >= 90.0) return {9, 9, 0.0};
    const auto lower = static_cast<std::size_t>(lightness / 10.0);  // 1 ... 8
    return {lower, lower + 1, (lightness - 10.0 * static_cast<double>(lower)) / 10.0};
}

// Hue angle of line `hue` at chroma column `column`, rotated between the bracket's levels.
double lineAngle(const ValueBracket& v, std::size_t hue, std::size_t column) {
    const double lo = entry(v.lower, hue, column).hue;
    if (v.fraction == 0.0) return lo;
    const double hi = entry(v.upper, hue, column).hue;
    return wrapAngle(hi - (1.0 - v.fraction) * wrapDifference(hi - lo));
}

// Control-point array of hue angle `degrees` (any finite value) at `lightness`.
void controlPoints(double degrees, double lightness, ColorRecord* out) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0.0) degrees += 360.0;
    if (degrees >= 360.0) degrees = 0.0;  // -tiny wraps to 360
    const auto g = static_cast<std::size_t>(std::floor(degrees) / 9.0);
    const std::size_t next = (g + 1) % kHues;
    const double t = (degrees - 9.0 * static_cast<double>(g)) / 9.0;
    const ValueBracket v = valueBracket(lightness);
    // Between two levels L* = (1 - f) 10 V + f 10 (V + 1), which is the lightness itself;
    // outside them every point takes the lightness too.
    const double l = std::clamp(lightness, 0.0, 100.0);
    std::array<ColorRecord, kCurvePoints> points{};
    for (std::size_t k = 0; k < kCurvePoints; ++k) {
        const Polar lower =
            rotate(polarOf(entry(v.lower, g, k), k), polarOf(entry(v.lower, next, k), k), t, 0.0);
        const Polar upper =
            rotate(polarOf(entry(v.upper, g, k), k), polarOf(entry(v.upper, next, k), k), t, 0.0);
        ColorRecord p = labOf(rotate(lower, upper, v.fraction, l));
        if (t == 0.0 && v.fraction == 0.0) {  // on a table line: the entry itself
            const TableEntry& e = entry(v.lower, g, k);
            p.v[1] = e.a, p.v[2] = e.b;
        }
        points[k] = p;
    }
    std::memcpy(out, points.data(), sizeof(points));
}

// Distance of (a, b) from the straight line through p and q.
double distanceFromLine(const Polar& p, const Polar& q, double a, double b) {
    const double pa = p.c * std::cos(p.h), pb = p.c * std::sin(p.h);
    const double qa = q.c * std::cos(q.h), qb = q.c * std::sin(q.h);
    const double da = qa - pa, db = qb - pb;
    const double length = std::max(std::hypot(da, db), 1e-6);
    return std::fabs(da * (b - pb) - db * (a - pa)) / length;
}

// Munsell hue angle in degrees of a Lab colour, or false for a neutral colour.
//
// Both value levels are first brought to the colour's lightness (rotated as in a control-point
// array), and so are the two chroma columns around the colour's chroma, 10 floor(C / 10) and
// the next (the origin below 10). Each hue line is the straight segment between its two
// points; the sector search runs once, on the lines' angles at the colour's chroma.
bool hueOfLab(const ColorRecord& lab, double& degrees) {
    double a = lab.v[1], b = lab.v[2];
    const double l = lab.v[0];
    if (!std::isfinite(l) || !std::isfinite(a) || !std::isfinite(b)) return false;
    if (a * a < kNeutralSquare && b * b < kNeutralSquare) return false;
    double chroma = std::hypot(a, b);
    if (chroma > kLargestChroma) {
        a *= kLargestChroma / chroma;
        b *= kLargestChroma / chroma;
        chroma = kLargestChroma;
    }
    const ValueBracket v = valueBracket(l);
    // Column band - 1 and band hold the colour's chroma; below 10 the origin stands for band - 1.
    const auto band = std::min<std::size_t>(static_cast<std::size_t>(chroma / 10.0), 13);
    const double t = (chroma - 10.0 * static_cast<double>(band)) / 10.0;

    // Each line's angle at the colour's chroma, between its two columns.
    std::array<double, kHues> angle{};
    for (std::size_t i = 0; i < kHues; ++i) {
        const double outer = lineAngle(v, i, band);
        angle[i] =
            band == 0
                ? outer
                : wrapAngle(outer - (1.0 - t) * wrapDifference(outer - lineAngle(v, i, band - 1)));
    }
    // Line i as the straight segment between its points at the two columns.
    const auto innerPoint = [&](std::size_t i) {
        return band == 0 ? Polar{l, 0.0, 0.0}
                         : Polar{l, columnChroma(band - 1), lineAngle(v, i, band - 1)};
    };
    const auto outerPoint = [&](std::size_t i) {
        return Polar{l, columnChroma(band), lineAngle(v, i, band)};
    };

    const double h = wrapAngle(std::atan2(b, a));
    std::size_t sector = kHues;
    for (std::size_t i = 0; i < kHues && sector == kHues; ++i) {
        double a1 = angle[i], a2 = angle[(i + 1) % kHues], x = h;
        if (a2 < a1) {
            a2 += kTwoPi;
            if (x < kPi) x += kTwoPi;
        }
        if ((x - a1) * (x - a2) <= 0.0) sector = i;
    }
    if (sector == kHues) {  // rounding left no bracket: the sector starting at the nearest line
        double best = kTwoPi;
        for (std::size_t i = 0; i < kHues; ++i) {
            const double d = std::fabs(wrapDifference(h - angle[i]));
            if (d < best) best = d, sector = i;
        }
    }
    const std::size_t next = (sector + 1) % kHues;
    const double r = distanceFromLine(innerPoint(sector), outerPoint(sector), a, b);
    const double s = distanceFromLine(innerPoint(next), outerPoint(next), a, b);
    if (!(r + s > 0.0)) return false;
    const double first = 9.0 * static_cast<double>(sector);
    degrees = (first * s + (first + 9.0) * r) / (r + s);
    if (degrees >= 360.0) degrees -= 360.0;
    return true;
}

// Family 0 ... 9 and step [0, 10) of a hue angle in degrees.
void familyAndStep(double degrees, std::uint32_t& family, double& step) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees < 0.0) degrees += 360.0;
    const double n = std::floor((degrees + 9.0) / 36.0);
    step = (degrees + 9.0 - 36.0 * n) / 3.6;
    family = static_cast<std::uint32_t>(n) % 10;
}

// Hue angle in degrees [0, 360) of family n and step x, both wrapped first.
double angleOf(std::int32_t family, double step) {
    double x = std::fmod(step, 10.0);
    double carry = std::fmod((step - x) / 10.0, 10.0);  // whole tens moved into the family
    if (x < 0.0) x += 10.0, carry -= 1.0;
    if (x >= 10.0) x -= 10.0, carry += 1.0;
    const auto n = static_cast<std::int64_t>(family) + static_cast<std::int64_t>(carry);
    const std::int64_t wrapped = ((n % 10) + 10) % 10;
    const double h = 36.0 * static_cast<double>(wrapped) + 3.6 * x - 9.0;
    return h < 0.0 ? h + 360.0 : h;
}

// Unsupported point counts are reported on the standard error stream, as the library did.
bool countSupported(std::uint32_t count, unsigned line) {
    if (count == kCurvePoints) return true;
    std::fprintf(stderr, "\nFunction does not implemented: %s, line %u\n", "munsell.cpp", line);
    return false;
}

}  // namespace

// Point of chroma `wanted` along a control-point array of `count` points.
bool pointOfChroma(const ColorRecord* points, std::size_t count, double wanted, ColorRecord& out) {
    const std::size_t n = std::min(count, kSearchPoints);
    if (n < 2 || !std::isfinite(wanted) || wanted < 0.0) return false;
    const ColorRecord& last = points[n - 1];
    const double turn = std::atan2(last.v[2], last.v[1]);
    const double c = std::cos(turn), s = std::sin(turn);
    std::array<CurvePoint, kSearchPoints> rotated{};
    for (std::size_t i = 0; i < n; ++i) {
        const double a = points[i].v[1], b = points[i].v[2];
        rotated[i] = {a * c + b * s, b * c - a * s};
    }
    const std::span<const CurvePoint> line(rotated.data(), n);
    std::array<double, kSearchPoints> coefficients{};
    if (splineSetup(line, coefficients) == 0) return false;
    const auto b = [&](double a) { return splineValue(line, coefficients, a); };
    const auto square = [&](double a) {
        const double y = b(a);
        return a * a + y * y;
    };

    // Step down from a = C by 1 until the point comes within the wanted chroma; then bisect.
    // Both loops are bounded: a chroma far beyond the array gives up rather than spin.
    constexpr int kMaxSteps = 1024;
    constexpr int kMaxHalvings = 200;
    const double target = wanted * wanted;
    const double start = square(wanted);
    double above = wanted, below = wanted;
    double found = wanted;
    bool bracketed = square(wanted) <= target;
    for (int i = 0; i < kMaxSteps && !bracketed; ++i) {
        below = above - 1.0;
        const double d = square(below);
        if (d > start + 1.0) {  // moving away: keep the previous point
            found = above;
            bracketed = true;
            below = above;
            break;
        }
        if (d <= target) {
            bracketed = true;
            break;
        }
        above = below;
    }
    if (!bracketed) return false;
    if (below != above) {
        found = 0.5 * (above + below);
        double dAbove = square(above), dBelow = square(below);
        for (int i = 0; i < kMaxHalvings && std::fabs(dAbove - dBelow) >= 1e-6; ++i) {
            found = 0.5 * (above + below);
            const double d = square(found);
            if (d > target)
                above = found, dAbove = d;
            else
                below = found, dBelow = d;
        }
    }
    const double y = b(found);
    out.v[0] = points[0].v[0];
    out.v[1] = found * c - y * s;
    out.v[2] = found * s + y * c;
    return std::isfinite(out.v[1]) && std::isfinite(out.v[2]);
}

}  // namespace chromel::munsell

namespace munsell = chromel::munsell;

extern "C" {

ColorRecord* QelColor_GetMunsellLabData(uint32_t, int32_t, ColorRecord* buffer) noexcept {
    if (buffer == nullptr) return buffer;
    for (std::size_t i = 0; i < munsell::kTableEntries; ++i) {
        const munsell::TableEntry& e = munsell::kTable[i];
        buffer[i] = {{e.l, e.a, e.b, 0.0}};
    }
    return buffer;
}

int32_t QelColor_ExtractMunsellLabCPAryFromMusellHue(const double* hue, const ColorRecord* lab,
                                                     uint32_t, int32_t, uint32_t count,
                                                     ColorRecord* out) noexcept {
    if (hue == nullptr || lab == nullptr || out == nullptr) return 0;
    if (!munsell::countSupported(count, __LINE__)) return 0;
    if (!std::isfinite(*hue) || !std::isfinite(lab->v[0])) return 0;
    munsell::controlPoints(*hue, lab->v[0], out);
    return -1;
}

int32_t QelColor_ExtractMunsellLabCPAryFromMusellVal(const double* step, int32_t family,
                                                     const ColorRecord* lab, uint32_t illuminant,
                                                     int32_t observer, uint32_t count,
                                                     ColorRecord* out) noexcept {
    if (step == nullptr || !std::isfinite(*step)) return 0;
    const double degrees = munsell::angleOf(family, *step);
    return QelColor_ExtractMunsellLabCPAryFromMusellHue(&degrees, lab, illuminant, observer, count,
                                                        out);
}

int32_t QelColor_ExtractMunsellLabCPAryFromLab(const ColorRecord* lab, uint32_t illuminant,
                                               int32_t observer, uint32_t count,
                                               ColorRecord* out) noexcept {
    if (lab == nullptr || out == nullptr) return 0;
    if (!munsell::countSupported(count, __LINE__)) return 0;
    double degrees = 0.0;
    if (!munsell::hueOfLab(*lab, degrees)) return 0;
    return QelColor_ExtractMunsellLabCPAryFromMusellHue(&degrees, lab, illuminant, observer, count,
                                                        out);
}

int32_t QelColor_ExtractLabFromMusellLabCPAryByChroma(const ColorRecord* points, uint32_t count,
                                                      const double* chroma,
                                                      ColorRecord* lab) noexcept {
    if (points == nullptr || chroma == nullptr || lab == nullptr) return 0;
    ColorRecord found{};
    if (!munsell::pointOfChroma(points, count, *chroma, found)) {
        lab->v[0] = lab->v[1] = lab->v[2] = 0.0;
        return 0;
    }
    lab->v[0] = found.v[0], lab->v[1] = found.v[1], lab->v[2] = found.v[2];
    return -1;
}

int32_t QelColor_ExtractMusellHueFromLab(const ColorRecord* lab, uint32_t, int32_t,
                                         double* hue) noexcept {
    if (lab == nullptr || hue == nullptr) return 0;
    double degrees = 0.0;
    if (!munsell::hueOfLab(*lab, degrees)) return 0;
    *hue = degrees;
    return -1;
}

int32_t QelColor_ExtractMusellValFromLab(const ColorRecord* lab, uint32_t, int32_t, double* step,
                                         uint32_t* family) noexcept {
    if (lab == nullptr || step == nullptr || family == nullptr) return 0;
    double degrees = 0.0;
    if (!munsell::hueOfLab(*lab, degrees)) return 0;
    munsell::familyAndStep(degrees, *family, *step);
    return -1;
}

}  // extern "C"
