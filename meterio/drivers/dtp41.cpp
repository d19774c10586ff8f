// DTP41 strip instrument on a serial line: commands, answer parsers, operations and the
// strip-family driver.
#include "meterio/drivers/dtp41.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <tuple>

namespace meterio {
namespace dtp41 {

const std::array<std::string_view, 19> kInitialisation = {
    "0000cf", "0301cf", "0004cf", "0005cf", "0007cf", "0108cf", "0009cf",
    "040Acf", "000Ccf", "000Dcf", "000Fcf", "0010cf", "0011cf", "0113cf",
    "0114cf", "0115cf", "241Ecf", "021Fcf", "01pb"};

namespace {

struct IlluminantEntry {
    std::uint32_t illuminant;
    std::uint8_t register2;  // observer 2; observer 10 is the next value
};
constexpr IlluminantEntry kIlluminants[] = {{1, 0x00},  {3, 0x02},  {4, 0x04},  {6, 0x06},
                                            {18, 0x08}, {23, 0x0A}, {27, 0x0C}, {28, 0x0E}};
constexpr std::pair<std::uint32_t, std::uint8_t> kDensities[] = {
    {1, 0x00}, {2, 0x01}, {3, 0x02}, {4, 0x03}, {7, 0x04}};
constexpr std::pair<std::uint32_t, std::uint8_t> kColorSpaces[] = {
    {METERIO_CS_LAB, 0x04}, {METERIO_CS_XYZ, 0x05}, {METERIO_CS_YXY, 0x06}, {METERIO_CS_LCH, 0x08}};

template <typename Table>
std::optional<std::uint8_t> toRegister(const Table& table, std::uint32_t value) {
    for (const auto& [library, reg] : table)
        if (library == value) return reg;
    return std::nullopt;
}

template <typename Table>
std::optional<std::uint32_t> fromRegister(const Table& table, std::uint32_t value) {
    for (const auto& [library, reg] : table)
        if (reg == value) return library;
    return std::nullopt;
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

std::optional<std::uint32_t> leadingNumber(std::string_view answer, int base) {
    answer = skipBlanks(answer);
    std::uint32_t value = 0;
    const auto [end, ec] =
        std::from_chars(answer.data(), answer.data() + answer.size(), value, base);
    if (ec != std::errc() || end == answer.data()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> digitAt(std::string_view text, std::size_t position, int base) {
    if (position >= text.size()) return std::nullopt;
    std::uint32_t value = 0;
    const char* at = text.data() + position;
    const auto [end, ec] = std::from_chars(at, at + 1, value, base);
    if (ec != std::errc() || end != at + 1) return std::nullopt;
    return value;
}

}  // namespace

std::string registerWrite(std::uint8_t reg, std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02Xcf", value, reg);
    return text;
}

std::string registerRead(std::uint8_t reg) {
    char text[8];
    std::snprintf(text, sizeof text, "%02Xcf", reg);
    return text;
}

std::optional<std::string> defineStripCommand(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                              std::uint32_t d) {
    // Four-digit fields hold at most 9990: the first two values stop at 999.
    if (a < 5 || a > 999 || b < 70 || b > 999 || c < 70 || d < 1 || d > 100) return std::nullopt;
    char text[24];
    std::snprintf(text, sizeof text, "%03u%04u%04u08ds", d, b * 10, a * 10);
    return text;
}

std::string transferCommand(std::uint32_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%02uts", mode % 100);
    return text;
}

std::optional<std::string> readBackCommand(std::uint32_t mode, std::uint32_t patchNumber) {
    if (mode > 99 || patchNumber < 1 || patchNumber > 999) return std::nullopt;
    char text[12];
    std::snprintf(text, sizeof text, "%02u%03unp", mode, patchNumber);
    return text;
}

std::optional<std::uint8_t> densityRegister(std::uint32_t densityStandard) {
    return toRegister(kDensities, densityStandard);
}

std::optional<std::uint8_t> illuminantRegister(std::uint32_t illuminant, std::uint32_t observer) {
    for (const IlluminantEntry& e : kIlluminants) {
        if (e.illuminant != illuminant) continue;
        if (observer == 2) return e.register2;
        if (observer == 10) return static_cast<std::uint8_t>(e.register2 + 1);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> colorSpaceRegister(std::uint32_t colorSpace) {
    return toRegister(kColorSpaces, colorSpace);
}

std::optional<std::uint32_t> densityFromRegister(std::uint32_t value) {
    return fromRegister(kDensities, value);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> illuminantFromRegister(std::uint32_t value) {
    for (const IlluminantEntry& e : kIlluminants)
        if (e.register2 == (value & ~1u)) return std::pair{e.illuminant, value & 1 ? 10u : 2u};
    return std::nullopt;
}

std::optional<std::uint32_t> colorSpaceFromRegister(std::uint32_t value) {
    if (value == 0x03) return 0u;
    return fromRegister(kColorSpaces, value);
}

std::optional<std::uint32_t> colorMode(std::uint32_t colorSpace) {
    if (colorSpace == METERIO_CS_LAB) return kModeLab;
    if (colorSpace == METERIO_CS_XYZ) return kModeXyz;
    return std::nullopt;
}

bool answerOk(std::string_view answer) {
    return answer.find(kStatusOk) != std::string_view::npos;
}

std::optional<std::uint32_t> leadingHex(std::string_view answer) {
    return leadingNumber(answer, 16);
}

std::optional<std::uint32_t> leadingDecimal(std::string_view answer) {
    return leadingNumber(answer, 10);
}

Result errorQueryResult(std::string_view answer) {
    if (answer.find("DTP41") != std::string_view::npos) return Result::DeviceError;
    const auto code = leadingHex(answer);
    if (!code) return Result::CommunicationError;
    switch (*code) {
        case 0x12:
        case 0x13:
            return Result::OutOfRange;
        case 0x14:
        case 0x21:
        case 0x27:
            return Result::NotCompleted;
        case 0x28:
            return Result::MeasurementError;
        default:
            return Result::GeneralFailure;
    }
}

std::optional<Date> dateAt(std::string_view answer, std::size_t position) {
    const auto year = digitAt(answer, position, 16);
    const auto month = digitAt(answer, position + 1, 16);
    const auto tens = digitAt(answer, position + 2, 10);
    const auto ones = digitAt(answer, position + 3, 10);
    if (!year || !month || !tens || !ones) return std::nullopt;
    return Date{static_cast<std::uint16_t>(1990 + *year), static_cast<std::uint16_t>(*month),
                static_cast<std::uint16_t>(*tens * 10 + *ones)};
}

bool parseLine(std::string_view line, std::span<double> values) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t n = 0;
    for (;;) {
        line = skipBlanks(line);
        if (line.empty()) break;
        if (n == values.size()) return false;
        const std::size_t length = std::min(line.find_first_of(" \t"), line.size());
        std::string_view token = line.substr(0, length);
        line.remove_prefix(length);
        if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
        const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), values[n],
                                               std::chars_format::general);
        if (ec != std::errc() || end != token.data() + token.size()) return false;
        ++n;
    }
    return n == values.size();
}

std::optional<std::uint32_t> parseTransfer(
    std::string_view answer, std::size_t perLine, std::uint32_t capacity,
    const std::function<void(std::uint32_t, std::span<const double>)>& store) {
    std::array<double, kSpectrumValues> values{};
    if (perLine > values.size()) return std::nullopt;
    const std::span<double> line(values.data(), perLine);
    std::uint32_t count = 0;
    while (count < capacity) {
        const std::size_t end = answer.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        if (!parseLine(answer.substr(0, end), line)) return std::nullopt;
        store(count++, line);
        answer.remove_prefix(end + 1);
        if (answer.starts_with(kCompletion)) break;
    }
    return count;
}

}  // namespace dtp41

namespace {

constexpr std::uint32_t kAnswerTimeoutMs = 10000;
constexpr std::uint32_t kProbeTimeoutMs = 100;
constexpr std::uint32_t kReadingTimeoutMs = 35000;
constexpr std::uint32_t kIdlePauseMs = 20;
constexpr std::size_t kCapacity = 64;
// Transfer buffers hold the longest strip, whatever capacity the caller gives.
constexpr std::uint32_t kMostPatches = 100;
constexpr std::size_t kColorLineBytes = 128;
constexpr std::size_t kSpectrumLineBytes = 992;
constexpr std::size_t kAnswerTail = 64;  // status and prompt after the last line
constexpr std::int32_t kStop = -1;
constexpr std::int32_t kReadingTurn = -100;
// Deadlines are compared as wrapping ticks; longer waits are cut to this.
constexpr std::uint32_t kLongestWaitMs = 0x7FFFFFFFu;

constexpr std::uint8_t kRegisterIlluminant = 0x16;
constexpr std::uint8_t kRegisterDensity = 0x17;
constexpr std::uint8_t kRegisterColorSpace = 0x18;

bool stops(const serial::Callback& poll, std::int32_t value) {
    return poll && poll(value) == kStop;
}

bool deadlinePassed(std::uint32_t deadline, std::uint32_t now) {
    return static_cast<std::int32_t>(deadline - now) < 0;
}

std::string_view textOf(const std::uint8_t* buffer, std::size_t capacity) {
    const auto* text = reinterpret_cast<const char*>(buffer);
    return {text, ::strnlen(text, capacity)};
}

// Sends `command` with CR LF and collects its answer up to the prompt line into `buffer`,
// which holds `capacity` bytes plus a terminating zero.
// -1 from `poll`, called with -100 on every turn, ends the wait with Cancelled.
Result exchangeInto(Dtp41Record& record, std::string_view command, std::uint8_t* buffer,
                    std::size_t capacity, const serial::Callback& poll = {}) {
    std::memset(buffer, 0, capacity + 1);
    if (!record.port) return Result::CommunicationError;
    std::string line(command);
    line += "\r\n";
    return serial::SerialExchange(*record.port, line, dtp41::kPromptLine, 1, capacity, buffer,
                                  kAnswerTimeoutMs, 0, poll, *record.clock,
                                  serial::IdleStop::MinusOneStops);
}

Result exchange(Dtp41Record& record, std::string_view command, const serial::Callback& poll = {}) {
    return exchangeInto(record, command, record.reply.data(), kCapacity, poll);
}

std::string_view replyText(const Dtp41Record& record) {
    return textOf(record.reply.data(), kCapacity);
}

// One command judged by its status: 0, or what the instrument reports as its error.
Result command(Dtp41Record& record, std::string_view text) {
    (void)exchange(record, text);
    return dtp41::answerOk(replyText(record)) ? Result::Ok : Dtp41ErrorQuery(record);
}

Result drain(Dtp41Record& record) {
    return record.port && serial::SerialDrain(*record.port) ? Result::Ok
                                                            : Result::CommunicationError;
}

// Reads an answer that overflowed its buffer up to its prompt line.
Result skipToPrompt(Dtp41Record& record) {
    const std::uint32_t deadline = record.clock->tickMs() + kAnswerTimeoutMs;
    std::string tail;
    do {
        std::uint8_t byte = 0;
        std::size_t got = 0;
        if (!serial::SerialRead(*record.port, 0, 1, &byte, &got)) return Result::CommunicationError;
        if (got == 0) {
            record.port->waitReadable(1);
            continue;
        }
        tail.push_back(static_cast<char>(byte));
        if (tail.size() > dtp41::kPromptLine.size()) tail.erase(0, 1);
        if (tail == dtp41::kPromptLine) return Result::Ok;
    } while (!deadlinePassed(deadline, record.clock->tickMs()));
    return Result::CommunicationError;
}

// One strip transfer: the answer of `mode` into a buffer sized for the longest strip, parsed
// into at most `capacity` patches of `perLine` values.
Result transfer(Dtp41Record& record, std::uint32_t mode, std::size_t perLine, std::size_t lineBytes,
                std::uint32_t capacity, std::uint32_t& count,
                const std::function<void(std::uint32_t, std::span<const double>)>& store) {
    std::vector<std::uint8_t> buffer;
    const std::size_t size = kMostPatches * lineBytes + kAnswerTail;
    try {
        buffer.resize(size + 1);
    } catch (const std::bad_alloc&) {
        return Result::NoMemory;
    }
    const Result sent = exchangeInto(record, dtp41::transferCommand(mode), buffer.data(), size);
    const std::string_view text = textOf(buffer.data(), size);
    if (sent == Result::CommunicationError && text.size() == size) {
        // Longer than any strip: garbled. Read it to its end so the next command starts clean.
        if (skipToPrompt(record) != Result::Ok) return Result::CommunicationError;
        return Result::NotCompleted;
    }
    if (!dtp41::answerOk(text)) return Dtp41ErrorQuery(record);
    const auto parsed = dtp41::parseTransfer(text, perLine, capacity, store);
    if (!parsed) return Result::NotCompleted;
    count = *parsed;
    return Result::Ok;
}

// A read-back of one patch: exactly `values.size()` reals on the answer's first line.
Result readBack(Dtp41Record& record, std::uint32_t mode, std::uint32_t index,
                std::span<double> values, Result garbled) {
    const auto text = dtp41::readBackCommand(mode, index + 1);
    if (!text) return Result::OutOfRange;
    std::vector<std::uint8_t> buffer(kSpectrumLineBytes + kAnswerTail + 1);
    const std::size_t size = buffer.size() - 1;
    (void)exchangeInto(record, *text, buffer.data(), size);
    const std::string_view answer = textOf(buffer.data(), size);
    if (!dtp41::answerOk(answer)) return Dtp41ErrorQuery(record);
    const std::size_t end = answer.find('\n');
    if (end == std::string_view::npos || !dtp41::parseLine(answer.substr(0, end), values))
        return garbled;
    return Result::Ok;
}

void storeDensities(std::span<const double> d, double* out) {
    out[0] = d[1];
    out[1] = d[2];
    out[2] = d[3];
    out[3] = d[0];
}

void storeColor(std::span<const double> c, double scale, double* out) {
    for (std::size_t i = 0; i < dtp41::kColorValues; ++i)
        out[i] = c[i] * scale;
}

void storeSpectrum(std::span<const double> s, SpectrumRecord& out) {
    out.start = 400;
    out.interval = 10;
    out.count = dtp41::kSpectrumValues;
    for (std::size_t i = 0; i < dtp41::kSpectrumValues; ++i)
        out.values[i] = s[i] * 0.01;
}

double colorScale(const Dtp41Record& record) {
    return record.colorSpace == METERIO_CS_XYZ ? 0.01 : 1.0;
}

// What the wait's idle phase learnt from one "br" poll.
enum class Poll { Idle, Reading, Failed };

Result pollReading(Dtp41Record& record, const serial::Callback& poll, Poll& state) {
    const Result sent = exchange(record, "br", poll);
    if (sent == Result::Cancelled) return sent;
    state = Poll::Idle;
    if (dtp41::answerOk(replyText(record))) return Result::Ok;
    const Result error = Dtp41ErrorQuery(record);
    if (error == Result::NotCompleted) {
        state = Poll::Reading;
        return Result::Ok;
    }
    // Silence, and a line that fails both ways, end the wait.
    if (error == Result::NoInstrument ||
        (error == Result::CommunicationError && sent == Result::CommunicationError)) {
        state = Poll::Failed;
        return error;
    }
    return Result::Ok;
}

// The wait shared by both forms; `completionEnds` false keeps reading to the deadline.
Result waitReading(Dtp41Record& record, std::uint32_t timeoutMs, std::int32_t idleValue,
                   std::int32_t readingFlag, std::int32_t readingValue, bool completionEnds,
                   const serial::Callback& poll, std::uint8_t* taken) {
    if (taken) *taken = 0;
    if (!record.port) return Result::CommunicationError;
    platform::Clock& clock = *record.clock;
    const std::uint32_t deadline = clock.tickMs() + std::min(timeoutMs, kLongestWaitMs);

    for (;;) {
        Poll state = Poll::Idle;
        if (const Result r = pollReading(record, poll, state); r != Result::Ok) return r;
        if (state == Poll::Reading) break;
        if (stops(poll, idleValue)) return Result::Cancelled;
        if (timeoutMs != kNoTimeout && deadlinePassed(deadline, clock.tickMs()))
            return Result::NotCompleted;
        clock.sleepMs(kIdlePauseMs);
    }

    const bool stopAtReading = readingFlag == -1 && stops(poll, readingValue);
    const std::uint32_t readingDeadline = clock.tickMs() + kReadingTimeoutMs;
    std::array<std::uint8_t, dtp41::kCompletion.size()> status{};
    std::size_t have = 0;
    for (;;) {
        // A turn waits up to 1 ms for input and reads only when there is some (or a hang-up).
        if (record.port->waitReadable(1)) {
            std::size_t got = 0;
            if (!serial::SerialRead(*record.port, 0, status.size() - have, status.data() + have,
                                    &got))
                return Result::CommunicationError;
            have += got;
            if (have == status.size()) {
                const std::string_view text(reinterpret_cast<const char*>(status.data()), have);
                if (text != dtp41::kCompletion) return Dtp41ErrorQuery(record);
                if (completionEnds) break;
                have = 0;
            }
        }
        if (stops(poll, kReadingTurn)) return Result::Cancelled;
        if (deadlinePassed(readingDeadline, clock.tickMs())) return Result::DeviceError;
    }
    if (stopAtReading) return Result::Cancelled;
    if (taken) *taken = 1;
    return Result::Ok;
}

Result waitForStrip(Dtp41Record& record, const serial::Callback& poll) {
    return waitReading(record, kNoTimeout, -1, 0, 0, true, poll, nullptr);
}

}  // namespace

Result Dtp41Probe(Dtp41Record& record, std::string_view portName, std::uint32_t baudRate,
                  const serial::Callback& poll, serial::Port& port) {
    record.reply.fill(0);
    if (const Result r = serial::SerialOpenForProbe(portName, serial::LineProfile::StripReader,
                                                    baudRate, poll, port);
        r != Result::Ok)
        return r;
    const auto fail = [&](Result r) {
        serial::SerialClose(port);
        return r;
    };
    (void)serial::SerialExchange(*port, "br\r\n", dtp41::kPromptLine, 1, kCapacity,
                                 record.reply.data(), kProbeTimeoutMs, 0, {}, *record.clock);
    if (!dtp41::answerOk(replyText(record))) return fail(Result::NoInstrument);
    return Result::Ok;
}

Result Dtp41Open(Dtp41Record& record, std::string_view portName, std::uint32_t baudRate,
                 const serial::Callback& poll) {
    const serial::Probe probe = [&record](std::string_view name, std::uint32_t rate,
                                          const serial::Callback& p, serial::Port& port) {
        return Dtp41Probe(record, name, rate, p, port);
    };
    if (const Result r = serial::SerialFindInstrument(record, portName, baudRate, poll, probe);
        r != Result::Ok)
        return r;
    if (const Result r = Dtp41Initialise(record, poll); r != Result::Ok) {
        serial::SerialClose(record.port);
        return r;
    }
    return Result::Ok;
}

Result Dtp41Initialise(Dtp41Record& record, const serial::Callback& poll) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    if (stops(poll, -1)) return Result::Cancelled;
    for (const std::string_view text : dtp41::kInitialisation) {
        if (const Result r = command(record, text); r != Result::Ok) return r;
        if (stops(poll, -1)) return Result::Cancelled;
    }
    return Result::Ok;
}

Result Dtp41Close(Dtp41Record& record) {
    return serial::SerialClose(record.port) ? Result::Ok : Result::GeneralFailure;
}

Result Dtp41ErrorQuery(Dtp41Record& record) {
    if (const Result r = exchange(record, "xe"); r != Result::Ok) return r;
    return dtp41::errorQueryResult(replyText(record));
}

Result Dtp41DefineStrip(Dtp41Record& record, const StripDefinition& definition) {
    const auto text = dtp41::defineStripCommand(definition.first, definition.second,
                                                definition.third, definition.patches);
    if (!text) return Result::OutOfRange;
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    return command(record, *text);
}

Result Dtp41SetParam(Dtp41Record& record, const MeasureParams& params) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    const auto density = dtp41::densityRegister(params.densityStandard);
    if (!density) return Result::BadDensityStandard;
    if (const Result r = command(record, dtp41::registerWrite(kRegisterDensity, *density));
        r != Result::Ok)
        return r;
    const auto illuminant = dtp41::illuminantRegister(params.illumination, params.observer);
    if (!illuminant)
        return dtp41::illuminantRegister(params.illumination, 2) ? Result::BadObserver
                                                                 : Result::BadIllumination;
    if (const Result r = command(record, dtp41::registerWrite(kRegisterIlluminant, *illuminant));
        r != Result::Ok)
        return r;
    const auto colorSpace = dtp41::colorSpaceRegister(params.colorSpace);
    if (!colorSpace) return Result::BadColorSpace;
    return command(record, dtp41::registerWrite(kRegisterColorSpace, *colorSpace));
}

Result Dtp41GetParam(Dtp41Record& record, MeasureParams& params) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    std::array<std::uint32_t, 3> values{};
    const std::uint8_t registers[] = {kRegisterIlluminant, kRegisterDensity, kRegisterColorSpace};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (const Result r = command(record, dtp41::registerRead(registers[i])); r != Result::Ok)
            return r;
        const auto value = dtp41::leadingDecimal(replyText(record));
        if (!value || *value > 255) return Result::CommunicationError;
        values[i] = *value;
    }
    const auto illuminant = dtp41::illuminantFromRegister(values[0]);
    const auto density = dtp41::densityFromRegister(values[1]);
    const auto colorSpace = dtp41::colorSpaceFromRegister(values[2]);
    if (!illuminant || !density || !colorSpace) return Result::GeneralFailure;
    params.illumination = illuminant->first;
    params.observer = illuminant->second;
    params.densityStandard = *density;
    params.colorSpace = *colorSpace;
    return Result::Ok;
}

