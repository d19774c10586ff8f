// The serial display colorimeter: "&Z" commands ending in CR, replies in CR-ended lines. The
// port is opened by name around every operation and closed again after it.
#ifndef METERIO_DRIVERS_DISPLAY_COLORIMETER_H
#define METERIO_DRIVERS_DISPLAY_COLORIMETER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "meterio/frame/result.h"
#include "meterio/serial/exchange.h"
#include "meterio32.h"
#include "platform/clock.h"

namespace meterio {

namespace colorimeter {

// Bytes all lines of one reply may take together; the buffer has one more for a terminator.
inline constexpr std::size_t kReplyCapacity = 512;
// Lines one exchange takes before it gives up on an instrument that keeps talking.
inline constexpr std::size_t kMaxReplyLines = 32;

// Which of the three error tables a command's reply is judged by.
enum class ErrorTable : std::uint8_t {
    Reading,      // after "H1"
    Preparation,  // after "F1&Z", "F1&H1&Z" and "H1&Z"
    Other,        // every other command
};
ErrorTable errorTableFor(std::string_view command);

// The code of an error line ("E.." or "P1 E.."), or nullopt when the line is no error line.
std::optional<Result> mapErrorLine(std::string_view line, ErrorTable table);

// The non-empty lines of a reply buffer: lines end at CR, a LF at a line's start is skipped.
// At most kMaxReplyLines + 1 are returned.
struct ReplyLines {
    std::array<std::string_view, kMaxReplyLines + 1> lines;
    std::size_t count = 0;
    std::span<const std::string_view> view() const { return {lines.data(), count}; }
};
ReplyLines splitLines(std::string_view reply);

// Judges the lines that answered `command`: 0, an error line's code, 0x80000005 or 0x80000006.
Result checkReply(std::span<const std::string_view> lines, std::string_view command);

// The three numbers of a reading line "P1 313,329,12000": a word of at most three characters,
// a blank, then three numbers each followed by one separator but the last, in single precision.
std::optional<std::array<float, 3>> parseReading(std::string_view line);

// The ten blank-separated words of a status line, each at most 31 characters: 0, or
// 0x80000008 when there are fewer or one is longer. Words beyond ten are ignored.
Result splitStatus(std::string_view line, DisplayColorimeterInfo& info);

}  // namespace colorimeter

// The colorimeter's baud rates, in the order they are tried.
inline constexpr std::array<std::uint32_t, 7> kColorimeterBaudRates = {9600, 19200, 4800, 2400,
                                                                       1200, 600,   300};

std::unique_ptr<Driver> makeDisplayColorimeterDriver();
// With another clock, and a stand-in for opening ports by name.
std::unique_ptr<Driver> makeDisplayColorimeterDriver(platform::Clock& clock,
                                                     serial::PortOpener openPort);

}  // namespace meterio

#endif  // METERIO_DRIVERS_DISPLAY_COLORIMETER_H
