#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "chromel32.h"

namespace {

constexpr int kEntries = 5040;
constexpr double kPi = 3.141592653589793;
using Points = std::array<ColorRecord, 14>;

std::vector<ColorRecord> table(uint32_t illuminant = QEL_ILLUMINANT_C, int32_t observer = 2) {
    std::vector<ColorRecord> t(kEntries);
    QelColor_GetMunsellLabData(illuminant, observer, t.data());
    return t;
}

const ColorRecord& at(const std::vector<ColorRecord>& t, int value, int hue, int column) {
    return t[(value - 1) * 560 + hue * 14 + column];
}

double degreesOf(const ColorRecord& c) {
    const double h = std::atan2(c.v[2], c.v[1]) * 180.0 / kPi;
    return h < 0 ? h + 360.0 : h;
}

// Difference of two angles in degrees, on the circle.
double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 360.0));
}

Points pointsOfHue(double hue, double lightness, int32_t expect = -1) {
    Points p{};
    const ColorRecord lab{{lightness, 0, 0, 0}};
    EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromMusellHue(&hue, &lab, 3, 2, 14, p.data()), expect);
    return p;
}

Points pointsOfStep(double step, int32_t family, double lightness) {
    Points p{};
    const ColorRecord lab{{lightness, 0, 0, 0}};
    EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromMusellVal(&step, family, &lab, 3, 2, 14, p.data()),
              -1);
    return p;
}

bool same(const Points& a, const Points& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(MunsellTable, MatchesTheRenotationFiguresInEveryIlluminant) {
    const std::vector<ColorRecord> t = table();
    const double first[3][3] = {
        {10, 9.99579, -0.290147}, {10, 19.972855, -1.041666}, {10, 29.91183, -2.298359}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(t[k].v[0], first[k][0]);
        EXPECT_NEAR(t[k].v[1], first[k][1], 0.05);
        EXPECT_NEAR(t[k].v[2], first[k][2], 0.05);
    }
    EXPECT_NEAR(degreesOf(at(t, 1, 0, 0)), 358.3, 1.5);
    EXPECT_NEAR(degreesOf(at(t, 1, 0, 13)), 350.9, 1.5);
    EXPECT_LT(angleGap(degreesOf(t.back()), 14.61), 2.0);
    for (int v = 1; v <= 9; ++v)
        for (int k = 0; k < 14; ++k) {
            double turn = 0;
            for (int g = 0; g < 40; ++g) {
                const ColorRecord& p = at(t, v, g, k);
                ASSERT_EQ(p.v[0], 10.0 * v);
                ASSERT_NEAR(std::hypot(p.v[1], p.v[2]), 10.0 * (k + 1), 1e-12);
                const double step =
                    std::fmod(degreesOf(at(t, v, (g + 1) % 40, k)) - degreesOf(p) + 360.0, 360.0);
                ASSERT_GT(step, 0.0) << "hue lines cross at V " << v << " g " << g << " k " << k;
                turn += step;
            }
            ASSERT_NEAR(turn, 360.0, 1e-9) << "hues out of cyclic order at V " << v;
        }
    for (auto [illuminant, observer] : {std::pair{4u, 2}, {6u, 2}, {99u, 7}})
        EXPECT_EQ(std::memcmp(table(illuminant, observer).data(), t.data(),
                              kEntries * sizeof(ColorRecord)),
                  0);
}

TEST(MunsellHueCircle, FamilyAndStepMapOntoAngles) {
    EXPECT_TRUE(same(pointsOfStep(2.5, 0, 50), pointsOfHue(0, 50)));
    EXPECT_TRUE(same(pointsOfStep(10, 9, 50), pointsOfHue(351, 50)));
    EXPECT_TRUE(same(pointsOfStep(12.5, 9, 50), pointsOfStep(2.5, 0, 50)));
    EXPECT_TRUE(same(pointsOfStep(-7.5, 1, 50), pointsOfStep(2.5, 0, 50)));
    EXPECT_TRUE(same(pointsOfStep(10, -1, 50), pointsOfHue(351, 50)));
    EXPECT_TRUE(same(pointsOfHue(360, 50), pointsOfHue(0, 50)));
    EXPECT_TRUE(same(pointsOfHue(-5, 50), pointsOfHue(355, 50)));
    // Huge steps wrap at once; non-finite ones are refused with nothing written.
    pointsOfStep(1e300, 4, 50);
    for (double bad : {double(INFINITY), -double(INFINITY), double(NAN)}) {
        Points p{};
        p[0].v[0] = 7;
        const ColorRecord lab{{50, 0, 0, 0}};
        EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromMusellVal(&bad, 3, &lab, 3, 2, 14, p.data()),
                  0);
        EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromMusellHue(&bad, &lab, 3, 2, 14, p.data()), 0);
        EXPECT_EQ(p[0].v[0], 7);
    }
}

