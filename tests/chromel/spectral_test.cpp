#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "chromel32.h"

namespace {

// Library against the exact rational reference of tools/spectral_reference.py.
constexpr double kRelTol = 1e-12;
// Computed white points against the four-decimal table.
constexpr double kTabulatedWhiteTol = 1.5e-3;

constexpr double kPi = std::numbers::pi;
constexpr uint32_t kAllIds[] = {1, 3, 4, 5, 6, 7, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28};

SpectrumRecord makeSpectrum(uint32_t start, uint32_t interval, const std::vector<double>& v) {
    SpectrumRecord s{};
    s.start = start;
    s.interval = interval;
    s.count = static_cast<uint32_t>(v.size());
    std::copy(v.begin(), v.begin() + std::min<size_t>(v.size(), QEL_SPECTRUM_SLOTS), s.values);
    return s;
}

SpectrumRecord flat(double value, uint32_t start = 380, uint32_t interval = 1,
                    uint32_t count = 401) {
    return makeSpectrum(start, interval, std::vector<double>(count, value));
}

std::vector<double> normalized(const SpectrumRecord& in) {
    SpectrumRecord out{};
    QelColor_NormalizeSpectrumFrom380nmTo780nm(&in, &out);
    return {out.values, out.values + QEL_SPECTRUM_SLOTS};
}

::testing::AssertionResult relNear(double actual, double expected, double tol = kRelTol) {
    const double err = std::fabs(actual - expected);
    if (err <= tol * std::max(1.0, std::fabs(expected))) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " differs from " << expected << " by " << err;
}

// tests/data/spectral_reference.csv, split into rows of fields.
struct Reference {
    struct Case {
        SpectrumRecord spectrum;
        double xyz[3];
        double lux;
        double density[4];
        std::vector<double> grid;
    };
    std::map<uint32_t, PointRecord> whites;
    std::map<std::string, Case> cases;
};

const Reference& reference() {
    static const Reference ref = [] {
        Reference r;
        std::ifstream in(QEL_TEST_DATA_DIR "/spectral_reference.csv");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::vector<std::string> f;
            std::stringstream ss(line);
            for (std::string cell; std::getline(ss, cell, ',');)
                f.push_back(cell);
            const auto num = [&](size_t i) { return std::stod(f.at(i)); };
            if (f[0] == "white") {
                r.whites[std::stoul(f[1])] = {num(2), num(3), num(4)};
            } else if (f[0] == "case") {
                Reference::Case& c = r.cases[f[1]];
                std::vector<double> samples;
                for (size_t i = 13; i < f.size(); ++i)
                    samples.push_back(num(i));
                c.spectrum = makeSpectrum(std::stoul(f[2]), std::stoul(f[3]), samples);
                for (int k = 0; k < 3; ++k)
                    c.xyz[k] = num(5 + k);
                c.lux = num(8);
                for (int d = 0; d < 4; ++d)
                    c.density[d] = num(9 + d);
            } else if (f[0] == "grid") {
                for (size_t i = 2; i < f.size(); ++i)
                    r.cases[f[1]].grid.push_back(num(i));
            }
        }
        return r;
    }();
    return ref;
}

TEST(SpectralReference, FileHoldsEveryCase) {
    EXPECT_EQ(reference().whites.size(), std::size(kAllIds));
    ASSERT_EQ(reference().cases.size(), 7u);
    for (const auto& [name, c] : reference().cases)
        EXPECT_EQ(c.grid.size(), 401u) << name;
}

// Resampling onto the 1 nm grid ------------------------------------------------------------

