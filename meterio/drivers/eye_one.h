// EyeOne instruments through the vendor library EyeOne.dll.
#ifndef METERIO_DRIVERS_EYE_ONE_H
#define METERIO_DRIVERS_EYE_ONE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "platform/clock.h"
#include "platform/module.h"

namespace meterio {

// Measuring modes, each a value of the vendor option "MeasurementMode".
enum EyeOneMode : std::uint8_t {
    kEyeOneEmission = 0,
    kEyeOneReflectance = 1,
    kEyeOneScanning = 2,
    kEyeOneAmbient = 3,
};

// Device kinds, as reported under "DeviceType".
inline constexpr std::uint32_t kEyeOneKindOther = 0;
inline constexpr std::uint32_t kEyeOneKindEyeOne = 1;
inline constexpr std::uint32_t kEyeOneKindDisplay = 2;

// Vendor answer of I1_KeyPressed while no press is pending.
inline constexpr std::int32_t kEyeOneNoKey = 4;

// The three tables that map vendor codes: G for connection, button and calibration, S for
// options and tristimulus reads, M for measurements, spectra and densities.
enum class EyeOneTable { G, S, M };
Result mapEyeOneCode(EyeOneTable table, std::uint32_t version, std::int32_t code);

// "Version" text: a word of up to eight non-blank characters, then major, minor and patch
// separated by single characters; "EyeOne 2.1.3" gives 213. Null when it does not parse.
std::optional<std::uint32_t> parseEyeOneVersion(std::string_view text);

// Entry points of EyeOne.dll as the driver calls them.
struct EyeOneApi {
    using Text = const char* (*)(const char* key);
    using SetOption = std::int32_t (*)(const char* key, const char* value);
    using Action = std::int32_t (*)();
    using SetSubstrate = std::int32_t (*)(const float* substrate);
    using GetSpectrum = std::int32_t (*)(float* spectrum, std::int32_t index);
    using GetTriStimulus = std::int32_t (*)(float* values, std::int32_t index);
    using GetDensity = std::int32_t (*)(float* density, std::int32_t index);
    using GetDensities = std::int32_t (*)(float* densities, std::int32_t* autoIndex,
                                          std::int32_t index);

    Text info = nullptr;  // I1_GetOption from version 200, else I1_GetDeviceInfo
    SetOption setOption = nullptr;
    Text getOption = nullptr;
    Action isConnected = nullptr;
    Action keyPressed = nullptr;
    Action availableSamples = nullptr;
    SetSubstrate setSubstrate = nullptr;
    Action calibrate = nullptr;
    Action triggerMeasurement = nullptr;
    GetSpectrum getSpectrum = nullptr;
    GetTriStimulus getTriStimulus = nullptr;
    GetDensity getDensity = nullptr;
    GetDensities getDensities = nullptr;
};

class EyeOneDriver final : public Driver {
public:
    explicit EyeOneDriver(platform::Clock& clock = platform::systemClock()) : m_clock(clock) {}

    static std::unique_ptr<Driver> make();

    Result bind() override;
    Result open(const OpenArgs& args, Progress& progress) override;
    Result close() override;
    Result releaseLibrary() override;

    Result calibrateAmbient(Progress& progress) override;
    Result calibrateWhite(const CalibrateRequest& request, Progress& progress) override;
    Result setParams(const MeasureParams& params) override;
    Result getParams(MeasureParams& params) override;
    Result getInfo(DeviceInfo& info) override;
    Result readValues(const ReadRequest& request, Progress& progress, void* records) override;
    Result readSpectra(const ReadRequest& request, Progress& progress,
                       SpectrumRecord* records) override;
    Result waitForKey(const WaitRequest& request, Progress& progress,
                      std::uint8_t* pressed) override;
    Result waitForKeyState(const WaitRequest& request, Progress& progress) override;
    Result defineStrip(const StripDefinition& definition) override;

    std::uint8_t mode() const { return m_mode; }
    std::uint32_t version() const { return m_version; }

private:
    struct Options;  // vendor option texts of one MeasureParams

    bool bound() const { return m_api.keyPressed != nullptr; }
    Result map(EyeOneTable table, std::int32_t code) const;
    Result setOption(const char* key, const char* value);
    Result toOptions(const MeasureParams& params, Options& options);
    Result writeOptions(const Options& options);
    Result setModeOption(std::uint8_t mode);
    Result switchMode(std::uint8_t mode);
    Result ensureMode(std::uint8_t mode);
    Result calibrateIn(std::uint8_t mode);
    Result buttonWait(std::int32_t callbackValue, Progress& progress);
    Result startMeasurement(const ReadRequest& request, Progress& progress, std::uint32_t& limit);

    platform::Clock& m_clock;
    platform::Module m_module;
    EyeOneApi m_api;
    std::uint8_t m_mode = kEyeOneAmbient;
    std::uint32_t m_version = 0;
    std::uint32_t m_serialNumber = 0;
    std::uint32_t m_filter = 0;
    std::uint32_t m_colorSpace = METERIO_CS_XYZ;
    std::uint32_t m_illumination = 6;
    std::uint32_t m_kind = kEyeOneKindEyeOne;
};

}  // namespace meterio

#endif  // METERIO_DRIVERS_EYE_ONE_H
