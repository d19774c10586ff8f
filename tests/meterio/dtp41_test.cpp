// The DTP41 driver against the simulated instrument on a pseudo-terminal.
#include "meterio/drivers/dtp41.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "sim/serial/dtp41_sim.h"
#include "sim/serial/pty_simulator.h"
#include "tests/support/fast_clock.h"

using meterio::Result;
using sim::Fault;
using testsupport::FastClock;
using Requests = std::vector<std::string>;

namespace {

constexpr meterio::StripDefinition kTenPatches{5, 70, 70, 10};

class Dtp41Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.start());
        m_env = std::make_unique<sim::SerialPortsEnvironment>(
            std::vector<std::string>{m_pty.devicePath()});
    }

    // Opens in real time (the probe waits 100 ms), then runs the driver's clock fast.
    void open() {
        ASSERT_EQ(meterio::Dtp41Open(m_record, "COM101:", 9600, {}), Result::Ok);
        m_record.clock = &m_clock;
        m_seen = m_pty.requestCount();
    }

    // Requests since open() (or the last call).
    Requests newRequests() {
        auto all = m_pty.requests();
        Requests fresh(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return fresh;
    }

    // Requests after the reading wait ("br", "xe").
    Requests transferRequests() {
        Requests all = newRequests();
        std::erase_if(all, [](const std::string& r) { return r == "br" || r == "xe"; });
        return all;
    }

    void useStrip(std::size_t patches) {
        m_sim.update([&](sim::Dtp41State& s) { s.strip = sim::makeStrip(patches); });
    }

    Result scan(std::uint32_t kind, std::uint32_t capacity, std::uint32_t& count, double* out) {
        m_sim.pullStrip();
        return meterio::Dtp41ScanStrip(m_record, kind, capacity, {}, &count, out);
    }

    sim::Dtp41Sim m_sim;
    sim::PtySimulator m_pty{m_sim};
    std::unique_ptr<sim::SerialPortsEnvironment> m_env;
    FastClock m_clock{20};
    meterio::Dtp41Record m_record;
    std::size_t m_seen = 0;
};

}  // namespace

TEST_F(Dtp41Test, OpenProbesAndWritesTheConfiguration) {
    ASSERT_EQ(meterio::Dtp41Open(m_record, "COM101:", 9600, {}), Result::Ok);
    Requests expected{"br"};
    expected.insert(expected.end(), meterio::dtp41::kInitialisation.begin(),
                    meterio::dtp41::kInitialisation.end());
    EXPECT_EQ(m_pty.requests(), expected);
    EXPECT_EQ(expected[1], "0000cf");
    EXPECT_EQ(expected.back(), "01pb");
    EXPECT_EQ(m_record.colorSpace, METERIO_CS_LAB);
    EXPECT_EQ(m_sim.state().registers.at(0x1E), 0x24);
    EXPECT_EQ(meterio::Dtp41Close(m_record), Result::Ok);
    EXPECT_EQ(meterio::Dtp41Close(m_record), Result::GeneralFailure);
}

TEST_F(Dtp41Test, OpenReportsTheFailingCommandsErrorAndClosesThePort) {
    m_pty.inject({Fault::ErrorStatus, "0108cf", 0x12});
    EXPECT_EQ(meterio::Dtp41Open(m_record, "COM101:", 9600, {}), Result::OutOfRange);
    EXPECT_EQ(m_record.port, nullptr);
    int polls = 0;
    EXPECT_EQ(meterio::Dtp41Open(m_record, "COM101:", 9600,
                                 [&](std::int32_t) { return ++polls == 8 ? -1 : 0; }),
              Result::Cancelled);
    EXPECT_EQ(m_record.port, nullptr);
}

TEST(Dtp41Search, FindsTheInstrumentOnTheSecondPortAt19200) {
    sim::Dtp41Sim silent, dtp41;
    sim::PtySimulator first(silent);
    sim::PtySimulator second(dtp41, 19200);
    first.inject({Fault::Silence, "", 0, true});
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    sim::SerialPortsEnvironment env({first.devicePath(), second.devicePath()});
    meterio::Dtp41Record record;
    ASSERT_EQ(meterio::Dtp41Open(record, "", 0, {}), Result::Ok);
    EXPECT_STREQ(record.portName, "COM102:");
    EXPECT_EQ(record.baudRate, 19200u);
    EXPECT_EQ(first.requestCount(), 4u);  // 9600, 57600, 28800, 19200
    EXPECT_EQ(second.lineBaudRate(), 19200u);
}

