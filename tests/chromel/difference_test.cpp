#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

ColorRecord lab(double l, double a, double b) {
    return {{l, a, b, 0.0}};
}

// Little CMS's 1994 difference weights by the geometric mean of the two chromas with
// SC = 1 + 0.048 C and SH = 1 + 0.014 C; this library by the selected chroma with the
// CIE's 0.045 and 0.015. With Little CMS's own L*, C* and hue difference both squared
// results differ only through those weights, so one is rebuilt from the other.
double lcms94Pow2Reweighted(const ColorRecord& r, const ColorRecord& s) {
    const cmsCIELab a{r.v[0], r.v[1], r.v[2]}, b{s.v[0], s.v[1], s.v[2]};
    cmsCIELCh ca, cb;
    cmsLab2LCh(&ca, &a);
    cmsLab2LCh(&cb, &b);
    const double dl = b.L - a.L, dc = cb.C - ca.C, de = cmsDeltaE(&a, &b);
    const double dh2 = std::max(0.0, de * de - dl * dl - dc * dc);
    const double geometric = std::sqrt(ca.C * cb.C), mean = (ca.C + cb.C) / 2;
    const double lcmsSc = 1 + 0.048 * geometric, lcmsSh = 1 + 0.014 * geometric;
    const double sc = 1 + 0.045 * mean, sh = 1 + 0.015 * mean;
    const double lcms = cmsCIE94DeltaE(&a, &b);
    return lcms * lcms + dc * dc * (1 / (sc * sc) - 1 / (lcmsSc * lcmsSc)) +
           dh2 * (1 / (sh * sh) - 1 / (lcmsSh * lcmsSh));
}

TEST(DeltaEAgainstLittleCms, EuclideanAndCie94OnRandomPairs) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> l(0.0, 100.0), ab(-100.0, 100.0);
    for (int i = 0; i < 4000; ++i) {
        const ColorRecord r = lab(l(rng), ab(rng), ab(rng)), s = lab(l(rng), ab(rng), ab(rng));
        const cmsCIELab a{r.v[0], r.v[1], r.v[2]}, b{s.v[0], s.v[1], s.v[2]};
        const double ref = cmsDeltaE(&a, &b);
        EXPECT_NEAR(QelColor_CalcDeltaEab(&r, &s), ref, 1e-12 * ref) << i;
        const double e94 = QelColor_CalcDeltaE94Pow2(&r, &s, 3);
        EXPECT_NEAR(e94, lcms94Pow2Reweighted(r, s), 1e-9 * std::max(1.0, e94)) << i;
    }
}

TEST(DeltaE, IdenticalColoursDifferByNothing) {
    const ColorRecord c = lab(40, -20, 35);
    EXPECT_EQ(QelColor_CalcDeltaEab(&c, &c), 0.0);
    EXPECT_EQ(QelColor_CalcDeltaECh(&c, &c), 0.0);
    EXPECT_EQ(QelColor_CalcDeltaECh4Munsell(&c, &c), 0.0);
    for (int32_t selector : {1, 2, 3}) {
        EXPECT_EQ(QelColor_CalcDeltaE94(&c, &c, selector), 0.0);
        EXPECT_EQ(QelColor_CalcDeltaE944Munsell(&c, &c, selector), 0.0);
    }
}

TEST(DeltaE, EuclideanAndItsSquare) {
    const ColorRecord a = lab(50, 0, 0), b = lab(53, 4, 0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaEab(&a, &b), 5.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaEabPow2(&a, &b), 25.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaEab4Munsell(&a, &b), 5.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaEab4MunsellPow2(&a, &b), 25.0);
}

