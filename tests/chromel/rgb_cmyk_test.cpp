// RGB spaces, the RGB to XYZ matrix builder and the device-colour conversions.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "chromel32.h"

namespace {

constexpr double kRounding = 1e-9;

ColorRecord colour(double a, double b, double c, double d = 0.0) {
    return {{a, b, c, d}};
}

void expectColour(const ColorRecord& got, const ColorRecord& want, double tolerance, int n,
                  const std::string& what) {
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(got.v[k], want.v[k], tolerance) << what << ", component " << k;
}

// XYZ (Y = 1) of chromaticity x, y.
PointRecord fromChromaticity(double x, double y) {
    return {x / y, 1.0, (1.0 - x - y) / y};
}

struct Space {
    const char* name;
    int32_t (*toRgb2)(const ColorRecord*, double, uint32_t, ColorRecord*);
    int32_t (*toRgb)(const ColorRecord*, uint32_t, ColorRecord*);
    int32_t (*toRgbOne2)(const ColorRecord*, double, ColorRecord*);
    int32_t (*toRgbOne)(const ColorRecord*, ColorRecord*);
    void (*toXyz2)(const ColorRecord*, double, uint32_t, ColorRecord*);
    void (*toXyz)(const ColorRecord*, uint32_t, ColorRecord*);
    void (*toXyzOne2)(const ColorRecord*, double, ColorRecord*);
    void (*toXyzOne)(const ColorRecord*, ColorRecord*);
};

const Space kSpaces[] = {
    {"sRGB", QelColor_XYZs2sRGBs2, QelColor_XYZs2sRGBs, QelColor_XYZ2sRGB2, QelColor_XYZ2sRGB,
     QelColor_sRGBs2XYZs2, QelColor_sRGBs2XYZs, QelColor_sRGB2XYZ2, QelColor_sRGB2XYZ},
    {"AdobeRGB", QelColor_XYZs2AdobeRGBs2, QelColor_XYZs2AdobeRGBs, QelColor_XYZ2AdobeRGB2,
     QelColor_XYZ2AdobeRGB, QelColor_AdobeRGBs2XYZs2, QelColor_AdobeRGBs2XYZs,
     QelColor_AdobeRGB2XYZ2, QelColor_AdobeRGB2XYZ},
    {"WideGamutRGB", QelColor_XYZs2WideGamutRGBs2, QelColor_XYZs2WideGamutRGBs,
     QelColor_XYZ2WideGamutRGB2, QelColor_XYZ2WideGamutRGB, QelColor_WideGamutRGBs2XYZs2,
     QelColor_WideGamutRGBs2XYZs, QelColor_WideGamutRGB2XYZ2, QelColor_WideGamutRGB2XYZ},
};

TEST(RgbSpaces, WhiteAndBlackReachTheEnds) {
    ColorRecord out = colour(-1, -1, -1, -1);
    const ColorRecord white = colour(0.9505, 1.0, 1.089, 7.0);
    EXPECT_EQ(QelColor_XYZ2sRGB(&white, &out), 0);
    expectColour(out, colour(255, 255, 255, 0), 0.0, 4, "white");
    const ColorRecord black = colour(0, 0, 0, 7.0);
    EXPECT_EQ(QelColor_XYZ2sRGB2(&black, 2.4, &out), 0);
    expectColour(out, colour(0, 0, 0, 0), 0.0, 4, "black");
}

TEST(RgbSpaces, DefaultFormsUseGammaTwoPointTwo) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> xyz(0.0, 1.0), rgb(0.0, 255.0);
    std::vector<ColorRecord> xyzs, rgbs;
    for (int i = 0; i < 64; ++i) {
        xyzs.push_back(colour(xyz(rng), xyz(rng), xyz(rng)));
        rgbs.push_back(colour(rgb(rng), rgb(rng), rgb(rng)));
    }
    const uint32_t n = static_cast<uint32_t>(xyzs.size());
    for (const Space& s : kSpaces) {
        std::vector<ColorRecord> a(n), b(n);
        s.toRgb2(xyzs.data(), 2.2, n, a.data());
        s.toRgb(xyzs.data(), n, b.data());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), n * sizeof(ColorRecord)), 0) << s.name;
        s.toXyz2(rgbs.data(), 2.2, n, a.data());
        s.toXyz(rgbs.data(), n, b.data());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), n * sizeof(ColorRecord)), 0) << s.name;
        ColorRecord one{}, two{};
        s.toRgbOne(&xyzs[3], &one);
        s.toRgbOne2(&xyzs[3], 2.2, &two);
        EXPECT_EQ(std::memcmp(&one, &two, sizeof one), 0) << s.name;
        s.toXyzOne(&rgbs[3], &one);
        s.toXyzOne2(&rgbs[3], 2.2, &two);
        EXPECT_EQ(std::memcmp(&one, &two, sizeof one), 0) << s.name;
    }
}

