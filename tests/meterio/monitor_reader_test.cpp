// The monitor reader family through the exported interface: every cell of EyeOne in emission
// (0), the spot head (3) and the USB display instrument (4) on their simulators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "meterio32.h"
#include "platform/module.h"
#include "sim/eye_one/sim_eye_one.h"
#include "sim/kmsecs200/sim_kmsecs200.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"

namespace {

constexpr std::uint32_t k17 = METERIO_NOT_OFFERED;
constexpr std::uint32_t kF = METERIO_GENERAL_FAILURE;

// One exported function called with valid arguments and null callbacks.
struct Cell {
    const char* name;
    std::function<std::uint32_t(ReaderHandle)> call;
};

const std::vector<Cell>& cells() {
    static const std::vector<Cell> all = {
        {"CalibrateWhite",
         [](ReaderHandle h) { return QelMonitorReader_CalibrateWhite(h, nullptr); }},
        {"CalibrateBlack",
         [](ReaderHandle h) { return QelMonitorReader_CalibrateBlack(h, nullptr); }},
        {"ScanColorant",
         [](ReaderHandle h) {
             ColorantRecord r{};
             return QelMonitorReader_ScanColorant(h, nullptr, &r);
         }},
        {"Scan",
         [](ReaderHandle h) {
             ColorantRecord r{};
             return QelMonitorReader_Scan(h, nullptr, &r);
         }},
        {"ScanSpectrum",
         [](ReaderHandle h) {
             SpectrumRecord r{};
             return QelMonitorReader_ScanSpectrum(h, nullptr, &r);
         }},
        {"SetParam",
         [](ReaderHandle h) {
             const MeasureParams p{4, 6, 2, METERIO_CS_XYZ};
             return QelMonitorReader_SetParam(h, &p);
         }},
        {"GetParam",
         [](ReaderHandle h) {
             MeasureParams p{};
             return QelMonitorReader_GetParam(h, &p);
         }},
        {"GetInfo",
         [](ReaderHandle h) {
             DeviceInfo i{};
             return QelMonitorReader_GetInfo(h, &i);
         }},
        {"SetParamEx",
         [](ReaderHandle h) {
             SpeedSettingRecord s{5, 7};
             return QelMonitorReader_SetParamEx(h, &s);
         }},
        {"GetParamEx",
         [](ReaderHandle h) {
             SpeedSettingRecord s{};
             return QelMonitorReader_GetParamEx(h, &s);
         }},
        {"WaitForKeyInput",
         [](ReaderHandle h) {
             std::uint8_t pressed = 0;
             const std::uint32_t r = QelMonitorReader_WaitForKeyInput(h, nullptr, &pressed);
             return r == METERIO_OK && pressed != 1 ? kF : r;
         }},
        {"WaitForKeyInput2",
         [](ReaderHandle h) { return QelMonitorReader_WaitForKeyInput2(h, 1, nullptr); }},
    };
    return all;
}

class MonitorReader : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
        ::setenv("QEL_SIM_EYEONE_BUTTON", "0", 1);
        ASSERT_TRUE(m_eyeOne.load("EyeOne.dll"));
        ASSERT_TRUE(m_kmsecs.load("Kmsecs200.dll"));
        m_eyeOne.resolve("SimEyeOne_Reset", m_eyeOneReset);
        m_eyeOne.resolve("SimEyeOne_CallCount", m_eyeOneCalls);
        m_eyeOne.resolve("SimEyeOne_Option", m_eyeOneOption);
        m_kmsecs.resolve("SimKmsecs200_Reset", m_kmsecsReset);
        m_kmsecs.resolve("SimKmsecs200_CallCount", m_kmsecsCalls);
        m_kmsecs.resolve("SimKmsecs200_Commands", m_kmsecsCommands);
        m_kmsecs.resolve("SimKmsecs200_State", m_kmsecsState);
        ASSERT_NE(m_eyeOneOption, nullptr);
        ASSERT_NE(m_kmsecsState, nullptr);
        m_eyeOneReset();
        m_kmsecsReset();
    }
    void TearDown() override {
        if (handle != 0) {
            EXPECT_EQ(QelMonitorReader_Close(handle), METERIO_OK);
        }
    }

    // Runs every cell, expecting 0 unless `refused` names another answer; refused cells must
    // leave the instrument alone.
    void expectCells(const std::vector<std::pair<std::string, std::uint32_t>>& refused,
                     const std::function<std::size_t()>& instrumentCalls) {
        for (const Cell& cell : cells()) {
            std::uint32_t want = METERIO_OK;
            for (const auto& [name, code] : refused)
                if (name == cell.name) want = code;
            const std::size_t before = instrumentCalls();
            EXPECT_EQ(cell.call(handle), want) << cell.name;
            if (want != METERIO_OK) {
                EXPECT_EQ(instrumentCalls(), before) << cell.name;
            }
        }
        ColorantRecord a{}, b{};
        EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &a), METERIO_OK);
        EXPECT_EQ(QelMonitorReader_Scan(handle, nullptr, &b), METERIO_OK);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
        EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, nullptr), kF);
        EXPECT_EQ(QelMonitorReader_GetInfo(handle, nullptr), kF);
        EXPECT_EQ(QelMonitorReader_SetParamEx(handle, nullptr), kF);
        EXPECT_EQ(QelSpotReader_Close(handle), METERIO_BAD_HANDLE);
    }

    std::size_t eyeOneCalls() {
        std::size_t n = 0;
        for (const char* entry : {"I1_GetOption", "I1_SetOption", "I1_KeyPressed", "I1_Calibrate",
                                  "I1_TriggerMeasurement", "I1_GetDeviceInfo"})
            n += m_eyeOneCalls(entry);
        return n;
    }
    std::size_t kmsecsCalls() { return m_kmsecsCalls("write64_usb") + m_kmsecsCalls("read64_usb"); }
    std::string eyeOneOption(const char* key) {
        const char* v = m_eyeOneOption(key);
        return v != nullptr ? v : "";
    }

    ReaderHandle handle = 0;
    SimKmsecs200_CommandsFn m_kmsecsCommands = nullptr;
    SimKmsecs200_StateFn m_kmsecsState = nullptr;

