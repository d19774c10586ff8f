// What the measurement workflow needs from a user-interface front-end. The workflow uses
// only these operations, so it runs the same on the desktop toolkit, on the console and
// under a scripted front-end in tests. Texts are UTF-8.
#ifndef APP_UI_OPERATIONS_H
#define APP_UI_OPERATIONS_H

#include <cstdint>
#include <string>
#include <string_view>

namespace orvel_kepno_ambientlib {
class MeasurementValue;
}  // namespace orvel_kepno_ambientlib

namespace app {

class CWaitButton;
class AboutBox;

// Control ids of the main dialog (template 103) and of the step dialog (template 130).
enum class Control : int {
    MainWindow = 0,  // the whole main dialog (enable / disable)
    Exit = 1,        // IDOK, the default button
    Cancel = 2,      // step dialog
    StartMeasurement = 1001,
    SourceType = 1005,        // read-only edit
    ColorTemperature = 1007,  // read-only edit, right-aligned, followed by "K"
    Status = 1009,            // read-only multi-line edit, no border
    Illuminance = 1011,       // read-only edit, right-aligned, followed by "lx"
    StepText = 1013,          // step dialog instruction
    About = 1017,
};

class UiOperations {
public:
    virtual ~UiOperations() = default;

    // Main dialog --------------------------------------------------------------------
    virtual void setText(Control control, std::string_view text) = 0;
    // Control::MainWindow enables or disables the whole main dialog.
    virtual void enable(Control control, bool enabled) = 0;
    virtual void setFocus(Control control) = 0;
    // A string or dialog text (resources/string_ids.h) of the active resource module.
    virtual std::string loadString(std::uint32_t id) = 0;
    // Modal box with an OK button, captioned with the application title.
    virtual void messageBox(std::string_view text) = 0;
    // Counted: two begins need two ends before the normal cursor returns.
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // Repaints the main dialog at once.
    virtual void repaint() = 0;
    // Handles every pending window event, then runs idle processing; never blocks.
    virtual void pumpMessages() = 0;
    // Named property on the main dialog's window (single-instance activation).
    virtual void setProperty(std::string_view name, std::intptr_t value) = 0;
    virtual void removeProperty(std::string_view name) = 0;

    // Step dialog: modeless, owned by the main dialog. Its Cancel button calls
    // step.onCancel() and leaves the window open; Enter does nothing; a close request
    // (close box, Alt+F4 or closeStep) calls step.onClose() and destroys the window. The
    // CWaitButton object outlives its window.
    // False when the window could not be created.
    virtual bool createStep(CWaitButton& step) = 0;
    virtual void setStepText(CWaitButton& step, std::string_view text) = 0;
    virtual void centreStep(CWaitButton& step) = 0;
    virtual void showStep(CWaitButton& step) = 0;
    // True while the step dialog's window exists.
    virtual bool stepExists(const CWaitButton& step) = 0;
    // Sends the window a close request (see above).
    virtual void closeStep(CWaitButton& step) = 0;
    // Destroys the window if it still exists.
    virtual void destroyStep(CWaitButton& step) = 0;

    // About dialog: modal; its texts come from `about`.
    virtual void showAbout(const AboutBox& about) = 0;

    // Details of the light measured last, or null when a new measurement starts; front-ends
    // that show no details ignore them.
    virtual void showDetails(const orvel_kepno_ambientlib::MeasurementValue* value) {
        static_cast<void>(value);
    }
};

}  // namespace app

#endif  // APP_UI_OPERATIONS_H
