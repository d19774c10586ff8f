// Measuring table on a serial line: table commands ("; 208 ...", replies ": 209 ..."), the head
// commands it needs, and the stage-family driver.
#include "meterio/drivers/measuring_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "meterio/serial/line_session.h"
#include "meterio/serial/spot_protocol.h"

namespace meterio {
namespace {

namespace spot = serial::spot;
namespace line = serial::line;

using line::kCapacity;
using line::kShortCapacity;
using line::stops;

constexpr std::string_view kTableReply = ": 209 128 ";
constexpr std::string_view kKeyPrefix = ": 209 130 ";
constexpr std::string_view kHeadStatus = ": 31 ";
constexpr std::string_view kStartStatus = ": 37 ";
constexpr std::string_view kMeasureLine = ": 190";
constexpr std::uint32_t kTableNumber = 209;
constexpr std::uint32_t kMeasureNumber = 190;

constexpr std::uint32_t kDefaultMs = 3000;
constexpr std::uint32_t kPairMs = 5000;
constexpr std::uint32_t kTravelMs = 8000;
constexpr std::uint32_t kInitialiseMs = 7000;
constexpr std::uint32_t kCalibrateMs = 7000;
constexpr std::uint32_t kMeasureLineMs = 3000;
constexpr std::uint32_t kLampDelayMs = 500;
// Key waits call the caller's callback at least this often while a line wait runs.
constexpr std::uint32_t kKeyCallbackMs = 50;

constexpr std::uint32_t kFieldEnd = 255;
constexpr std::uint32_t kColourTag = 2;
constexpr std::uint32_t kSpectrumTag = 1;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The unsigned decimal number at the start of `text`.
std::optional<std::uint32_t> leadingNumber(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data()) return std::nullopt;
    return value;
}

// One command answered by ": 209 128 <status>".
Result tableCommand(TableRecord& record, std::string_view command,
                    std::uint32_t timeoutMs = kDefaultMs) {
    if (const Result r = line::exchange(record, command, kCapacity, {}, timeoutMs); r != Result::Ok)
        return r;
    return CheckTableStatus(line::replyText(record, kCapacity), kTableReply, StatusList::Table);
}

// Two commands in one write, each answered by ": 209 128 <status>"; the answers are split at
// the first line end.
Result pairedCommand(TableRecord& record, std::string_view commands, std::uint32_t timeoutMs) {
    if (const Result r = line::exchange(record, commands, kCapacity, {}, timeoutMs, 2);
        r != Result::Ok)
        return r;
    const std::string_view text = line::replyText(record, kCapacity);
    const std::size_t end = text.find(spot::kLineEnd);
    if (end == std::string_view::npos) return Result::CommunicationError;
    const std::string_view second = text.substr(end + spot::kLineEnd.size());
    if (const Result r = CheckTableStatus(text.substr(0, end + spot::kLineEnd.size()), kTableReply,
                                          StatusList::Table);
        r != Result::Ok)
        return r;
    return CheckTableStatus(second, kTableReply, StatusList::Table);
}

// A head command answered by ": 31 <status>".
Result headCommand(TableRecord& record, std::string_view command,
                   std::uint32_t timeoutMs = kDefaultMs) {
    if (const Result r = line::exchange(record, command, kCapacity, {}, timeoutMs); r != Result::Ok)
        return r;
    return CheckTableStatus(line::replyText(record, kCapacity), kHeadStatus, StatusList::Head);
}

std::string format(const char* pattern, auto... args) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, pattern, args...);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string moveCommand(std::uint8_t moveMode, std::int32_t x, std::int32_t y) {
    return format("; 208 0 %d %d %d\r\n; 208 4\r\n", moveMode == 1 ? 1 : 0, x, y);
}