// With gamma 2.4 the curve is the standard sRGB one: Little CMS's parametric type 4. A
// grey's Y is its linear value, the matrix's middle row summing to 1.
TEST(RgbSpaces, GammaTwoPointFourIsTheStandardCurve) {
    const cmsFloat64Number params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, params);
    ASSERT_NE(curve, nullptr);
    for (double e = 0.0; e <= 255.0; e += 0.5) {
        const ColorRecord grey = colour(e, e, e, 5.0);
        ColorRecord xyz = colour(-1, -1, -1, -1);
        QelColor_sRGB2XYZ2(&grey, 2.4, &xyz);
        EXPECT_NEAR(xyz.v[1], cmsEvalToneCurveFloat(curve, static_cast<float>(e / 255.0)), 1e-6)
            << e;
        EXPECT_EQ(xyz.v[3], -1.0);  // not written
        // Encoding inverts the curve up to the published matrices' four decimals.
        ColorRecord back{};
        QelColor_XYZ2sRGB2(&xyz, 2.4, &back);
        expectColour(back, grey, 0.05, 3, "round trip at " + std::to_string(e));
    }
    cmsFreeToneCurve(curve);
}

// At gamma 2.2 the linear segment and the curve are far apart at the break, so each grey
// around it shows which one it took: the curve exactly when its ratio to 255 exceeds 0.04045.
TEST(RgbSpaces, DecodingBreaksWhereTheRatioPassesTheThreshold) {
    double v = 0.04045 * 255.0;
    for (int step = 0; step < 3; ++step)
        v = std::nextafter(v, 0.0);
    for (int step = 0; step < 7; ++step, v = std::nextafter(v, 300.0)) {
        const double e = v / 255.0;
        const double want = e > 0.04045 ? std::pow((e + 0.055) / 1.055, 2.2) : e / 12.92;
        const ColorRecord grey = colour(v, v, v);
        ColorRecord xyz{};
        QelColor_sRGB2XYZ2(&grey, 2.2, &xyz);
        EXPECT_NEAR(xyz.v[1], want, 1e-9) << std::hexfloat << v;
    }
}

TEST(RgbSpaces, DerivedSpacesRoundTripExactly) {
    std::mt19937_64 rng(2);
    // Values on the curve's power branch both ways: with a gamma other than 2.4 the two
    // linear segments do not meet the curve, so values near black do not round-trip.
    std::uniform_real_distribution<double> u(51.0, 254.0), gamma(1.0, 3.0);
    for (const Space& s : kSpaces) {
        if (std::string(s.name) == "sRGB") continue;  // its two matrices are rounded apart
        for (int i = 0; i < 100; ++i) {
            const double g = gamma(rng);
            const ColorRecord rgb = colour(u(rng), u(rng), u(rng));
            ColorRecord xyz{}, back{};
            s.toXyzOne2(&rgb, g, &xyz);
            s.toRgbOne2(&xyz, g, &back);
            expectColour(back, rgb, kRounding, 3, s.name);
        }
    }
}

TEST(RgbMatrix, SrgbPrimariesGiveThePublishedMatrix) {
    const PointRecord r = fromChromaticity(0.64, 0.33), g = fromChromaticity(0.30, 0.60),
                      b = fromChromaticity(0.15, 0.06), w = fromChromaticity(0.3127, 0.3290);
    const double published[9] = {0.4124, 0.3576, 0.1805, 0.2126, 0.7152,
                                 0.0722, 0.0193, 0.1192, 0.9505};
    const PointRecord anywhere{50, 60, 70};
    // Types without a cone matrix adapt nothing, like type 0.
    for (int32_t type : {0, 1, 5, -1}) {
        double m[9] = {};
        QelColor_RGB2XYZMatrix(&r, &g, &b, &w, &anywhere, type, m);
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(m[i], published[i], 5e-5) << "type " << type << " element " << i;
    }
}

