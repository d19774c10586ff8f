// Lab from CMYK grids and the pick-by-difference, through the exported interface.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

// Lab affine in CMYK, plus an offset per K layer that is not (zero for an affine grid).
ColorRecord affineLab(const ColorRecord& p) {
    const double c = p.v[0], m = p.v[1], y = p.v[2], k = p.v[3];
    return {{90.0 - 0.1 * c - 0.15 * m - 0.05 * y - 0.2 * k, 0.3 * m - 0.2 * c + 0.01 * k,
             0.25 * y - 0.05 * c - 0.1 * m, 0.0}};
}

// A grid whose breakpoints are uneven and differ from layer to layer.
struct Printer {
    std::vector<double> kLevels{0.0, 90.0, 255.0};
    std::vector<std::vector<double>> breaks{{0, 60, 255}, {0, 100, 180, 255}, {0, 40, 130, 255}};
    std::vector<double> bump{0.0, 0.0, 0.0};  // added to L on each layer
    std::vector<GridDescriptor> desc;
    std::vector<ColorRecord> positions, values;

    void build() {
        desc.assign(1 + kLevels.size(), GridDescriptor{});
        desc[0].count = static_cast<int32_t>(kLevels.size());
        std::copy(kLevels.begin(), kLevels.end(), desc[0].values);
        positions.clear();
        values.clear();
        for (std::size_t j = 0; j < kLevels.size(); ++j) {
            const auto& b = breaks[j];
            desc[1 + j].count = static_cast<int32_t>(b.size());
            std::copy(b.begin(), b.end(), desc[1 + j].values);
            for (double c : b)
                for (double m : b)
                    for (double y : b) {
                        const ColorRecord p{{c, m, y, kLevels[j]}};
                        ColorRecord lab = affineLab(p);
                        lab.v[0] += bump[j];
                        positions.push_back(p);
                        values.push_back(lab);
                    }
        }
    }
    // The same layers in the per-axis form, every axis with the layer's breakpoints.
    std::vector<GridDescriptor2> perAxisLayers() const {
        std::vector<GridDescriptor2> layers(kLevels.size());
        for (std::size_t j = 0; j < layers.size(); ++j) {
            layers[j].count = static_cast<int32_t>(breaks[j].size());
            for (std::size_t i = 0; i < breaks[j].size(); ++i)
                for (int a = 0; a < 3; ++a)
                    layers[j].breakpoints[i].v[a] = breaks[j][i];
        }
        return layers;
    }
    ColorRecord plain(const ColorRecord& p) const {
        ColorRecord out{};
        QelColor_ExtractLabFromCMYKGridData(desc.data(), positions.data(), values.data(), &p, &out);
        return out;
    }
};

void expectNear(const ColorRecord& a, const ColorRecord& b, double tol) {
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(a.v[k], b.v[k], tol) << "component " << k;
}

std::vector<ColorRecord> randomCMYK(std::size_t n, double lo, double hi, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<ColorRecord> v(n);
    for (auto& p : v)
        p = {{u(gen), u(gen), u(gen), u(gen)}};
    return v;
}

using Lookup = int32_t (*)(const GridDescriptor*, const ColorRecord*, const ColorRecord*,
                           const ColorRecord*, uint32_t, ColorRecord*);

TEST(CmykGrid, BothSchemesReproduceAnAffinePrinterAndItsNodes) {
    Printer pr;
    pr.build();
    for (Lookup f : {QelColor_ExtractLabsFromCMYKGridData_TriLinear,
                     QelColor_ExtractLabsFromCMYKGridData_Linear}) {
        auto pts = randomCMYK(500, 0.0, 255.0, 7);
        pts.insert(pts.end(), pr.positions.begin(), pr.positions.end());
        std::vector<ColorRecord> lab(pts.size());
        EXPECT_EQ(f(pr.desc.data(), pr.positions.data(), pr.values.data(), pts.data(),
                    static_cast<uint32_t>(pts.size()), lab.data()),
                  static_cast<int32_t>(pts.size() - 1));
        for (std::size_t i = 0; i < pts.size(); ++i) {
            expectNear(lab[i], affineLab(pts[i]), 1e-9);
            EXPECT_EQ(lab[i].v[3], 0.0);
        }
        // In place, the output replacing the input.
        std::vector<ColorRecord> inPlace = pts;
        f(pr.desc.data(), pr.positions.data(), pr.values.data(), inPlace.data(),
          static_cast<uint32_t>(inPlace.size()), inPlace.data());
        for (std::size_t i = 0; i < pts.size(); ++i)
            expectNear(inPlace[i], lab[i], 0.0);
    }
}