// Sets the head's automatic output to `setUp`, unless it is already.
Result setUpOutput(TableRecord& record, std::uint8_t setUp) {
    if (record.setUp == setUp) return Result::Ok;
    std::optional<std::uint32_t> code;
    if (setUp == kSetUpColour || setUp == kSetUpBoth) {
        code = TableColourCode(record.colorSpace);
        if (!code) return Result::BadColorSpace;
    }
    record.setUp = kSetUpUnknown;
    for (const std::string_view clear : {"; 177 1 0\r\n", "; 177 2 0\r\n", "; 177 4 0\r\n"})
        if (const Result r = headCommand(record, clear); r != Result::Ok) return r;
    if (code)
        if (const Result r = headCommand(record, format("; 177 2 %u\r\n", *code)); r != Result::Ok)
            return r;
    if (setUp == kSetUpDensities || setUp == kSetUpBoth)
        if (const Result r = headCommand(record, "; 177 4 15\r\n"); r != Result::Ok) return r;
    if (setUp == kSetUpSpectrum)
        if (const Result r = headCommand(record, "; 177 1 1\r\n"); r != Result::Ok) return r;
    record.setUp = setUp;
    return Result::Ok;
}

// "; 32", its ": 37 " status, then the ": 190" line on a wait of its own.
Result startMeasurement(TableRecord& record) {
    if (const Result r = line::exchange(record, spot::kMeasure, kCapacity, {}); r != Result::Ok)
        return r;
    if (const Result r = CheckTableStatus(line::replyText(record, kCapacity), kStartStatus,
                                          StatusList::Measurement);
        r != Result::Ok)
        return r;
    if (const Result r = line::exchange(record, {}, kCapacity, {}, kMeasureLineMs); r != Result::Ok)
        return r;
    return startsWith(line::replyText(record, kCapacity), kMeasureLine)
               ? Result::Ok
               : Result::CommunicationError;
}

// Judges the two closing fields of a ": 190" line.
Result judgeEnd(const spot::ReplyFields& fields, std::size_t count) {
    if (fields.count != count || fields.u(count - 1) != kFieldEnd)
        return Result::CommunicationError;
    return TableStatus(StatusList::Measurement, fields.u(count));
}

// The table commands of a key wait's end: "; 208 23", once more after silence.
Result endKeyReports(TableRecord& record) {
    if (!serial::SerialDrain(*record.port)) return Result::CommunicationError;
    Result r = line::exchange(record, "; 208 23\r\n", kCapacity, {});
    if (r == Result::NoInstrument) r = line::exchange(record, "; 208 23\r\n", kCapacity, {});
    if (r != Result::Ok) return r;
    return CheckTableStatus(line::replyText(record, kCapacity), kTableReply, StatusList::Table);
}

// Waits up to 3 s for one line from the table, calling `poll` with `callbackValue` at least
// every 100 ms; Cancelled when it answered -1.
Result awaitLine(TableRecord& record, std::int32_t callbackValue, const serial::Callback& poll) {
    std::uint32_t last = record.clock->tickMs();
    const serial::Callback idle = [&](std::int32_t) -> std::int32_t {
        const std::uint32_t now = record.clock->tickMs();
        if (now - last < kKeyCallbackMs || !poll) return 0;
        last = now;
        return poll(callbackValue);
    };
    return line::exchange(record, {}, kShortCapacity, idle, kDefaultMs, 1,
                          serial::IdleStop::MinusOneStops);
}

// Starts the table's key reports.
Result startKeyReports(TableRecord& record) {
    if (!record.port || !serial::SerialDrain(*record.port)) return Result::CommunicationError;
    return pairedCommand(record, "; 208 17\r\n; 208 22\r\n", kDefaultMs);
}

}  // namespace

bool TablePositionAllowed(std::uint8_t moveMode, std::int64_t x, std::int64_t y) {
    if (x < 0 || x > kTableMaxX || y < 0 || y > kTableMaxY) return false;
    return moveMode != 1 || y >= kNearEdge;
}

Result TableStatus(StatusList list, std::uint32_t status) {
    if (status == 0) return Result::Ok;
    switch (list) {
        case StatusList::Measurement:
            switch (status) {
                case 19:
                case 52:
                    return Result::Ok;
                case 6:
                case 53:
                    return Result::NotCompleted;
                case 7:
                case 21:
                    return Result::CommunicationError;
                case 14:
                case 50:
                    return Result::MeasurementError;
                case 55:
                    return Result::OutOfRange;
                default:
                    return Result::GeneralFailure;
            }
        case StatusList::Table:
            switch (status) {
                case 1:
                case 6:
                    return Result::NoInstrument;
                case 2:
                case 5:
                    return Result::OutOfRange;
                case 8:
                case 9:
                case 10:
                    return Result::NotCompleted;
                default:
                    return Result::GeneralFailure;
            }
        case StatusList::Head:
            return Result::OutOfRange;
    }
    return Result::GeneralFailure;
}

