#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <typeinfo>
#include <utility>
#include <vector>

#include "app/cancel_callback.h"
#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "app/spectrophotometer.h"
#include "cancel_poll_stub.h"
#include "fake_meterio32.h"
#include "platform/clock.h"

namespace {

using namespace orvel_kepno_ambientlib;

class FakeClock : public platform::Clock {
public:
    std::uint32_t tickMs() override { return m_now; }
    void sleepMs(std::uint32_t ms) override {
        sleeps.push_back(ms);
        m_now += ms;
    }
    void beep() override {}
    std::vector<std::uint32_t> sleeps;

private:
    std::uint32_t m_now = 0;
};

// The ambient reader against the scripted stand-in of meterio32.
class AmbientReader : public ::testing::Test {
protected:
    void SetUp() override { FakeMeterio_Reset(); }
    void TearDown() override { SetCancelPoll(nullptr); }

    FakeMeterioScript& script() { return *FakeMeterio_Script(); }
    FakeMeterioCalls& calls() { return *FakeMeterio_Calls(); }

    static METERIO& meterio() {
        static METERIO fake(FAKE_METERIO_PATH);
        return fake;
    }
    FakeClock clock;
};

TEST(ResultTranslation, EveryReaderCodeMapsToItsApplicationCode) {
    const std::pair<std::uint32_t, int> table[] = {
        {0, 0},          {1, 1},           {2, -1},          {3, 2},           {4, 2},
        {5, 3},          {6, 3},           {7, 3},           {8, -1},          {17, -1},
        {18, -1},        {21, -1},         {0x0FFFFFFF, -1}, {0x80000001, -1}, {0x80000002, -1},
        {0x80000003, 3}, {0x80000004, -1}, {0x80000005, 4},  {0x80000006, 5},  {0x80000007, 7},
        {0x80000008, 5}, {0x80000009, 6},  {0x8000000A, -1}, {0xFFFFFFFF, -1},
    };
    for (const auto& [reader, app] : table)
        EXPECT_EQ(TranslateReaderResult(reader), app) << std::hex << reader;
}

TEST_F(AmbientReader, OpenPausesThenOpensAndConfiguresTheEyeOne) {
    ASSERT_TRUE(meterio().Loaded());
    const std::time_t before = std::time(nullptr);
    {
        I1Ambient reader(meterio(), clock);
        reader.SetCancelCallBack(&CancelCallBack);
        EXPECT_EQ(reader.Open(), kAppSuccess);
        EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>{1000});
        EXPECT_EQ(calls().open, 1);
        EXPECT_EQ(calls().deviceCode, 0);
        EXPECT_EQ(calls().portName, nullptr);
        EXPECT_EQ(calls().baudRate, 0u);
        EXPECT_EQ(calls().openCallback, &CancelCallBack);
        EXPECT_EQ(calls().params.densityStandard, 4u);
        EXPECT_EQ(calls().params.illumination, 6u);
        EXPECT_EQ(calls().params.observer, 2u);
        EXPECT_EQ(calls().params.colorSpace, 0x58595A20u);
        EXPECT_EQ(calls().lastHandle, script().handle);
        EXPECT_EQ(meterio().Handle(), script().handle);

        std::time_t opened = 0;
        EXPECT_TRUE(reader.GetOpenTime(opened));
        EXPECT_GE(opened, before);
        EXPECT_LE(opened, std::time(nullptr));
        std::time_t calibrated = 0;
        EXPECT_FALSE(reader.GetCalibrationTime(calibrated));
    }
    // Destroying an open reader closes it.
    EXPECT_EQ(calls().close, 1);
    EXPECT_EQ(calls().lastHandle, script().handle);
    EXPECT_EQ(meterio().Handle(), 0u);
}

TEST_F(AmbientReader, OpenWithoutInstrumentLeavesNothingToClose) {
    script().openResult = METERIO_NO_INSTRUMENT;
    {
        I1AmbientRaw reader(meterio(), clock);
        EXPECT_EQ(reader.Open(), kAppNoInstrument);
        std::time_t opened = 0;
        EXPECT_FALSE(reader.GetOpenTime(opened));
        EXPECT_EQ(calls().setParam, 0);
    }
    EXPECT_EQ(calls().close, 0);
}

