// Simulated measuring table: table commands, head output set-up, measurement lines and keys.
#include "sim/serial/table_sim.h"

#include <cstdio>
#include <sstream>

namespace sim {
namespace {

std::string codes(const std::string& text, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += " " + std::to_string(i < text.size() ? static_cast<unsigned char>(text[i]) : 0);
    return out;
}

std::string real(double v) {
    char text[32];
    std::snprintf(text, sizeof text, " %.4f", v);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void TableSim::pressKey(std::uint32_t bit, std::uint32_t afterMs) {
    std::lock_guard lock(m_mutex);
    m_keyBit = bit;
    m_keyAfterMs = afterMs;
    m_keyPending = true;
}

std::vector<Unsolicited> TableSim::unsolicited() {
    std::lock_guard lock(m_mutex);
    if (!m_keyPending || m_lastRequest != "; 208 22") return {};
    m_keyPending = false;
    return {{": 209 130 " + std::to_string(m_keyBit) + "\r\n", m_keyAfterMs}};
}

std::string TableSim::answer(std::string_view request, Fault fault, std::uint32_t value) {
    {
        std::lock_guard lock(m_mutex);
        const bool afterMove = startsWith(m_lastRequest, "; 208 0 ");
        m_lastRequest = std::string(request);
        if (startsWith(request, "; 208")) {
            if (m_state.silent ||
                (afterMove && request == "; 208 4" && m_state.dropMoveSecondAnswer))
                return {};
            return tableAnswer(request, fault, value);
        }
        if (startsWith(request, "; 177 ")) {
            std::istringstream in{std::string(request.substr(6))};
            std::uint32_t what = 0, code = 0;
            in >> what >> code;
            if (what == 1) m_state.spectrumOut = code != 0;
            if (what == 2) m_state.colourOut = code != 0;
            if (what == 2 && code != 0) m_state.colourCode = code;
            if (what == 4) m_state.densityOut = code != 0;
            const std::uint32_t status = fault == Fault::ErrorStatus ? value : m_state.headStatus;
            return ": 31 " + std::to_string(status) + "\r\n";
        }
    }
    if (request == "; 32") {
        std::lock_guard lock(m_mutex);
        const std::uint32_t status = fault == Fault::ErrorStatus ? value : m_state.startStatus;
        std::string reply = ": 37 " + std::to_string(status) + "\r\n";
        return m_state.measureLine == MeasureLine::Missing ? reply : reply + measurement();
    }
    return m_head.answer(request, fault, value);
}

std::string TableSim::tableAnswer(std::string_view request, Fault fault, std::uint32_t value) {
    TableState& s = m_state;
    std::istringstream in{std::string(request.substr(6))};
    std::vector<std::int64_t> args;
    for (std::int64_t a; in >> a;)
        args.push_back(a);
    const std::uint32_t command = args.empty() ? 0xFFFFFFFFu : static_cast<std::uint32_t>(args[0]);
    const std::string number = fault == Fault::WrongNumber ? ": 210 " : ": 209 ";
    switch (command) {
        case 5:
            return number + "129 " + std::to_string(args.size() > 1 ? args[1] : 0) + " 0 " +
                   std::to_string(s.x) + " " + std::to_string(s.y) + " 0\r\n";
        case 48:
            return number + "144" + codes(s.model, 18) + "\r\n";
        case 49:
            return number + "145 " + std::to_string(s.numberLow) + " " +
                   std::to_string(s.numberHigh) + "\r\n";
        case 50:
            return number + "146" + codes(s.secondText, 8) + "\r\n";
        case 51:
            return number + "147 " + std::to_string(s.day) + " " + std::to_string(s.month) + " " +
                   std::to_string(s.year) + "\r\n";
        case 52:
            return number + "148" + codes(s.version, 12) + "\r\n";
        case 0:
            if (args.size() == 4) {
                s.x = static_cast<std::int32_t>(args[2]);
                s.y = static_cast<std::int32_t>(args[3]);
            }
            break;
        case 2:
            s.x = s.y = 0;
            break;
        case 6:
            s.x = 3101;
            s.y = 0;
            break;
        case 18:
            s.paperHeld = true;
            break;
        case 19:
            s.paperHeld = false;
            break;
        default:
            break;
    }
    const std::uint32_t status = fault == Fault::ErrorStatus ? value : s.tableStatus;
    return number + "128 " + std::to_string(status) + "\r\n";
}

std::string TableSim::measurement() {
    const TableState& s = m_state;
    const auto head = m_head.read([](const SpotHeadState& h) { return h; });
    std::string fields;
    if (s.spectrumOut) {
        fields = " 1 1";
        for (double v : head.spectrum)
            fields += real(v);
    } else {
        if (s.colourOut) {
            fields = " 2 " + std::to_string(s.colourCode);
            for (double v : head.colorimetric)
                fields += real(v);
        }
        if (s.densityOut) {
            const std::uint32_t type = s.colourOut ? s.colourCode : 14;
            const std::uint32_t channels[] = {1, 2, 4, 8};
            for (std::size_t i = 0; i < 4; ++i)
                fields += " " + std::to_string(type) + " " + std::to_string(channels[i]) +
                          real(head.densities[i]);
        }
    }
    fields += " 255 " + std::to_string(s.measureStatus);
    if (s.measureLine == MeasureLine::Short) fields.resize(fields.rfind(' '));
    if (s.measureLine == MeasureLine::Garbled)
        for (char& c : fields)
            if (c != ' ') c = '#';
    return ": 190" + fields + "\r\n";
}

std::string answerWritten(LineInstrument& instrument, std::string_view written) {
    std::string replies;
    for (std::size_t end; (end = written.find("\r\n")) != std::string_view::npos;) {
        replies += instrument.answer(written.substr(0, end), Fault::None, 0);
        for (const Unsolicited& later : instrument.unsolicited())
            replies += later.bytes;
        written.remove_prefix(end + 2);
    }
    return replies;
}

}  // namespace sim