TEST(RgbMatrix, BradfordToD50MatchesLittleCmsColorants) {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, nullptr);
    ASSERT_NE(profile, nullptr);
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    const PointRecord r = fromChromaticity(0.64, 0.33), g = fromChromaticity(0.30, 0.60),
                      b = fromChromaticity(0.15, 0.06), w = fromChromaticity(0.3127, 0.3290);
    const cmsCIEXYZ* d50 = cmsD50_XYZ();
    const PointRecord destination{100 * d50->X, 100 * d50->Y, 100 * d50->Z};
    double m[9] = {};
    QelColor_RGB2XYZMatrix(&r, &g, &b, &w, &destination, 4, m);
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
        ASSERT_NE(xyz, nullptr);
        EXPECT_NEAR(m[c], xyz->X, kRounding) << "column " << c;
        EXPECT_NEAR(m[3 + c], xyz->Y, kRounding) << "column " << c;
        EXPECT_NEAR(m[6 + c], xyz->Z, kRounding) << "column " << c;
    }
    cmsCloseProfile(profile);
}

TEST(RgbMatrix, DegenerateInputStaysFinite) {
    const PointRecord r = fromChromaticity(0.64, 0.33), g = fromChromaticity(0.30, 0.60),
                      w = fromChromaticity(0.3127, 0.3290), zero{0, 0, 0};
    const PointRecord d50{96.42, 100, 82.49};
    struct Case {
        const char* what;
        PointRecord red, green, blue, white;
        int32_t type;
    };
    const Case cases[] = {
        {"equal primaries", r, g, g, w, 0},
        {"equal primaries adapted", r, r, g, w, 2},
        {"black primary", r, g, zero, w, 3},
        {"black white", r, g, fromChromaticity(0.15, 0.06), zero, 4},
    };
    for (const Case& c : cases) {
        double m[9];
        std::fill(std::begin(m), std::end(m), NAN);
        QelColor_RGB2XYZMatrix(&c.red, &c.green, &c.blue, &c.white, &d50, c.type, m);
        for (double v : m)
            EXPECT_TRUE(std::isfinite(v)) << c.what;
    }
}

TEST(DeviceColours, ComplementsAndTheirEnds) {
    for (double g : {0.0, 0.45, 1.0, 2.2}) {
        std::vector<ColorRecord> in{colour(255, 255, 255, 9), colour(0, 0, 0, 9),
                                    colour(300, 255.5, 1e6, 9)};
        std::vector<ColorRecord> out(in.size(), colour(-1, -1, -1, -1));
        EXPECT_EQ(QelColor_RGBs2CMYs(in.data(), g, g, g, 3, out.data()), 0);
        expectColour(out[0], colour(0, 0, 0), 0.0, 3, "white");
        expectColour(out[1], colour(255, 255, 255), 0.0, 3, "black");
        expectColour(out[2], colour(0, 0, 0), 0.0, 3, "above 255");
        EXPECT_EQ(out[0].v[3], -1.0);  // not written
        EXPECT_EQ(QelColor_CMY2RGB(&in[1], g, g, g, &out[0]), 0);
        expectColour(out[0], colour(255, 255, 255), 0.0, 3, "CMY black");
    }
    // Each channel has its own gamma.
    const ColorRecord mid = colour(127.5, 127.5, 127.5);
    ColorRecord out{};
    QelColor_RGB2CMY(&mid, 1.0, 2.0, 0.5, &out);
    expectColour(out, colour(127.5, 63.75, 255 * std::sqrt(0.5)), kRounding, 3, "gammas");
}

