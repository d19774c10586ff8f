// Simulated spot head: request parsing and reply text.
#include "sim/serial/spot_head_sim.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace sim {
namespace {

std::string fieldsOf(std::uint32_t number, const std::vector<std::string>& fields) {
    std::string reply = ": " + std::to_string(number);
    for (const auto& f : fields)
        reply += " " + f;
    return reply + "\r\n";
}

std::string real(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
}

std::string u(std::uint32_t v) {
    return std::to_string(v);
}

void addCodes(std::vector<std::string>& fields, const std::string& text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        fields.push_back(u(i < text.size() ? static_cast<unsigned char>(text[i]) : 0));
}

}  // namespace

void SpotHeadSim::pressKeyAfter(std::uint32_t polls) {
    std::lock_guard lock(m_mutex);
    m_pollsUntilPress = polls;
}
void SpotHeadSim::releaseKey() {
    std::lock_guard lock(m_mutex);
    m_pollsUntilPress = -1;
}

std::string SpotHeadSim::answer(std::string_view request, Fault fault, std::uint32_t value) {
    std::lock_guard lock(m_mutex);
    SpotHeadState& s = m_state;
    std::vector<std::string> fields;
    std::uint32_t number = 0;
    // The status field's position in `fields` (0-based) for ErrorStatus.
    std::size_t statusAt = 0;
    std::istringstream in{std::string(request)};
    std::string semicolon;
    int command = -1;
    in >> semicolon >> command;
    std::vector<std::uint32_t> args;
    for (std::uint32_t a; in >> a;)
        args.push_back(a);

    const auto status = [&](std::uint32_t reply, std::uint32_t code) {
        number = reply;
        fields = {u(code)};
    };

    if (request == "; 181") {
        number = 182;
        addCodes(fields, s.model, 18);
        fields.push_back(u(s.headCode));
        addCodes(fields, s.serial, 8);
        fields.push_back(u(s.numberLow));
        fields.push_back(u(s.numberHigh));
        addCodes(fields, s.firmware, 12);
        for (int i = 0; i < 15; ++i)
            fields.push_back("0");
    } else if (request == "; 43") {
        number = 49;
        for (std::uint32_t i = 1; i <= 26; ++i) {
            std::uint32_t v = i;
            if (i == 21) v = s.year;
            if (i == 22) v = s.month;
            if (i == 23) v = s.day;
            if (i == 26) v = s.productionValue;
            fields.push_back(u(v));
        }
        for (const char* c : {"A", "B", "C", "D", "E", "F"})
            fields.push_back(c);
    } else if (request == "; 90 1 4 5" || request == "; 77 155" || request == "; 77 157") {
        status(31, 0);
    } else if (request == "; 0" || request == "; 0 ") {
        number = 11;
        fields = {u(s.density), u(s.flag), u(s.illuminant), u(s.observer), u(s.state)};
    } else if (command == 22 && args.size() == 4) {
        s.density = args[0];
        s.flag = args[1];
        s.illuminant = args[2];
        s.observer = args[3];
        status(31, 0);
    } else if (request == "; 34 9 7") {
        s.state = s.stateAfterWhite;
        status(37, 0);
    } else if (request == "; 34 9 8" || request == "; 32") {
        status(37, 0);
    } else if (command == 186 && args.size() == 2 && args[0] == 9) {
        number = 187;
        const double shift = 10.0 * args[1];
        fields = {"9",
                  u(args[1]),
                  real(s.colorimetric[0] + shift),
                  real(s.colorimetric[1] + shift),
                  real(s.colorimetric[2] + shift),
                  "0",
                  "0",
                  "0",
                  "2",
                  "0",
                  "0",
                  u(s.measurementStatus)};
        statusAt = 11;
    } else if (request == "; 188 9 ") {
        number = 189;
        fields = {"9"};
        for (double d : s.densities)
            fields.push_back(real(d));
        for (const char* f : {"0", "0", "0", "0", "2", "0"})
            fields.push_back(f);
        fields.push_back(u(s.measurementStatus));
        statusAt = 11;
    } else if (request == "; 184 9 0") {
        number = 185;
        fields = {"9", "0"};
        for (double v : s.spectrum)
            fields.push_back(real(v));
        for (const char* f : {"0", "0", "0", "2"})
            fields.push_back(f);
        fields.push_back(u(s.measurementStatus));
        statusAt = 42;
    } else if (request == "; 8") {
        const bool pressed = m_pollsUntilPress == 0;
        if (m_pollsUntilPress > 0) --m_pollsUntilPress;
        status(19, pressed ? 1 : 0);
    } else {
        return {};
    }

    if (fault == Fault::WrongNumber) ++number;
    if (fault == Fault::ErrorStatus) fields[statusAt] = u(value);
    return fieldsOf(number, fields);
}

}  // namespace sim
