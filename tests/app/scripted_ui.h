// A front-end that records what the workflow asks of it and plays a script for the user.
#ifndef TESTS_APP_SCRIPTED_UI_H
#define TESTS_APP_SCRIPTED_UI_H

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/resources.h"
#include "app/workflow.h"

namespace app::testing {

class ScriptedUi : public UiOperations {
public:
    explicit ScriptedUi(const Resources& resources) : m_resources(&resources) {}

    void setText(Control control, std::string_view text) override { texts[control] = text; }
    void enable(Control control, bool enabled) override {
        if (enabled)
            disabled.erase(control);
        else
            disabled.insert(control);
    }
    void setFocus(Control control) override { focus = control; }
    std::string loadString(std::uint32_t id) override { return m_resources->text(id); }
    void messageBox(std::string_view text) override { messages.emplace_back(text); }
    void beginWaitCursor() override {
        ++waitBegins;
        ++waitDepth;
    }
    void endWaitCursor() override {
        ++waitEnds;
        --waitDepth;
    }
    void repaint() override { ++repaints; }
    void pumpMessages() override {
        ++pumps;
        if (onPump && m_current) onPump(*m_current, stepsCreated);
    }
    void setProperty(std::string_view name, std::intptr_t value) override {
        properties[std::string(name)] = value;
    }
    void removeProperty(std::string_view name) override { properties.erase(std::string(name)); }

    bool createStep(CWaitButton& step) override {
        if (failStepCreation == stepsCreated + 1) return false;
        ++stepsCreated;
        m_current = &step;
        m_windowOpen = true;
        return true;
    }
    void setStepText(CWaitButton&, std::string_view text) override { stepTexts.emplace_back(text); }
    void centreStep(CWaitButton&) override {}
    void showStep(CWaitButton&) override { ++stepsShown; }
    bool stepExists(const CWaitButton& step) override { return &step == m_current && m_windowOpen; }
    void closeStep(CWaitButton& step) override {
        step.onClose();
        m_windowOpen = false;
    }
    void destroyStep(CWaitButton& step) override {
        if (&step == m_current) m_current = nullptr;
        m_windowOpen = false;
        ++stepsDestroyed;
    }
    void showAbout(const AboutBox& about) override { aboutVersion = about.version; }

    // The user closes the step window with its close box.
    void closeBox() {
        if (m_current) {
            m_current->onClose();
            m_windowOpen = false;
        }
    }

    std::string text(Control c) const {
        const auto it = texts.find(c);
        return it == texts.end() ? std::string() : it->second;
    }

    // Called on every pump while a step window exists, with the number of steps created.
    std::function<void(CWaitButton&, int)> onPump;
    int failStepCreation = 0;  // 1 or 2: that step's window cannot be created

    std::map<Control, std::string> texts;
    std::set<Control> disabled;
    Control focus = Control::Exit;
    std::vector<std::string> messages;
    std::vector<std::string> stepTexts;
    std::map<std::string, std::intptr_t> properties;
    std::string aboutVersion;
    int waitBegins = 0, waitEnds = 0, waitDepth = 0;
    int repaints = 0, pumps = 0;
    int stepsCreated = 0, stepsShown = 0, stepsDestroyed = 0;

private:
    const Resources* m_resources;
    CWaitButton* m_current = nullptr;
    bool m_windowOpen = false;
};

}  // namespace app::testing

#endif  // TESTS_APP_SCRIPTED_UI_H
