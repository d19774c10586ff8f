// Spline, Newton polynomial and piecewise-linear curves through point tables.
#include "chromel/curve_interp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using chromel::CurvePoint;

constexpr double kTight = 1e-12;

enum class Kind { Spline, Polynomial, Linear };

// Sets the curve up and evaluates it at x.
double value(Kind kind, const std::vector<CurvePoint>& t, double x) {
    std::vector<double> c(t.size());
    switch (kind) {
        case Kind::Spline:
            EXPECT_EQ(chromel::splineSetup(t, c), -1);
            return chromel::splineValue(t, c, x);
        case Kind::Polynomial:
            EXPECT_EQ(chromel::polynomialSetup(t, c), -1);
            return chromel::polynomialValue(t, c, x);
        case Kind::Linear:
            return chromel::linearValue(t, x);
    }
    return NAN;
}

const std::vector<CurvePoint> kTone{{0, 0}, {128, 64}, {255, 255}};

TEST(CurveInterpolation, KnownValues) {
    struct Case {
        Kind kind;
        std::vector<CurvePoint> table;
        double x, expected;
    };
    const Case cases[] = {
        {Kind::Linear, kTone, 64, 32},
        {Kind::Linear, kTone, 192, 20352.0 / 127},  // 160.25 to two decimals
        {Kind::Linear, kTone, -10, -5},             // first segment extended
        {Kind::Spline, kTone, 128, 64},
        {Kind::Spline, kTone, 255, 255},
        {Kind::Polynomial, kTone, 128, 64},
        {Kind::Polynomial, kTone, 255, 255},
        {Kind::Spline, {{0, 0}, {1, 1}, {2, 0}}, 0.5, 0.6875},
        {Kind::Spline, {{0, 0}, {1, 1}, {2, 0}}, 1.5, 0.6875},
        {Kind::Polynomial, {{0, 0}, {1, 1}, {2, 4}}, 3, 9},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(value(c.kind, c.table, c.x), c.expected, kTight)
            << static_cast<int>(c.kind) << " at " << c.x;
}

TEST(CurveInterpolation, FallingTablesEqualTheirRisingTwins) {
    const std::vector<CurvePoint> rising{{0, 3}, {10, 40}, {25, 30}, {40, 90}, {70, 100}};
    std::vector<CurvePoint> falling(rising.rbegin(), rising.rend());
    for (Kind kind : {Kind::Spline, Kind::Polynomial, Kind::Linear})
        for (double x : {-5.0, 0.0, 4.0, 10.0, 17.0, 33.0, 40.0, 55.0, 70.0, 80.0})
            EXPECT_NEAR(value(kind, falling, x), value(kind, rising, x), 1e-9)
                << static_cast<int>(kind) << " at " << x;
    std::vector<CurvePoint> tone(kTone.rbegin(), kTone.rend());
    EXPECT_NEAR(value(Kind::Linear, tone, 64), 32, kTight);
}

TEST(CurveInterpolation, TwoPointTablesAreLinearEverywhere) {
    for (const std::vector<CurvePoint>& t :
         {std::vector<CurvePoint>{{10, 20}, {30, 60}}, std::vector<CurvePoint>{{30, 60}, {10, 20}}})
        for (Kind kind : {Kind::Spline, Kind::Polynomial, Kind::Linear})
            for (double x : {-10.0, 10.0, 17.0, 30.0, 45.0})
                EXPECT_NEAR(value(kind, t, x), 2 * x, kTight) << static_cast<int>(kind);
}

TEST(CurveInterpolation, SplineIsSmoothAtItsKnots) {
    const std::vector<CurvePoint> t{{0, 0}, {1, 2}, {3, 1}, {4, 5}, {6, 4}};
    std::vector<double> c(t.size());
    ASSERT_EQ(chromel::splineSetup(t, c), -1);
    const double h = 1e-5;
    auto f = [&](double x) { return chromel::splineValue(t, c, x); };
    for (std::size_t i = 1; i + 1 < t.size(); ++i) {
        const double x = t[i].x;
        const double left = (f(x) - f(x - h)) / h, right = (f(x + h) - f(x)) / h;
        EXPECT_NEAR(left, right, 1e-3) << "slope at " << x;
        EXPECT_NEAR(f(x), t[i].y, kTight);
    }
    // Natural ends: the curvature vanishes at both end points.
    EXPECT_EQ(c.front(), 0.0);
    EXPECT_EQ(c.back(), 0.0);
}

TEST(CurveInterpolation, SetupsRefuseBadTablesWithoutWriting) {
    std::vector<CurvePoint> tooMany(257);
    for (std::size_t i = 0; i < tooMany.size(); ++i)
        tooMany[i] = {static_cast<double>(i), 0.0};
    const std::vector<std::vector<CurvePoint>> refused{
        {{0, 0}, {100, 50}, {100, 80}},  // equal neighbours
        {{0, 0}, {0, 1}},                // equal first pair
        {{0, 0}, {5, 1}, {3, 2}},        // turns back
        {{1, 1}},                        // too few
        {},
        tooMany,
    };
    for (const auto& t : refused) {
        std::vector<double> c(std::max<std::size_t>(t.size(), 1), 7.0);
        EXPECT_EQ(chromel::splineSetup(t, c), 0) << t.size();
        EXPECT_EQ(chromel::polynomialSetup(t, c), 0) << t.size();
        EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](double v) { return v == 7.0; }));
    }
    tooMany.pop_back();
    std::vector<double> c(tooMany.size());
    EXPECT_EQ(chromel::splineSetup(tooMany, c), -1);
    EXPECT_EQ(chromel::polynomialSetup(tooMany, c), -1);
}

}  // namespace
