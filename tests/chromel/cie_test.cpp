#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "chromel32.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr PointRecord kZero{0.0, 0.0, 0.0};

// Little CMS's linear segment of the Lab function has slope 841/108 where this library has
// 903.3/116 (same offset 16/116); the slopes differ by 3.2e-5, so f moves by up to
// 3.3e-5 |t| below the break (t may be negative for colours outside the white's gamut)
// and not at all above it, where both take the cube root.
double lcmsFDifference(double t) {
    return t <= 0.008856451679035631 ? 3.3e-5 * std::fabs(t) : 0.0;
}
constexpr double kLcmsRounding = 1e-11;
// Lab to XYZ: below 6/29 the inverse is 116/903.3 (f - 16/116) here, 108/841 (f - 16/116)
// there; the factors differ by 1.2e-6 at most.
double lcmsGDifference(double f) {
    return f <= 0.20689655172413793 ? 1.2e-6 * std::fabs(f - 16.0 / 116.0) : 0.0;
}
// LCh agrees to rounding (Little CMS works in degrees).
constexpr double kLcmsLchTolerance = 1e-11;

PointRecord white(uint32_t illuminant) {
    PointRecord w{};
    QelColor_GetWhitePoint(illuminant, QEL_OBSERVER_2_DEGREE, &w);
    return w;
}

ColorRecord colour(double a, double b, double c) {
    return {{a, b, c, 0.0}};
}

// Random Lab colours inside the clamps, with their XYZ under `w` from Little CMS.
struct Samples {
    std::vector<ColorRecord> lab, xyz;
};

Samples randomSamples(const PointRecord& w, std::size_t n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> l(0.0, 100.0), ab(-100.0, 100.0);
    const cmsCIEXYZ cw{w.X, w.Y, w.Z};
    Samples s;
    for (std::size_t i = 0; i < n; ++i) {
        const cmsCIELab lab{l(rng), ab(rng), ab(rng)};
        cmsCIEXYZ xyz;
        cmsLab2XYZ(&cw, &xyz, &lab);
        s.lab.push_back(colour(lab.L, lab.a, lab.b));
        s.xyz.push_back(colour(xyz.X, xyz.Y, xyz.Z));
    }
    return s;
}

void expectNear(const ColorRecord& got, const ColorRecord& want, double tolerance,
                const std::string& what) {
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(got.v[c], want.v[c], tolerance) << what << " [" << c << "]";
}

TEST(CieAgainstLittleCms, XyzToLabAndBack) {
    const PointRecord w = white(QEL_ILLUMINANT_D50);
    const cmsCIEXYZ cw{w.X, w.Y, w.Z};
    const Samples s = randomSamples(w, 4000, 1);
    std::vector<ColorRecord> lab(s.xyz.size()), xyz(s.lab.size());
    QelColor_XYZs2LabsRaw(s.xyz.data(), &w, &kZero, s.xyz.size(), lab.data());
    QelColor_Labs2XYZsRaw(s.lab.data(), &w, &kZero, s.lab.size(), xyz.data());
    // The unlimited forms agree wherever no limit acts, as on these colours.
    std::vector<ColorRecord> labM(s.xyz.size()), xyzM(s.lab.size());
    QelColor_XYZs2Labs4Munsell(s.xyz.data(), QEL_ILLUMINANT_D50, 2, s.xyz.size(), labM.data());
    QelColor_Labs2XYZs4Munsell(s.lab.data(), QEL_ILLUMINANT_D50, 2, s.lab.size(), xyzM.data());
    EXPECT_EQ(std::memcmp(labM.data(), lab.data(), lab.size() * sizeof(ColorRecord)), 0);
    EXPECT_EQ(std::memcmp(xyzM.data(), xyz.data(), xyz.size() * sizeof(ColorRecord)), 0);
    for (std::size_t i = 0; i < s.xyz.size(); ++i) {
        const cmsCIEXYZ in{s.xyz[i].v[0], s.xyz[i].v[1], s.xyz[i].v[2]};
        cmsCIELab ref;
        cmsXYZ2Lab(&cw, &ref, &in);
        const double dx = lcmsFDifference(in.X / w.X), dy = lcmsFDifference(in.Y / w.Y),
                     dz = lcmsFDifference(in.Z / w.Z);
        EXPECT_NEAR(lab[i].v[0], ref.L, 116 * dy + kLcmsRounding) << i;
        EXPECT_NEAR(lab[i].v[1], ref.a, 500 * (dx + dy) + kLcmsRounding) << i;
        EXPECT_NEAR(lab[i].v[2], ref.b, 200 * (dy + dz) + kLcmsRounding) << i;
        const double fy = (s.lab[i].v[0] + 16) / 116;
        const double fx = fy + s.lab[i].v[1] / 500, fz = fy - s.lab[i].v[2] / 200;
        EXPECT_NEAR(xyz[i].v[0], s.xyz[i].v[0], w.X * lcmsGDifference(fx) + kLcmsRounding) << i;
        EXPECT_NEAR(xyz[i].v[1], s.xyz[i].v[1], w.Y * lcmsGDifference(fy) + kLcmsRounding) << i;
        EXPECT_NEAR(xyz[i].v[2], s.xyz[i].v[2], w.Z * lcmsGDifference(fz) + kLcmsRounding) << i;
    }
}

