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

// The curve powers' exponential works from a table of 2^(j/256).
// Generated by tools/gen_exp2_table.py: 2^(j/256) rounded, as its bit pattern less
// j << 44.
inline constexpr std::uint64_t kExp2Bits[256] = {
    0x3FF0000000000000ull, 0x3FEFFB1AFA5ABCBFull, 0x3FEFF63DA9FB3335ull, 0x3FEFF168143B0281ull,
    0x3FEFEC9A3E778061ull, 0x3FEFE7D42E11BBCCull, 0x3FEFE315E86E7F85ull, 0x3FEFDE5F72F654B1ull,
    0x3FEFD9B0D3158574ull, 0x3FEFD50A0E3C1F89ull, 0x3FEFD06B29DDF6DEull, 0x3FEFCBD42B72A836ull,
    0x3FEFC74518759BC8ull, 0x3FEFC2BDF66607E0ull, 0x3FEFBE3ECAC6F383ull, 0x3FEFB9C79B1F3919ull,
    0x3FEFB5586CF9890Full, 0x3FEFB0F145E46C85ull, 0x3FEFAC922B7247F7ull, 0x3FEFA83B23395DECull,
    0x3FEFA3EC32D3D1A2ull, 0x3FEF9FA55FDFA9C5ull, 0x3FEF9B66AFFED31Bull, 0x3FEF973028D7233Eull,
    0x3FEF9301D0125B51ull, 0x3FEF8EDBAB5E2AB6ull, 0x3FEF8ABDC06C31CCull, 0x3FEF86A814F204ABull,
    0x3FEF829AAEA92DE0ull, 0x3FEF7E95934F312Eull, 0x3FEF7A98C8A58E51ull, 0x3FEF76A45471C3C2ull,
    0x3FEF72B83C7D517Bull, 0x3FEF6ED48695BBC0ull, 0x3FEF6AF9388C8DEAull, 0x3FEF672658375D2Full,
    0x3FEF635BEB6FCB75ull, 0x3FEF5F99F8138A1Cull, 0x3FEF5BE084045CD4ull, 0x3FEF582F95281C6Bull,
    0x3FEF54873168B9AAull, 0x3FEF50E75EB44027ull, 0x3FEF4D5022FCD91Dull, 0x3FEF49C18438CE4Dull,
    0x3FEF463B88628CD6ull, 0x3FEF42BE3578A819ull, 0x3FEF3F49917DDC96ull, 0x3FEF3BDDA27912D1ull,
    0x3FEF387A6E756238ull, 0x3FEF351FFB82140Aull, 0x3FEF31CE4FB2A63Full, 0x3FEF2E85711ECE75ull,
    0x3FEF2B4565E27CDDull, 0x3FEF280E341DDF29ull, 0x3FEF24DFE1F56381ull, 0x3FEF21BA7591BB70ull,
    0x3FEF1E9DF51FDEE1ull, 0x3FEF1B8A66D10F13ull, 0x3FEF187FD0DAD990ull, 0x3FEF157E39771B2Full,
    0x3FEF1285A6E4030Bull, 0x3FEF0F961F641589ull, 0x3FEF0CAFA93E2F56ull, 0x3FEF09D24ABD886Bull,
    0x3FEF06FE0A31B715ull, 0x3FEF0432EDEEB2FDull, 0x3FEF0170FC4CD831ull, 0x3FEEFEB83BA8EA32ull,
    0x3FEEFC08B26416FFull, 0x3FEEF96266E3FA2Dull, 0x3FEEF6C55F929FF1ull, 0x3FEEF431A2DE883Bull,
    0x3FEEF1A7373AA9CBull, 0x3FEEEF26231E754Aull, 0x3FEEECAE6D05D866ull, 0x3FEEEA401B7140EFull,
    0x3FEEE7DB34E59FF7ull, 0x3FEEE57FBFEC6CF4ull, 0x3FEEE32DC313A8E5ull, 0x3FEEE0E544EDE173ull,
    0x3FEEDEA64C123422ull, 0x3FEEDC70DF1C5175ull, 0x3FEEDA4504AC801Cull, 0x3FEED822C367A024ull,
    0x3FEED60A21F72E2Aull, 0x3FEED3FB2709468Aull, 0x3FEED1F5D950A897ull, 0x3FEECFFA3F84B9D4ull,
    0x3FEECE086061892Dull, 0x3FEECC2042A7D232ull, 0x3FEECA41ED1D0057ull, 0x3FEEC86D668B3237ull,
    0x3FEEC6A2B5C13CD0ull, 0x3FEEC4E1E192AED2ull, 0x3FEEC32AF0D7D3DEull, 0x3FEEC17DEA6DB7D7ull,
    0x3FEEBFDAD5362A27ull, 0x3FEEBE41B817C114ull, 0x3FEEBCB299FDDD0Dull, 0x3FEEBB2D81D8ABFFull,
    0x3FEEB9B2769D2CA7ull, 0x3FEEB8417F4531EEull, 0x3FEEB6DAA2CF6642ull, 0x3FEEB57DE83F4EEFull,
    0x3FEEB42B569D4F82ull, 0x3FEEB2E2F4F6AD27ull, 0x3FEEB1A4CA5D920Full, 0x3FEEB070DDE910D2ull,
    0x3FEEAF4736B527DAull, 0x3FEEAE27DBE2C4CFull, 0x3FEEAD12D497C7FDull, 0x3FEEAC0827FF07CCull,
    0x3FEEAB07DD485429ull, 0x3FEEAA11FBA87A03ull, 0x3FEEA9268A5946B7ull, 0x3FEEA84590998B93ull,
    0x3FEEA76F15AD2148ull, 0x3FEEA6A320DCEB71ull, 0x3FEEA5E1B976DC09ull, 0x3FEEA52AE6CDF6F4ull,
    0x3FEEA47EB03A5585ull, 0x3FEEA3DD1D1929FDull, 0x3FEEA34634CCC320ull, 0x3FEEA2B9FEBC8FB7ull,
    0x3FEEA23882552225ull, 0x3FEEA1C1C70833F6ull, 0x3FEEA155D44CA973ull, 0x3FEEA0F4B19E9538ull,
    0x3FEEA09E667F3BCDull, 0x3FEEA052FA75173Eull, 0x3FEEA012750BDABFull, 0x3FEE9FDCDDD47645ull,
    0x3FEE9FB23C651A2Full, 0x3FEE9F9298593AE5ull, 0x3FEE9F7DF9519484ull, 0x3FEE9F7466F42E87ull,
    0x3FEE9F75E8EC5F74ull, 0x3FEE9F8286EAD08Aull, 0x3FEE9F9A48A58174ull, 0x3FEE9FBD35D7CBFDull,
    0x3FEE9FEB564267C9ull, 0x3FEEA024B1AB6E09ull, 0x3FEEA0694FDE5D3Full, 0x3FEEA0B938AC1CF6ull,
    0x3FEEA11473EB0187ull, 0x3FEEA17B0976CFDBull, 0x3FEEA1ED0130C132ull, 0x3FEEA26A62FF86F0ull,
    0x3FEEA2F336CF4E62ull, 0x3FEEA3878491C491ull, 0x3FEEA427543E1A12ull, 0x3FEEA4D2ADD106D9ull,
    0x3FEEA589994CCE13ull, 0x3FEEA64C1EB941F7ull, 0x3FEEA71A4623C7ADull, 0x3FEEA7F4179F5B21ull,
    0x3FEEA8D99B4492EDull, 0x3FEEA9CAD931A436ull, 0x3FEEAAC7D98A6699ull, 0x3FEEABD0A478580Full,
    0x3FEEACE5422AA0DBull, 0x3FEEAE05BAD61778ull, 0x3FEEAF3216B5448Cull, 0x3FEEB06A5E0866D9ull,
    0x3FEEB1AE99157736ull, 0x3FEEB2FED0282C8Aull, 0x3FEEB45B0B91FFC6ull, 0x3FEEB5C353AA2FE2ull,
    0x3FEEB737B0CDC5E5ull, 0x3FEEB8B82B5F98E5ull, 0x3FEEBA44CBC8520Full, 0x3FEEBBDD9A7670B3ull,
    0x3FEEBD829FDE4E50ull, 0x3FEEBF33E47A22A2ull, 0x3FEEC0F170CA07BAull, 0x3FEEC2BB4D53FE0Dull,
    0x3FEEC49182A3F090ull, 0x3FEEC674194BB8D5ull, 0x3FEEC86319E32323ull, 0x3FEECA5E8D07F29Eull,
    0x3FEECC667B5DE565ull, 0x3FEECE7AED8EB8BBull, 0x3FEED09BEC4A2D33ull, 0x3FEED2C980460AD8ull,
    0x3FEED503B23E255Dull, 0x3FEED74A8AF46052ull, 0x3FEED99E1330B358ull, 0x3FEEDBFE53C12E59ull,
    0x3FEEDE6B5579FDBFull, 0x3FEEE0E521356EBAull, 0x3FEEE36BBFD3F37Aull, 0x3FEEE5FF3A3C2774ull,
    0x3FEEE89F995AD3ADull, 0x3FEEEB4CE622F2FFull, 0x3FEEEE07298DB666ull, 0x3FEEF0CE6C9A8952ull,
    0x3FEEF3A2B84F15FBull, 0x3FEEF68415B749B1ull, 0x3FEEF9728DE5593Aull, 0x3FEEFC6E29F1C52Aull,
    0x3FEEFF76F2FB5E47ull, 0x3FEF028CF22749E4ull, 0x3FEF05B030A1064Aull, 0x3FEF08E0B79A6F1Full,
    0x3FEF0C1E904BC1D2ull, 0x3FEF0F69C3F3A207ull, 0x3FEF12C25BD71E09ull, 0x3FEF16286141B33Dull,
    0x3FEF199BDD85529Cull, 0x3FEF1D1CD9FA652Cull, 0x3FEF20AB5FFFD07Aull, 0x3FEF244778FAFB22ull,
    0x3FEF27F12E57D14Bull, 0x3FEF2BA88988C933ull, 0x3FEF2F6D9406E7B5ull, 0x3FEF33405751C4DBull,
    0x3FEF3720DCEF9069ull, 0x3FEF3B0F2E6D1675ull, 0x3FEF3F0B555DC3FAull, 0x3FEF43155B5BAB74ull,
    0x3FEF472D4A07897Cull, 0x3FEF4B532B08C968ull, 0x3FEF4F87080D89F2ull, 0x3FEF53C8EACAA1D6ull,
    0x3FEF5818DCFBA487ull, 0x3FEF5C76E862E6D3ull, 0x3FEF60E316C98398ull, 0x3FEF655D71FF6075ull,
    0x3FEF69E603DB3285ull, 0x3FEF6E7CD63A8315ull, 0x3FEF7321F301B460ull, 0x3FEF77D5641C0658ull,
    0x3FEF7C97337B9B5Full, 0x3FEF81676B197D17ull, 0x3FEF864614F5A129ull, 0x3FEF8B333B16EE12ull,
    0x3FEF902EE78B3FF6ull, 0x3FEF953924676D76ull, 0x3FEF9A51FBC74C83ull, 0x3FEF9F7977CDB740ull,
    0x3FEFA4AFA2A490DAull, 0x3FEFA9F4867CCA6Eull, 0x3FEFAF482D8E67F1ull, 0x3FEFB4AAA2188510ull,
    0x3FEFBA1BEE615A27ull, 0x3FEFBF9C1CB6412Aull, 0x3FEFC52B376BBA97ull, 0x3FEFCAC948DD7274ull,
    0x3FEFD0765B6E4540ull, 0x3FEFD632798844F8ull, 0x3FEFDBFDAD9CBE14ull, 0x3FEFE1D802243C89ull,
    0x3FEFE7C1819E90D8ull, 0x3FEFEDBA3692D514ull, 0x3FEFF3C22B8F71F1ull, 0x3FEFF9D96B2A23D9ull,
};

