// The ambient reader through the exported interface, against the simulated EyeOne.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "chromel32.h"
#include "meterio32.h"
#include "tests/meterio/eye_one_sim.h"

namespace {

using testing_sim::AmbientTest;
using testing_sim::kF;
using testing_sim::scripted;

constexpr MeasureParams kProgramParams{4, 6, 2, METERIO_CS_XYZ};
constexpr double kSentinel = -7.25;

TEST_F(AmbientTest, FullRoadMeasuresTheConfiguredLight) {
    sim.configure("SOURCE", "A");
    sim.configure("LUX", "420");
    openOrFail();
    EXPECT_EQ(sim.option("MeasurementMode"), "SingleAmbientLight");
    EXPECT_EQ(sim.option("Colorimetric.WhiteBase"), "Absolute");

    EXPECT_EQ(QelAmbientReader_SetParam(handle, &kProgramParams), METERIO_OK);
    EXPECT_EQ(sim.option("Colorimetric.Illumination"), "Emission");
    EXPECT_EQ(sim.option("ColorSpaceDescription.Type"), "CIEXYZ");

    script.pressAt = 2;
    ASSERT_EQ(QelAmbientReader_Calibrate(handle, scripted), METERIO_OK);
    EXPECT_EQ(script.seen, (std::vector<int32_t>{0, 0, 0, 0, 1000, 10000}));
    EXPECT_EQ(sim.calls("I1_Calibrate"), 1u);

    SpectrumRecord spectrum;
    for (double& v : spectrum.values)
        v = kSentinel;
    script = {};
    script.pressAt = 1;
    ASSERT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_OK);
    EXPECT_EQ(script.seen, (std::vector<int32_t>{0, -1, -1, 1000, 10000}));
    EXPECT_EQ(spectrum.start, 380u);
    EXPECT_EQ(spectrum.interval, 10u);
    EXPECT_EQ(spectrum.count, 36u);
    for (int i = 36; i < QEL_SPECTRUM_SLOTS; ++i)
        ASSERT_EQ(spectrum.values[i], kSentinel) << i;
    double lux = 0.0;
    QelColor_Spectrum2IlluminanceAmb(&spectrum, 2, &lux);
    EXPECT_NEAR(lux, 420.0, 0.01);
    // Illuminant A rises steadily towards the red.
    EXPECT_LT(spectrum.values[0], spectrum.values[35]);

    DeviceInfo info;
    std::memset(&info, 0xAB, sizeof info);
    ASSERT_EQ(QelAmbientReader_GetInfo(handle, &info), METERIO_OK);
    EXPECT_EQ(info.eyeOne.libraryVersion, 213u);
    EXPECT_EQ(info.eyeOne.serialNumber, 104562u);
    EXPECT_EQ(info.eyeOne.physicalFilter, 1u);
    EXPECT_EQ(info.eyeOne.deviceKind, 1u);
    EXPECT_EQ(info.bytes[16], 0xAB) << "only the EyeOne words are written";

    MeasureParams params{};
    ASSERT_EQ(QelAmbientReader_GetParam(handle, &params), METERIO_OK);
    EXPECT_EQ(params.densityStandard, 4u);
    EXPECT_EQ(params.illumination, 6u);
    EXPECT_EQ(params.observer, 2u);
    EXPECT_EQ(params.colorSpace, METERIO_CS_XYZ);

    EXPECT_EQ(QelAmbientReader_Close(handle), METERIO_OK);
    EXPECT_EQ(QelAmbientReader_Close(handle), METERIO_BAD_HANDLE);
    EXPECT_EQ(QelAmbientReader_GetParam(handle, &params), METERIO_BAD_HANDLE);
    handle = 0;
}

