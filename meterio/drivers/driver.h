// The interface every instrument driver implements, and the device-code tables of the families.
#ifndef METERIO_DRIVERS_DRIVER_H
#define METERIO_DRIVERS_DRIVER_H

#include <cstdint>
#include <memory>
#include <string_view>

#include "meterio/frame/progress.h"
#include "meterio/frame/result.h"
#include "meterio32.h"

namespace meterio {

// The reader families of the exported interface.
enum class Family : std::uint8_t { Ambient, Monitor, Spot, Strip, Stage };

inline constexpr std::uint32_t kNoTimeout = 0xFFFFFFFFu;

// What a family's Open hands to its driver.
struct OpenArgs {
    std::string_view portName;   // empty when the caller gave none: the driver searches
    std::uint32_t baudRate = 0;  // 0 = search the driver's rate list
    std::uint8_t mode = 0;       // measuring mode the family wants (drivers serving several)
    std::uint32_t filter = 0;    // wanted physical filter, 0 = any
    std::uint32_t kind = 1;      // wanted device kind
};

// Kinds of a colour or density read, and the record type each writes:
// ColorantRecord, DensityRecord or ColorantDensityRecord.
enum ReadKind : std::uint8_t { kReadColorant = 0, kReadDensity = 1, kReadBoth = 2 };

// One measurement request. Drivers read the fields that concern them.
struct ReadRequest {
    std::uint8_t mode = 0;  // measuring mode, or how the measurement is started
    std::uint8_t kind = kReadColorant;
    std::uint16_t expected = 1;            // samples the family expects
    std::uint32_t limit = 1;               // records the caller's array holds
    std::uint32_t index = 0;               // patch index for read-backs of one patch
    std::uint32_t* sampleCount = nullptr;  // out: samples measured; may be null
};

// One button wait.
struct WaitRequest {
    std::uint32_t timeoutMs = kNoTimeout;
    std::int32_t callbackValue = 0;  // passed to the callback on every idle poll
    std::uint8_t mode = 0;           // second wait: stop at a press (1), go on (0), or key state
};

// Which steps of a calibration run (-1 = do it, 0 = skip), for heads that split them.
struct CalibrateRequest {
    std::int32_t whiteStep = -1;
    std::int32_t secondStep = -1;
};

// Strip definition: four 16-bit values; the fourth is the number of patches.
struct StripDefinition {
    std::uint16_t first = 0;
    std::uint16_t second = 100;
    std::uint16_t third = 100;
    std::uint16_t patches = 10;
};

// One instrument behind a reader. Each operation a family may call has a virtual whose default
// answers "not offered" without touching the instrument; a driver overrides what it does.
class Driver {
public:
    virtual ~Driver() = default;

    // Loads the vendor library and resolves its entry points; drivers without one succeed.
    virtual Result bind() { return Result::Ok; }
    virtual Result open(const OpenArgs& args, Progress& progress) = 0;
    virtual Result close() = 0;
    // Releases the vendor library after close: Ok, or GeneralFailure when the loader refused.
    virtual Result releaseLibrary() { return Result::Ok; }

    // Calibrations.
    virtual Result calibrateAmbient(Progress&) { return Result::NotOffered; }
    virtual Result calibrateWhite(const CalibrateRequest&, Progress&) { return Result::NotOffered; }
    virtual Result calibrateBlack(Progress&) { return Result::NotOffered; }

    // Parameters and information.
    virtual Result setParams(const MeasureParams&) { return Result::NotOffered; }
    virtual Result getParams(MeasureParams&) { return Result::NotOffered; }
    virtual Result setParamsEx(const void*) { return Result::NotOffered; }
    virtual Result getParamsEx(void*) { return Result::NotOffered; }
    virtual Result getInfo(DeviceInfo&) { return Result::NotOffered; }

    // Measurements. `records` points to `request.limit` records of the kind's type.
    virtual Result readValues(const ReadRequest&, Progress&, void* /*records*/) {
        return Result::NotOffered;
    }
    virtual Result readSpectra(const ReadRequest&, Progress&, SpectrumRecord*) {
        return Result::NotOffered;
    }

    // The instrument's button or keys. `pressed` may be null; a key number where there are keys.
    virtual Result waitForKey(const WaitRequest&, Progress&, std::uint8_t* /*pressed*/) {
        return Result::NotOffered;
    }
    virtual Result waitForKeyState(const WaitRequest&, Progress&) { return Result::NotOffered; }

    // Strip instruments.
    virtual Result defineStrip(const StripDefinition&) { return Result::NotOffered; }

    // Measuring tables: stored positions (ids), moves and the paper hold.
    virtual Result storePosition(std::uint8_t /*id*/, std::int32_t /*x*/, std::int32_t /*y*/) {
        return Result::NotOffered;
    }
    virtual Result storedPosition(std::uint8_t /*id*/, std::int32_t& /*x*/, std::int32_t& /*y*/) {
        return Result::NotOffered;
    }
    virtual Result moveToPosition(std::uint8_t /*moveMode*/, std::uint8_t /*id*/,
                                  std::uint8_t /*stage*/) {
        return Result::NotOffered;
    }
    virtual Result moveTo(std::uint8_t /*moveMode*/, std::int32_t /*x*/, std::int32_t /*y*/) {
        return Result::NotOffered;
    }
    virtual Result location(std::uint8_t /*moveMode*/, std::int32_t& /*x*/, std::int32_t& /*y*/) {
        return Result::NotOffered;
    }
    virtual Result holdPaper(std::int32_t /*flag*/) { return Result::NotOffered; }
};

// One row of a family's device-code table: the code, how to make its driver, and the measuring
// mode the family asks that driver for.
struct DriverEntry {
    std::uint8_t deviceCode;
    std::unique_ptr<Driver> (*make)();
    std::uint8_t mode = 0;
};

}  // namespace meterio

#endif  // METERIO_DRIVERS_DRIVER_H
