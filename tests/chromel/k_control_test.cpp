// Black control through the exported interface: worked colours, invariants over random
// colours, the three nested families and refused input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

constexpr double kTight = 1e-9;

ColorRecord cmyk(double c, double m, double y, double k) {
    return ColorRecord{{c, m, y, k}};
}

KControl3Params gammaParams(int32_t method, double gamma, double inkRatio = 4.0) {
    KControl3Params p{};
    p.base.base.curveType = 1;
    p.base.base.method = method;
    p.base.base.inkLimitRatio = inkRatio;
    p.base.base.gamma = gamma;
    p.base.base.weightC = p.base.base.weightM = p.base.base.weightY = 1;
    p.base.totalInkRatio = 3.0;
    p.base.blackStartRatio = 0.6;
    return p;
}

const std::vector<double> kRisingTable = {20, 10, 128, 100, 230, 240};

KControl3Params tableParams(int32_t method, int32_t curveType, const std::vector<double>& table) {
    KControl3Params p = gammaParams(method, 1.0);
    p.base.base.curveType = curveType;
    p.base.base.tableCount = static_cast<int32_t>(table.size() / 2);
    p.base.base.table = table.data();
    return p;
}

ColorRecord one3(const ColorRecord& in, const KControl3Params& p) {
    ColorRecord out{};
    EXPECT_EQ(QelColor_CMYKKControl3(&in, &p, &out), 0);
    return out;
}

std::vector<ColorRecord> randomColours(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(0.0, 255.0);
    std::vector<ColorRecord> v;
    for (double c : {0.0, 255.0})
        for (double k : {0.0, 128.0, 255.0})
            v.push_back(cmyk(c, c, c, k));
    while (v.size() < n)
        v.push_back(cmyk(dist(gen), dist(gen), dist(gen), dist(gen)));
    return v;
}

void expectSame(const ColorRecord& a, const ColorRecord& b, double tol = 0.0) {
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(a.v[i], b.v[i], tol) << "channel " << i;
}

TEST(KControlWorked, GammaOneWithRoomyLimitChangesNothing) {
    for (int method : {0, 1, 3}) {
        const auto in = randomColours(64, 1);
        std::vector<ColorRecord> out(in.size());
        KControl3Params p = gammaParams(method, 1.0, 4.0);
        p.base.blackStartRatio = 1.0;
        ASSERT_EQ(QelColor_CMYKsKControl3(in.data(), &p, in.size(), out.data()), 0);
        for (std::size_t i = 0; i < in.size(); ++i)
            expectSame(out[i], in[i], kTight);
    }
}

TEST(KControlWorked, ProportionalSharesRemovedBlackByChannel) {
    const ColorRecord out = one3(cmyk(100, 50, 0, 128), gammaParams(1, 2.0));
    EXPECT_NEAR(out.v[3], 64.2510, 5e-5);
    EXPECT_NEAR(out.v[0], 142.4993, 5e-5);
    EXPECT_NEAR(out.v[1], 71.2497, 5e-5);
    EXPECT_EQ(out.v[2], 0.0);
}

TEST(KControlWorked, WeightedSharesByWeightsAndSurvivesBadSums) {
    const ColorRecord in = cmyk(40, 80, 120, 200);
    const double kNew = 255.0 * std::pow(200.0 / 255.0, 2.0);
    const double third = (200.0 - kNew) / 3.0;
    struct Case {
        int32_t c, m, y;
    };
    // Equal weights, a zero sum and sums beyond int32 all share D equally.
    for (const Case w : {Case{1, 1, 1}, Case{1, -1, 0}, Case{INT32_MAX, INT32_MAX, INT32_MAX}}) {
        KControl3Params p = gammaParams(0, 2.0);
        p.base.base.weightC = w.c, p.base.base.weightM = w.m, p.base.base.weightY = w.y;
        expectSame(one3(in, p), cmyk(40 + third, 80 + third, 120 + third, kNew), kTight);
    }
    KControl3Params p = gammaParams(0, 2.0);
    p.base.base.weightC = 3, p.base.base.weightM = 0, p.base.base.weightY = 1;
    const double d = 200.0 - kNew;
    expectSame(one3(in, p), cmyk(40 + 0.75 * d, 80, 120 + 0.25 * d, kNew), kTight);
}

TEST(KControlWorked, ProportionalCopiesColourWhoseInkSumsToZero) {
    const ColorRecord in = cmyk(10, -10, 0, 100);
    expectSame(one3(in, gammaParams(1, 2.0)), in);
}

