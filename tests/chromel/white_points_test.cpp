#include <gtest/gtest.h>

#include "chromel32.h"

namespace {

TEST(WhitePoint, TabulatedIlluminantReturnsTrue) {
    PointRecord wp{};
    EXPECT_EQ(QelColor_GetWhitePoint(QEL_ILLUMINANT_D65, 2, &wp), -1);
    EXPECT_DOUBLE_EQ(wp.X, 0.9504);
    EXPECT_DOUBLE_EQ(wp.Y, 1.0);
    EXPECT_DOUBLE_EQ(wp.Z, 1.0889);
}

TEST(WhitePoint, UntabulatedIdsFallBackToD50AndReturnZero) {
    for (uint32_t id : {0u, 2u, 5u, 7u, 8u, 16u, 29u, 0xFFFFFFFFu}) {
        PointRecord wp{};
        EXPECT_EQ(QelColor_GetWhitePoint(id, 2, &wp), 0) << id;
        EXPECT_DOUBLE_EQ(wp.X, 0.9642) << id;
        EXPECT_DOUBLE_EQ(wp.Y, 1.0) << id;
        EXPECT_DOUBLE_EQ(wp.Z, 0.8249) << id;
    }
    PointRecord d50{};
    EXPECT_EQ(QelColor_GetWhitePoint(QEL_ILLUMINANT_D50, 2, &d50), -1);
    EXPECT_DOUBLE_EQ(d50.Z, 0.8249);
}

TEST(WhitePoint, ObserverSelectorChangesNothing) {
    PointRecord two{}, ten{};
    QelColor_GetWhitePoint(QEL_ILLUMINANT_F11, 2, &two);
    QelColor_GetWhitePoint(QEL_ILLUMINANT_F11, 10, &ten);
    EXPECT_DOUBLE_EQ(two.X, ten.X);
    EXPECT_DOUBLE_EQ(two.Z, ten.Z);
}

TEST(WhitePoint, EveryFluorescentHasItsOwnRow) {
    PointRecord f5{};
    EXPECT_EQ(QelColor_GetWhitePoint(21, 2, &f5), -1);
    EXPECT_DOUBLE_EQ(f5.X, 0.909);
    EXPECT_NEAR(f5.Z, 0.98722, 5e-5);  // F5 white from its spectrum at 1 nm
    for (uint32_t id = 17; id <= 28; ++id) {
        PointRecord wp{};
        EXPECT_EQ(QelColor_GetWhitePoint(id, 2, &wp), -1) << id;
        EXPECT_NEAR(wp.X, 1.0, 0.1) << id;
    }
}

TEST(BlackPoint, AlwaysZero) {
    PointRecord bp{1, 1, 1};
    EXPECT_EQ(QelColor_GetBlackPoint(QEL_ILLUMINANT_A, 2, &bp), -1);
    EXPECT_EQ(bp.X, 0.0);
    EXPECT_EQ(bp.Y, 0.0);
    EXPECT_EQ(bp.Z, 0.0);
}

TEST(Version, BothNamesWrite400) {
    int32_t a = 0, b = 0;
    EXPECT_EQ(QelColor_Version(&a), 0);
    EXPECT_EQ(QelColComp_Version(&b), 0);
    EXPECT_EQ(a, 400);
    EXPECT_EQ(b, 400);
}

TEST(NullOutputs, AreIgnored) {
    EXPECT_EQ(QelColor_GetWhitePoint(6, 2, nullptr), -1);
    EXPECT_EQ(QelColor_GetBlackPoint(6, 2, nullptr), -1);
    EXPECT_EQ(QelColor_Version(nullptr), 0);
}

}  // namespace
