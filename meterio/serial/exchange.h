// Command / reply exchange on a serial port, and the port and baud-rate search for an
// instrument.
#ifndef METERIO_SERIAL_EXCHANGE_H
#define METERIO_SERIAL_EXCHANGE_H

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "meterio/frame/result.h"
#include "meterio/serial/port.h"
#include "platform/clock.h"

namespace meterio::serial {

// Whether -1 from the idle callback of an exchange ends the wait. Callers that let the user
// cancel a reply wait opt in; the others keep ignoring what the callback answers.
enum class IdleStop {
    Ignored,        // the callback's answer is ignored
    MinusOneStops,  // -1 ends the wait with 1 (cancelled)
};

// Writes `command` (when not empty) and, unless `pattern` is empty, collects reply bytes into
// `reply` until `pattern` has occurred exactly `requiredCount` times (overlaps count) or the
// deadline of `timeoutMs` after the initial `delayMs` has passed. NUL bytes are dropped. The
// reply is not terminated; at most `capacity` bytes are stored.
// Result: 0; 1 when `stop` is MinusOneStops and `idle` answered -1; 0x80000005 after silence
// that followed a command; 0x80000006 on a write or read failure, a reply that did not
// complete, or one longer than `capacity`.
// `idle` is called with -100 on every turn. Design note: a turn that finds no byte waits up to
// 1 ms for the port to become readable instead of polling again at once, so a reply wait costs
// next to no processor time; the last turn before the deadline may end up to 1 ms after it.
Result SerialExchange(platform::SerialPort& port, std::string_view command,
                      std::string_view pattern, std::uint32_t requiredCount, std::size_t capacity,
                      std::uint8_t* reply, std::uint32_t timeoutMs, std::uint32_t delayMs,
                      const Callback& idle, platform::Clock& clock = platform::systemClock(),
                      IdleStop stop = IdleStop::Ignored);

// The baud rates a search tries, in order, unless the driver gives its own list.
inline constexpr std::array<std::uint32_t, 11> kSearchBaudRates = {
    9600, 57600, 28800, 19200, 4800, 2400, 1200, 600, 300, 150, 110};

// What a search fills in on success.
struct SerialRecord {
    char portName[kPortNameSize] = {};
    std::uint32_t baudRate = 0;
    Port port;
    std::uint32_t colorSpace = 0;
    std::array<std::uint8_t, 32> reserved = {};
};

// Opens `portName`, applies the driver's profile at `baudRate`, asks the instrument who it is,
// and leaves the open port in `port` on success (0). Otherwise the port is closed and the result
// is 0x80000005, 0x80000006 or 1 (stopped by the callback).
using Probe = std::function<Result(std::string_view portName, std::uint32_t baudRate,
                                   const Callback& poll, Port& port)>;

// Finds an instrument: the named port (at `baudRate`, or at each rate of `rates`), or every
// listed COM port at every rate, rates outer. `rates` is the driver's own list, in the order
// it is tried. `poll` is called with -1 before every probe; -1 from it
// stops the search with 1 and leaves no port open.
// Result: 0, 1, 0x80000004, 0x80000005, 0x80000006 or 0x0FFFFFFF.
Result SerialFindInstrument(SerialRecord& record, std::string_view portName, std::uint32_t baudRate,
                            const Callback& poll, const Probe& probe,
                            std::span<const std::uint32_t> rates = kSearchBaudRates);

}  // namespace meterio::serial

#endif  // METERIO_SERIAL_EXCHANGE_H
