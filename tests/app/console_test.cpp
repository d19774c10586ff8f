// The console front-end's output and cancel handling, with scripted devices.
#include "app/console.h"

#include <gtest/gtest.h>

#include <cctype>
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

TEST_F(Console, FailureGoesToTheLogAndLeavesTheFieldsEmpty) {
    instrument.calibrate = orvel_kepno_ambientlib::kAppNoInstrument;
    EXPECT_FALSE(run(false));
    EXPECT_EQ(log.str(),
              "Could not detect the sensor.\nMake sure a compatible sensor is connected "
              "correctly.\n");
    EXPECT_NE(out.str().find("Step 1: Calibration\n\nPut the ambient light measuring head and "
                             "the protection cap on the sensor, \nand then click the Measure "
                             "button for the sensor.\nTo cancel, type c and press Enter, or "
                             "press Ctrl-C.\n\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("Lighting Source Type:\nColor Temperature:\nIlluminance:\nTo start "
                             "a new measurement, run the command again.\n"),
              std::string::npos)
        << out.str();
}

TEST_F(Console, JsonNamesTheOutcomeOfEachEnding) {
    struct Case {
        const char* name;
        int open, calibrate;
        bool computable;
        int cancels;
        std::string json;
    };
    const std::string ready = "\"status\": \"To start a new measurement, run the command again.\"";
    const Case cases[] = {
        {"measured", 0, 0, true, 0,
         "{\"lightingSourceType\": \"Three Band Type\", \"colorTemperature\": 6500, "
         "\"illuminance\": 1000, \"status\": \"Measurement complete.\", \"messages\": [], "
         "\"completed\": true, \"outcome\": \"measured\"}\n"},
        {"cancelled", 0, 0, true, 1,
         "{\"lightingSourceType\": null, \"colorTemperature\": null, \"illuminance\": null, " +
             ready + ", \"messages\": [], \"completed\": false, \"outcome\": \"cancelled\"}\n"},
        {"no sensor", orvel_kepno_ambientlib::kAppNoInstrument, 0, true, 0,
         "{\"lightingSourceType\": null, \"colorTemperature\": null, \"illuminance\": null, " +
             ready +
             ", \"messages\": [\"Could not detect the sensor.\\nMake sure a compatible sensor "
             "is connected correctly.\"], \"completed\": false, \"outcome\": \"failed\"}\n"},
        {"not computable", 0, 0, false, 0,
         "{\"lightingSourceType\": null, \"colorTemperature\": null, \"illuminance\": null, " +
             ready +
             ", \"messages\": [\"Could not conduct the measurement.\"], \"completed\": false, "
             "\"outcome\": \"failed\"}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out.str("");
        instrument = {};
        instrument.open = c.open;
        instrument.calibrate = c.calibrate;
        value.kelvin = 6549;
        value.computable = c.computable;
        cancels = c.cancels;
        run(true);
        if (std::string_view(c.name) == "measured") {
            // The light's details follow the three results in the same object.
            const std::string head = c.json.substr(0, c.json.size() - 2);
            EXPECT_EQ(out.str().substr(0, head.size()), head);
            EXPECT_NE(out.str().find(", \"verdict\": {\"pass\": false"), std::string::npos);
        } else {
            EXPECT_EQ(out.str(), c.json);
        }
        EXPECT_EQ(instrument.isOpen, false);
    }
    EXPECT_NE(log.str().find("Step 2: Measurement"), std::string::npos);
}

TEST_F(Console, CancelBeforeAStepShowsCancelsThatStep) {
    // Requested while the instrument opens: no step is showing yet, the first one takes it.
    cancels = 1;
    EXPECT_FALSE(run(false));
    EXPECT_EQ(instrument.calibrations, 1);
    EXPECT_EQ(instrument.measurements, 0);
    EXPECT_EQ(out.str().find("Step 2"), std::string::npos);
    EXPECT_EQ(out.str().find("Could not"), std::string::npos);
    EXPECT_TRUE(log.str().empty());
}

TEST_F(Console, TextPassesThroughTheTerminalEncoding) {
    ConsoleFrontEnd frontEnd(resources, out, log, false, nullptr, [](std::string_view text) {
        std::string upper(text);
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    });
    CLuxadorUIDlg dlg(
        frontEnd,
        CLuxadorUIDlg::Devices{[this] { return std::make_unique<ScriptedInstrument>(instrument); },
                               [this] { return std::make_unique<ScriptedValue>(value); }});
    frontEnd.runMainDialog(dlg);
    EXPECT_NE(out.str().find("STEP 2: MEASUREMENT"), std::string::npos);
    EXPECT_NE(out.str().find("LIGHTING SOURCE TYPE: THREE BAND TYPE\n"), std::string::npos);
}

TEST(ConsoleText, JsonStringsEscapeWhatJsonRequires) {
    EXPECT_EQ(jsonString("a\"b\\c\nd\te\x01"), "\"a\\\"b\\\\c\\nd\\te\\u0001\"");
    EXPECT_EQ(jsonString("照度 \xF0\x9F\x92\xA1"), "\"\\u7167\\u5ea6 \\ud83d\\udca1\"");
    EXPECT_EQ(jsonString("a\xFF"), "\"a\\ufffd\"");
    EXPECT_EQ(trimmed("Measurement complete. \n"), "Measurement complete.");
}

}  // namespace
}  // namespace app
