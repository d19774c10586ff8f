// A simulated EyeOne behind the vendor library's entry points, configured through the
// QEL_SIM_EYEONE_* environment (see the README) and driven by tests through SimEyeOne_*.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "sim/eye_one/light_source.h"
#include "sim/eye_one/sim_eye_one.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kOk = 0;
constexpr std::int32_t kNoKey = 4;
constexpr std::int32_t kBadIndex = 11;
constexpr std::int32_t kDeviceError = 3;

std::string env(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : fallback;
}

// "a,b , c" -> {a, b, c}
std::set<std::string> splitList(const std::string& text) {
    std::set<std::string> items;
    std::string item;
    for (char c : text + ",") {
        if (c == ',') {
            if (!item.empty()) items.insert(item);
            item.clear();
        } else if (c != ' ') {
            item += c;
        }
    }
    return items;
}

struct Config {
    std::string version;
    std::string deviceType;
    std::string modes;
    std::string serial;
    std::string filter;
    std::int32_t samples = 1;
    std::int32_t stripPatches = 10;                        // patches of a scanning measurement
    std::optional<sim::AmbientSpectrum> light;             // null: the source could not be read
    std::optional<std::chrono::milliseconds> buttonDelay;  // null: never pressed by itself
    std::map<std::string, std::int32_t> errors;
    std::set<std::string> nullKeys;

    static Config fromEnvironment() {
        Config c;
        c.version = env("QEL_SIM_EYEONE_VERSION", "EyeOne 2.1.3");
        c.deviceType = env("QEL_SIM_EYEONE_DEVICE_TYPE", "EyeOne");
        c.modes = env("QEL_SIM_EYEONE_MODES",
                      "SingleEmission,SingleReflectance,ScanningReflectance,SingleAmbientLight");
        c.serial = env("QEL_SIM_EYEONE_SERIAL", "104562");
        c.filter = env("QEL_SIM_EYEONE_FILTER", "1");
        c.samples = std::atoi(env("QEL_SIM_EYEONE_SAMPLES", "1").c_str());
        c.stripPatches = std::atoi(env("QEL_SIM_EYEONE_STRIP_PATCHES", "10").c_str());
        c.light = sim::ambientSpectrum(env("QEL_SIM_EYEONE_SOURCE", "D65"),
                                       std::atof(env("QEL_SIM_EYEONE_LUX", "500").c_str()));
        const std::string button = env("QEL_SIM_EYEONE_BUTTON", "never");
        if (button != "never" && !button.empty())
            c.buttonDelay = std::chrono::milliseconds(std::atol(button.c_str()));
        for (const std::string& item : splitList(env("QEL_SIM_EYEONE_ERRORS", ""))) {
            const auto eq = item.find('=');
            if (eq != std::string::npos)
                c.errors[item.substr(0, eq)] = std::atoi(item.c_str() + eq + 1);
        }
        c.nullKeys = splitList(env("QEL_SIM_EYEONE_NULL", ""));
        return c;
    }
};

struct Instrument {
    Config config = Config::fromEnvironment();
    std::map<std::string, std::string> options{
        {"MeasurementMode", "SingleReflectance"}, {"Colorimetric.DensityStandard", "ANSIT"},
        {"Colorimetric.Illumination", "D50"},     {"Colorimetric.Observer", "TwoDegree"},
        {"ColorSpaceDescription.Type", "CIELab"}, {"Colorimetric.WhiteBase", "Relative"},
    };
    std::map<std::string, std::uint32_t> calls;
    bool pressPending = false;
    bool held = false;                          // every poll reports a press
    std::optional<Clock::time_point> pressDue;  // armed automatic press
    std::int32_t available = 0;                 // samples of the last measurement
    std::string measuredMode;
    std::string answer;  // keeps SimEyeOne_Option's text alive

    // Counts the call and answers the injected code, if any.
    std::optional<std::int32_t> enter(const char* entry) {
        ++calls[entry];
        const auto it = config.errors.find(entry);
        if (it == config.errors.end() || it->second == kOk) return std::nullopt;
        return it->second;
    }

    const char* info(const std::string& key) const {
        if (config.nullKeys.contains(key)) return nullptr;
        if (key == "Version") return config.version.c_str();
        if (key == "DeviceType") return config.deviceType.c_str();
        if (key == "AvailableMeasurementModes") return config.modes.c_str();
        if (key == "SerialNumber") return config.serial.c_str();
        if (key == "PhysicalFilter") return config.filter.c_str();
        return nullptr;
    }

    bool lightMode() const {
        return measuredMode == "SingleEmission" || measuredMode == "SingleAmbientLight";
    }
};

std::mutex g_mutex;

Instrument& instrument() {
    static Instrument s;
    return s;
}

}  // namespace

// Vendor entry points --------------------------------------------------------------------

SIM_EXPORT const char* I1_GetDeviceInfo(const char* key) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    ++in.calls["I1_GetDeviceInfo"];
    return key != nullptr ? in.info(key) : nullptr;
}

SIM_EXPORT const char* I1_GetOption(const char* key) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    ++in.calls["I1_GetOption"];
    if (key == nullptr || in.config.nullKeys.contains(key)) return nullptr;
    if (const char* answer = in.info(key)) return answer;
    const auto it = in.options.find(key);
    return it != in.options.end() ? it->second.c_str() : nullptr;
}

