// Simulated serial display colorimeter and spectrometer: command parsing and answer text.
#include "sim/serial/display_sims.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace sim {
namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

std::string ColorimeterSim::answer(std::string_view request, Fault fault, std::uint32_t value) {
    std::lock_guard lock(m_mutex);
    const std::string command(request);
    if (fault == Fault::ErrorStatus) {
        char text[16];
        std::snprintf(text, sizeof text, "E%02u\r", value % 100);
        return text;
    }
    if (const auto it = m_state.errorLines.find(command); it != m_state.errorLines.end())
        return it->second + "\r";
    if (command == "Z") return m_state.statusLine + "\r";
    if (command == "H1") {
        char text[64];
        std::snprintf(text, sizeof text, "P1 %ld,%ld,%ld\r", std::lround(m_state.x * 1000),
                      std::lround(m_state.y * 1000), std::lround(m_state.luminance * 100));
        return text;
    }
    for (const char* known : {"F1&H1&Z", "F1&Z", "H1&Z", "S3&Z", "M0&Z", "F0", "H0", "I", "H0&F0"})
        if (command == known) return "P1 OK\r";
    return "E99\r";
}

std::vector<double> SpectrometerState::defaultSpectrum() {
    std::vector<double> values(401);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = 0.001 * static_cast<double>(i) + 0.5;
    return values;
}

std::string SpectrometerSim::answer(std::string_view request, Fault fault, std::uint32_t value) {
    std::lock_guard lock(m_mutex);
    const std::string command(request);
    SpectrometerState& s = m_state;
    if (fault == Fault::ErrorStatus) {
        char text[16];
        std::snprintf(text, sizeof text, "ER%02u\nOK\n", value % 100);
        return text;
    }
    for (const auto& [prefix, line] : s.errorLines)
        if (command.starts_with(prefix)) return line + "\n";

    if (command == "RMT,1") {
        s.remote = true;
        return "OK\n";
    }
    if (command == "RMT,0") {
        s.remote = false;
        return {};
    }
    if (command == "STR") {
        if (!s.stateLine.empty()) return s.stateLine + "\n";
        std::string line = "OK,0,00.000,0000,00000,0,0\n";
        line[3] = s.integrationMode;
        line[23] = s.observerIndex;
        line[25] = s.flag;
        return line;
    }
    if (command.starts_with("MMS,")) {
        s.lastTiming = command;
        return "OK\n";
    }
    if (command == "MES,1") {
        s.measuring = true;
        if (s.measureMs != SpectrometerState::kNever) m_later.push_back({"OK\n", s.measureMs});
        char text[32];
        std::snprintf(text, sizeof text, "OK,%.3f\n", s.learnedSeconds);
        return text;
    }
    if (command == "MES,0") {
        // The measurement's end will not come any more.
        if (m_pty) m_pty->cancelTimedSends();
        s.measuring = false;
        return "OK\n";
    }
    if (command.starts_with("BDR,")) {
        s.lastData = command;
        m_pending = command.starts_with("BDR,1,") ? Pending::Colour : Pending::Spectrum;
        m_block = 0;
        return "OK\n";
    }
    if (command == "&") {
        std::string block;
        if (m_pending == Pending::Colour) {
            for (const double v : s.colour) {
                if (!block.empty()) block += ',';
                block += number(v);
            }
            m_pending = Pending::None;
        } else if (m_pending == Pending::Spectrum) {
            const std::size_t first = m_block * 28;
            const std::size_t count = m_block == 14 ? 9 : 28;
            if (m_block == 14) block = "\t";
            for (std::size_t i = first; i < first + count && i < s.spectrum.size(); ++i) {
                if (i != first) block += ',';
                block += number(s.spectrum[i]);
            }
            if (++m_block == 15) m_pending = Pending::None;
        } else {
            return "ER02\nOK\n";
        }
        return block + "\nOK\n";
    }
    return "ER03\n";
}

std::vector<Unsolicited> SpectrometerSim::unsolicited() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_later, {});
}

}  // namespace sim
