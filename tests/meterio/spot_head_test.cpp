// The spot-head driver against the simulated head on a pseudo-terminal.
#include "meterio/drivers/spot_head.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"
#include "tests/support/fast_clock.h"

using meterio::Result;
using sim::Fault;

namespace {

using testsupport::FastClock;

class SpotHeadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.start());
        m_env = std::make_unique<sim::SerialPortsEnvironment>(
            std::vector<std::string>{m_pty.devicePath()});
        m_record.clock = &m_clock;
    }

    void open() {
        ASSERT_EQ(meterio::SpotHeadOpen(m_record, "COM101:", 9600, {}), Result::Ok);
        m_seen = m_pty.requestCount();
    }

    // Requests since open() (or the last call).
    std::vector<std::string> newRequests() {
        auto all = m_pty.requests();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return fresh;
    }

    sim::SpotHeadSim m_head;
    sim::PtySimulator m_pty{m_head};
    std::unique_ptr<sim::SerialPortsEnvironment> m_env;
    FastClock m_clock;
    meterio::SpotHeadRecord m_record;
    std::size_t m_seen = 0;
};

using Requests = std::vector<std::string>;

}  // namespace

TEST_F(SpotHeadTest, OpenIdentifiesInitialisesAndReadsTheHeadState) {
    m_head.update([](sim::SpotHeadState& s) { s.state = 5; });
    ASSERT_EQ(meterio::SpotHeadOpen(m_record, "COM101:", 9600, {}), Result::Ok);
    EXPECT_EQ(m_pty.requests(), (Requests{"; 181", "; 90 1 4 5", "; 77 155", "; 0"}));
    EXPECT_EQ(m_record.headState, 5u);
    EXPECT_STREQ(m_record.portName, "COM101:");
    EXPECT_EQ(m_record.baudRate, 9600u);
    EXPECT_EQ(m_record.colorSpace, METERIO_CS_LAB);
    EXPECT_EQ(m_pty.lineBaudRate(), 9600u);
    EXPECT_EQ(meterio::SpotHeadClose(m_record), Result::Ok);
    EXPECT_EQ(meterio::SpotHeadClose(m_record), Result::GeneralFailure);
}

TEST_F(SpotHeadTest, OpenFailsAndClosesThePortOnABadInitialisationOrState) {
    m_pty.inject({Fault::ErrorStatus, "; 77 155", 3});
    EXPECT_EQ(meterio::SpotHeadOpen(m_record, "COM101:", 9600, {}), Result::CommunicationError);
    EXPECT_EQ(m_record.port, nullptr);
    m_head.update([](sim::SpotHeadState& s) { s.state = 4; });
    EXPECT_EQ(meterio::SpotHeadOpen(m_record, "COM101:", 9600, {}), Result::GeneralFailure);
    EXPECT_EQ(m_record.port, nullptr);
    // Stopped between the initialisation steps.
    m_head.update([](sim::SpotHeadState& s) { s.state = 0; });
    int polls = 0;
    EXPECT_EQ(meterio::SpotHeadOpen(m_record, "COM101:", 9600,
                                    [&](std::int32_t) { return ++polls == 7 ? -1 : 0; }),
              Result::Cancelled);
    EXPECT_EQ(m_record.port, nullptr);
}

TEST(SpotHeadSearch, FindsTheHeadOnTheSecondPortAt19200) {
    sim::SpotHeadSim other;
    other.update([](sim::SpotHeadState& s) { s.headCode = 33; });  // answers, but is not this one
    sim::SpotHeadSim head;
    sim::PtySimulator first(other);
    sim::PtySimulator second(head, 19200);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    sim::SerialPortsEnvironment env({first.devicePath(), second.devicePath()});
    FastClock clock(2);
    meterio::SpotHeadRecord record;
    record.clock = &clock;
    ASSERT_EQ(meterio::SpotHeadOpen(record, "", 0, {}), Result::Ok);
    EXPECT_STREQ(record.portName, "COM102:");
    EXPECT_EQ(record.baudRate, 19200u);
    // The first port was asked at each of the four rates up to and including 19200.
    EXPECT_EQ(first.requestCount(), 4u);
    EXPECT_EQ(second.requests().front(), "; 181");
}

