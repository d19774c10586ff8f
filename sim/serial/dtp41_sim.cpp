// Simulated DTP41: command parsing and answer text.
#include "sim/serial/dtp41_sim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

constexpr std::uint32_t kReadingStarted = 0x14;
constexpr std::uint32_t kNoData = 0x21;
constexpr std::uint32_t kUnknownCommand = 0x20;

std::string hex2(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

std::string status(std::uint32_t code) {
    std::string text = "<";
    text += hex2(code);
    text += ">\r\n>\r\n";
    return text;
}

template <std::size_t N>
std::string line(const std::array<double, N>& values) {
    std::string text;
    for (const double v : values) {
        char number[32];
        std::snprintf(number, sizeof number, "%s%.3f", text.empty() ? "" : " ", v);
        text += number;
    }
    return text + "\r\n";
}

// The values of patch `p` in transfer mode `mode`, or empty for an unknown mode.
std::string patchLine(const Dtp41Patch& p, int mode) {
    switch (mode) {
        case 0:
            return line(p.densities);
        case 3:
            return line(p.spectrum);
        case 4:
            return line(p.lab);
        case 5:
            return line(p.xyz);
        default:
            return {};
    }
}

}  // namespace

std::vector<Dtp41Patch> makeStrip(std::size_t count) {
    std::vector<Dtp41Patch> strip(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double k = static_cast<double>(i);
        Dtp41Patch& p = strip[i];
        p.lab = {50.0 + k, -10.0 + k, 5.0 + k};
        p.xyz = {20.0 + k, 21.0 + k, 22.0 + k};
        p.densities = {0.1 + 0.01 * k, 0.2 + 0.01 * k, 0.3 + 0.01 * k, 0.4 + 0.01 * k};
        for (std::size_t s = 0; s < p.spectrum.size(); ++s)
            p.spectrum[s] = 10.0 + static_cast<double>(s) + k;
    }
    return strip;
}

void Dtp41Sim::pullStrip() {
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Pulled;
}

std::vector<Unsolicited> Dtp41Sim::unsolicited() {
    std::lock_guard lock(m_mutex);
    return std::move(m_later);
}

std::string Dtp41Sim::answer(std::string_view request, Fault fault, std::uint32_t value) {
    std::lock_guard lock(m_mutex);
    Dtp41State& s = m_state;
    m_later.clear();
    const bool failing = fault == Fault::ErrorStatus;
    const std::string text(request);
    const auto done = [&](std::string body) {
        m_lastError = failing ? value : 0;
        return body + status(failing ? value : 0);
    };
    const auto refuse = [&](std::uint32_t code) {
        m_lastError = code;
        return status(code);
    };

    if (text == "xe") {
        std::string body = !s.errorText.empty() ? s.errorText : hex2(failing ? value : m_lastError);
        if (m_phase == Phase::Reported) {
            // The reading ends on its own a while after the question.
            std::string end = "<";
            end += hex2(s.readingStatus);
            end += ">\r\n";
            const std::size_t pieces = std::max<std::size_t>(1, s.endPieces);
            const std::size_t size = (end.size() + pieces - 1) / pieces;
            for (std::size_t i = 0; s.readingCompletes && i * size < end.size(); ++i)
                m_later.push_back(
                    {end.substr(i * size, size), s.readingMs * static_cast<std::uint32_t>(i + 1)});
            if (s.readingStatus == 0) m_measured = s.strip;
            m_lastError = s.readingStatus;
            m_phase = Phase::Idle;
        }
        return body + "\r\n" + status(0);
    }
    if (text == "br") {
        if (m_phase == Phase::Pulled && !failing) {
            m_phase = Phase::Reported;
            return refuse(kReadingStarted);
        }
        return done({});
    }
    if (text.size() == 6 && text.ends_with("cf")) {
        const auto v =
            static_cast<std::uint8_t>(std::strtoul(text.substr(0, 2).c_str(), nullptr, 16));
        const auto r =
            static_cast<std::uint8_t>(std::strtoul(text.substr(2, 2).c_str(), nullptr, 16));
        if (!failing) s.registers[r] = v;
        return done({});
    }
    if (text.size() == 4 && text.ends_with("cf")) {
        const auto r =
            static_cast<std::uint8_t>(std::strtoul(text.substr(0, 2).c_str(), nullptr, 16));
        return done(std::to_string(s.registers[r]) + "\r\n");
    }
    if (text.size() == 15 && text.ends_with("08ds")) {
        if (!failing) s.definition = text;
        return done({});
    }
    if (text == "00sn") return done(std::to_string(s.serialNumber) + "\r\n");
    if (text == "04sn") return done(std::to_string(s.secondNumber) + "\r\n");
    if (text == "bv") return done(s.bootVersion + "\r\n");
    if (text == "sv") return done(s.softVersion + "\r\n");
    if (text == "01pb") return done({});
    if (text.size() == 4 && text.ends_with("ts")) {
        const int mode = std::atoi(text.substr(0, 2).c_str());
        if (m_measured.empty() || patchLine(m_measured.front(), mode).empty())
            return refuse(kNoData);
        std::string body;
        for (std::size_t i = 0; i < m_measured.size(); ++i) {
            const auto replaced = s.replacedLines.find(i);
            body += replaced != s.replacedLines.end() ? replaced->second + "\r\n"
                                                      : patchLine(m_measured[i], mode);
        }
        return done(body);
    }
    if (text.size() == 7 && text.ends_with("np")) {
        const int mode = std::atoi(text.substr(0, 2).c_str());
        const auto number = static_cast<std::size_t>(std::atoi(text.substr(2, 3).c_str()));
        if (number < 1 || number > m_measured.size() || patchLine(m_measured.front(), mode).empty())
            return refuse(kNoData);
        return done(patchLine(m_measured[number - 1], mode));
    }
    return refuse(kUnknownCommand);
}

}  // namespace sim