Result CheckTableStatus(std::string_view reply, std::string_view prefix, StatusList list) {
    if (!startsWith(reply, prefix)) return Result::CommunicationError;
    const auto status = leadingNumber(reply.substr(prefix.size()));
    if (!status) return Result::CommunicationError;
    return TableStatus(list, *status);
}

std::optional<std::uint8_t> TableKeyNumber(std::uint32_t bit) {
    for (std::uint8_t key = 1; key <= 8; ++key)
        if (bit == 1u << (key - 1)) return key;
    return std::nullopt;
}

std::optional<std::uint32_t> TableKeyBit(std::string_view text) {
    if (!startsWith(text, kKeyPrefix)) return std::nullopt;
    return leadingNumber(text.substr(kKeyPrefix.size()));
}

bool TableTextHasKey(std::string_view text, std::uint32_t bit) {
    if (bit == 0) return false;
    for (std::size_t at = text.find(kKeyPrefix); at != std::string_view::npos;
         at = text.find(kKeyPrefix, at + 1))
        if (TableKeyBit(text.substr(at)) == bit) return true;
    return false;
}

std::optional<std::uint32_t> TableColourCode(std::uint32_t colorSpace) {
    switch (colorSpace) {
        case METERIO_CS_YXY:
            return 1;
        case METERIO_CS_LAB:
            return 2;
        case METERIO_CS_LCH:
            return 4;
        case METERIO_CS_LUV:
            return 8;
        case METERIO_CS_XYZ:
            return 16;
        default:
            return std::nullopt;
    }
}

Result ParseTableMeasurement(std::string_view text, std::uint32_t kind, std::uint32_t colorSpace,
                             double* values) {
    static constexpr std::string_view kFormats[] = {"uufffuu", "uufuufuufuufuu",
                                                    "uufffuufuufuufuufuu"};
    if (kind > 2) return Result::GeneralFailure;
    const auto code = TableColourCode(colorSpace);
    if (!code) return Result::BadColorSpace;
    const std::string_view fmt = kFormats[kind];
    const spot::ReplyFields fields = spot::scanReply(text, kMeasureNumber, fmt);
    if (const Result r = judgeEnd(fields, fmt.size()); r != Result::Ok) return r;
    if (kind != 1) {
        if (fields.u(1) != kColourTag || fields.u(2) != *code) return Result::CommunicationError;
        const double a = fields.f(3), b = fields.f(4), c = fields.f(5);
        if (colorSpace == METERIO_CS_XYZ) {
            values[0] = a * 0.01;
            values[1] = b * 0.01;
            values[2] = c * 0.01;
        } else if (colorSpace == METERIO_CS_YXY) {
            values[0] = c;
            values[1] = a;
            values[2] = b;
        } else {
            values[0] = a;
            values[1] = b;
            values[2] = c;
        }
    }
    if (kind != 0) {
        // Density groups of type, channel and value; the first starts at `g`.
        const std::size_t g = kind == 1 ? 1 : 6;
        if (fields.u(g + 1) != 1 || fields.u(g + 4) != 2 || fields.u(g + 10) != 8)
            return Result::CommunicationError;
        double* out = kind == 1 ? values : values + 4;
        out[0] = fields.f(g + 5);
        out[1] = fields.f(g + 8);
        out[2] = fields.f(g + 11);
        out[3] = fields.f(g + 2);
    }
    return Result::Ok;
}

Result ParseTableSpectrum(std::string_view text, SpectrumRecord& spectrum) {
    static constexpr std::string_view kFormat =
        "uuffffffffffffffffffffffffffffffffffffuu";  // 2 + 36 + 2
    const spot::ReplyFields fields = spot::scanReply(text, kMeasureNumber, kFormat);
    if (const Result r = judgeEnd(fields, kFormat.size()); r != Result::Ok) return r;
    if (fields.u(1) != kSpectrumTag || fields.u(2) != kSpectrumTag)
        return Result::CommunicationError;
    spectrum.start = 380;
    spectrum.interval = 10;
    spectrum.count = 36;
    for (std::size_t i = 0; i < 36; ++i)
        spectrum.values[i] = fields.f(3 + i);
    return Result::Ok;
}