Result Dtp41GetInfo(Dtp41Record& record, StripInfoRecord& info) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    const std::pair<std::string_view, std::size_t> numbers[] = {{"00sn", 0}, {"04sn", 4}};
    for (const auto& [text, field] : numbers) {
        if (const Result r = command(record, text); r != Result::Ok) return r;
        const auto value = dtp41::leadingDecimal(replyText(record));
        if (!value) return Result::CommunicationError;
        info.numbers[field] = *value;
    }
    for (const std::size_t field : {1, 2, 3, 5})
        info.numbers[field] = 0xFFFFFFFFu;
    const std::tuple<std::string_view, std::size_t, std::uint16_t*> dates[] = {
        {"bv", 13, info.firstDate}, {"sv", 14, info.secondDate}};
    for (const auto& [text, position, date] : dates) {
        if (const Result r = command(record, text); r != Result::Ok) return r;
        const auto value = dtp41::dateAt(replyText(record), position);
        if (!value) return Result::CommunicationError;
        date[0] = value->year;
        date[1] = value->month;
        date[2] = value->day;
    }
    return Result::Ok;
}

Result Dtp41CalibrateWhite(Dtp41Record& record, const serial::Callback& poll) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    if (stops(poll, 0)) return Result::Cancelled;
    if (const Result r = command(record, "0113cf"); r != Result::Ok) return r;
    if (stops(poll, 0)) return Result::Cancelled;
    if (const Result r = Dtp41WaitReading(record, kNoTimeout, 0, -1, 1000, poll, nullptr);
        r != Result::Ok)
        return r;
    (void)exchange(record, "0000cf");
    if (!dtp41::answerOk(replyText(record)) && Dtp41ErrorQuery(record) != Result::OutOfRange) {
        (void)drain(record);
        return Result::NotCompleted;
    }
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result Dtp41WaitReading(Dtp41Record& record, std::uint32_t timeoutMs, std::int32_t idleValue,
                        std::int32_t readingFlag, std::int32_t readingValue,
                        const serial::Callback& poll, std::uint8_t* taken) {
    return waitReading(record, timeoutMs, idleValue, readingFlag, readingValue, true, poll, taken);
}