TEST_F(AmbientTest, SpectrumFileIsResampledAndScaledToTheIlluminance) {
    const std::string path = ::testing::TempDir() + "/flat_light.txt";
    {
        std::ofstream file(path);
        file << "# a flat light\n300, 2.0\n550 2.0\n800\t2.0\n";
    }
    sim.configure("SOURCE", path);
    sim.configure("LUX", "250");
    openOrFail();
    SpectrumRecord spectrum{};
    script.pressAt = 1;
    ASSERT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_OK);
    double lux = 0.0;
    QelColor_Spectrum2IlluminanceAmb(&spectrum, 2, &lux);
    EXPECT_NEAR(lux, 250.0, 0.01);
    EXPECT_NEAR(spectrum.values[0], spectrum.values[35], 1e-6 * spectrum.values[0]);

    // A source that cannot be read makes every measurement fail as a device error.
    sim.configure("SOURCE", ::testing::TempDir() + "/no_such_light.txt");
    script = {};
    script.pressAt = 1;
    EXPECT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_DEVICE_ERROR);
}

TEST_F(AmbientTest, FineSpectrumFilesPassThroughTheTenNanometreBand) {
    // A line at 435 nm between the 430 and 440 nm points: at 1 nm it reaches both through the
    // triangle (weight 1/2 of 10 each), at 10 nm steps the file is taken as it stands.
    struct Case {
        int stepNm;
        double ratio;  // reading at 430 nm over the reading at 450 nm
    } const cases[] = {{1, 6.0}, {5, 1.0 + 100.0 / 4}, {10, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stepNm);
        const std::string path = ::testing::TempDir() + "/line_light.txt";
        {
            std::ofstream file(path);
            for (int nm = 370; nm <= 740; nm += c.stepNm)
                file << nm << ' ' << (nm == 435 ? 101.0 : 1.0) << '\n';
        }
        sim.configure("SOURCE", path);  // before opening: a reset forgets the mode
        openOrFail();
        script = {};
        script.pressAt = 1;
        SpectrumRecord spectrum{};
        ASSERT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_OK);
        EXPECT_NEAR(spectrum.values[5] / spectrum.values[7], c.ratio, 1e-5);  // 430 / 450 nm
        EXPECT_NEAR(spectrum.values[6] / spectrum.values[7], c.ratio, 1e-5);  // 440 / 450 nm
        EXPECT_EQ(QelAmbientReader_Close(handle), METERIO_OK);
        handle = 0;
    }
}

TEST_F(AmbientTest, PressBeforeTheCallDoesNotCount) {
    openOrFail();
    sim.press();
    script.pressAt = 3;
    ASSERT_EQ(QelAmbientReader_Calibrate(handle, scripted), METERIO_OK);
    EXPECT_EQ(std::count(script.seen.begin(), script.seen.end(), 0), 5);

    sim.press();
    script = {};
    script.pressAt = 2;
    SpectrumRecord spectrum{};
    ASSERT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_OK);
    EXPECT_EQ(std::count(script.seen.begin(), script.seen.end(), -1), 3);
}

TEST_F(AmbientTest, CancelAtEveryCallbackPointLeavesTheReaderUsable) {
    openOrFail();
    // Calibrate calls back: 0 per idle poll (press on the second), 0 for the press, 1000, 10000.
    for (int at = 0; at < 5; ++at) {
        script = {};
        script.pressAt = 1;
        script.cancelAt = at;
        EXPECT_EQ(QelAmbientReader_Calibrate(handle, scripted), METERIO_CANCELLED) << at;
        EXPECT_EQ(script.seen.size(), static_cast<size_t>(at + 1));
    }
    // ScanSpectrum: 0, -1 per idle poll, -1 for the press, 1000, 10000.
    for (int at = 0; at < 5; ++at) {
        script = {};
        script.pressAt = 1;
        script.cancelAt = at;
        script.cancelAnswer = at % 2 == 0 ? 1 : -5;  // any non-zero answer cancels
        SpectrumRecord spectrum{};
        EXPECT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_CANCELLED)
            << at;
    }
    // The first answer cancels before the instrument is asked anything but one button poll.
    const uint32_t triggers = sim.calls("I1_TriggerMeasurement");
    const uint32_t polls = sim.calls("I1_KeyPressed");
    script = {};
    script.cancelAt = 0;
    ColorantRecord colour{};
    EXPECT_EQ(QelAmbientReader_ScanColorant(handle, scripted, &colour), METERIO_CANCELLED);
    EXPECT_EQ(sim.calls("I1_KeyPressed"), polls + 1);
    EXPECT_EQ(sim.calls("I1_TriggerMeasurement"), triggers);

    script = {};
    script.pressAt = 0;
    SpectrumRecord spectrum{};
    EXPECT_EQ(QelAmbientReader_Calibrate(handle, scripted), METERIO_OK);
    script = {};
    script.pressAt = 1;
    EXPECT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_OK);
    EXPECT_EQ(spectrum.count, 36u);
}