TEST_F(AmbientReader, RefusedParametersCloseTheReaderAgain) {
    script().setParamResult = 5;
    {
        I1Ambient reader(meterio(), clock);
        EXPECT_EQ(reader.Open(), kAppParameterError);
        EXPECT_EQ(calls().close, 1);
        std::time_t opened = 0;
        EXPECT_FALSE(reader.GetOpenTime(opened));
    }
    EXPECT_EQ(calls().close, 1);
    EXPECT_EQ(meterio().Handle(), 0u);
}

TEST_F(AmbientReader, CloseAfterFailedOpenReportsTheReadersAnswerAndClearsTimes) {
    script().openResult = METERIO_COMMUNICATION_ERROR;
    I1AmbientRaw reader(meterio(), clock);
    EXPECT_EQ(reader.Open(), kAppCommunicationError);
    EXPECT_EQ(reader.Close(), kAppMemoryError);  // the reader refuses handle 0 with 4
    EXPECT_EQ(calls().lastHandle, 0u);
}

TEST_F(AmbientReader, OpeningAgainClosesTheOpenReaderFirst) {
    I1AmbientRaw reader(meterio(), clock);
    ASSERT_EQ(reader.Open(), kAppSuccess);
    ASSERT_EQ(reader.Calibrate(), kAppSuccess);
    EXPECT_EQ(reader.Open(), kAppSuccess);
    EXPECT_EQ(calls().close, 1);
    EXPECT_EQ(calls().open, 2);
    std::time_t t = 0;
    EXPECT_FALSE(reader.GetCalibrationTime(t));
    EXPECT_TRUE(reader.GetOpenTime(t));
}

TEST_F(AmbientReader, CalibrationTimeIsKeptUntilClose) {
    I1AmbientRaw reader(meterio(), clock);
    ASSERT_EQ(reader.Open(), kAppSuccess);
    script().calibrateResult = METERIO_NOT_COMPLETED;
    std::time_t t = 0;
    EXPECT_EQ(reader.Calibrate(), kAppNotCompleted);
    EXPECT_FALSE(reader.GetCalibrationTime(t));
    script().calibrateResult = 0;
    EXPECT_EQ(reader.Calibrate(), kAppSuccess);
    EXPECT_TRUE(reader.GetCalibrationTime(t));
    EXPECT_NE(t, 0);

    script().closeResult = METERIO_GENERAL_FAILURE;
    EXPECT_EQ(reader.Close(), kAppFailure);
    EXPECT_FALSE(reader.GetCalibrationTime(t));
    EXPECT_FALSE(reader.GetOpenTime(t));
    EXPECT_EQ(meterio().Handle(), 0u);  // forgotten whatever the reader answered
}

TEST_F(AmbientReader, CancelCallbackAsksTheRegisteredPoll) {
    EXPECT_EQ(CancelCallBack(-1), 0);  // nobody to ask: go on
    CancelPollStub cancel(-1);
    SetCancelPoll(&cancel);
    EXPECT_EQ(CancelCallBack(1000), -1);

    I1Ambient reader(meterio(), clock);
    reader.SetCancelCallBack(&CancelCallBack);
    ASSERT_EQ(reader.Open(), kAppSuccess);
    std::time_t t = 0;
    EXPECT_EQ(reader.Calibrate(), kAppCancelled);
    EXPECT_FALSE(reader.GetCalibrationTime(t));
    EXPECT_EQ(calls().lastCallback, &CancelCallBack);
    MeasurementValue value;
    EXPECT_EQ(reader.Measure(value), kAppCancelled);
    EXPECT_EQ(cancel.polls, 3);

    CancelPollStub goOn(0);
    SetCancelPoll(&goOn);
    EXPECT_EQ(reader.Calibrate(), kAppSuccess);
}

SpectrumRecord scannedSpectrum() {
    SpectrumRecord s{};
    s.start = 380;
    s.interval = 10;
    s.count = 36;
    for (std::size_t i = 0; i < 36; ++i)
        s.values[i] = ReferenceSpectrumTable[13].samples[i] * 7;
    return s;
}