TEST_F(SpotHeadTest, InformationRecordCarriesIdentityProductionDataAndState) {
    open();
    meterio::SpotInfoRecord info;
    std::memset(&info, 0x77, sizeof info);
    ASSERT_EQ(meterio::SpotHeadGetInfo(m_record, info), Result::Ok);
    EXPECT_EQ(std::string(info.model), "SPOTHEAD SH-32 REF");
    EXPECT_EQ(info.headCode, 32u);
    EXPECT_EQ(std::string(info.secondText), "SN004711");
    EXPECT_EQ(info.number, 0x00021234u);
    EXPECT_EQ(info.firmwareVersion, 245u);
    EXPECT_EQ(info.year, 2019);
    EXPECT_EQ(info.month, 11);
    EXPECT_EQ(info.day, 28);
    EXPECT_EQ(info.productionValue, 77u);
    EXPECT_EQ(info.reserved1[0], 0);
    EXPECT_EQ(info.reserved2[31], 0);
    EXPECT_EQ(newRequests(), (Requests{"; 181", "; 43"}));
}

TEST_F(SpotHeadTest, InformationRejectsABadFirmwareTextOrDate) {
    open();
    meterio::SpotInfoRecord info;
    m_head.update([](sim::SpotHeadState& s) { s.firmware = "v2"; });
    EXPECT_EQ(meterio::SpotHeadGetInfo(m_record, info), Result::CommunicationError);
    m_head.update([](sim::SpotHeadState& s) { s.firmware = "2.45"; });
    m_head.update([](sim::SpotHeadState& s) { s.month = 13; });
    EXPECT_EQ(meterio::SpotHeadGetInfo(m_record, info), Result::CommunicationError);
}

TEST_F(SpotHeadTest, ConditionsAreSetWithTheReadFlagAndReadBack) {
    open();
    m_head.update([](sim::SpotHeadState& s) { s.flag = 1; });
    const meterio::SpotConditions wanted{0, 0, 10, METERIO_CS_XYZ};
    ASSERT_EQ(meterio::SpotHeadSetConditions(m_record, wanted), Result::Ok);
    EXPECT_EQ(newRequests(), (Requests{"; 0", "; 22 8 1  8 1"}));
    EXPECT_EQ(m_record.colorSpace, METERIO_CS_XYZ);
    meterio::SpotConditions back{};
    ASSERT_EQ(meterio::SpotHeadGetConditions(m_record, back), Result::Ok);
    EXPECT_EQ(back.densityStandard, 0u);
    EXPECT_EQ(back.illumination, 0u);
    EXPECT_EQ(back.observer, 10u);
    EXPECT_EQ(back.colorSpace, METERIO_CS_XYZ);

    ASSERT_EQ(meterio::SpotHeadSetConditions(m_record, {5, 23, 2, METERIO_CS_LAB}), Result::Ok);
    EXPECT_EQ(newRequests().back(), "; 22 2 1 30 0");
}

TEST_F(SpotHeadTest, UnsupportedConditionsAreRefusedInOrder) {
    open();
    for (std::uint32_t illuminant : {2u, 5u, 7u}) {
        EXPECT_EQ(meterio::SpotHeadSetConditions(m_record, {1, illuminant, 2, METERIO_CS_LAB}),
                  Result::BadIllumination);
        EXPECT_EQ(newRequests(), (Requests{"; 0"}));
    }
    EXPECT_EQ(meterio::SpotHeadSetConditions(m_record, {2, 2, 3, METERIO_CS_LAB}),
              Result::BadDensityStandard);
    EXPECT_EQ(meterio::SpotHeadSetConditions(m_record, {1, 1, 3, METERIO_CS_LAB}),
              Result::BadObserver);
    // The colour space is judged last, after the head has taken the other conditions.
    EXPECT_EQ(meterio::SpotHeadSetConditions(m_record, {1, 1, 2, 0x4C636820u}),
              Result::BadColorSpace);
    EXPECT_EQ(newRequests().back(), "; 22 0 1  0 0");
    EXPECT_EQ(m_record.colorSpace, METERIO_CS_LAB);
    // A flag that is neither 0 nor 1.
    m_head.update([](sim::SpotHeadState& s) { s.flag = 7; });
    EXPECT_EQ(meterio::SpotHeadSetConditions(m_record, {1, 1, 2, METERIO_CS_LAB}),
              Result::GeneralFailure);
}

