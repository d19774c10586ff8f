// The monitor reader's serial display instruments through the exported interface: the
// colorimeter (code 1) and the spectrometer (code 2) on their simulators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "meterio32.h"
#include "sim/serial/display_sims.h"
#include "sim/serial/pty_simulator.h"

namespace {

constexpr std::uint32_t kF = METERIO_GENERAL_FAILURE;

TEST(DisplayColorimeterReader, MeasuresAndReportsThroughTheExports) {
    sim::ColorimeterSim colorimeter;
    sim::PtySimulator pty(colorimeter, 4800, "\r");
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});

    ReaderHandle handle = 0;
    ASSERT_EQ(QelMonitorReader_Open(1, "COM101:", 4800, nullptr, &handle), METERIO_OK);
    ColorantRecord colour{};
    ASSERT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_OK);
    EXPECT_NEAR(colour.values[0], 120.0, 1e-3);
    EXPECT_NEAR(colour.values[1], 0.313, 1e-6);
    EXPECT_NEAR(colour.values[2], 0.329, 1e-6);

    // Cells the family answers without the instrument.
    const std::size_t requests = pty.requestCount();
    SpectrumRecord spectrum{};
    EXPECT_EQ(QelMonitorReader_ScanSpectrum(handle, nullptr, &spectrum), kF);
    EXPECT_EQ(QelMonitorReader_CalibrateWhite(handle, nullptr), METERIO_NOT_OFFERED);
    IntegrationRecord integration{1.0, 3};
    EXPECT_EQ(QelMonitorReader_SetParamEx(handle, &integration), METERIO_NOT_OFFERED);
    MeasureParams params{};
    EXPECT_EQ(QelMonitorReader_GetParam(handle, &params), METERIO_OK);
    EXPECT_EQ(params.colorSpace, METERIO_CS_YXY);
    EXPECT_EQ(pty.requestCount(), requests);

    // An error line in the preparation: its code, and the reader stays usable.
    colorimeter.update([](sim::ColorimeterState& s) { s.errorLines["S3&Z"] = "E25"; });
    DeviceInfo info{};
    EXPECT_EQ(QelMonitorReader_GetInfo(handle, &info), METERIO_DEVICE_ERROR);
    colorimeter.update([](sim::ColorimeterState& s) { s.errorLines.clear(); });
    ASSERT_EQ(QelMonitorReader_GetInfo(handle, &info), METERIO_OK);
    DisplayColorimeterInfo view;
    std::memcpy(&view, info.bytes, sizeof view);
    EXPECT_STREQ(view.words[0], "MODE:Yxy");
    EXPECT_STREQ(view.words[9], "SN:00417");

    EXPECT_EQ(QelMonitorReader_Close(handle), METERIO_OK);
    EXPECT_EQ(pty.requests().back(), "H0&F0");
}

TEST(DisplaySpectrometerReader, MeasuresColourAndSpectraThroughTheExports) {
    sim::SpectrometerSim spectrometer;
    sim::PtySimulator pty(spectrometer, 19200, "\n");
    spectrometer.attach(pty);
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});

    ReaderHandle handle = 0;
    ASSERT_EQ(QelMonitorReader_Open(2, nullptr, 0, nullptr, &handle), METERIO_OK);
    EXPECT_TRUE(spectrometer.state().remote);

    const MeasureParams yxy{4, 6, 10, METERIO_CS_YXY};
    ASSERT_EQ(QelMonitorReader_SetParam(handle, &yxy), METERIO_OK);
    ColorantRecord colour{};
    ASSERT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_OK);
    EXPECT_NEAR(colour.values[0], 100.0, 1e-9);
    EXPECT_NEAR(colour.values[1], 0.3127, 1e-9);
    EXPECT_EQ(spectrometer.state().lastData, "BDR,1,1,0");

    SpectrumRecord spectrum{};
    ASSERT_EQ(QelMonitorReader_ScanSpectrum(handle, nullptr, &spectrum), METERIO_OK);
    EXPECT_EQ(spectrum.count, 401u);
    const auto expected = sim::SpectrometerState::defaultSpectrum();
    for (std::size_t i = 0; i < 401; ++i)
        ASSERT_NEAR(spectrum.values[i], expected[i], 1e-9) << i;

    // A learning measurement fixes the time when the instrument's own is longer.
    spectrometer.update([](sim::SpectrometerState& s) { s.learnedSeconds = 2.5; });
    IntegrationRecord integration{0.5, 4};
    ASSERT_EQ(QelMonitorReader_SetParamEx(handle, &integration), METERIO_OK);
    ASSERT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_OK);
    const auto requests = pty.requests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "MMS,3,0.500"), requests.end());

    const std::size_t before = pty.requestCount();
    DeviceInfo info{};
    EXPECT_EQ(QelMonitorReader_GetInfo(handle, &info), METERIO_NOT_OFFERED);
    EXPECT_EQ(QelMonitorReader_CalibrateBlack(handle, nullptr), METERIO_NOT_OFFERED);
    EXPECT_EQ(pty.requestCount(), before);

    EXPECT_EQ(QelMonitorReader_Close(handle), METERIO_OK);
    EXPECT_FALSE(spectrometer.state().remote);
}

// Faults: an error number after "&", a garbled and a truncated reply. A reader of its own, so
// that no late line of the learning measurement above can meet them.
TEST(DisplaySpectrometerReader, ReplyFaultsGiveTheirCodes) {
    sim::SpectrometerSim spectrometer;
    sim::PtySimulator pty(spectrometer, 19200, "\n");
    spectrometer.attach(pty);
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ReaderHandle handle = 0;
    ASSERT_EQ(QelMonitorReader_Open(2, nullptr, 0, nullptr, &handle), METERIO_OK);
    ColorantRecord colour{};
    pty.inject({sim::Fault::ErrorStatus, "&", 12});
    EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_NO_INSTRUMENT);
    pty.inject({sim::Fault::Garble, "&"});
    EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_COMMUNICATION_ERROR);
    pty.inject({sim::Fault::Truncate, "BDR"});
    EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_COMMUNICATION_ERROR);

    EXPECT_EQ(QelMonitorReader_Close(handle), METERIO_OK);
    EXPECT_FALSE(spectrometer.state().remote);
}

}  // namespace