private:
    platform::Module m_eyeOne;
    platform::Module m_kmsecs;
    SimEyeOne_ResetFn m_eyeOneReset = nullptr;
    SimEyeOne_CallCountFn m_eyeOneCalls = nullptr;
    SimEyeOne_OptionFn m_eyeOneOption = nullptr;
    SimKmsecs200_ResetFn m_kmsecsReset = nullptr;
    SimKmsecs200_CallCountFn m_kmsecsCalls = nullptr;
};

}  // namespace

TEST_F(MonitorReader, UnservedDeviceCodesFailToOpen) {
    for (std::uint8_t code : {5, 255}) {
        ReaderHandle untouched = 77;
        EXPECT_EQ(QelMonitorReader_Open(code, "COM1:", 9600, nullptr, &untouched), kF) << +code;
        EXPECT_EQ(untouched, 77u);
    }
    std::uint32_t version = 0;
    EXPECT_EQ(QelMonitorReader_Version(&version), METERIO_OK);
    EXPECT_EQ(version, 400u);
    EXPECT_EQ(QelMonitorReader_ScanColorant(0, nullptr, nullptr), METERIO_BAD_HANDLE);
}

TEST_F(MonitorReader, EyeOneMeasuresEmissionOnCommand) {
    ASSERT_EQ(QelMonitorReader_Open(0, nullptr, 0, nullptr, &handle), METERIO_OK);
    EXPECT_EQ(eyeOneOption("MeasurementMode"), "SingleEmission");
    EXPECT_EQ(eyeOneOption("Colorimetric.Illumination"), "Emission");
    MeasureParams params{};
    EXPECT_EQ(QelMonitorReader_GetParam(handle, &params), METERIO_OK);
    EXPECT_EQ(params.colorSpace, METERIO_CS_XYZ);
    EXPECT_EQ(params.illumination, 6u);
    expectCells({{"CalibrateBlack", k17}, {"SetParamEx", k17}, {"GetParamEx", k17}},
                [this] { return eyeOneCalls(); });
    EXPECT_EQ(eyeOneOption("MeasurementMode"), "SingleEmission");  // after the white calibration
}

