// The program's instrument objects: the EyeOne ambient-light reader seen as a spectrophotometer.
#ifndef APP_SPECTROPHOTOMETER_H
#define APP_SPECTROPHOTOMETER_H

#include <cstdint>
#include <ctime>

#include "meterio32.h"

namespace platform {
class Clock;
}

namespace orvel_kepno_ambientlib {

class MeasurementValue;
class METERIO;

// Base of instrument information records.
class DeviceInformation {
public:
    virtual ~DeviceInformation();
};

// EyeOne identity; all zero until filled by GetDeviceInformation.
class I1Information : public DeviceInformation {
public:
    ~I1Information() override;

    std::uint32_t VersionNumber() const { return m_versionNumber; }
    std::uint32_t SerialNumber() const { return m_serialNumber; }
    // 1 EyeOne, 2 EyeOneDisplay, 0 other.
    std::uint32_t DeviceType() const { return m_deviceType; }
    // 1 or 2, 0 unknown.
    std::uint32_t PhysicalFilter() const { return m_physicalFilter; }

private:
    friend class I1AmbientRaw;
    std::uint32_t m_versionNumber = 0;
    std::uint32_t m_serialNumber = 0;
    std::uint32_t m_deviceType = 0;
    std::uint32_t m_physicalFilter = 0;
};

// A spectrophotometer; operations return AppResult codes unless stated.
class Spectrophotometer {
public:
    virtual int Calibrate() = 0;
    virtual int Measure(MeasurementValue& value) = 0;
    // Fills `info`, which must be the instrument's own information type (std::bad_cast
    // otherwise); false when the instrument could not tell.
    virtual bool GetDeviceInformation(DeviceInformation& info) = 0;
    // False when not open; else the calendar time of the successful open.
    virtual bool GetOpenTime(std::time_t& time) = 0;
    // False when not calibrated since the open; else the time of the last calibration.
    virtual bool GetCalibrationTime(std::time_t& time) = 0;
    virtual int Close() = 0;
    virtual void SetCancelCallBack(ProgressCallback callback) = 0;
    virtual int Open() = 0;
    virtual ~Spectrophotometer();
};

class SpectrophotometerViaUSB : public Spectrophotometer {
public:
    ~SpectrophotometerViaUSB() override;
};

// The EyeOne ambient-light reader driven through meterio32. Destroying an open reader closes it.
class I1AmbientRaw : public SpectrophotometerViaUSB {
public:
    // Pause before opening, which gives a freshly plugged instrument time to settle.
    static constexpr std::uint32_t kOpenDelayMs = 1000;

    // Uses the process-wide METERIO (bound on the first instrument call) and the system clock.
    I1AmbientRaw();
    // Uses the given binding and clock, which must outlive this object.
    I1AmbientRaw(METERIO& meterio, platform::Clock& clock);
    I1AmbientRaw(const I1AmbientRaw&) = delete;
    I1AmbientRaw& operator=(const I1AmbientRaw&) = delete;

    int Calibrate() override;
    int Measure(MeasurementValue& value) override;
    bool GetDeviceInformation(DeviceInformation& info) override;
    bool GetOpenTime(std::time_t& time) override;
    bool GetCalibrationTime(std::time_t& time) override;
    int Close() override;
    void SetCancelCallBack(ProgressCallback callback) override;
    int Open() override;
    ~I1AmbientRaw() override;

protected:
    METERIO& Meterio();

private:
    METERIO* m_meterio = nullptr;
    platform::Clock* m_clock = nullptr;
    std::time_t m_openTime = 0;
    std::time_t m_calibrationTime = 0;
    ProgressCallback m_cancelCallBack = nullptr;
};

// Measures into a fresh value and hands it over only on success, so a failed measurement
// leaves the caller's value as it was.
class I1Ambient : public I1AmbientRaw {
public:
    using I1AmbientRaw::I1AmbientRaw;
    int Measure(MeasurementValue& value) override;
    ~I1Ambient() override;
};

}  // namespace orvel_kepno_ambientlib

#endif  // APP_SPECTROPHOTOMETER_H