Result TableProbe(TableRecord& record, std::string_view portName, std::uint32_t baudRate,
                  const serial::Callback& poll, serial::Port& port) {
    record.reply.fill(0);
    if (const Result r =
            serial::SerialOpenForProbe(portName, serial::LineProfile::Stage, baudRate, poll, port);
        r != Result::Ok)
        return r;
    const auto fail = [&](Result r) {
        serial::SerialClose(port);
        return r;
    };
    if (serial::SerialExchange(*port, "; 208 36\r\n", {}, 0, kCapacity, record.reply.data(),
                               kDefaultMs, 0, {}, *record.clock) != Result::Ok)
        return fail(Result::CommunicationError);
    (void)serial::SerialExchange(*port, {}, spot::kLineEnd, 1, kCapacity, record.reply.data(),
                                 kDefaultMs, 0, {}, *record.clock);
    const std::string_view text = line::replyText(record, kCapacity);
    if (text.find(spot::kLineEnd) == std::string_view::npos) return fail(Result::NoInstrument);
    if (!startsWith(text, ": 209")) return fail(Result::CommunicationError);
    return Result::Ok;
}

Result TableOpen(TableRecord& record, std::string_view portName, std::uint32_t baudRate,
                 const serial::Callback& poll) {
    const serial::Probe probe = [&record](std::string_view name, std::uint32_t rate,
                                          const serial::Callback& p, serial::Port& port) {
        return TableProbe(record, name, rate, p, port);
    };
    if (const Result r = serial::SerialFindInstrument(record, portName, baudRate, poll, probe);
        r != Result::Ok)
        return r;
    record.found = 1;
    record.conditionFlag = 1;
    record.positions = {};
    record.setUp = kSetUpColour;
    const auto run = [&]() -> Result {
        for (const std::string_view command : {"; 208 16\r\n", "; 208 11\r\n"})
            if (const Result r = tableCommand(record, command); r != Result::Ok) return r;
        record.clock->sleepMs(kLampDelayMs);
        if (const Result r = tableCommand(record, "; 208 10\r\n"); r != Result::Ok) return r;
        if (const Result r = headCommand(record, spot::kInitialise, kInitialiseMs); r != Result::Ok)
            return r;
        if (stops(poll, -1)) return Result::Cancelled;
        if (const Result r = headCommand(record, spot::kReflectanceMode); r != Result::Ok) return r;
        if (stops(poll, -1)) return Result::Cancelled;
        if (const Result r =
                headCommand(record, spot::conditionCommand(2, record.conditionFlag, 3, 0));
            r != Result::Ok)
            return r;
        return headCommand(record, "; 177 2 2\r\n");
    };
    const Result r = run();
    if (r != Result::Ok) serial::SerialClose(record.port);
    return r;
}

Result TableClose(TableRecord& record) {
    Result r = pairedCommand(record, "; 208 16\r\n; 208 2\r\n", kPairMs);
    for (const std::string_view command : {"; 208 11\r\n", "; 208 17\r\n"}) {
        const Result step = tableCommand(record, command);
        if (r == Result::Ok) r = step;
    }
    if (!serial::SerialClose(record.port) && r == Result::Ok) r = Result::GeneralFailure;
    return r;
}

Result TableHoldPaper(TableRecord& record, std::int32_t flag) {
    if (flag != -1 && flag != 0) return Result::OutOfRange;
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = tableCommand(record, "; 208 16\r\n"); r != Result::Ok) return r;
    return tableCommand(record, flag == -1 ? "; 208 18 \r\n" : "; 208 19 \r\n");
}

Result TableGetLocation(TableRecord& record, std::uint8_t moveMode, std::int32_t& x,
                        std::int32_t& y) {
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = line::exchange(record, moveMode == 1 ? "; 208 5 1\r\n" : "; 208 5 0\r\n",
                                        kCapacity, {});
        r != Result::Ok)
        return r;
    const std::string_view text = line::replyText(record, kCapacity);
    if (!startsWith(text, ": 209 129 ")) return Result::CommunicationError;
    const spot::ReplyFields fields = spot::scanReply(text, kTableNumber, "uufffff");
    if (fields.count != 6) return Result::CommunicationError;
    for (std::size_t i = 3; i <= 6; ++i) {
        const double v = fields.f(i);
        if (v != std::trunc(v) || v < INT32_MIN || v > INT32_MAX) return Result::CommunicationError;
    }
    if ((moveMode <= 1 && fields.u(2) != moveMode) || fields.f(3) != 0)
        return Result::CommunicationError;
    x = static_cast<std::int32_t>(fields.f(4));
    y = static_cast<std::int32_t>(fields.f(5));
    return Result::Ok;
}

