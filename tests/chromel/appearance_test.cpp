#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "chromel32.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegrees = 57.29577951308232;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSentinel = -12345.0;

ColorRecord colour(double a, double b, double c) {
    return {{a, b, c, kSentinel}};
}

ViewingConditions conditions(const ColorRecord& white, double yb, double c, double la, double d) {
    return {white, colour(0.0, yb, 0.0), c, la, d};
}

ViewingConditions d65Conditions(double c, double la, double d) {
    return conditions(colour(95.05, 100.0, 108.88), 20.0, c, la, d);
}

std::vector<ColorRecord> sentinels(std::size_t n) {
    return std::vector<ColorRecord>(n, colour(kSentinel, kSentinel, kSentinel));
}

bool isSentinel(const ColorRecord& c) {
    return c.v[0] == kSentinel && c.v[1] == kSentinel && c.v[2] == kSentinel && c.v[3] == kSentinel;
}

// XYZ relative to the white (Y = 1) of random linear sRGB colours, with the gamut's corners.
std::vector<ColorRecord> srgbColours(std::size_t n, unsigned seed) {
    std::vector<ColorRecord> out;
    const auto add = [&](double r, double g, double b) {
        out.push_back(colour(0.4124 * r + 0.3576 * g + 0.1805 * b,
                             0.2126 * r + 0.7152 * g + 0.0722 * b,
                             0.0193 * r + 0.1192 * g + 0.9505 * b));
    };
    for (int corner = 0; corner < 8; ++corner)
        add(corner & 1, (corner >> 1) & 1, (corner >> 2) & 1);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    while (out.size() < n)
        add(u(rng), u(rng), u(rng));
    return out;
}

// Reported in the test's XML output.
void recordFigure(const char* name, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    testing::Test::RecordProperty(name, text);
}

double hueDifferenceDegrees(double a, double b) {
    const double d = std::fabs(a - b);
    return std::min(d, 360.0 - d);
}

// The rescaled published example and a white already at Y = 100.
struct Published {
    ColorRecord sample, white;
    double yb, la;
    double j, c, hDegrees;
};

TEST(Appearance, PublishedExamplesThroughTheExports) {
    const Published cases[] = {
        {colour(19.31 / 90, 23.93 / 90, 10.14 / 90), colour(98.88, 90.0, 32.03), 18.0, 200.0,
         48.0730, 38.7831, 191.0448},
        {colour(19.31 / 90, 23.93 / 90, 10.14 / 90), colour(98.88, 90.0, 32.03), 18.0, 20.0,
         47.7161, 36.0666, 185.3446},
        {colour(0.1901, 0.2, 0.2178), colour(95.05, 100.0, 108.88), 20.0, 318.31, 41.7311, 0.1047,
         219.0484},
    };
    for (const Published& p : cases) {
        ViewingConditions vc = conditions(p.white, p.yb, 0.69, p.la, -1.0);
        ColorRecord jch = colour(0, 0, 0), jab = colour(0, 0, 0);
        QelColor_XYZ2JCh(&p.sample, &vc, &jch);
        QelColor_XYZ2Jab(&p.sample, &vc, &jab);
        EXPECT_NEAR(jch.v[0], p.j, 1e-4) << p.la;
        EXPECT_NEAR(jch.v[1], p.c, 1e-4) << p.la;
        EXPECT_NEAR(jch.v[2] * kDegrees, p.hDegrees, 1e-4) << p.la;
        EXPECT_EQ(jch.v[3], kSentinel);
        EXPECT_NEAR(jab.v[0], p.j, 1e-4);
        EXPECT_NEAR(jab.v[1], p.c * std::cos(p.hDegrees / kDegrees), 1e-4);
        EXPECT_NEAR(jab.v[2], p.c * std::sin(p.hDegrees / kDegrees), 1e-4);
    }
}

