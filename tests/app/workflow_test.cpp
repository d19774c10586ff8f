// The measurement workflow through a scripted front-end, instrument and measurement value.
#include <gtest/gtest.h>

#include <memory>

#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "app/spectrophotometer.h"
#include "resources/string_ids.h"
#include "tests/app/scripted_devices.h"
#include "tests/app/scripted_ui.h"

namespace app {
namespace {

namespace okp = orvel_kepno_ambientlib;
using testing::InstrumentScript;
using testing::ScriptedInstrument;
using testing::ScriptedValue;
using testing::ValueScript;

class Workflow : public ::testing::Test {
protected:
    void start() {
        CLuxadorUIDlg dlg(ui,
                          CLuxadorUIDlg::Devices{
                              [this] { return std::make_unique<ScriptedInstrument>(instrument); },
                              [this] { return std::make_unique<ScriptedValue>(value); }});
        dlg.onInitDialog();
        dlg.onStartMeasurement();
        measured = dlg.measured();
        EXPECT_EQ(okp::GetCancelPoll(), nullptr) << "the cancel poll outlived the measurement";
    }

    std::string str(std::uint32_t id) const { return resources.text(id); }

    // Every ending leaves the dialog usable, the reader closed and the cursor normal.
    void expectIdle() const {
        EXPECT_TRUE(ui.disabled.empty());
        EXPECT_EQ(ui.focus, Control::StartMeasurement);
        EXPECT_EQ(ui.waitDepth, 0);
        EXPECT_EQ(ui.waitBegins, ui.waitEnds);
        EXPECT_FALSE(instrument.isOpen);
        EXPECT_EQ(ui.stepsCreated, ui.stepsDestroyed);
    }

    void expectEmptyResults() const {
        EXPECT_EQ(ui.text(Control::SourceType), "");
        EXPECT_EQ(ui.text(Control::ColorTemperature), "");
        EXPECT_EQ(ui.text(Control::Illuminance), "");
        EXPECT_EQ(ui.text(Control::Status), str(ids::kReady));
        EXPECT_FALSE(measured);
    }

