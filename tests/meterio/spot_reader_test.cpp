// The spot reader family through the exported interface, on all three simulated instruments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "meterio32.h"
#include "platform/module.h"
#include "sim/cscmtlib/sim_cscmtlib.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"

namespace {

constexpr std::uint32_t kNotOffered = METERIO_NOT_OFFERED;
constexpr std::uint32_t kFailure = METERIO_GENERAL_FAILURE;

class SpotReader : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
        ::setenv("QEL_SIM_EYEONE_BUTTON", "0", 1);
    }
    void TearDown() override {
        if (m_handle != 0) {
            EXPECT_EQ(QelSpotReader_Close(m_handle), METERIO_OK);
        }
    }

    // The calls every device code answers the same way.
    void expectSharedAnswers() {
        std::uint32_t version = 0;
        EXPECT_EQ(QelSpotReader_Version(&version), METERIO_OK);
        EXPECT_EQ(version, 400u);
        EXPECT_EQ(QelSpotReader_SetParamEx(m_handle, nullptr), kNotOffered);
        EXPECT_EQ(QelSpotReader_GetParamEx(m_handle, nullptr), kNotOffered);
        EXPECT_EQ(QelSpotReader_ScanSpotColorant(m_handle, nullptr, nullptr), kFailure);
        EXPECT_EQ(QelSpotReader_SetParam(m_handle, nullptr), kFailure);
        // A spot handle means nothing to another family.
        EXPECT_EQ(QelAmbientReader_Close(m_handle), METERIO_BAD_HANDLE);
    }

    ReaderHandle m_handle = 0;
};

}  // namespace

TEST_F(SpotReader, UnknownDeviceCodesFailAndLeaveTheHandleAlone) {
    ReaderHandle handle = 12345;
    EXPECT_EQ(QelSpotReader_Open(3, nullptr, 0, nullptr, &handle), kFailure);
    EXPECT_EQ(QelSpotReader_Open(255, "COM1:", 9600, nullptr, &handle), kFailure);
    EXPECT_EQ(handle, 12345u);
    EXPECT_EQ(QelSpotReader_Close(handle), METERIO_BAD_HANDLE);
    EXPECT_EQ(QelSpotReader_CalibrateWhite(0, nullptr), METERIO_BAD_HANDLE);
}

