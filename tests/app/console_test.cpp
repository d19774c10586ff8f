// The console front-end's output and cancel handling, with scripted devices.
#include "app/console.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "resources/string_ids.h"
#include "tests/app/scripted_devices.h"

namespace app {
namespace {

using testing::InstrumentScript;
using testing::ScriptedInstrument;
using testing::ScriptedValue;
using testing::ValueScript;

class Console : public ::testing::Test {
protected:
    bool run(bool json) {
        ConsoleFrontEnd frontEnd(resources, out, log, json, [this] { return cancels-- > 0; });
        CLuxadorUIDlg dlg(frontEnd,
                          CLuxadorUIDlg::Devices{
                              [this] { return std::make_unique<ScriptedInstrument>(instrument); },
                              [this] { return std::make_unique<ScriptedValue>(value); }});
        frontEnd.runMainDialog(dlg);
        EXPECT_EQ(frontEnd.waitDepth(), 0);
        return dlg.measured();
    }

    Resources resources;
    std::ostringstream out, log;
    InstrumentScript instrument;
    ValueScript value;
    int cancels = 0;  // cancel requests the terminal reports
};

TEST_F(Console, PrintsStepsThenResultsAndStatus) {
    EXPECT_TRUE(run(false));
    const std::string text = out.str();
    const auto step1 = text.find("Step 1: Calibration");
    const auto step2 = text.find("Step 2: Measurement");
    const auto results = text.find(
        "Lighting Source Type: Three Band Type\nColor Temperature: 3500 K\n"
        "Illuminance: 1000 lx\nMeasurement complete.\n");
    ASSERT_NE(step1, std::string::npos);
    ASSERT_NE(step2, std::string::npos);
    ASSERT_NE(results, std::string::npos);
    EXPECT_LT(step1, step2);
    EXPECT_LT(step2, results);
    EXPECT_TRUE(log.str().empty());
}

TEST_F(Console, FailurePrintsMessageAndEmptyFields) {
    instrument.calibrate = orvel_kepno_ambientlib::kAppNoInstrument;
    EXPECT_FALSE(run(false));
    EXPECT_NE(out.str().find("Could not detect the sensor.\nMake sure a compatible sensor is "
                             "connected correctly.\nLighting Source Type:\nColor Temperature:\n"
                             "Illuminance:\nTo start the measurement process, click the Start "
                             "Measurement button.\n"),
              std::string::npos)
        << out.str();
}

TEST_F(Console, JsonCarriesResultsAndMessagesOnly) {
    value.kelvin = 6549;
    EXPECT_TRUE(run(true));
    EXPECT_EQ(out.str(),
              "{\"lightingSourceType\": \"Three Band Type\", \"colorTemperature\": 6500, "
              "\"illuminance\": 1000, \"status\": \"Measurement complete.\", \"messages\": [], "
              "\"completed\": true}\n");
    EXPECT_NE(log.str().find("Step 2: Measurement"), std::string::npos);

    out.str("");
    instrument = {};
    instrument.open = orvel_kepno_ambientlib::kAppNoInstrument;
    EXPECT_FALSE(run(true));
    EXPECT_EQ(out.str(),
              "{\"lightingSourceType\": null, \"colorTemperature\": null, \"illuminance\": null, "
              "\"status\": \"To start the measurement process, click the Start Measurement "
              "button.\", \"messages\": [\"Could not detect the sensor.\\nMake sure a compatible "
              "sensor is connected correctly.\"], \"completed\": false}\n");
}

TEST_F(Console, CancelBeforeAStepShowsCancelsThatStep) {
    // Requested while the instrument opens: no step is showing yet, the first one takes it.
    cancels = 1;
    EXPECT_FALSE(run(false));
    EXPECT_EQ(instrument.calibrations, 1);
    EXPECT_EQ(instrument.measurements, 0);
    EXPECT_EQ(out.str().find("Step 2"), std::string::npos);
    EXPECT_EQ(out.str().find("Could not"), std::string::npos);
}

TEST(ConsoleText, JsonStringsEscapeWhatJsonRequires) {
    EXPECT_EQ(jsonString("a\"b\\c\nd\te\x01"), "\"a\\\"b\\\\c\\nd\\te\\u0001\"");
    EXPECT_EQ(jsonString("照度"), "\"照度\"");
    EXPECT_EQ(trimmed("Measurement complete. \n"), "Measurement complete.");
}

}  // namespace
}  // namespace app
