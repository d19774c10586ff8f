// Request / reply helpers shared by the line-protocol drivers.
#include "meterio/serial/line_session.h"

#include <cstring>

namespace meterio::serial::line {
namespace {

constexpr std::size_t kMaxVersionCodes = 12;

}  // namespace

bool stops(const Callback& poll, std::int32_t value) {
    return poll && poll(value) == kStop;
}

std::string_view replyText(const LineRecord& record, std::size_t capacity) {
    const auto* text = reinterpret_cast<const char*>(record.reply.data());
    return {text, ::strnlen(text, capacity)};
}

Result exchange(LineRecord& record, std::string_view command, std::size_t capacity,
                const Callback& idle, std::uint32_t timeoutMs, std::uint32_t lines, IdleStop stop) {
    record.reply.fill(0);
    if (!record.port) return Result::CommunicationError;
    return SerialExchange(*record.port, command, spot::kLineEnd, lines, capacity,
                          record.reply.data(), timeoutMs, 0, idle, *record.clock, stop);
}

Result parse(const LineRecord& record, std::size_t capacity, std::uint32_t number,
             std::string_view format, spot::ReplyFields& fields) {
    const std::string_view text = replyText(record, capacity);
    if (!spot::CheckReplyNumber(number, text.size(), text.data()))
        return Result::CommunicationError;
    fields = spot::scanReply(text, number, format);
    return fields.count == format.size() ? Result::Ok : Result::CommunicationError;
}

Result request(LineRecord& record, std::string_view command, std::uint32_t number,
               std::string_view format, spot::ReplyFields& fields, std::size_t capacity,
               const Callback& idle) {
    if (const Result r = exchange(record, command, capacity, idle); r != Result::Ok) return r;
    return parse(record, capacity, number, format, fields);
}

Result requestTolerant(LineRecord& record, std::string_view command, std::uint32_t number,
                       std::string_view format, spot::ReplyFields& fields, std::size_t capacity,
                       const Callback& idle) {
    if (const Result r = exchange(record, command, capacity, idle); r == Result::NoInstrument)
        return r;
    return parse(record, capacity, number, format, fields);
}

Result drain(LineRecord& record, Result failure) {
    if (!record.port || !SerialDrain(*record.port)) return failure;
    return Result::Ok;
}

void copyCodes(const spot::ReplyFields& fields, std::size_t first, std::size_t count, char* out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<char>(fields.u(first + i) & 0xFFu);
}

std::optional<std::uint32_t> versionTimes100(const spot::ReplyFields& fields, std::size_t first,
                                             std::size_t count) {
    char version[kMaxVersionCodes + 1] = {};
    for (std::size_t i = 0; i < count && i < kMaxVersionCodes; ++i) {
        const auto code = static_cast<char>(fields.u(first + i) & 0xFFu);
        if (code == 0) break;
        version[i] = code;
    }
    const auto value = spot::scanReal(version);
    if (!value) return std::nullopt;
    const double scaled = *value * 100.0;
    // Out-of-range versions cannot be stored; they are as garbled as unparsable ones.
    if (!(scaled > -1.0 && scaled < 4294967296.0)) return std::nullopt;
    return static_cast<std::uint32_t>(scaled < 0 ? 0 : scaled);
}

}  // namespace meterio::serial::line