TEST_F(SpotReader, SpotHeadServesEveryOperationButBlackCalibration) {
    sim::SpotHeadSim head;
    sim::PtySimulator pty(head, 19200);
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});
    const std::string tooLong(40, 'C');
    EXPECT_EQ(QelSpotReader_Open(2, tooLong.c_str(), 0, nullptr, &m_handle), kFailure);
    ASSERT_EQ(QelSpotReader_Open(2, "COM101:", 19200, nullptr, &m_handle), METERIO_OK);
    expectSharedAnswers();

    head.pressKeyAfter(0);
    EXPECT_EQ(QelSpotReader_CalibrateWhite(m_handle, nullptr), METERIO_OK);
    EXPECT_EQ(QelSpotReader_CalibrateBlack(m_handle, nullptr), kFailure);

    ColorantRecord a{}, b{}, c{};
    EXPECT_EQ(QelSpotReader_ScanSpotColorant(m_handle, nullptr, &a), METERIO_OK);
    EXPECT_EQ(QelSpotReader_ScanSpot(m_handle, nullptr, &b), METERIO_OK);
    EXPECT_EQ(QelSpotReader_Scan(m_handle, nullptr, &c), METERIO_OK);
    EXPECT_DOUBLE_EQ(a.values[0], 61.25);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_EQ(std::memcmp(&a, &c, sizeof a), 0);

    DensityRecord d1{}, d2{}, d3{};
    EXPECT_EQ(QelSpotReader_ScanSpotDensity(m_handle, nullptr, &d1), METERIO_OK);
    EXPECT_EQ(QelSpotReader_ScanSpot2(m_handle, nullptr, &d2), METERIO_OK);
    EXPECT_EQ(QelSpotReader_Scan2(m_handle, nullptr, &d3), METERIO_OK);
    EXPECT_DOUBLE_EQ(d1.values[3], 0.11);
    EXPECT_EQ(std::memcmp(&d1, &d3, sizeof d1), 0);

    ColorantDensityRecord both{}, ex{};
    EXPECT_EQ(QelSpotReader_ScanSpotEx(m_handle, nullptr, &both), METERIO_OK);
    EXPECT_EQ(QelSpotReader_ScanEx(m_handle, nullptr, &ex), METERIO_OK);
    EXPECT_EQ(std::memcmp(&both, &ex, sizeof ex), 0);

    head.update([](sim::SpotHeadState& s) { s.spectrum.fill(42.0); });
    SpectrumRecord spectrum{};
    EXPECT_EQ(QelSpotReader_ScanSpotSpectrum(m_handle, nullptr, &spectrum), METERIO_OK);
    EXPECT_EQ(spectrum.count, 36u);
    EXPECT_DOUBLE_EQ(spectrum.values[20], 42.0);  // started by the key: as sent

    const MeasureParams params{4, 6, 2, METERIO_CS_XYZ};
    EXPECT_EQ(QelSpotReader_SetParam(m_handle, &params), METERIO_OK);
    MeasureParams back{};
    EXPECT_EQ(QelSpotReader_GetParam(m_handle, &back), METERIO_OK);
    EXPECT_EQ(std::memcmp(&params, &back, sizeof back), 0);

    DeviceInfo info{};
    EXPECT_EQ(QelSpotReader_GetInfo(m_handle, &info), METERIO_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.bytes), 8), "SPOTHEAD");

    std::uint8_t pressed = 0;
    EXPECT_EQ(QelSpotReader_WaitForKeyInput(m_handle, nullptr, &pressed), METERIO_OK);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(QelSpotReader_WaitForKeyInput2(m_handle, 1, nullptr), METERIO_OK);
    EXPECT_EQ(QelSpotReader_WaitForKeyInput2(m_handle, 2, nullptr), kFailure);

    EXPECT_EQ(QelSpotReader_Close(m_handle), METERIO_OK);
    EXPECT_EQ(QelSpotReader_GetInfo(m_handle, &info), METERIO_BAD_HANDLE);
    m_handle = 0;
}

namespace {

ReaderHandle g_own = 0, g_other = 0;
std::uint32_t g_nestedOwn = METERIO_OK, g_nestedOther = kFailure;

std::int32_t callsIntoReaders(std::int32_t) {
    MeasureParams params{};
    g_nestedOwn = QelSpotReader_GetParam(g_own, &params);
    g_nestedOther = QelSpotReader_GetParam(g_other, &params);
    return 0;
}

}  // namespace

// A nested call would share the head's port and reply buffer with the waiting scan.
TEST_F(SpotReader, ACallbackIsRefusedItsOwnReaderButMayUseAnother) {
    sim::SpotHeadSim head;
    sim::PtySimulator pty(head);
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ASSERT_EQ(QelSpotReader_Open(2, "COM101:", 9600, nullptr, &m_handle), METERIO_OK);
    ASSERT_EQ(QelSpotReader_Open(0, nullptr, 0, nullptr, &g_other), METERIO_OK);
    g_own = m_handle;
    head.pressKeyAfter(2);
    ColorantRecord colour{};
    EXPECT_EQ(QelSpotReader_ScanSpotColorant(m_handle, &callsIntoReaders, &colour), METERIO_OK);
    EXPECT_EQ(g_nestedOwn, kFailure);
    EXPECT_EQ(g_nestedOther, METERIO_OK);
    EXPECT_EQ(QelSpotReader_Close(g_other), METERIO_OK);
}

TEST_F(SpotReader, SpotHeadOpenSearchesWhenNoPortIsGiven) {
    sim::SpotHeadSim head;
    sim::PtySimulator pty(head);
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ASSERT_EQ(QelSpotReader_Open(2, "", 0, nullptr, &m_handle), METERIO_OK);
    EXPECT_EQ(pty.lineBaudRate(), 9600u);
}