TEST_F(AmbientTest, CancelDuringOpenLeavesNoReader) {
    for (int at = 0; at < 9; ++at) {
        script = {};
        script.cancelAt = at;
        ReaderHandle h = 77;
        EXPECT_EQ(QelAmbientReader_Open(0, nullptr, 0, scripted, &h), METERIO_CANCELLED) << at;
        EXPECT_EQ(h, 77u);
    }
    script = {};
    ASSERT_EQ(QelAmbientReader_Open(0, nullptr, 0, scripted, &handle), METERIO_OK);
    EXPECT_EQ(script.seen, std::vector<int32_t>(9, -1));
}

TEST_F(AmbientTest, ColourValuesInXyzArriveInHundredthsOthersAsDelivered) {
    sim.configure("LUX", "300");
    openOrFail();
    ColorantRecord colour;
    for (double& v : colour.values)
        v = kSentinel;
    sim.press();
    script.pressAt = 1;
    ASSERT_EQ(QelAmbientReader_ScanColorant(handle, scripted, &colour), METERIO_OK);
    EXPECT_NEAR(colour.values[1], 300.0, 0.5);  // Y of the light, in lux
    EXPECT_EQ(colour.values[3], kSentinel);

    const MeasureParams lab{4, 6, 2, METERIO_CS_LAB};
    ASSERT_EQ(QelAmbientReader_SetParam(handle, &lab), METERIO_OK);
    script = {};
    script.pressAt = 1;
    ASSERT_EQ(QelAmbientReader_ScanColorant(handle, scripted, &colour), METERIO_OK);
    EXPECT_EQ(colour.values[0], 50.0);
    EXPECT_EQ(colour.values[1], 10.0);
    EXPECT_EQ(colour.values[2], -20.0);
    EXPECT_EQ(colour.values[3], kSentinel);
}

TEST_F(AmbientTest, XyzInAmbientModeWritesEmissionAndReportsTheIlluminantSet) {
    openOrFail();
    const MeasureParams d50Xyz{4, 4, 2, METERIO_CS_XYZ};
    ASSERT_EQ(QelAmbientReader_SetParam(handle, &d50Xyz), METERIO_OK);
    EXPECT_EQ(sim.option("Colorimetric.Illumination"), "Emission");
    MeasureParams back{};
    ASSERT_EQ(QelAmbientReader_GetParam(handle, &back), METERIO_OK);
    EXPECT_EQ(back.illumination, 4u);

    const MeasureParams d50Yxy{4, 4, 10, METERIO_CS_YXY};
    ASSERT_EQ(QelAmbientReader_SetParam(handle, &d50Yxy), METERIO_OK);
    EXPECT_EQ(sim.option("Colorimetric.Illumination"), "Emission");
    EXPECT_EQ(sim.option("Colorimetric.Observer"), "TenDegree");

    const MeasureParams d55Lab{1, 5, 2, METERIO_CS_LAB};
    ASSERT_EQ(QelAmbientReader_SetParam(handle, &d55Lab), METERIO_OK);
    EXPECT_EQ(sim.option("Colorimetric.Illumination"), "D55");
    EXPECT_EQ(sim.option("Colorimetric.DensityStandard"), "ANSIA");
    ASSERT_EQ(QelAmbientReader_GetParam(handle, &back), METERIO_OK);
    EXPECT_EQ(back.densityStandard, 1u);
    EXPECT_EQ(back.illumination, 5u);
    EXPECT_EQ(back.colorSpace, METERIO_CS_LAB);
}