// x = 2^e m with m in [sqrt(1/2), sqrt(2)) for a positive normal x, by integer steps: the
// difference from the pattern of sqrt(1/2) carries e in its top 12 bits.
[[gnu::always_inline]] inline Reduced curveReduceNormal(double x) {
    constexpr std::uint64_t kLow = 0x3FE6A09E667F3BCDull;  // sqrt(1/2) rounded up
    constexpr std::uint64_t kTop12 = 0xFFF0000000000000ull;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t offset = bits - kLow;
    const double m = std::bit_cast<double>(bits - (offset & kTop12));
    // e + 2048 is positive, so a logical shift takes it out; then into a double by way of
    // 2^52 + (e + 2048).
    const std::uint64_t biased = ((offset + (2048ull << 52)) >> 52) | 0x4330000000000000ull;
    return {m, std::bit_cast<double>(biased) - (4503599627370496.0 + 2048.0)};
}

// The same for finite x >= 0; subnormals are scaled up first.
[[gnu::always_inline]] inline Reduced curveReduce(double x) {
    constexpr double kTwo54 = 18014398509481984.0;
    const bool tiny = x < 2.2250738585072014e-308;
    const Reduced r = curveReduceNormal(pick(tiny, x * kTwo54, x));
    return {r.m, r.e - pick(tiny, 54.0, 0.0)};
}