TEST(Appearance, AgreesWithLittleCmsForward) {
    PointRecord d65{};
    QelColor_GetWhitePoint(QEL_ILLUMINANT_D65, QEL_OBSERVER_2_DEGREE, &d65);
    const cmsViewingConditions lcmsVc{
        {d65.X * 100, d65.Y * 100, d65.Z * 100}, 20.0, 64.0, AVG_SURROUND, D_CALCULATE};
    cmsHANDLE model = cmsCIECAM02Init(nullptr, &lcmsVc);
    ASSERT_NE(model, nullptr);
    ViewingConditions vc =
        conditions(colour(d65.X * 100, d65.Y * 100, d65.Z * 100), 20.0, 0.69, 64.0, -1.0);
    const std::vector<ColorRecord> xyz = srgbColours(4000, 7);
    std::vector<ColorRecord> jch = sentinels(xyz.size());
    QelColor_XYZs2JChs(xyz.data(), &vc, static_cast<uint32_t>(xyz.size()), jch.data());
    double worstJ = 0, worstC = 0, worstH = 0;
    for (std::size_t i = 0; i < xyz.size(); ++i) {
        const cmsCIEXYZ in{xyz[i].v[0] * 100, xyz[i].v[1] * 100, xyz[i].v[2] * 100};
        cmsJCh ref;
        cmsCIECAM02Forward(model, &in, &ref);
        worstJ = std::max(worstJ, std::fabs(jch[i].v[0] - ref.J));
        worstC = std::max(worstC, std::fabs(jch[i].v[1] - ref.C));
        // The hue of a nearly neutral colour is ill-conditioned.
        if (ref.C > 0.5)
            worstH = std::max(worstH, hueDifferenceDegrees(jch[i].v[2] * kDegrees, ref.h));
    }
    cmsCIECAM02Done(model);
    EXPECT_LT(worstJ, 1e-4);
    EXPECT_LT(worstC, 1e-4);
    EXPECT_LT(worstH, 1e-4);
    recordFigure("worst_J", worstJ);
    recordFigure("worst_C", worstC);
    recordFigure("worst_h_degrees", worstH);
}

TEST(Appearance, RoundTripsOverTheSrgbGamut) {
    const std::vector<ColorRecord> xyz = srgbColours(1000, 11);
    const auto n = static_cast<uint32_t>(xyz.size());
    double worst = 0.0;
    for (const double c : {0.69, 0.59, 0.525})
        for (const double la : {20.0, 2000.0})
            for (const double d : {-1.0, 0.0, 1.0}) {
                ViewingConditions vc = d65Conditions(c, la, d);
                std::vector<ColorRecord> jch = sentinels(n), jab = sentinels(n);
                std::vector<ColorRecord> back1 = sentinels(n), back2 = sentinels(n);
                QelColor_XYZs2JChs(xyz.data(), &vc, n, jch.data());
                QelColor_JChs2XYZs(jch.data(), &vc, n, back1.data());
                QelColor_XYZs2Jabs(xyz.data(), &vc, n, jab.data());
                QelColor_Jabs2XYZs(jab.data(), &vc, n, back2.data());
                for (std::size_t i = 0; i < n; ++i)
                    for (int k = 0; k < 3; ++k) {
                        worst = std::max(worst, std::fabs(back1[i].v[k] - xyz[i].v[k]));
                        worst = std::max(worst, std::fabs(back2[i].v[k] - xyz[i].v[k]));
                    }
                EXPECT_LT(worst, 1e-10) << "c " << c << " La " << la << " D " << d;
            }
    recordFigure("worst_round_trip", worst);
}

