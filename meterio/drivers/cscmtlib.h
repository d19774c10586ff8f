// The reflective spot instrument driven through the vendor library CSCMTLib.dll.
#ifndef METERIO_DRIVERS_CSCMTLIB_H
#define METERIO_DRIVERS_CSCMTLIB_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "meterio/frame/result.h"
#include "platform/clock.h"

namespace meterio {

// Vendor answer tables: O for CSDInit, G for settings, queries and conversion, W for the
// button and calibrations, M for measurements.
enum class CscmtlibTable { O, G, W, M };
Result mapCscmtlibCode(CscmtlibTable table, std::int32_t code);

// Port number of a "COM<digits>:" name (any case, at most 32 characters). Null or empty names
// give Ok with no number; anything else malformed gives CommunicationError.
Result parseCscmtlibPort(const char* name, std::optional<std::uint32_t>& number);

// Vendor codes of the measurement settings, or nullopt when the library value is refused.
std::optional<std::uint32_t> cscmtlibObserver(std::uint32_t observer);
std::optional<std::uint32_t> cscmtlibIllumination(std::uint32_t illumination);
std::optional<std::uint32_t> cscmtlibDensity(std::uint32_t densityStandard);
std::optional<std::uint32_t> cscmtlibColorSpace(std::uint32_t colorSpace);

// `Lab ` values pass 0 <= L <= 100 and -128 <= a, b <= 128 and are rounded half away from zero
// to four decimals; out of range gives nullopt.
std::optional<double> roundLabValue(double value, double low, double high);

// Sizes of the buffers the driver hands to the vendor library, in doubles or bytes.
inline constexpr std::size_t kCscmtlibMeasurementValues = 64;
inline constexpr std::size_t kCscmtlibConvertedValues = 16;
inline constexpr std::size_t kCscmtlibWorkBytes = 128;
inline constexpr std::size_t kCscmtlibModelBytes = 256;

// The entry points as the driver calls them.
struct CscmtlibApi {
    std::int32_t (*open)() = nullptr;                                       // CSDOpen
    std::int32_t (*close)() = nullptr;                                      // CSDClose
    std::int32_t (*init)(std::int32_t, std::int32_t port) = nullptr;        // CSDInit
    std::int32_t (*setMode)(std::int32_t) = nullptr;                        // CSDSetMode
    std::int32_t (*setReflMesMode)(std::int32_t) = nullptr;                 // CSDSetReflMesMode
    std::int32_t (*setMesData)(std::int32_t) = nullptr;                     // CSDSetMesData
    std::int32_t (*setWhitePoint)(std::uint32_t) = nullptr;                 // CSDSetWhitePoint
    std::int32_t (*calibrateWhite)(void* work) = nullptr;                   // CSDCalibrateWhite
    std::int32_t (*calibrateBlack)(void* work) = nullptr;                   // CSDCalibrateBlack
    std::int32_t (*measure)(double* measurement) = nullptr;                 // CSDMeasure
    std::int32_t (*buttonPressed)(std::int32_t* pressed) = nullptr;         // CSDButtonPressed
    std::int32_t (*getWhitePoint)(std::uint32_t*) = nullptr;                // CSDGetWhitePoint
    std::int32_t (*getShellColor)(std::uint32_t*) = nullptr;                // CSDGetShellColor
    std::int32_t (*getUnitId)(std::uint32_t*) = nullptr;                    // CSDGetUnitID
    std::int32_t (*getModelName)(char* text, std::int32_t size) = nullptr;  // CSDGetModelName
    std::int32_t (*canConvert)(std::int32_t kind, std::uint32_t colorSpace) = nullptr;
    std::int32_t (*convertMeas)(const double* measurement, double* output, std::uint32_t colorSpace,
                                std::uint32_t whitePoint) = nullptr;
    std::int32_t (*setAutoButtonMode)(std::int32_t) = nullptr;  // CSDSetAutoButtonMode
    std::int32_t (*reset)() = nullptr;                          // CSDReset
};

std::unique_ptr<Driver> makeCscmtlibDriver();
// The same with another clock for its waits, beeps and time-outs.
std::unique_ptr<Driver> makeCscmtlibDriver(platform::Clock& clock);

}  // namespace meterio

#endif  // METERIO_DRIVERS_CSCMTLIB_H
