// The console front-end.
#include "app/console.h"

#include <cstdio>
#include <optional>

#include "app/chromel_binding.h"
#include "app/measurement_value.h"
#include "platform/utf8.h"
#include "resources/string_ids.h"

namespace app {

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return std::string(text);
}

std::string jsonString(std::string_view text) {
    // Characters beyond ASCII as \u escapes (UTF-16), so the object reads the same in any
    // character set; broken UTF-8 becomes U+FFFD.
    std::wstring wide;
    if (const std::optional<std::wstring> decoded = platform::fromUtf8(text)) {
        wide = *decoded;
    } else {
        for (char c : text)
            wide += static_cast<unsigned char>(c) < 0x80 ? static_cast<wchar_t>(c) : L'\uFFFD';
    }
    auto escape = [](std::string& out, std::uint32_t unit) {
        char escaped[16];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
        out += escaped;
    };
    std::string out = "\"";
    for (wchar_t wc : wide) {
        const auto c = static_cast<std::uint32_t>(wc);
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
                if (c < 0x20 || c == 0x7F) {
                    escape(out, c);
                } else if (c < 0x80) {
                    out += static_cast<char>(c);
                } else if (c < 0x10000) {
                    escape(out, c);
                } else {
                    escape(out, 0xD800 + ((c - 0x10000) >> 10));
                    escape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
                }
        }
    }
    return out + "\"";
}

std::string_view outcomeName(ConsoleOutcome outcome) {
    switch (outcome) {
        case ConsoleOutcome::Measured:
            return "measured";
        case ConsoleOutcome::Cancelled:
            return "cancelled";
        case ConsoleOutcome::AlreadyRunning:
            return "already-running";
        case ConsoleOutcome::Failed:
            break;
    }
    return "failed";
}

std::string reportJson(const ConsoleReport& r) {
    return reportJson(r, {});
}

std::string reportJson(const ConsoleReport& r, std::string_view details) {
    auto text = [](const std::string& s) {
        return s.empty() ? std::string("null") : jsonString(s);
    };
    auto number = [](const std::string& s) { return s.empty() ? std::string("null") : s; };
    std::string json = "{\"lightingSourceType\": " + text(r.type) +
                       ", \"colorTemperature\": " + number(r.kelvin) +
                       ", \"illuminance\": " + number(r.lux) +
                       ", \"status\": " + jsonString(r.status) + ", \"messages\": [";
    for (std::size_t i = 0; i < r.messages.size(); ++i)
        json += (i ? ", " : "") + jsonString(r.messages[i]);
    json += "], \"completed\": ";
    json += r.outcome == ConsoleOutcome::Measured ? "true" : "false";
    json += ", \"outcome\": " + jsonString(outcomeName(r.outcome));
    json += details;
    return json + "}";
}

ConsoleFrontEnd::ConsoleFrontEnd(const Resources& resources, std::ostream& out, std::ostream& log,
                                 bool json, std::function<bool()> cancelRequested,
                                 std::function<std::string(std::string_view)> encode)
    : m_resources(resources),
      m_out(out),
      m_log(log),
      m_json(json),
      m_cancelRequested(std::move(cancelRequested)),
      m_encode(std::move(encode)) {}

std::string ConsoleFrontEnd::loadString(std::uint32_t id) {
    return m_resources.text(id == ids::kReady ? ids::kConsoleReady : id);
}

void ConsoleFrontEnd::write(std::ostream& to, std::string_view text) {
    if (m_encode)
        to << m_encode(text);
    else
        to << text;
}

void ConsoleFrontEnd::runMainDialog(CLuxadorUIDlg& dlg) {
    dlg.onInitDialog();
    dlg.onStartMeasurement();
    printResults(dlg.outcome());
    dlg.onDestroy();
}

void ConsoleFrontEnd::setText(Control control, std::string_view text) {
    m_texts[control] = std::string(text);
}

void ConsoleFrontEnd::messageBox(std::string_view text) {
    m_messages.push_back(trimmed(text));
    if (m_json) return;
    write(m_log, m_messages.back() + "\n");
    m_log << std::flush;
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
    write(to, trimmed(m_stepText) + "\n" + trimmed(loadString(ids::kConsoleCancelHint)) + "\n\n");
    to << std::flush;
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
    write(m_out, about.product + '\n' + about.version + '\n');
}

void ConsoleFrontEnd::setDetailOptions(Targets targets, std::string spectrumPath) {
    m_targets = std::move(targets);
    m_spectrumPath = std::move(spectrumPath);
}

void ConsoleFrontEnd::showDetails(const orvel_kepno_ambientlib::MeasurementValue* value) {
    m_details.reset();
    if (value == nullptr) return;
    SpectrumRecord spectrum;
    value->GetSpectrum(spectrum);
    const auto& chromel = orvel_kepno_ambientlib::CHROMEL::Instance();
    m_details = ComputeLightDetails(spectrum, value->GetIlluminance(), chromel);
    locateWhite(m_targets, chromel);
}

std::string ConsoleFrontEnd::field(Control control) const {
    const auto it = m_texts.find(control);
    return it == m_texts.end() ? std::string() : it->second;
}

void ConsoleFrontEnd::printResults(CLuxadorUIDlg::Outcome outcome) {
    ConsoleReport report{field(Control::SourceType),
                         field(Control::ColorTemperature),
                         field(Control::Illuminance),
                         trimmed(field(Control::Status)),
                         m_messages,
                         ConsoleOutcome::Failed};
    if (outcome == CLuxadorUIDlg::Outcome::Measured) report.outcome = ConsoleOutcome::Measured;
    if (outcome == CLuxadorUIDlg::Outcome::Cancelled) report.outcome = ConsoleOutcome::Cancelled;
    if (m_details && !m_spectrumPath.empty()) {
        std::string error;
        if (!writeSpectrumCsv(m_spectrumPath, m_details->spectrum, error)) {
            m_spectrumLost = true;
            report.messages.push_back(error);
            if (!m_json) write(m_log, error + "\n");
        }
    }
    if (m_json) {
        m_out << reportJson(report, m_details ? detailsJsonMembers(*m_details, m_targets) : "")
              << '\n'
              << std::flush;
        return;
    }
    auto line = [this](std::uint32_t label, const std::string& value, std::uint32_t unit) {
        std::string text = loadString(label);
        if (!value.empty()) text.append(" ").append(value);
        if (!value.empty() && unit != 0) text.append(" ").append(loadString(unit));
        write(m_out, text + '\n');
    };
    line(ids::kMainSourceTypeLabel, report.type, 0);
    line(ids::kMainColorTemperatureLabel, report.kelvin, ids::kMainKelvinLabel);
    line(ids::kMainIlluminanceLabel, report.lux, ids::kMainLuxLabel);
    write(m_out, report.status + '\n');
    if (m_details) {
        for (const std::string& text : detailLines(
                 *m_details, m_targets, [this](std::uint32_t id) { return loadString(id); }))
            write(m_out, text + '\n');
    }
    m_out << std::flush;
}

}  // namespace app
