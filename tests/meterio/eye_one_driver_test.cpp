// The EyeOne driver itself, over the simulated vendor library with a fake clock: the modes and
// operations the other families use, time-outs, and the version and strip rules.
#include <gtest/gtest.h>

#include <vector>

#include "meterio/drivers/eye_one.h"
#include "tests/meterio/eye_one_sim.h"

namespace meterio {
namespace {

using testing_sim::g_script;
using testing_sim::scripted;

class FakeClock final : public platform::Clock {
public:
    std::uint32_t tickMs() override { return now; }
    void sleepMs(std::uint32_t ms) override { now += ms; }
    void beep() override { ++beeps; }
    std::uint32_t now = 0xFFFFFF00u;  // close to wrapping
    int beeps = 0;
};

class EyeOneDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_sim::SimEyeOne::current = &sim;
        g_script = &script;
    }
    void TearDown() override {
        testing_sim::SimEyeOne::current = nullptr;
        g_script = nullptr;
    }
    Result open(std::uint8_t mode, std::uint32_t filter = 0, std::uint32_t kind = 1) {
        if (const Result r = driver.bind(); r != Result::Ok) return r;
        Progress p(nullptr);
        OpenArgs args;
        args.mode = mode;
        args.filter = filter;
        args.kind = kind;
        return driver.open(args, p);
    }
    Progress progress() { return Progress(&scripted); }

    testing_sim::SimEyeOne sim;
    testing_sim::Script script;
    FakeClock clock;
    EyeOneDriver driver{clock};
};

TEST_F(EyeOneDriverTest, WhiteCalibrationCalibratesEachModeAndLeavesEmission) {
    ASSERT_EQ(open(kEyeOneReflectance), Result::Ok);
    script.pressAt = 0;
    Progress p = progress();
    ASSERT_EQ(driver.calibrateWhite({}, p), Result::Ok);
    EXPECT_EQ(script.seen, (std::vector<std::int32_t>{0, 0, 1000, 4000, 7000, 10000}));
    EXPECT_EQ(sim.calls("I1_Calibrate"), 3u);
    EXPECT_EQ(clock.beeps, 1);
    EXPECT_EQ(driver.mode(), kEyeOneEmission);
    EXPECT_EQ(sim.option("MeasurementMode"), "SingleEmission");
    EXPECT_EQ(sim.option("Recognition"), "yes");
    // Lab kept from the reflectance defaults, so emission keeps the illuminant.
    EXPECT_EQ(sim.option("Colorimetric.Illumination"), "D50");
}

TEST_F(EyeOneDriverTest, SpotReadSwitchesBackToReflectanceBeforeWaiting) {
    ASSERT_EQ(open(kEyeOneReflectance), Result::Ok);
    script.pressAt = 0;
    Progress p = progress();
    ASSERT_EQ(driver.calibrateWhite({}, p), Result::Ok);

    ColorantDensityRecord both;
    for (double& v : both.colorant.values)
        v = -1.0;
    script = {};
    script.pressAt = 1;
    ReadRequest request{kEyeOneReflectance, kReadBoth, 1, 1, 0, nullptr};
    ASSERT_EQ(driver.readValues(request, p, &both), Result::Ok);
    EXPECT_EQ(driver.mode(), kEyeOneReflectance);
    EXPECT_EQ(sim.option("MeasurementMode"), "SingleReflectance");
    EXPECT_EQ(clock.beeps, 2);
    EXPECT_EQ(both.colorant.values[0], 50.0);
    EXPECT_EQ(both.colorant.values[2], -20.0);
    EXPECT_EQ(both.colorant.values[3], -1.0);
    EXPECT_FLOAT_EQ(static_cast<float>(both.density.values[0]), 0.1f);
    EXPECT_FLOAT_EQ(static_cast<float>(both.density.values[3]), 0.4f);

    SpectrumRecord spectrum{};
    script = {};
    script.pressAt = 1;
    ASSERT_EQ(driver.readSpectra(request, p, &spectrum), Result::Ok);
    EXPECT_EQ(spectrum.values[10], static_cast<double>(0.2f + 0.1f)) << "reflectance unscaled";
}

