// The console front-end: one measurement in a terminal or a script, results as text or JSON.
#ifndef APP_CONSOLE_H
#define APP_CONSOLE_H

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/resources.h"
#include "app/workflow.h"

namespace app {

class ConsoleFrontEnd final : public FrontEnd {
public:
    // Step instructions and message boxes go to `out` as they come, then the results; with
    // `json`, `out` receives only one JSON object and the instructions go to `log`.
    // `cancelRequested` is polled while the instrument waits.
    ConsoleFrontEnd(const Resources& resources, std::ostream& out, std::ostream& log, bool json,
                    std::function<bool()> cancelRequested);

    // One press of Start Measurement, then the results.
    void runMainDialog(CLuxadorUIDlg& dlg) override;

    void setText(Control control, std::string_view text) override;
    void enable(Control, bool) override {}  // nothing to click while the workflow runs
    void setFocus(Control) override {}
    std::string loadString(std::uint32_t id) override { return m_resources.text(id); }
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

private:
    void printResults(bool measured);
    std::string field(Control control) const;

    const Resources& m_resources;
    std::ostream& m_out;
    std::ostream& m_log;
    bool m_json;
    std::function<bool()> m_cancelRequested;
    std::map<Control, std::string> m_texts;
    std::map<std::string, std::intptr_t, std::less<>> m_properties;
    std::vector<std::string> m_messages;
    CWaitButton* m_step = nullptr;
    bool m_stepOpen = false;
    bool m_pendingCancel = false;  // asked for before a step was showing
    std::string m_stepText;
    int m_waitDepth = 0;
};

// Text with its trailing blanks and line breaks removed.
std::string trimmed(std::string_view text);
// A JSON string literal.
std::string jsonString(std::string_view text);

}  // namespace app

#endif  // APP_CONSOLE_H