TEST_F(SpotHeadTest, ColourValuesFollowTheColourSpace) {
    open();
    m_head.pressKeyAfter(2);
    double values[8] = {};
    ASSERT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByKey, 0, {}, values), Result::Ok);
    // Lab is code 1: the simulator adds 10 to each value.
    EXPECT_DOUBLE_EQ(values[0], 61.25);
    EXPECT_DOUBLE_EQ(values[1], 6.5);
    EXPECT_DOUBLE_EQ(values[2], 22.75);
    EXPECT_EQ(newRequests(), (Requests{"; 8", "; 8", "; 8", "; 186 9 1"}));

    ASSERT_EQ(meterio::SpotHeadSetConditions(m_record, {1, 1, 2, METERIO_CS_XYZ}), Result::Ok);
    ASSERT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 0, {}, values),
              Result::Ok);
    EXPECT_DOUBLE_EQ(values[0], (51.25 + 40) * 0.01);
    EXPECT_DOUBLE_EQ(values[2], (12.75 + 40) * 0.01);

    ASSERT_EQ(meterio::SpotHeadSetConditions(m_record, {1, 1, 2, METERIO_CS_YXY}), Result::Ok);
    ASSERT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 0, {}, values),
              Result::Ok);
    EXPECT_DOUBLE_EQ(values[0], 12.75);
    EXPECT_DOUBLE_EQ(values[1], 51.25);
    EXPECT_DOUBLE_EQ(values[2], -3.5);
}

TEST_F(SpotHeadTest, DensitiesAreReorderedAndBothKindsKeepTheFourthValue) {
    open();
    double values[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    ASSERT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 1, {}, values),
              Result::Ok);
    EXPECT_EQ(newRequests(), (Requests{"; 32", "; 188 9 "}));
    EXPECT_DOUBLE_EQ(values[0], 0.22);
    EXPECT_DOUBLE_EQ(values[3], 0.11);
    EXPECT_EQ(values[4], -1);

    double both[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    ASSERT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 2, {}, both),
              Result::Ok);
    EXPECT_DOUBLE_EQ(both[0], 61.25);
    EXPECT_EQ(both[3], -1);
    EXPECT_DOUBLE_EQ(both[4], 0.22);
    EXPECT_DOUBLE_EQ(both[7], 0.11);
}

TEST_F(SpotHeadTest, MeasurementStatusesMapToTheirCodes) {
    open();
    double values[8];
    m_head.update([](sim::SpotHeadState& s) { s.measurementStatus = 128; });
    EXPECT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 0, {}, values),
              Result::MeasurementError);
    EXPECT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 1, {}, values),
              Result::MeasurementError);
    m_head.update([](sim::SpotHeadState& s) { s.measurementStatus = 3; });
    EXPECT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 0, {}, values),
              Result::NotCompleted);
    m_head.update([](sim::SpotHeadState& s) { s.measurementStatus = 0; });
    m_pty.inject({Fault::ErrorStatus, "; 32", 1});
    EXPECT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 0, {}, values),
              Result::NotCompleted);
    EXPECT_EQ(meterio::SpotHeadMeasure(m_record, 2, 0, {}, values), Result::GeneralFailure);
    EXPECT_EQ(meterio::SpotHeadMeasure(m_record, meterio::kStartByCommand, 3, {}, values),
              Result::GeneralFailure);
}

TEST_F(SpotHeadTest, ProgressIsReportedAndMinusOneStops) {
    open();
    std::vector<std::int32_t> seen;
    double values[8];
    ASSERT_EQ(meterio::SpotHeadMeasure(
                  m_record, meterio::kStartByCommand, 0,
                  [&](std::int32_t v) {
                      if (v != -100) seen.push_back(v);
                      return 0;
                  },
                  values),
              Result::Ok);
    EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 1000, 10000}));
    EXPECT_EQ(meterio::SpotHeadMeasure(
                  m_record, meterio::kStartByCommand, 0,
                  [](std::int32_t v) { return v == 1000 ? -1 : 1; }, values),
              Result::Cancelled);
}