TEST_F(EyeOneDriverTest, ScanningReadsUpToTheLimitAndReportsTheSampleCount) {
    sim.configure("STRIP_PATCHES", "3");
    ASSERT_EQ(open(kEyeOneScanning), Result::Ok);
    DensityRecord densities[3];
    for (auto& d : densities)
        d.values[0] = -1.0;
    std::uint32_t count = 0;
    ReadRequest request{kEyeOneScanning, kReadDensity, 3, 2, 0, &count};
    script.pressAt = 1;
    Progress p = progress();
    ASSERT_EQ(driver.readValues(request, p, densities), Result::Ok);
    EXPECT_EQ(count, 3u);
    EXPECT_FLOAT_EQ(static_cast<float>(densities[1].values[0]), 0.11f);
    EXPECT_EQ(densities[2].values[0], -1.0);
    EXPECT_EQ(clock.beeps, 0) << "no beep while scanning";

    request.limit = 0;
    count = 0;
    script = {};
    script.pressAt = 1;
    ASSERT_EQ(driver.readValues(request, p, densities), Result::Ok);
    EXPECT_EQ(count, 3u);
    request.kind = 7;
    script = {};
    script.pressAt = 1;
    EXPECT_EQ(driver.readValues(request, p, densities), Result::GeneralFailure);
}

TEST_F(EyeOneDriverTest, EmissionReadsWithoutWaitingForTheButton) {
    ASSERT_EQ(open(kEyeOneEmission), Result::Ok);
    const std::uint32_t polls = sim.calls("I1_KeyPressed");
    SpectrumRecord spectrum{};
    Progress p(nullptr);
    ASSERT_EQ(driver.readSpectra({kEyeOneEmission, kReadColorant, 1, 1, 0, nullptr}, p, &spectrum),
              Result::Ok);
    EXPECT_EQ(sim.calls("I1_KeyPressed"), polls + 1);
    EXPECT_EQ(clock.beeps, 0);
    EXPECT_GT(spectrum.values[20], 0.0);
}

TEST_F(EyeOneDriverTest, WaitsWithATimeOutEndIncomplete) {
    ASSERT_EQ(open(kEyeOneAmbient), Result::Ok);
    std::uint8_t pressed = 9;
    Progress p(nullptr);
    const std::uint32_t start = clock.now;
    EXPECT_EQ(driver.waitForKey({100, 0, 0}, p, &pressed), Result::NotCompleted);
    EXPECT_EQ(pressed, 0);
    EXPECT_EQ(clock.now - start, 100u) << "20 ms polls across the tick counter's wrap";
    EXPECT_EQ(driver.waitForKeyState({60, 0, 0}, p), Result::NotCompleted);

    // Mode 0 keeps going past presses until the time-out.
    sim.press();
    EXPECT_EQ(driver.waitForKeyState({40, 0, 0}, p), Result::NotCompleted);
    EXPECT_EQ(driver.waitForKey({40, 0, 0}, p, &pressed), Result::NotCompleted) << "consumed";
}

// A button that reports a press on every poll must not hold the second wait forever.
TEST_F(EyeOneDriverTest, StuckButtonStillLetsTheSecondWaitEnd) {
    ASSERT_EQ(open(kEyeOneAmbient), Result::Ok);
    sim.holdButton(true);
    Progress builtIn(nullptr);
    const std::uint32_t start = clock.now;
    EXPECT_EQ(driver.waitForKeyState({100, 0, 0}, builtIn), Result::NotCompleted);
    EXPECT_EQ(clock.now - start, 100u) << "presses are polled 20 ms apart";

    script.cancelAt = 2;
    script.cancelAnswer = -1;
    Progress caller = progress();
    EXPECT_EQ(driver.waitForKeyState({kNoTimeout, 7, 0}, caller), Result::Cancelled);
    EXPECT_EQ(script.seen, (std::vector<std::int32_t>{7, 7, 7}));

    EXPECT_EQ(driver.waitForKeyState({kNoTimeout, 0, 1}, builtIn), Result::Ok);
}

TEST_F(EyeOneDriverTest, OpenChecksKindFilterAndModes) {
    sim.configure("DEVICE_TYPE", "EyeOneDisplay");
    EXPECT_EQ(open(kEyeOneEmission, 0, 0), Result::Ok);
    DeviceInfo info{};
    ASSERT_EQ(driver.getInfo(info), Result::Ok);
    EXPECT_EQ(info.eyeOne.deviceKind, 2u);
    EXPECT_EQ(driver.releaseLibrary(), Result::Ok);

    sim.configure("DEVICE_TYPE", "EyeOne");
    EXPECT_EQ(open(kEyeOneEmission, 2), Result::NoInstrument) << "filter 1 fitted";
    EXPECT_EQ(driver.releaseLibrary(), Result::Ok);
    EXPECT_EQ(open(kEyeOneEmission, 3), Result::NoInstrument);
    EXPECT_EQ(driver.releaseLibrary(), Result::Ok);
    EXPECT_EQ(open(kEyeOneEmission, 0, 3), Result::NoInstrument);
    EXPECT_EQ(driver.releaseLibrary(), Result::Ok);

    sim.configure("MODES", "ScanningReflectance");
    EXPECT_EQ(open(kEyeOneScanning), Result::NoInstrument) << "scanning needs single reflectance";
    EXPECT_EQ(driver.releaseLibrary(), Result::Ok);
    sim.configure("MODES", "ScanningReflectance SingleReflectance");
    EXPECT_EQ(open(kEyeOneScanning), Result::Ok);
    EXPECT_EQ(driver.releaseLibrary(), Result::Ok);

    sim.configure("VERSION", "EyeOne 1.0.0");
    EXPECT_EQ(open(4), Result::OutOfRange) << "no mode check below 200, defaults refuse it";
}