TEST_F(Dtp41Test, ErrorQueryTranslatesTheInstrumentsCode) {
    open();
    for (const auto& [code, expected] :
         std::vector<std::pair<std::uint32_t, Result>>{{0x12, Result::OutOfRange},
                                                       {0x14, Result::NotCompleted},
                                                       {0x21, Result::NotCompleted},
                                                       {0x27, Result::NotCompleted},
                                                       {0x28, Result::MeasurementError},
                                                       {0x20, Result::GeneralFailure}}) {
        m_pty.inject({Fault::ErrorStatus, "xe", code});
        EXPECT_EQ(meterio::Dtp41ErrorQuery(m_record), expected) << std::hex << code;
    }
    for (const auto& [text, expected] : std::vector<std::pair<std::string, Result>>{
             {"DTP41 V2.05", Result::DeviceError}, {"??", Result::CommunicationError}}) {
        m_sim.update([&, answer = text](sim::Dtp41State& s) { s.errorText = answer; });
        EXPECT_EQ(meterio::Dtp41ErrorQuery(m_record), expected) << text;
    }
    m_pty.inject({Fault::Silence, "xe"});
    EXPECT_EQ(meterio::Dtp41ErrorQuery(m_record), Result::NoInstrument);
}

TEST_F(Dtp41Test, DefinitionIsEncodedOrRefusedBeforeAnythingIsSent) {
    open();
    ASSERT_EQ(meterio::Dtp41DefineStrip(m_record, {5, 70, 70, 1}), Result::Ok);
    ASSERT_EQ(meterio::Dtp41DefineStrip(m_record, {999, 999, 70, 100}), Result::Ok);
    EXPECT_EQ(newRequests(), (Requests{"0010700005008ds", "1009990999008ds"}));
    for (const meterio::StripDefinition bad : {meterio::StripDefinition{4, 70, 70, 1},
                                               {5, 69, 70, 1},
                                               {5, 70, 69, 1},
                                               {5, 70, 70, 0},
                                               {5, 70, 70, 101},
                                               {1000, 70, 70, 1}})
        EXPECT_EQ(meterio::Dtp41DefineStrip(m_record, bad), Result::OutOfRange);
    EXPECT_TRUE(newRequests().empty());
}

TEST_F(Dtp41Test, ParametersGoToTheRegistersInOrderAndReadBack) {
    open();
    ASSERT_EQ(meterio::Dtp41SetParam(m_record, {4, 6, 2, METERIO_CS_LAB}), Result::Ok);
    EXPECT_EQ(newRequests(), (Requests{"0317cf", "0616cf", "0418cf"}));
    EXPECT_EQ(meterio::Dtp41SetParam(m_record, {4, 5, 2, METERIO_CS_LAB}), Result::BadIllumination);
    EXPECT_EQ(newRequests(), (Requests{"0317cf"}));
    EXPECT_EQ(meterio::Dtp41SetParam(m_record, {8, 6, 2, METERIO_CS_LAB}),
              Result::BadDensityStandard);
    EXPECT_TRUE(newRequests().empty());
    EXPECT_EQ(meterio::Dtp41SetParam(m_record, {4, 6, 4, METERIO_CS_LAB}), Result::BadObserver);
    EXPECT_EQ(meterio::Dtp41SetParam(m_record, {4, 6, 2, METERIO_CS_LUV}), Result::BadColorSpace);

    const MeasureParams written{7, 23, 10, METERIO_CS_XYZ};
    ASSERT_EQ(meterio::Dtp41SetParam(m_record, written), Result::Ok);
    MeasureParams read{};
    ASSERT_EQ(meterio::Dtp41GetParam(m_record, read), Result::Ok);
    EXPECT_EQ(std::tie(read.densityStandard, read.illumination, read.observer, read.colorSpace),
              std::tie(written.densityStandard, written.illumination, written.observer,
                       written.colorSpace));
}

