// The console front-end: one measurement in a terminal or a script, results as text or JSON.
#ifndef APP_CONSOLE_H
#define APP_CONSOLE_H

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/light_details.h"
#include "app/resources.h"
#include "app/workflow.h"

namespace app {

// How a console run ended, as the JSON "outcome" names it.
enum class ConsoleOutcome { Measured, Cancelled, Failed, AlreadyRunning };
std::string_view outcomeName(ConsoleOutcome outcome);

// What a console run reports; empty fields were not measured.
struct ConsoleReport {
    std::string type;
    std::string kelvin;
    std::string lux;
    std::string status;
    std::vector<std::string> messages;
    ConsoleOutcome outcome = ConsoleOutcome::Failed;
};
// The report as one line of JSON; `details` (may be empty) are appended to the object.
std::string reportJson(const ConsoleReport& report, std::string_view details);
// The report as one line of JSON, ASCII only (other characters as \u escapes).
std::string reportJson(const ConsoleReport& report);

class ConsoleFrontEnd final : public FrontEnd {
public:
    // Step instructions, each with how to cancel it, go to `out` as they come, then the
    // results; message boxes go to `log`. With `json`, `out` receives only one JSON object, the
    // instructions go to `log` and the messages into the object. `cancelRequested` is polled
    // while the instrument waits; `encode` turns UTF-8 text into the terminal's character set
    // (null: unchanged).
    ConsoleFrontEnd(const Resources& resources, std::ostream& out, std::ostream& log, bool json,
                    std::function<bool()> cancelRequested,
                    std::function<std::string(std::string_view)> encode = {});

    // One press of Start Measurement, then the results.
    void runMainDialog(CLuxadorUIDlg& dlg) override;

    void setText(Control control, std::string_view text) override;
    void enable(Control, bool) override {}  // nothing to click while the workflow runs
    void setFocus(Control) override {}
    // The console's own ready line stands in for the window's instruction to click a button.
    std::string loadString(std::uint32_t id) override;
    void messageBox(std::string_view text) override;
    void beginWaitCursor() override { ++m_waitDepth; }
    void endWaitCursor() override { --m_waitDepth; }
    void repaint() override {}
    void pumpMessages() override;
    void setProperty(std::string_view name, std::intptr_t value) override;
    void removeProperty(std::string_view name) override;

    bool createStep(CWaitButton& step) override;
    void setStepText(CWaitButton& step, std::string_view text) override;
    void centreStep(CWaitButton&) override {}
    void showStep(CWaitButton& step) override;
    bool stepExists(const CWaitButton& step) override;
    void closeStep(CWaitButton& step) override;
    void destroyStep(CWaitButton& step) override;
    void showAbout(const AboutBox& about) override;

    int waitDepth() const { return m_waitDepth; }

    // Targets of the verdict, and where to write the measured spectrum as CSV (empty: nowhere).
    void setDetailOptions(Targets targets, std::string spectrumPath);
    void showDetails(const orvel_kepno_ambientlib::MeasurementValue* value) override;
    // Whether the spectrum was asked for and could not be written.
    bool spectrumLost() const { return m_spectrumLost; }

private:
    void printResults(CLuxadorUIDlg::Outcome outcome);
    std::string field(Control control) const;
    void write(std::ostream& to, std::string_view text);

    const Resources& m_resources;
    std::ostream& m_out;
    std::ostream& m_log;
    bool m_json;
    std::function<bool()> m_cancelRequested;
    std::function<std::string(std::string_view)> m_encode;
    std::map<Control, std::string> m_texts;
    std::map<std::string, std::intptr_t, std::less<>> m_properties;
    std::vector<std::string> m_messages;
    CWaitButton* m_step = nullptr;
    bool m_stepOpen = false;
    bool m_pendingCancel = false;  // asked for before a step was showing
    std::string m_stepText;
    int m_waitDepth = 0;
    Targets m_targets = defaultTargets();
    std::string m_spectrumPath;
    std::optional<LightDetails> m_details;
    bool m_spectrumLost = false;
};

// Text with its trailing blanks and line breaks removed.
std::string trimmed(std::string_view text);
// A JSON string literal, ASCII only.
std::string jsonString(std::string_view text);

}  // namespace app

#endif  // APP_CONSOLE_H
