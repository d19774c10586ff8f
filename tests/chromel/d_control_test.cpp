// Tone-curve correction of CMYK colours and its preparation, through the exported interface.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

DControlRecord curvesOf(int32_t type, std::vector<DControlPoint> points) {
    DControlRecord r{};
    r.type = type;
    r.pointCount = static_cast<int32_t>(points.size());
    for (auto& curve : r.curves)
        std::copy(points.begin(), points.end(), curve);
    return r;
}

ColorRecord ex(const DControlRecord& r, ColorRecord in) {
    QelColor_CMYKDControlEx(&in, &r, &in);
    return in;
}

ColorRecord second(const DControlRecord& r, const double* ratio, ColorRecord in) {
    QelColor_CMYKDControl2Ex(&in, &r, ratio, &in);
    return in;
}

TEST(DControl, IdentityCurvesLeaveColoursUnchanged) {
    const ColorRecord in{{0.0, 17.25, 128.0, 255.0}};
    for (int32_t type : {1, 2, 3}) {
        const auto r = curvesOf(type, {{0, 0}, {255, 255}});
        const ColorRecord out = ex(r, in);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(out.v[k], in.v[k], 1e-12) << "type " << type;
    }
}

TEST(DControl, PiecewiseLinearCurveAndLimits) {
    const auto r = curvesOf(3, {{0, 0}, {128, 64}, {255, 255}});
    const ColorRecord out = ex(r, {{64, 192, 300, -20}});
    EXPECT_DOUBLE_EQ(out.v[0], 32.0);
    EXPECT_DOUBLE_EQ(out.v[1], 20352.0 / 127.0);  // 160.25 to two decimals
    EXPECT_EQ(out.v[2], 255.0);                   // extrapolated above, then limited
    EXPECT_EQ(out.v[3], 0.0);

    // The packing forms give the same.
    const DControlPoint pts[3] = {{0, 0}, {128, 64}, {255, 255}};
    ColorRecord packed{{64, 192, 300, -20}};
    QelColor_CMYKDControl(&packed, 3, pts, pts, pts, pts, 3, &packed);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(packed.v[k], out.v[k]);
}

TEST(DControl, BlackRatioStretchesKAroundItsCurve) {
    const auto r = curvesOf(3, {{0, 0}, {255, 200}});
    const double half = 0.5;
    // 127.5 is stretched to 255, mapped to 200 and scaled back by a half.
    EXPECT_DOUBLE_EQ(second(r, &half, {{0, 0, 0, 127.5}}).v[3], 100.0);
    const auto identity = curvesOf(1, {{0, 0}, {255, 255}});
    for (double k : {0.0, 60.0, 127.5, 200.0, 255.0, 400.0})
        EXPECT_LE(second(identity, &half, {{0, 0, 0, k}}).v[3], 127.5) << k;
    // No ratio means 1: as the first family. A ratio at or below 0 leaves no black.
    EXPECT_DOUBLE_EQ(second(r, nullptr, {{0, 0, 0, 127.5}}).v[3], 100.0);
    for (double ratio : {0.0, -2.0})
        EXPECT_EQ(second(r, &ratio, {{0, 0, 0, 127.5}}).v[3], 0.0);
    // Type 0 copies, unlimited.
    const auto none = curvesOf(0, {{0, 0}, {255, 255}});
    EXPECT_EQ(second(none, &half, {{0, 0, 0, 400}}).v[3], 400.0);
}

TEST(DControl, UnusableCurvesPassChannelsThroughLimited) {
    const std::vector<DControlRecord> bad = {
        curvesOf(1, {{0, 0}, {100, 50}, {100, 80}}), curvesOf(2, {{0, 0}, {100, 50}, {100, 80}}),
        curvesOf(3, {{0, 0}, {100, 50}, {100, 80}}), curvesOf(3, {{0, 0}}),
        curvesOf(1, std::vector<DControlPoint>(256, {1, 1}))};
    for (auto r : bad) {
        if (r.pointCount == 256) r.pointCount = 300;
        const ColorRecord out = ex(r, {{100, 300, -5, 40}});
        EXPECT_EQ(out.v[0], 100.0);
        EXPECT_EQ(out.v[1], 255.0);
        EXPECT_EQ(out.v[2], 0.0);
        EXPECT_EQ(out.v[3], 40.0);
    }
}