// Points alone in their cells take a path of their own, and many points search evenly
// spaced axes by arithmetic and may read the nodes' positions from the axes: none of this
// may change a bit of any result. Each point is looked up
// alone, among many in random order, and three times in a row (one cell's kernel).
TEST(CmykGrid, APointGivesTheSameBitsAloneAmongOthersAndInARun) {
    Printer uneven;
    uneven.build();
    Printer even;  // 9 even levels on every axis, shared by the layers
    even.kLevels.clear();
    even.breaks.assign(9, {});
    for (int i = 0; i < 9; ++i) {
        even.kLevels.push_back(255.0 * i / 8);
        for (auto& b : even.breaks)
            b.push_back(255.0 * i / 8);
    }
    even.bump.assign(9, 0.0);
    even.bump[4] = 7.5;
    even.build();
    Printer nudged = even;  // one layer's axis off by an ulp: not shared, but still even
    nudged.breaks[5][3] = std::nextafter(nudged.breaks[5][3], 0.0);
    nudged.build();
    // Few enough nodes for a call to check that they lie at their breakpoints.
    Printer coarse;
    coarse.kLevels = {0.0, 127.5, 255.0};
    coarse.breaks.assign(3, {0.0, 127.5, 255.0});
    coarse.bump = {0.0, 5.0, 0.0};
    coarse.build();
    Printer moved = coarse;  // one node off its breakpoints
    moved.build();
    moved.positions[13].v[1] = std::nextafter(moved.positions[13].v[1], 0.0);

    for (const Printer* pr : {&uneven, &even, &nudged, &coarse, &moved}) {
        auto pts = randomCMYK(400, -20.0, 275.0, 11);
        for (const double b : pr->breaks[1])
            for (const double v : {b, std::nextafter(b, -1e9), std::nextafter(b, 1e9)})
                pts.push_back({{v, 255.0 - v, v, pr->kLevels[1]}});
        pts.push_back({{NAN, 10.0, 20.0, 30.0}});
        pts.push_back({{10.0, 20.0, 30.0, INFINITY}});
        const auto n = static_cast<uint32_t>(pts.size());
        std::vector<ColorRecord> tripled;
        for (const ColorRecord& p : pts)
            tripled.insert(tripled.end(), 3, p);
        for (Lookup f : {QelColor_ExtractLabsFromCMYKGridData_TriLinear,
                         QelColor_ExtractLabsFromCMYKGridData_Linear}) {
            const auto* d = pr->desc.data();
            const auto* pos = pr->positions.data();
            const auto* val = pr->values.data();
            std::vector<ColorRecord> many(n), runs(tripled.size());
            f(d, pos, val, pts.data(), n, many.data());
            f(d, pos, val, tripled.data(), 3 * n, runs.data());
            for (uint32_t i = 0; i < n; ++i) {
                ColorRecord alone{};
                f(d, pos, val, &pts[i], 1, &alone);
                for (const ColorRecord* r : {&many[i], &runs[3 * i], &runs[3 * i + 2]})
                    EXPECT_EQ(std::memcmp(r, &alone, sizeof alone), 0)
                        << "point " << i << ": " << pts[i].v[0] << ", " << pts[i].v[1] << ", "
                        << pts[i].v[2] << ", " << pts[i].v[3];
            }
        }
    }
}

TEST(CmykGrid, KAtTheTopTakesTheUpperLayerAndBelowTheFirstTheFirstInterval) {
    Printer pr;
    pr.bump = {0.0, 10.0, -30.0};
    pr.build();
    const ColorRecord top{{30.0, 70.0, 200.0, 255.0}};
    ColorRecord expected = affineLab(top);
    expected.v[0] += pr.bump[2];
    expectNear(pr.plain(top), expected, 1e-9);

    // K = -45 lies half the first interval below the first level: the bump extrapolates
    // from the first two layers to 0 - 0.5 x 10.
    const ColorRecord below{{30.0, 70.0, 200.0, -45.0}};
    expected = affineLab(below);
    expected.v[0] += -5.0;
    expectNear(pr.plain(below), expected, 1e-9);
}