TEST(MunsellHueOfLab, EveryTableEntryGivesItsLine) {
    const std::vector<ColorRecord> t = table();
    for (int v = 1; v <= 9; ++v)
        for (int g = 0; g < 40; ++g)
            for (int k = 0; k < 14; ++k) {
                const ColorRecord& p = at(t, v, g, k);
                double hue = -1;
                ASSERT_EQ(QelColor_ExtractMusellHueFromLab(&p, 3, 2, &hue), -1);
                // C* 140 lies beyond the 135 the look-up accepts; it is taken there, where
                // the lines bend and crowd (V 1 near 2.5P), up to 0.98 degrees off.
                ASSERT_LT(angleGap(hue, 9.0 * g), k < 13 ? 1e-6 : 1.0) << v << " " << g << " " << k;
                if (k == 13) continue;
                double step = -1;
                uint32_t family = 99;
                ASSERT_EQ(QelColor_ExtractMusellValFromLab(&p, 3, 2, &step, &family), -1);
                ASSERT_LT(family, 10u);
                ASSERT_GE(step, 0.0);
                ASSERT_LT(step, 10.0);
                ASSERT_LT(angleGap(36.0 * family + 3.6 * step - 9.0, 9.0 * g), 1e-6);
            }
}

TEST(MunsellHueOfLab, NeutralAndUnusableColoursGiveNothing) {
    for (const ColorRecord c : {ColorRecord{{50, 0.05, -0.09, 0}}, ColorRecord{{NAN, 20, 20, 0}},
                                ColorRecord{{50, INFINITY, 0, 0}}}) {
        double hue = -7;
        EXPECT_EQ(QelColor_ExtractMusellHueFromLab(&c, 3, 2, &hue), 0);
        EXPECT_EQ(hue, -7);
        Points p{};
        EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromLab(&c, 3, 2, 14, p.data()), 0);
    }
    // Below L* 0 and above 100 the end slices serve; nothing is read outside the table.
    for (double l : {-40.0, 0.0, 5.0, 99.5, 250.0}) {
        const ColorRecord c{{l, 20, 30, 0}};
        double hue = -1;
        EXPECT_EQ(QelColor_ExtractMusellHueFromLab(&c, 3, 2, &hue), -1) << l;
        EXPECT_GE(hue, 0);
        EXPECT_LT(hue, 360);
    }
}

TEST(MunsellControlPoints, FollowTheTableLinesAtEveryLightness) {
    const std::vector<ColorRecord> t = table();
    for (int v = 1; v <= 9; ++v)
        for (int g : {0, 7, 39}) {
            const Points p = pointsOfHue(9.0 * g, 10.0 * v);
            for (int k = 0; k < 14; ++k)
                EXPECT_EQ(std::memcmp(p[k].v, at(t, v, g, k).v, 3 * sizeof(double)), 0);
        }
    for (double hue : {0.0, 4.5, 100.3, 359.9}) {
        const Points p = pointsOfHue(hue, 30);
        for (int k = 0; k < 14; ++k) {
            EXPECT_EQ(p[k].v[0], 30);
            EXPECT_NEAR(std::hypot(p[k].v[1], p[k].v[2]), 10.0 * (k + 1), 1e-9);
        }
    }
    // Beyond the first and last value the end slice's hue lines stand, at the lightness.
    for (auto [lightness, value] : {std::pair{5.0, 1}, {95.0, 9}}) {
        const Points p = pointsOfHue(180, lightness);
        for (int k = 0; k < 14; ++k) {
            EXPECT_EQ(p[k].v[0], lightness);
            EXPECT_NEAR(p[k].v[1], at(t, value, 20, k).v[1], 1e-12);
            EXPECT_NEAR(p[k].v[2], at(t, value, 20, k).v[2], 1e-12);
        }
    }
}

TEST(MunsellControlPoints, OfALabColourFollowItsHue) {
    const ColorRecord c{{47, 21.5, -33.2, 0}};
    Points fromLab{};
    ASSERT_EQ(QelColor_ExtractMunsellLabCPAryFromLab(&c, 3, 2, 14, fromLab.data()), -1);
    double hue = 0;
    ASSERT_EQ(QelColor_ExtractMusellHueFromLab(&c, 3, 2, &hue), -1);
    EXPECT_TRUE(same(fromLab, pointsOfHue(hue, 47)));
}

