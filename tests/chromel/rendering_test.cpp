#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "chromel32.h"

namespace {

struct Lamp {
    uint32_t id;
    const char* name;
    double kelvin;  // CIE 15's correlated colour temperature
    double ra;      // CIE 15's general colour rendering index
};

// The F lamps' published figures; A and D65 render exactly as their own references.
constexpr std::array<Lamp, 14> kLamps{{
    {QEL_ILLUMINANT_A, "A", 2856, 100},
    {QEL_ILLUMINANT_D65, "D65", 6504, 100},
    {QEL_ILLUMINANT_F1, "F1", 6430, 76},
    {QEL_ILLUMINANT_F2, "F2", 4230, 64},
    {QEL_ILLUMINANT_F3, "F3", 3450, 57},
    {QEL_ILLUMINANT_F4, "F4", 2940, 51},
    {QEL_ILLUMINANT_F5, "F5", 6350, 72},
    {QEL_ILLUMINANT_F6, "F6", 4150, 59},
    {QEL_ILLUMINANT_F7, "F7", 6500, 90},
    {QEL_ILLUMINANT_F8, "F8", 5000, 95},
    {QEL_ILLUMINANT_F9, "F9", 4150, 90},
    {QEL_ILLUMINANT_F10, "F10", 5000, 81},
    {QEL_ILLUMINANT_F11, "F11", 4000, 83},
    {QEL_ILLUMINANT_F12, "F12", 3000, 83},
}};

SpectrumRecord lampSpectrum(uint32_t id) {
    SpectrumRecord s{};
    QelColor_GetLightSourceSpectrum(id, &s);
    return s;
}

ColorRecord emission(const SpectrumRecord& s) {
    ColorRecord xyz{};
    QelColor_Spectrum2XYZEms(&s, QEL_OBSERVER_2_DEGREE, &xyz);
    return xyz;
}

TEST(PlanckianTemperature, CieLampsGiveTheirPublishedTemperatures) {
    for (const Lamp& lamp : kLamps) {
        double kelvin = 0, duv = 1;
        const ColorRecord xyz = emission(lampSpectrum(lamp.id));
        ASSERT_EQ(QelColor_XYZ2ColorTemperatureDuv(&xyz, &kelvin, &duv), 0) << lamp.name;
        EXPECT_NEAR(kelvin, lamp.kelvin, 10.0) << lamp.name;
        EXPECT_LT(std::abs(duv), 0.02) << lamp.name;
    }
}

// A blackbody's chromaticity in CIE 1960 (u, v), through the library's spectral sums.
std::array<double, 2> blackbody(double kelvin) {
    SpectrumRecord s{380, 1, 401, 0, {}};
    for (uint32_t i = 0; i < s.count; ++i) {
        const double m = (380.0 + i) * 1e-9;
        s.values[i] = 1e-30 / (std::pow(m, 5) * std::expm1(1.4388e-2 / (m * kelvin)));
    }
    const ColorRecord c = emission(s);
    const double d = c.v[0] + 15 * c.v[1] + 3 * c.v[2];
    return {4 * c.v[0] / d, 6 * c.v[1] / d};
}

TEST(PlanckianTemperature, PointsOffTheLocusComeBackWithTheirDuv) {
    for (double kelvin : {1000.0, 1500.0, 2700.0, 4000.0, 6500.0, 10000.0, 18000.0, 25000.0}) {
        const auto on = blackbody(kelvin);
        const auto before = blackbody(kelvin * 0.999);
        const auto after = blackbody(kelvin * 1.001);
        // Unit normal pointing to larger v (above the locus).
        double nu = -(after[1] - before[1]), nv = after[0] - before[0];
        if (nv < 0) nu = -nu, nv = -nv;
        const double len = std::hypot(nu, nv);
        for (double duv : {-0.02, -0.005, 0.0, 0.003, 0.02}) {
            const double u = on[0] + duv * nu / len, v = on[1] + duv * nv / len;
            const double den = 2 * u - 8 * v + 4;
            const double x = 3 * u / den, y = 2 * v / den;
            const ColorRecord xyz{{x / y, 1.0, (1 - x - y) / y, 0}};
            double gotK = 0, gotDuv = 0;
            ASSERT_EQ(QelColor_XYZ2ColorTemperatureDuv(&xyz, &gotK, &gotDuv), 0);
            EXPECT_NEAR(gotK, kelvin, 1.0) << kelvin << " K, Duv " << duv;
            EXPECT_NEAR(gotDuv, duv, 1e-5) << kelvin << " K, Duv " << duv;
        }
    }
}

TEST(PlanckianTemperature, BadInputWritesZerosAndFails) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const ColorRecord good{{0.95, 1, 1.09, 0}};
    for (const ColorRecord& bad :
         {ColorRecord{{0, 0, 0, 0}}, ColorRecord{{-1, 0, 0, 0}}, ColorRecord{{nan, 1, 1, 0}}}) {
        double kelvin = 9, duv = 9;
        EXPECT_EQ(QelColor_XYZ2ColorTemperatureDuv(&bad, &kelvin, &duv), -1);
        EXPECT_EQ(kelvin, 0.0);
        EXPECT_EQ(duv, 0.0);
    }
    double kelvin = 9, duv = 9;
    EXPECT_EQ(QelColor_XYZ2ColorTemperatureDuv(nullptr, &kelvin, &duv), -1);
    EXPECT_EQ(kelvin + duv, 0.0);
    EXPECT_EQ(QelColor_XYZ2ColorTemperatureDuv(&good, nullptr, &duv), -1);
    EXPECT_EQ(duv, 0.0);
    EXPECT_EQ(QelColor_XYZ2ColorTemperatureDuv(&good, &kelvin, nullptr), -1);
}

