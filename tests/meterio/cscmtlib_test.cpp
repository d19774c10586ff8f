// The CSCMTLib driver: answer tables, port names, rounding, and its operations against the
// simulated vendor library.
#include "meterio/drivers/cscmtlib.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/module.h"
#include "sim/cscmtlib/sim_cscmtlib.h"
#include "sim/serial/pty_simulator.h"

using meterio::CscmtlibTable;
using meterio::Result;

namespace {

void expectCodes(CscmtlibTable table, std::initializer_list<std::int32_t> codes, Result result) {
    for (std::int32_t code : codes)
        EXPECT_EQ(meterio::mapCscmtlibCode(table, code), result) << "vendor code " << code;
}

void expectParams(meterio::Driver& driver, const MeasureParams& want) {
    MeasureParams got{};
    ASSERT_EQ(driver.getParams(got), Result::Ok);
    EXPECT_EQ(got.densityStandard, want.densityStandard);
    EXPECT_EQ(got.illumination, want.illumination);
    EXPECT_EQ(got.observer, want.observer);
    EXPECT_EQ(got.colorSpace, want.colorSpace);
}

Result portOf(const char* name, std::optional<std::uint32_t>& number) {
    return meterio::parseCscmtlibPort(name, number);
}

}  // namespace

TEST(CscmtlibTables, InitAnswers) {
    expectCodes(CscmtlibTable::O, {0}, Result::Ok);
    expectCodes(CscmtlibTable::O, {1, 2, 67, 128, 135}, Result::CommunicationError);
    expectCodes(CscmtlibTable::O, {133}, Result::NoInstrument);
    expectCodes(CscmtlibTable::O, {134}, Result::NoPort);
    expectCodes(CscmtlibTable::O, {3, 7, 64, -1}, Result::GeneralFailure);
}

TEST(CscmtlibTables, SettingAnswers) {
    expectCodes(CscmtlibTable::G, {7}, Result::BadColorSpace);
    expectCodes(CscmtlibTable::G, {64, 65, 134, 256, 267}, Result::NoInstrument);
    expectCodes(CscmtlibTable::G, {67, 128, 133}, Result::CommunicationError);
    expectCodes(CscmtlibTable::G, {1, 135, 1536}, Result::GeneralFailure);
}

TEST(CscmtlibTables, ButtonAndCalibrationAnswers) {
    expectCodes(CscmtlibTable::W,
                {1, 4, 5, 6, 65, 133, 160, 259, 260, 261, 263, 264, 266, 300, 306, 312, 1536},
                Result::DeviceError);
    expectCodes(CscmtlibTable::W, {64, 134, 256, 267}, Result::NoInstrument);
    expectCodes(CscmtlibTable::W, {70, 128, 131, 132, 135}, Result::CommunicationError);
    expectCodes(CscmtlibTable::W, {2, 7, 262}, Result::GeneralFailure);
}

TEST(CscmtlibTables, MeasurementAnswers) {
    expectCodes(
        CscmtlibTable::M,
        {7, 64, 67, 70, 131, 132, 133, 135, 257, 259, 260, 261, 262, 263, 300, 306, 307, 312},
        Result::DeviceError);
    expectCodes(CscmtlibTable::M, {128}, Result::CommunicationError);
    expectCodes(CscmtlibTable::M, {134, 256}, Result::NoInstrument);
    expectCodes(CscmtlibTable::M, {1, 65, 1536}, Result::GeneralFailure);
}

TEST(CscmtlibPortName, ComDigitsAndColonGiveThePortNumber) {
    std::optional<std::uint32_t> n;
    EXPECT_EQ(portOf("COM12:", n), Result::Ok);
    EXPECT_EQ(n, 12u);
    EXPECT_EQ(portOf("com3:", n), Result::Ok);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(portOf(nullptr, n), Result::Ok);
    EXPECT_FALSE(n);
    EXPECT_EQ(portOf("", n), Result::Ok);
    EXPECT_FALSE(n);
    for (const char* bad :
         {"COM12", "LPT1:", "COM1a:", "COM:", " COM1:", "CON1:", "COM000000000000000000000000012:"})
        EXPECT_EQ(portOf(bad, n), Result::CommunicationError) << bad;
}