// A grid of two K levels with nodes at 0 and 255 on every axis, Lab from `lab` of the
// node's CMYK.
struct AffineGrid {
    std::vector<GridDescriptor> desc;
    std::vector<ColorRecord> positions, values;

    template <typename Lab>
    explicit AffineGrid(Lab lab) : desc(3) {
        desc[0].count = 2;
        desc[0].values[0] = 0.0, desc[0].values[1] = 255.0;
        for (int j = 1; j <= 2; ++j) {
            desc[j].count = 2;
            desc[j].values[0] = 0.0, desc[j].values[1] = 255.0;
        }
        for (double k : {0.0, 255.0})
            for (double c : {0.0, 255.0})
                for (double m : {0.0, 255.0})
                    for (double y : {0.0, 255.0}) {
                        positions.push_back(cmyk(c, m, y, k));
                        values.push_back(lab(c, m, y, k));
                    }
    }

    void attach(KControlParams& p) const {
        p.gridDescriptor = desc.data();
        p.gridPositions = positions.data();
        p.gridValues = values.data();
    }
};

double exactBelowTiny(const ColorRecord* a, const ColorRecord* b) {
    const double d = QelColor_DefaultDeltaEFunc(a, b);
    return d < 1e-12 ? 0.0 : d;
}

const AffineGrid& sampleGrid() {
    static const AffineGrid grid([](double c, double m, double y, double k) {
        return cmyk(100.0 - 0.2 * c - 0.1 * m - 0.05 * y - 0.3 * k, 0.1 * (c - m), 0.1 * (m - y),
                    0.0);
    });
    return grid;
}

// Methods 0 to 3 over random colours, gamma and table curves, tight ink limits.
TEST(KControlInvariants, BlackWithinInkAndChannelsWithinRange) {
    const auto in = randomColours(2000, 7);
    std::vector<ColorRecord> out(in.size()), inPlace;
    for (int curve : {1, 2, 3, 4})
        for (int method : {0, 1, 2, 3})
            for (double ratio : {0.5, 1.0, 3.0}) {
                SCOPED_TRACE(::testing::Message()
                             << "curve " << curve << " method " << method << " ratio " << ratio);
                KControl3Params p = curve == 1 ? gammaParams(method, 0.45, ratio)
                                               : tableParams(method, curve, kRisingTable);
                p.base.base.inkLimitRatio = ratio;
                sampleGrid().attach(p.base.base);
                ASSERT_EQ(QelColor_CMYKsKControl3(in.data(), &p, in.size(), out.data()), 0);
                inPlace = in;
                ASSERT_EQ(QelColor_CMYKsKControl3(inPlace.data(), &p, in.size(), inPlace.data()),
                          0);
                for (std::size_t i = 0; i < in.size(); ++i) {
                    const ColorRecord& a = in[i];
                    const ColorRecord& b = out[i];
                    expectSame(inPlace[i], b);
                    for (double v : b.v) {
                        EXPECT_GE(v, 0.0);
                        EXPECT_LE(v, 255.0);
                    }
                    if (b.v[3] != a.v[3]) {
                        EXPECT_LE(b.v[3], a.v[0] + a.v[1] + a.v[2] + a.v[3] + 1e-9);
                        EXPECT_LE(b.v[3], 255.0 * ratio + 1e-9);
                    }
                    if (method < 2 && a.v[0] == 0 && a.v[1] == 0 && a.v[2] == 0) expectSame(b, a);
                }
            }
}

TEST(KControlGrayReplacement, BlackStartRatioIsLimited) {
    const auto in = randomColours(300, 3);
    struct Case {
        double given, acts;
    };
    for (const Case c : {Case{1.5, 1.0}, Case{0.05, 0.1}, Case{-2.0, 0.1}}) {
        KControl3Params given = gammaParams(3, 0.7), acts = given;
        given.base.blackStartRatio = c.given;
        acts.base.blackStartRatio = c.acts;
        std::vector<ColorRecord> a(in.size()), b(in.size());
        QelColor_CMYKsKControl3(in.data(), &given, in.size(), a.data());
        QelColor_CMYKsKControl3(in.data(), &acts, in.size(), b.data());
        for (std::size_t i = 0; i < in.size(); ++i)
            expectSame(a[i], b[i]);
    }
}