TEST(ColourRendering, CieLampsGiveTheirPublishedIndices) {
    for (const Lamp& lamp : kLamps) {
        const SpectrumRecord s = lampSpectrum(lamp.id);
        double ra = 0;
        std::array<double, 14> ri{};
        ASSERT_EQ(QelColor_Spectrum2ColorRendering(&s, &ra, ri.data()), 0) << lamp.name;
        EXPECT_NEAR(ra, lamp.ra, 1.0) << lamp.name;
        if (lamp.ra == 100) {
            for (double r : ri)
                EXPECT_NEAR(r, 100.0, 0.5) << lamp.name;
        }
    }
}

TEST(ColourRendering, TenNanometreSamplesAgreeWithFive) {
    // The instrument's 36 samples, 380 to 730 nm at 10 nm, taken from F7.
    const SpectrumRecord fine = lampSpectrum(QEL_ILLUMINANT_F7);
    SpectrumRecord coarse{380, 10, 36, 0, {}};
    for (uint32_t i = 0; i < coarse.count; ++i)
        coarse.values[i] = fine.values[2 * i];
    double ra = 0;
    ASSERT_EQ(QelColor_Spectrum2ColorRendering(&coarse, &ra, nullptr), 0);
    EXPECT_NEAR(ra, 90.0, 5.0);
}

TEST(ColourRendering, BadInputWritesZerosAndFails) {
    const SpectrumRecord good = lampSpectrum(QEL_ILLUMINANT_F2);
    SpectrumRecord dark{380, 10, 36, 0, {}};
    SpectrumRecord broken = good;
    broken.values[10] = std::numeric_limits<double>::infinity();
    SpectrumRecord noInterval = good;
    noInterval.interval = 0;
    for (const SpectrumRecord* bad : {&dark, &broken, &noInterval}) {
        double ra = 9;
        std::array<double, 14> ri;
        ri.fill(9);
        EXPECT_EQ(QelColor_Spectrum2ColorRendering(bad, &ra, ri.data()), -1);
        EXPECT_EQ(ra, 0.0);
        for (double r : ri)
            EXPECT_EQ(r, 0.0);
    }
    double ra = 9;
    EXPECT_EQ(QelColor_Spectrum2ColorRendering(nullptr, &ra, nullptr), -1);
    EXPECT_EQ(ra, 0.0);
    std::array<double, 14> ri;
    ri.fill(9);
    EXPECT_EQ(QelColor_Spectrum2ColorRendering(&good, nullptr, ri.data()), -1);
    EXPECT_EQ(ri[0], 0.0);
}

}  // namespace