TEST(CscmtlibLab, RangeIsCheckedBeforeRoundingToFourDecimals) {
    EXPECT_EQ(meterio::roundLabValue(99.99996, 0, 100), 100.0);
    EXPECT_FALSE(meterio::roundLabValue(100.00001, 0, 100));
    EXPECT_FALSE(meterio::roundLabValue(-0.00001, 0, 100));
    EXPECT_NEAR(*meterio::roundLabValue(50.12344, 0, 100), 50.1234, 1e-12);
    EXPECT_NEAR(*meterio::roundLabValue(-7.77776, -128, 128), -7.7778, 1e-12);
    EXPECT_NEAR(*meterio::roundLabValue(-128.0, -128, 128), -128.0, 1e-12);
    EXPECT_FALSE(meterio::roundLabValue(128.0001, -128, 128));
    EXPECT_FALSE(meterio::roundLabValue(std::nan(""), -128, 128));
}

namespace {

// The driver bound to the simulated vendor library, with the test's own handle on it.
class CscmtlibDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
        ASSERT_TRUE(m_sim.load("CSCMTLib.dll"));
        m_sim.resolve("SimCscmtlib_Reset", m_reset);
        m_sim.resolve("SimCscmtlib_SetAnswer", m_setAnswer);
        m_sim.resolve("SimCscmtlib_SetPort", m_setPort);
        m_sim.resolve("SimCscmtlib_QueuePress", m_press);
        m_sim.resolve("SimCscmtlib_SetConverted", m_setConverted);
        m_sim.resolve("SimCscmtlib_CallCount", m_calls);
        m_sim.resolve("SimCscmtlib_LastArgument", m_lastArgument);
        ASSERT_NE(m_lastArgument, nullptr);
        m_reset();
        m_driver = meterio::makeCscmtlibDriver();
        ASSERT_EQ(m_driver->bind(), Result::Ok);
    }

    void TearDown() override {
        if (m_driver) (void)m_driver->releaseLibrary();
    }

    Result open(const char* port, ProgressCallback callback = nullptr) {
        meterio::Progress progress(callback);
        meterio::OpenArgs args;
        if (port != nullptr) args.portName = port;
        return m_driver->open(args, progress);
    }

    platform::Module m_sim;
    SimCscmtlib_ResetFn m_reset = nullptr;
    SimCscmtlib_SetAnswerFn m_setAnswer = nullptr;
    SimCscmtlib_SetPortFn m_setPort = nullptr;
    SimCscmtlib_QueuePressFn m_press = nullptr;
    SimCscmtlib_SetConvertedFn m_setConverted = nullptr;
    SimCscmtlib_CallCountFn m_calls = nullptr;
    SimCscmtlib_LastArgumentFn m_lastArgument = nullptr;
    std::unique_ptr<meterio::Driver> m_driver;
};

}  // namespace

TEST_F(CscmtlibDriverTest, OpenWithAPortNameInitialisesThatPortAndSetsDefaults) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    EXPECT_EQ(m_lastArgument("CSDInit"), 3);
    EXPECT_EQ(m_calls("CSDReset"), 1u);
    // Defaults: D50 (3) with the 2 degree observer.
    EXPECT_EQ(m_lastArgument("CSDSetWhitePoint"), 0x10000003);
    expectParams(*m_driver, {4, 4, 2, METERIO_CS_LAB});
    EXPECT_EQ(m_driver->close(), Result::Ok);
}