// Fields are written as their options convert; an unreadable one stops the read there.
TEST_F(AmbientTest, UnreadableOptionStopsGetParamAfterTheFieldsBeforeIt) {
    openOrFail();
    sim.configure("NULL", "Colorimetric.Observer");  // options back to the instrument's own
    MeasureParams back{99, 99, 99, 99};
    EXPECT_EQ(QelAmbientReader_GetParam(handle, &back), kF);
    EXPECT_EQ(back.densityStandard, 4u);
    EXPECT_EQ(back.illumination, 4u);
    EXPECT_EQ(back.observer, 99u);
    EXPECT_EQ(back.colorSpace, 99u);
}

TEST_F(AmbientTest, UnsupportedParameterValuesAreRefusedWithTheirCodes) {
    openOrFail();
    const uint32_t writes = sim.calls("I1_SetOption");
    const struct {
        MeasureParams params;
        uint32_t code;
    } cases[] = {
        {{2, 6, 2, METERIO_CS_XYZ}, METERIO_BAD_DENSITY_STANDARD},  // status E: not offered
        {{4, 8, 2, METERIO_CS_XYZ}, METERIO_BAD_ILLUMINATION},
        {{4, 6, 4, METERIO_CS_XYZ}, METERIO_BAD_OBSERVER},
        {{4, 6, 2, 0x52474220u}, METERIO_BAD_COLOR_SPACE},  // "RGB "
    };
    for (const auto& c : cases)
        EXPECT_EQ(QelAmbientReader_SetParam(handle, &c.params), c.code);
    EXPECT_EQ(sim.calls("I1_SetOption"), writes) << "refused before writing anything";
}

TEST_F(AmbientTest, OldLibrarySkipsKindAndModeChecksAndRefusesFluorescents) {
    sim.configure("VERSION", "EyeOne 1.9.9");
    sim.configure("DEVICE_TYPE", "SomethingElse");
    sim.configure("MODES", "SingleReflectance");
    openOrFail();
    // Identity is read through I1_GetDeviceInfo: the version at bind, serial number and filter.
    EXPECT_EQ(sim.calls("I1_GetDeviceInfo"), 3u);
    for (uint32_t fluorescent : {18u, 23u, 27u}) {
        const MeasureParams p{4, fluorescent, 2, METERIO_CS_LAB};
        EXPECT_EQ(QelAmbientReader_SetParam(handle, &p), METERIO_BAD_ILLUMINATION);
    }
    DeviceInfo info{};
    ASSERT_EQ(QelAmbientReader_GetInfo(handle, &info), METERIO_OK);
    EXPECT_EQ(info.eyeOne.libraryVersion, 199u);
    EXPECT_EQ(info.eyeOne.deviceKind, 1u);
}

TEST_F(AmbientTest, RecentLibraryChecksKindAndModeAndAcceptsFluorescents) {
    sim.configure("VERSION", "EyeOne 2.0.0");
    sim.configure("DEVICE_TYPE", "EyeOneDisplay");
    EXPECT_EQ(open(), METERIO_NO_INSTRUMENT);
    sim.configure("DEVICE_TYPE", "EyeOne");
    sim.configure("MODES", "SingleEmission,SingleReflectance");
    EXPECT_EQ(open(), METERIO_NO_INSTRUMENT);
    sim.configure("MODES", "SingleAmbientLight");
    openOrFail();
    EXPECT_EQ(sim.calls("I1_GetDeviceInfo"), 1u) << "identity is read as options from 200 on";
    const MeasureParams f11{4, 27, 2, METERIO_CS_LAB};
    EXPECT_EQ(QelAmbientReader_SetParam(handle, &f11), METERIO_OK);
    EXPECT_EQ(sim.option("Colorimetric.Illumination"), "F11");
    MeasureParams back{};
    ASSERT_EQ(QelAmbientReader_GetParam(handle, &back), METERIO_OK);
    EXPECT_EQ(back.illumination, 27u);
}