Result Dtp41WaitReadingState(Dtp41Record& record, std::uint32_t timeoutMs, std::int32_t idleValue,
                             std::int32_t readingFlag, std::int32_t readingValue,
                             std::uint8_t wantedState, const serial::Callback& poll) {
    return waitReading(record, timeoutMs, idleValue, readingFlag, readingValue, wantedState == 1,
                       poll, nullptr);
}

Result Dtp41ScanStrip(Dtp41Record& record, std::uint32_t kind, std::uint32_t capacity,
                      const serial::Callback& poll, std::uint32_t* count, void* results) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    const auto mode = dtp41::colorMode(record.colorSpace);
    if (!mode || kind > kReadBoth) return Result::GeneralFailure;
    if (const Result r = waitForStrip(record, poll); r != Result::Ok) return r;

    auto* out = static_cast<double*>(results);
    const std::size_t stride = kind == kReadBoth ? 8 : 4;
    const double scale = colorScale(record);
    std::uint32_t patches = 0;
    if (kind != kReadDensity) {
        if (const Result r =
                transfer(record, *mode, dtp41::kColorValues, kColorLineBytes, capacity, patches,
                         [&](std::uint32_t i, std::span<const double> v) {
                             storeColor(v, scale, out + i * stride);
                         });
            r != Result::Ok)
            return r;
    }
    if (kind != kReadColorant) {
        const std::size_t offset = kind == kReadBoth ? 4 : 0;
        if (const Result r = transfer(record, dtp41::kModeDensity, dtp41::kDensityValues,
                                      kColorLineBytes, capacity, patches,
                                      [&](std::uint32_t i, std::span<const double> v) {
                                          storeDensities(v, out + i * stride + offset);
                                      });
            r != Result::Ok)
            return r;
    }
    if (count) *count = patches;
    return Result::Ok;
}

