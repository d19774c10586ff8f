// The X-Y measuring table that carries the spot head: search, initialisation, paper hold, moves,
// location, key waits, white calibration, measurements, conditions and information.
#ifndef METERIO_DRIVERS_MEASURING_TABLE_H
#define METERIO_DRIVERS_MEASURING_TABLE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "meterio/drivers/spot_head.h"
#include "meterio/frame/result.h"
#include "meterio32.h"

namespace meterio {

// A stored position: y first, then x, in the table's units.
struct TablePosition {
    std::int32_t y = 0;
    std::int32_t x = 0;
};

// What the head's automatic output is set to after a measurement set-up.
enum TableSetUp : std::uint8_t {
    kSetUpColour = 0,  // also the state after open and after the conditions are set
    kSetUpDensities = 1,
    kSetUpBoth = 2,
    kSetUpSpectrum = 3,
    kSetUpUnknown = 0xFF,  // a set-up failed midway: the next measurement sets up again
};

// The instrument record: the head's record, then the table's own state.
struct TableRecord : SpotHeadRecord {
    std::uint32_t found = 0;                   // 1 once the table was found
    std::uint32_t conditionFlag = 0;           // second number of the conditions command
    std::array<TablePosition, 4> positions{};  // ids 3 to 6
    std::uint8_t setUp = kSetUpColour;
};

// The information record of the stage reader (180 bytes): the table block, then fields 1 to 9
// of the head's information record.
inline constexpr std::size_t kHeadBlockSize = offsetof(SpotInfoRecord, reserved2);
struct StageInfoRecord {
    char model[32];
    std::uint32_t number;
    char secondText[32];
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t day;
    std::uint8_t reserved[6];
    std::uint32_t version;  // version x 100
    std::uint8_t head[kHeadBlockSize];
};
static_assert(kHeadBlockSize == 96);
static_assert(offsetof(StageInfoRecord, number) == 32);
static_assert(offsetof(StageInfoRecord, secondText) == 36);
static_assert(offsetof(StageInfoRecord, year) == 68);
static_assert(offsetof(StageInfoRecord, day) == 72);
static_assert(offsetof(StageInfoRecord, version) == 80);
static_assert(offsetof(StageInfoRecord, head) == 84);
static_assert(sizeof(StageInfoRecord) == 180);
static_assert(sizeof(StageInfoRecord) <= sizeof(DeviceInfo));

// Coordinate limits; move mode 1 keeps y at kNearEdge or more.
inline constexpr std::int32_t kTableMaxX = 3101;
inline constexpr std::int32_t kTableMaxY = 2301;
inline constexpr std::int32_t kNearEdge = 230;
bool TablePositionAllowed(std::uint8_t moveMode, std::int64_t x, std::int64_t y);

// Status lists: head measurement replies (37, 190), table replies (209 128), head replies (31).
enum class StatusList : std::uint8_t { Measurement = 1, Table = 2, Head = 3 };
Result TableStatus(StatusList list, std::uint32_t status);
// The reply must begin with `prefix` and carry an unsigned number right after it.
Result CheckTableStatus(std::string_view reply, std::string_view prefix, StatusList list);

// Key number 1 to 8 for a key bit value 1, 2, 4 ... 128.
std::optional<std::uint8_t> TableKeyNumber(std::uint32_t bit);
// The number right after ": 209 130 " when `line` begins with it.
std::optional<std::uint32_t> TableKeyBit(std::string_view line);
// True when ": 209 130 " followed by the non-zero number `bit` occurs anywhere in `text`.
bool TableTextHasKey(std::string_view text, std::uint32_t bit);
// The head's output code for a colour space ("; 177 2 <code>").
std::optional<std::uint32_t> TableColourCode(std::uint32_t colorSpace);

// Parses a ": 190" line: kind 0 gives 3 values, 1 gives 4 (d2, d3, d4, d1), 2 gives 8 (colour,
// a zero, densities). `colourCode` is the code the head was set to.
Result ParseTableMeasurement(std::string_view line, std::uint32_t kind, std::uint32_t colorSpace,
                             double* values);
Result ParseTableSpectrum(std::string_view line, SpectrumRecord& spectrum);

// A poll callback returning -1 stops the operation with Cancelled.
Result TableProbe(TableRecord& record, std::string_view portName, std::uint32_t baudRate,
                  const serial::Callback& poll, serial::Port& port);
Result TableOpen(TableRecord& record, std::string_view portName, std::uint32_t baudRate,
                 const serial::Callback& poll);
Result TableClose(TableRecord& record);
// -1 holds, 0 releases.
Result TableHoldPaper(TableRecord& record, std::int32_t flag);
Result TableGetLocation(TableRecord& record, std::uint8_t moveMode, std::int32_t& x,
                        std::int32_t& y);
Result TableMoveTo(TableRecord& record, std::uint8_t moveMode, std::int32_t x, std::int32_t y);
// `position`: a stored id 3 to 6, or a special place 0 or 1. `stage` 0 to 7 picks the steps.
Result TableMove(TableRecord& record, std::uint8_t moveMode, std::uint8_t position,
                 std::uint8_t stage);
Result TableWaitKey(TableRecord& record, std::int32_t callbackValue, const serial::Callback& poll,
                    std::uint8_t* key);
// `key` 0 to 8; 0 is never matched, so that wait ends only when stopped.
Result TableWaitKeyState(TableRecord& record, std::uint8_t key, std::int32_t callbackValue,
                         const serial::Callback& poll);
Result TableCalibrateWhite(TableRecord& record, const serial::Callback& poll);
// Kind 0 colour (3 doubles), 1 densities (4), 2 both (8).
Result TableMeasure(TableRecord& record, std::uint32_t kind, const serial::Callback& poll,
                    double* values);
Result TableMeasureSpectrum(TableRecord& record, const serial::Callback& poll,
                            SpectrumRecord& spectrum);
Result TableSetConditions(TableRecord& record, const SpotConditions& conditions);
inline Result TableGetConditions(TableRecord& record, SpotConditions& conditions) {
    return SpotHeadGetConditions(record, conditions);
}
Result TableGetInfo(TableRecord& record, StageInfoRecord& info);

// The table behind a stage reader.
std::unique_ptr<Driver> makeMeasuringTableDriver();

}  // namespace meterio

#endif  // METERIO_DRIVERS_MEASURING_TABLE_H