Result TableMoveTo(TableRecord& record, std::uint8_t moveMode, std::int32_t x, std::int32_t y) {
    if (!TablePositionAllowed(moveMode, x, y)) return Result::OutOfRange;
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = tableCommand(record, "; 208 3\r\n", kTravelMs); r != Result::Ok) return r;
    return pairedCommand(record, moveCommand(moveMode, x, y), kPairMs);
}

Result TableMove(TableRecord& record, std::uint8_t moveMode, std::uint8_t position,
                 std::uint8_t stage) {
    if (position == 2 || position > 6 || stage > 7) return Result::OutOfRange;
    const bool stored = position >= 3;
    std::string place = position == 0 ? "; 208 2\r\n" : "; 208 6 0\r\n";
    TablePosition at;
    if (stored) {
        at = record.positions[position - 3u];
        if (!TablePositionAllowed(moveMode, at.x, at.y)) return Result::OutOfRange;
        place = format("; 208 0 %d %d %d\r\n", moveMode, at.x, at.y);
    }
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (stage == 0) {
        if (const Result r = line::exchange(record, "; 208 17\r\n", kCapacity, {}); r != Result::Ok)
            return r;
        return line::replyText(record, kCapacity) == ": 209 128 0\r\n" ? Result::Ok
                                                                       : Result::CommunicationError;
    }
    if (const Result r = tableCommand(record, "; 208 16\r\n"); r != Result::Ok) return r;
    if (stage == 1) return Result::Ok;
    if (stage == 2 || stage == 5 || stage == 7)
        if (const Result r = tableCommand(record, "; 208 3\r\n", kTravelMs); r != Result::Ok)
            return r;
    if (stage == 4 || stage == 5 || (stage >= 6 && !stored))
        if (const Result r = tableCommand(record, place, kPairMs); r != Result::Ok) return r;
    if (stage >= 6 && stored)
        return pairedCommand(record, moveCommand(moveMode, at.x, at.y), kPairMs);
    if (stage == 3 || stage >= 6) return tableCommand(record, "; 208 4\r\n", kTravelMs);
    return Result::Ok;
}

Result TableWaitKey(TableRecord& record, std::int32_t callbackValue, const serial::Callback& poll,
                    std::uint8_t* key) {
    if (key) *key = 0;
    if (const Result r = startKeyReports(record); r != Result::Ok) return r;
    std::uint32_t bit = 0;  // 0 until a key was reported
    for (;;) {
        const Result r = awaitLine(record, callbackValue, poll);
        if (r == Result::Cancelled) break;
        if (r != Result::Ok) return r;
        bit = TableKeyBit(line::replyText(record, kShortCapacity)).value_or(0);
        if (bit != 0 || stops(poll, callbackValue)) break;
    }
    if (const Result r = endKeyReports(record); r != Result::Ok) return r;
    if (bit == 0) return Result::Cancelled;
    const auto number = TableKeyNumber(bit);
    if (!number) return Result::GeneralFailure;
    if (key) *key = *number;
    return Result::Ok;
}

Result TableWaitKeyState(TableRecord& record, std::uint8_t key, std::int32_t callbackValue,
                         const serial::Callback& poll) {
    if (key > 8) return Result::GeneralFailure;
    const std::uint32_t bit = key == 0 ? 0 : 1u << (key - 1);
    if (const Result r = startKeyReports(record); r != Result::Ok) return r;
    bool stopped = false;
    for (;;) {
        const Result r = awaitLine(record, callbackValue, poll);
        if (r == Result::Cancelled) {
            stopped = true;
            break;
        }
        if (r != Result::Ok) return r;
        if (TableTextHasKey(line::replyText(record, kShortCapacity), bit)) break;
        if (stops(poll, callbackValue)) {
            stopped = true;
            break;
        }
    }
    if (const Result r = endKeyReports(record); r != Result::Ok) return r;
    return stopped ? Result::Cancelled : Result::Ok;
}

