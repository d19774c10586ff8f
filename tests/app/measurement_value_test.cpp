#include "app/measurement_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "app/chromel_binding.h"
#include "chromel/cie_tables.h"

namespace {

using namespace orvel_kepno_ambientlib;

// Equal spectra scaled by factors that are not powers of two differ by rounding only.
constexpr double kRoundingError = 1e-20;

SpectrumRecord referenceSpectrum(std::size_t k, double factor) {
    SpectrumRecord s{};
    s.start = 380;
    s.interval = 10;
    s.count = kClassifiedSamples;
    for (std::size_t i = 0; i < kClassifiedSamples; ++i)
        s.values[i] = ReferenceSpectrumTable[k].samples[i] * factor;
    return s;
}

MeasurementValue valueOf(const SpectrumRecord& s) {
    MeasurementValue v;
    v.SetSpectrum(s);
    return v;
}

const CHROMEL& missingChromel() {
    static const CHROMEL missing("no_such_colour_library.dll");
    return missing;
}

TEST(SpectralWeights, AreTheColourMatchingSumsEveryTenNanometres) {
    for (std::size_t i = 0; i < kClassifiedSamples; ++i) {
        const std::size_t row = i * 10;
        const double sum =
            chromel::kCmf1931.x[row] + chromel::kCmf1931.y[row] + chromel::kCmf1931.z[row];
        EXPECT_NEAR(SpectralWeightTable[i], sum, 5e-6 * sum) << 380 + row << " nm";
    }
    EXPECT_EQ(SpectralWeightTable[0], 0.007857);
    EXPECT_EQ(SpectralWeightTable[7], 2.14631);
}

TEST(Classification, EveryReferenceAtAnyScaleIsItsOwnType) {
    ASSERT_TRUE(CHROMEL::Instance().Loaded());
    for (std::size_t k = 0; k < kReferenceSpectra; ++k) {
        // Power-of-two factors scale exactly, so their error is exactly 0.
        for (double factor : {1.0, 0.25, 64.0, 1024.0, 0.37, 3.0, 1234.5}) {
            int exponent = 0;
            const bool exact = std::frexp(factor, &exponent) == 0.5;
            std::int32_t index = -7;
            double error = -1.0;
            EXPECT_EQ(valueOf(referenceSpectrum(k, factor)).GetLightSourceType(&index, &error),
                      ReferenceSpectrumTable[k].type)
                << "entry " << k << " x" << factor;
            EXPECT_EQ(index, static_cast<std::int32_t>(k));
            if (exact)
                EXPECT_EQ(error, 0.0);
            else
                EXPECT_LT(error, kRoundingError);
        }
    }
}

TEST(Classification, TypesFollowTheLampFamilies) {
    for (std::size_t k = 0; k < kReferenceSpectra; ++k) {
        const std::int32_t want = k >= 13              ? kThreeBand
                                  : (k >= 4 && k <= 9) ? kNormal
                                                       : kHighColorRendering;
        EXPECT_EQ(valueOf(referenceSpectrum(k, 5.0)).GetLightSourceType(), want) << k;
    }
}

// Equal-energy light is close enough to the smooth lamps; a narrow band is close to none.
TEST(Classification, NarrowBandLightIsIncompatibleAndReportsTheThreshold) {
    SpectrumRecord green{};
    green.start = 380;
    green.interval = 10;
    green.count = kClassifiedSamples;
    green.values[17] = 1.0;  // 550 nm
    std::int32_t index = -7;
    double error = -1.0;
    EXPECT_EQ(valueOf(green).GetLightSourceType(&index, &error), kIncompatible);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(error, kMatchThreshold);
    EXPECT_EQ(valueOf(green).GetLightSourceType(), kIncompatible);
}

TEST(Classification, TiesKeepTheEarlierEntry) {
    const SpectrumRecord measured = referenceSpectrum(13, 2.0);
    std::vector<ReferenceSpectrum> table{ReferenceSpectrumTable[2], ReferenceSpectrumTable[13],
                                         ReferenceSpectrumTable[13], ReferenceSpectrumTable[5]};
    table[2].type = kNormal;
    std::int32_t index = -7;
    double error = -1.0;
    EXPECT_EQ(ClassifyLightSource(measured, table, CHROMEL::Instance(), &index, &error),
              kThreeBand);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(error, 0.0);
}

TEST(Classification, UnknownStoredTypeIsIncompatible) {
    std::vector<ReferenceSpectrum> table{ReferenceSpectrumTable[4]};
    table[0].type = 3;
    std::int32_t index = -7;
    EXPECT_EQ(
        ClassifyLightSource(referenceSpectrum(4, 1.0), table, CHROMEL::Instance(), &index, nullptr),
        kIncompatible);
    EXPECT_EQ(index, 0);
}

// A dark reference and a measured spectrum with one non-zero sample: without the colour
// library nothing is scaled, so the error is w[i] * d^2 / 36 and d can be tuned until the
// error is exactly the threshold.
TEST(Classification, ErrorExactlyAtTheThresholdIsIncompatible) {
    std::vector<ReferenceSpectrum> table{{380, 10, 36, kNormal, {}}};
    SpectrumRecord reference{};
    reference.start = 380;
    reference.interval = 10;
    reference.count = kClassifiedSamples;
    SpectrumRecord measured = reference;
    bool found = false;
    for (std::size_t i = 0; i < kClassifiedSamples && !found; ++i) {
        measured = reference;
        double d = std::sqrt(kMatchThreshold * kClassifiedSamples / SpectralWeightTable[i]);
        for (int step = 0; step < 200 && !found; ++step) {
            measured.values[i] = -d;
            const double e = SpectralMatchError(reference, measured);
            if (e == kMatchThreshold) {
                found = true;
            } else {
                d = std::nextafter(d, e < kMatchThreshold ? 1.0 : 0.0);
            }
        }
    }
    ASSERT_TRUE(found);
    double error = -1.0;
    EXPECT_EQ(ClassifyLightSource(measured, table, missingChromel(), nullptr, &error),
              kIncompatible);
    EXPECT_EQ(error, kMatchThreshold);

    // A hair less and it matches.
    for (double& v : measured.values)
        while (v != 0.0 && SpectralMatchError(reference, measured) >= kMatchThreshold)
            v = std::nextafter(v, 0.0);
    EXPECT_EQ(ClassifyLightSource(measured, table, missingChromel(), nullptr, &error), kNormal);
    EXPECT_LT(error, kMatchThreshold);
}

TEST(Classification, InvalidSpectrumLeavesOutParametersAlone) {
    SpectrumRecord noInterval = referenceSpectrum(3, 1.0);
    noInterval.interval = 0;
    SpectrumRecord noSamples = referenceSpectrum(3, 1.0);
    noSamples.count = 0;
    for (const MeasurementValue& v :
         {MeasurementValue(), valueOf(noInterval), valueOf(noSamples)}) {
        std::int32_t index = 99;
        double error = 42.0;
        EXPECT_EQ(v.GetLightSourceType(&index, &error), kIncompatible);
        EXPECT_EQ(index, 99);
        EXPECT_EQ(error, 42.0);
        EXPECT_EQ(v.GetColorTemperature(), 0);
        EXPECT_EQ(v.GetIlluminance(), 0.0);
        const TristimulusValue xyz = v.GetXYZ();
        EXPECT_EQ(xyz.X, 0.0);
        EXPECT_EQ(xyz.Y, 0.0);
        EXPECT_EQ(xyz.Z, 0.0);
    }
}

// Only the first 36 samples are compared, and of a shorter spectrum only its own: slots past
// the compared ones hold 1e6 here, which would ruin any match.
TEST(Classification, ComparesAtMostTheFirst36SamplesOfTheSpectrum) {
    struct Case {
        std::size_t entry;
        std::uint32_t count;
        std::size_t junkFrom, junkTo;
        double maxError;
    };
    // 60 samples run to 970 nm; those past 780 nm change no illuminance either. 30 end at 670 nm.
    for (const Case& c : {Case{10, 60, 41, 60, 1e-9}, Case{3, 30, 30, 36, 1e-5}}) {
        SpectrumRecord s = referenceSpectrum(c.entry, 1.0);
        s.count = c.count;
        for (std::size_t i = c.junkFrom; i < c.junkTo; ++i)
            s.values[i] = 1e6;
        std::int32_t index = -7;
        double error = -1.0;
        EXPECT_EQ(valueOf(s).GetLightSourceType(&index, &error), kHighColorRendering) << c.count;
        EXPECT_EQ(index, static_cast<std::int32_t>(c.entry));
        EXPECT_LT(error, c.maxError);
    }
}

TEST(ColourLibraryMissing, ComparesUnscaledAndGivesZeros) {
    const CHROMEL& missing = missingChromel();
    EXPECT_FALSE(missing.Loaded());
    const SpectrumRecord lamp = referenceSpectrum(14, 1.0);
    std::int32_t index = -7;
    double error = -1.0;
    EXPECT_EQ(ClassifyLightSource(lamp, ReferenceSpectrumTable, missing, &index, &error),
              kThreeBand);
    EXPECT_EQ(index, 14);
    EXPECT_EQ(error, 0.0);

    // Scaled up, the shape no longer matters without the library; with it, it is all that does.
    const SpectrumRecord bright = referenceSpectrum(14, 1000.0);
    EXPECT_EQ(ClassifyLightSource(bright, ReferenceSpectrumTable, missing, nullptr, nullptr),
              kIncompatible);
    EXPECT_EQ(
        ClassifyLightSource(bright, ReferenceSpectrumTable, CHROMEL::Instance(), nullptr, nullptr),
        kThreeBand);

    EXPECT_EQ(ComputeColorTemperature(bright, missing), 0);
    EXPECT_EQ(ComputeIlluminance(bright, missing), 0.0);
    const TristimulusValue xyz = ComputeXYZ(bright, missing);
    EXPECT_EQ(xyz.X, 0.0);
    EXPECT_EQ(xyz.Y, 0.0);
    EXPECT_EQ(xyz.Z, 0.0);
}

TEST(ColourLibraryMissing, LibraryWithoutTheEntryPointsGivesZeros) {
    const CHROMEL wrong(FAKE_METERIO_PATH);
    EXPECT_TRUE(wrong.Loaded());
    const SpectrumRecord lamp = referenceSpectrum(0, 3.0);
    EXPECT_EQ(ComputeColorTemperature(lamp, wrong), 0);
    EXPECT_EQ(ComputeIlluminance(lamp, wrong), 0.0);
    EXPECT_EQ(ComputeXYZ(lamp, wrong).Y, 0.0);
    ColorRecord record{{1, 2, 3, 4}};
    wrong.Spectrum2XYZAmb(lamp, kObserver2Degree, record);
    EXPECT_EQ(record.v[3], 0.0);  // the whole record is cleared
}

TEST(Computable, NeedsTheBoundLibraryAndAFiniteSpectrumAndIlluminance) {
    const CHROMEL& bound = CHROMEL::Instance();
    const CHROMEL wrong(FAKE_METERIO_PATH);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double scale, sample7;
        bool computable;
    } const cases[] = {
        {"a lamp", 1.0, 0.003, true},
        {"no light at all", 0.0, 0.0, true},
        {"an infinite sample", 1.0, inf, false},
        {"a NaN sample", 1.0, nan, false},
        {"an illuminance beyond double", 1.0, 1.7e308, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpectrumRecord s = referenceSpectrum(2, c.scale);
        s.values[7] = c.sample7;
        EXPECT_EQ(IsComputable(s, bound), c.computable);
        EXPECT_FALSE(IsComputable(s, wrong));
        EXPECT_FALSE(IsComputable(s, missingChromel()));
    }
}

// Reference values worked out apart from the library (tests/data/spectral_reference.csv):
// D65 / 1000 at 10 nm from 380 to 730 nm, emission XYZ and illuminance.
struct ReferenceCase {
    SpectrumRecord spectrum{};
    double X = 0, Y = 0, Z = 0, lux = 0;
};

ReferenceCase loadCase(const std::string& name) {
    std::ifstream in(std::string(QEL_TEST_DATA_DIR) + "/spectral_reference.csv");
    std::string line;
    ReferenceCase c;
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::vector<std::string> f;
        for (std::string cell; std::getline(fields, cell, ',');)
            f.push_back(cell);
        if (f.size() < 13 || f[0] != "case" || f[1] != name) continue;
        c.spectrum.start = static_cast<std::uint32_t>(std::stoul(f[2]));
        c.spectrum.interval = static_cast<std::uint32_t>(std::stoul(f[3]));
        c.spectrum.count = static_cast<std::uint32_t>(std::stoul(f[4]));
        c.X = std::stod(f[5]);
        c.Y = std::stod(f[6]);
        c.Z = std::stod(f[7]);
        c.lux = std::stod(f[8]);
        for (std::size_t i = 0; i < c.spectrum.count && 13 + i < f.size(); ++i)
            c.spectrum.values[i] = std::stod(f[13 + i]);
    }
    return c;
}