// ln x as hi + lo for x = 2^e m, m in [sqrt(1/2), sqrt(2)): the log of 4.4BSD/fdlibm,
// ln m = f - f^2/2 + s (f^2/2 + R(s^2)) with f = m - 1 (exact) and s = f / (2 + f); only
// the small remainder is rounded.
[[gnu::always_inline]] inline DoubleDouble curveLog(const Reduced& reduced) {
    const double m = reduced.m, e = reduced.e;
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
    return {ln.hi, ln.lo + lead.lo};
}

// t = y ln x as hi + lo: both factors cut to 26 bits make hi exact; the cut-off parts go
// to lo.
[[gnu::always_inline]] inline DoubleDouble curveProduct(double y, const DoubleDouble& ln) {
    const double yHi = upper26(y);
    const double lnHi = upper26(ln.hi);
    return {yHi * lnHi, (y - yHi) * lnHi + y * ((ln.hi - lnHi) + ln.lo)};
}

// exp(tHi + tLo) = 2^K 2^(j/256) (1 + q): tHi = (256 K + j) ln2 / 256 + r with
// |r| <= ln2 / 512 and 0 <= j < 256; q = exp(r) - 1 by its series to r^4 (no division).
// The low bits of `bits` hold 256 K + j.
struct CurveExp {
    double q;
    double k;  // 256 K + j, an integer
    std::uint64_t bits;
    std::uint64_t j;
};