TEST(CieAgainstLittleCms, LabToLchAndBack) {
    const Samples s = randomSamples(white(QEL_ILLUMINANT_D50), 4000, 2);
    std::vector<ColorRecord> lch(s.lab.size()), lab(s.lab.size());
    QelColor_Labs2LChs(s.lab.data(), s.lab.size(), lch.data());
    for (std::size_t i = 0; i < s.lab.size(); ++i) {
        const cmsCIELab in{s.lab[i].v[0], s.lab[i].v[1], s.lab[i].v[2]};
        cmsCIELCh ref;
        cmsLab2LCh(&ref, &in);
        EXPECT_NEAR(lch[i].v[1], ref.C, kLcmsLchTolerance) << i;
        EXPECT_NEAR(lch[i].v[2] * 360.0 / kTwoPi, ref.h, 1e3 * kLcmsLchTolerance) << i;
        lch[i].v[2] = ref.h * kTwoPi / 360.0;
    }
    QelColor_LChs2Labs(lch.data(), lch.size(), lab.data());
    for (std::size_t i = 0; i < s.lab.size(); ++i) {
        cmsCIELCh in{lch[i].v[0], lch[i].v[1], lch[i].v[2] * 360.0 / kTwoPi};
        cmsCIELab ref;
        cmsLCh2Lab(&ref, &in);
        expectNear(lab[i], colour(ref.L, ref.a, ref.b), kLcmsLchTolerance, std::to_string(i));
    }
}

// Colours spread over XYZ including the dark end below the Lab and Luv breaks.
std::vector<ColorRecord> spreadXyz(const PointRecord& w, std::size_t n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<ColorRecord> out;
    for (std::size_t i = 0; i < n; ++i) {
        const double scale = i % 4 == 0 ? 0.02 : 1.0;
        out.push_back(
            colour(w.X * scale * unit(rng), w.Y * scale * unit(rng), w.Z * scale * unit(rng)));
    }
    return out;
}

TEST(CieRoundTrip, XyzThroughLabAndLchComesBackWithAnyBlack) {
    const PointRecord w = white(QEL_ILLUMINANT_D65);
    const std::vector<ColorRecord> xyz = randomSamples(w, 3000, 3).xyz;
    for (const PointRecord& k : {kZero, PointRecord{0.002, 0.003, 0.001}}) {
        for (auto [there, back] : {std::pair{&QelColor_XYZs2LabsRaw, &QelColor_Labs2XYZsRaw},
                                   std::pair{&QelColor_XYZs2LChsRaw, &QelColor_LChs2XYZsRaw}}) {
            std::vector<ColorRecord> out(xyz.size());
            there(xyz.data(), &w, &k, xyz.size(), out.data());
            back(out.data(), &w, &k, out.size(), out.data());
            // Colours darker than the black clamp to L* = 0.
            for (std::size_t i = 0; i < xyz.size(); ++i)
                if (xyz[i].v[1] > k.Y) expectNear(out[i], xyz[i], 1e-12, std::to_string(i));
        }
    }
}

// Luv's forward lightness uses 903 below 0.008856 and its inverse 903.3, so dark colours
// come back 903 / 903.3 times as far from the black (3.3e-4 relative); lighter ones
// exactly. Checked with the illuminant's white and with a white of Y = 100 over a black.
TEST(CieRoundTrip, XyzThroughLuvComesBack) {
    const PointRecord d65 = white(QEL_ILLUMINANT_D65);
    const PointRecord scaled{100 * d65.X, 100 * d65.Y, 100 * d65.Z}, black{0.4, 0.5, 0.6};
    for (const auto& [w, k] : {std::pair{d65, kZero}, std::pair{scaled, black}}) {
        std::vector<ColorRecord> xyz = randomSamples(d65, 3000, 9).xyz;
        for (ColorRecord& c : xyz)
            for (int i = 0; i < 3; ++i)
                c.v[i] = k.Y + c.v[i] * (w.Y - k.Y);
        std::vector<ColorRecord> luv(xyz.size()), out(xyz.size());
        QelColor_XYZs2LuvsRaw(xyz.data(), &w, &k, xyz.size(), luv.data());
        QelColor_Luvs2XYZsRaw(luv.data(), &w, &k, luv.size(), out.data());
        const double black3[3] = {k.X, k.Y, k.Z};
        int checked = 0;
        for (std::size_t i = 0; i < xyz.size(); ++i) {
            const double u = luv[i].v[1], v = luv[i].v[2];
            if (u <= -134 || u >= 220 || v <= -140 || v >= 122) continue;  // clamped
            ++checked;
            const bool dark = (xyz[i].v[1] - k.Y) / (w.Y - k.Y) <= 0.008856;
            for (int c = 0; c < 3; ++c) {
                const double d = xyz[i].v[c] - black3[c];
                const double want = black3[c] + (dark ? d * (903.0 / 903.3) : d);
                EXPECT_NEAR(out[i].v[c], want, 1e-12 * w.Y) << i << " [" << c << "]";
            }
        }
        EXPECT_GT(checked, 2000);
    }
}

