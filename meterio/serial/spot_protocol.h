// The spot measuring head's line protocol, shared by the spot-head and stage drivers:
// request lines "; <number> <args>" CR LF, reply lines ": <number> <fields>" CR LF.
#ifndef METERIO_SERIAL_SPOT_PROTOCOL_H
#define METERIO_SERIAL_SPOT_PROTOCOL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meterio::serial::spot {

inline constexpr std::string_view kLineEnd = "\r\n";

// Requests, CR LF included.
inline constexpr std::string_view kIdentify = "; 181\r\n";            // reply 182
inline constexpr std::string_view kProductionData = "; 43\r\n";       // reply 49
inline constexpr std::string_view kInitialise = "; 90 1 4 5\r\n";     // reply 31
inline constexpr std::string_view kReflectanceMode = "; 77 155\r\n";  // reply 31
inline constexpr std::string_view kSecondStepMode = "; 77 157\r\n";   // reply 31
inline constexpr std::string_view kReadConditions = "; 0\r\n";        // reply 11
inline constexpr std::string_view kReadConditionsBlank = "; 0 \r\n";  // reply 11
inline constexpr std::string_view kCalibrateWhite = "; 34 9 7\r\n";   // reply 37
inline constexpr std::string_view kCalibrateSecond = "; 34 9 8\r\n";  // reply 37
inline constexpr std::string_view kMeasure = "; 32\r\n";              // reply 37
inline constexpr std::string_view kDensityResult = "; 188 9 \r\n";    // reply 189
inline constexpr std::string_view kSpectralResult = "; 184 9 0\r\n";  // reply 185
inline constexpr std::string_view kKeyState = "; 8\r\n";              // reply 19

// "; 22 D W II O": density standard, flag, illuminant (two columns, right-aligned), observer.
std::string conditionCommand(std::uint32_t density, std::uint32_t flag, std::uint32_t illuminant,
                             std::uint32_t observer);
// "; 186 9 S": colorimetric result in the head's colour-space code S.
std::string colorimetricCommand(std::uint32_t colorSpaceCode);

// False only for a reply that is well formed (":" first, CR LF before its last byte, a number
// after ": ") and carries another number than `expected`.
bool CheckReplyNumber(std::uint32_t expected, std::size_t length, const char* reply);

// Reply fields as parsed by the scanning conversions "%u" ('u'), "%lf" ('f') and "%c" ('c',
// after skipping blanks), starting after ": <number> ". Unsigned and character fields are stored
// exactly as doubles. `count` is the number of fields converted before the first that failed.
inline constexpr std::size_t kMaxFields = 64;
struct ReplyFields {
    std::array<double, kMaxFields> values{};
    std::size_t count = 0;

    std::uint32_t u(std::size_t oneBased) const {
        return static_cast<std::uint32_t>(values[oneBased - 1]);
    }
    double f(std::size_t oneBased) const { return values[oneBased - 1]; }
};
// `format` holds one letter per field, at most kMaxFields.
ReplyFields scanReply(std::string_view reply, std::uint32_t number, std::string_view format);

// Reply formats.
inline constexpr std::string_view kStatusFormat = "u";
inline constexpr std::string_view kConditionFormat = "uuuuu";
inline constexpr std::string_view kIdentityFormat =
    "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu";  // 56
inline constexpr std::string_view kProductionFormat = "uuuuuuuuuuuuuuuuuuuuuuuuuucccccc";
inline constexpr std::string_view kColorimetricFormat = "uufffuuuuuuu";
inline constexpr std::string_view kDensityFormat = "uffffuuuuuuu";
inline constexpr std::string_view kSpectralFormat =
    "uuffffffffffffffffffffffffffffffffffffuuuuu";  // 2 + 36 + 5

// A real number in the manner of "%lf" at the start of `text` (leading blanks skipped).
std::optional<double> scanReal(std::string_view text);

// Condition codes between the library and the head.
std::optional<std::uint32_t> densityToHead(std::uint32_t libraryValue);
std::optional<std::uint32_t> densityFromHead(std::uint32_t headCode);
std::optional<std::uint32_t> illuminantToHead(std::uint32_t libraryValue);
std::optional<std::uint32_t> illuminantFromHead(std::uint32_t headCode);
std::optional<std::uint32_t> observerToHead(std::uint32_t libraryValue);
std::optional<std::uint32_t> observerFromHead(std::uint32_t headCode);
// Argument S of the colorimetric request for a four-character colour-space code.
std::optional<std::uint32_t> colorSpaceToHead(std::uint32_t colorSpace);
// The head state (fifth condition value) is kept when it is 0, 1, 2, 3, 5 or 6.
std::optional<std::uint32_t> headState(std::uint32_t value);

}  // namespace meterio::serial::spot

#endif  // METERIO_SERIAL_SPOT_PROTOCOL_H