TEST(Resample, TenNmSpectrumIsInterpolatedLinearlyAndNotExtrapolated) {
    std::vector<double> ramp;
    for (int k = 0; k < 36; ++k)
        ramp.push_back(10.0 * k);  // value = nm - 380
    const SpectrumRecord in = makeSpectrum(380, 10, ramp);
    SpectrumRecord out{};
    EXPECT_EQ(QelColor_NormalizeSpectrumFrom380nmTo780nm(&in, &out), out.values);
    EXPECT_EQ(out.start, 380u);
    EXPECT_EQ(out.interval, 1u);
    EXPECT_EQ(out.count, 401u);
    for (int i = 0; i <= 350; ++i)
        EXPECT_EQ(out.values[i], i) << 380 + i << " nm";
    for (int i = 351; i <= 400; ++i)
        EXPECT_EQ(out.values[i], 0.0) << 380 + i << " nm";
}

TEST(Resample, OneNmSpectrumPassesUnchanged) {
    const SpectrumRecord& in = reference().cases.at("smooth1nm").spectrum;
    const std::vector<double> out = normalized(in);
    for (int i = 0; i < 401; ++i)
        EXPECT_EQ(out[i], in.values[i]) << i;
}

TEST(Resample, SamplesBelow380AreDroppedWithoutInterpolation) {
    // 375 nm is dropped, 385 nm lands on 385 nm and 380..384 nm stay 0.
    const std::vector<double> out = normalized(makeSpectrum(375, 10, {7.0, 1.0, 2.0}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(out[i], 0.0) << i;
    EXPECT_EQ(out[5], 1.0);
    EXPECT_DOUBLE_EQ(out[10], 1.5);
    EXPECT_EQ(out[15], 2.0);
    EXPECT_EQ(out[16], 0.0);
    // A sample exactly at 380 nm is kept.
    EXPECT_EQ(normalized(makeSpectrum(370, 10, {7.0, 3.0}))[0], 3.0);
}

TEST(Resample, MatchesReferenceGrids) {
    for (const auto& [name, c] : reference().cases) {
        const std::vector<double> out = normalized(c.spectrum);
        for (int i = 0; i < 401; ++i)
            EXPECT_TRUE(relNear(out[i], c.grid[i])) << name << " " << i;
    }
}

TEST(Resample, OutputMayBeTheInputRecord) {
    SpectrumRecord s = reference().cases.at("from375at10nm").spectrum;
    const std::vector<double> expected = normalized(s);
    QelColor_NormalizeSpectrumFrom380nmTo780nm(&s, &s);
    EXPECT_EQ(s.interval, 1u);
    for (int i = 0; i < 401; ++i)
        EXPECT_EQ(s.values[i], expected[i]) << i;
}

// Emission, ambient light and illuminance --------------------------------------------------

TEST(Emission, MatchesReferenceForEveryLayout) {
    for (const auto& [name, c] : reference().cases) {
        ColorRecord ems{}, amb{};
        EXPECT_EQ(QelColor_Spectrum2XYZEms(&c.spectrum, 2, &ems), &ems);
        QelColor_Spectrum2XYZAmb(&c.spectrum, 2, &amb);
        double luxAmb = -1, luxEms = -1;
        QelColor_Spectrum2IlluminanceAmb(&c.spectrum, 2, &luxAmb);
        QelColor_Spectrum2IlluminanceEms(&c.spectrum, 2, &luxEms);
        for (int k = 0; k < 3; ++k) {
            EXPECT_TRUE(relNear(ems.v[k], c.xyz[k])) << name << " component " << k;
            EXPECT_TRUE(relNear(amb.v[k], c.xyz[k] / kPi)) << name << " component " << k;
        }
        EXPECT_TRUE(relNear(luxAmb, c.lux)) << name;
        EXPECT_TRUE(relNear(luxEms, kPi * c.lux)) << name;
    }
}

TEST(Emission, IlluminanceScalesWithTheSpectrum) {
    const SpectrumRecord base = reference().cases.at("ambient10nm").spectrum;
    double luxBase = 0;
    QelColor_Spectrum2IlluminanceAmb(&base, 2, &luxBase);
    ASSERT_GT(luxBase, 0.0);
    for (double k : {0.5, 3.0, 1000.0}) {
        SpectrumRecord scaled = base;
        for (double& v : scaled.values)
            v *= k;
        double lux = 0;
        QelColor_Spectrum2IlluminanceAmb(&scaled, 2, &lux);
        EXPECT_TRUE(relNear(lux, k * luxBase)) << k;
    }
}

TEST(Emission, RawWithUnitSampleAndAnyNonZeroFlagIsEmission) {
    const SpectrumRecord& light = reference().cases.at("lampA5nm").spectrum;
    const SpectrumRecord unit = flat(1.0);
    ColorRecord ems{}, minusOne{}, one{};
    QelColor_Spectrum2XYZEms(&light, 2, &ems);
    EXPECT_EQ(QelColor_Spectrum2XYZRaw(&unit, &light, 2, -1, &minusOne), &minusOne);
    QelColor_Spectrum2XYZRaw(&unit, &light, 2, 1, &one);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(minusOne.v[k], ems.v[k]);
        EXPECT_EQ(one.v[k], ems.v[k]);
    }
}

TEST(Emission, ZeroSpectrumGivesZeroEverywhere) {
    const SpectrumRecord zero = flat(0.0, 380, 10, 36);
    ColorRecord ems{{9, 9, 9, 9}}, amb{{9, 9, 9, 9}}, raw{{9, 9, 9, 9}};
    double luxAmb = 9, luxEms = 9;
    QelColor_Spectrum2XYZEms(&zero, 2, &ems);
    QelColor_Spectrum2XYZAmb(&zero, 2, &amb);
    QelColor_Spectrum2IlluminanceAmb(&zero, 2, &luxAmb);
    QelColor_Spectrum2IlluminanceEms(&zero, 2, &luxEms);
    QelColor_Spectrum2XYZRaw(&zero, &zero, 2, 0, &raw);  // white of 0: scale 0, not NaN
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(ems.v[k], 0.0);
        EXPECT_EQ(amb.v[k], 0.0);
        EXPECT_EQ(raw.v[k], 0.0);
    }
    EXPECT_EQ(ems.v[3], 9.0);  // the emission forms leave the fourth value alone
    EXPECT_EQ(luxAmb, 0.0);
    EXPECT_EQ(luxEms, 0.0);
}