Result TableCalibrateWhite(TableRecord& record, const serial::Callback& poll) {
    if (stops(poll, 0)) return Result::Cancelled;
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = tableCommand(record, "; 208 4\r\n"); r != Result::Ok) return r;
    if (poll) (void)poll(4000);
    if (const Result r = line::exchange(record, spot::kCalibrateWhite, kCapacity, {}, kCalibrateMs);
        r != Result::Ok)
        return r;
    if (const Result r = CheckTableStatus(line::replyText(record, kCapacity), kStartStatus,
                                          StatusList::Measurement);
        r != Result::Ok)
        return r;
    if (const Result r = tableCommand(record, "; 208 3\r\n"); r != Result::Ok) return r;
    if (poll) (void)poll(7000);
    if (const Result r = tableCommand(record, "; 208 3\r\n"); r != Result::Ok) return r;
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result TableMeasure(TableRecord& record, std::uint32_t kind, const serial::Callback& poll,
                    double* values) {
    if (kind > 2) return Result::GeneralFailure;
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = tableCommand(record, "; 208 4\r\n"); r != Result::Ok) return r;
    if (stops(poll, 1000)) return Result::Cancelled;
    if (const Result r = setUpOutput(record, static_cast<std::uint8_t>(kind)); r != Result::Ok)
        return r;
    if (const Result r = startMeasurement(record); r != Result::Ok) return r;
    if (const Result r = ParseTableMeasurement(line::replyText(record, kCapacity), kind,
                                               record.colorSpace, values);
        r != Result::Ok)
        return r;
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result TableMeasureSpectrum(TableRecord& record, const serial::Callback& poll,
                            SpectrumRecord& spectrum) {
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = tableCommand(record, "; 208 4\r\n"); r != Result::Ok) return r;
    if (stops(poll, 1000)) return Result::Cancelled;
    if (const Result r = setUpOutput(record, kSetUpSpectrum); r != Result::Ok) return r;
    if (const Result r = startMeasurement(record); r != Result::Ok) return r;
    if (const Result r = ParseTableSpectrum(line::replyText(record, kCapacity), spectrum);
        r != Result::Ok)
        return r;
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result TableSetConditions(TableRecord& record, const SpotConditions& conditions) {
    if (const Result r = line::drain(record, Result::CommunicationError); r != Result::Ok) return r;
    const auto density = spot::densityToHead(conditions.densityStandard);
    if (!density) return Result::BadDensityStandard;
    const auto illuminant = spot::illuminantToHead(conditions.illumination);
    if (!illuminant) return Result::BadIllumination;
    const auto observer = spot::observerToHead(conditions.observer);
    if (!observer) return Result::BadObserver;
    if (!TableColourCode(conditions.colorSpace)) return Result::BadColorSpace;
    const std::uint32_t previous = record.colorSpace;
    record.colorSpace = conditions.colorSpace;
    // The head is left on colour output in the new colour space.
    record.setUp = kSetUpUnknown;
    const Result r = setUpOutput(record, kSetUpColour);
    if (r != Result::Ok) {
        record.colorSpace = previous;
        return r;
    }
    return headCommand(
        record, spot::conditionCommand(*density, record.conditionFlag, *illuminant, *observer));
}

