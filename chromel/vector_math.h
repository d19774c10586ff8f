// Branch-free cube root, power, hue angle and sine/cosine that GCC vectorises inside plain loops.
// Each stays within a few ulps of the C library's function over the range it states.
#ifndef CHROMEL_VECTOR_MATH_H
#define CHROMEL_VECTOR_MATH_H

#include <bit>
#include <cstdint>
#include <limits>

namespace chromel::vmath {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kHalfPi = 1.5707963267948966;
inline constexpr double kQuarterPi = 0.7853981633974483;

// c ? a : b with both a and b computed beforehand; in the loops, a vector blend. Lanes
// whose result is not picked may hold anything, infinities and NaNs included.
[[gnu::always_inline]] inline double pick(bool c, double a, double b) {
    return c ? a : b;
}

// A quotient whose denominator is zero is taken as zero.
[[gnu::always_inline]] inline double safeDiv(double n, double d) {
    return pick(d == 0.0, 0.0, n / d);
}

// Cube root of a positive, finite, normal t; at most 4 ulps from std::cbrt (measured over
// the whole normal range). Any other t gives a finite or NaN value without trapping, for
// callers to discard.
// The reciprocal root r = t^(-1/3) starts from the bit pattern (its exponent is the
// negated third of t's), which leaves e = 1 - t r^3 within [-0.131, 0.0995] for every
// normal t. One division-free step r p(e) follows, p a near-minimax fit of (1 - e)^(-1/3)
// over that range (relative error 4.1e-10) evaluated in Estrin's scheme for a short
// dependency chain; a last Newton step on y = t r^2 corrects the rounding. The loops run
// many roots at once, so the length of that chain sets the speed more than the count of
// operations does.
[[gnu::always_inline]] inline double cbrtPositive(double t) {
    const std::uint64_t i = std::bit_cast<std::uint64_t>(t);
    // i / 3 by shifts (0.0101... in binary) to 4 parts in a million: enough for a start.
    std::uint64_t third = (i >> 2) + (i >> 4);
    third += third >> 4;
    third += third >> 8;
    const double r = std::bit_cast<double>(0x553EF0FF289DD796ull - third);
    const double r2 = r * r;
    const double e = 1.0 - (t * r) * r2;
    const double e2 = e * e;
    const double e4 = e2 * e2;
    const double p =
        (1.0000000003126255 + e * 0.33333334745914134) +
        e2 * (0.2222216535545863 + e * 0.17282976451416737) +
        e4 * ((0.14417820354552183 + e * 0.12663950584984213) + e2 * 0.10255945967094084);
    const double p2 = p * p;
    const double y = (t * r2) * p2;  // t (r p)^2
    return y - (y * y * y - t) * ((r2 * (1.0 / 3.0)) * p2);
}

// atan(x) for |x| <= tan(pi/8): Cephes' rational approximation, x + x^3 P(x^2) / Q(x^2).
[[gnu::always_inline]] inline double atanReduced(double x) {
    const double z = x * x;
    const double p = (((-8.750608600031904122785e-1 * z - 1.615753718733365076637e1) * z -
                       7.500855792314704667340e1) *
                          z -
                      1.228866684490136173410e2) *
                         z -
                     6.485021904942025371773e1;
    const double q = ((((z + 2.485846490142306297962e1) * z + 1.650270098316988542046e2) * z +
                       4.328810604912902668951e2) *
                          z +
                      4.853903996359136964868e2) *
                         z +
                     1.945506571482613964425e2;
    return x + x * z * p / q;
}

// atan2(b, a) moved into [0, 2 pi] (a negative angle gains 2 pi); 0 when a = b = 0.
// Within about 1e-15 rad of std::atan2 for finite inputs.
[[gnu::always_inline]] inline double hueAngle(double a, double b) {
    const double ax = pick(a < 0.0, -a, a);
    const double bx = pick(b < 0.0, -b, b);
    const bool steep = bx > ax;
    const double lo = pick(steep, ax, bx);
    const double hi = pick(steep, bx, ax);
    // lo / hi lies in [0, 1]; above tan(pi/8) the angle is pi/4 + atan((lo - hi) / (lo + hi)),
    // both halved so that lo + hi cannot overflow (the quotient keeps its bits).
    const bool upper = lo > 0.41421356237309503 * hi;
    const double num = pick(upper, 0.5 * lo - 0.5 * hi, lo);
    const double den = pick(upper, 0.5 * lo + 0.5 * hi, hi);
    double t = atanReduced(num / den) + pick(upper, kQuarterPi, 0.0);
    t = pick(steep, kHalfPi - t, t);
    t = pick(a < 0.0, kPi - t, t);
    t = pick(b < 0.0, kTwoPi - t, t);
    return pick(den != 0.0, t, 0.0);
}

// Largest |x| sinCos reduces accurately; callers take std::sin / std::cos beyond it.
inline constexpr double kSinCosLimit = 1.0e6;

// sin and cos of |x| <= kSinCosLimit: reduction by pi/2 in three parts (Cody and Waite),
// then Cephes' polynomials on [-pi/4, pi/4].
[[gnu::always_inline]] inline void sinCos(double x, double& s, double& c) {
    // Round x * 2/pi to the nearest integer by adding and removing 1.5 * 2^52; the low
    // bits of the sum then hold the quadrant.
    const double shifted = x * 0.6366197723675814 + 6755399441055744.0;
    const std::uint64_t quadrant = std::bit_cast<std::uint64_t>(shifted);
    const double k = shifted - 6755399441055744.0;
    const double r = ((x - k * 1.57079625129699707031e0) - k * 7.54978941586159635335e-8) -
                     k * 5.39030285815811905290e-15;
    const double z = r * r;
    const double sr = r + r * z *
                              (((((1.58962301576546568060e-10 * z - 2.50507477628578072866e-8) * z +
                                  2.75573136213857245213e-6) *
                                     z -
                                 1.98412698295895385996e-4) *
                                    z +
                                8.33333333332211858878e-3) *
                                   z -
                               1.66666666666666307295e-1);
    const double cr = 1.0 - 0.5 * z +
                      z * z *
                          (((((-1.13585365213876817300e-11 * z + 2.08757008419747316778e-9) * z -
                              2.75573141792967388112e-7) *
                                 z +
                             2.48015872888517045348e-5) *
                                z -
                            1.38888888888730564116e-3) *
                               z +
                           4.16666666666665929218e-2);
    const bool swap = (quadrant & 1u) != 0;
    const double sv = pick(swap, cr, sr);
    const double cv = pick(swap, sr, cr);
    s = pick((quadrant & 2u) != 0, -sv, sv);
    c = pick(((quadrant + 1u) & 2u) != 0, -cv, cv);
}

// Error-free transformations for the double-double steps of pow. They hold only when the
// compiler does not contract a * b + c into a fused multiply-add: units that call pow are
// built with -ffp-contract=off.
struct DoubleDouble {
    double hi, lo;
};

[[gnu::always_inline]] inline DoubleDouble twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// Dekker's product: hi + lo equals a * b exactly for |a|, |b| below 2^996.
[[gnu::always_inline]] inline DoubleDouble twoProduct(double a, double b) {
    constexpr double kSplit = 134217729.0;  // 2^27 + 1
    const double p = a * b;
    const double ca = kSplit * a, cb = kSplit * b;
    const double ah = ca - (ca - a), bh = cb - (cb - b);
    const double al = a - ah, bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// 2^k for an integral k in [-1022, 1023] held in a double.
[[gnu::always_inline]] inline double exp2Integral(double k) {
    constexpr double kShift = 6755399441055744.0 + 1023.0;  // 1.5 * 2^52, plus the bias
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(k + kShift) << 52);
}

// Shared by the two powers below.
inline constexpr double kLn2Hi = 6.93147180369123816490e-01;  // 32 bits: k * kLn2Hi is exact
inline constexpr double kLn2Lo = 1.90821492927058770002e-10;

// x = 2^e m with m in [sqrt(1/2), sqrt(2)), for finite x >= 0; subnormals are scaled up first.
struct Reduced {
    double m;
    double e;
};

[[gnu::always_inline]] inline Reduced reduce(double x) {
    constexpr double kTwo54 = 18014398509481984.0;
    const bool tiny = x < 2.2250738585072014e-308;
    const double xs = pick(tiny, x * kTwo54, x);
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(xs);
    const double biased =
        std::bit_cast<double>((bits >> 52) | 0x4330000000000000ull) - 4503599627370496.0;
    const double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const bool high = m > 1.4142135623730951;
    return {pick(high, 0.5 * m, m), biased - pick(tiny, 1077.0, 1023.0) + pick(high, 1.0, 0.0)};
}

// exp(tHi + tLo) for tHi already limited to [-746, 710], tLo small: 2^k exp(r) with
// |r| <= ln 2 / 2 by its series to r^13 (no division); 2^k is applied in two halves so that
// each stays a normal number down to the subnormal results.
[[gnu::always_inline]] inline double expOf(double tHi, double tLo) {
    constexpr double kInvLn2 = 1.4426950408889634;
    constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to integer
    const double kHalf = (tHi * (0.5 * kInvLn2) + kShift) - kShift;
    const double kRest = (tHi * kInvLn2 - kHalf + kShift) - kShift;
    const double k = kHalf + kRest;
    const double r = ((tHi - k * kLn2Hi) - k * kLn2Lo) + tLo;
    const double series =
        r * r *
        (1.0 / 2 +
         r * (1.0 / 6 +
              r * (1.0 / 24 +
                   r * (1.0 / 120 +
                        r * (1.0 / 720 +
                             r * (1.0 / 5040 +
                                  r * (1.0 / 40320 +
                                       r * (1.0 / 362880 +
                                            r * (1.0 / 3628800 +
                                                 r * (1.0 / 39916800 +
                                                      r * (1.0 / 479001600 +
                                                           r * (1.0 / 6227020800))))))))))));
    const double expR = 1.0 + (r + series);
    return expR * exp2Integral(kHalf) * exp2Integral(kRest);
}

// x^y from exp(y ln x) where x > 0, and std::pow's answers at x = 0; NaN below.
[[gnu::always_inline]] inline double powResult(double x, double y, double expOfProduct) {
    const double atZero =
        pick(y > 0.0, 0.0, pick(y < 0.0, std::numeric_limits<double>::infinity(), 1.0));
    return pick(x > 0.0, expOfProduct,
                pick(x == 0.0, atZero, std::numeric_limits<double>::quiet_NaN()));
}

// x^y for finite x >= 0 and finite y, as exp(y ln x) with the logarithm and the product
// carried in double-double. At most 1 ulp from std::pow for every normal result
// (measured over bases 2^-60..2^60 and results over the whole normal range). x = 0 gives
// 0, 1 or +inf as std::pow does; results below the normal range lose bits gradually, as
// subnormals do. Negative x gives NaN; infinite or NaN arguments give a finite or NaN
// value without trapping, for callers to discard. Callers build with -ffp-contract=off.
[[gnu::always_inline]] inline double pow(double x, double y) {
    const Reduced reduced = reduce(x);
    const double m = reduced.m, e = reduced.e;

    // ln m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| < 0.172; s in double-double.
    const double num = m - 1.0;  // exact
    const DoubleDouble den = twoSum(m, 1.0);
    // One division: sHi need not be the rounded quotient, as sLo takes the exact residual.
    const double invDen = 1.0 / den.hi;
    const double sHi = num * invDen;
    const DoubleDouble q = twoProduct(sHi, den.hi);
    const double sLo = (((num - q.hi) - q.lo) - sHi * den.lo) * invDen;
    // The cubic term is carried in double-double too: its rounding would otherwise grow
    // with |y log x| to tens of ulps near the ends of the range.
    const DoubleDouble z = twoProduct(sHi, sHi);
    const DoubleDouble cube = twoProduct(sHi, z.hi);
    const double cubeLo = cube.lo + sHi * z.lo;
    constexpr double kTwoThirdsHi = 0.66666666666666663;
    constexpr double kTwoThirdsLo = 3.700743415417188e-17;
    const DoubleDouble third = twoProduct(cube.hi, kTwoThirdsHi);
    const double zz = z.hi;
    const double rest =
        cube.hi * zz *
        (2.0 / 5 +
         zz * (2.0 / 7 +
               zz * (2.0 / 9 +
                     zz * (2.0 / 11 +
                           zz * (2.0 / 13 +
                                 zz * (2.0 / 15 +
                                       zz * (2.0 / 17 +
                                             zz * (2.0 / 19 +
                                                   zz * (2.0 / 21 + zz * (2.0 / 23))))))))));
    const double tail = third.hi;
    // The series is taken at sHi; d/ds 2 atanh(s) = 2 / (1 - s^2) carries sLo.
    const double slope = 2.0 * sLo * (zz + zz * zz + zz * zz * zz);
    const double tailLo =
        third.lo + (cube.hi * kTwoThirdsLo + cubeLo * kTwoThirdsHi) + (rest + slope);
    // ln x = e ln 2 + 2 s + tail
    const DoubleDouble lead = twoSum(e * kLn2Hi, 2.0 * sHi);
    const DoubleDouble withTail = twoSum(lead.hi, tail);
    const double lnLo = withTail.lo + (lead.lo + (2.0 * sLo + (tailLo + e * kLn2Lo)));
    const DoubleDouble ln = twoSum(withTail.hi, lnLo);

    // t = y ln x in double-double, limited to where exp over- or underflows anyway.
    const DoubleDouble p = twoProduct(y, ln.hi);
    const double tLo = p.lo + y * ln.lo;
    const DoubleDouble t0 = twoSum(p.hi, tLo);
    const double tHi = pick(t0.hi > 710.0, 710.0, pick(t0.hi < -746.0, -746.0, t0.hi));

    return powResult(x, y, expOf(tHi, t0.lo));
}

// a + b as hi + lo exactly when a is zero or |a| >= |b| (Dekker's fast two-sum).
[[gnu::always_inline]] inline DoubleDouble fastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// x with the low 27 bits of its significand cleared: products of two such values are exact.
[[gnu::always_inline]] inline double upper26(double x) {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) & 0xFFFFFFFFF8000000ull);
}