TEST_F(SpotHeadTest, SpectrumByKeyIsStoredAsSentAndByCommandScaled) {
    open();
    m_head.update([](sim::SpotHeadState& s) {
        for (std::size_t i = 0; i < 36; ++i)
            s.spectrum[i] = 10.0 + static_cast<double>(i);
    });
    m_head.pressKeyAfter(0);
    SpectrumRecord spectrum{};
    ASSERT_EQ(meterio::SpotHeadMeasureSpectrum(m_record, meterio::kStartByKey, {}, spectrum),
              Result::Ok);
    EXPECT_EQ(spectrum.start, 380u);
    EXPECT_EQ(spectrum.interval, 10u);
    EXPECT_EQ(spectrum.count, 36u);
    EXPECT_DOUBLE_EQ(spectrum.values[35], 45.0);
    EXPECT_EQ(newRequests(), (Requests{"; 8", "; 32", "; 184 9 0"}));
    ASSERT_EQ(meterio::SpotHeadMeasureSpectrum(m_record, meterio::kStartByCommand, {}, spectrum),
              Result::Ok);
    EXPECT_DOUBLE_EQ(spectrum.values[0], 0.10);
    m_head.update([](sim::SpotHeadState& s) { s.measurementStatus = 1; });
    EXPECT_EQ(meterio::SpotHeadMeasureSpectrum(m_record, meterio::kStartByCommand, {}, spectrum),
              Result::NotCompleted);
}

TEST_F(SpotHeadTest, WhiteCalibrationWaitsForTheKeyAndRefreshesTheState) {
    open();
    m_head.pressKeyAfter(1);
    std::vector<std::int32_t> seen;
    ASSERT_EQ(meterio::SpotHeadCalibrate(m_record, -1, 0,
                                         [&](std::int32_t v) {
                                             if (v != -100) seen.push_back(v);
                                             return 0;
                                         }),
              Result::Ok);
    EXPECT_EQ(newRequests(), (Requests{"; 77 155", "; 8", "; 8", "; 34 9 7", "; 0"}));
    EXPECT_EQ(m_record.headState, 1u);
    EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 0, 0, 1000, 5000, 10000}));

    m_pty.inject({Fault::ErrorStatus, "; 34 9 7", 55});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, -1, 0, {}), Result::NotCompleted);
    m_pty.inject({Fault::ErrorStatus, "; 34 9 7", 19});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, -1, 0, {}), Result::Ok);
    m_pty.inject({Fault::ErrorStatus, "; 34 9 7", 4});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, -1, 0, {}), Result::CommunicationError);
    m_pty.inject({Fault::ErrorStatus, "; 77 155", 2});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, -1, 0, {}), Result::NotCompleted);
}

TEST_F(SpotHeadTest, SecondCalibrationStepChecksStateReplyAndStatuses) {
    open();
    m_head.pressKeyAfter(0);
    ASSERT_EQ(meterio::SpotHeadCalibrate(m_record, -1, -1, {}), Result::Ok);
    EXPECT_EQ(newRequests(),
              (Requests{"; 77 155", "; 8", "; 34 9 7", "; 0 ", "; 77 157", "; 34 9 8", "; 0"}));
    m_pty.inject({Fault::ErrorStatus, "; 34 9 8", 52});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, 0, -1, {}), Result::Ok);
    m_pty.inject({Fault::WrongNumber, "; 0 "});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, 0, -1, {}), Result::NotCompleted);
    m_pty.inject({Fault::ErrorStatus, "; 77 157", 1});
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, 0, -1, {}), Result::NotCompleted);
    m_head.update([](sim::SpotHeadState& s) { s.state = 2; });
    EXPECT_EQ(meterio::SpotHeadCalibrate(m_record, 0, -1, {}), Result::CommunicationError);
}

TEST_F(SpotHeadTest, KeyWaitsReportPressTimeOutAndCancel) {
    open();
    std::uint8_t pressed = 7;
    EXPECT_EQ(meterio::SpotHeadWaitKey(m_record, 0, 0, {}, &pressed), Result::NotCompleted);
    EXPECT_EQ(pressed, 0);
    int calls = 0;
    EXPECT_EQ(meterio::SpotHeadWaitKey(
                  m_record, meterio::kNoTimeout, 42,
                  [&](std::int32_t v) {
                      if (v == 42) ++calls;
                      return v == 42 && calls == 3 ? -1 : 0;
                  },
                  &pressed),
              Result::Cancelled);
    EXPECT_EQ(pressed, 0);
    m_head.pressKeyAfter(2);
    EXPECT_EQ(meterio::SpotHeadWaitKey(m_record, meterio::kNoTimeout, 0, {}, &pressed), Result::Ok);
    EXPECT_EQ(pressed, 1);
    // The key is held: a wait for its release times out, then succeeds once it is let go.
    EXPECT_EQ(meterio::SpotHeadWaitKeyState(m_record, 0, 0, 0, {}), Result::NotCompleted);
    m_head.releaseKey();
    EXPECT_EQ(meterio::SpotHeadWaitKeyState(m_record, 0, 0, 0, {}), Result::Ok);
    EXPECT_EQ(meterio::SpotHeadWaitKeyState(m_record, 0, 0, 2, {}), Result::GeneralFailure);
}