TEST_F(CscmtlibDriverTest, OpenFailuresCloseTheVendorLibrary) {
    EXPECT_EQ(open("COM12"), Result::CommunicationError);
    EXPECT_EQ(m_calls("CSDClose"), 1u);
    EXPECT_EQ(open("COM4:"), Result::NoInstrument);  // the instrument hangs on 3
    EXPECT_EQ(m_calls("CSDClose"), 2u);
    m_setAnswer("CSDInit", 134);
    EXPECT_EQ(open("COM3:"), Result::NoPort);
    m_setAnswer("CSDInit", 0);
    m_setAnswer("CSDReset", 65);
    EXPECT_EQ(open("COM3:"), Result::NoInstrument);
    m_setAnswer("CSDReset", 0);
    m_setAnswer("CSDSetMode", 128);
    EXPECT_EQ(open("COM3:"), Result::DeviceError);
    EXPECT_EQ(m_calls("CSDClose"), 5u);
    m_setAnswer("CSDOpen", 0);
    EXPECT_EQ(open("COM3:"), Result::CommunicationError);
    EXPECT_EQ(m_calls("CSDClose"), 5u);
}

TEST_F(CscmtlibDriverTest, OpenWithoutANameSearchesTheListedPorts) {
    sim::SerialPortsEnvironment env({"/dev/pts/901", "/dev/pts/902"});
    m_setPort(102);
    ASSERT_EQ(open(nullptr), Result::Ok);
    EXPECT_EQ(m_calls("CSDInit"), 2u);
    EXPECT_EQ(m_calls("CSDOpen"), 2u);  // reopened after the first port failed
    EXPECT_EQ(m_lastArgument("CSDInit"), 102);

    m_setPort(5);
    EXPECT_EQ(open(""), Result::NoInstrument);
    sim::SerialPortsEnvironment none({});
    EXPECT_EQ(open(nullptr), Result::NoPort);
}

TEST_F(CscmtlibDriverTest, OpenIsCancelledByAnyNonZeroAnswer) {
    EXPECT_EQ(open("COM3:", [](std::int32_t) { return 1; }), Result::Cancelled);
    EXPECT_EQ(m_calls("CSDOpen"), 0u);
    static int calls;
    calls = 0;
    EXPECT_EQ(open("COM3:", [](std::int32_t) { return ++calls == 4 ? 5 : 0; }), Result::Cancelled);
    EXPECT_EQ(m_calls("CSDClose"), 1u);
}

TEST_F(CscmtlibDriverTest, ParametersAreConvertedToVendorCodes) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    EXPECT_EQ(m_driver->setParams({1, 2, 2, METERIO_CS_LAB}), Result::BadIllumination);
    EXPECT_EQ(m_driver->setParams({1, 6, 4, METERIO_CS_LAB}), Result::BadObserver);
    EXPECT_EQ(m_driver->setParams({5, 6, 2, METERIO_CS_LAB}), Result::BadDensityStandard);
    EXPECT_EQ(m_driver->setParams({1, 6, 2, 0x12345678}), Result::BadColorSpace);
    m_setAnswer("CSCCCanConvert", 0);
    EXPECT_EQ(m_driver->setParams({1, 6, 2, METERIO_CS_XYZ}), Result::BadColorSpace);
    m_setAnswer("CSCCCanConvert", 1);

    ASSERT_EQ(m_driver->setParams({2, 27, 10, METERIO_CS_LCH}), Result::Ok);
    EXPECT_EQ(m_lastArgument("CSDSetWhitePoint"), 0x20000009);
    EXPECT_EQ(m_lastArgument("CSCCCanConvert"), 0x4C636820);  // "Lch "
    expectParams(*m_driver, {2, 27, 10, METERIO_CS_LCH});

    m_setAnswer("CSDSetWhitePoint", 7);
    EXPECT_EQ(m_driver->setParams({1, 6, 2, METERIO_CS_XYZ}), Result::BadColorSpace);
    // The refused setting left the stored ones alone.
    expectParams(*m_driver, {2, 27, 10, METERIO_CS_LCH});
}