// An affine printer: Lab of C, M, Y fractions; K changes nothing.
ColorRecord printer(double c, double m, double y) {
    return {
        {95 - 30 * c - 25 * m - 10 * y, -20 * c + 50 * m - 5 * y, -10 * c - 10 * m + 60 * y, 0}};
}

// A lattice holding the printer's exact inverse (CMYK of each Lab node, K 0) and
// single-channel ramps; response(d) gives the fraction the printer receives for digital d.
struct Preparation {
    int n = 9;
    std::vector<ColorRecord> lattice;
    std::array<std::vector<double>, 4> digital;
    std::array<std::vector<ColorRecord>, 4> lab;
    DControlPrepParams params{};

    explicit Preparation(
        int samples, const std::function<double(double)>& responseC = [](double d) { return d; }) {
        // Inverse of the printer's matrix.
        const double a[3][3] = {{-30, -25, -10}, {-20, 50, -5}, {-10, -10, 60}};
        const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
        double inv[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
                inv[i][j] = (a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0]) / det;
            }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) {
                    const double d[3] = {100.0 * i / (n - 1) - 95, 256.0 * j / (n - 1) - 128,
                                         256.0 * k / (n - 1) - 128};
                    ColorRecord cmyk{};
                    for (int r = 0; r < 3; ++r)
                        cmyk.v[r] = 255 * (inv[r][0] * d[0] + inv[r][1] * d[1] + inv[r][2] * d[2]);
                    lattice.push_back(cmyk);
                }
        for (int ch = 0; ch < 4; ++ch)
            for (int s = 0; s < samples; ++s) {
                const double dv = 255.0 * s / (samples - 1);
                double f[3] = {0, 0, 0};
                if (ch < 3) f[ch] = ch == 0 ? responseC(dv / 255) : dv / 255;
                digital[ch].push_back(dv);
                lab[ch].push_back(printer(f[0], f[1], f[2]));
            }
        params.type = 3;
        params.latticeSize = n;
        params.lattice = lattice.data();
        for (int ch = 0; ch < 4; ++ch)
            params.ramps[ch] = {samples, digital[ch].data(), lab[ch].data()};
    }
};

using Prepare = int32_t (*)(const DControlPrepParams*, int32_t, DControlRecord*);

TEST(DControlPreparation, ExactInverseGivesIdentityCurves) {
    Preparation prep(11);
    for (Prepare f : {QelColor_PrepareCMYKDControl_FWD, QelColor_PrepareCMYKDControlEx_FWD,
                      QelColor_PrepareCMYKDControl2_INV, QelColor_PrepareCMYKDControl2_FWD})
        for (int32_t points : {17, 256}) {
            DControlRecord r{};
            ASSERT_EQ(f(&prep.params, points, &r), 0);
            EXPECT_EQ(r.type, 3);
            EXPECT_EQ(r.pointCount, points);
            for (int ch = 0; ch < 4; ++ch)
                for (int j = 0; j < points; ++j) {
                    EXPECT_NEAR(r.curves[ch][j].input, 255.0 * j / (points - 1), 1e-9);
                    EXPECT_NEAR(r.curves[ch][j].output, r.curves[ch][j].input, 1e-9);
                }
        }
}

TEST(DControlPreparation, CurveLinearisesASquareResponse) {
    Preparation prep(21, [](double d) { return d * d; });
    DControlRecord r{};
    ASSERT_EQ(QelColor_PrepareCMYKDControl_FWD(&prep.params, 256, &r), 0);
    const auto& c = r.curves[0];
    EXPECT_EQ(c[0].output, 0.0);
    EXPECT_EQ(c[255].output, 255.0);
    EXPECT_EQ(c[255].input, 255.0);
    for (int j = 0; j < 256; ++j) {
        const double t = c[j].input / 255;
        if (t <= 0.1 || t >= 0.95) continue;
        const double printed = c[j].output / 255;
        EXPECT_NEAR(printed * printed * 255, c[j].input, 2.0) << j;
    }
}

