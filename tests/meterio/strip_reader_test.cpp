// The strip reader family through the exported interface, on the simulated DTP41 and EyeOne.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "meterio32.h"
#include "sim/serial/dtp41_sim.h"
#include "sim/serial/pty_simulator.h"
#include "tests/meterio/eye_one_sim.h"

namespace {

constexpr std::uint32_t kFailure = METERIO_GENERAL_FAILURE;

class StripReader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.start());
        m_env = std::make_unique<sim::SerialPortsEnvironment>(
            std::vector<std::string>{m_pty.devicePath()});
        m_eyeOne.configure("BUTTON", "0");
    }
    void TearDown() override {
        if (m_handle != 0) {
            EXPECT_EQ(QelStripReader_Close(m_handle), METERIO_OK);
        }
    }

    // Reads patch `index` in colour, pulling a strip first on the DTP41.
    std::uint32_t readPatch(std::uint32_t index) {
        m_dtp41.pullStrip();
        ColorantRecord colour{};
        return QelStripReader_ScanSpotColorant(m_handle, index, nullptr, &colour);
    }

    sim::Dtp41Sim m_dtp41;
    sim::PtySimulator m_pty{m_dtp41};
    std::unique_ptr<sim::SerialPortsEnvironment> m_env;
    testing_sim::SimEyeOne m_eyeOne;
    ReaderHandle m_handle = 0;
};

}  // namespace

TEST_F(StripReader, UnknownDevicesAndSharedAnswers) {
    ReaderHandle handle = 77;
    EXPECT_EQ(QelStripReader_Open(2, nullptr, 0, nullptr, &handle), kFailure);
    EXPECT_EQ(handle, 77u);
    EXPECT_EQ(QelStripReader_CalibrateBlack(handle), METERIO_BAD_HANDLE);
    std::uint32_t version = 0;
    EXPECT_EQ(QelStripReader_Version(&version), METERIO_OK);
    EXPECT_EQ(version, 400u);
    EXPECT_EQ(&QelStripReader_ScanStrip, &QelStripReader_ScanStripColorants);
    EXPECT_EQ(&QelStripReader_ScanSpot2, &QelStripReader_ScanSpotDensity);
}

TEST_F(StripReader, SpotIndexesFollowTheStoredDefinitionOnBothDevices) {
    for (const std::uint8_t device : {0, 1}) {
        SCOPED_TRACE(device);
        ASSERT_EQ(QelStripReader_Open(device, "", 0, nullptr, &m_handle), METERIO_OK);
        EXPECT_EQ(QelStripReader_CalibrateBlack(m_handle), METERIO_NOT_OFFERED);
        EXPECT_EQ(QelStripReader_GetParamEx(m_handle, nullptr), METERIO_NOT_OFFERED);
        // Ten patches until a definition is accepted.
        EXPECT_EQ(readPatch(9), METERIO_OK);
        EXPECT_EQ(readPatch(10), METERIO_OUT_OF_RANGE);

        const StripDefinitionRecord three{5, 70, 70, 3}, none{5, 70, 70, 0};
        ASSERT_EQ(QelStripReader_DefineStrip(m_handle, &three), METERIO_OK);
        EXPECT_EQ(QelStripReader_DefineStrip(m_handle, &none), METERIO_OUT_OF_RANGE);
        EXPECT_EQ(readPatch(2), METERIO_OK);
        EXPECT_EQ(readPatch(3), METERIO_OUT_OF_RANGE);
        EXPECT_EQ(QelStripReader_Close(m_handle), METERIO_OK);
        m_handle = 0;
    }
}

TEST_F(StripReader, Dtp41ServesAWholeSession) {
    ASSERT_EQ(QelStripReader_Open(0, nullptr, 0, nullptr, &m_handle), METERIO_OK);
    const MeasureParams xyz{4, 6, 2, METERIO_CS_XYZ};
    ASSERT_EQ(QelStripReader_SetParam(m_handle, &xyz), METERIO_OK);
    MeasureParams read{};
    ASSERT_EQ(QelStripReader_GetParam(m_handle, &read), METERIO_OK);
    EXPECT_EQ(read.colorSpace, METERIO_CS_XYZ);
    DeviceInfo info{};
    ASSERT_EQ(QelStripReader_GetInfo(m_handle, &info), METERIO_OK);
    EXPECT_EQ(info.strip.numbers[0], 41017u);

    m_dtp41.pullStrip();
    EXPECT_EQ(QelStripReader_CalibrateWhite(m_handle, nullptr), METERIO_OK);
    std::vector<ColorantRecord> colours(20), again(20);
    std::uint32_t count = 0;
    m_dtp41.pullStrip();
    ASSERT_EQ(QelStripReader_ScanStrip(m_handle, 20, nullptr, &count, colours.data()), METERIO_OK);
    EXPECT_EQ(count, 12u);
    EXPECT_DOUBLE_EQ(colours[11].values[0], 0.31);
    m_dtp41.pullStrip();
    ASSERT_EQ(QelStripReader_ScanStripColorants(m_handle, 20, nullptr, nullptr, again.data()),
              METERIO_OK);
    EXPECT_EQ(std::memcmp(colours.data(), again.data(), sizeof(ColorantRecord) * 20), 0);

    std::vector<SpectrumRecord> spectra(2);
    m_dtp41.pullStrip();
    ASSERT_EQ(QelStripReader_ScanStripSpectrums(m_handle, 2, nullptr, &count, spectra.data()),
              METERIO_OK);
    EXPECT_EQ(count, 2u);
    m_dtp41.pullStrip();
    std::uint8_t taken = 0;
    EXPECT_EQ(QelStripReader_WaitForKeyInput(m_handle, nullptr, &taken), METERIO_OK);
    EXPECT_EQ(taken, 1);
}

