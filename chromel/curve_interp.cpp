// Curve interpolation: natural cubic spline, Newton polynomial and piecewise linear.
// Tables may run in either direction; each search follows the table's own.
#include "chromel/curve_interp.h"

#include <array>

namespace chromel {
namespace {

bool rising(std::span<const CurvePoint> p) {
    return p.front().x < p.back().x;
}

// 2 to 256 points with strictly monotonic x.
bool acceptable(std::span<const CurvePoint> p, std::span<double> coefficients) {
    if (p.size() < 2 || p.size() > kMaxCurvePoints || coefficients.size() < p.size()) return false;
    const bool up = p[0].x < p[1].x;
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (up ? !(p[i - 1].x < p[i].x) : !(p[i - 1].x > p[i].x)) return false;
    }
    return true;
}

// Index i of the segment [x[i], x[i + 1]] that holds x, or the end segment beyond the table.
std::size_t segment(std::span<const CurvePoint> p, double x) {
    const bool up = rising(p);
    std::size_t lo = 0, hi = p.size() - 1;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (up ? x <= p[mid].x : x >= p[mid].x)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo > 0 ? lo - 1 : 0;
}

}  // namespace

std::int32_t splineSetup(std::span<const CurvePoint> p, std::span<double> y2) {
    if (!acceptable(p, y2)) return 0;
    const std::size_t n = p.size();
    // Tridiagonal system for the second derivatives, zero at both ends.
    std::array<double, kMaxCurvePoints> u{};
    std::array<double, kMaxCurvePoints> d{};
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double sig = (p[i].x - p[i - 1].x) / (p[i + 1].x - p[i - 1].x);
        const double q = sig * d[i - 1] + 2.0;
        d[i] = (sig - 1.0) / q;
        const double slopes = (p[i + 1].y - p[i].y) / (p[i + 1].x - p[i].x) -
                              (p[i].y - p[i - 1].y) / (p[i].x - p[i - 1].x);
        u[i] = (6.0 * slopes / (p[i + 1].x - p[i - 1].x) - sig * u[i - 1]) / q;
    }
    y2[n - 1] = 0.0;
    for (std::size_t k = n - 1; k-- > 0;)
        y2[k] = d[k] * y2[k + 1] + u[k];
    return -1;
}

double splineValue(std::span<const CurvePoint> p, std::span<const double> y2, double x) {
    if (p.size() <= 2) return linearValue(p, x);
    const std::size_t i = segment(p, x);
    const double h = p[i + 1].x - p[i].x;
    const double a = (p[i + 1].x - x) / h;
    const double b = (x - p[i].x) / h;
    return a * p[i].y + b * p[i + 1].y +
           ((a * a * a - a) * y2[i] + (b * b * b - b) * y2[i + 1]) * (h * h) / 6.0;
}

std::int32_t polynomialSetup(std::span<const CurvePoint> p, std::span<double> c) {
    if (!acceptable(p, c)) return 0;
    const std::size_t n = p.size();
    for (std::size_t i = 0; i < n; ++i)
        c[i] = p[i].y;
    // Divided differences in place: after pass j, c[i] = [y(i-j) ... y(i)] for i >= j.
    for (std::size_t j = 1; j < n; ++j) {
        for (std::size_t i = n - 1; i >= j; --i)
            c[i] = (c[i] - c[i - 1]) / (p[i].x - p[i - j].x);
    }
    return -1;
}

double polynomialValue(std::span<const CurvePoint> p, std::span<const double> c, double x) {
    if (p.size() <= 2) return linearValue(p, x);
    const std::size_t n = p.size();
    double r = c[n - 1];
    for (std::size_t i = n - 1; i-- > 0;)
        r = r * (x - p[i].x) + c[i];
    return r;
}

double linearValue(std::span<const CurvePoint> p, double x) {
    if (p.empty()) return 0.0;
    if (p.size() == 1) return p[0].y;
    const std::size_t n = p.size();
    const bool up = rising(p);
    std::size_t i = 1;
    while (i < n - 1 && (up ? x > p[i].x : x < p[i].x))
        ++i;
    return ((p[i].x - x) * p[i - 1].y + (x - p[i - 1].x) * p[i].y) / (p[i].x - p[i - 1].x);
}

}  // namespace chromel
