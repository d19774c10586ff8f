// Request / reply helpers for instruments that speak the head's line protocol over one port:
// a record with the reply buffer and clock, exchanges, reply parsing and draining.
#ifndef METERIO_SERIAL_LINE_SESSION_H
#define METERIO_SERIAL_LINE_SESSION_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "meterio/frame/result.h"
#include "meterio/serial/exchange.h"
#include "meterio/serial/spot_protocol.h"
#include "platform/clock.h"

namespace meterio::serial::line {

inline constexpr std::uint32_t kReplyTimeoutMs = 3000;
inline constexpr std::size_t kCapacity = 512;
inline constexpr std::size_t kShortCapacity = 255;
inline constexpr std::int32_t kStop = -1;

// The search's record plus the working reply buffer and the clock every wait runs on.
struct LineRecord : SerialRecord {
    // Capacity 512 plus a terminating zero, so that a reply can be read as text.
    std::array<std::uint8_t, kCapacity + 1> reply{};
    platform::Clock* clock = &platform::systemClock();
};

// True when `poll` answers -1 to `value`.
bool stops(const Callback& poll, std::int32_t value);

// The reply now in the buffer, up to its first zero byte or `capacity`.
std::string_view replyText(const LineRecord& record, std::size_t capacity);

// Clears the buffer, writes `command` and waits for `lines` CR LF.
Result exchange(LineRecord& record, std::string_view command, std::size_t capacity,
                const Callback& idle, std::uint32_t timeoutMs = kReplyTimeoutMs,
                std::uint32_t lines = 1, IdleStop stop = IdleStop::Ignored);

// Checks the number of the reply now in the buffer and scans its fields.
Result parse(const LineRecord& record, std::size_t capacity, std::uint32_t number,
             std::string_view format, spot::ReplyFields& fields);

// One request whose exchange must succeed and whose reply must parse.
Result request(LineRecord& record, std::string_view command, std::uint32_t number,
               std::string_view format, spot::ReplyFields& fields, std::size_t capacity = kCapacity,
               const Callback& idle = {});

// A request whose silence is returned but whose other exchange failures go on to the reply
// check (a reply that arrived in part may still parse).
Result requestTolerant(LineRecord& record, std::string_view command, std::uint32_t number,
                       std::string_view format, spot::ReplyFields& fields,
                       std::size_t capacity = kCapacity, const Callback& idle = {});

// Drops what the line has delivered; `failure` when that cannot be done.
Result drain(LineRecord& record, Result failure);

// The low bytes of `count` unsigned fields from `first` (one-based) as characters.
void copyCodes(const spot::ReplyFields& fields, std::size_t first, std::size_t count, char* out);

// A version text sent as `count` character codes from `first` (one-based), taken up to the
// first 0 and read as a real number, times 100 truncated toward zero; nullopt when it is not a
// number or does not fit.
std::optional<std::uint32_t> versionTimes100(const spot::ReplyFields& fields, std::size_t first,
                                             std::size_t count);

}  // namespace meterio::serial::line

#endif  // METERIO_SERIAL_LINE_SESSION_H
