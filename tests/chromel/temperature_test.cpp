#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "chromel32.h"

namespace {

// Reference values worked out by hand from the published polynomials (Python floats).
constexpr double kTol = 1e-9;

TEST(ColourTemperature, WhitePointsLieNearTheirNominalTemperatures) {
    EXPECT_NEAR(QelColor_CalcColTempFromXYZ(0.9504, 1, 1.0889), 6505.125308165116, kTol);
    EXPECT_NEAR(QelColor_CalcColTempFromXYZ(1.0987, 1, 0.3559), 2852.9522735672135, kTol);
    EXPECT_NEAR(QelColor_CalcColTempFromXYZ(0.9642, 1, 0.8249), 4992.486657461338, kTol);
    // Off the locus the cubic still answers.
    EXPECT_NEAR(QelColor_CalcColTempFromXYZ(2, 3, 4), 12793.285929342539, 1e-8);
}

TEST(ColourTemperature, ZeroSumGivesZero) {
    EXPECT_EQ(QelColor_CalcColTempFromXYZ(0, 0, 0), 0.0);
    EXPECT_EQ(QelColor_CalcColTempFromXYZ(1, -1, 0), 0.0);
}

TEST(ColourTemperature, RecordFormReadsTheFirstThreeValues) {
    const ColorRecord d65{{0.9504, 1, 1.0889, 123.0}};
    double kelvin = 0;
    QelColor_XYZ2ColorTemperature(&d65, &kelvin);
    EXPECT_EQ(kelvin, QelColor_CalcColTempFromXYZ(0.9504, 1, 1.0889));
    kelvin = 9;
    QelColor_XYZ2ColorTemperature(nullptr, &kelvin);
    EXPECT_EQ(kelvin, 0.0);
    QelColor_XYZ2ColorTemperature(&d65, nullptr);
}

TEST(DaylightLocus, BothEndsOfTheRangeAreOnTheLocus) {
    double x = 0, y = 0;
    QelColor_CalcxyFromColTemp(4000, &x, &y);
    EXPECT_NEAR(x, 0.38234362499999996, kTol);
    EXPECT_NEAR(y, 0.3837662610155782, kTol);
    QelColor_CalcxyFromColTemp(25000, &x, &y);
    EXPECT_NEAR(x, 0.2498536704, kTol);
    EXPECT_NEAR(y, 0.25479946421094446, kTol);
}

TEST(DaylightLocus, SevenThousandUsesTheLowerPolynomial) {
    double x = 0, y = 0;
    QelColor_CalcxyFromColTemp(7000, &x, &y);
    EXPECT_NEAR(x, 0.3053574314868805, kTol);  // the upper one gives 0.30535696793
    EXPECT_NEAR(y, 0.3216463454745523, kTol);
    QelColor_CalcxyFromColTemp(7000.5, &x, &y);
    EXPECT_NEAR(x, 0.30535015209053795, kTol);
    EXPECT_NEAR(y, 0.3216387903547, kTol);
    QelColor_CalcxyFromColTemp(6504, &x, &y);
    EXPECT_NEAR(x, 0.31271405688264753, kTol);
    EXPECT_NEAR(y, 0.3291190991371872, kTol);
}

TEST(DaylightLocus, OutOfRangeGivesOrigin) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double t : {3999.9, 25000.1, 0.0, -6500.0, nan, inf}) {
        double x = 9, y = 9;
        QelColor_CalcxyFromColTemp(t, &x, &y);
        EXPECT_EQ(x, 0.0) << t;
        EXPECT_EQ(y, 0.0) << t;
    }
}

TEST(DaylightLocus, PointerFormMatchesValueForm) {
    for (double t : {4000.0, 5003.0, 7000.0, 9300.0, 30000.0}) {
        double x1 = 0, y1 = 0, x2 = 1, y2 = 1;
        QelColor_CalcxyFromColTemp(t, &x1, &y1);
        QelColor_ColorTemperature2Chromacity(&t, &x2, &y2);
        EXPECT_EQ(x1, x2) << t;
        EXPECT_EQ(y1, y2) << t;
    }
    double x = 9, y = 9;
    QelColor_ColorTemperature2Chromacity(nullptr, &x, &y);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    const double t = 6500;
    QelColor_ColorTemperature2Chromacity(&t, nullptr, &y);
    EXPECT_NEAR(y, 0.3292, 1e-3);
    QelColor_CalcxyFromColTemp(6500, &x, nullptr);
    EXPECT_NEAR(x, 0.3127, 1e-3);
}

}  // namespace
