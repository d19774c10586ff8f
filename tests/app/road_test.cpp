// The program's whole instrument road through the real libraries, loaded by name, against the
// simulated EyeOne measuring CIE illuminants; results checked against values worked out apart
// from the code (tests/data/ambient_reference.csv, tools/ambient_reference.py).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cancel_callback.h"
#include "app/chromel_binding.h"
#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "app/spectrophotometer.h"
#include "cancel_poll_stub.h"
#include "tests/meterio/eye_one_sim.h"

namespace {

using namespace orvel_kepno_ambientlib;
using testing_sim::SimEyeOne;

// The instrument reports single-precision values.
constexpr double kFloatRelative = 1e-6;

struct Expected {
    std::string name;
    double lux = 0, X = 0, Y = 0, Z = 0;
    std::int64_t kelvin = 0;
    std::int32_t type = 0, index = 0;
    double error = 0;
    std::array<double, kClassifiedSamples> samples{};
};

std::vector<Expected> loadExpected() {
    std::ifstream in(std::string(QEL_TEST_DATA_DIR) + "/ambient_reference.csv");
    std::vector<Expected> cases;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');)
            f.push_back(cell);
        if (f.size() != 10 + kClassifiedSamples || f[0] != "case") continue;
        Expected e;
        e.name = f[1];
        e.lux = std::stod(f[2]);
        e.X = std::stod(f[3]);
        e.Y = std::stod(f[4]);
        e.Z = std::stod(f[5]);
        e.kelvin = std::stoll(f[6]);
        e.type = std::stoi(f[7]);
        e.index = std::stoi(f[8]);
        e.error = std::stod(f[9]);
        for (std::size_t i = 0; i < kClassifiedSamples; ++i)
            e.samples[i] = std::stod(f[10 + i]);
        cases.push_back(e);
    }
    return cases;
}

class MeasurementRoad : public ::testing::Test {
protected:
    void TearDown() override { SetCancelPoll(nullptr); }
    SimEyeOne sim;  // points the module path at the simulator
};

TEST_F(MeasurementRoad, EachIlluminantGivesTheIndependentlyComputedResults) {
    const std::vector<Expected> cases = loadExpected();
    ASSERT_GE(cases.size(), 6u);
    sim.configure("BUTTON", "0");
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.name);
        sim.configure("SOURCE", e.name);
        sim.configure("LUX", std::to_string(e.lux));
        CancelPollStub goOn(0);
        SetCancelPoll(&goOn);

        I1Ambient reader;  // the process-wide bindings and the system clock
        reader.SetCancelCallBack(&CancelCallBack);
        ASSERT_EQ(reader.Open(), kAppSuccess);
        ASSERT_EQ(reader.Calibrate(), kAppSuccess);
        std::time_t t = 0;
        EXPECT_TRUE(reader.GetCalibrationTime(t));
        MeasurementValue value;
        ASSERT_EQ(reader.Measure(value), kAppSuccess);
        I1Information info;
        EXPECT_TRUE(reader.GetDeviceInformation(info));
        EXPECT_EQ(info.SerialNumber(), 104562u);
        EXPECT_EQ(info.DeviceType(), 1u);
        EXPECT_EQ(info.PhysicalFilter(), 1u);
        EXPECT_EQ(reader.Close(), kAppSuccess);
        EXPECT_FALSE(reader.GetOpenTime(t));
        EXPECT_GT(goOn.polls, 0);

        SpectrumRecord s{};
        value.GetSpectrum(s);
        EXPECT_EQ(s.start, 380u);
        EXPECT_EQ(s.interval, 10u);
        ASSERT_EQ(s.count, kClassifiedSamples);
        for (std::size_t i = 0; i < kClassifiedSamples; ++i)
            EXPECT_NEAR(s.values[i], e.samples[i], kFloatRelative * e.samples[i]) << i;

        EXPECT_NEAR(value.GetIlluminance(), e.lux, kFloatRelative * e.lux);
        const TristimulusValue xyz = value.GetXYZ();
        EXPECT_NEAR(xyz.X, e.X, kFloatRelative * e.X);
        EXPECT_NEAR(xyz.Y, e.Y, kFloatRelative * e.Y);
        EXPECT_NEAR(xyz.Z, e.Z, kFloatRelative * e.Z);
        EXPECT_EQ(value.GetColorTemperature(), e.kelvin);
        std::int32_t index = -7;
        double error = -1.0;
        EXPECT_EQ(value.GetLightSourceType(&index, &error), e.type);
        EXPECT_EQ(index, e.index);
        EXPECT_NEAR(error, e.error, 1e-4 * e.error + 1e-15);
    }
    EXPECT_TRUE(CHROMEL::Instance().Loaded());
    EXPECT_TRUE(METERIO::Instance().Loaded());
}

TEST_F(MeasurementRoad, CancelWhileWaitingForTheButton) {
    sim.configure("BUTTON", "never");
    CancelPollStub cancel(0);
    SetCancelPoll(&cancel);
    I1Ambient reader;
    reader.SetCancelCallBack(&CancelCallBack);
    ASSERT_EQ(reader.Open(), kAppSuccess);
    cancel.answer = -1;
    std::time_t t = 0;
    EXPECT_EQ(reader.Calibrate(), kAppCancelled);
    EXPECT_FALSE(reader.GetCalibrationTime(t));
    SpectrumRecord before{};
    before.interval = 10;
    before.count = 1;
    MeasurementValue value;
    value.SetSpectrum(before);
    EXPECT_EQ(reader.Measure(value), kAppCancelled);
    SpectrumRecord after{};
    value.GetSpectrum(after);
    EXPECT_EQ(after.count, 1u);
    EXPECT_GT(cancel.polls, 0);
    EXPECT_EQ(reader.Close(), kAppSuccess);
}

TEST_F(MeasurementRoad, InstrumentOfAnotherKindIsNotFound) {
    sim.configure("DEVICE_TYPE", "EyeOneDisplay");
    I1Ambient reader;
    EXPECT_EQ(reader.Open(), kAppNoInstrument);
    std::time_t t = 0;
    EXPECT_FALSE(reader.GetOpenTime(t));
    EXPECT_EQ(METERIO::Instance().Handle(), 0u);
}

}  // namespace