TEST_F(MonitorReader, EyeOneScansNeedNoPress) {
    ::setenv("QEL_SIM_EYEONE_BUTTON", "never", 1);
    ASSERT_EQ(QelMonitorReader_Open(0, nullptr, 0, nullptr, &handle), METERIO_OK);
    SpectrumRecord emitted{};
    ASSERT_EQ(QelMonitorReader_ScanSpectrum(handle, nullptr, &emitted), METERIO_OK);
    EXPECT_EQ(emitted.start, 380u);
    EXPECT_EQ(emitted.interval, 10u);
    EXPECT_EQ(emitted.count, 36u);
    ColorantRecord colour{};
    EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_OK);
    EXPECT_GT(colour.values[1], 0.0);

    // The same light through the ambient head, also delivered in hundredths: equal spectra.
    ::setenv("QEL_SIM_EYEONE_BUTTON", "0", 1);
    ReaderHandle ambient = 0;
    ASSERT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &ambient), METERIO_OK);
    SpectrumRecord reference{};
    EXPECT_EQ(QelAmbientReader_ScanSpectrum(ambient, nullptr, &reference), METERIO_OK);
    EXPECT_EQ(QelAmbientReader_Close(ambient), METERIO_OK);
    for (std::size_t i = 0; i < 36; ++i)
        EXPECT_DOUBLE_EQ(emitted.values[i], reference.values[i]) << i;
}

TEST_F(MonitorReader, EyeOneButtonWaitWithoutCallbackWaitsForThePress) {
    ::setenv("QEL_SIM_EYEONE_BUTTON", "150", 1);
    ASSERT_EQ(QelMonitorReader_Open(0, nullptr, 0, nullptr, &handle), METERIO_OK);
    std::uint8_t pressed = 0;
    EXPECT_EQ(QelMonitorReader_WaitForKeyInput(handle, nullptr, &pressed), METERIO_OK);
    EXPECT_EQ(pressed, 1);
}

TEST_F(MonitorReader, SpotHeadCalibratesBothStepsAndMeasuresByCommand) {
    sim::SpotHeadSim head;
    sim::PtySimulator pty(head, 19200);
    ASSERT_TRUE(pty.start());
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ASSERT_EQ(QelMonitorReader_Open(3, "COM101:", 19200, nullptr, &handle), METERIO_OK);
    head.pressKeyAfter(0);
    expectCells({{"CalibrateBlack", k17}, {"SetParamEx", k17}, {"GetParamEx", k17}},
                [&] { return pty.requestCount(); });
    const std::vector<std::string> requests = pty.requests();
    const auto has = [&](const char* r) {
        return std::find(requests.begin(), requests.end(), r) != requests.end();
    };
    EXPECT_TRUE(has("; 34 9 7"));
    EXPECT_TRUE(has("; 34 9 8"));
    EXPECT_TRUE(has("; 32"));  // scans start by command

    head.releaseKey();
    const std::size_t before = pty.requestCount();
    ColorantRecord colour{};
    EXPECT_EQ(QelMonitorReader_ScanColorant(handle, nullptr, &colour), METERIO_OK);
    EXPECT_EQ(pty.requests().at(before), "; 32");  // no key poll first
}

TEST_F(MonitorReader, UsbInstrumentThroughTheExports) {
    ASSERT_EQ(QelMonitorReader_Open(4, "ignored", 1234, nullptr, &handle), METERIO_OK);
    EXPECT_EQ(m_kmsecsState("remote"), 1);
    expectCells({{"CalibrateWhite", k17},
                 {"CalibrateBlack", k17},
                 {"ScanSpectrum", kF},
                 {"WaitForKeyInput", k17},
                 {"WaitForKeyInput2", k17}},
                [this] { return kmsecsCalls(); });
    SpeedSettingRecord speed{};
    EXPECT_EQ(QelMonitorReader_GetParamEx(handle, &speed), METERIO_OK);
    EXPECT_EQ(speed.mode, 5u);
    EXPECT_EQ(speed.value, 7u);
    DeviceInfo info{};
    EXPECT_EQ(QelMonitorReader_GetInfo(handle, &info), METERIO_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.bytes), 8), "1892-100");

    EXPECT_EQ(QelMonitorReader_Close(handle), METERIO_OK);
    handle = 0;
    EXPECT_EQ(m_kmsecsState("open"), 0);
    EXPECT_EQ(m_kmsecsState("remote"), 0);
}

// Without the fixture, which keeps the simulators loaded.
TEST(MonitorReaderOpen, UsbInstrumentLibraryMissingOrIncomplete) {
    ReaderHandle untouched = 5;
    ::setenv("QEL_MODULE_PATH", "/nonexistent", 1);
    EXPECT_EQ(QelMonitorReader_Open(4, nullptr, 0, nullptr, &untouched),
              METERIO_LIBRARY_NOT_LOADED);
    ::setenv("QEL_MODULE_PATH", QEL_SIM_KMSECS200_INCOMPLETE_DIR, 1);
    EXPECT_EQ(QelMonitorReader_Open(4, nullptr, 0, nullptr, &untouched),
              METERIO_ENTRY_POINT_MISSING);
    EXPECT_EQ(untouched, 5u);
}
