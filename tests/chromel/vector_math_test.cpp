// Accuracy of the branch-free pow against the C library's.
#include "chromel/vector_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
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

}  // namespace