TEST(KControlGrayReplacement, KeepsTotalInkUnlessAChannelIsLimited) {
    const auto in = randomColours(2000, 11);
    std::vector<ColorRecord> out(in.size());
    for (double h : {0.3, 0.8, 1.0}) {
        KControl3Params p = gammaParams(3, 0.6);
        p.base.blackStartRatio = h;
        QelColor_CMYKsKControl3(in.data(), &p, in.size(), out.data());
        int kept = 0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const ColorRecord& o = out[i];
            if (std::max({o.v[0], o.v[1], o.v[2]}) >= 255.0) continue;
            ++kept;
            EXPECT_NEAR(o.v[0] + o.v[1] + o.v[2] + o.v[3],
                        in[i].v[0] + in[i].v[1] + in[i].v[2] + in[i].v[3], 1e-9);
        }
        EXPECT_GT(kept, 500);
    }
}

TEST(KControlGrayReplacement, AllInkToBlackLeavesNoColour) {
    KControl3Params p = gammaParams(3, 0.1);
    p.base.blackStartRatio = 1.0;
    const ColorRecord out = one3(cmyk(25.5, 25.5, 25.5, 153), p);
    expectSame(out, cmyk(0, 0, 0, 229.5), kTight);
}

TEST(KControlCurves, TableEndsHoldOutsideTable) {
    for (int curve : {2, 3, 4}) {
        const KControl3Params p = tableParams(1, curve, kRisingTable);
        EXPECT_EQ(one3(cmyk(50, 50, 50, 5), p).v[3], 10.0) << curve;
        EXPECT_EQ(one3(cmyk(50, 50, 50, 250), p).v[3], 240.0) << curve;
        EXPECT_NEAR(one3(cmyk(50, 50, 50, 128), p).v[3], 100.0, kTight) << curve;
    }
}

TEST(KControlCurves, UnusableTableIsRefusedByEveryMethod) {
    const std::vector<double> repeated = {0, 0, 100, 50, 100, 80};
    const std::vector<double> zigzag = {0, 0, 100, 50, 50, 80};
    const std::vector<double> single = {0, 0};
    const std::vector<double> tooMany(2 * 257, 1.0);
    const ColorRecord in = cmyk(10, 20, 30, 40), sentinel = cmyk(-1, -2, -3, -4);
    for (const auto* table : {&repeated, &zigzag, &single, &tooMany})
        for (int curve : {2, 3, 4})
            for (int method = 0; method <= 4; ++method) {
                KControl3Params p = tableParams(method, curve, *table);
                ColorRecord out = sentinel;
                EXPECT_EQ(QelColor_CMYKKControl3(&in, &p, &out), -1) << curve << method;
                expectSame(out, sentinel);
                p.base.base.table = nullptr;
                EXPECT_EQ(QelColor_CMYKKControl3(&in, &p, &out), -1);
                expectSame(out, sentinel);
            }
}

TEST(KControlFamilies, EachFamilyPassesEarlierMethodsOn) {
    const auto in = randomColours(500, 5);
    std::vector<ColorRecord> first(in.size()), second(in.size()), third(in.size());
    for (int curve : {1, 2})
        for (int method : {0, 1, 3, 7}) {
            const KControl3Params p =
                curve == 1 ? gammaParams(method, 1.8) : tableParams(method, curve, kRisingTable);
            ASSERT_EQ(QelColor_CMYKsKControl3(in.data(), &p, in.size(), third.data()), 0);
            ASSERT_EQ(QelColor_CMYKsKControl2(in.data(), &p.base, in.size(), second.data()), 0);
            for (std::size_t i = 0; i < in.size(); ++i)
                expectSame(third[i], second[i]);
            if (method == 3) continue;
            ASSERT_EQ(QelColor_CMYKsKControl(in.data(), &p.base.base, in.size(), first.data()), 0);
            for (std::size_t i = 0; i < in.size(); ++i)
                expectSame(second[i], first[i]);
        }
}

TEST(KControlFamilies, FirstFamilyCopiesGrayReplacement) {
    const ColorRecord in = cmyk(10, 20, 30, 200);
    const KControl3Params p = gammaParams(3, 2.0);
    ColorRecord out{};
    EXPECT_EQ(QelColor_CMYKKControl(&in, &p.base.base, &out), 0);
    expectSame(out, in);
}

TEST(KControlFamilies, BlackLineMethodWithGammaIsGrayReplacement) {
    const auto in = randomColours(500, 9);
    std::vector<ColorRecord> a(in.size()), b(in.size());
    KControl3Params p = gammaParams(4, 0.8);
    QelColor_CMYKsKControl3(in.data(), &p, in.size(), a.data());
    p.base.base.method = 3;
    QelColor_CMYKsKControl3(in.data(), &p, in.size(), b.data());
    for (std::size_t i = 0; i < in.size(); ++i)
        expectSame(a[i], b[i]);
}

