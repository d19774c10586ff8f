// Spot-head protocol: request text, reply number check, field scanning, condition codes.
#include "meterio/serial/spot_protocol.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "meterio32.h"

namespace meterio::serial::spot {
namespace {

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at]))
        ++at;
    return at;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "%u": optional sign and digits; out-of-range values wrap as the C library's conversion does.
std::optional<std::uint32_t> scanUnsigned(std::string_view text, std::size_t& at) {
    std::size_t i = skipBlanks(text, at);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !isDigit(text[i])) return std::nullopt;
    std::uint64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) saturated = true;
        if (!saturated) value = value * 10 + digit;
    }
    if (saturated) value = std::numeric_limits<std::uint64_t>::max();
    if (negative) value = ~value + 1;
    at = i;
    return static_cast<std::uint32_t>(value);
}

std::optional<double> scanRealAt(std::string_view text, std::size_t& at) {
    std::size_t i = skipBlanks(text, at);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
        // from_chars takes no sign of its own after ours.
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) return std::nullopt;
    }
    double value = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::invalid_argument || end == first) return std::nullopt;
    // Out of range: the conversion gives infinity or zero, as "%lf" does.
    if (ec == std::errc::result_out_of_range) {
        std::size_t e = i;
        while (e < text.size() && text[e] != 'e' && text[e] != 'E')
            ++e;
        const bool tiny = e + 1 < text.size() && text[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    at = static_cast<std::size_t>(end - text.data());
    return negative ? -value : value;
}

}  // namespace

std::string conditionCommand(std::uint32_t density, std::uint32_t flag, std::uint32_t illuminant,
                             std::uint32_t observer) {
    char text[64];
    std::snprintf(text, sizeof text, "; 22 %u %u %2u %u\r\n", density, flag, illuminant, observer);
    return text;
}

std::string colorimetricCommand(std::uint32_t colorSpaceCode) {
    char text[32];
    std::snprintf(text, sizeof text, "; 186 9 %u\r\n", colorSpaceCode);
    return text;
}

bool CheckReplyNumber(std::uint32_t expected, std::size_t length, const char* reply) {
    if (reply == nullptr || length < 3 || reply[0] != ':') return true;
    const std::string_view text(reply, length);
    const std::size_t crlf = text.find(kLineEnd);
    if (crlf == std::string_view::npos) return true;
    if (text[1] != ' ') return true;
    std::size_t at = 2;
    const auto number = scanUnsigned(text.substr(0, crlf), at);
    if (!number) return true;
    return *number == expected;
}

ReplyFields scanReply(std::string_view reply, std::uint32_t number, std::string_view format) {
    ReplyFields fields;
    char prefix[24];
    const int n = std::snprintf(prefix, sizeof prefix, ": %u ", number);
    const std::string_view head(prefix, static_cast<std::size_t>(n));
    if (reply.substr(0, head.size()) != head) return fields;
    std::size_t at = head.size();
    for (std::size_t k = 0; k < format.size() && k < kMaxFields; ++k) {
        if (format[k] == 'u') {
            const auto v = scanUnsigned(reply, at);
            if (!v) break;
            fields.values[k] = *v;
        } else if (format[k] == 'f') {
            const auto v = scanRealAt(reply, at);
            if (!v) break;
            fields.values[k] = *v;
        } else {
            at = skipBlanks(reply, at);
            if (at >= reply.size()) break;
            fields.values[k] = static_cast<unsigned char>(reply[at++]);
        }
        fields.count = k + 1;
    }
    return fields;
}

std::optional<double> scanReal(std::string_view text) {
    std::size_t at = 0;
    return scanRealAt(text, at);
}

std::optional<std::uint32_t> densityToHead(std::uint32_t v) {
    switch (v) {
        case 0:
            return 8;
        case 1:
            return 0;
        case 4:
            return 1;
        case 5:
            return 2;
        case 6:
            return 3;
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> densityFromHead(std::uint32_t c) {
    switch (c) {
        case 0:
            return 1;
        case 1:
            return 4;
        case 2:
            return 5;
        case 3:
            return 6;
        case 8:
            return 0;
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> illuminantToHead(std::uint32_t v) {
    switch (v) {
        case 0:
            return 8;
        case 1:
            return 0;
        case 3:
            return 1;
        case 4:
            return 3;
        case 6:
            return 2;
        default:
            break;
    }
    if (v >= 17 && v <= 28) return v + 7;
    return std::nullopt;
}

std::optional<std::uint32_t> illuminantFromHead(std::uint32_t c) {
    switch (c) {
        case 0:
            return 1;
        case 1:
            return 3;
        case 2:
            return 6;
        case 3:
            return 4;
        case 8:
            return 0;
        default:
            break;
    }
    if (c >= 24 && c <= 35) return c - 7;
    return std::nullopt;
}

std::optional<std::uint32_t> observerToHead(std::uint32_t v) {
    if (v == 2) return 0;
    if (v == 10) return 1;
    return std::nullopt;
}

std::optional<std::uint32_t> observerFromHead(std::uint32_t c) {
    if (c == 0) return 2;
    if (c == 1) return 10;
    return std::nullopt;
}

std::optional<std::uint32_t> colorSpaceToHead(std::uint32_t cs) {
    switch (cs) {
        case METERIO_CS_YXY:
            return 0;
        case METERIO_CS_LAB:
            return 1;
        case METERIO_CS_LCH:
            return 2;
        case METERIO_CS_LUV:
            return 3;
        case METERIO_CS_XYZ:
            return 4;
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> headState(std::uint32_t value) {
    switch (value) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 5:
        case 6:
            return value;
        default:
            return std::nullopt;
    }
}

}  // namespace meterio::serial::spot