// Time that runs a hundred times slower than real time, so that a loaded machine does not
// change what the driver sees, and in which sleeping passes at once; records every sleep.
class SleepRecordingClock final : public platform::Clock {
public:
    std::uint32_t tickMs() override {
        const auto elapsed = std::chrono::steady_clock::now() - m_start;
        return static_cast<std::uint32_t>(
                   std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 100) +
               m_slept;
    }
    void sleepMs(std::uint32_t ms) override {
        sleeps.push_back(ms);
        m_slept += ms;
    }
    void beep() override {}
    std::vector<std::uint32_t> sleeps;

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::uint32_t m_slept = 0;
};

TEST_F(SpotHeadTest, KeyPollsAreAboutTwentyMillisecondsApart) {
    open();
    SleepRecordingClock clock;
    m_record.clock = &clock;
    int calls = 0;
    m_head.pressKeyAfter(3);
    EXPECT_EQ(
        meterio::SpotHeadWaitKey(
            m_record, meterio::kNoTimeout, 0, [&](std::int32_t) { return ++calls, 0; }, nullptr),
        Result::Ok);
    // One pause after each of the three polls that found the key up, the callback before it.
    ASSERT_EQ(clock.sleeps.size(), 3u);
    EXPECT_GE(calls, 3);
    for (const std::uint32_t ms : clock.sleeps) {
        EXPECT_GT(ms, 0u);
        EXPECT_LE(ms, 20u);
    }
    m_record.clock = &m_clock;
}

TEST_F(SpotHeadTest, LineFaultsMapToSilenceOrCommunicationErrors) {
    open();
    meterio::SpotConditions conditions{};
    m_pty.inject({Fault::Silence, "; 0"});
    EXPECT_EQ(meterio::SpotHeadGetConditions(m_record, conditions), Result::NoInstrument);
    m_pty.inject({Fault::Garble, "; 0"});
    EXPECT_EQ(meterio::SpotHeadGetConditions(m_record, conditions), Result::CommunicationError);
    m_pty.inject({Fault::Truncate, "; 0"});
    EXPECT_EQ(meterio::SpotHeadGetConditions(m_record, conditions), Result::CommunicationError);
    m_pty.inject({Fault::WrongNumber, "; 0"});
    EXPECT_EQ(meterio::SpotHeadGetConditions(m_record, conditions), Result::CommunicationError);
    m_pty.inject({Fault::WrongNumber, "; 22"});
    EXPECT_EQ(meterio::SpotHeadSetConditions(m_record, {1, 1, 2, METERIO_CS_LAB}),
              Result::CommunicationError);
    // A reply after the deadline is silence; it is drained before the next request.
    m_pty.inject({Fault::Delay, "; 0", 900});
    EXPECT_EQ(meterio::SpotHeadGetConditions(m_record, conditions), Result::NoInstrument);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(meterio::SpotHeadGetConditions(m_record, conditions), Result::Ok);
    EXPECT_EQ(conditions.illumination, 1u);  // the refused "; 22" still took effect
    // Key polling: silence is returned as such.
    m_pty.inject({Fault::Silence, "; 8"});
    EXPECT_EQ(meterio::SpotHeadWaitKey(m_record, 0, 0, {}, nullptr), Result::NoInstrument);
}

TEST_F(SpotHeadTest, TheLineClosingMidReplyIsACommunicationError) {
    open();
    m_pty.inject({Fault::HangUp, "; 181"});
    meterio::SpotInfoRecord info;
    EXPECT_EQ(meterio::SpotHeadGetInfo(m_record, info), Result::CommunicationError);
    EXPECT_EQ(meterio::SpotHeadClose(m_record), Result::Ok);
}