// Near the white the inverse lands near the white, whatever the white's scale and the black.
TEST(CieKnownPoints, LuvNextToTheWhiteComesBackNextToTheWhite) {
    const PointRecord w{95.04, 100.0, 108.89}, k{0.5, 0.5, 0.5};
    const ColorRecord nearWhite = colour(100.0, 0.0, 1e-9);
    ColorRecord out{};
    QelColor_Luv2XYZRaw(&nearWhite, &w, &k, &out);
    expectNear(out, colour(w.X, w.Y, w.Z), 1e-6, "next to the white");
}

TEST(CieRoundTrip, LabThroughLchComesBack) {
    const Samples s = randomSamples(white(QEL_ILLUMINANT_D50), 3000, 4);
    std::vector<ColorRecord> out(s.lab.size());
    QelColor_Labs2LChs(s.lab.data(), s.lab.size(), out.data());
    QelColor_LChs2Labs(out.data(), out.size(), out.data());
    for (std::size_t i = 0; i < out.size(); ++i)
        expectNear(out[i], s.lab[i], 1e-12, "LCh");
}

// The stored inverse matrices carry four to six digits, which bounds how well PQR comes
// back (worst for method 4, whose inverse is rounded to 1e-4).
TEST(CieRoundTrip, XyzThroughPqrComesBackForEveryMethod) {
    const std::vector<ColorRecord> xyz = spreadXyz(white(QEL_ILLUMINANT_D65), 500, 5);
    for (int32_t method : {1, 2, 3, 4}) {
        std::vector<ColorRecord> out(xyz.size());
        QelColor_XYZs2PQRs(xyz.data(), method, xyz.size(), out.data());
        QelColor_PQRs2XYZs(out.data(), method, out.size(), out.data());
        for (std::size_t i = 0; i < xyz.size(); ++i)
            expectNear(out[i], xyz[i], 3e-4, "method " + std::to_string(method));
    }
}

TEST(CieRoundTrip, AdaptationThereAndBackReturns) {
    const std::vector<ColorRecord> xyz = spreadXyz(white(QEL_ILLUMINANT_A), 500, 6);
    for (int32_t method : {1, 2, 3, 4}) {
        std::vector<ColorRecord> out(xyz.size());
        QelColor_XYZs2XYZs(xyz.data(), QEL_ILLUMINANT_A, 2, QEL_ILLUMINANT_D65, 2, method,
                           xyz.size(), out.data());
        QelColor_XYZs2XYZs(out.data(), QEL_ILLUMINANT_D65, 2, QEL_ILLUMINANT_A, 2, method,
                           out.size(), out.data());
        for (std::size_t i = 0; i < xyz.size(); ++i)
            expectNear(out[i], xyz[i], 1e-3, "method " + std::to_string(method));
    }
}

TEST(CieKnownPoints, WhiteAndBlackMapExactly) {
    const PointRecord w = white(QEL_ILLUMINANT_F7);
    const PointRecord k{0.01, 0.02, 0.03};
    const ColorRecord xw = colour(w.X, w.Y, w.Z), xk = colour(k.X, k.Y, k.Z);
    ColorRecord out{};
    for (auto toSpace : {QelColor_XYZ2LabRaw, QelColor_XYZ2LChRaw, QelColor_XYZ2LuvRaw}) {
        toSpace(&xw, &w, &k, &out);
        expectNear(out, colour(100, 0, 0), 0.0, "white");
        toSpace(&xk, &w, &k, &out);
        expectNear(out, colour(0, 0, 0), 0.0, "black");
    }
    const ColorRecord top = colour(100, 0, 0), bottom = colour(0, 0, 0);
    for (auto toXyz : {QelColor_Lab2XYZRaw, QelColor_LCh2XYZRaw, QelColor_Luv2XYZRaw}) {
        toXyz(&top, &w, &k, &out);
        expectNear(out, xw, 0.0, "white");
        toXyz(&bottom, &w, &k, &out);
        expectNear(out, xk, 0.0, "black");
    }
    const ColorRecord origin = colour(0, 0, 0);
    QelColor_XYZ2Lab(&origin, QEL_ILLUMINANT_D50, 2, &out);
    expectNear(out, origin, 0.0, "Lab of zero");
    QelColor_XYZ2Luv(&origin, QEL_ILLUMINANT_D50, 2, &out);
    expectNear(out, origin, 0.0, "Luv of zero");
}