Result TableGetInfo(TableRecord& record, StageInfoRecord& info) {
    std::memset(&info, 0, sizeof info);
    SpotInfoRecord head;
    if (const Result r = SpotHeadGetInfo(record, head); r != Result::Ok) return r;
    spot::ReplyFields fields;
    if (const Result r = line::request(record, spot::kReadConditions, 11, spot::kConditionFormat,
                                       fields, kShortCapacity);
        r != Result::Ok)
        return r;
    const auto state = spot::headState(fields.u(5));
    if (!state) return Result::GeneralFailure;
    record.headState = *state;
    head.headState = *state;
    std::memcpy(info.head, &head, sizeof info.head);

    // One table request: its reply number, then `count` numbers.
    const auto ask = [&](std::string_view command, std::uint32_t reply,
                         std::size_t count) -> Result {
        if (const Result r =
                line::request(record, command, kTableNumber, std::string(count + 1, 'u'), fields);
            r != Result::Ok)
            return r;
        return fields.u(1) == reply ? Result::Ok : Result::CommunicationError;
    };
    if (const Result r = ask("; 208 48\r\n", 144, 18); r != Result::Ok) return r;
    line::copyCodes(fields, 2, 18, info.model);
    if (const Result r = ask("; 208 49\r\n", 145, 2); r != Result::Ok) return r;
    info.number = fields.u(3) * 65536u + fields.u(2);
    if (const Result r = ask("; 208 50\r\n", 146, 8); r != Result::Ok) return r;
    line::copyCodes(fields, 2, 8, info.secondText);
    if (const Result r = ask("; 208 51\r\n", 147, 3); r != Result::Ok) return r;
    const std::uint32_t day = fields.u(2), month = fields.u(3), year = fields.u(4);
    if (day < 1 || day > 31 || month < 1 || month > 12 || year > 65535)
        return Result::CommunicationError;
    info.year = static_cast<std::uint16_t>(year);
    info.month = static_cast<std::uint16_t>(month);
    info.day = static_cast<std::uint16_t>(day);
    if (const Result r = ask("; 208 52\r\n", 148, 12); r != Result::Ok) return r;
    const auto version = line::versionTimes100(fields, 2, 12);
    if (!version) return Result::CommunicationError;
    info.version = *version;
    return Result::Ok;
}

namespace {

class MeasuringTableDriver final : public Driver {
public:
    Result open(const OpenArgs& args, Progress& progress) override {
        if (args.portName.size() >= serial::kPortNameSize) return Result::GeneralFailure;
        return TableOpen(m_record, args.portName, args.baudRate, serial::callbackOf(progress));
    }
    Result close() override { return TableClose(m_record); }

    Result calibrateWhite(const CalibrateRequest&, Progress& progress) override {
        return TableCalibrateWhite(m_record, serial::callbackOf(progress));
    }
    Result setParams(const MeasureParams& params) override {
        return TableSetConditions(m_record, params);
    }
    Result getParams(MeasureParams& params) override {
        return TableGetConditions(m_record, params);
    }
    Result getInfo(DeviceInfo& info) override {
        StageInfoRecord record;
        const Result r = TableGetInfo(m_record, record);
        std::memcpy(info.bytes, &record, sizeof record);
        return r;
    }
    Result readValues(const ReadRequest& request, Progress& progress, void* records) override {
        return TableMeasure(m_record, request.kind, serial::callbackOf(progress),
                            static_cast<double*>(records));
    }
    Result readSpectra(const ReadRequest&, Progress& progress, SpectrumRecord* spectrum) override {
        return TableMeasureSpectrum(m_record, serial::callbackOf(progress), *spectrum);
    }
    Result waitForKey(const WaitRequest& request, Progress& progress,
                      std::uint8_t* pressed) override {
        return TableWaitKey(m_record, request.callbackValue, serial::callbackOf(progress), pressed);
    }
    Result waitForKeyState(const WaitRequest& request, Progress& progress) override {
        return TableWaitKeyState(m_record, request.mode, request.callbackValue,
                                 serial::callbackOf(progress));
    }

    Result storePosition(std::uint8_t id, std::int32_t x, std::int32_t y) override {
        if (id < 3 || id > 6) return Result::OutOfRange;
        m_record.positions[id - 3u] = {y, x};
        return Result::Ok;
    }
    Result storedPosition(std::uint8_t id, std::int32_t& x, std::int32_t& y) override {
        if (id < 3 || id > 6) return Result::OutOfRange;
        x = m_record.positions[id - 3u].x;
        y = m_record.positions[id - 3u].y;
        return Result::Ok;
    }
    Result moveToPosition(std::uint8_t moveMode, std::uint8_t id, std::uint8_t stage) override {
        return TableMove(m_record, moveMode, id, stage);
    }
    Result moveTo(std::uint8_t moveMode, std::int32_t x, std::int32_t y) override {
        return TableMoveTo(m_record, moveMode, x, y);
    }
    Result location(std::uint8_t moveMode, std::int32_t& x, std::int32_t& y) override {
        return TableGetLocation(m_record, moveMode, x, y);
    }
    Result holdPaper(std::int32_t flag) override { return TableHoldPaper(m_record, flag); }

private:
    TableRecord m_record;
};

}  // namespace

std::unique_ptr<Driver> makeMeasuringTableDriver() {
    return std::make_unique<MeasuringTableDriver>();
}

}  // namespace meterio