TEST(CmykGrid, NeutralSettingsOfEveryFamilyEqualThePlainLookUp) {
    Printer pr;
    pr.bump = {0.0, 4.0, -9.0};
    pr.build();
    const std::vector<GridDescriptor2> layers = pr.perAxisLayers();
    DControlRecord identity{};
    identity.pointCount = 2;
    for (auto& curve : identity.curves) {
        curve[0] = {0.0, 0.0};
        curve[1] = {255.0, 255.0};
    }
    const auto pts = randomCMYK(300, 0.0, 255.0, 11);
    for (const auto& p : pts) {
        const ColorRecord want = pr.plain(p);
        ColorRecord got{};
        QelColor_ExtractLabFromCMYKGridDataWithGamma(pr.desc.data(), pr.positions.data(),
                                                     pr.values.data(), 1, 1, 1, 1, &p, &got);
        expectNear(got, want, 1e-9);
        QelColor_ExtractLabFromCMYKGridData2(&pr.desc[0], layers.data(), pr.positions.data(),
                                             pr.values.data(), &p, &got);
        expectNear(got, want, 1e-9);
        for (int32_t type : {0, 1, 2, 3, 9}) {
            identity.type = type;
            QelColor_ExtractLabFromCMYKGridDataForDControl2(pr.desc.data(), pr.positions.data(),
                                                            pr.values.data(), &identity, nullptr,
                                                            &p, &got);
            expectNear(got, want, 1e-9);
        }
    }
}

TEST(CmykGrid, GammaWarpsOnlyStrictlyInsideTheCell) {
    Printer pr;
    pr.bump = {0.0, 6.0, 0.0};
    pr.build();
    // C = 30 lies at 1/2 of the cell 0..60 of the first layer; with gamma 2 it moves to 15.
    // The other layer's cell (0..100) is wider, but the bounds are the tighter pair.
    const ColorRecord p{{30.0, 60.0, 255.0, 0.0}};
    ColorRecord got{};
    QelColor_ExtractLabFromCMYKGridDataWithGamma(pr.desc.data(), pr.positions.data(),
                                                 pr.values.data(), 2, 3, 0.5, 2, &p, &got);
    expectNear(got, pr.plain({{15.0, 60.0, 255.0, 0.0}}), 1e-9);
}

TEST(CmykGrid, EveryFamilyGivesFiniteResultsOutsideTheGrid) {
    Printer pr;
    pr.build();
    const std::vector<GridDescriptor2> layers = pr.perAxisLayers();
    DControlRecord curve{};
    curve.type = 3;
    curve.pointCount = 3;
    for (auto& c : curve.curves) {
        c[0] = {0.0, 0.0};
        c[1] = {128.0, 64.0};
        c[2] = {255.0, 255.0};
    }
    const double half = 0.5;
    const auto pts = randomCMYK(200, -100.0, 400.0, 3);
    std::vector<ColorRecord> out(pts.size());
    const auto n = static_cast<uint32_t>(pts.size());
    auto allFinite = [&] {
        for (const auto& o : out)
            for (int k = 0; k < 3; ++k)
                ASSERT_TRUE(std::isfinite(o.v[k]));
    };
    const GridDescriptor* d = pr.desc.data();
    const ColorRecord *pos = pr.positions.data(), *val = pr.values.data();
    QelColor_ExtractLabsFromCMYKGridData_TriLinear(d, pos, val, pts.data(), n, out.data());
    allFinite();
    QelColor_ExtractLabsFromCMYKGridData_Linear(d, pos, val, pts.data(), n, out.data());
    allFinite();
    QelColor_ExtractLabsFromCMYKGridDataWithGamma_TriLinear(d, pos, val, 2.2, 0.4, 1.8, 3,
                                                            pts.data(), n, out.data());
    allFinite();
    QelColor_ExtractLabsFromCMYKGridDataWithGamma_Linear(d, pos, val, 2.2, 0.4, 1.8, 3, pts.data(),
                                                         n, out.data());
    allFinite();
    QelColor_ExtractLabsFromCMYKGridData2(d, layers.data(), pos, val, pts.data(), n, out.data());
    allFinite();
    QelColor_ExtractLabsFromCMYKGridDataForDControl2_TriLinear(d, pos, val, &curve, &half,
                                                               pts.data(), n, out.data());
    allFinite();
    QelColor_ExtractLabsFromCMYKGridDataForDControl2_Linear(d, pos, val, &curve, &half, pts.data(),
                                                            n, out.data());
    allFinite();
}