TEST(MunsellControlPoints, OnlyFourteenPointsAreSupported) {
    Points p{};
    p[0].v[0] = 7;
    const ColorRecord c{{47, 21.5, -33.2, 0}};
    const double hue = 20;
    testing::internal::CaptureStderr();
    EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromMusellHue(&hue, &c, 3, 2, 13, p.data()), 0);
    EXPECT_EQ(QelColor_ExtractMunsellLabCPAryFromLab(&c, 3, 2, 15, p.data()), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("\nFunction does not implemented: munsell.cpp, line "), std::string::npos);
    EXPECT_EQ(p[0].v[0], 7);
}

TEST(MunsellChromaSearch, FindsThePointOfAChromaOnALine) {
    for (double hue : {0.0, 133.0, 271.5}) {
        const Points p = pointsOfHue(hue, 42);
        for (double chroma : {35.0, 10.0, 72.25, 128.0}) {
            ColorRecord out{};
            ASSERT_EQ(QelColor_ExtractLabFromMusellLabCPAryByChroma(p.data(), 14, &chroma, &out),
                      -1);
            EXPECT_NEAR(std::hypot(out.v[1], out.v[2]), chroma, 1e-6) << hue << " " << chroma;
            EXPECT_EQ(out.v[0], 42);
        }
        // Chroma 35 lies between the line's points at 30 and 40.
        const double chroma = 35;
        ColorRecord out{};
        QelColor_ExtractLabFromMusellLabCPAryByChroma(p.data(), 14, &chroma, &out);
        const auto angle = [](const ColorRecord& c) { return std::atan2(c.v[2], c.v[1]); };
        const double span = std::remainder(angle(p[3]) - angle(p[2]), 2 * kPi);
        const double off = std::remainder(angle(out) - angle(p[2]), 2 * kPi);
        EXPECT_GE(off * span, 0.0);
        EXPECT_LE(std::fabs(off), std::fabs(span));
    }
}

TEST(MunsellChromaSearch, RefusesWhatItCannotSearch) {
    Points p = pointsOfHue(90, 60);
    const auto refused = [](const ColorRecord* points, uint32_t count, double chroma) {
        ColorRecord out{{1, 1, 1, 1}};
        const int32_t r =
            QelColor_ExtractLabFromMusellLabCPAryByChroma(points, count, &chroma, &out);
        return r == 0 && out.v[0] == 0 && out.v[1] == 0 && out.v[2] == 0;
    };
    for (double chroma : {-1.0, double(NAN), double(INFINITY), 1e15})
        EXPECT_TRUE(refused(p.data(), 14, chroma));
    EXPECT_TRUE(refused(p.data(), 1, 20));
    std::swap(p[3], p[5]);  // no longer monotonic along the line
    EXPECT_TRUE(refused(p.data(), 14, 20));
}

TEST(MunsellThreads, ConcurrentLookUpsMatchOneThread) {
    const auto work = [](uint32_t illuminant) {
        std::vector<double> r;
        for (int i = 0; i < 200; ++i) {
            const ColorRecord c{
                {5.0 + i * 0.45, 40 * std::cos(i * 0.3), 40 * std::sin(i * 0.3), 0}};
            double hue = 0;
            QelColor_ExtractMusellHueFromLab(&c, illuminant, 2, &hue);
            Points p{};
            QelColor_ExtractMunsellLabCPAryFromLab(&c, illuminant, 2, 14, p.data());
            r.push_back(hue);
            r.push_back(p[6].v[1]);
        }
        return r;
    };
    const std::vector<double> expected = work(3);
    std::vector<std::vector<double>> got(8);
    std::vector<std::thread> threads;
    for (uint32_t i = 0; i < 8; ++i)
        threads.emplace_back([&, i] { got[i] = work(i == 0 ? 3 : 16 + i); });
    for (auto& t : threads)
        t.join();
    for (const auto& g : got)
        EXPECT_EQ(g, expected);
}

}  // namespace