TEST_F(CscmtlibDriverTest, ColourReadsAreConvertedAndLabIsRounded) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    meterio::Progress quiet(nullptr);
    m_press(1, 0);
    m_setConverted(99.99996, -11.23456, 33.0);
    ColorantRecord colour{{0, 0, 0, -5}};
    ASSERT_EQ(m_driver->readValues({1, meterio::kReadColorant}, quiet, &colour), Result::Ok);
    EXPECT_DOUBLE_EQ(colour.values[0], 100.0);
    EXPECT_NEAR(colour.values[1], -11.2346, 1e-12);
    EXPECT_EQ(colour.values[3], -5);
    EXPECT_EQ(m_lastArgument("CSCCConvertMeas"), 0x4C616220);

    m_press(0, 0);
    m_setConverted(100.001, 0, 0);
    EXPECT_EQ(m_driver->readValues({1, meterio::kReadColorant}, quiet, &colour),
              Result::NotCompleted);

    ASSERT_EQ(m_driver->setParams({4, 4, 2, METERIO_CS_XYZ}), Result::Ok);
    m_press(0, 0);
    m_setConverted(120.5, 130.25, 140.125);
    ASSERT_EQ(m_driver->readValues({1, meterio::kReadColorant}, quiet, &colour), Result::Ok);
    EXPECT_EQ(colour.values[0], 120.5);
    EXPECT_EQ(colour.values[2], 140.125);
}

TEST_F(CscmtlibDriverTest, DensityReadsTakeValuesThreeTwoOneFourAndRestoreColourData) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    meterio::Progress quiet(nullptr);
    m_press(0, 0);
    DensityRecord density{};
    ASSERT_EQ(m_driver->readValues({1, meterio::kReadDensity}, quiet, &density), Result::Ok);
    EXPECT_DOUBLE_EQ(density.values[0], 0.63);
    EXPECT_DOUBLE_EQ(density.values[1], 0.52);
    EXPECT_DOUBLE_EQ(density.values[2], 0.41);
    EXPECT_DOUBLE_EQ(density.values[3], 0.74);
    EXPECT_EQ(m_lastArgument("CSDSetMesData"), 2);

    m_press(0, 0);
    ColorantDensityRecord both{};
    ASSERT_EQ(m_driver->readValues({1, meterio::kReadBoth}, quiet, &both), Result::Ok);
    EXPECT_DOUBLE_EQ(both.colorant.values[0], 52.5);
    EXPECT_DOUBLE_EQ(both.density.values[3], 0.74);
    EXPECT_EQ(m_calls("CSDMeasure"), 3u);

    // A failed density measurement still puts the instrument back into colour data mode.
    m_press(0, 0);
    m_setAnswer("CSDMeasure", 128);
    EXPECT_EQ(m_driver->readValues({1, meterio::kReadDensity}, quiet, &density),
              Result::CommunicationError);
    EXPECT_EQ(m_lastArgument("CSDSetMesData"), 2);
    m_press(0, 0);
    EXPECT_EQ(m_driver->readValues({1, 3}, quiet, &density), Result::GeneralFailure);
}

TEST_F(CscmtlibDriverTest, ButtonWaitsMapTheAnswerAndHonourTheirCancelRules) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    meterio::Progress quiet(nullptr);
    std::uint8_t pressed = 9;
    m_press(2, 0);
    ASSERT_EQ(m_driver->waitForKey({meterio::kNoTimeout, 0, 0}, quiet, &pressed), Result::Ok);
    EXPECT_EQ(pressed, 1);
    m_press(0, 1536);
    EXPECT_EQ(m_driver->waitForKey({meterio::kNoTimeout, 0, 0}, quiet, &pressed),
              Result::DeviceError);
    EXPECT_EQ(pressed, 0);
    meterio::Progress goOn([](std::int32_t) { return 1; });
    EXPECT_EQ(m_driver->waitForKey({meterio::kNoTimeout, 0, 0}, goOn, &pressed), Result::Cancelled);

    // The second wait ignores a press of the other kind, and only -1 cancels it.
    m_press(1, 5);
    m_press(1, 0);
    EXPECT_EQ(m_driver->waitForKeyState({meterio::kNoTimeout, 0, 1}, goOn), Result::Ok);
    EXPECT_EQ(m_calls("CSDButtonPressed"), 9u);
    meterio::Progress stop([](std::int32_t) { return -1; });
    EXPECT_EQ(m_driver->waitForKeyState({meterio::kNoTimeout, 0, 0}, stop), Result::Cancelled);
    EXPECT_EQ(m_driver->waitForKeyState({meterio::kNoTimeout, 0, 2}, goOn), Result::GeneralFailure);
}