Result Dtp41ScanStripSpectra(Dtp41Record& record, std::uint32_t capacity,
                             const serial::Callback& poll, std::uint32_t* count,
                             SpectrumRecord* spectra) {
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    if (!dtp41::colorMode(record.colorSpace)) return Result::GeneralFailure;
    if (const Result r = waitForStrip(record, poll); r != Result::Ok) return r;
    std::uint32_t patches = 0;
    if (const Result r = transfer(
            record, dtp41::kModeSpectrum, dtp41::kSpectrumValues, kSpectrumLineBytes, capacity,
            patches,
            [&](std::uint32_t i, std::span<const double> v) { storeSpectrum(v, spectra[i]); });
        r != Result::Ok)
        return r;
    if (count) *count = patches;
    return poll && poll(kProgressDone) != 0 ? Result::Cancelled : Result::Ok;
}

Result Dtp41ReadPatch(Dtp41Record& record, std::uint32_t kind, std::uint32_t storedCount,
                      std::uint32_t index, const serial::Callback& poll, void* result) {
    record.reply.fill(0);
    if (index >= storedCount) return Result::OutOfRange;
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    const auto mode = dtp41::colorMode(record.colorSpace);
    if (!mode || kind > kReadBoth) return Result::GeneralFailure;
    if (const Result r = waitForStrip(record, poll); r != Result::Ok) return r;

    auto* out = static_cast<double*>(result);
    if (kind != kReadDensity) {
        std::array<double, dtp41::kColorValues> color{};
        if (const Result r = readBack(record, *mode, index, color, Result::CommunicationError);
            r != Result::Ok)
            return r;
        storeColor(color, colorScale(record), out);
    }
    if (kind != kReadColorant) {
        std::array<double, dtp41::kDensityValues> density{};
        if (const Result r =
                readBack(record, dtp41::kModeDensity, index, density, Result::CommunicationError);
            r != Result::Ok)
            return r;
        storeDensities(density, out + (kind == kReadBoth ? 4 : 0));
    }
    return Result::Ok;
}

