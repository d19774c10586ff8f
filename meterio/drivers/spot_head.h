// The serial spot measuring head: search, initialisation, calibration, conditions,
// information, measurements and key waits. The stage driver speaks to the same head.
#ifndef METERIO_DRIVERS_SPOT_HEAD_H
#define METERIO_DRIVERS_SPOT_HEAD_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "meterio/frame/result.h"
#include "meterio/serial/line_session.h"
#include "meterio32.h"
#include "platform/clock.h"

namespace meterio {

// The instrument record: port, rate, colour space and reserved tail of the search, the working
// buffers, then the head state (fifth value of the condition reply).
struct SpotHeadRecord : serial::line::LineRecord {
    std::uint32_t headState = 0;
};

// Density standard, illuminant, observer, colour space: the layout of MeasureParams.
using SpotConditions = MeasureParams;

// The information record of the head (128 bytes).
struct SpotInfoRecord {
    char model[32];
    std::uint32_t headCode;
    char secondText[32];
    std::uint32_t number;
    std::uint32_t firmwareVersion;  // version x 100
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint8_t reserved1[6];
    std::uint32_t productionValue;
    std::uint32_t headState;
    std::uint8_t reserved2[32];
};
static_assert(sizeof(SpotInfoRecord) == 128);
static_assert(offsetof(SpotInfoRecord, headCode) == 32);
static_assert(offsetof(SpotInfoRecord, number) == 68);
static_assert(offsetof(SpotInfoRecord, year) == 76);
static_assert(offsetof(SpotInfoRecord, productionValue) == 88);
static_assert(offsetof(SpotInfoRecord, headState) == 92);
static_assert(sizeof(SpotInfoRecord) <= sizeof(DeviceInfo));

// Start of a measurement.
inline constexpr std::uint32_t kStartByCommand = 0;
inline constexpr std::uint32_t kStartByKey = 1;
// The head code that field 19 of the identity reply carries.
inline constexpr std::uint32_t kSpotHeadCode = 32;

// A poll callback returning -1 stops the operation with Cancelled.
Result SpotHeadProbe(SpotHeadRecord& record, std::string_view portName, std::uint32_t baudRate,
                     const serial::Callback& poll, serial::Port& port);
Result SpotHeadOpen(SpotHeadRecord& record, std::string_view portName, std::uint32_t baudRate,
                    const serial::Callback& poll);
Result SpotHeadClose(SpotHeadRecord& record);
// Steps run when their flag is -1.
Result SpotHeadCalibrate(SpotHeadRecord& record, std::int32_t whiteStep, std::int32_t secondStep,
                         const serial::Callback& poll);
Result SpotHeadSetConditions(SpotHeadRecord& record, const SpotConditions& conditions);
Result SpotHeadGetConditions(SpotHeadRecord& record, SpotConditions& conditions);
Result SpotHeadGetInfo(SpotHeadRecord& record, SpotInfoRecord& info);
// `values` holds 3 (kind 0), 4 (kind 1) or 8 (kind 2) doubles; in kind 2 the fourth is kept.
Result SpotHeadMeasure(SpotHeadRecord& record, std::uint32_t startMode, std::uint32_t kind,
                       const serial::Callback& poll, double* values);
Result SpotHeadMeasureSpectrum(SpotHeadRecord& record, std::uint32_t startMode,
                               const serial::Callback& poll, SpectrumRecord& spectrum);
// `timeoutMs` 0xFFFFFFFF waits for ever; `pressed` may be null.
Result SpotHeadWaitKey(SpotHeadRecord& record, std::uint32_t timeoutMs, std::int32_t callbackValue,
                       const serial::Callback& poll, std::uint8_t* pressed);
Result SpotHeadWaitKeyState(SpotHeadRecord& record, std::uint32_t timeoutMs,
                            std::int32_t callbackValue, std::uint8_t wantedState,
                            const serial::Callback& poll);

// The spot head behind a reader: reflectance through the spot family.
std::unique_ptr<Driver> makeSpotHeadDriver();

}  // namespace meterio

#endif  // METERIO_DRIVERS_SPOT_HEAD_H