// Straightforward formulas with the C library, against which the vectorised loops must
// agree to a few ulps on both sides of each break.
double labF(double t) {
    return t <= 0.008856451679035631 ? (903.3 * t + 16.0) / 116.0 : std::pow(t, 1.0 / 3.0);
}

TEST(CieKnownPoints, LabAndLuvAgreeWithThePlainFormulaAcrossTheBreak) {
    const PointRecord w = white(QEL_ILLUMINANT_D65);
    std::vector<ColorRecord> xyz = spreadXyz(w, 2000, 7);
    for (double t : {0.008856451679035631, 0.008856, 0.0088564, 0.0088566, 1e-300, 3.0}) {
        xyz.push_back(colour(t * w.X, t * w.Y, t * w.Z));
        xyz.push_back(colour(std::nextafter(t, 0.0) * w.X, t * w.Y, std::nextafter(t, 1.0) * w.Z));
    }
    std::vector<ColorRecord> lab(xyz.size()), luv(xyz.size());
    QelColor_XYZs2LabsRaw(xyz.data(), &w, &kZero, xyz.size(), lab.data());
    QelColor_XYZs2LuvsRaw(xyz.data(), &w, &kZero, xyz.size(), luv.data());
    const double un = 4 * w.X / (w.X + 15 * w.Y + 3 * w.Z),
                 vn = 9 * w.Y / (w.X + 15 * w.Y + 3 * w.Z);
    for (std::size_t i = 0; i < xyz.size(); ++i) {
        const double fx = labF(xyz[i].v[0] / w.X), fy = labF(xyz[i].v[1] / w.Y),
                     fz = labF(xyz[i].v[2] / w.Z);
        const double l = std::clamp(116 * fy - 16, 0.0, 100.0);
        expectNear(lab[i],
                   colour(l, std::clamp(500 * (fx - fy), -128.0, 128.0),
                          std::clamp(200 * (fy - fz), -128.0, 128.0)),
                   1e-12 * std::max(1.0, l), "Lab " + std::to_string(i));
        const double yr = xyz[i].v[1] / w.Y;
        const double d = xyz[i].v[0] + 15 * xyz[i].v[1] + 3 * xyz[i].v[2];
        const double ll = yr <= 0.008856 ? 903 * yr : 116 * std::pow(yr, 1.0 / 3.0) - 16;
        const double u = 13 * ll * (4 * xyz[i].v[0] / d - un),
                     v = 13 * ll * (9 * xyz[i].v[1] / d - vn);
        expectNear(luv[i],
                   colour(std::clamp(ll, 0.0, 100.0), std::clamp(u, -134.0, 220.0),
                          std::clamp(v, -140.0, 122.0)),
                   1e-12 * std::max(1.0, ll), "Luv " + std::to_string(i));
    }
}

// The inverses' breaks: Lab at f = 6/29 (L* = 8), Luv at L* = 7.9996248. The two pieces
// differ there by a few parts in a million, so each side must take its own piece.
TEST(CieKnownPoints, LabAndLuvInversesAgreeWithThePlainFormulaAcrossTheBreak) {
    const PointRecord w = white(QEL_ILLUMINANT_D65);
    const auto g = [](double t) {
        return t <= 0.20689655172413793 ? (116 * t - 16) / 903.3 : t * t * t;
    };
    const double un = 4 * w.X / (w.X + 15 * w.Y + 3 * w.Z),
                 vn = 9 * w.Y / (w.X + 15 * w.Y + 3 * w.Z);
    for (double l : {8.0, 7.9996248}) {
        for (double side : {std::nextafter(l, 0.0), l, std::nextafter(l, 100.0)}) {
            const ColorRecord lab = colour(side, 0.0, 0.0);
            ColorRecord out{};
            QelColor_Lab2XYZRaw(&lab, &w, &kZero, &out);
            const double fy = (side + 16) / 116;
            expectNear(out, colour(w.X * g(fy), w.Y * g(fy), w.Z * g(fy)), 1e-15,
                       "Lab L* = " + std::to_string(side));

            const double u = 10.0, v = 5.0;
            const ColorRecord luv = colour(side, u, v);
            QelColor_Luv2XYZRaw(&luv, &w, &kZero, &out);
            const double y = side <= 7.9996248 ? side / 903.3 : std::pow((side + 16) / 116, 3);
            const double alpha = (52 * side / (u + 13 * side * un) - 1) / 3;
            const double x =
                (y * (39 * side / (v + 13 * side * vn) - 5) + 5 * y) / (alpha + 1.0 / 3);
            expectNear(out, colour(x, y, alpha * x - 5 * y), 1e-15,
                       "Luv L* = " + std::to_string(side));
        }
    }
}

