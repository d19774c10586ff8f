// Simulated Kmsecs200 vendor library: the five entry points move text blocks to and from an
// instrument that answers the CR LF command language from a settable state, plus
// SimKmsecs200_* controls for tests.
//
// Reply layouts: "OK00,<n>" for "OBR" and "CSR"; "OK00,<mode>,<value in two columns>" for
// "SPR"; "OK00,<model>,<first in three columns>,<second>" for "IDR"; for "MDR,<k>"
// "OK00,<k>,<19-digit reading counter>,<v1>,<v2>,<v3>", so that the triple begins at the 28th
// character. Other commands are answered with the status alone.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "sim/kmsecs200/sim_kmsecs200.h"

namespace {

constexpr std::uint32_t kForever = 0xFFFFFFFFu;

struct State {
    std::int32_t count = 1;
    bool open = false;
    bool remote = false;
    bool measuring = false;
    std::uint32_t observer = 0;
    std::uint32_t colorSpace = 3;
    std::uint32_t speedMode = 1, speedValue = 0;
    std::string model = "1892-100";
    std::uint32_t first = 123, second = 45;
    double measured[3] = {9505.0, 10000.0, 10890.0};
    std::uint32_t stillMeasuring = 0;
    std::uint64_t readings = 0;
    std::map<std::string, std::int32_t> forced;
    std::map<std::string, std::string> statuses;
    std::map<std::string, std::string> replies;
    std::map<std::string, std::uint32_t> calls;
    std::string received;
    std::string pending;  // reply to the last command, until read
    std::string answer;   // keeps SimKmsecs200_Commands' text alive
};

std::mutex g_mutex;
State g_state;

// Counts the call; true with `code` set when a forced code replaces the behaviour.
bool enter(const char* entry, std::int32_t& code) {
    ++g_state.calls[entry];
    const auto it = g_state.forced.find(entry);
    if (it == g_state.forced.end()) return false;
    code = it->second;
    return true;
}

// A setting of command `command` or of its name (the text before the first comma).
const std::string* findFor(const std::map<std::string, std::string>& map,
                           const std::string& command) {
    auto it = map.find(command);
    if (it == map.end()) it = map.find(command.substr(0, command.find(',')));
    return it == map.end() ? nullptr : &it->second;
}

std::string format(const char* pattern, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// Reply of the instrument to one command (CR LF removed), applying its effect.
std::string respond(State& s, const std::string& command) {
    if (const std::string* reply = findFor(s.replies, command)) return *reply;
    if (const std::string* status = findFor(s.statuses, command)) return *status;
    unsigned a = 0, b = 0;
    if (command == "RMT,1") {
        s.remote = true;
    } else if (command == "RMT,0") {
        if (s.measuring) return "ER02";
        s.remote = false;
    } else if (command == "MES,1") {
        s.measuring = true;
    } else if (command == "MES,0") {
        s.measuring = false;
    } else if (command == "MDR,3" || command == "MDR,1") {
        if (s.stillMeasuring > 0) {
            if (s.stillMeasuring != kForever) --s.stillMeasuring;
            return "ER02";
        }
        s.measuring = false;
        ++s.readings;
        return format("OK00,%c,%019llu,%.4f,%.4f,%.4f", command.back(),
                      static_cast<unsigned long long>(s.readings), s.measured[0], s.measured[1],
                      s.measured[2]);
    } else if (command == "OBS,0" || command == "OBS,1") {
        s.observer = static_cast<std::uint32_t>(command.back() - '0');
    } else if (command == "CSS,1" || command == "CSS,3") {
        s.colorSpace = static_cast<std::uint32_t>(command.back() - '0');
    } else if (std::sscanf(command.c_str(), "SPS,%u,%u", &a, &b) == 2) {
        s.speedMode = a;
        s.speedValue = b;
    } else if (command == "OBR") {
        return format("OK00,%u", s.observer);
    } else if (command == "CSR") {
        return format("OK00,%u", s.colorSpace);
    } else if (command == "SPR") {
        return format("OK00,%u,%2u", s.speedMode, s.speedValue);
    } else if (command == "IDR") {
        return format("OK00,%.8s,%3u,%u", s.model.c_str(), s.first, s.second);
    } else if (command != "BLS,0" && command != "FSS,0" && command != "LNS,0" &&
               command != "SCS,0,    0") {
        return "ER07";
    }
    return "OK00";
}

}  // namespace

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

// Vendor entry points --------------------------------------------------------------------

SIM_EXPORT std::int32_t int_usb(std::int32_t index) {
    std::lock_guard lock(g_mutex);
    if (std::int32_t code = 0; enter("int_usb", code)) return code;
    if (index != 0 || g_state.count < 1) return -2;
    g_state.open = true;
    return 0;
}

SIM_EXPORT std::int32_t end_usb(std::int32_t index) {
    std::lock_guard lock(g_mutex);
    if (std::int32_t code = 0; enter("end_usb", code)) return code;
    if (index != 0 || !g_state.open) return -3;
    g_state.open = false;
    return 0;
}

SIM_EXPORT std::int32_t write64_usb(std::int32_t index, const char* text, std::int32_t,
                                    std::int32_t length) {
    std::lock_guard lock(g_mutex);
    if (std::int32_t code = 0; enter("write64_usb", code)) return code;
    if (index != 0 || !g_state.open) return -3;
    if (text == nullptr || length < 0) return -1;
    std::string command(text, static_cast<std::size_t>(length));
    if (command.size() >= 2 && command.ends_with("\r\n")) command.resize(command.size() - 2);
    g_state.received += command + '\n';
    g_state.pending = respond(g_state, command);
    return length;
}

// Delivers the pending reply (no terminator is added) and returns its byte count.
SIM_EXPORT std::int32_t read64_usb(std::int32_t index, char* buffer, std::int32_t,
                                   std::int32_t capacity) {
    std::lock_guard lock(g_mutex);
    if (std::int32_t code = 0; enter("read64_usb", code)) return code;
    if (index != 0 || !g_state.open) return -3;
    if (buffer == nullptr || capacity < 0) return -1;
    const std::size_t n = std::min(g_state.pending.size(), static_cast<std::size_t>(capacity));
    std::memcpy(buffer, g_state.pending.data(), n);
    g_state.pending.clear();
    return static_cast<std::int32_t>(n);
}

#ifndef SIM_KMSECS200_OMIT_GET_NUM
SIM_EXPORT std::int32_t get_num() {
    std::lock_guard lock(g_mutex);
    if (std::int32_t code = 0; enter("get_num", code)) return code;
    return g_state.count;
}
#endif

// Control entry points -------------------------------------------------------------------

SIM_EXPORT void SimKmsecs200_Reset() {
    std::lock_guard lock(g_mutex);
    g_state = State{};
}

SIM_EXPORT void SimKmsecs200_SetCount(std::int32_t count) {
    std::lock_guard lock(g_mutex);
    g_state.count = count;
}

SIM_EXPORT void SimKmsecs200_ForceCode(const char* entry, std::int32_t code) {
    std::lock_guard lock(g_mutex);
    if (entry != nullptr) g_state.forced[entry] = code;
}

SIM_EXPORT void SimKmsecs200_SetStatus(const char* command, const char* status) {
    std::lock_guard lock(g_mutex);
    if (command != nullptr && status != nullptr) g_state.statuses[command] = status;
}

SIM_EXPORT void SimKmsecs200_SetReply(const char* command, const char* reply,
                                      std::uint32_t length) {
    std::lock_guard lock(g_mutex);
    if (command != nullptr && reply != nullptr)
        g_state.replies[command] = std::string(reply, length);
}

SIM_EXPORT void SimKmsecs200_StillMeasuring(std::uint32_t count) {
    std::lock_guard lock(g_mutex);
    g_state.stillMeasuring = count;
}

SIM_EXPORT void SimKmsecs200_SetIdentity(const char* model, std::uint32_t first,
                                         std::uint32_t second) {
    std::lock_guard lock(g_mutex);
    if (model != nullptr) g_state.model = model;
    g_state.first = first;
    g_state.second = second;
}

SIM_EXPORT void SimKmsecs200_SetMeasured(double first, double second, double third) {
    std::lock_guard lock(g_mutex);
    g_state.measured[0] = first;
    g_state.measured[1] = second;
    g_state.measured[2] = third;
}

SIM_EXPORT const char* SimKmsecs200_Commands() {
    std::lock_guard lock(g_mutex);
    g_state.answer = g_state.received;
    return g_state.answer.c_str();
}

SIM_EXPORT std::uint32_t SimKmsecs200_CallCount(const char* entry) {
    std::lock_guard lock(g_mutex);
    const auto it = entry != nullptr ? g_state.calls.find(entry) : g_state.calls.end();
    return it == g_state.calls.end() ? 0 : it->second;
}

SIM_EXPORT std::int32_t SimKmsecs200_State(const char* what) {
    std::lock_guard lock(g_mutex);
    const std::string w = what != nullptr ? what : "";
    if (w == "open") return g_state.open ? 1 : 0;
    if (w == "remote") return g_state.remote ? 1 : 0;
    if (w == "measuring") return g_state.measuring ? 1 : 0;
    return -1;
}
