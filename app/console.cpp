// The console front-end.
#include "app/console.h"

#include <cstdio>

#include "resources/string_ids.h"

namespace app {

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return std::string(text);
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

ConsoleFrontEnd::ConsoleFrontEnd(const Resources& resources, std::ostream& out, std::ostream& log,
                                 bool json, std::function<bool()> cancelRequested)
    : m_resources(resources),
      m_out(out),
      m_log(log),
      m_json(json),
      m_cancelRequested(std::move(cancelRequested)) {}

void ConsoleFrontEnd::runMainDialog(CLuxadorUIDlg& dlg) {
    dlg.onInitDialog();
    dlg.onStartMeasurement();
    printResults(dlg.measured());
    dlg.onDestroy();
}

void ConsoleFrontEnd::setText(Control control, std::string_view text) {
    m_texts[control] = std::string(text);
}

void ConsoleFrontEnd::messageBox(std::string_view text) {
    m_messages.push_back(trimmed(text));
    if (!m_json) m_out << m_messages.back() << '\n' << std::flush;
}

void ConsoleFrontEnd::pumpMessages() {
    if (m_cancelRequested && m_cancelRequested()) m_pendingCancel = true;
    if (m_pendingCancel && m_step != nullptr && m_stepOpen) {
        m_step->onCancel();
        m_pendingCancel = false;
    }
}

void ConsoleFrontEnd::setProperty(std::string_view name, std::intptr_t value) {
    m_properties[std::string(name)] = value;
}

void ConsoleFrontEnd::removeProperty(std::string_view name) {
    if (const auto it = m_properties.find(name); it != m_properties.end()) m_properties.erase(it);
}

bool ConsoleFrontEnd::createStep(CWaitButton& step) {
    m_step = &step;
    m_stepOpen = true;
    m_stepText.clear();
    return true;
}

void ConsoleFrontEnd::setStepText(CWaitButton& step, std::string_view text) {
    if (&step == m_step) m_stepText = text;
}

void ConsoleFrontEnd::showStep(CWaitButton& step) {
    if (&step != m_step) return;
    std::ostream& to = m_json ? m_log : m_out;
    to << trimmed(m_stepText) << "\n\n" << std::flush;
}

bool ConsoleFrontEnd::stepExists(const CWaitButton& step) {
    return &step == m_step && m_stepOpen;
}

void ConsoleFrontEnd::closeStep(CWaitButton& step) {
    if (&step != m_step || !m_stepOpen) return;
    step.onClose();
    m_stepOpen = false;
}

void ConsoleFrontEnd::destroyStep(CWaitButton& step) {
    if (&step != m_step) return;
    m_step = nullptr;
    m_stepOpen = false;
}

void ConsoleFrontEnd::showAbout(const AboutBox& about) {
    m_out << about.product << '\n' << about.version << '\n';
}

std::string ConsoleFrontEnd::field(Control control) const {
    const auto it = m_texts.find(control);
    return it == m_texts.end() ? std::string() : it->second;
}

void ConsoleFrontEnd::printResults(bool measured) {
    const std::string type = field(Control::SourceType);
    const std::string kelvin = field(Control::ColorTemperature);
    const std::string lux = field(Control::Illuminance);
    const std::string status = trimmed(field(Control::Status));
    if (m_json) {
        auto number = [](const std::string& s) { return s.empty() ? std::string("null") : s; };
        m_out << "{\"lightingSourceType\": " << (type.empty() ? "null" : jsonString(type))
              << ", \"colorTemperature\": " << number(kelvin)
              << ", \"illuminance\": " << number(lux) << ", \"status\": " << jsonString(status)
              << ", \"messages\": [";
        for (std::size_t i = 0; i < m_messages.size(); ++i)
            m_out << (i ? ", " : "") << jsonString(m_messages[i]);
        m_out << "], \"completed\": " << (measured ? "true" : "false") << "}\n" << std::flush;
        return;
    }
    auto line = [this](std::uint32_t label, const std::string& value, std::uint32_t unit) {
        std::string text = loadString(label);
        if (!value.empty()) text.append(" ").append(value);
        if (!value.empty() && unit != 0) text.append(" ").append(loadString(unit));
        m_out << text << '\n';
    };
    line(ids::kMainSourceTypeLabel, type, 0);
    line(ids::kMainColorTemperatureLabel, kelvin, ids::kMainKelvinLabel);
    line(ids::kMainIlluminanceLabel, lux, ids::kMainLuxLabel);
    m_out << status << '\n' << std::flush;
}

}  // namespace app