TEST(CieClamps, LabLchAndLuvHoldTheirRanges) {
    const PointRecord w = white(QEL_ILLUMINANT_D50);
    ColorRecord out{};
    const ColorRecord saturated = colour(w.X, 0.0, 0.0);  // a* about 431, b* about 28
    QelColor_XYZ2Lab(&saturated, QEL_ILLUMINANT_D50, 2, &out);
    EXPECT_EQ(out.v[1], 128.0);
    const ColorRecord bright = colour(2 * w.X, 2 * w.Y, 2 * w.Z);
    QelColor_XYZ2Lab(&bright, QEL_ILLUMINANT_D50, 2, &out);
    EXPECT_EQ(out.v[0], 100.0);
    QelColor_XYZ2LCh(&saturated, QEL_ILLUMINANT_D50, 2, &out);
    EXPECT_EQ(out.v[1], 181.01933598375618);

    const ColorRecord vivid = colour(50, 200, 200);
    QelColor_Lab2LCh(&vivid, &out);
    expectNear(out, colour(50, 181.01933598375618, kTwoPi / 8), 1e-15, "vivid");
    const ColorRecord grey = colour(50, 0, 0);
    QelColor_Lab2LCh(&grey, &out);
    expectNear(out, grey, 0.0, "grey");
    const ColorRecord greyAbove = colour(150, 0, 1), chromaticAbove = colour(150, 10, 1);
    QelColor_LCh2Lab(&greyAbove, &out);
    expectNear(out, colour(150, 0, 0), 0.0, "C = 0 keeps L");
    QelColor_LCh2Lab(&chromaticAbove, &out);
    EXPECT_EQ(out.v[0], 100.0);
    const ColorRecord wide = colour(50, 300, 0.3);
    QelColor_LCh2Lab(&wide, &out);
    EXPECT_EQ(out.v[1], 128.0);
    const ColorRecord wideDown = colour(50, 300, -1.3);
    QelColor_LCh2Lab(&wideDown, &out);
    EXPECT_EQ(out.v[2], -128.0);
    const ColorRecord darker = colour(-3, 10, 0), darkerLch = colour(-3, 10, 1);
    QelColor_Lab2LCh(&darker, &out);
    EXPECT_EQ(out.v[0], 0.0);
    QelColor_LCh2Lab(&darkerLch, &out);
    EXPECT_EQ(out.v[0], 0.0);

    const ColorRecord red = colour(0.6, 0.2, 0.0);
    QelColor_XYZ2Luv(&red, QEL_ILLUMINANT_D50, 2, &out);
    EXPECT_EQ(out.v[1], 220.0);
}

TEST(CieHue, FollowsTheQuadrantsAndLargeAnglesTakeTheLibraryFunctions) {
    const ColorRecord below = colour(50, 10, -1e-9), axis = colour(50, -10, 0);
    ColorRecord out{};
    QelColor_Lab2LCh(&below, &out);
    EXPECT_NEAR(out.v[2], kTwoPi, 1e-9);
    QelColor_Lab2LCh(&axis, &out);
    EXPECT_DOUBLE_EQ(out.v[2], kTwoPi / 2);
    // a* and b* near the top of the double range keep their direction.
    const ColorRecord vast = colour(50, 1.5e308, 1.0e308);
    QelColor_Lab2LCh(&vast, &out);
    EXPECT_NEAR(out.v[2], std::atan2(1.0e308, 1.5e308), 1e-15);
    const ColorRecord huge = colour(50, 20, 1.0e7);
    QelColor_LCh2Lab(&huge, &out);
    EXPECT_NEAR(out.v[1], 20 * std::cos(1.0e7), 1e-12);
    EXPECT_NEAR(out.v[2], 20 * std::sin(1.0e7), 1e-12);
}

TEST(CieYxy, ConvertsAndGuardsItsDenominators) {
    ColorRecord out{};
    const ColorRecord xyz = colour(0.2, 0.3, 0.5);
    QelColor_XYZ2Yxy(&xyz, &out);
    expectNear(out, colour(0.3, 0.2, 0.3), 1e-15, "Yxy");
    QelColor_Yxy2XYZ(&out, &out);
    expectNear(out, xyz, 1e-15, "back");
    const ColorRecord zeroSum = colour(0.5, 0.0, -0.5), noY = colour(0.0, 0.3, 0.3),
                      noLittleY = colour(0.4, 0.3, 0.0);
    QelColor_XYZ2Yxy(&zeroSum, &out);
    expectNear(out, colour(0, 0, 0), 0.0, "zero sum");
    QelColor_Yxy2XYZ(&noY, &out);
    expectNear(out, colour(0, 0, 0), 0.0, "Y = 0");
    QelColor_Yxy2XYZ(&noLittleY, &out);
    expectNear(out, colour(0, 0.4, 0), 0.0, "y = 0");
}