Result Dtp41ReadPatchSpectrum(Dtp41Record& record, std::uint32_t storedCount, std::uint32_t index,
                              const serial::Callback& poll, SpectrumRecord& spectrum) {
    record.reply.fill(0);
    if (index >= storedCount) return Result::OutOfRange;
    if (drain(record) != Result::Ok) return Result::CommunicationError;
    if (!dtp41::colorMode(record.colorSpace)) return Result::GeneralFailure;
    if (const Result r = waitForStrip(record, poll); r != Result::Ok) return r;
    std::array<double, dtp41::kSpectrumValues> values{};
    if (const Result r =
            readBack(record, dtp41::kModeSpectrum, index, values, Result::NotCompleted);
        r != Result::Ok)
        return r;
    storeSpectrum(values, spectrum);
    return Result::Ok;
}

namespace {

class Dtp41Driver final : public Driver {
public:
    Result open(const OpenArgs& args, Progress& progress) override {
        if (args.portName.size() >= serial::kPortNameSize) return Result::GeneralFailure;
        return Dtp41Open(m_record, args.portName, args.baudRate, serial::callbackOf(progress));
    }

    Result close() override { return Dtp41Close(m_record); }

    Result calibrateWhite(const CalibrateRequest&, Progress& progress) override {
        return Dtp41CalibrateWhite(m_record, serial::callbackOf(progress));
    }