TEST(DeviceColours, SeparationCorners) {
    struct Case {
        ColorRecord cmy, cmyk;
    };
    const Case cases[] = {
        {colour(255, 255, 255), colour(0, 0, 0, 255)},
        {colour(255, 0, 0), colour(255, 0, 0, 0)},
        {colour(0, 255, 0), colour(0, 255, 0, 0)},
        {colour(0, 0, 0), colour(0, 0, 0, 0)},
        {colour(40, 40, 40), colour(0, 0, 0, 40)},
        {colour(200, 200, 200), colour(0, 0, 0, 200)},
        {colour(255, 255, 0), colour(255, 255, 0, 0)},
        {colour(300, -20, 0), colour(255, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        ColorRecord out = colour(-1, -1, -1, -1);
        EXPECT_EQ(QelColor_CMY2CMYK(&c.cmy, 1, 1, 2, 1, &out), 0);
        expectColour(out, c.cmyk, kRounding, 4,
                     "CMY " + std::to_string(c.cmy.v[0]) + " " + std::to_string(c.cmy.v[1]));
    }
    // t < k puts a negative ink at the darkest corner; the limits hold it at 0.
    std::mt19937_64 rng(4);
    std::uniform_real_distribution<double> u(0.0, 255.0);
    std::vector<ColorRecord> cmy;
    for (int i = 0; i < 500; ++i)
        cmy.push_back(colour(u(rng), u(rng), u(rng)));
    std::vector<ColorRecord> out(cmy.size());
    EXPECT_EQ(QelColor_CMYs2CMYKs(cmy.data(), 1.2, 1.0, 2.5, 0.2, 500, out.data()), 0);
    for (const ColorRecord& r : out)
        for (double v : r.v) {
            EXPECT_GE(v, 0.0);
            EXPECT_LE(v, 255.0);
        }
    ColorRecord untouched = colour(-1, -1, -1, -1);
    EXPECT_EQ(QelColor_CMYs2CMYKs(cmy.data(), 1, 1, 2, 1, 0, &untouched), -1);
    EXPECT_EQ(QelColor_RGBs2CMYKs(cmy.data(), 1, 1, 1, 1, 1, 2, 1, 0, &untouched), -1);
    EXPECT_EQ(QelColor_CMYs2CMYKs(nullptr, 1, 1, 2, 1, 1, &untouched), -1);
    expectColour(untouched, colour(-1, -1, -1, -1), 0.0, 4, "count 0");
}

TEST(DeviceColours, RgbToCmykIsComplementThenSeparation) {
    std::mt19937_64 rng(6);
    std::uniform_real_distribution<double> u(-10.0, 265.0);
    std::vector<ColorRecord> rgb;
    for (int i = 0; i < 300; ++i)
        rgb.push_back(colour(u(rng), u(rng), u(rng)));
    const uint32_t n = static_cast<uint32_t>(rgb.size());
    std::vector<ColorRecord> cmy(n), twoSteps(n);
    QelColor_RGBs2CMYs(rgb.data(), 1.8, 2.2, 0.9, n, cmy.data());
    QelColor_CMYs2CMYKs(cmy.data(), 0.9, 0.8, 1.6, 2.9, n, twoSteps.data());
    std::vector<ColorRecord> inPlace = rgb;
    EXPECT_EQ(
        QelColor_RGBs2CMYKs(inPlace.data(), 1.8, 2.2, 0.9, 0.9, 0.8, 1.6, 2.9, n, inPlace.data()),
        0);
    for (uint32_t i = 0; i < n; ++i)
        expectColour(inPlace[i], twoSteps[i], 0.0, 4, "colour " + std::to_string(i));
    ColorRecord one{};
    QelColor_RGB2CMYK(&rgb[7], 1.8, 2.2, 0.9, 0.9, 0.8, 1.6, 2.9, &one);
    expectColour(one, twoSteps[7], 0.0, 4, "single");
}

TEST(DeviceColours, CmykFoldsIntoCmy) {
    struct Case {
        ColorRecord cmyk;
        double ratio;
        ColorRecord cmy;
    };
    const Case cases[] = {
        {colour(0, 0, 0, 255), 3, colour(0, 0, 0)},
        {colour(100, 100, 100, 0), 3, colour(100, 100, 100)},
        {colour(50, 50, 50, 75), 3, colour(75, 75, 75)},
        {colour(255, 255, 255, 0), 3, colour(255, 255, 255)},  // the limit becomes 765
        {colour(200, 200, 200, 200), 2, colour(255, 255, 255)},
        {colour(10, 0, 5, 20), 0, colour(255, 0, 255)},  // no ink limit at all
        {colour(0, 0, 0, 0), 0, colour(0, 0, 0)},
    };
    for (const Case& c : cases) {
        ColorRecord out = colour(-1, -1, -1, -1);
        QelColor_CMYK2CMY(&c.cmyk, c.ratio, &out);
        expectColour(out, c.cmy, kRounding, 3, "ratio " + std::to_string(c.ratio));
        EXPECT_EQ(out.v[3], -1.0);
    }
}

TEST(DeviceColours, CmykGammaPerChannel) {
    const ColorRecord in = colour(0, 255, 127.5, -30);
    ColorRecord out{};
    EXPECT_EQ(QelColor_CMYKGamma(&in, 2, 2, 2, 2, &out), 0);
    expectColour(out, colour(0, 255, 63.75, 0), kRounding, 4, "gamma 2");
    const ColorRecord ink = colour(12.5, 100, 200, 254);
    EXPECT_EQ(QelColor_CMYKsGamma(&ink, 1, 1, 1, 1, 1, &out), 0);
    expectColour(out, ink, kRounding, 4, "gamma 1");
    QelColor_CMYKGamma(&ink, 1, 0.5, 2, 3, &out);
    expectColour(out,
                 colour(12.5, 255 * std::sqrt(100 / 255.0), 255 * std::pow(200 / 255.0, 2),
                        255 * std::pow(254 / 255.0, 3)),
                 kRounding, 4, "mixed");
}

}  // namespace