TEST_F(StripReader, EyeOneStripDeliversTheDefinedPatchesOrNothing) {
    m_eyeOne.configure("STRIP_PATCHES", "4");
    ASSERT_EQ(QelStripReader_Open(1, nullptr, 0, nullptr, &m_handle), METERIO_OK);
    const StripDefinitionRecord four{0, 100, 100, 4};
    ASSERT_EQ(QelStripReader_DefineStrip(m_handle, &four), METERIO_OK);
    std::vector<ColorantDensityRecord> both(6);
    std::uint32_t count = 0;
    ASSERT_EQ(QelStripReader_ScanStripEx(m_handle, 6, nullptr, &count, both.data()), METERIO_OK);
    EXPECT_EQ(count, 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_NE(both[i].colorant.values[0], both[i - 1].colorant.values[0]);
        EXPECT_NE(both[i].density.values[0], both[i - 1].density.values[0]);
    }
    EXPECT_EQ(m_eyeOne.option("Recognition"), "yes");

    const StripDefinitionRecord five{0, 100, 100, 5};
    ASSERT_EQ(QelStripReader_DefineStrip(m_handle, &five), METERIO_OK);
    std::vector<ColorantRecord> untouched(6);
    std::memset(untouched.data(), 0x5A, sizeof(ColorantRecord) * 6);
    const std::vector<ColorantRecord> before = untouched;
    count = 99;
    EXPECT_EQ(QelStripReader_ScanStripColorants(m_handle, 6, nullptr, &count, untouched.data()),
              METERIO_NOT_COMPLETED);
    EXPECT_EQ(count, 99u);
    EXPECT_EQ(std::memcmp(before.data(), untouched.data(), sizeof(ColorantRecord) * 6), 0);

    // Room for fewer records than the strip holds: only those are written; the count is the
    // strip's.
    ASSERT_EQ(QelStripReader_DefineStrip(m_handle, &four), METERIO_OK);
    both[2].colorant.values[0] = -1.0;
    ASSERT_EQ(QelStripReader_ScanStripEx(m_handle, 2, nullptr, &count, both.data()), METERIO_OK);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(both[2].colorant.values[0], -1.0);
}

TEST_F(StripReader, EveryScanAndWaitAnswersOnBothDevices) {
    std::vector<ColorantDensityRecord> both(10);
    std::vector<SpectrumRecord> spectra(10);
    auto* colours = reinterpret_cast<ColorantRecord*>(both.data());
    auto* densities = reinterpret_cast<DensityRecord*>(both.data());
    std::uint32_t count = 0;
    const std::vector<std::pair<const char*, std::function<std::uint32_t(ReaderHandle)>>> calls = {
        {"ScanStripDensities",
         [&](ReaderHandle h) {
             return QelStripReader_ScanStripDensities(h, 10, nullptr, &count, densities);
         }},
        {"ScanStrip2",
         [&](ReaderHandle h) {
             return QelStripReader_ScanStrip2(h, 10, nullptr, &count, densities);
         }},
        {"ScanStripEx",
         [&](ReaderHandle h) {
             return QelStripReader_ScanStripEx(h, 10, nullptr, &count, both.data());
         }},
        {"ScanSpot",
         [&](ReaderHandle h) { return QelStripReader_ScanSpot(h, 1, nullptr, colours); }},
        {"ScanSpot2",
         [&](ReaderHandle h) { return QelStripReader_ScanSpot2(h, 1, nullptr, densities); }},
        {"ScanSpotEx",
         [&](ReaderHandle h) { return QelStripReader_ScanSpotEx(h, 1, nullptr, both.data()); }},
        {"ScanSpotSpectrum",
         [&](ReaderHandle h) {
             return QelStripReader_ScanSpotSpectrum(h, 1, nullptr, spectra.data());
         }},
        {"WaitForKeyInput2",
         [&](ReaderHandle h) { return QelStripReader_WaitForKeyInput2(h, 1, nullptr); }},
    };
    for (const std::uint8_t device : {0, 1}) {
        ASSERT_EQ(QelStripReader_Open(device, nullptr, 0, nullptr, &m_handle), METERIO_OK);
        std::uint32_t version = 0;
        EXPECT_EQ(QelStripReader_Version(&version), METERIO_OK);
        EXPECT_EQ(QelStripReader_SetParamEx(m_handle, nullptr), METERIO_NOT_OFFERED);
        for (const auto& [name, call] : calls) {
            m_dtp41.pullStrip();
            EXPECT_EQ(call(m_handle), METERIO_OK) << name << " on device " << int{device};
        }
        EXPECT_EQ(QelStripReader_Close(m_handle), METERIO_OK);
        m_handle = 0;
    }
}