TEST_F(CscmtlibDriverTest, CalibrationsWaitForTheButtonAndReportProgress) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    static std::vector<std::int32_t> seen;
    seen.clear();
    meterio::Progress record([](std::int32_t v) {
        seen.push_back(v);
        return 0;
    });
    m_press(0, 0);
    ASSERT_EQ(m_driver->calibrateWhite({}, record), Result::Ok);
    EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 1000, 4000, 10000}));
    EXPECT_EQ(m_calls("CSDCalibrateWhite"), 1u);
    m_press(0, 0);
    m_setAnswer("CSDCalibrateBlack", 260);
    EXPECT_EQ(m_driver->calibrateBlack(record), Result::DeviceError);
    m_press(0, 0);
    m_setAnswer("CSDSetAutoButtonMode", 64);
    EXPECT_EQ(m_driver->calibrateWhite({}, record), Result::DeviceError);
}

TEST_F(CscmtlibDriverTest, InformationHoldsShellColourUnitAndFiftyBytesOfModel) {
    ASSERT_EQ(open("COM3:"), Result::Ok);
    DeviceInfo info;
    std::memset(&info, 0xAB, sizeof info);
    ASSERT_EQ(m_driver->getInfo(info), Result::Ok);
    std::uint32_t words[2];
    std::memcpy(words, info.bytes, sizeof words);
    EXPECT_EQ(words[0], 0x00C0FFEEu);
    EXPECT_EQ(words[1], 4711u);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(info.bytes + 8), 50),
        std::string("CS-SIM Reflective Spot Colorimeter with a model name longer").substr(0, 50));
    m_setAnswer("CSDGetUnitID", 128);
    EXPECT_EQ(m_driver->getInfo(info), Result::DeviceError);
}

namespace {

// Every look at the clock moves it on by ten seconds; sleeps and beeps are counted.
class LeapingClock final : public platform::Clock {
public:
    std::uint32_t tickMs() override { return m_now += 10000; }
    void sleepMs(std::uint32_t) override { ++sleeps; }
    void beep() override { ++beeps; }
    int sleeps = 0;
    int beeps = 0;

private:
    std::uint32_t m_now = 0;
};

}  // namespace

TEST_F(CscmtlibDriverTest, ATimedButtonWaitRearmsTheButtonModeAndBeepsOnAPress) {
    LeapingClock clock;
    m_driver = meterio::makeCscmtlibDriver(clock);
    ASSERT_EQ(m_driver->bind(), Result::Ok);
    ASSERT_EQ(open("COM3:"), Result::Ok);
    const std::uint32_t armedAtOpen = m_calls("CSDSetAutoButtonMode");
    meterio::Progress quiet(nullptr);
    // A read waits 30 s at a time; the ten unpressed polls span 100 s after the start: two
    // time-outs, each rearming the button mode.
    m_press(10, 0);
    ColorantRecord colour{};
    ASSERT_EQ(m_driver->readValues({1, meterio::kReadColorant}, quiet, &colour), Result::Ok);
    EXPECT_EQ(m_calls("CSDSetAutoButtonMode") - armedAtOpen, 2u);
    EXPECT_EQ(clock.sleeps, 10);
    EXPECT_EQ(clock.beeps, 1);
    // Rearming fails: the wait ends with a device error.
    m_setAnswer("CSDSetAutoButtonMode", 128);
    m_press(10, 0);
    EXPECT_EQ(m_driver->readValues({1, meterio::kReadColorant}, quiet, &colour),
              Result::DeviceError);
    EXPECT_EQ(clock.beeps, 1);
}

TEST(CscmtlibBinding, MissingLibraryOrEntryPointFailsToBind) {
    ::setenv("QEL_MODULE_PATH", "/nonexistent", 1);
    EXPECT_EQ(meterio::makeCscmtlibDriver()->bind(), Result::LibraryNotLoaded);
    ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR "-cscmtlib-incomplete", 1);
    EXPECT_EQ(meterio::makeCscmtlibDriver()->bind(), Result::EntryPointMissing);
    ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
}