SIM_EXPORT std::int32_t I1_SetOption(const char* key, const char* value) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_SetOption")) return *code;
    if (key == nullptr || value == nullptr) return kDeviceError;
    in.options[key] = value;
    return kOk;
}

SIM_EXPORT std::int32_t I1_IsConnected() {
    std::lock_guard lock(g_mutex);
    return instrument().enter("I1_IsConnected").value_or(kOk);
}

SIM_EXPORT std::int32_t I1_KeyPressed() {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_KeyPressed")) return *code;
    if (in.config.buttonDelay) {
        const Clock::time_point now = Clock::now();
        if (!in.pressDue) {
            in.pressDue = now + *in.config.buttonDelay;  // armed by the first poll after a press
        } else if (now >= *in.pressDue) {
            in.pressDue.reset();
            in.pressPending = true;
        }
    }
    if (in.held) return kOk;
    if (!in.pressPending) return kNoKey;
    in.pressPending = false;
    return kOk;
}

SIM_EXPORT std::int32_t I1_GetNumberOfAvailableSamples() {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    ++in.calls["I1_GetNumberOfAvailableSamples"];
    return in.available;
}

SIM_EXPORT std::int32_t I1_SetSubstrate(const float*) {
    std::lock_guard lock(g_mutex);
    return instrument().enter("I1_SetSubstrate").value_or(kOk);
}

SIM_EXPORT std::int32_t I1_Calibrate() {
    std::lock_guard lock(g_mutex);
    return instrument().enter("I1_Calibrate").value_or(kOk);
}

SIM_EXPORT std::int32_t I1_TriggerMeasurement() {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_TriggerMeasurement")) return *code;
    if (!in.config.light) return kDeviceError;
    in.measuredMode = in.options["MeasurementMode"];
    // A scan finds its patches only with recognition on.
    if (in.measuredMode == "ScanningReflectance")
        in.available = in.options["Recognition"] == "yes" ? in.config.stripPatches : 0;
    else
        in.available = in.config.samples;
    return kOk;
}

SIM_EXPORT std::int32_t I1_GetSpectrum(float* spectrum, std::int32_t index) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_GetSpectrum")) return *code;
    if (spectrum == nullptr || index < 0 || index >= in.available) return kBadIndex;
    for (std::size_t i = 0; i < sim::kAmbientSamples; ++i) {
        // Light in hundredths of the reported unit; reflectance as a ramp per sample.
        spectrum[i] = in.lightMode()
                          ? static_cast<float>((*in.config.light)[i] * 100.0)
                          : static_cast<float>(0.2 + 0.01 * static_cast<double>(i) + 0.001 * index);
    }
    return kOk;
}

SIM_EXPORT std::int32_t I1_GetTriStimulus(float* values, std::int32_t index) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_GetTriStimulus")) return *code;
    if (values == nullptr || index < 0 || index >= in.available) return kBadIndex;
    if (in.lightMode() && in.options["ColorSpaceDescription.Type"] == "CIEXYZ") {
        const std::array<double, 3> xyz = sim::emissionXyz(*in.config.light);
        for (std::size_t c = 0; c < 3; ++c)
            values[c] = static_cast<float>(xyz[c] * 100.0);
    } else {
        // Fixed values stand for every other space and for reflectance.
        values[0] = 50.0f + static_cast<float>(index);
        values[1] = 10.0f;
        values[2] = -20.0f;
    }
    return kOk;
}

#ifndef SIM_EYEONE_OMIT_GET_DENSITY
SIM_EXPORT std::int32_t I1_GetDensity(float* density, std::int32_t index) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_GetDensity")) return *code;
    if (density == nullptr || index < 0 || index >= in.available) return kBadIndex;
    *density = 0.4f;
    return kOk;
}
#endif

SIM_EXPORT std::int32_t I1_GetDensities(float* densities, std::int32_t* autoIndex,
                                        std::int32_t index) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    if (const auto code = in.enter("I1_GetDensities")) return *code;
    if (densities == nullptr || index < 0 || index >= in.available) return kBadIndex;
    for (int c = 0; c < 4; ++c)
        densities[c] = 0.1f * static_cast<float>(c + 1) + 0.01f * static_cast<float>(index);
    if (autoIndex != nullptr) *autoIndex = 3;
    return kOk;
}

// Control entry points -------------------------------------------------------------------

SIM_EXPORT void SimEyeOne_Reset() {
    std::lock_guard lock(g_mutex);
    instrument() = Instrument{};
}

SIM_EXPORT void SimEyeOne_PressButton() {
    std::lock_guard lock(g_mutex);
    instrument().pressPending = true;
}

SIM_EXPORT void SimEyeOne_HoldButton(std::int32_t held) {
    std::lock_guard lock(g_mutex);
    instrument().held = held != 0;
}

SIM_EXPORT void SimEyeOne_SetError(const char* entry, std::int32_t code) {
    std::lock_guard lock(g_mutex);
    if (entry != nullptr) instrument().config.errors[entry] = code;
}

SIM_EXPORT const char* SimEyeOne_Option(const char* key) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    const auto it = key != nullptr ? in.options.find(key) : in.options.end();
    if (it == in.options.end()) return nullptr;
    in.answer = it->second;
    return in.answer.c_str();
}

SIM_EXPORT std::uint32_t SimEyeOne_CallCount(const char* entry) {
    std::lock_guard lock(g_mutex);
    Instrument& in = instrument();
    const auto it = entry != nullptr ? in.calls.find(entry) : in.calls.end();
    return it != in.calls.end() ? it->second : 0;
}