TEST(DControlPreparation, SecondFamilyExchangesStrictlyRisingCurves) {
    // A response that saturates halfway: the inverse curve has a flat stretch.
    Preparation prep(21, [](double d) { return std::min(1.0, 2 * d); });
    DControlRecord inv{}, fwd{};
    ASSERT_EQ(QelColor_PrepareCMYKDControl2_INV(&prep.params, 64, &inv), 0);
    ASSERT_EQ(QelColor_PrepareCMYKDControl2_FWD(&prep.params, 64, &fwd), 0);
    for (int ch = 0; ch < 4; ++ch)
        for (int j = 0; j < 64; ++j) {
            EXPECT_EQ(fwd.curves[ch][j].input, inv.curves[ch][j].output);
            EXPECT_EQ(fwd.curves[ch][j].output, inv.curves[ch][j].input);
            if (j > 0) {
                EXPECT_GT(inv.curves[ch][j].output, inv.curves[ch][j - 1].output);
            }
        }
    // The exchange is a table the curve types accept: it corrects without passing through.
    const ColorRecord out = ex(fwd, {{200, 0, 0, 0}});
    EXPECT_LT(out.v[0], 200.0);
}

TEST(DControlPreparation, WrappersCopyPointCountPoints) {
    Preparation prep(11);
    std::array<std::array<DControlPoint, 40>, 4> curves{};
    for (auto& c : curves)
        c.fill({-1, -1});
    ASSERT_EQ(QelColor_PrepareCMYKDControl2(&prep.params, 33, curves[0].data(), curves[1].data(),
                                            curves[2].data(), curves[3].data()),
              0);
    for (const auto& c : curves) {
        EXPECT_EQ(c[32].input, 255.0);
        EXPECT_EQ(c[33].input, -1.0);
    }
}

TEST(DControlPreparation, BadArgumentsGiveCodesAndEmptyRecords) {
    Preparation prep(11);
    struct Case {
        const char* name;
        std::function<void(DControlPrepParams&)> spoil;
        int32_t points;
        int32_t code;
    };
    const Case cases[] = {
        {"lattice of one", [](DControlPrepParams& p) { p.latticeSize = 1; }, 17, 1},
        {"no lattice", [](DControlPrepParams& p) { p.lattice = nullptr; }, 17, 1},
        {"ramp without values", [](DControlPrepParams& p) { p.ramps[2].lab = nullptr; }, 17, 1},
        {"one point", [](DControlPrepParams&) {}, 1, 1},
        {"257 points", [](DControlPrepParams&) {}, 257, 1},
        {"lattice too large", [](DControlPrepParams& p) { p.latticeSize = 3000000; }, 17, 3},
    };
    for (const Case& c : cases) {
        DControlPrepParams p = prep.params;
        c.spoil(p);
        DControlRecord r = curvesOf(3, {{0, 0}, {255, 255}});
        EXPECT_EQ(QelColor_PrepareCMYKDControl_FWD(&p, c.points, &r), c.code) << c.name;
        EXPECT_EQ(r.type, 0) << c.name;
        EXPECT_EQ(r.pointCount, 0) << c.name;
    }
    DControlRecord r{};
    EXPECT_EQ(QelColor_PrepareCMYKDControl2_FWD(nullptr, 17, &r), 1);

    // Type 0 returns at once; a ramp of one sample gives the identity.
    DControlPrepParams p = prep.params;
    p.type = 0;
    EXPECT_EQ(QelColor_PrepareCMYKDControl2_FWD(&p, 17, &r), 0);
    EXPECT_EQ(r.type, 0);
    p = prep.params;
    p.ramps[1].count = 1;
    p.ramps[1].lab = nullptr;
    ASSERT_EQ(QelColor_PrepareCMYKDControl_FWD(&p, 17, &r), 0);
    for (int j = 0; j < 17; ++j)
        EXPECT_EQ(r.curves[1][j].output, r.curves[1][j].input);
}

}  // namespace
