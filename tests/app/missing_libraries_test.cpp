// Runs from a directory holding neither library, with nothing on the module search path.
#include <gtest/gtest.h>

#include "app/chromel_binding.h"
#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "app/spectrophotometer.h"

namespace {

using namespace orvel_kepno_ambientlib;

TEST(ProcessBindings, MissingLibrariesGiveZerosAndFailures) {
    EXPECT_FALSE(CHROMEL::Instance().Loaded());
    EXPECT_FALSE(METERIO::Instance().Loaded());

    SpectrumRecord s{};
    s.start = 380;
    s.interval = 10;
    s.count = kClassifiedSamples;
    for (std::size_t i = 0; i < kClassifiedSamples; ++i)
        s.values[i] = ReferenceSpectrumTable[5].samples[i];
    MeasurementValue value;
    value.SetSpectrum(s);
    EXPECT_EQ(value.GetColorTemperature(), 0);
    EXPECT_EQ(value.GetIlluminance(), 0.0);
    EXPECT_EQ(value.GetXYZ().X, 0.0);
    EXPECT_FALSE(value.IsComputable());  // the program shows this as a failed measurement
    std::int32_t index = -1;
    EXPECT_EQ(value.GetLightSourceType(&index), kNormal);  // unscaled, still its own shape
    EXPECT_EQ(index, 5);

    I1Ambient reader;  // the process-wide binding and the real clock
    EXPECT_EQ(reader.Open(), kAppFailure);
    EXPECT_EQ(reader.Calibrate(), kAppFailure);
    EXPECT_EQ(reader.Measure(value), kAppFailure);
    EXPECT_EQ(reader.Close(), kAppFailure);
}

}  // namespace