TEST_F(Dtp41Test, InformationCarriesNumbersAndDates) {
    open();
    DeviceInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(meterio::Dtp41GetInfo(m_record, info.strip), Result::Ok);
    EXPECT_EQ(info.strip.numbers[0], 41017u);
    EXPECT_EQ(info.strip.numbers[4], 4242u);
    EXPECT_EQ(info.strip.numbers[1], 0xFFFFFFFFu);
    EXPECT_EQ(info.strip.numbers[5], 0xFFFFFFFFu);
    EXPECT_EQ(info.strip.firstDate[0], 1998);
    EXPECT_EQ(info.strip.firstDate[1], 11);
    EXPECT_EQ(info.strip.firstDate[2], 12);
    EXPECT_EQ(info.strip.firstDate[3], 0x5555);  // left as it was
    EXPECT_EQ(info.strip.secondDate[0], 1999);
    EXPECT_EQ(info.strip.secondDate[2], 3);
    EXPECT_EQ(newRequests(), (Requests{"00sn", "04sn", "bv", "sv"}));

    m_sim.update([](sim::Dtp41State& s) { s.softVersion = "FIRMWARE V2.05"; });
    EXPECT_EQ(meterio::Dtp41GetInfo(m_record, info.strip), Result::CommunicationError);
}

TEST_F(Dtp41Test, StripTransfersStopAtTheStripsEndOrTheCapacity) {
    open();
    std::uint32_t count = 0;
    useStrip(3);
    std::vector<ColorantRecord> colours(10);
    ASSERT_EQ(scan(0, 10, count, colours[0].values), Result::Ok);
    EXPECT_EQ(count, 3u);
    EXPECT_DOUBLE_EQ(colours[2].values[0], 52.0);
    EXPECT_EQ(transferRequests(), (Requests{"04ts"}));

    useStrip(12);
    std::vector<ColorantRecord> five(5);
    ASSERT_EQ(scan(0, 5, count, five[0].values), Result::Ok);
    EXPECT_EQ(count, 5u);
    EXPECT_DOUBLE_EQ(five[4].values[1], -6.0);
    // The whole answer was read: the next command starts clean.
    EXPECT_EQ(meterio::Dtp41DefineStrip(m_record, kTenPatches), Result::Ok);

    // More than any strip holds overflows the buffer: read to its end and refused.
    useStrip(800);
    EXPECT_EQ(scan(0, 5, count, five[0].values), Result::NotCompleted);
    EXPECT_EQ(meterio::Dtp41DefineStrip(m_record, kTenPatches), Result::Ok);
}

TEST_F(Dtp41Test, StripTransfersScaleXyzAndRotateDensities) {
    open();
    ASSERT_EQ(meterio::Dtp41SetParam(m_record, {4, 6, 2, METERIO_CS_XYZ}), Result::Ok);
    m_record.colorSpace = METERIO_CS_XYZ;
    useStrip(2);
    std::uint32_t count = 0;
    std::vector<ColorantRecord> colours(2);
    ASSERT_EQ(scan(0, 2, count, colours[0].values), Result::Ok);
    EXPECT_DOUBLE_EQ(colours[1].values[2], 0.23);

    std::vector<ColorantDensityRecord> both(2);
    both[1].colorant.values[3] = 7.0;
    (void)newRequests();
    ASSERT_EQ(scan(2, 2, count, both[0].colorant.values), Result::Ok);
    EXPECT_EQ(transferRequests(), (Requests{"05ts", "00ts"}));
    EXPECT_EQ(count, 2u);
    EXPECT_DOUBLE_EQ(both[1].colorant.values[0], 0.21);
    EXPECT_EQ(both[1].colorant.values[3], 7.0);         // not written
    EXPECT_DOUBLE_EQ(both[1].density.values[0], 0.21);  // d2, d3, d4, d1
    EXPECT_DOUBLE_EQ(both[1].density.values[3], 0.11);

    std::vector<DensityRecord> densities(2);
    ASSERT_EQ(scan(1, 2, count, densities[0].values), Result::Ok);
    EXPECT_DOUBLE_EQ(densities[0].values[2], 0.4);

    std::vector<SpectrumRecord> spectra(2);
    m_sim.pullStrip();
    ASSERT_EQ(meterio::Dtp41ScanStripSpectra(m_record, 2, {}, &count, spectra.data()), Result::Ok);
    EXPECT_EQ(std::tie(spectra[1].start, spectra[1].interval, spectra[1].count),
              std::tuple(400u, 10u, 31u));
    EXPECT_DOUBLE_EQ(spectra[1].values[30], 0.41);

    m_record.colorSpace = METERIO_CS_LCH;
    EXPECT_EQ(meterio::Dtp41ScanStrip(m_record, 0, 2, {}, &count, colours[0].values),
              Result::GeneralFailure);
}