TEST(KControlSearch, EqualInkTotalsAverageAllCandidates) {
    const AffineGrid grid([](double c, double m, double y, double k) {
        return cmyk(100.0 - 0.1 * (c + m + y + k), 0.0, 0.0, 0.0);
    });
    const auto in = randomColours(400, 13);
    std::vector<ColorRecord> searched(in.size()), weighted(in.size());
    KControl3Params p = gammaParams(2, 1.7, 1.5);
    grid.attach(p.base.base);
    p.base.base.deltaE = exactBelowTiny;
    ASSERT_EQ(QelColor_CMYKsKControl(in.data(), &p.base.base, in.size(), searched.data()), 0);
    p.base.base.method = 0;
    ASSERT_EQ(QelColor_CMYKsKControl(in.data(), &p.base.base, in.size(), weighted.data()), 0);
    // Method 0 leaves a colour without C, M and Y alone; the search does not.
    for (std::size_t i = 0; i < in.size(); ++i)
        if (in[i].v[0] + in[i].v[1] + in[i].v[2] != 0.0)
            expectSame(searched[i], weighted[i], kTight);
}

TEST(KControlSearch, NullCallbackIsTheDefaultDifference) {
    const AffineGrid& grid = sampleGrid();
    const auto in = randomColours(400, 17);
    std::vector<ColorRecord> byNull(in.size()), byDefault(in.size()), inPlace = in;
    KControl3Params p = gammaParams(2, 0.5, 2.0);
    grid.attach(p.base.base);
    ASSERT_EQ(QelColor_CMYKsKControl2(in.data(), &p.base, in.size(), byNull.data()), 0);
    ASSERT_EQ(QelColor_CMYKsKControl2(inPlace.data(), &p.base, in.size(), inPlace.data()), 0);
    p.base.base.deltaE = QelColor_DefaultDeltaEFunc;
    ASSERT_EQ(QelColor_CMYKsKControl2(in.data(), &p.base, in.size(), byDefault.data()), 0);
    int changed = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        expectSame(byNull[i], byDefault[i]);
        expectSame(inPlace[i], byDefault[i]);
        changed += byNull[i].v[0] != in[i].v[0];
        for (double v : byNull[i].v) {
            EXPECT_GE(v, 0.0);
            EXPECT_LE(v, 255.0);
        }
    }
    EXPECT_GT(changed, 300);
}

TEST(KControlSearch, MissingGridIsRefused) {
    const AffineGrid grid([](double, double, double, double) { return cmyk(50, 0, 0, 0); });
    const ColorRecord in = cmyk(10, 20, 30, 200), sentinel = cmyk(-1, -2, -3, -4);
    for (int missing = 0; missing < 4; ++missing) {
        KControl3Params p = gammaParams(2, 2.0);
        grid.attach(p.base.base);
        std::vector<GridDescriptor> oneLevel = grid.desc;
        oneLevel[0].count = 1;
        if (missing == 0) p.base.base.gridDescriptor = nullptr;
        if (missing == 1) p.base.base.gridPositions = nullptr;
        if (missing == 2) p.base.base.gridValues = nullptr;
        if (missing == 3) p.base.base.gridDescriptor = oneLevel.data();
        ColorRecord out = sentinel;
        EXPECT_EQ(QelColor_CMYKKControl(&in, &p.base.base, &out), -1) << missing;
        expectSame(out, sentinel);
    }
}

KControl3Params blackLineParams(int32_t curve, const std::vector<double>& table,
                                const std::vector<double>& samples) {
    KControl3Params p = tableParams(4, curve, table);
    p.base.base.inkLimitRatio = 0.9;
    p.base.blackStartRatio = 3.0;  // t, the black point's total ink
    p.primaryRatio = 1.0;
    p.secondaryRatio = 1.6;
    p.sampleCount = static_cast<int32_t>(samples.size());
    p.samples = samples.data();
    return p;
}

std::vector<ColorRecord> lattice() {
    std::vector<ColorRecord> v;
    for (double k : {0.0, 64.0, 128.0, 192.0, 255.0})
        for (int c = 0; c <= 16; ++c)
            for (int m = 0; m <= 16; ++m)
                for (int y = 0; y <= 16; ++y)
                    v.push_back(cmyk(std::min(c * 16.0, 255.0), std::min(m * 16.0, 255.0),
                                     std::min(y * 16.0, 255.0), k));
    return v;
}