namespace {

TEST(MunsellConversions, KeepWhatThePlainFormsLimit) {
    PointRecord w{};
    QelColor_GetWhitePoint(QEL_ILLUMINANT_D65, 2, &w);
    const ColorRecord white{{w.X, w.Y, w.Z, 0}};
    ColorRecord lab{}, back{};
    QelColor_XYZ2Lab4Munsell(&white, QEL_ILLUMINANT_D65, 2, &lab);
    EXPECT_EQ(lab.v[0], 100);
    EXPECT_EQ(lab.v[1], 0);
    EXPECT_EQ(lab.v[2], 0);
    QelColor_Lab2XYZ4Munsell(&lab, QEL_ILLUMINANT_D65, 2, &back);
    EXPECT_EQ(std::memcmp(back.v, white.v, 3 * sizeof(double)), 0);

    // Brighter than the white: L* 150 stays where the plain form stops at 100, and so do
    // chromas beyond the plain forms' 181.
    const double t = std::pow((150.0 + 16.0) / 116.0, 3);
    const ColorRecord bright{{w.X * t, w.Y * t, w.Z * t * 0.02, 0}};
    ColorRecord limited{}, lch{}, lchLimited{};
    QelColor_XYZ2Lab4Munsell(&bright, QEL_ILLUMINANT_D65, 2, &lab);
    QelColor_XYZ2Lab(&bright, QEL_ILLUMINANT_D65, 2, &limited);
    EXPECT_NEAR(lab.v[0], 150, 1e-12);
    EXPECT_EQ(limited.v[0], 100);
    EXPECT_GT(lab.v[2], 128);
    QelColor_XYZ2LCh4Munsell(&bright, QEL_ILLUMINANT_D65, 2, &lch);
    QelColor_XYZ2LCh(&bright, QEL_ILLUMINANT_D65, 2, &lchLimited);
    EXPECT_NEAR(lch.v[0], 150, 1e-12);
    EXPECT_NEAR(lch.v[1], std::hypot(lab.v[1], lab.v[2]), 1e-12);
    EXPECT_LT(lchLimited.v[1], lch.v[1]);
    QelColor_LCh2XYZ4Munsell(&lch, QEL_ILLUMINANT_D65, 2, &back);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(back.v[c], bright.v[c], 1e-12 * bright.v[c]);

    const ColorRecord wide{{150, 300, -250, 0}};
    QelColor_Lab2LCh4Munsell(&wide, &lch);
    EXPECT_EQ(lch.v[0], 150);
    EXPECT_NEAR(lch.v[1], std::hypot(300, 250), 1e-12);
    QelColor_LCh2Lab4Munsell(&lch, &back);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(back.v[c], wide.v[c], 1e-12);

    // No chroma gives hue 0 for either sign of zero.
    const ColorRecord grey{{50, -0.0, -0.0, 0}};
    QelColor_Lab2LCh4Munsell(&grey, &lch);
    EXPECT_EQ(lch.v[2], 0.0);
}

TEST(MunsellConversions, AdaptationsMatchTheLimitedFormsInsideTheLimits) {
    std::vector<ColorRecord> lab;
    for (int i = 0; i < 500; ++i)
        lab.push_back({{5 + i * 0.17, 60 * std::sin(i * 0.7), 60 * std::cos(i * 1.3), 0}});
    std::vector<ColorRecord> lch(lab.size());
    QelColor_Labs2LChs(lab.data(), lab.size(), lch.data());
    const auto n = static_cast<uint32_t>(lab.size());
    for (int32_t method : {1, 2, 3, 4}) {
        std::vector<ColorRecord> a(n), b(n), c(n), d(n);
        QelColor_Labs2Labs4Munsell(lab.data(), QEL_ILLUMINANT_D50, 2, QEL_ILLUMINANT_A, 2, method,
                                   n, a.data());
        QelColor_Labs2Labs(lab.data(), QEL_ILLUMINANT_D50, 2, QEL_ILLUMINANT_A, 2, method, n,
                           b.data());
        QelColor_LChs2LChs4Munsell(lch.data(), QEL_ILLUMINANT_D50, 2, QEL_ILLUMINANT_A, 2, method,
                                   n, c.data());
        QelColor_LChs2LChs(lch.data(), QEL_ILLUMINANT_D50, 2, QEL_ILLUMINANT_A, 2, method, n,
                           d.data());
        for (uint32_t i = 0; i < n; ++i)
            for (int k = 0; k < 3; ++k) {
                ASSERT_NEAR(a[i].v[k], b[i].v[k], 1e-12) << method << " " << i;
                ASSERT_NEAR(c[i].v[k], d[i].v[k], 1e-12) << method << " " << i;
            }
    }
    // Equal illuminants copy, unlimited colours included.
    const ColorRecord wide{{150, 300, -250, 0}};
    ColorRecord out{};
    QelColor_Lab2Lab4Munsell(&wide, 6, 2, 6, 2, 1, &out);
    EXPECT_EQ(std::memcmp(out.v, wide.v, 3 * sizeof(double)), 0);
}

}  // namespace