// Reflectance under the built-in light sources ---------------------------------------------

TEST(Reflectance, PerfectWhiteHasYOneAndTheComputedWhitePoint) {
    const SpectrumRecord white1nm = flat(1.0);
    const SpectrumRecord white10nm = flat(1.0, 380, 10, 41);
    double worst = 0;
    uint32_t worstId = 0;
    for (uint32_t id : kAllIds) {
        const PointRecord& ref = reference().whites.at(id);
        for (const SpectrumRecord* r : {&white1nm, &white10nm}) {
            ColorRecord xyz{};
            EXPECT_EQ(QelColor_Spectrum2XYZRef(id, r, 2, &xyz), &xyz);
            EXPECT_EQ(xyz.v[1], 1.0) << id;
            EXPECT_TRUE(relNear(xyz.v[0], ref.X)) << id;
            EXPECT_TRUE(relNear(xyz.v[2], ref.Z)) << id;
        }
        PointRecord table{};
        if (QelColor_GetWhitePoint(id, 2, &table) == 0) continue;  // D55, D75: no table row
        for (double diff : {std::fabs(table.X - ref.X), std::fabs(table.Z - ref.Z)})
            if (diff > worst) {
                worst = diff;
                worstId = id;
            }
    }
    RecordProperty("largest_white_point_difference", std::to_string(worst));
    std::cout << "largest |computed - tabulated| white point component: " << worst
              << " (illuminant " << worstId << ")\n";
    EXPECT_LT(worst, kTabulatedWhiteTol);
}