TEST(Appearance, RefusedConditionsWriteNothing) {
    std::vector<ViewingConditions> refused;
    for (const double c : {0.7, 0.5})
        refused.push_back(d65Conditions(c, 64.0, -1.0));
    refused.push_back(d65Conditions(0.69, 0.0, -1.0));
    for (const double d : {-0.5, 1.5})
        refused.push_back(d65Conditions(0.69, 64.0, d));
    // A NaN in each field that is read.
    for (std::size_t field = 0; field < 9; ++field) {
        ViewingConditions vc = d65Conditions(0.69, 64.0, -1.0);
        double* fields[9] = {&vc.white.v[0],
                             &vc.white.v[1],
                             &vc.white.v[2],
                             &vc.background.v[0],
                             &vc.background.v[1],
                             &vc.background.v[2],
                             &vc.c,
                             &vc.La,
                             &vc.D};
        *fields[field] = kNaN;
        refused.push_back(vc);
    }
    const ColorRecord in[2] = {colour(0.2, 0.3, 0.4), colour(50.0, 20.0, 1.0)};
    for (std::size_t i = 0; i < refused.size(); ++i) {
        ViewingConditions vc = refused[i];
        std::vector<ColorRecord> out = sentinels(4);
        QelColor_XYZs2JChs(in, &vc, 2, out.data());
        QelColor_XYZ2Jab(in, &vc, &out[2]);
        QelColor_JCh2XYZ(&in[1], &vc, &out[3]);
        for (const ColorRecord& o : out)
            EXPECT_TRUE(isSentinel(o)) << "conditions " << i;
    }
}

