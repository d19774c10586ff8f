// The two-step measurement of the main dialog, the step dialog and the about dialog.
#include "app/workflow.h"

#include <cmath>
#include <limits>
#include <new>

#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "app/spectrophotometer.h"
#include "resources/string_ids.h"

namespace app {

namespace okp = orvel_kepno_ambientlib;

namespace {

// Message for a failed open, calibration or measurement.
std::uint32_t failureMessage(int code, std::uint32_t otherwise) {
    switch (code) {
        case okp::kAppMemoryError:
            return ids::kMemoryError;
        case okp::kAppNoInstrument:
            return ids::kNoSensor;
        case okp::kAppCommunicationError:
            return ids::kNoCommunication;
        default:
            return otherwise;
    }
}

}  // namespace

int displayedColorTemperature(std::int64_t kelvin) {
    // Read as a 32-bit unsigned number, so a negative temperature is very large; the sum is
    // taken in 64 bits so that it cannot wrap back to a small value.
    const std::uint64_t t = static_cast<std::uint32_t>(kelvin);
    const std::uint64_t shown = (t + 50) / 100 * 100;
    if (shown < 2500) return 2500;
    if (shown > 7500) return 7500;
    return static_cast<int>(shown);
}

int displayedIlluminance(double lux) {
    // Truncated toward zero to a 32-bit integer; NaN counts as 0, the rest saturates.
    std::int64_t i = 0;
    if (std::isnan(lux)) {
        i = 0;
    } else if (lux >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        i = std::numeric_limits<std::int32_t>::max();
    } else if (lux <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        i = std::numeric_limits<std::int32_t>::min();
    } else {
        i = static_cast<std::int32_t>(lux);
    }
    const std::int64_t shown = (i + 25) / 50 * 50;
    if (shown < 300) return 300;
    if (shown > 1000) return 1000;
    return static_cast<int>(shown);
}

AboutBox::AboutBox(UiOperations& ui)
    : caption(ui.loadString(ids::kAboutCaption)),
      product(ui.loadString(ids::kAboutProduct)),
      version(ui.loadString(ids::kAboutVersion)),
      ok(ui.loadString(ids::kAboutOk)) {}

CLuxadorUIDlg::CLuxadorUIDlg(UiOperations& ui)
    : CLuxadorUIDlg(ui, Devices{[] { return std::make_unique<okp::I1Ambient>(); },
                                [] { return std::make_unique<okp::MeasurementValue>(); }}) {}

CLuxadorUIDlg::CLuxadorUIDlg(UiOperations& ui, Devices devices)
    : m_ui(ui), m_devices(std::move(devices)) {}

CLuxadorUIDlg::~CLuxadorUIDlg() {
    if (okp::GetCancelPoll() == this) okp::SetCancelPoll(nullptr);
}

void CLuxadorUIDlg::onInitDialog() {
    m_ui.setText(Control::Status, m_ui.loadString(ids::kReady));
    m_ui.setProperty(kInstanceName, 1);
    // As after a measurement; the default button, Exit, would take a first Enter otherwise.
    m_ui.setFocus(Control::StartMeasurement);
}

void CLuxadorUIDlg::onDestroy() {
    m_ui.removeProperty(kInstanceName);
}

void CLuxadorUIDlg::onAbout() {
    m_ui.showAbout(AboutBox(m_ui));
}

std::int32_t CLuxadorUIDlg::PollCancel() {
    m_ui.pumpMessages();
    return m_step && m_step->cancelled() ? -1 : 0;
}

void CLuxadorUIDlg::lock(bool locked) {
    for (Control c :
         {Control::Exit, Control::StartMeasurement, Control::About, Control::MainWindow})
        m_ui.enable(c, !locked);
}

bool CLuxadorUIDlg::openStep(std::uint32_t textId) {
    m_step = std::make_unique<CWaitButton>();
    if (!m_ui.createStep(*m_step)) {
        m_step.reset();
        return false;
    }
    m_ui.setStepText(*m_step, m_ui.loadString(textId));
    m_ui.centreStep(*m_step);
    m_ui.showStep(*m_step);
    return true;
}

void CLuxadorUIDlg::closeStep() {
    if (!m_step) return;
    if (m_ui.stepExists(*m_step)) m_ui.closeStep(*m_step);
    m_ui.destroyStep(*m_step);
    m_step.reset();
}

void CLuxadorUIDlg::onStartMeasurement() {
    int waitCursors = 0;
    try {
        measure(waitCursors);
    } catch (const std::bad_alloc&) {
        // Whatever was created is gone again; leave the dialog usable.
        m_outcome = Outcome::Failed;
        closeStep();
        m_ui.messageBox(m_ui.loadString(ids::kMemoryError));
        lock(false);
        m_ui.setText(Control::Status, m_ui.loadString(ids::kReady));
        m_ui.setFocus(Control::StartMeasurement);
    }
    for (; waitCursors > 0; --waitCursors)
        m_ui.endWaitCursor();
    if (okp::GetCancelPoll() == this) okp::SetCancelPoll(nullptr);
}

void CLuxadorUIDlg::measure(int& waitCursors) {
    m_outcome = Outcome::Failed;
    lock(true);
    const std::unique_ptr<okp::Spectrophotometer> instrument = m_devices.instrument();
    okp::I1Information information;
    const std::unique_ptr<okp::MeasurementValue> value = m_devices.value();
    CancelCallBackAdapter adapter;
    okp::SetCancelPoll(this);

    m_ui.beginWaitCursor();
    ++waitCursors;
    instrument->SetCancelCallBack(&okp::CancelCallBack);
    const int opened = instrument->Open();
    for (Control c :
         {Control::SourceType, Control::ColorTemperature, Control::Status, Control::Illuminance})
        m_ui.setText(c, "");
    m_ui.showDetails(nullptr);

    auto errorEnding = [&](std::uint32_t message) {
        m_ui.messageBox(m_ui.loadString(message));
        lock(false);
        m_ui.setText(Control::Status, m_ui.loadString(ids::kReady));
        m_ui.setFocus(Control::StartMeasurement);
    };
    // After a cancel or a failed step: the message (if any), then close and unlock.
    auto quietEnding = [&](int code, std::uint32_t otherwise) {
        if (code == okp::kAppCancelled)
            m_outcome = Outcome::Cancelled;
        else
            m_ui.messageBox(m_ui.loadString(failureMessage(code, otherwise)));
        m_ui.repaint();
        m_ui.beginWaitCursor();
        ++waitCursors;
        instrument->Close();
        lock(false);
        m_ui.setText(Control::Status, m_ui.loadString(ids::kReady));
        m_ui.setFocus(Control::StartMeasurement);
    };

    if (opened != okp::kAppSuccess)
        return errorEnding(failureMessage(opened, ids::kNoCommunication));

    if (!openStep(ids::kStepCalibration)) return errorEnding(ids::kMemoryError);
    const int calibrated = instrument->Calibrate();
    closeStep();
    if (calibrated != okp::kAppSuccess) return quietEnding(calibrated, ids::kCalibrationFailed);

    if (!openStep(ids::kStepMeasurement)) return errorEnding(ids::kMemoryError);
    const int scanned = instrument->Measure(*value);
    closeStep();
    if (scanned != okp::kAppSuccess) return quietEnding(scanned, ids::kMeasurementFailed);

    m_ui.repaint();
    m_ui.beginWaitCursor();
    ++waitCursors;
    instrument->Close();
    // Without the colour library, or from a reading that overflowed, there is nothing to show.
    if (!value->IsComputable()) return errorEnding(ids::kMeasurementFailed);
    lock(false);
    showResults(*value);
    m_ui.showDetails(value.get());
    m_outcome = Outcome::Measured;
    m_ui.setFocus(Control::StartMeasurement);
}

void CLuxadorUIDlg::showResults(const okp::MeasurementValue& value) {
    m_ui.setText(Control::ColorTemperature,
                 std::to_string(displayedColorTemperature(value.GetColorTemperature())));
    m_ui.setText(Control::Illuminance,
                 std::to_string(displayedIlluminance(value.GetIlluminance())));
    std::int32_t index = 0;
    double error = 0.0;
    std::uint32_t type = ids::kIncompatible;
    std::uint32_t status = ids::kUnusable;
    switch (value.GetLightSourceType(&index, &error)) {
        case okp::kHighColorRendering:
            type = ids::kHighColorRenderingType, status = ids::kComplete;
            break;
        case okp::kThreeBand:
            type = ids::kThreeBandType, status = ids::kComplete;
            break;
        case okp::kNormal:
            type = ids::kNormalType, status = ids::kComplete;
            break;
        default:
            break;
    }
    m_ui.setText(Control::SourceType, m_ui.loadString(type));
    m_ui.setText(Control::Status, m_ui.loadString(status));
}

}  // namespace app