TEST(Reflectance, RefIsRawUnderTheLightSourceSpectrum) {
    const SpectrumRecord& sample = reference().cases.at("smooth1nm").spectrum;
    for (uint32_t id : kAllIds) {
        SpectrumRecord light{};
        QelColor_GetLightSourceSpectrum(id, &light);
        ColorRecord ref{}, raw{};
        QelColor_Spectrum2XYZRef(id, &sample, 2, &ref);
        QelColor_Spectrum2XYZRaw(&sample, &light, 2, 0, &raw);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(ref.v[k], raw.v[k]) << id;
    }
}

// The sample weighs the light wavelength by wavelength, in both scalings: a sample that is
// 1 at 555 nm only takes the colour-matching functions' ratios there, and halving the
// sample halves the result.
TEST(Reflectance, SampleWeighsTheLightAtEachWavelength) {
    SpectrumRecord line = flat(0.0);
    line.values[555 - 380] = 1.0;
    SpectrumRecord d65{};
    QelColor_GetLightSourceSpectrum(QEL_ILLUMINANT_D65, &d65);
    for (int32_t absolute : {0, 1}) {
        ColorRecord xyz{};
        QelColor_Spectrum2XYZRaw(&line, &d65, 2, absolute, &xyz);
        ASSERT_GT(xyz.v[1], 0.0);
        EXPECT_TRUE(relNear(xyz.v[0] / xyz.v[1], 0.5120501)) << absolute;
        EXPECT_TRUE(relNear(xyz.v[2] / xyz.v[1], 0.005749999)) << absolute;

        const SpectrumRecord one = flat(1.0), half = flat(0.5);
        ColorRecord full{}, halved{};
        QelColor_Spectrum2XYZRaw(&one, &d65, 2, absolute, &full);
        QelColor_Spectrum2XYZRaw(&half, &d65, 2, absolute, &halved);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(halved.v[k], full.v[k] / 2) << absolute << " " << k;
    }
}

TEST(Reflectance, UnknownLightSourceIsD65) {
    const SpectrumRecord& sample = reference().cases.at("to873at7nm").spectrum;
    ColorRecord d65{};
    QelColor_Spectrum2XYZRef(QEL_ILLUMINANT_D65, &sample, 2, &d65);
    for (uint32_t id : {0u, 2u, 8u, 16u, 29u, 0xFFFFFFFFu}) {
        ColorRecord xyz{};
        QelColor_Spectrum2XYZRef(id, &sample, 2, &xyz);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(xyz.v[k], d65.v[k]) << id;
    }
}

TEST(LightSource, WritesHeaderAndEightyOneSamplesOnly) {
    SpectrumRecord s{};
    std::fill(std::begin(s.values), std::end(s.values), -1.0);
    EXPECT_EQ(QelColor_GetLightSourceSpectrum(QEL_ILLUMINANT_D55, &s), s.values);
    EXPECT_EQ(s.start, 380u);
    EXPECT_EQ(s.interval, 5u);
    EXPECT_EQ(s.count, 81u);
    EXPECT_EQ(s.values[0], 32.58);   // D55 at 380 nm
    EXPECT_EQ(s.values[80], 71.82);  // and at 780 nm
    EXPECT_EQ(s.values[81], -1.0);   // slots beyond the samples untouched
    QelColor_GetLightSourceSpectrum(2, &s);
    EXPECT_EQ(s.values[0], 49.98);  // D65 stands in for an unknown id
    QelColor_GetLightSourceSpectrum(QEL_ILLUMINANT_F12, &s);
    EXPECT_EQ(s.values[80], 0.05);
}

// Densities --------------------------------------------------------------------------------

TEST(Density, FlatSpectraGiveEqualDensities) {
    const SpectrumRecord one = flat(1.0), tenth = flat(0.1), zero = flat(0.0);
    DensityRecord d{};
    EXPECT_EQ(QelColor_Spectrum2Density(&one, 0, 0, &d), &d);
    for (double v : d.values) {
        EXPECT_EQ(v, 0.0);
        EXPECT_FALSE(std::signbit(v));
    }
    QelColor_Spectrum2Density(&tenth, 0, 0, &d);
    for (double v : d.values)
        EXPECT_NEAR(v, 1.0, 1e-12);
    QelColor_Spectrum2Density(&zero, 0, 0, &d);
    for (double v : d.values)
        EXPECT_EQ(v, 0.0);
}

