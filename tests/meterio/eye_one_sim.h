// Test access to the simulated EyeOne: the environment it reads, and its control entry points
// reached through the same file the driver loads.
#ifndef TESTS_METERIO_EYE_ONE_SIM_H
#define TESTS_METERIO_EYE_ONE_SIM_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "meterio32.h"
#include "platform/module.h"
#include "sim/eye_one/sim_eye_one.h"

namespace testing_sim {

inline const std::string kSimDir = QEL_SIM_DIR;
inline const std::string kIncompleteSimDir = QEL_SIM_INCOMPLETE_DIR;

inline constexpr uint32_t kF = METERIO_GENERAL_FAILURE;

class SimEyeOne {
public:
    SimEyeOne() {
        for (const char* name : kVariables)
            ::unsetenv(name);
        ::setenv("QEL_MODULE_PATH", kSimDir.c_str(), 1);
        m_module.load(kSimDir + "/libEyeOne.so");
        m_module.resolve("SimEyeOne_Reset", m_reset);
        m_module.resolve("SimEyeOne_PressButton", m_press);
        m_module.resolve("SimEyeOne_HoldButton", m_hold);
        m_module.resolve("SimEyeOne_SetError", m_setError);
        m_module.resolve("SimEyeOne_Option", m_option);
        m_module.resolve("SimEyeOne_CallCount", m_callCount);
        m_reset();
    }

    // Sets QEL_SIM_EYEONE_<name> and reloads the configuration.
    void configure(const char* name, const std::string& value) {
        ::setenv((std::string("QEL_SIM_EYEONE_") + name).c_str(), value.c_str(), 1);
        m_reset();
    }
    void press() { m_press(); }
    void holdButton(bool held) { m_hold(held ? 1 : 0); }
    void setError(const char* entry, int32_t code) { m_setError(entry, code); }
    std::string option(const char* key) {
        const char* v = m_option(key);
        return v != nullptr ? v : "<null>";
    }
    uint32_t calls(const char* entry) { return m_callCount(entry); }

    static inline SimEyeOne* current = nullptr;

private:
    static constexpr const char* kVariables[] = {
        "QEL_SIM_EYEONE_VERSION", "QEL_SIM_EYEONE_DEVICE_TYPE", "QEL_SIM_EYEONE_MODES",
        "QEL_SIM_EYEONE_SERIAL",  "QEL_SIM_EYEONE_FILTER",      "QEL_SIM_EYEONE_SAMPLES",
        "QEL_SIM_EYEONE_SOURCE",  "QEL_SIM_EYEONE_LUX",         "QEL_SIM_EYEONE_BUTTON",
        "QEL_SIM_EYEONE_ERRORS",  "QEL_SIM_EYEONE_NULL",        "QEL_SIM_EYEONE_STRIP_PATCHES"};

    platform::Module m_module;
    SimEyeOne_ResetFn m_reset = nullptr;
    SimEyeOne_PressButtonFn m_press = nullptr;
    SimEyeOne_HoldButtonFn m_hold = nullptr;
    SimEyeOne_SetErrorFn m_setError = nullptr;
    SimEyeOne_OptionFn m_option = nullptr;
    SimEyeOne_CallCountFn m_callCount = nullptr;
};

// A scripted progress callback: records every value, presses the simulated button on the call
// numbered `pressAt` and answers `cancelAnswer` on the call numbered `cancelAt` (0-based).
struct Script {
    int pressAt = -1;
    int cancelAt = -1;
    int32_t cancelAnswer = 1;
    std::vector<int32_t> seen;
};

inline Script* g_script = nullptr;

inline int32_t scripted(int32_t value) {
    Script& s = *g_script;
    const int n = static_cast<int>(s.seen.size());
    s.seen.push_back(value);
    if (n == s.pressAt) SimEyeOne::current->press();
    return n == s.cancelAt ? s.cancelAnswer : 0;
}

class AmbientTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimEyeOne::current = &sim;
        g_script = &script;
    }
    void TearDown() override {
        if (handle != 0) QelAmbientReader_Close(handle);
        SimEyeOne::current = nullptr;
        g_script = nullptr;
    }
    uint32_t open() { return QelAmbientReader_Open(0, nullptr, 0, nullptr, &handle); }
    void openOrFail() { ASSERT_EQ(open(), METERIO_OK); }

    SimEyeOne sim;
    Script script;
    ReaderHandle handle = 0;
};

}  // namespace testing_sim

#endif  // TESTS_METERIO_EYE_ONE_SIM_H