// Correlated colour temperature from chromaticity (McCamy's cubic).
double mcCamy(double X, double Y, double Z) {
    const double s = X + Y + Z;
    const double n = (X / s - 0.332) / (Y / s - 0.1858);
    return 3601 * n * n - 437 * n * n * n - 6861 * n + 5514.31;
}

TEST(MeasuredQuantities, MatchIndependentlyComputedValues) {
    const ReferenceCase d65 = loadCase("ambient10nm");
    ASSERT_EQ(d65.spectrum.count, 36u);
    const MeasurementValue v = valueOf(d65.spectrum);
    EXPECT_NEAR(v.GetIlluminance(), d65.lux, 1e-9 * d65.lux);
    const TristimulusValue xyz = v.GetXYZ();
    EXPECT_NEAR(xyz.X, d65.X / std::numbers::pi * 100, 1e-9 * xyz.X);
    EXPECT_NEAR(xyz.Y, d65.Y / std::numbers::pi * 100, 1e-9 * xyz.Y);
    EXPECT_NEAR(xyz.Z, d65.Z / std::numbers::pi * 100, 1e-9 * xyz.Z);
    const double cct = mcCamy(d65.X, d65.Y, d65.Z);
    EXPECT_NEAR(cct, 6500, 100);
    EXPECT_EQ(v.GetColorTemperature(), static_cast<std::int64_t>(cct + 0.5));
}

TEST(MeasurementValue, CopiesTheWholeRecord) {
    SpectrumRecord s = referenceSpectrum(7, 1.0);
    s.padding = 0xABCD;
    s.values[400] = 17.5;  // beyond count, still part of the record
    const MeasurementValue original = valueOf(s);
    const MeasurementValue copy(original);
    SpectrumRecord out{};
    copy.GetSpectrum(out);
    EXPECT_EQ(std::memcmp(&out, &s, sizeof s), 0);
}

TEST(RoundKelvin, RoundsHalfUpAndStaysDefined) {
    EXPECT_EQ(RoundKelvin(6549.49), 6549);
    EXPECT_EQ(RoundKelvin(6549.5), 6550);
    EXPECT_EQ(RoundKelvin(0.0), 0);
    EXPECT_EQ(RoundKelvin(-0.9), 0);  // -0.4 truncates toward zero
    EXPECT_EQ(RoundKelvin(-2.7), -2);
    EXPECT_EQ(RoundKelvin(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundKelvin(std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(RoundKelvin(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(RoundKelvin(9.2e18), 9200000000000000000);
}

}  // namespace