[[gnu::always_inline]] inline CurveExp curveExp(double tHi, double tLo) {
    constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to integer
    constexpr double k256InvLn2 = 369.3299304675746;
    const double shifted = tHi * k256InvLn2 + kShift;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(shifted);
    const double k = shifted - kShift;
    // k ln2Hi / 256 is exact and close to tHi, so the first difference is exact too.
    const double r = ((tHi - k * (kLn2Hi / 256)) - k * (kLn2Lo / 256)) + tLo;
    const double q = r + r * r * (1.0 / 2 + r * (1.0 / 6 + r * (1.0 / 24)));
    return {q, k, bits, bits & 255u};
}

// x^y for the transfer curves: finite x >= 0 and finite y with |y ln x| <= 64, results
// normal. At most 2 ulps from std::pow there (measured over bases 2^-40..2^40 and
// exponents up to 12). Half the work of pow: ln x is one double plus a correction term,
// y ln x is one exact product plus a correction, and exp comes from a table of 2^(j/256)
// and a short series, with no division. Beyond that range the result saturates to 0 or a
// huge finite value; x = 0 gives 0, 1 or +inf as std::pow does, negative x gives NaN.
// For x in [2^-64, 2^64] and |y| <= 15 it gives powCurveInRange's bits. Callers build
// with -ffp-contract=off.
[[gnu::always_inline]] inline double powCurve(double x, double y) {
    const DoubleDouble t = curveProduct(y, curveLog(curveReduce(x)));
    const double tHi = pick(t.hi > 709.0, 709.0, pick(t.hi < -746.0, -746.0, t.hi));
    const CurveExp ex = curveExp(tHi, t.lo);
    const double table = std::bit_cast<double>(kExp2Bits[ex.j] + (ex.j << 44));
    // 2^K applied in two halves, so that each stays a normal number down to the subnormal
    // results; K = (k - j) / 256 exactly.
    const double jd = std::bit_cast<double>(ex.j | 0x4330000000000000ull) - 4503599627370496.0;
    const double kBig = (ex.k - jd) * (1.0 / 256);
    constexpr double kShift = 6755399441055744.0;
    const double kHalf = (kBig * 0.5 + kShift) - kShift;
    const double w = table + table * ex.q;
    return powResult(x, y, w * exp2Integral(kHalf) * exp2Integral(kBig - kHalf));
}

// Lower and upper limits of powCurveInRange's bases, and of its exponents' magnitude.
inline constexpr double kCurveBaseMin = 0x1p-64;
inline constexpr double kCurveBaseMax = 0x1p64;
inline constexpr double kCurveExponentMax = 15.0;

// powCurve for x in [kCurveBaseMin, kCurveBaseMax] and |y| <= kCurveExponentMax, with the
// same bits, for loops that check their bases beforehand: no subnormal, zero or
// saturation cases (|y ln x| <= 666). Other arguments give unspecified values.
[[gnu::always_inline]] inline double powCurveInRange(double x, double y) {
    const DoubleDouble t = curveProduct(y, curveLog(curveReduceNormal(x)));
    const CurveExp ex = curveExp(t.hi, t.lo);
    // 2^K 2^(j/256) by its bit pattern: shifted left by 44, the low bits of ex.bits add
    // (K << 52) + (j << 44) to the table's entry. The result is normal, so scaling the
    // sum by 2^K rounds as scaling its parts does: the bits are powCurve's.
    const double scaled = std::bit_cast<double>(kExp2Bits[ex.j] + (ex.bits << 44));
    return scaled + scaled * ex.q;
}

}  // namespace chromel::vmath

#endif  // CHROMEL_VECTOR_MATH_H