// A quotient over a zero denominator counts as 0.
TEST(CieDegenerateWhites, ZeroDenominatorsCountAsZero) {
    const PointRecord flat{0.5, 1.0, 0.0};  // Z of the white equals the black's
    const ColorRecord xyz = colour(0.3, 0.4, 0.2);
    ColorRecord out{};
    // Z / 0 is 0, so f(z) is 16 / 116.
    const double fx = std::cbrt(0.6), fy = std::cbrt(0.4), fz = 16.0 / 116.0;
    QelColor_XYZ2LabRaw(&xyz, &flat, &kZero, &out);
    expectNear(out, colour(116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)), 1e-12, "Lab");
    QelColor_XYZ2LChRaw(&xyz, &flat, &kZero, &out);
    EXPECT_NEAR(out.v[1], std::hypot(500 * (fx - fy), 200 * (fy - fz)), 1e-12);
    QelColor_XYZ2LuvRaw(&xyz, &flat, &kZero, &out);
    for (double v : out.v)
        EXPECT_TRUE(std::isfinite(v));
    // L* = 0 with chroma: the X denominator alpha + 1/3 is 0, and X, Y, Z come out 0.
    const ColorRecord luv = colour(0.0, 5.0, 5.0);
    QelColor_Luv2XYZRaw(&luv, &flat, &kZero, &out);
    expectNear(out, colour(0, 0, 0), 0.0, "Luv");
    // A source white equal to its black: every channel lands on the destination black.
    const PointRecord w = white(QEL_ILLUMINANT_D50);
    QelColor_XYZ2XYZRaw(&xyz, &w, &w, &flat, &kZero, 1, &out);
    expectNear(out, colour(0, 0, 0), 0.0, "adaptation");
}

TEST(CieAdaptation, CopiesWhenThereIsNothingToDo) {
    const std::vector<ColorRecord> in{colour(0.1, 0.2, 0.3), colour(0.7, 0.8, 0.9)};
    std::vector<ColorRecord> out(2, colour(-1, -1, -1));
    out[0].v[3] = out[1].v[3] = -1;
    std::vector<ColorRecord> withFourth = in;
    withFourth[0].v[3] = 42;
    QelColor_XYZs2XYZs(withFourth.data(), QEL_ILLUMINANT_D65, 2, QEL_ILLUMINANT_D65, 10, 3, 2,
                       out.data());
    EXPECT_EQ(std::memcmp(out.data(), withFourth.data(), sizeof(ColorRecord) * 2), 0);

    const PointRecord a = white(QEL_ILLUMINANT_A), d65 = white(QEL_ILLUMINANT_D65);
    for (int32_t method : {0, 5, -1}) {
        out.assign(2, colour(-1, -1, -1));
        QelColor_XYZs2XYZsRaw(in.data(), &a, &kZero, &d65, &kZero, method, 2, out.data());
        EXPECT_EQ(std::memcmp(out.data(), in.data(), sizeof(ColorRecord) * 2), 0) << method;
    }
    // Equal whites and blacks copy, fourth component included, whatever the space.
    using RawAdapt = ColorRecord* (*)(const ColorRecord*, const PointRecord*, const PointRecord*,
                                      const PointRecord*, const PointRecord*, int32_t, uint32_t,
                                      ColorRecord*) noexcept;
    for (RawAdapt adapt : {QelColor_XYZs2XYZsRaw, QelColor_Labs2LabsRaw, QelColor_LChs2LChsRaw,
                           QelColor_Luvs2LuvsRaw}) {
        out.assign(2, colour(-1, -1, -1));
        adapt(withFourth.data(), &a, &kZero, &a, &kZero, 1, 2, out.data());
        EXPECT_EQ(std::memcmp(out.data(), withFourth.data(), sizeof(ColorRecord) * 2), 0);
    }
    // Equal illuminant ids copy, observers aside.
    using PlainAdapt = ColorRecord* (*)(const ColorRecord*, uint32_t, int32_t, uint32_t, int32_t,
                                        int32_t, uint32_t, ColorRecord*) noexcept;
    for (PlainAdapt adapt :
         {QelColor_XYZs2XYZs, QelColor_Labs2Labs, QelColor_LChs2LChs, QelColor_Luvs2Luvs}) {
        out.assign(2, colour(-1, -1, -1));
        adapt(withFourth.data(), QEL_ILLUMINANT_A, 2, QEL_ILLUMINANT_A, 10, 4, 2, out.data());
        EXPECT_EQ(std::memcmp(out.data(), withFourth.data(), sizeof(ColorRecord) * 2), 0);
    }

    // Method 5 in the PQR conversion is method 1.
    ColorRecord p5{}, p1{};
    QelColor_XYZ2PQR(&in[1], 5, &p5);
    QelColor_XYZ2PQR(&in[1], 1, &p1);
    expectNear(p5, p1, 0.0, "method 5");
    expectNear(p1,
               colour(0.40024 * 0.7 + 0.7076 * 0.8 - 0.08081 * 0.9,
                      -0.2263 * 0.7 + 1.16532 * 0.8 + 0.0457 * 0.9, 0.91822 * 0.9),
               1e-15, "method 1 matrix");
}