    Resources resources;
    testing::ScriptedUi ui{resources};
    InstrumentScript instrument;
    ValueScript value;
    bool measured = false;
};

TEST_F(Workflow, CompleteMeasurementShowsResultsAndUnlocks) {
    ui.texts[Control::SourceType] = "old";
    start();
    EXPECT_EQ(ui.stepTexts,
              (std::vector<std::string>{str(ids::kStepCalibration), str(ids::kStepMeasurement)}));
    EXPECT_EQ(ui.stepsShown, 2);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.text(Control::SourceType), "Three Band Type");
    EXPECT_EQ(ui.text(Control::ColorTemperature), "3500");
    EXPECT_EQ(ui.text(Control::Illuminance), "1000");
    EXPECT_EQ(ui.text(Control::Status), "Measurement complete. ");
    EXPECT_TRUE(measured);
    EXPECT_EQ(instrument.closes, 1);
    EXPECT_EQ(ui.waitBegins, 2);
    EXPECT_GT(ui.pumps, 0);
    expectIdle();
}

TEST_F(Workflow, ResultsAreRoundedAndClamped) {
    const struct {
        std::int64_t kelvin;
        const char* shown;
    } temperatures[] = {{0, "2500"},    {2449, "2500"}, {6549, "6500"}, {6550, "6600"},
                        {9000, "7500"}, {-1, "7500"},   {-100, "7500"}};
    for (const auto& t : temperatures) {
        value.kelvin = t.kelvin;
        start();
        EXPECT_EQ(ui.text(Control::ColorTemperature), t.shown) << t.kelvin << " K";
    }
    const struct {
        double lux;
        const char* shown;
    } illuminances[] = {{0.0, "300"},     {524.9, "500"}, {550.0, "550"}, {575.0, "600"},
                        {5000.0, "1000"}, {-80.0, "300"}, {1e30, "1000"}};
    for (const auto& i : illuminances) {
        value.lux = i.lux;
        start();
        EXPECT_EQ(ui.text(Control::Illuminance), i.shown) << i.lux << " lx";
    }
}

TEST_F(Workflow, EachTypeHasItsTextAndStatus) {
    const struct {
        std::int32_t type;
        std::uint32_t text, status;
    } cases[] = {{okp::kHighColorRendering, ids::kHighColorRenderingType, ids::kComplete},
                 {okp::kThreeBand, ids::kThreeBandType, ids::kComplete},
                 {okp::kNormal, ids::kNormalType, ids::kComplete},
                 {okp::kIncompatible, ids::kIncompatible, ids::kUnusable},
                 {7, ids::kIncompatible, ids::kUnusable}};
    for (const auto& c : cases) {
        value.type = c.type;
        start();
        EXPECT_EQ(ui.text(Control::SourceType), str(c.text)) << c.type;
        EXPECT_EQ(ui.text(Control::Status), str(c.status)) << c.type;
    }
}

TEST_F(Workflow, IncompatibleLightStillShowsRoundedValues) {
    value = {6550, 524.9, okp::kIncompatible};
    start();
    EXPECT_EQ(ui.text(Control::SourceType), "Incompatible");
    EXPECT_EQ(ui.text(Control::ColorTemperature), "6600");
    EXPECT_EQ(ui.text(Control::Illuminance), "500");
    EXPECT_EQ(ui.text(Control::Status), str(ids::kUnusable));
    EXPECT_TRUE(measured);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Workflow, CancelInEitherStepEndsQuietly) {
    for (int cancelStep : {1, 2}) {
        ui = testing::ScriptedUi(resources);
        instrument = {};
        ui.texts[Control::ColorTemperature] = "4000";
        ui.onPump = [cancelStep](CWaitButton& step, int created) {
            if (created == cancelStep) step.onCancel();
        };
        start();
        SCOPED_TRACE(cancelStep);
        EXPECT_TRUE(ui.messages.empty());
        expectEmptyResults();
        expectIdle();
        EXPECT_EQ(ui.stepsCreated, cancelStep);
        EXPECT_EQ(instrument.measurements, cancelStep == 2 ? 1 : 0);
        EXPECT_EQ(instrument.closes, 1);
        EXPECT_EQ(ui.waitBegins, 2);
    }
}

TEST_F(Workflow, ClosingTheStepWindowCancels) {
    ui.onPump = [this](CWaitButton&, int) { ui.closeBox(); };
    start();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(instrument.calibrations, 1);
    EXPECT_EQ(instrument.measurements, 0);
    expectEmptyResults();
    expectIdle();
}

TEST_F(Workflow, FailedOpenShowsItsMessageAndNoStep) {
    const struct {
        int code;
        std::uint32_t message;
    } cases[] = {{okp::kAppNoInstrument, ids::kNoSensor},
                 {okp::kAppMemoryError, ids::kMemoryError},
                 {okp::kAppFailure, ids::kNoCommunication},
                 {okp::kAppParameterError, ids::kNoCommunication}};
    for (const auto& c : cases) {
        ui = testing::ScriptedUi(resources);
        instrument = {};
        instrument.open = c.code;
        start();
        SCOPED_TRACE(c.code);
        EXPECT_EQ(ui.messages, std::vector<std::string>{str(c.message)});
        EXPECT_EQ(ui.stepsCreated, 0);
        EXPECT_EQ(instrument.calibrations, 0);
        EXPECT_EQ(ui.waitBegins, 1);
        expectEmptyResults();
        expectIdle();
    }
}

TEST_F(Workflow, FailedStepsChooseTheirMessages) {
    const struct {
        int code;
        std::uint32_t calibration, measurement;
    } cases[] = {{okp::kAppMemoryError, ids::kMemoryError, ids::kMemoryError},
                 {okp::kAppNoInstrument, ids::kNoSensor, ids::kNoSensor},
                 {okp::kAppCommunicationError, ids::kNoCommunication, ids::kNoCommunication},
                 {okp::kAppParameterError, ids::kCalibrationFailed, ids::kMeasurementFailed},
                 {okp::kAppMeasurementError, ids::kCalibrationFailed, ids::kMeasurementFailed},
                 {okp::kAppFailure, ids::kCalibrationFailed, ids::kMeasurementFailed}};
    for (const auto& c : cases) {
        for (bool inCalibration : {true, false}) {
            ui = testing::ScriptedUi(resources);
            instrument = {};
            (inCalibration ? instrument.calibrate : instrument.measure) = c.code;
            start();
            SCOPED_TRACE(::testing::Message()
                         << c.code << (inCalibration ? " calibrating" : " measuring"));
            EXPECT_EQ(ui.messages,
                      std::vector<std::string>{str(inCalibration ? c.calibration : c.measurement)});
            EXPECT_EQ(ui.stepsCreated, inCalibration ? 1 : 2);
            EXPECT_EQ(instrument.closes, 1);
            EXPECT_EQ(ui.waitBegins, 2);
            expectEmptyResults();
            expectIdle();
        }
    }
}

TEST_F(Workflow, StepWindowThatCannotBeCreatedIsAMemoryError) {
    for (int failing : {1, 2}) {
        ui = testing::ScriptedUi(resources);
        instrument = {};
        ui.failStepCreation = failing;
        start();
        SCOPED_TRACE(failing);
        EXPECT_EQ(ui.messages, std::vector<std::string>{str(ids::kMemoryError)});
        EXPECT_EQ(instrument.calibrations, failing == 1 ? 0 : 1);
        EXPECT_EQ(instrument.measurements, 0);
        EXPECT_EQ(ui.waitBegins, 1);
        expectEmptyResults();
        expectIdle();  // the instrument object closed the reader when it went
    }
}

TEST_F(Workflow, DialogMarksItsWindowWhileItExists) {
    CLuxadorUIDlg dlg(ui);
    dlg.onInitDialog();
    EXPECT_EQ(ui.properties.at("Luxador"), 1);
    EXPECT_EQ(ui.text(Control::Status), str(ids::kReady));
    dlg.onAbout();
    EXPECT_EQ(ui.aboutVersion, "Version 1.10");
    dlg.onDestroy();
    EXPECT_EQ(ui.properties.count("Luxador"), 0u);
    EXPECT_EQ(CLuxadorUIDlg::iconOffset(33, 32), 1);
    EXPECT_EQ(CLuxadorUIDlg::iconOffset(100, 32), 34);
}

}  // namespace
}  // namespace app
