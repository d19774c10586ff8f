// An instrument and a measurement value that answer what a test scripts.
#ifndef TESTS_APP_SCRIPTED_DEVICES_H
#define TESTS_APP_SCRIPTED_DEVICES_H

#include <ctime>

#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "app/spectrophotometer.h"

namespace app::testing {

namespace okp = orvel_kepno_ambientlib;

// What the instrument answers; Calibrate and Measure poll the cancel callback a few times
// as the reader does while waiting for the button.
struct InstrumentScript {
    int open = okp::kAppSuccess;
    int calibrate = okp::kAppSuccess;
    int measure = okp::kAppSuccess;
    int opens = 0, calibrations = 0, measurements = 0, closes = 0;
    bool isOpen = false;
};

class ScriptedInstrument : public okp::Spectrophotometer {
public:
    explicit ScriptedInstrument(InstrumentScript& script) : m_script(script) {}
    ~ScriptedInstrument() override {
        if (m_script.isOpen) Close();
    }
    int Open() override {
        ++m_script.opens;
        m_script.isOpen = m_script.open == okp::kAppSuccess;
        return m_script.open;
    }
    int Calibrate() override {
        ++m_script.calibrations;
        return waitForButton(m_script.calibrate);
    }
    int Measure(okp::MeasurementValue& value) override {
        ++m_script.measurements;
        const int result = waitForButton(m_script.measure);
        if (result == okp::kAppSuccess) {
            SpectrumRecord spectrum{};
            spectrum.start = 380, spectrum.interval = 10, spectrum.count = 36;
            value.SetSpectrum(spectrum);
        }
        return result;
    }
    bool GetDeviceInformation(okp::DeviceInformation&) override { return false; }
    bool GetOpenTime(std::time_t&) override { return false; }
    bool GetCalibrationTime(std::time_t&) override { return false; }
    int Close() override {
        ++m_script.closes;
        m_script.isOpen = false;
        return okp::kAppSuccess;
    }
    void SetCancelCallBack(ProgressCallback callback) override { m_callback = callback; }

private:
    int waitForButton(int result) {
        for (int turn = 0; turn < 3; ++turn)
            if (m_callback != nullptr && m_callback(-1) != 0) return okp::kAppCancelled;
        return result;
    }
    InstrumentScript& m_script;
    ProgressCallback m_callback = nullptr;
};

// A measured value with chosen results.
struct ValueScript {
    std::int64_t kelvin = 3500;
    double lux = 1000.0;
    std::int32_t type = okp::kThreeBand;
    bool computable = true;
};

class ScriptedValue : public okp::MeasurementValue {
public:
    explicit ScriptedValue(const ValueScript& script) : m_script(script) {}
    std::int64_t GetColorTemperature() const override { return m_script.kelvin; }
    double GetIlluminance() const override { return m_script.lux; }
    bool IsComputable() const override { return m_script.computable; }
    std::int32_t GetLightSourceType(std::int32_t* index, double* error) const override {
        if (index) *index = 0;
        if (error) *error = 0.0;
        return m_script.type;
    }

private:
    ValueScript m_script;
};

}  // namespace app::testing

#endif  // TESTS_APP_SCRIPTED_DEVICES_H