TEST_F(SpotReader, CscmtlibInstrumentHasNoSpectrum) {
    platform::Module sim;
    ASSERT_TRUE(sim.load("CSCMTLib.dll"));
    SimCscmtlib_ResetFn reset = nullptr;
    SimCscmtlib_QueuePressFn press = nullptr;
    ASSERT_TRUE(sim.resolve("SimCscmtlib_Reset", reset));
    ASSERT_TRUE(sim.resolve("SimCscmtlib_QueuePress", press));
    reset();

    ReaderHandle untouched = 99;
    EXPECT_EQ(QelSpotReader_Open(1, "COM3", 0, nullptr, &untouched), METERIO_COMMUNICATION_ERROR);
    EXPECT_EQ(untouched, 99u);
    ASSERT_EQ(QelSpotReader_Open(1, "COM3:", 0, nullptr, &m_handle), METERIO_OK);
    expectSharedAnswers();

    SpectrumRecord spectrum{};
    EXPECT_EQ(QelSpotReader_ScanSpotSpectrum(m_handle, nullptr, &spectrum), kNotOffered);
    press(0, 0);
    EXPECT_EQ(QelSpotReader_CalibrateWhite(m_handle, nullptr), METERIO_OK);
    press(0, 0);
    EXPECT_EQ(QelSpotReader_CalibrateBlack(m_handle, nullptr), METERIO_OK);
    press(0, 0);
    ColorantRecord colour{};
    EXPECT_EQ(QelSpotReader_Scan(m_handle, nullptr, &colour), METERIO_OK);
    EXPECT_DOUBLE_EQ(colour.values[0], 52.5);
    press(0, 0);
    DensityRecord density{};
    EXPECT_EQ(QelSpotReader_Scan2(m_handle, nullptr, &density), METERIO_OK);
    EXPECT_DOUBLE_EQ(density.values[0], 0.63);
    MeasureParams params{};
    EXPECT_EQ(QelSpotReader_GetParam(m_handle, &params), METERIO_OK);
    EXPECT_EQ(params.colorSpace, METERIO_CS_LAB);
    press(0, 0);
    EXPECT_EQ(QelSpotReader_WaitForKeyInput2(m_handle, 1, nullptr), METERIO_OK);
}

TEST_F(SpotReader, EyeOneReflectanceDefaultsToLabUnderD50) {
    ASSERT_EQ(QelSpotReader_Open(0, nullptr, 0, nullptr, &m_handle), METERIO_OK);
    expectSharedAnswers();
    MeasureParams params{};
    EXPECT_EQ(QelSpotReader_GetParam(m_handle, &params), METERIO_OK);
    EXPECT_EQ(params.colorSpace, METERIO_CS_LAB);
    EXPECT_EQ(params.illumination, 4u);
    EXPECT_EQ(QelSpotReader_CalibrateBlack(m_handle, nullptr), kNotOffered);
    ColorantRecord a{}, b{};
    EXPECT_EQ(QelSpotReader_ScanSpotColorant(m_handle, nullptr, &a), METERIO_OK);
    EXPECT_EQ(QelSpotReader_ScanSpot(m_handle, nullptr, &b), METERIO_OK);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    SpectrumRecord spectrum{};
    EXPECT_EQ(QelSpotReader_ScanSpotSpectrum(m_handle, nullptr, &spectrum), METERIO_OK);
    EXPECT_EQ(spectrum.start, 380u);
}

TEST_F(SpotReader, MissingVendorLibraryFailsOpen) {
    ::setenv("QEL_MODULE_PATH", "/nonexistent", 1);
    ReaderHandle handle = 7;
    EXPECT_EQ(QelSpotReader_Open(1, "COM3:", 0, nullptr, &handle), METERIO_LIBRARY_NOT_LOADED);
    EXPECT_EQ(handle, 7u);
}
