// The DTP41 strip instrument on a serial line: search, initialisation, strip definition,
// registers, information, white calibration, reading waits, strip transfers and read-backs.
#ifndef METERIO_DRIVERS_DTP41_H
#define METERIO_DRIVERS_DTP41_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "meterio/drivers/driver.h"
#include "meterio/frame/result.h"
#include "meterio/serial/exchange.h"
#include "meterio32.h"
#include "platform/clock.h"

namespace meterio {

// The instrument record: port, rate, colour space and reserved tail of the search, then the
// single-line reply buffer (capacity 64 plus a terminating zero) and the clock.
struct Dtp41Record : serial::SerialRecord {
    std::array<std::uint8_t, 65> reply{};
    platform::Clock* clock = &platform::systemClock();
};

using StripInfoRecord = decltype(DeviceInfo::strip);

namespace dtp41 {

// Every answer ends with the status line "<nn>" CR LF and the prompt line ">" CR LF; the
// status line ends in ">" CR LF too, so an answer is complete at a line holding only ">".
inline constexpr std::string_view kPromptLine = "\n>\r\n";
inline constexpr std::string_view kStatusOk = "<00>";
inline constexpr std::string_view kCompletion = "<00>\r\n";

// Transfer modes: the two-digit prefix of "ts" and "np" commands.
inline constexpr std::uint32_t kModeDensity = 0;
inline constexpr std::uint32_t kModeSpectrum = 3;
inline constexpr std::uint32_t kModeLab = 4;
inline constexpr std::uint32_t kModeXyz = 5;

// Values per transfer line.
inline constexpr std::size_t kColorValues = 3;
inline constexpr std::size_t kDensityValues = 4;
inline constexpr std::size_t kSpectrumValues = 31;

// The configuration commands the initialisation sends, in order.
extern const std::array<std::string_view, 19> kInitialisation;

// "0301cf": write `value` to register `reg`; "16cf": read register `reg`.
std::string registerWrite(std::uint8_t reg, std::uint8_t value);
std::string registerRead(std::uint8_t reg);
// The strip definition command ("0010700005008ds"), or nullopt when a value is out of range.
std::optional<std::string> defineStripCommand(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                              std::uint32_t d);
// "04ts" and "04003np" (mode, 1-based patch number).
std::string transferCommand(std::uint32_t mode);
std::optional<std::string> readBackCommand(std::uint32_t mode, std::uint32_t patchNumber);

// Register values of the parameters; nullopt where the instrument has none.
std::optional<std::uint8_t> densityRegister(std::uint32_t densityStandard);
std::optional<std::uint8_t> illuminantRegister(std::uint32_t illuminant, std::uint32_t observer);
std::optional<std::uint8_t> colorSpaceRegister(std::uint32_t colorSpace);
std::optional<std::uint32_t> densityFromRegister(std::uint32_t value);
// Illuminant and observer.
std::optional<std::pair<std::uint32_t, std::uint32_t>> illuminantFromRegister(std::uint32_t value);
std::optional<std::uint32_t> colorSpaceFromRegister(std::uint32_t value);
// The transfer mode of a colour space: Lab or XYZ.
std::optional<std::uint32_t> colorMode(std::uint32_t colorSpace);

// True when the answer carries the success status.
bool answerOk(std::string_view answer);
// The hexadecimal or decimal number at the start of an answer (leading blanks skipped).
std::optional<std::uint32_t> leadingHex(std::string_view answer);
std::optional<std::uint32_t> leadingDecimal(std::string_view answer);
// The library code of an error query answer.
Result errorQueryResult(std::string_view answer);
// The date at `position` of a "bv" / "sv" answer: year digit (hexadecimal, from 1990), month
// (hexadecimal digit) and day (two decimal digits).
struct Date {
    std::uint16_t year, month, day;
};
std::optional<Date> dateAt(std::string_view answer, std::size_t position);
// Exactly `values.size()` reals separated by blanks; a trailing CR is allowed.
bool parseLine(std::string_view line, std::span<double> values);
// The lines of a strip transfer, each with `perLine` reals, up to the line followed by
// "<00>" CR LF or `capacity` lines; `store(i, values)` receives each. The count, or nullopt
// when a line is short or garbled.
std::optional<std::uint32_t> parseTransfer(
    std::string_view answer, std::size_t perLine, std::uint32_t capacity,
    const std::function<void(std::uint32_t, std::span<const double>)>& store);

}  // namespace dtp41

// A poll callback returning -1 stops the operation with Cancelled.
Result Dtp41Probe(Dtp41Record& record, std::string_view portName, std::uint32_t baudRate,
                  const serial::Callback& poll, serial::Port& port);
Result Dtp41Open(Dtp41Record& record, std::string_view portName, std::uint32_t baudRate,
                 const serial::Callback& poll);
Result Dtp41Initialise(Dtp41Record& record, const serial::Callback& poll);
Result Dtp41Close(Dtp41Record& record);
Result Dtp41ErrorQuery(Dtp41Record& record);
Result Dtp41DefineStrip(Dtp41Record& record, const StripDefinition& definition);
Result Dtp41SetParam(Dtp41Record& record, const MeasureParams& params);
Result Dtp41GetParam(Dtp41Record& record, MeasureParams& params);
Result Dtp41GetInfo(Dtp41Record& record, StripInfoRecord& info);
Result Dtp41CalibrateWhite(Dtp41Record& record, const serial::Callback& poll);
// Waits for a strip reading: `timeoutMs` kNoTimeout waits for ever. `readingFlag` -1 calls
// the callback once with `readingValue` when a reading starts. `taken` may be null.
Result Dtp41WaitReading(Dtp41Record& record, std::uint32_t timeoutMs, std::int32_t idleValue,
                        std::int32_t readingFlag, std::int32_t readingValue,
                        const serial::Callback& poll, std::uint8_t* taken);
// As Dtp41WaitReading; a completed reading ends the wait only when `wantedState` is 1.
Result Dtp41WaitReadingState(Dtp41Record& record, std::uint32_t timeoutMs, std::int32_t idleValue,
                             std::int32_t readingFlag, std::int32_t readingValue,
                             std::uint8_t wantedState, const serial::Callback& poll);
// `results` holds `capacity` records of the kind's type; `count` may be null.
Result Dtp41ScanStrip(Dtp41Record& record, std::uint32_t kind, std::uint32_t capacity,
                      const serial::Callback& poll, std::uint32_t* count, void* results);
Result Dtp41ScanStripSpectra(Dtp41Record& record, std::uint32_t capacity,
                             const serial::Callback& poll, std::uint32_t* count,
                             SpectrumRecord* spectra);
Result Dtp41ReadPatch(Dtp41Record& record, std::uint32_t kind, std::uint32_t storedCount,
                      std::uint32_t index, const serial::Callback& poll, void* result);
Result Dtp41ReadPatchSpectrum(Dtp41Record& record, std::uint32_t storedCount, std::uint32_t index,
                              const serial::Callback& poll, SpectrumRecord& spectrum);

// Read modes of the strip family's requests.
inline constexpr std::uint8_t kDtp41ReadBack = 1;
inline constexpr std::uint8_t kDtp41Transfer = 2;

// The DTP41 behind a strip reader.
std::unique_ptr<Driver> makeDtp41Driver();

}  // namespace meterio

#endif  // METERIO_DRIVERS_DTP41_H