TEST(DeltaE, ChHueIsInDegreesAndNotWrapped) {
    const ColorRecord above = lab(50, 10, 0.001), below = lab(50, 10, -0.001);
    EXPECT_NEAR(QelColor_CalcDeltaECh(&above, &below), 360.0, 0.05);
    EXPECT_NEAR(QelColor_CalcDeltaECh4Munsell(&above, &below), 360.0, 0.05);
    const ColorRecord red = lab(50, 10, 0), yellow = lab(52, 0, 20);  // 90 degrees apart
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaEChPow2(&red, &yellow), 90.0 * 90.0 + 10.0 * 10.0 + 4.0);
}

TEST(DeltaE, Cie94SelectorPicksTheWeightingChroma) {
    const ColorRecord r = lab(50, 10, 0), s = lab(55, 30, 20);
    const double first = QelColor_CalcDeltaE94(&r, &s, 1);
    const double second = QelColor_CalcDeltaE94(&r, &s, 2);
    const double mean = QelColor_CalcDeltaE94(&r, &s, 3);
    EXPECT_GT(first, mean);
    EXPECT_GT(mean, second);
    EXPECT_EQ(QelColor_CalcDeltaE94(&r, &s, -4), mean);
    // Equal chromas: every selector agrees; hue alone, weighted by SH = 1 + 0.015 C.
    const ColorRecord p = lab(50, 20, 0), q = lab(50, 0, 20);
    const double hueOnly = std::sqrt(800.0) / (1 + 0.015 * 20);
    for (int32_t selector : {1, 2, 3})
        EXPECT_NEAR(QelColor_CalcDeltaE94(&p, &q, selector), hueOnly, 1e-12);
    // Chroma alone, weighted by SC = 1 + 0.045 C.
    const ColorRecord c10 = lab(50, 10, 0), c30 = lab(50, 30, 0);
    EXPECT_NEAR(QelColor_CalcDeltaE94Pow2(&c10, &c30, 1), std::pow(20 / 1.45, 2), 1e-12);
}

TEST(DeltaE, Cie94OfNeutralsIsTheLightnessDifference) {
    const ColorRecord a = lab(30, 0, 0), b = lab(72.5, 0, 0);
    for (int32_t selector : {1, 2, 3})
        EXPECT_DOUBLE_EQ(QelColor_CalcDeltaE94(&a, &b, selector), 42.5);
}

TEST(DeltaE, PlainFormsClampAndMunsellFormsDoNot) {
    const ColorRecord a = lab(100, 0, 0), b = lab(120, 0, 0);
    EXPECT_EQ(QelColor_CalcDeltaECh(&a, &b), 0.0);
    EXPECT_EQ(QelColor_CalcDeltaE94(&a, &b, 1), 0.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaECh4Munsell(&a, &b), 20.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaE944Munsell(&a, &b, 1), 20.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaEab(&a, &b), 20.0);
    const ColorRecord vivid = lab(50, 200, 0), vivider = lab(50, 300, 0);
    EXPECT_EQ(QelColor_CalcDeltaECh(&vivid, &vivider), 0.0);
    EXPECT_DOUBLE_EQ(QelColor_CalcDeltaECh4Munsell(&vivid, &vivider), 100.0);
}

TEST(DeltaE, DefaultIsTheSquaredCie94WeightedByTheReference) {
    const ColorRecord r = lab(50, 10, 0), s = lab(55, 30, 20);
    EXPECT_EQ(QelColor_DefaultDeltaEFunc(&r, &s), QelColor_CalcDeltaE94Pow2(&r, &s, 1));
    EXPECT_NE(QelColor_DefaultDeltaEFunc(&r, &s), QelColor_CalcDeltaE94(&r, &s, 1));
}

TEST(DeltaE, MissingColourGivesZero) {
    const ColorRecord c = lab(50, 10, 0);
    EXPECT_EQ(QelColor_CalcDeltaEab(&c, nullptr), 0.0);
    EXPECT_EQ(QelColor_CalcDeltaE94Pow2(nullptr, &c, 1), 0.0);
    EXPECT_EQ(QelColor_DefaultDeltaEFunc(nullptr, nullptr), 0.0);
}

}  // namespace
