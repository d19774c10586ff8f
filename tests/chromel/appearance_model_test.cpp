#include <gtest/gtest.h>

#include "chromel/appearance.h"

namespace {

constexpr double kDegrees = 57.29577951308232;

ColorRecord colour(double a, double b, double c) {
    return {{a, b, c, 0.0}};
}

// The published worked example, its white and sample taken as they stand (Yw = 90).
TEST(AppearanceModel, PublishedWorkedExample) {
    struct Case {
        double la, j, c, hDegrees;
    };
    for (const Case& e :
         {Case{200.0, 48.0314, 38.7789, 191.0452}, Case{20.0, 47.6856, 36.0527, 185.3445}}) {
        const ViewingConditions vc{colour(98.88, 90.0, 32.03), colour(0.0, 18.0, 0.0), 0.69, e.la,
                                   -1.0};
        const auto model = chromel::appearanceModel(vc, 1.0);
        ASSERT_TRUE(model.has_value());
        const ColorRecord xyz = colour(19.31, 23.93, 10.14);
        ColorRecord jch{};
        ASSERT_EQ(chromel::xyzToAppearance({&xyz, 1}, *model, chromel::AppearanceForm::JCh, &jch),
                  1u);
        EXPECT_NEAR(jch.v[0], e.j, 1e-4) << e.la;
        EXPECT_NEAR(jch.v[1], e.c, 1e-4) << e.la;
        EXPECT_NEAR(jch.v[2] * kDegrees, e.hDegrees, 1e-4) << e.la;
        ColorRecord back{};
        ASSERT_EQ(chromel::appearanceToXyz({&jch, 1}, *model, chromel::AppearanceForm::JCh, &back),
                  1u);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(back.v[k], xyz.v[k], 1e-12);
    }
}

// A white whose red CAT02 response is exactly zero would make every J NaN.
TEST(AppearanceModel, DegenerateWhiteIsRefused) {
    const ViewingConditions vc{colour(0.0, 0.1624, 0.4296), colour(0.0, 0.02, 0.0), 0.69, 64.0,
                               1.0};
    EXPECT_FALSE(chromel::appearanceModel(vc, 1.0).has_value());
}

}  // namespace
