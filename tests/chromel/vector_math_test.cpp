// Accuracy of the branch-free powers against the C library's.
#include "chromel/vector_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::int64_t ulpsApart(double a, double b) {
    const auto ia = std::bit_cast<std::int64_t>(a), ib = std::bit_cast<std::int64_t>(b);
    return ia > ib ? ia - ib : ib - ia;
}

// Random bases over 2^-60..2^60 with exponents that put the result anywhere in the
// normal range, plus the gamma-sized exponents the conversions use.
TEST(VectorPow, WithinOneUlpOfTheLibraryForNormalResults) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> log2Base(-60.0, 60.0), log2Result(-1020.0, 1020.0),
        gamma(-10.0, 10.0);
    for (int i = 0; i < 400000; ++i) {
        const double x = std::exp2(log2Base(rng));
        const double y = i % 2 ? gamma(rng) : log2Result(rng) / std::log2(x);
        const double expected = std::pow(x, y);
        if (!std::isnormal(expected)) continue;
        const std::int64_t d = ulpsApart(chromel::vmath::pow(x, y), expected);
        ASSERT_LE(d, 1) << std::hexfloat << x << " ^ " << y;
    }
}

TEST(VectorPow, EdgesFollowTheLibrary) {
    struct Case {
        double x, y;
    };
    const Case cases[] = {{0.0, 2.0},    {0.0, -1.0},     {0.0, 0.0},      {1.0, 1e300},
                          {2.0, 10.0},   {2.0, -1074.0},  {2.0, -1080.0},  {2.0, 1024.0},
                          {10.0, 308.0}, {1e-310, 0.5},   {4.9e-324, 0.5}, {1e-310, 2.0},
                          {0.5, 2.4},    {255.0, 1 / 2.2}};
    for (const Case& c : cases) {
        const double expected = std::pow(c.x, c.y);
        const double got = chromel::vmath::pow(c.x, c.y);
        if (std::isfinite(expected) && expected != 0.0)
            EXPECT_LE(ulpsApart(got, expected), 1) << c.x << " ^ " << c.y;
        else
            EXPECT_EQ(got, expected) << c.x << " ^ " << c.y;
    }
    EXPECT_TRUE(std::isnan(chromel::vmath::pow(-1.0, 2.0)));
    EXPECT_EQ(chromel::vmath::pow(0.0, -0.5), kInf);
}

// The curve power over the bases and exponents of transfer curves and well beyond them.
TEST(CurvePow, WithinTwoUlpsOfTheLibraryForNormalResults) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> log2Base(-40.0, 40.0), unit(0.0, 1.0),
        exponent(-12.0, 12.0);
    const double gammas[] = {2.2, 1 / 2.2, 2.4, 1 / 2.4, 1.8, 2.6};
    for (int i = 0; i < 400000; ++i) {
        const double x = i % 2 ? unit(rng) : std::exp2(log2Base(rng));
        const double y = i % 3 ? gammas[i % 6] : exponent(rng);
        const double expected = std::pow(x, y);
        if (!std::isnormal(expected) || std::fabs(y * std::log(x)) > 64.0) continue;
        ASSERT_LE(ulpsApart(chromel::vmath::powCurve(x, y), expected), 2)
            << std::hexfloat << x << " ^ " << y;
    }
}

// The check-free form the loops take for blocks of bases in range: powCurve's bits,
// out to the corners of its range.
TEST(CurvePow, InRangeFormGivesTheSameBits) {
    using chromel::vmath::kCurveBaseMax;
    using chromel::vmath::kCurveBaseMin;
    using chromel::vmath::kCurveExponentMax;
    std::mt19937_64 rng(77);
    std::uniform_real_distribution<double> log2Base(-64.0, 64.0),
        exponent(-kCurveExponentMax, kCurveExponentMax);
    const double corners[] = {kCurveBaseMin, kCurveBaseMax, 1.0, 0.5, 0.0031308, 0.0905};
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 4 ? std::exp2(log2Base(rng)) : corners[i / 4 % std::size(corners)];
        const double y =
            i % 8 < 2 ? (i % 2 ? kCurveExponentMax : -kCurveExponentMax) : exponent(rng);
        const double a = chromel::vmath::powCurveInRange(x, y);
        const double b = chromel::vmath::powCurve(x, y);
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << std::hexfloat << x << " ^ " << y;
    }
}

TEST(CurvePow, ZeroOneAndNegativeBases) {
    using chromel::vmath::powCurve;
    EXPECT_EQ(powCurve(0.0, 2.2), 0.0);
    EXPECT_EQ(powCurve(0.0, 0.0), 1.0);
    EXPECT_EQ(powCurve(0.0, -1.0), kInf);
    EXPECT_EQ(powCurve(1.0, 2.4), 1.0);
    EXPECT_LE(ulpsApart(powCurve(1e-310, 0.5), std::pow(1e-310, 0.5)), 2);
    EXPECT_TRUE(std::isnan(powCurve(-0.5, 2.2)));
    // Far outside the stated range the result saturates instead of wrapping.
    EXPECT_EQ(powCurve(1e-300, 10.0), 0.0);
    EXPECT_GT(powCurve(1e300, 10.0), 1e300);
}

// The cube root of the Lab conversions, over the whole normal range and densely over the
// ratios the conversions meet.
TEST(VectorCbrt, WithinFourUlpsOfTheLibrary) {
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> log2T(-1022.0, 1023.9), ratio(0.008, 2.0);
    for (int i = 0; i < 1000000; ++i) {
        const double t = i % 2 ? ratio(rng) : std::exp2(log2T(rng));
        ASSERT_LE(ulpsApart(chromel::vmath::cbrtPositive(t), std::cbrt(t)), 4)
            << std::hexfloat << t;
    }
    for (const double t : {0x1p-1022, 1.0, 8.0, 0x1.fffffffffffffp1023, 0.008856451679035631})
        EXPECT_LE(ulpsApart(chromel::vmath::cbrtPositive(t), std::cbrt(t)), 4) << t;
}

}  // namespace