TEST(Density, MatchesReference) {
    for (const auto& [name, c] : reference().cases) {
        DensityRecord d{};
        QelColor_Spectrum2Density(&c.spectrum, 7, -7, &d);
        for (int k = 0; k < 4; ++k)
            EXPECT_TRUE(relNear(d.values[k], c.density[k])) << name << k;
    }
}

// Bad input --------------------------------------------------------------------------------

TEST(SpectralBadInput, NullPointersGiveZerosOrNothing) {
    const SpectrumRecord s = flat(1.0);
    ColorRecord xyz{{9, 9, 9, 9}};
    EXPECT_EQ(QelColor_Spectrum2XYZRaw(nullptr, &s, 2, 0, &xyz), &xyz);
    EXPECT_EQ(xyz.v[0], 0.0);
    xyz.v[1] = 9;
    QelColor_Spectrum2XYZRaw(&s, nullptr, 2, 0, &xyz);
    EXPECT_EQ(xyz.v[1], 0.0);
    xyz.v[2] = 9;
    EXPECT_EQ(QelColor_Spectrum2XYZEms(nullptr, 2, &xyz), &xyz);
    EXPECT_EQ(xyz.v[2], 0.0);
    xyz.v[0] = 9;
    QelColor_Spectrum2XYZAmb(nullptr, 2, &xyz);
    EXPECT_EQ(xyz.v[0], 0.0);
    xyz.v[1] = 9;
    EXPECT_EQ(QelColor_Spectrum2XYZRef(6, nullptr, 2, &xyz), &xyz);
    EXPECT_EQ(xyz.v[1], 0.0);
    double lux = 9;
    QelColor_Spectrum2IlluminanceAmb(nullptr, 2, &lux);
    EXPECT_EQ(lux, 0.0);
    lux = 9;
    QelColor_Spectrum2IlluminanceEms(nullptr, 2, &lux);
    EXPECT_EQ(lux, 0.0);
    DensityRecord d{{9, 9, 9, 9}};
    EXPECT_EQ(QelColor_Spectrum2Density(nullptr, 0, 0, &d), &d);
    EXPECT_EQ(d.values[3], 0.0);
    SpectrumRecord out{};
    out.values[7] = 9;
    EXPECT_EQ(QelColor_NormalizeSpectrumFrom380nmTo780nm(nullptr, &out), out.values);
    EXPECT_EQ(out.count, 401u);
    EXPECT_EQ(out.values[7], 0.0);

    EXPECT_EQ(QelColor_Spectrum2XYZRaw(&s, &s, 2, 0, nullptr), nullptr);
    EXPECT_EQ(QelColor_Spectrum2XYZEms(&s, 2, nullptr), nullptr);
    QelColor_Spectrum2XYZAmb(&s, 2, nullptr);
    EXPECT_EQ(QelColor_Spectrum2XYZRef(6, &s, 2, nullptr), nullptr);
    QelColor_Spectrum2IlluminanceAmb(&s, 2, nullptr);
    QelColor_Spectrum2IlluminanceEms(&s, 2, nullptr);
    EXPECT_EQ(QelColor_Spectrum2Density(&s, 0, 0, nullptr), nullptr);
    EXPECT_EQ(QelColor_GetLightSourceSpectrum(6, nullptr), nullptr);
    EXPECT_EQ(QelColor_NormalizeSpectrumFrom380nmTo780nm(&s, nullptr), nullptr);
}