TEST_F(EyeOneDriverTest, ReleasedLibraryIsNeverCalled) {
    ASSERT_EQ(open(kEyeOneAmbient), Result::Ok);
    ASSERT_EQ(driver.releaseLibrary(), Result::Ok);
    MeasureParams params{};
    DeviceInfo info{};
    Progress p(nullptr);
    EXPECT_EQ(driver.getParams(params), Result::GeneralFailure);
    EXPECT_EQ(driver.getInfo(info), Result::GeneralFailure);
    EXPECT_EQ(driver.calibrateAmbient(p), Result::GeneralFailure);
    EXPECT_EQ(driver.waitForKey({}, p, nullptr), Result::GeneralFailure);
    EXPECT_EQ(driver.close(), Result::Ok);
}

TEST(EyeOneRules, VersionText) {
    EXPECT_EQ(parseEyeOneVersion("EyeOne 2.1.3"), 213u);
    EXPECT_EQ(parseEyeOneVersion("  i1 1.9.9"), 199u);
    EXPECT_EQ(parseEyeOneVersion("X 10.2.3"), 1023u);
    EXPECT_EQ(parseEyeOneVersion("Lib 2-0-0 beta"), 200u);
    EXPECT_EQ(parseEyeOneVersion("EightChr 2.0.1"), 201u);
    EXPECT_EQ(parseEyeOneVersion("NineChars 2.0.1"), std::nullopt);
    EXPECT_EQ(parseEyeOneVersion("EyeOne 2.1"), std::nullopt);
    EXPECT_EQ(parseEyeOneVersion("2.1.3"), std::nullopt);
    EXPECT_EQ(parseEyeOneVersion(""), std::nullopt);
}

TEST(EyeOneRules, StripDefinitionLimits) {
    EyeOneDriver d;
    EXPECT_EQ(d.defineStrip({10, 46, 46, 1}), Result::Ok);
    EXPECT_EQ(d.defineStrip({11, 46, 46, 1}), Result::OutOfRange);
    EXPECT_EQ(d.defineStrip({10, 45, 46, 1}), Result::OutOfRange);
    EXPECT_EQ(d.defineStrip({10, 46, 45, 1}), Result::OutOfRange);
    EXPECT_EQ(d.defineStrip({10, 46, 46, 0}), Result::OutOfRange);
}

TEST(EyeOneRules, CodesOutsideTheTablesAreGeneralFailures) {
    for (EyeOneTable t : {EyeOneTable::G, EyeOneTable::S, EyeOneTable::M}) {
        EXPECT_EQ(mapEyeOneCode(t, 213, -1), Result::GeneralFailure);
        EXPECT_EQ(mapEyeOneCode(t, 213, 12), Result::GeneralFailure);
        EXPECT_EQ(mapEyeOneCode(t, 199, 1000), Result::GeneralFailure);
    }
}

// Where a vendor-code table changes with the vendor library's version, one row each side of
// the boundary. Drivers with versioned tables add their rows.
TEST(VendorCodeTables, VersionBoundariesPickTheRightTable) {
    using Map = Result (*)(std::uint32_t version, std::int32_t code);
    const Map eyeOneG = [](std::uint32_t v, std::int32_t c) {
        return mapEyeOneCode(EyeOneTable::G, v, c);
    };
    const Map eyeOneS = [](std::uint32_t v, std::int32_t c) {
        return mapEyeOneCode(EyeOneTable::S, v, c);
    };
    const struct {
        const char* table;
        Map map;
        std::uint32_t version;
        std::int32_t code;
        Result expected;
    } rows[] = {
        {"EyeOne G", eyeOneG, 199, 3, Result::DeviceError},
        {"EyeOne G", eyeOneG, 200, 3, Result::NotCompleted},
        {"EyeOne S", eyeOneS, 199, 6, Result::GeneralFailure},
        {"EyeOne S", eyeOneS, 200, 6, Result::OutOfRange},
        {"EyeOne S", eyeOneS, 199, 9, Result::GeneralFailure},
        {"EyeOne S", eyeOneS, 200, 9, Result::DeviceError},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.map(r.version, r.code), r.expected)
            << r.table << ", version " << r.version << ", code " << r.code;
}

}  // namespace
}  // namespace meterio