    Result setParams(const MeasureParams& params) override {
        const Result r = Dtp41SetParam(m_record, params);
        if (r == Result::Ok) m_record.colorSpace = params.colorSpace;
        return r;
    }

    Result getParams(MeasureParams& params) override { return Dtp41GetParam(m_record, params); }

    Result getInfo(DeviceInfo& info) override { return Dtp41GetInfo(m_record, info.strip); }

    Result defineStrip(const StripDefinition& definition) override {
        return Dtp41DefineStrip(m_record, definition);
    }

    Result readValues(const ReadRequest& request, Progress& progress, void* records) override {
        if (request.mode == kDtp41Transfer)
            return Dtp41ScanStrip(m_record, request.kind, request.limit,
                                  serial::callbackOf(progress), request.sampleCount, records);
        return Dtp41ReadPatch(m_record, request.kind, request.expected, request.index,
                              serial::callbackOf(progress), records);
    }

    Result readSpectra(const ReadRequest& request, Progress& progress,
                       SpectrumRecord* spectra) override {
        if (request.mode == kDtp41Transfer)
            return Dtp41ScanStripSpectra(m_record, request.limit, serial::callbackOf(progress),
                                         request.sampleCount, spectra);
        return Dtp41ReadPatchSpectrum(m_record, request.expected, request.index,
                                      serial::callbackOf(progress), *spectra);
    }

    Result waitForKey(const WaitRequest& request, Progress& progress,
                      std::uint8_t* taken) override {
        return Dtp41WaitReading(m_record, request.timeoutMs, request.callbackValue, 0, 0,
                                serial::callbackOf(progress), taken);
    }

    Result waitForKeyState(const WaitRequest& request, Progress& progress) override {
        return Dtp41WaitReadingState(m_record, request.timeoutMs, request.callbackValue, 0, 0,
                                     request.mode, serial::callbackOf(progress));
    }

private:
    Dtp41Record m_record;
};

}  // namespace

std::unique_ptr<Driver> makeDtp41Driver() {
    return std::make_unique<Dtp41Driver>();
}

}  // namespace meterio