TEST_F(Dtp41Test, ReadBacksAskForOnePatch) {
    open();
    useStrip(3);
    ColorantRecord colour{};
    m_sim.pullStrip();
    ASSERT_EQ(meterio::Dtp41ReadPatch(m_record, 0, 3, 2, {}, colour.values), Result::Ok);
    EXPECT_DOUBLE_EQ(colour.values[0], 52.0);
    EXPECT_EQ(transferRequests(), (Requests{"04003np"}));

    ColorantDensityRecord both{};
    m_sim.pullStrip();
    ASSERT_EQ(meterio::Dtp41ReadPatch(m_record, 2, 3, 2, {}, both.colorant.values), Result::Ok);
    EXPECT_EQ(transferRequests(), (Requests{"04003np", "00003np"}));
    EXPECT_DOUBLE_EQ(both.density.values[3], 0.12);

    SpectrumRecord spectrum{};
    m_sim.pullStrip();
    ASSERT_EQ(meterio::Dtp41ReadPatchSpectrum(m_record, 3, 0, {}, spectrum), Result::Ok);
    EXPECT_DOUBLE_EQ(spectrum.values[0], 0.10);
    (void)newRequests();

    EXPECT_EQ(meterio::Dtp41ReadPatch(m_record, 0, 3, 3, {}, colour.values), Result::OutOfRange);
    EXPECT_EQ(meterio::Dtp41ReadPatchSpectrum(m_record, 3, 3, {}, spectrum), Result::OutOfRange);
    EXPECT_TRUE(newRequests().empty());
}

TEST_F(Dtp41Test, DamagedTransfersFailWithoutACount) {
    open();
    useStrip(4);
    std::vector<ColorantRecord> colours(4);
    struct Case {
        const char* name;
        sim::FaultSpec fault;
        std::string replacedLine;  // for the second patch
        Result expected;
    };
    const Case cases[] = {
        {"garbled line", {Fault::GarbleLine, "04ts", 1}, "", Result::NotCompleted},
        {"two numbers", {}, "51.0 -9.0", Result::NotCompleted},
        {"missing status", {Fault::DropLine, "04ts", 2}, "", Result::GeneralFailure},
        {"hang-up", {Fault::HangUp, "04ts"}, "", Result::CommunicationError},
    };
    for (const Case& c : cases) {
        m_pty.inject(c.fault);
        m_sim.update([&](sim::Dtp41State& s) {
            s.replacedLines.clear();
            if (!c.replacedLine.empty()) s.replacedLines[1] = c.replacedLine;
        });
        std::uint32_t count = 99;
        EXPECT_EQ(scan(0, 4, count, colours[0].values), c.expected) << c.name;
        EXPECT_EQ(count, 99u) << c.name;
    }
}

TEST_F(Dtp41Test, AStripThatStopsAfterSomeLinesIsIncomplete) {
    open();
    m_pty.inject({Fault::CutLines, "04ts", 2});
    // The instrument then reports an unfinished transfer (as it reports a reading in progress).
    m_pty.inject({Fault::ErrorStatus, "xe", 0x14, true});
    std::vector<ColorantRecord> colours(12);
    std::uint32_t count = 99;
    m_sim.pullStrip();
    EXPECT_EQ(meterio::Dtp41ScanStrip(m_record, 0, 12, {}, &count, colours[0].values),
              Result::NotCompleted);
    EXPECT_EQ(count, 99u);
}

TEST_F(Dtp41Test, AMissingPromptIsJudgedByTheStatus) {
    open();
    m_pty.inject({Fault::DropLine, "0317cf", 1});
    const std::uint32_t start = m_clock.tickMs();
    EXPECT_EQ(meterio::Dtp41SetParam(m_record, {4, 6, 2, METERIO_CS_LAB}), Result::Ok);
    EXPECT_GE(m_clock.tickMs() - start, 10000u);
}

