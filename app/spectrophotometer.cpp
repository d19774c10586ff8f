// The EyeOne ambient reader object: open and configure, calibrate, measure, close.
#include "app/spectrophotometer.h"

#include "app/measurement_value.h"
#include "app/meterio_binding.h"
#include "platform/clock.h"

namespace orvel_kepno_ambientlib {
namespace {

constexpr std::uint8_t kEyeOneAmbient = 0;
// ANSI T density, D65, 2 degree observer, XYZ.
constexpr MeasureParams kMeasureParams{4, 6, 2, METERIO_CS_XYZ};

std::uint32_t knownOrZero(std::uint32_t value) {
    return value == 1 || value == 2 ? value : 0;
}

}  // namespace

DeviceInformation::~DeviceInformation() = default;
I1Information::~I1Information() = default;
Spectrophotometer::~Spectrophotometer() = default;
SpectrophotometerViaUSB::~SpectrophotometerViaUSB() = default;

I1AmbientRaw::I1AmbientRaw() = default;

I1AmbientRaw::I1AmbientRaw(METERIO& meterio, platform::Clock& clock)
    : m_meterio(&meterio), m_clock(&clock) {}

I1AmbientRaw::~I1AmbientRaw() {
    if (m_openTime != 0) I1AmbientRaw::Close();
}

METERIO& I1AmbientRaw::Meterio() {
    if (m_meterio == nullptr) m_meterio = &METERIO::Instance();
    return *m_meterio;
}

int I1AmbientRaw::Open() {
    // The binding keeps one reader handle; opening over an open reader would lose it.
    if (m_openTime != 0) (void)I1AmbientRaw::Close();
    (m_clock != nullptr ? *m_clock : platform::systemClock()).sleepMs(kOpenDelayMs);
    std::uint32_t result = Meterio().Open(kEyeOneAmbient, nullptr, 0, m_cancelCallBack);
    if (result == METERIO_OK) {
        result = Meterio().SetParam(kMeasureParams);
        if (result != METERIO_OK)
            (void)Meterio().Close();
        else
            m_openTime = std::time(nullptr);
    }
    return TranslateReaderResult(result);
}

int I1AmbientRaw::Calibrate() {
    const std::uint32_t result = Meterio().Calibrate(m_cancelCallBack);
    if (result == METERIO_OK) m_calibrationTime = std::time(nullptr);
    return TranslateReaderResult(result);
}

int I1AmbientRaw::Measure(MeasurementValue& value) {
    SpectrumRecord spectrum{};
    const std::uint32_t result = Meterio().ScanSpectrum(m_cancelCallBack, spectrum);
    if (result == METERIO_OK) value.SetSpectrum(spectrum);
    return TranslateReaderResult(result);
}

int I1AmbientRaw::Close() {
    m_openTime = 0;
    m_calibrationTime = 0;
    return TranslateReaderResult(Meterio().Close());
}

bool I1AmbientRaw::GetDeviceInformation(DeviceInformation& info) {
    DeviceInfo raw{};
    if (Meterio().GetInfo(raw) != METERIO_OK) return false;
    I1Information& eyeOne = dynamic_cast<I1Information&>(info);
    eyeOne.m_versionNumber = raw.eyeOne.libraryVersion;
    eyeOne.m_serialNumber = raw.eyeOne.serialNumber;
    eyeOne.m_deviceType = knownOrZero(raw.eyeOne.deviceKind);
    eyeOne.m_physicalFilter = knownOrZero(raw.eyeOne.physicalFilter);
    return true;
}

bool I1AmbientRaw::GetOpenTime(std::time_t& time) {
    if (m_openTime == 0) return false;
    time = m_openTime;
    return true;
}

bool I1AmbientRaw::GetCalibrationTime(std::time_t& time) {
    if (m_calibrationTime == 0) return false;
    time = m_calibrationTime;
    return true;
}

void I1AmbientRaw::SetCancelCallBack(ProgressCallback callback) {
    m_cancelCallBack = callback;
}

int I1Ambient::Measure(MeasurementValue& value) {
    MeasurementValue fresh;
    const int result = I1AmbientRaw::Measure(fresh);
    if (result == kAppSuccess) value = fresh;
    return result;
}

I1Ambient::~I1Ambient() {
    std::time_t opened = 0;
    if (GetOpenTime(opened)) I1AmbientRaw::Close();
}

}  // namespace orvel_kepno_ambientlib
