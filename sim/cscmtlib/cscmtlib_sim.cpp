// Simulated CSCMTLib vendor library: the nineteen entry points the driver binds, answering
// from a settable state, plus SimCscmtlib_* controls for tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "sim/cscmtlib/sim_cscmtlib.h"

namespace {

struct Press {
    std::uint32_t polls;
    std::int32_t answer;
};

struct State {
    std::map<std::string, std::int32_t> answers;
    std::map<std::string, std::uint32_t> calls;
    std::map<std::string, std::int64_t> lastArgument;
    std::int32_t port = 3;
    std::deque<Press> presses;
    double converted[3] = {52.5, -11.25, 33.0};
    double densityValues[8] = {0, 0.41, 0.52, 0.63, 0.74, 0, 0, 0};
    std::int32_t mesData = 2;
    std::uint32_t whitePoint = 0x10000003u;
    bool opened = false;
};

std::mutex g_mutex;
State g_state;

// Records the call; true with `answer` set when a fixed answer replaces the behaviour.
bool record(const char* entry, std::int64_t argument, std::int32_t& answer) {
    ++g_state.calls[entry];
    g_state.lastArgument[entry] = argument;
    const auto it = g_state.answers.find(entry);
    if (it == g_state.answers.end()) return false;
    answer = it->second;
    return true;
}

#define SIM_ENTRY(name, argument)  \
    std::lock_guard lock(g_mutex); \
    if (std::int32_t fixed = 0; record(name, argument, fixed)) return fixed

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void SimCscmtlib_Reset() {
    std::lock_guard lock(g_mutex);
    g_state = State{};
}

__attribute__((visibility("default"))) void SimCscmtlib_SetAnswer(const char* entry,
                                                                  std::int32_t code) {
    std::lock_guard lock(g_mutex);
    g_state.answers[entry] = code;
}

__attribute__((visibility("default"))) void SimCscmtlib_SetPort(std::int32_t port) {
    std::lock_guard lock(g_mutex);
    g_state.port = port;
}

__attribute__((visibility("default"))) void SimCscmtlib_QueuePress(std::uint32_t polls,
                                                                   std::int32_t answer) {
    std::lock_guard lock(g_mutex);
    g_state.presses.push_back({polls, answer});
}

__attribute__((visibility("default"))) void SimCscmtlib_SetConverted(double v1, double v2,
                                                                     double v3) {
    std::lock_guard lock(g_mutex);
    g_state.converted[0] = v1;
    g_state.converted[1] = v2;
    g_state.converted[2] = v3;
}

__attribute__((visibility("default"))) void SimCscmtlib_SetDensityValues(const double* values8) {
    std::lock_guard lock(g_mutex);
    std::copy(values8, values8 + 8, g_state.densityValues);
}

__attribute__((visibility("default"))) std::uint32_t SimCscmtlib_CallCount(const char* entry) {
    std::lock_guard lock(g_mutex);
    const auto it = g_state.calls.find(entry);
    return it == g_state.calls.end() ? 0 : it->second;
}

__attribute__((visibility("default"))) std::int64_t SimCscmtlib_LastArgument(const char* entry) {
    std::lock_guard lock(g_mutex);
    const auto it = g_state.lastArgument.find(entry);
    return it == g_state.lastArgument.end() ? -1 : it->second;
}

// Vendor entry points ------------------------------------------------------------------

__attribute__((visibility("default"))) std::int32_t CSDOpen() {
    SIM_ENTRY("CSDOpen", 0);
    g_state.opened = true;
    return 1;
}

__attribute__((visibility("default"))) std::int32_t CSDClose() {
    SIM_ENTRY("CSDClose", 0);
    const bool was = g_state.opened;
    g_state.opened = false;
    return was ? 0 : 128;
}

__attribute__((visibility("default"))) std::int32_t CSDInit(std::int32_t, std::int32_t port) {
    SIM_ENTRY("CSDInit", port);
    if (!g_state.opened) return 128;
    return port == g_state.port ? 0 : 133;
}

#ifndef SIM_CSCMTLIB_OMIT_RESET
__attribute__((visibility("default"))) std::int32_t CSDReset() {
    SIM_ENTRY("CSDReset", 0);
    return 0;
}
#endif

__attribute__((visibility("default"))) std::int32_t CSDSetMode(std::int32_t mode) {
    SIM_ENTRY("CSDSetMode", mode);
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDSetReflMesMode(std::int32_t mode) {
    SIM_ENTRY("CSDSetReflMesMode", mode);
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDSetMesData(std::int32_t data) {
    SIM_ENTRY("CSDSetMesData", data);
    g_state.mesData = data;
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDSetWhitePoint(std::uint32_t whitePoint) {
    SIM_ENTRY("CSDSetWhitePoint", whitePoint);
    g_state.whitePoint = whitePoint;
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDGetWhitePoint(std::uint32_t* whitePoint) {
    SIM_ENTRY("CSDGetWhitePoint", 0);
    *whitePoint = g_state.whitePoint;
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDCalibrateWhite(void* work) {
    SIM_ENTRY("CSDCalibrateWhite", 0);
    std::memset(work, 0x5A, 128);
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDCalibrateBlack(void* work) {
    SIM_ENTRY("CSDCalibrateBlack", 0);
    std::memset(work, 0xA5, 128);
    return 0;
}

// The measurement buffer: value 0 is the data mode, then the mode's values.
__attribute__((visibility("default"))) std::int32_t CSDMeasure(double* measurement) {
    SIM_ENTRY("CSDMeasure", g_state.mesData);
    measurement[0] = g_state.mesData;
    if (g_state.mesData == 4) {
        std::copy(g_state.densityValues + 1, g_state.densityValues + 8, measurement + 1);
    } else {
        for (int i = 1; i < 8; ++i)
            measurement[i] = 0.1 * i;
    }
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDButtonPressed(std::int32_t* pressed) {
    std::lock_guard lock(g_mutex);
    ++g_state.calls["CSDButtonPressed"];
    *pressed = 0;
    if (g_state.presses.empty()) return 0;
    Press& next = g_state.presses.front();
    if (next.polls > 0) {
        --next.polls;
        return 0;
    }
    *pressed = 1;
    const std::int32_t answer = next.answer;
    g_state.presses.pop_front();
    return answer;
}

__attribute__((visibility("default"))) std::int32_t CSDGetShellColor(std::uint32_t* color) {
    SIM_ENTRY("CSDGetShellColor", 0);
    *color = 0x00C0FFEEu;
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDGetUnitID(std::uint32_t* id) {
    SIM_ENTRY("CSDGetUnitID", 0);
    *id = 4711;
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDGetModelName(char* text, std::int32_t size) {
    SIM_ENTRY("CSDGetModelName", size);
    static constexpr char kModel[] =
        "CS-SIM Reflective Spot Colorimeter with a model name longer than fifty bytes";
    if (size <= 0) return 1;
    std::strncpy(text, kModel, static_cast<std::size_t>(size) - 1);
    text[size - 1] = '\0';
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSCCCanConvert(std::int32_t kind,
                                                                   std::uint32_t colorSpace) {
    SIM_ENTRY("CSCCCanConvert", colorSpace);
    if (kind != 2) return 0;
    switch (colorSpace) {
        case 0x58595A20u:
        case 0x4C616220u:
        case 0x4C636820u:
        case 0x78795920u:
        case 0x4C757620u:
            return 1;
        default:
            return 0;
    }
}

__attribute__((visibility("default"))) std::int32_t CSCCConvertMeas(const double* measurement,
                                                                    double* output,
                                                                    std::uint32_t colorSpace,
                                                                    std::uint32_t whitePoint) {
    SIM_ENTRY("CSCCConvertMeas", colorSpace);
    (void)whitePoint;
    output[0] = measurement[0];
    std::copy(g_state.converted, g_state.converted + 3, output + 1);
    return 0;
}

__attribute__((visibility("default"))) std::int32_t CSDSetAutoButtonMode(std::int32_t mode) {
    SIM_ENTRY("CSDSetAutoButtonMode", mode);
    return 0;
}

}  // extern "C"