TEST(Appearance, WhiteScaleDoesNotMatterAndIsWrittenBack) {
    ViewingConditions hundred = d65Conditions(0.69, 64.0, -1.0);
    ViewingConditions one = conditions(colour(0.9505, 1.0, 1.0888), 0.2, 0.69, 64.0, -1.0);
    const std::vector<ColorRecord> xyz = srgbColours(64, 3);
    std::vector<ColorRecord> a = sentinels(xyz.size()), b = sentinels(xyz.size());
    QelColor_XYZs2JChs(xyz.data(), &hundred, 64, a.data());
    QelColor_XYZs2JChs(xyz.data(), &one, 64, b.data());
    for (std::size_t i = 0; i < xyz.size(); ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(a[i].v[k], b[i].v[k], 1e-12);
    EXPECT_DOUBLE_EQ(one.white.v[0], 95.05);
    EXPECT_EQ(one.white.v[1], 100.0);
    EXPECT_DOUBLE_EQ(one.white.v[2], 108.88);
    EXPECT_DOUBLE_EQ(one.background.v[1], 20.0);

    // Once normalised, a record is only read.
    const ViewingConditions before = one;
    QelColor_XYZs2JChs(xyz.data(), &one, 64, b.data());
    EXPECT_EQ(std::memcmp(&before, &one, sizeof one), 0);
}

TEST(Appearance, WhiteAsSampleHasFullLightnessAndNoChroma) {
    ViewingConditions vc = d65Conditions(0.69, 64.0, 1.0);
    const ColorRecord white = colour(0.9505, 1.0, 1.0888);
    ColorRecord jch = colour(0, 0, 0);
    QelColor_XYZ2JCh(&white, &vc, &jch);
    EXPECT_NEAR(jch.v[0], 100.0, 1e-12);
    // Not exactly 0: the published cone matrix's first row sums to 1.00001.
    EXPECT_NEAR(jch.v[1], 0.0065144718, 1e-8);
}

TEST(Appearance, UnusableWhiteLeavesTheRecordUntouched) {
    for (const double y : {0.0, -1.0, std::numeric_limits<double>::infinity(), kNaN, 1e-320}) {
        ViewingConditions vc = conditions(colour(95.05, y, 108.88), 20.0, 0.69, 64.0, -1.0);
        const ViewingConditions before = vc;
        const ColorRecord in = colour(0.2, 0.3, 0.4);
        ColorRecord out = colour(kSentinel, kSentinel, kSentinel);
        QelColor_XYZ2JCh(&in, &vc, &out);
        EXPECT_EQ(std::memcmp(&before, &vc, sizeof vc), 0) << y;
        EXPECT_TRUE(isSentinel(out)) << y;
    }
}

TEST(Appearance, NullArgumentsAndZeroCountWriteNothing) {
    ViewingConditions vc = conditions(colour(0.9505, 1.0, 1.0888), 0.2, 0.69, 64.0, -1.0);
    const ViewingConditions before = vc;
    const ColorRecord in = colour(0.2, 0.3, 0.4);
    ColorRecord out = colour(kSentinel, kSentinel, kSentinel);
    QelColor_XYZs2JChs(&in, &vc, 0, &out);
    QelColor_XYZs2Jabs(nullptr, &vc, 1, &out);
    QelColor_JChs2XYZs(&in, nullptr, 1, &out);
    QelColor_Jabs2XYZs(&in, &vc, 1, nullptr);
    QelColor_JChs2Jabs(&in, 0, &out);
    QelColor_Jab2JCh(nullptr, &out);
    EXPECT_TRUE(isSentinel(out));
    EXPECT_EQ(std::memcmp(&before, &vc, sizeof vc), 0);
}

// Runs a forward or inverse array conversion over `in` into sentinel-filled outputs.
using ArrayConversion = void (*)(const ColorRecord*, ViewingConditions*, uint32_t, ColorRecord*);

std::vector<ColorRecord> convert(ArrayConversion f, const std::vector<ColorRecord>& in) {
    ViewingConditions vc = d65Conditions(0.69, 64.0, -1.0);
    std::vector<ColorRecord> out = sentinels(in.size());
    f(in.data(), &vc, static_cast<uint32_t>(in.size()), out.data());
    return out;
}

void expectWrittenUpTo(const std::vector<ColorRecord>& out, std::size_t stop) {
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(isSentinel(out[i]), i >= stop) << "record " << i;
}

TEST(Appearance, ForwardStopsAtTheFirstInvalidSample) {
    // Later blocks too: the stop lies in the third block of the loops.
    std::vector<ColorRecord> xyz = srgbColours(300, 5);
    xyz[1] = colour(0.1, -0.005, 0.1);
    xyz[270] = colour(0.1, -0.02, 0.1);
    for (ArrayConversion f : {QelColor_XYZs2JChs, QelColor_XYZs2Jabs}) {
        const std::vector<ColorRecord> out = convert(f, xyz);
        EXPECT_EQ(out[1].v[0], 0.0);
        EXPECT_EQ(out[1].v[1], 0.0);
        EXPECT_EQ(out[1].v[2], 0.0);
        expectWrittenUpTo(out, 270);
    }
    for (const ColorRecord bad : {colour(-0.1, 0.2, 0.1), colour(0.1, 0.2, -1e-9),
                                  colour(kNaN, 0.2, 0.1), colour(0.1, kNaN, 0.1)}) {
        std::vector<ColorRecord> few = {colour(0.1, 0.2, 0.1), bad, colour(0.1, 0.2, 0.1)};
        expectWrittenUpTo(convert(QelColor_XYZs2JChs, few), 1);
    }
}

TEST(Appearance, InverseStopsAtTheFirstInvalidColour) {
    struct Case {
        ColorRecord bad;
        bool stops;
    };
    const Case jchCases[] = {
        {colour(50.0, 20.0, kTwoPi), false}, {colour(-0.5, 20.0, 1.0), false},
        {colour(50.0, -1e-9, 1.0), true},    {colour(50.0, 20.0, 6.2832), true},
        {colour(50.0, 20.0, -1e-9), true},   {colour(-1.5, 20.0, 1.0), true},
        {colour(kNaN, 20.0, 1.0), true},     {colour(50.0, 20.0, kNaN), true},
    };
    for (const Case& c : jchCases) {
        std::vector<ColorRecord> jch(200, colour(50.0, 20.0, 1.0));
        jch[150] = c.bad;
        const std::vector<ColorRecord> out = convert(QelColor_JChs2XYZs, jch);
        expectWrittenUpTo(out, c.stops ? 150 : 200);
    }
    std::vector<ColorRecord> jab = {colour(50.0, 10.0, 10.0), colour(50.0, kNaN, 1.0),
                                    colour(50.0, 10.0, 10.0)};
    expectWrittenUpTo(convert(QelColor_Jabs2XYZs, jab), 1);
    // J in [-1, 0] is black.
    const std::vector<ColorRecord> dark = convert(QelColor_JChs2XYZs, {colour(-0.5, 20.0, 1.0)});
    EXPECT_EQ(dark[0].v[0], 0.0);
    EXPECT_EQ(dark[0].v[1], 0.0);
    EXPECT_EQ(dark[0].v[2], 0.0);
}

// At h = 180 degrees the inverse divides by cos h, and its denominator
// p1 / cos h + 0.478... vanishes where p1 = 0.478...: about C = 2172 at J = 50 under the
// D65 conditions. Around that chroma, every colour is either converted to finite values or
// stops the array; exactly one stops.
TEST(Appearance, InverseStopsOnAVanishingDenominator) {
    ViewingConditions vc = d65Conditions(0.69, 64.0, -1.0);
    const double n = 0.2, nbb = 0.725 * std::pow(1.0 / n, 0.2);
    const double et = (std::cos(kTwoPi / 2 + 2.0) + 3.8) / 4;
    const double t = 50000.0 / 13.0 * nbb * et / 0.47826086956521735;
    double c = std::pow(t, 0.9) * std::sqrt(0.5) * std::pow(1.64 - std::pow(0.29, n), 0.73);
    for (int k = 0; k < 400; ++k)
        c = std::nextafter(c, 0.0);
    int stops = 0;
    for (int k = 0; k < 800; ++k, c = std::nextafter(c, 1e300)) {
        const ColorRecord jab = colour(50.0, -c, 0.0);
        ColorRecord xyz = colour(kSentinel, kSentinel, kSentinel);
        QelColor_Jab2XYZ(&jab, &vc, &xyz);
        if (isSentinel(xyz)) {
            ++stops;
            continue;
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(std::isfinite(xyz.v[i])) << c;
    }
    EXPECT_EQ(stops, 1);
}

TEST(Appearance, PolarAndRectangularFormsConvertBothWays) {
    const std::vector<ColorRecord> jch = {colour(50.0, 20.0, 1.0), colour(30.0, 5.0, 4.0),
                                          colour(120.0, 300.0, 6.0), colour(-3.0, 0.0, 0.0)};
    std::vector<ColorRecord> jab = sentinels(jch.size()), back = sentinels(jch.size());
    QelColor_JChs2Jabs(jch.data(), static_cast<uint32_t>(jch.size()), jab.data());
    QelColor_Jabs2JChs(jab.data(), static_cast<uint32_t>(jch.size()), back.data());
    for (std::size_t i = 0; i < jch.size(); ++i) {
        EXPECT_NEAR(jab[i].v[1], jch[i].v[1] * std::cos(jch[i].v[2]), 1e-12);
        EXPECT_EQ(jab[i].v[3], kSentinel);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(back[i].v[k], jch[i].v[k], 1e-12) << i;
    }
    // No chroma: a = b = 0 whatever h, and h = 0 on the way back.
    const ColorRecord neutral = colour(40.0, 0.0, 2.0);
    ColorRecord out = colour(0, 0, 0);
    QelColor_JCh2Jab(&neutral, &out);
    EXPECT_EQ(out.v[1], 0.0);
    EXPECT_EQ(out.v[2], 0.0);
    QelColor_Jab2JCh(&out, &out);
    EXPECT_EQ(out.v[0], 40.0);
    EXPECT_EQ(out.v[2], 0.0);
}

TEST(Appearance, ThreadsSharingOneRecordGetTheSingleThreadResults) {
    ViewingConditions shared = d65Conditions(0.69, 64.0, -1.0);
    const std::vector<ColorRecord> xyz = srgbColours(512, 9);
    const auto n = static_cast<uint32_t>(xyz.size());
    std::vector<ColorRecord> expected = sentinels(n);
    QelColor_XYZs2JChs(xyz.data(), &shared, n, expected.data());
    std::vector<std::vector<ColorRecord>> results(4, sentinels(n));
    std::vector<std::thread> threads;
    for (auto& r : results)
        threads.emplace_back([&] {
            for (int pass = 0; pass < 20; ++pass) {
                QelColor_XYZs2JChs(xyz.data(), &shared, n, r.data());
                std::vector<ColorRecord> back(n);
                QelColor_JChs2XYZs(r.data(), &shared, n, back.data());
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (const auto& r : results)
        EXPECT_EQ(std::memcmp(r.data(), expected.data(), n * sizeof(ColorRecord)), 0);
}

}  // namespace