TEST(CieAdaptation, MapsTheSourceWhiteOntoTheDestinationWhite) {
    for (int32_t method : {1, 2, 3, 4}) {
        const PointRecord a = white(QEL_ILLUMINANT_A), d50 = white(QEL_ILLUMINANT_D50);
        const ColorRecord wa = colour(a.X, a.Y, a.Z);
        ColorRecord out{};
        QelColor_XYZ2XYZ(&wa, QEL_ILLUMINANT_A, 2, QEL_ILLUMINANT_D50, 2, method, &out);
        expectNear(out, colour(d50.X, d50.Y, d50.Z), 2e-4, "method " + std::to_string(method));
        // The Lab form is the XYZ form between conversions with each side's white.
        const ColorRecord lab = colour(60, 20, -30);
        ColorRecord viaXyz{}, direct{};
        QelColor_Lab2XYZ(&lab, QEL_ILLUMINANT_A, 2, &viaXyz);
        QelColor_XYZ2XYZ(&viaXyz, QEL_ILLUMINANT_A, 2, QEL_ILLUMINANT_D50, 2, method, &viaXyz);
        QelColor_XYZ2Lab(&viaXyz, QEL_ILLUMINANT_D50, 2, &viaXyz);
        QelColor_Lab2Lab(&lab, QEL_ILLUMINANT_A, 2, QEL_ILLUMINANT_D50, 2, method, &direct);
        expectNear(direct, viaXyz, 1e-12, "Lab " + std::to_string(method));
    }
}

// Each PQR channel maps the source black and white onto the destination's and is linear
// between them; checked through the exported PQR conversions with blacks that are not zero.
TEST(CieAdaptation, RawFormMapsEachChannelBetweenBlackAndWhite) {
    const PointRecord w1 = white(QEL_ILLUMINANT_A), w2 = white(QEL_ILLUMINANT_D65);
    const PointRecord k1{0.01, 0.012, 0.005}, k2{0.02, 0.021, 0.025};
    std::vector<ColorRecord> xyz = spreadXyz(w1, 200, 10);
    xyz.push_back(colour(k1.X, k1.Y, k1.Z));
    for (int32_t method : {1, 2, 3, 4}) {
        const auto pqr = [method](const PointRecord& p) {
            const ColorRecord c = colour(p.X, p.Y, p.Z);
            ColorRecord out{};
            QelColor_XYZ2PQR(&c, method, &out);
            return out;
        };
        const ColorRecord pw1 = pqr(w1), pk1 = pqr(k1), pw2 = pqr(w2), pk2 = pqr(k2);
        std::vector<ColorRecord> out(xyz.size());
        QelColor_XYZs2XYZsRaw(xyz.data(), &w1, &k1, &w2, &k2, method, xyz.size(), out.data());
        for (std::size_t i = 0; i < xyz.size(); ++i) {
            ColorRecord p{};
            QelColor_XYZ2PQR(&xyz[i], method, &p);
            for (int c = 0; c < 3; ++c)
                p.v[c] = p.v[c] == pk1.v[c]
                             ? pk2.v[c]
                             : pk2.v[c] + (p.v[c] - pk1.v[c]) * (pw2.v[c] - pk2.v[c]) /
                                              (pw1.v[c] - pk1.v[c]);
            ColorRecord want{};
            QelColor_PQR2XYZ(&p, method, &want);
            expectNear(out[i], want, i + 1 == xyz.size() ? 0.0 : 1e-14,
                       "method " + std::to_string(method) + " colour " + std::to_string(i));
        }
    }
}

// A colour record may stand for a point, so a caller may keep the destination white in the
// output array; it is read before the array is written.
TEST(CieAdaptation, DestinationWhiteMayLieInTheOutputArray) {
    const PointRecord a = white(QEL_ILLUMINANT_A), d65 = white(QEL_ILLUMINANT_D65);
    const ColorRecord lab = colour(60, 20, -30);
    ColorRecord expected{};
    QelColor_Lab2LabRaw(&lab, &a, &kZero, &d65, &kZero, 1, &expected);
    ColorRecord out = colour(d65.X, d65.Y, d65.Z);
    QelColor_Lab2LabRaw(&lab, &a, &kZero, reinterpret_cast<const PointRecord*>(&out), &kZero, 1,
                        &out);
    expectNear(out, expected, 0.0, "white in the output");
}

// Every array conversion, as a function of (in, count, out).
using ArrayConversion = std::function<void(const ColorRecord*, uint32_t, ColorRecord*)>;

