// One-dimensional interpolation through a table of (x, y) points: natural cubic spline,
// Newton polynomial and piecewise linear. Internal to the library.
#ifndef CHROMEL_CURVE_INTERP_H
#define CHROMEL_CURVE_INTERP_H

#include <cstddef>
#include <cstdint>
#include <span>

namespace chromel {

struct CurvePoint {
    double x;
    double y;
};
static_assert(sizeof(CurvePoint) == 16, "a curve point is two doubles");

// Largest table the set-ups accept.
inline constexpr std::size_t kMaxCurvePoints = 256;

// The set-ups accept 2 to 256 points whose x rise strictly or fall strictly over the
// whole table. They write one coefficient per point (coefficients.size() >= points.size())
// and return -1; a refused table returns 0 and nothing is written.
std::int32_t splineSetup(std::span<const CurvePoint> points, std::span<double> coefficients);
std::int32_t polynomialSetup(std::span<const CurvePoint> points, std::span<double> coefficients);

// Evaluation with the coefficients of the same table. Outside the table the end
// segment, cubic or line is extended; a table of two points is a straight line.
double splineValue(std::span<const CurvePoint> points, std::span<const double> coefficients,
                   double x);
double polynomialValue(std::span<const CurvePoint> points, std::span<const double> coefficients,
                       double x);
double linearValue(std::span<const CurvePoint> points, double x);

}  // namespace chromel

#endif  // CHROMEL_CURVE_INTERP_H