TEST(KControlBlackLine, LatticeStaysFiniteAndWithinLimits) {
    const std::vector<double> samples = {0, 40, 90, 140, 200, 255};
    const std::vector<double> flat = {0, 100, 255, 100};  // nothing rises: no inversion
    const auto in = lattice();
    std::vector<ColorRecord> out(in.size());
    for (const auto* table : {&kRisingTable, &flat})
        for (int curve : {2, 3, 4})
            for (int selector : {0, 1}) {
                KControl3Params p = blackLineParams(curve, *table, samples);
                p.weightingSelector = selector;
                ASSERT_EQ(QelColor_CMYKsKControl3(in.data(), &p, in.size(), out.data()), 0);
                const double lastOut = table->back();
                for (std::size_t i = 0; i < in.size(); ++i) {
                    for (double v : out[i].v) {
                        ASSERT_TRUE(std::isfinite(v)) << i;
                        EXPECT_GE(v, 0.0);
                        EXPECT_LE(v, 255.0);
                    }
                    EXPECT_LE(out[i].v[3], 255.0 * 0.9 + 1e-9);
                    EXPECT_LE(out[i].v[3], lastOut + 1e-9);
                }
            }
}

TEST(KControlBlackLine, SamplesSteerTheBlack) {
    const ColorRecord in = cmyk(150, 170, 190, 0);
    const std::vector<double> low = {0, 128, 255}, high = {0, 40, 255};
    const ColorRecord a = one3(in, blackLineParams(2, kRisingTable, low));
    const ColorRecord b = one3(in, blackLineParams(2, kRisingTable, high));
    EXPECT_NE(a.v[3], b.v[3]);
    // The ink total is the same target whatever the black.
    EXPECT_NEAR(a.v[0] + a.v[1] + a.v[2] + a.v[3], b.v[0] + b.v[1] + b.v[2] + b.v[3], 1e-9);
}

TEST(KControlBlackLine, MissingListsAndAlternativeInput) {
    const std::vector<double> samples = {0, 100, 255};
    const auto in = lattice();
    std::vector<ColorRecord> plain(in.size()), other(in.size());
    KControl3Params p = blackLineParams(4, kRisingTable, samples);
    QelColor_CMYKsKControl3(in.data(), &p, in.size(), plain.data());
    // A null alternative is the input itself; a real one replaces it.
    p.useAlternativeInput = 1;
    QelColor_CMYKsKControl3(in.data(), &p, in.size(), other.data());
    for (std::size_t i = 0; i < in.size(); i += 97)
        expectSame(other[i], plain[i]);
    const std::vector<ColorRecord> reversed(in.rbegin(), in.rend());
    p.alternativeInput = reversed.data();
    QelColor_CMYKsKControl3(in.data(), &p, in.size(), other.data());
    for (std::size_t i = 0; i < in.size(); i += 97)
        expectSame(other[i], plain[in.size() - 1 - i]);
    // No samples: no black.
    for (int32_t count : {-3, 3}) {
        KControl3Params q = blackLineParams(4, kRisingTable, samples);
        q.sampleCount = count;
        if (count > 0) q.samples = nullptr;
        QelColor_CMYKsKControl3(in.data(), &q, in.size(), other.data());
        for (std::size_t i = 0; i < in.size(); i += 97)
            EXPECT_EQ(other[i].v[3], 0.0);
    }
}

TEST(KControlBadInput, NullsWriteNothing) {
    const KControl3Params p = gammaParams(1, 2.0);
    const ColorRecord in = cmyk(10, 20, 30, 40), sentinel = cmyk(-1, -2, -3, -4);
    ColorRecord out = sentinel;
    EXPECT_EQ(QelColor_CMYKsKControl3(&in, &p, 0, &out), 0);
    EXPECT_EQ(QelColor_CMYKsKControl3(&in, nullptr, 1, &out), -1);
    EXPECT_EQ(QelColor_CMYKsKControl2(nullptr, &p.base, 1, &out), -1);
    EXPECT_EQ(QelColor_CMYKsKControl(&in, &p.base.base, 1, nullptr), -1);
    expectSame(out, sentinel);
}

TEST(KControlBadInput, CurveTypeNoneOrUnknownCopies) {
    const ColorRecord in = cmyk(10, 20, 30, 40);
    for (int curve : {0, 5, -1}) {
        KControl3Params p = gammaParams(1, 2.0);
        p.base.base.curveType = curve;
        expectSame(one3(in, p), in);
    }
}

}  // namespace