TEST(CmykGrid, UnusableDescriptorsWriteNothing) {
    struct Case {
        const char* name;
        int entry;
        int32_t count;
    };
    const Case cases[] = {{"one K level", 0, 1},
                          {"K count above 256", 0, 257},
                          {"layer of one", 2, 1},
                          {"layer above 256", 3, 300},
                          {"negative count", 1, -4}};
    for (const Case& c : cases) {
        Printer pr;
        pr.build();
        pr.desc[c.entry].count = c.count;
        const ColorRecord p{{10, 20, 30, 40}};
        ColorRecord out{{-7, -7, -7, -7}};
        EXPECT_EQ(QelColor_ExtractLabFromCMYKGridData(pr.desc.data(), pr.positions.data(),
                                                      pr.values.data(), &p, &out),
                  -1)
            << c.name;
        EXPECT_EQ(QelColor_ExtractLabFromCMYKGridDataWithGamma_Linear(
                      pr.desc.data(), pr.positions.data(), pr.values.data(), 1, 1, 1, 1, &p, &out),
                  -1)
            << c.name;
        EXPECT_EQ(out.v[0], -7.0) << c.name;
    }
    Printer pr;
    pr.build();
    ColorRecord out{{-7, -7, -7, -7}};
    EXPECT_EQ(
        QelColor_ExtractLabFromCMYKGridData(pr.desc.data(), nullptr, pr.values.data(), &out, &out),
        -1);
    EXPECT_EQ(QelColor_ExtractLabFromCMYKGridData2(&pr.desc[0], nullptr, pr.positions.data(),
                                                   pr.values.data(), &out, &out),
              -1);
    EXPECT_EQ(out.v[0], -7.0);
}

// The same uniform 9^4 grid as a Little CMS float table, K its first input.
TEST(CmykGrid, TetrahedralLookUpAgreesWithLittleCms) {
    constexpr int kN = 9;
    auto field = [](double c, double m, double y, double k) {
        return std::array<double, 3>{0.5 + 0.4 * std::sin(c * 0.02 + k * 0.01),
                                     0.5 + 0.3 * std::cos(m * 0.015 - y * 0.01),
                                     (y * k) / (255.0 * 255.0)};
    };
    std::vector<GridDescriptor> desc(1 + kN);
    desc[0].count = kN;
    std::vector<ColorRecord> positions, values;
    std::vector<cmsFloat32Number> table;
    for (int j = 0; j < kN; ++j) {
        desc[0].values[j] = 255.0 * j / (kN - 1);
        desc[1 + j].count = kN;
        for (int i = 0; i < kN; ++i)
            desc[1 + j].values[i] = 255.0 * i / (kN - 1);
    }
    for (int k = 0; k < kN; ++k)
        for (int c = 0; c < kN; ++c)
            for (int m = 0; m < kN; ++m)
                for (int y = 0; y < kN; ++y) {
                    const double s = 255.0 / (kN - 1);
                    const auto v = field(c * s, m * s, y * s, k * s);
                    positions.push_back({{c * s, m * s, y * s, k * s}});
                    // Rounded to float on both sides, so that only the arithmetic differs.
                    values.push_back({{static_cast<float>(v[0]), static_cast<float>(v[1]),
                                       static_cast<float>(v[2]), 0.0}});
                    for (double x : v)
                        table.push_back(static_cast<cmsFloat32Number>(x));
                }
    cmsPipeline* pipe = cmsPipelineAlloc(nullptr, 4, 3);
    ASSERT_NE(pipe, nullptr);
    cmsStage* clut = cmsStageAllocCLutFloat(nullptr, kN, 4, 3, table.data());
    ASSERT_TRUE(cmsPipelineInsertStage(pipe, cmsAT_END, clut));
    const auto pts = randomCMYK(2000, 0.0, 255.0, 5);
    std::vector<ColorRecord> lab(pts.size());
    QelColor_ExtractLabsFromCMYKGridData(desc.data(), positions.data(), values.data(), pts.data(),
                                         static_cast<uint32_t>(pts.size()), lab.data());
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const auto& p = pts[i];
        const cmsFloat32Number in[4] = {
            static_cast<float>(p.v[3] / 255.0), static_cast<float>(p.v[0] / 255.0),
            static_cast<float>(p.v[1] / 255.0), static_cast<float>(p.v[2] / 255.0)};
        cmsFloat32Number out[3] = {};
        cmsPipelineEvalFloat(in, out, pipe);
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(lab[i].v[k], out[k], 1e-6) << "point " << i << " component " << k;
    }
    cmsPipelineFree(pipe);
}

