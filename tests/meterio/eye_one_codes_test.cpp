// Vendor codes through the three mapping tables, for vendor libraries below and from version 200.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "meterio32.h"
#include "tests/meterio/eye_one_sim.h"

namespace {

using testing_sim::kF;
using testing_sim::scripted;

constexpr uint32_t k3 = METERIO_OUT_OF_RANGE;
constexpr uint32_t k5 = METERIO_NO_INSTRUMENT;
constexpr uint32_t k6 = METERIO_COMMUNICATION_ERROR;
constexpr uint32_t k7 = METERIO_NOT_COMPLETED;
constexpr uint32_t k8 = METERIO_DEVICE_ERROR;

// Vendor codes 0 to 12 (12 stands for any code without a row).
struct Expected {
    uint32_t g[13];
    uint32_t s[13];
    uint32_t m[13];
};
constexpr uint32_t kM[13] = {0, k6, k5, k8, kF, k7, kF, k7, k7, k8, kF, k8, kF};
constexpr Expected kOld{{0, k6, k5, k8, kF, kF, kF, k7, k7, k8, kF, k8, kF},
                        {0, k6, k5, k8, kF, kF, kF, k7, k7, kF, kF, kF, kF},
                        {0, k6, k5, k8, kF, k7, kF, k7, k7, k8, kF, k8, kF}};
constexpr Expected kNew{{0, k6, k5, k7, kF, kF, kF, k7, k7, k8, kF, k8, kF},
                        {0, k6, k5, k8, kF, kF, k3, k7, k7, k8, kF, kF, kF},
                        {0, k6, k5, k8, kF, k7, kF, k7, k7, k8, kF, k8, kF}};

struct Range {
    const char* version;
    const Expected* expected;
    const char* name;
};

void PrintTo(const Range& range, std::ostream* os) {
    *os << range.version;
}

class VendorCodes : public testing_sim::AmbientTest, public ::testing::WithParamInterface<Range> {};

TEST_P(VendorCodes, MapThroughTheirTables) {
    sim.configure("VERSION", GetParam().version);
    openOrFail();
    const Expected& e = *GetParam().expected;
    const MeasureParams params{4, 6, 2, METERIO_CS_XYZ};
    for (int32_t code = 0; code <= 12; ++code) {
        SCOPED_TRACE(code);
        ASSERT_EQ(e.m[code], kM[code]) << "table M does not depend on the version";

        sim.setError("I1_Calibrate", code);
        script = {};
        script.pressAt = 0;
        EXPECT_EQ(QelAmbientReader_Calibrate(handle, scripted), e.g[code]);
        sim.setError("I1_Calibrate", 0);

        sim.setError("I1_SetOption", code);
        EXPECT_EQ(QelAmbientReader_SetParam(handle, &params), e.s[code]);
        sim.setError("I1_SetOption", 0);

        sim.setError("I1_TriggerMeasurement", code);
        script = {};
        script.pressAt = 0;
        SpectrumRecord spectrum{};
        EXPECT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), e.m[code]);
        sim.setError("I1_TriggerMeasurement", 0);

        if (code == 0) {  // a press
            sim.press();
        } else if (code != 4) {  // 4 is the answer while no press is pending
            sim.setError("I1_KeyPressed", code);
        }
        if (code != 4) {
            uint8_t pressed = 7;
            EXPECT_EQ(QelAmbientReader_WaitForKeyInput(handle, nullptr, &pressed), e.g[code]);
            EXPECT_EQ(pressed, code == 0 ? 1 : 0);
            sim.setError("I1_KeyPressed", 0);
        }
    }
    sim.setError("I1_GetTriStimulus", 9);
    script = {};
    script.pressAt = 0;
    ColorantRecord colour{};
    EXPECT_EQ(QelAmbientReader_ScanColorant(handle, scripted, &colour), e.s[9]);
    sim.setError("I1_GetTriStimulus", -3);
    script = {};
    script.pressAt = 0;
    EXPECT_EQ(QelAmbientReader_ScanColorant(handle, scripted, &colour), kF);
}

INSTANTIATE_TEST_SUITE_P(BothVersionRanges, VendorCodes,
                         ::testing::Values(Range{"EyeOne 1.9.9", &kOld, "At199"},
                                           Range{"EyeOne 2.0.0", &kNew, "At200"},
                                           Range{"EyeOne 2.1.3", &kNew, "Above200"}),
                         [](const auto& range) { return std::string(range.param.name); });

}  // namespace