TEST_F(AmbientTest, IdentityThatCannotBeReadRefusesTheInstrument) {
    const struct {
        const char* variable;
        const char* value;
        uint32_t code;
    } cases[] = {
        {"NULL", "SerialNumber", METERIO_NO_INSTRUMENT},
        {"NULL", "DeviceType", METERIO_NO_INSTRUMENT},
        {"NULL", "AvailableMeasurementModes", METERIO_NO_INSTRUMENT},
        {"FILTER", "0", METERIO_NO_INSTRUMENT},
        {"FILTER", "3", METERIO_NO_INSTRUMENT},
        {"ERRORS", "I1_IsConnected=2", METERIO_NO_INSTRUMENT},
        {"ERRORS", "I1_IsConnected=1", METERIO_COMMUNICATION_ERROR},
        {"VERSION", "EyeOne", METERIO_DEVICE_ERROR},
        {"NULL", "Version", METERIO_DEVICE_ERROR},
    };
    for (const auto& c : cases) {
        testing_sim::SimEyeOne fresh;
        fresh.configure(c.variable, c.value);
        ReaderHandle h = 55;
        EXPECT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &h), c.code) << c.value;
        EXPECT_EQ(h, 55u);
    }
    testing_sim::SimEyeOne fresh;
    fresh.configure("FILTER", "2");
    openOrFail();
    DeviceInfo info{};
    ASSERT_EQ(QelAmbientReader_GetInfo(handle, &info), METERIO_OK);
    EXPECT_EQ(info.eyeOne.physicalFilter, 2u);
    fresh.configure("NULL", "SerialNumber");
    EXPECT_EQ(QelAmbientReader_GetInfo(handle, &info), METERIO_DEVICE_ERROR);
}

TEST_F(AmbientTest, UnexpectedSampleCountWritesNothing) {
    openOrFail();
    sim.configure("SAMPLES", "2");
    SpectrumRecord spectrum;
    spectrum.count = 999;
    spectrum.values[0] = kSentinel;
    script.pressAt = 0;
    EXPECT_EQ(QelAmbientReader_ScanSpectrum(handle, scripted, &spectrum), METERIO_NOT_COMPLETED);
    EXPECT_EQ(spectrum.count, 999u);
    EXPECT_EQ(spectrum.values[0], kSentinel);
}

TEST_F(AmbientTest, ButtonWaitsReportPressesAndStopOnlyAsTheirRulesSay) {
    openOrFail();
    uint8_t pressed = 9;
    script.pressAt = 1;
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput(handle, scripted, &pressed), METERIO_OK);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(script.seen, (std::vector<int32_t>{0, 0, 0}));
    script = {};
    script.cancelAt = 1;
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput(handle, scripted, &pressed), METERIO_CANCELLED);
    EXPECT_EQ(pressed, 0);
    sim.press();
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput(handle, nullptr, nullptr), METERIO_OK);

    // Second wait, mode 1: ends at a press; only -1 stops it.
    script = {};
    script.pressAt = 2;
    script.cancelAt = 0;
    script.cancelAnswer = 1;
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput2(handle, 1, scripted), METERIO_OK);
    script = {};
    script.pressAt = 0;
    script.cancelAt = 1;
    script.cancelAnswer = -1;
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput2(handle, 1, scripted), METERIO_CANCELLED);

    // Mode 0 consumes presses and lasts until -1.
    script = {};
    script.pressAt = 1;
    script.cancelAt = 4;
    script.cancelAnswer = -1;
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput2(handle, 0, scripted), METERIO_CANCELLED);
    EXPECT_EQ(script.seen.size(), 5u);
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput2(handle, 2, scripted), kF);

    sim.setError("I1_KeyPressed", 1);
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput2(handle, 0, nullptr), METERIO_COMMUNICATION_ERROR);
    EXPECT_EQ(QelAmbientReader_WaitForKeyInput(handle, nullptr, &pressed),
              METERIO_COMMUNICATION_ERROR);
    EXPECT_EQ(pressed, 0);
}

TEST_F(AmbientTest, AutomaticButtonPressesAfterItsDelay) {
    sim.configure("BUTTON", "60");
    openOrFail();
    script = {};
    ASSERT_EQ(QelAmbientReader_Calibrate(handle, scripted), METERIO_OK);
    // About three 20 ms polls for a 60 ms delay; none at all would mean an early press counted.
    EXPECT_GE(script.seen.size(), 4u);
    EXPECT_LE(script.seen.size(), 12u);
}

}  // namespace