struct Pick {
    std::vector<double> d;
    std::vector<ColorRecord> c;
    ColorRecord run4(int32_t n) const {
        ColorRecord out{{-1, -1, -1, -1}};
        QelColor_ExtractCMYKWithDeltaE(d.data(), c.data(), static_cast<uint32_t>(d.size()), n,
                                       &out);
        return out;
    }
};

TEST(PickByDifference, ExactMatchesAreAveragedOthersWeighted) {
    const ColorRecord c1{{10, 20, 30, 40}}, c2{{50, 60, 70, 80}}, c3{{100, 0, 200, 5}};
    Pick exact{{0.0, 3.0, 0.0}, {c1, c2, c3}};
    expectNear(exact.run4(3), {{55, 10, 115, 22.5}}, 1e-12);
    EXPECT_DOUBLE_EQ(exact.run4(3).v[3], 22.5);

    Pick weighted{{1.0, 2.0, 3.0}, {c1, c2, c3}};
    const ColorRecord got = weighted.run4(2);
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(got.v[k], (c1.v[k] / 2 + c2.v[k] / 5) / (0.5 + 0.2), 1e-12);

    // The smallest replace larger ones wherever they come; equal largest: the first goes.
    Pick late{{5.0, 9.0, 9.0, 1.0, 0.0}, {c1, c2, c3, c1, c2}};
    expectNear(late.run4(3), c2, 1e-12);
    Pick ties{{4.0, 4.0, 1.0}, {c1, c2, c3}};
    const ColorRecord tie = ties.run4(2);
    EXPECT_NEAR(tie.v[0], (50.0 / 17 + 100.0 / 2) / (1.0 / 17 + 0.5), 1e-12);

    ColorRecord rgb{{-1, -1, -1, -1}};
    QelColor_ExtractRGBWithDeltaE(weighted.d.data(), weighted.c.data(), 3, 2, &rgb);
    EXPECT_NEAR(rgb.v[0], got.v[0], 1e-12);
    EXPECT_EQ(rgb.v[3], -1.0);
}

TEST(PickByDifference, SamplingNumberAndComponentsAreLimited) {
    Pick p{{2.0, 1.0}, {{{-30, 300, 10, 10}}, {{-10, 260, 20, 20}}}};
    const ColorRecord all = p.run4(2);
    for (int32_t n : {5, 1000000}) {
        const ColorRecord limited = p.run4(n);
        expectNear(limited, all, 0.0);
    }
    EXPECT_EQ(all.v[0], 0.0);
    EXPECT_EQ(all.v[1], 255.0);
    for (int32_t n : {0, -3}) {
        const ColorRecord one = p.run4(n);
        EXPECT_EQ(one.v[2], 20.0);  // the single best candidate
    }
    ColorRecord untouched{{-1, -1, -1, -1}};
    QelColor_Extract4DColorFromDeltaEAryBySamplingNum(p.d.data(), p.c.data(), 0, 2, &untouched);
    QelColor_Extract4DColorFromDeltaEAryBySamplingNum(nullptr, p.c.data(), 2, 2, &untouched);
    EXPECT_EQ(untouched.v[0], -1.0);
}

}  // namespace