TEST_F(Dtp41Test, ReadingsThatFailOrNeverEnd) {
    open();
    FastClock wrapping(50, 0xFFFFC000u);  // the 35 s deadline lies past the wrap
    m_record.clock = &wrapping;
    std::uint8_t taken = 9;
    m_sim.update([](sim::Dtp41State& s) { s.readingCompletes = false; });
    m_sim.pullStrip();
    EXPECT_EQ(meterio::Dtp41WaitReading(m_record, meterio::kNoTimeout, 0, 0, 0, {}, &taken),
              Result::DeviceError);
    EXPECT_EQ(taken, 0);

    // The state wait ends at a completed reading only when state 1 is wanted.
    m_sim.update([](sim::Dtp41State& s) { s.readingCompletes = true; });
    m_sim.pullStrip();
    EXPECT_EQ(meterio::Dtp41WaitReadingState(m_record, meterio::kNoTimeout, 0, 0, 0, 0, {}),
              Result::DeviceError);
    m_sim.pullStrip();
    EXPECT_EQ(meterio::Dtp41WaitReadingState(m_record, meterio::kNoTimeout, 0, 0, 0, 1, {}),
              Result::Ok);

    m_sim.update([](sim::Dtp41State& s) { s.readingStatus = 0x28; });
    m_sim.pullStrip();
    EXPECT_EQ(meterio::Dtp41WaitReading(m_record, meterio::kNoTimeout, 0, 0, 0, {}, &taken),
              Result::MeasurementError);
}

TEST_F(Dtp41Test, ACompletionArrivingInPiecesCounts) {
    open();
    m_sim.update([](sim::Dtp41State& s) { s.endPieces = 6; });
    m_sim.pullStrip();
    std::uint8_t taken = 0;
    EXPECT_EQ(meterio::Dtp41WaitReading(m_record, meterio::kNoTimeout, 0, 0, 0, {}, &taken),
              Result::Ok);
    EXPECT_EQ(taken, 1);
}

TEST_F(Dtp41Test, AStopInEitherPhaseEndsTheWait) {
    open();
    std::uint8_t taken = 9;
    // Idle: the instrument has read nothing.
    int idleCalls = 0;
    EXPECT_EQ(meterio::Dtp41WaitReading(
                  m_record, meterio::kNoTimeout, 0, 0, 0,
                  [&](std::int32_t v) { return v == 0 && ++idleCalls == 3 ? -1 : 0; }, &taken),
              Result::Cancelled);
    EXPECT_EQ(taken, 0);

    // Idle, while an answer to "br" is awaited.
    m_pty.inject({Fault::Silence, "br"});
    EXPECT_EQ(meterio::Dtp41WaitReading(
                  m_record, meterio::kNoTimeout, 0, 0, 0,
                  [](std::int32_t v) { return v == -100 ? -1 : 0; }, &taken),
              Result::Cancelled);

    // Reading: a turn after the reading callback.
    m_sim.update([](sim::Dtp41State& s) { s.readingCompletes = false; });
    m_sim.pullStrip();
    bool reading = false;
    taken = 9;
    EXPECT_EQ(meterio::Dtp41WaitReading(
                  m_record, meterio::kNoTimeout, 0, -1, 1000,
                  [&](std::int32_t v) {
                      if (v == 1000) reading = true;
                      return reading && v == -100 ? -1 : 0;
                  },
                  &taken),
              Result::Cancelled);
    EXPECT_TRUE(reading);
    EXPECT_EQ(taken, 0);

    // A stop asked at the reading callback takes effect once the reading is complete.
    m_sim.update([](sim::Dtp41State& s) { s.readingCompletes = true; });
    m_sim.pullStrip();
    taken = 9;
    EXPECT_EQ(meterio::Dtp41WaitReading(
                  m_record, meterio::kNoTimeout, 0, -1, 1000,
                  [](std::int32_t v) { return v == 1000 ? -1 : 0; }, &taken),
              Result::Cancelled);
    EXPECT_EQ(taken, 0);
}

TEST_F(Dtp41Test, ATimedOutOrClosedLineEndsTheWait) {
    open();
    std::uint8_t taken = 9;
    EXPECT_EQ(meterio::Dtp41WaitReading(m_record, 200, 0, 0, 0, {}, &taken), Result::NotCompleted);
    EXPECT_EQ(taken, 0);
    m_pty.stop();
    EXPECT_EQ(meterio::Dtp41WaitReading(m_record, meterio::kNoTimeout, 0, 0, 0, {}, &taken),
              Result::CommunicationError);
}

TEST_F(Dtp41Test, WhiteCalibrationWaitsForTheReferenceAndEndsTheMode) {
    open();
    m_sim.pullStrip();
    std::vector<std::int32_t> seen;
    EXPECT_EQ(meterio::Dtp41CalibrateWhite(m_record,
                                           [&](std::int32_t v) {
                                               if (v != -100) seen.push_back(v);
                                               return 0;
                                           }),
              Result::Ok);
    EXPECT_EQ(transferRequests(), (Requests{"0113cf", "0000cf"}));
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 10000);
    EXPECT_NE(std::find(seen.begin(), seen.end(), 1000), seen.end());
}