// x^y for the transfer curves: finite x >= 0 and finite y with |y ln x| <= 64, results
// normal. At most 2 ulps from std::pow there (measured over bases 2^-40..2^40 and
// exponents up to 12). Half the work of pow: ln x is one double plus a correction term
// (the log of 4.4BSD/fdlibm: m - 1 is exact and only the small remainder is rounded),
// y ln x is one exact product plus a correction, and exp has no division. Beyond that range the
// result saturates to 0 or a huge finite value; x = 0 gives 0, 1 or +inf as std::pow does, negative
// x gives NaN. Callers build with -ffp-contract=off.
[[gnu::always_inline]] inline double powCurve(double x, double y) {
    const Reduced reduced = reduce(x);
    const double m = reduced.m, e = reduced.e;

    // ln m = f - f^2/2 + s (f^2/2 + R(s^2)) with f = m - 1 (exact) and s = f / (2 + f).
    const double f = m - 1.0;
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double w = z * z;
    const double r1 = w * (3.999999999940941908e-01 +
                           w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
    const double r2 = z * (6.666666666666735130e-01 +
                           w * (2.857142874366239149e-01 +
                                w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
    const double halfSquare = 0.5 * f * f;
    const double small = halfSquare - (s * (halfSquare + (r1 + r2)) + e * kLn2Lo);
    // ln x = e ln2Hi + f - small, summed exactly: each first term is zero or the larger.
    const DoubleDouble lead = fastTwoSum(e * kLn2Hi, f);
    const DoubleDouble ln = fastTwoSum(lead.hi, -small);
    const double lnLo = ln.lo + lead.lo;

    // t = y ln x as tHi + tLo: both factors cut to 26 bits make tHi exact; the cut-off
    // parts go to tLo. Limited to where exp over- or underflows anyway.
    const double yHi = upper26(y);
    const double lnHi = upper26(ln.hi);
    const double product = yHi * lnHi;
    const double tLo = (y - yHi) * lnHi + y * ((ln.hi - lnHi) + lnLo);
    const double tHi = pick(product > 710.0, 710.0, pick(product < -746.0, -746.0, product));

    return powResult(x, y, expOf(tHi, tLo));
}

}  // namespace chromel::vmath

#endif  // CHROMEL_VECTOR_MATH_H
