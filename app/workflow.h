// The main dialog and its two-step measurement, the step dialog and the about dialog,
// written against UiOperations so that any front-end can show them.
#ifndef APP_WORKFLOW_H
#define APP_WORKFLOW_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/cancel_callback.h"
#include "app/ui_operations.h"

namespace orvel_kepno_ambientlib {
class Spectrophotometer;
class MeasurementValue;
}  // namespace orvel_kepno_ambientlib

namespace app {

// Name of the single-instance lock and of the main dialog's window property.
inline constexpr const char* kInstanceName = "Luxador";

// Field values as the main dialog shows them: colour temperature to 100 K within
// 2500..7500 K, illuminance to 50 lx within 300..1000 lx.
int displayedColorTemperature(std::int64_t kelvin);
int displayedIlluminance(double lux);

// The step dialog's object: one cancel flag, set by its Cancel button or a close request.
class CWaitButton {
public:
    void onCancel() { m_cancel = 1; }
    void onClose() { m_cancel = 1; }
    bool cancelled() const { return m_cancel == 1; }

private:
    std::int32_t m_cancel = 0;
};

// Texts of the about dialog, from the active resources.
class AboutBox {
public:
    explicit AboutBox(UiOperations& ui);
    std::string caption;
    std::string product;
    std::string version;  // "Version 1.10"
    std::string ok;
};

class CLuxadorUIDlg : public orvel_kepno_ambientlib::CancelPoll {
public:
    // What one measurement creates; tests put scripted objects here.
    struct Devices {
        std::function<std::unique_ptr<orvel_kepno_ambientlib::Spectrophotometer>()> instrument;
        std::function<std::unique_ptr<orvel_kepno_ambientlib::MeasurementValue>()> value;
    };

    // Uses the real instrument (the EyeOne ambient reader) and measurement value.
    explicit CLuxadorUIDlg(UiOperations& ui);
    CLuxadorUIDlg(UiOperations& ui, Devices devices);
    ~CLuxadorUIDlg() override;
    CLuxadorUIDlg(const CLuxadorUIDlg&) = delete;
    CLuxadorUIDlg& operator=(const CLuxadorUIDlg&) = delete;

    // Events from the front-end.
    void onInitDialog();        // window created: status line, window property
    void onStartMeasurement();  // button 1001: the whole measurement
    void onAbout();             // button 1017
    void onDestroy();           // window about to go: removes the window property

    // The cancel poll the instrument's callback reaches while it waits: pumps pending
    // messages, then -1 when a step dialog exists and was cancelled, else 0.
    std::int32_t PollCancel() override;
    // The current step dialog, or null.
    CWaitButton* step() const { return m_step.get(); }
    // How the last press of Start Measurement ended.
    enum class Outcome { None, Measured, Cancelled, Failed };
    Outcome outcome() const { return m_outcome; }
    // Whether the last measurement ran to its results (whatever the lamp type).
    bool measured() const { return m_outcome == Outcome::Measured; }

    // Another start asked this instance to come to the front; the front-end asks this a
    // few times a second while the dialog runs.
    void setActivationCheck(std::function<bool()> check) { m_activation = std::move(check); }
    bool activationRequested() { return m_activation && m_activation(); }

    // Where a minimised dialog draws its icon in a client area of the given size.
    static int iconOffset(int clientSize, int iconSize) { return (clientSize - iconSize + 1) / 2; }

private:
    void measure(int& waitCursors);
    bool openStep(std::uint32_t textId);
    void closeStep();
    void lock(bool locked);
    void showResults(const orvel_kepno_ambientlib::MeasurementValue& value);

    UiOperations& m_ui;
    Devices m_devices;
    std::unique_ptr<CWaitButton> m_step;
    std::function<bool()> m_activation;
    Outcome m_outcome = Outcome::None;
};

// The front-end that shows the main dialog. Besides the operations the workflow uses, it
// runs the dialog modally.
class FrontEnd : public UiOperations {
public:
    // Shows the main dialog until it closes: calls dlg.onInitDialog() when the window
    // exists, routes button 1001 to dlg.onStartMeasurement() and 1017 to dlg.onAbout(),
    // ends on Exit, Esc or the close box, and calls dlg.onDestroy() before the window goes.
    // While it runs it checks dlg.activationRequested() a few times a second and, on true,
    // restores the main window if minimised and raises its last active popup.
    virtual void runMainDialog(CLuxadorUIDlg& dlg) = 0;
};

}  // namespace app

#endif  // APP_WORKFLOW_H