std::vector<std::pair<std::string, ArrayConversion>> everyConversion() {
    static const PointRecord w = white(QEL_ILLUMINANT_D65), k{0.01, 0.01, 0.01};
    std::vector<std::pair<std::string, ArrayConversion>> all;
    using Raw = ColorRecord* (*)(const ColorRecord*, const PointRecord*, const PointRecord*,
                                 uint32_t, ColorRecord*) noexcept;
    for (auto [name, f] : {std::pair<const char*, Raw>{"XYZs2LabsRaw", QelColor_XYZs2LabsRaw},
                           {"Labs2XYZsRaw", QelColor_Labs2XYZsRaw},
                           {"XYZs2LChsRaw", QelColor_XYZs2LChsRaw},
                           {"LChs2XYZsRaw", QelColor_LChs2XYZsRaw},
                           {"XYZs2LuvsRaw", QelColor_XYZs2LuvsRaw},
                           {"Luvs2XYZsRaw", QelColor_Luvs2XYZsRaw}})
        all.emplace_back(name, [f](const ColorRecord* in, uint32_t n, ColorRecord* out) {
            f(in, &w, &k, n, out);
        });
    using Plain = ColorRecord* (*)(const ColorRecord*, uint32_t, ColorRecord*) noexcept;
    for (auto [name, f] : {std::pair<const char*, Plain>{"Labs2LChs", QelColor_Labs2LChs},
                           {"LChs2Labs", QelColor_LChs2Labs},
                           {"XYZs2Yxys", QelColor_XYZs2Yxys},
                           {"Yxys2XYZs", QelColor_Yxys2XYZs}})
        all.emplace_back(
            name, [f](const ColorRecord* in, uint32_t n, ColorRecord* out) { f(in, n, out); });
    all.emplace_back("XYZs2PQRs", [](const ColorRecord* in, uint32_t n, ColorRecord* out) {
        QelColor_XYZs2PQRs(in, 4, n, out);
    });
    all.emplace_back("PQRs2XYZs", [](const ColorRecord* in, uint32_t n, ColorRecord* out) {
        QelColor_PQRs2XYZs(in, 2, n, out);
    });
    using Adapt = ColorRecord* (*)(const ColorRecord*, uint32_t, int32_t, uint32_t, int32_t,
                                   int32_t, uint32_t, ColorRecord*) noexcept;
    for (auto [name, f] : {std::pair<const char*, Adapt>{"XYZs2XYZs", QelColor_XYZs2XYZs},
                           {"Labs2Labs", QelColor_Labs2Labs},
                           {"LChs2LChs", QelColor_LChs2LChs},
                           {"Luvs2Luvs", QelColor_Luvs2Luvs}})
        all.emplace_back(name, [f](const ColorRecord* in, uint32_t n, ColorRecord* out) {
            f(in, QEL_ILLUMINANT_F2, 2, QEL_ILLUMINANT_D50, 2, 3, n, out);
        });
    return all;
}

TEST(CieArrays, InPlaceSingleAndArrayAgreeAndTheFourthComponentStays) {
    // 300 colours cross the internal block boundary.
    std::vector<ColorRecord> in = spreadXyz(white(QEL_ILLUMINANT_D65), 300, 8);
    for (std::size_t i = 0; i < in.size(); ++i) {
        in[i].v[0] *= 100;
        in[i].v[3] = static_cast<double>(i);
    }
    for (const auto& [name, convert] : everyConversion()) {
        std::vector<ColorRecord> out(in.size(), colour(0, 0, 0)), inPlace = in;
        for (auto& c : out)
            c.v[3] = -7;
        convert(in.data(), in.size(), out.data());
        convert(inPlace.data(), inPlace.size(), inPlace.data());
        for (std::size_t i = 0; i < in.size(); ++i) {
            ColorRecord single{};
            convert(&in[i], 1, &single);
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(out[i].v[c], inPlace[i].v[c]) << name << " " << i;
                EXPECT_EQ(out[i].v[c], single.v[c]) << name << " " << i;
            }
            EXPECT_EQ(inPlace[i].v[3], in[i].v[3]) << name;
            EXPECT_EQ(out[i].v[3], -7) << name;
        }
    }
}

TEST(CieArrays, PlainFormsUseTheIlluminantWhiteAndMissingPointersWriteNothing) {
    const PointRecord d65 = white(QEL_ILLUMINANT_D65);
    const ColorRecord xyz = colour(0.3, 0.4, 0.5);
    ColorRecord plain{}, raw{};
    QelColor_XYZ2Luv(&xyz, QEL_ILLUMINANT_D65, 2, &plain);
    QelColor_XYZ2LuvRaw(&xyz, &d65, &kZero, &raw);
    expectNear(plain, raw, 0.0, "Luv");
    QelColor_XYZ2Lab(&xyz, 99, 2, &plain);  // unknown ids use D50
    const PointRecord d50 = white(QEL_ILLUMINANT_D50);
    QelColor_XYZ2LabRaw(&xyz, &d50, &kZero, &raw);
    expectNear(plain, raw, 0.0, "Lab");

    ColorRecord untouched = colour(1, 2, 3);
    EXPECT_EQ(QelColor_XYZs2LabsRaw(&xyz, nullptr, &kZero, 1, &untouched), &untouched);
    EXPECT_EQ(QelColor_XYZs2Labs(nullptr, 6, 2, 1, &untouched), &untouched);
    EXPECT_EQ(QelColor_Labs2LChs(&xyz, 0, &untouched), &untouched);
    EXPECT_EQ(QelColor_XYZs2XYZs(&xyz, 1, 2, 6, 2, 1, 1, nullptr), nullptr);
    expectNear(untouched, colour(1, 2, 3), 0.0, "untouched");
}

}  // namespace