TEST(SpectralBadInput, IntervalZeroGivesZeros) {
    const SpectrumRecord bad = flat(1.0, 380, 0, 36);
    const SpectrumRecord good = flat(1.0);
    ColorRecord xyz{{9, 9, 9, 9}};
    QelColor_Spectrum2XYZEms(&bad, 2, &xyz);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(xyz.v[k], 0.0);
    xyz = {{9, 9, 9, 9}};
    QelColor_Spectrum2XYZRaw(&bad, &good, 2, 0, &xyz);  // sample of interval 0
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(xyz.v[k], 0.0);
    double lux = 9;
    QelColor_Spectrum2IlluminanceAmb(&bad, 2, &lux);
    EXPECT_EQ(lux, 0.0);
    DensityRecord d{{9, 9, 9, 9}};
    QelColor_Spectrum2Density(&bad, 0, 0, &d);
    for (double v : d.values)
        EXPECT_EQ(v, 0.0);
    for (double v : normalized(bad))
        EXPECT_EQ(v, 0.0);
}

TEST(SpectralBadInput, CountAbove401ReadsAtMost401Samples) {
    SpectrumRecord big = reference().cases.at("smooth1nm").spectrum;
    const SpectrumRecord exact = big;
    for (uint32_t count : {402u, 100000u, 0xFFFFFFFFu}) {
        big.count = count;
        EXPECT_EQ(normalized(big), normalized(exact)) << count;
        ColorRecord a{}, b{};
        QelColor_Spectrum2XYZEms(&big, 2, &a);
        QelColor_Spectrum2XYZEms(&exact, 2, &b);
        EXPECT_EQ(a.v[1], b.v[1]) << count;
    }
    // Counted from 300 nm, 401 samples reach 700 nm only.
    SpectrumRecord from300 = flat(1.0, 300, 1, 401);
    from300.count = 0xFFFFFFFFu;
    const std::vector<double> shifted = normalized(from300);
    EXPECT_EQ(shifted[320], 1.0);
    EXPECT_EQ(shifted[321], 0.0);
}

TEST(SpectralBadInput, HeadersFarOutsideTheGridWriteNothingOutOfBounds) {
    struct Header {
        uint32_t start, interval, count;
    };
    const uint32_t kMax = std::numeric_limits<uint32_t>::max();
    for (Header h : {Header{781, 1, 401}, Header{kMax, 1, 401}, Header{kMax, kMax, kMax},
                     Header{0, kMax, 401}, Header{379, kMax, 401}, Header{0, 1, 379},
                     Header{380, 1, 0}, Header{0, 0x80000000u, 401}}) {
        SpectrumRecord s = flat(1.0);
        s.start = h.start;
        s.interval = h.interval;
        s.count = h.count;
        for (double v : normalized(s))
            EXPECT_EQ(v, 0.0) << h.start << "/" << h.interval;
        ColorRecord xyz{};
        QelColor_Spectrum2XYZEms(&s, 2, &xyz);
        EXPECT_EQ(xyz.v[1], 0.0) << h.start << "/" << h.interval;
    }
    // A huge interval interpolates towards a sample far beyond 780 nm.
    SpectrumRecord s = flat(2.0, 380, 0x80000000u, 401);
    s.values[1] = 2.0 + 2147483648.0;
    const std::vector<double> out = normalized(s);
    for (int i = 0; i < 401; ++i)
        EXPECT_EQ(out[i], 2.0 + i) << i;
    // The last sample that fits lands on 780 nm; the next would be beyond it.
    s = flat(3.0, 780, 1000, 401);
    EXPECT_EQ(normalized(s)[400], 3.0);
    // 401 samples at 1 nm from 381 nm: the 401st would fall on 781 nm.
    s = reference().cases.at("smooth1nm").spectrum;
    s.start = 381;
    const std::vector<double> shifted = normalized(s);
    EXPECT_EQ(shifted[0], 0.0);
    for (int i = 1; i < 401; ++i)
        EXPECT_EQ(shifted[i], s.values[i - 1]) << i;
}

}  // namespace