TEST_F(AmbientReader, MeasurementHandsTheWholeScanToTheValue) {
    script().spectrum = scannedSpectrum();
    for (bool raw : {true, false}) {
        I1Ambient ambient(meterio(), clock);
        I1AmbientRaw plain(meterio(), clock);
        Spectrophotometer& reader = raw ? static_cast<Spectrophotometer&>(plain) : ambient;
        MeasurementValue value;
        EXPECT_EQ(reader.Measure(value), kAppSuccess);
        SpectrumRecord got{};
        value.GetSpectrum(got);
        EXPECT_EQ(std::memcmp(&got, &script().spectrum, sizeof got), 0);
        EXPECT_EQ(value.GetLightSourceType(), kThreeBand);
    }
}

TEST_F(AmbientReader, FailedMeasurementLeavesTheCallersValueUnchanged) {
    SpectrumRecord before = scannedSpectrum();
    before.values[400] = 3.25;
    MeasurementValue value;
    value.SetSpectrum(before);
    I1Ambient reader(meterio(), clock);
    script().scanResult = METERIO_MEASUREMENT_ERROR;
    EXPECT_EQ(reader.Measure(value), kAppMeasurementError);
    SpectrumRecord after{};
    value.GetSpectrum(after);
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
}

TEST_F(AmbientReader, DeviceInformationIsCheckedAndNormalised) {
    I1Ambient reader(meterio(), clock);
    script().info.eyeOne = {0x0105, 123456, 2, 7};
    I1Information info;
    EXPECT_TRUE(reader.GetDeviceInformation(info));
    EXPECT_EQ(info.VersionNumber(), 0x0105u);
    EXPECT_EQ(info.SerialNumber(), 123456u);
    EXPECT_EQ(info.PhysicalFilter(), 2u);
    EXPECT_EQ(info.DeviceType(), 0u);  // kinds other than 1 and 2 read as 0
    script().info.eyeOne = {1, 2, 9, 1};
    EXPECT_TRUE(reader.GetDeviceInformation(info));
    EXPECT_EQ(info.PhysicalFilter(), 0u);
    EXPECT_EQ(info.DeviceType(), 1u);

    DeviceInformation other;
    EXPECT_THROW(reader.GetDeviceInformation(other), std::bad_cast);
    // The reader's failure is reported before the type is looked at.
    script().getInfoResult = METERIO_DEVICE_ERROR;
    EXPECT_FALSE(reader.GetDeviceInformation(other));
}

// A missing library, and a library that lacks the reader's entry points.
TEST(MeterioMissing, EveryOperationFailsAndOutputsAreCleared) {
    METERIO absent("no_such_instrument_library.dll");
    METERIO wrong(CHROMEL_PATH);
    EXPECT_FALSE(absent.Loaded());
    EXPECT_TRUE(wrong.Loaded());
    for (METERIO* m : {&absent, &wrong}) {
        EXPECT_EQ(m->Open(0, nullptr, 0, nullptr), METERIO_GENERAL_FAILURE);
        EXPECT_EQ(m->SetParam(MeasureParams{4, 6, 2, METERIO_CS_XYZ}), METERIO_GENERAL_FAILURE);
        EXPECT_EQ(m->Calibrate(nullptr), METERIO_GENERAL_FAILURE);
        DeviceInfo info;
        std::memset(&info, 0xA5, sizeof info);
        EXPECT_EQ(m->GetInfo(info), METERIO_GENERAL_FAILURE);
        EXPECT_EQ(info.eyeOne.serialNumber, 0u);
        SpectrumRecord s;
        std::memset(&s, 0xA5, sizeof s);
        EXPECT_EQ(m->ScanSpectrum(nullptr, s), METERIO_GENERAL_FAILURE);
        EXPECT_EQ(s.count, 0u);
        EXPECT_EQ(s.values[400], 0.0);
        EXPECT_EQ(m->Close(), METERIO_GENERAL_FAILURE);

        FakeClock clock;
        I1Ambient reader(*m, clock);
        EXPECT_EQ(reader.Open(), kAppFailure);
        EXPECT_EQ(reader.Calibrate(), kAppFailure);
        MeasurementValue value;
        EXPECT_EQ(reader.Measure(value), kAppFailure);
        I1Information id;
        EXPECT_FALSE(reader.GetDeviceInformation(id));
        EXPECT_EQ(reader.Close(), kAppFailure);
    }
}

}  // namespace
