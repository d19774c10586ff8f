// Serial display colorimeter: reply lines and their error tables, the exchange, the search and
// the monitor-family driver, which opens the port around every operation.
#include "meterio/drivers/display_colorimeter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace meterio {
namespace colorimeter {
namespace {

struct ErrorCode {
    std::string_view prefix;  // compared on its own length
    Result afterReading, afterPreparation, afterOther;
};

constexpr Result kOk = Result::Ok;
constexpr Result kNotCompleted = Result::NotCompleted;
constexpr Result kMeasurementError = Result::MeasurementError;
constexpr Result kDeviceError = Result::DeviceError;
constexpr Result kCommunicationError = Result::CommunicationError;

// The catch-all "P1 E2" comes last, after the "P1 E2n" codes it would otherwise hide.
constexpr ErrorCode kErrorCodes[] = {
    {"E10", kNotCompleted, kOk, kNotCompleted},
    {"E12", kNotCompleted, kNotCompleted, kNotCompleted},
    {"E20", kNotCompleted, kNotCompleted, kNotCompleted},
    {"E21", kMeasurementError, kMeasurementError, kMeasurementError},
    {"P1 E22", kNotCompleted, kNotCompleted, kNotCompleted},
    {"P1 E23", kMeasurementError, kOk, kOk},
    {"P1 E24", kOk, kOk, kOk},
    {"E25", kDeviceError, kDeviceError, kDeviceError},
    {"E26", kCommunicationError, kCommunicationError, kCommunicationError},
    {"E27", kCommunicationError, kCommunicationError, kCommunicationError},
    {"P1 E28", kCommunicationError, kCommunicationError, kCommunicationError},
    {"E29", kMeasurementError, kMeasurementError, kMeasurementError},
    {"E30", kMeasurementError, kMeasurementError, kMeasurementError},
    {"P1 E2", kMeasurementError, kOk, kOk},
};

bool isErrorLine(std::string_view line) {
    return line.starts_with("E") || line.starts_with("P1 E");
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// A float at the start of `text` (after blanks); `text` is left after it.
std::optional<float> takeFloat(std::string_view& text) {
    text = skipBlanks(text);
    float value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

}  // namespace

ErrorTable errorTableFor(std::string_view command) {
    if (command == "H1") return ErrorTable::Reading;
    if (command == "F1&Z" || command == "F1&H1&Z" || command == "H1&Z")
        return ErrorTable::Preparation;
    return ErrorTable::Other;
}

std::optional<Result> mapErrorLine(std::string_view line, ErrorTable table) {
    if (!isErrorLine(line)) return std::nullopt;
    for (const ErrorCode& code : kErrorCodes) {
        if (!line.starts_with(code.prefix)) continue;
        switch (table) {
            case ErrorTable::Reading:
                return code.afterReading;
            case ErrorTable::Preparation:
                return code.afterPreparation;
            case ErrorTable::Other:
                return code.afterOther;
        }
    }
    return Result::GeneralFailure;
}

ReplyLines splitLines(std::string_view reply) {
    ReplyLines out;
    while (!reply.empty() && out.count < out.lines.size()) {
        const std::size_t end = std::min(reply.find('\r'), reply.size());
        std::string_view line = reply.substr(0, end);
        reply.remove_prefix(std::min(end + 1, reply.size()));
        if (line.starts_with('\n')) line.remove_prefix(1);
        if (!line.empty()) out.lines[out.count++] = line;
    }
    return out;
}

Result checkReply(std::span<const std::string_view> lines, std::string_view command) {
    const ErrorTable table = errorTableFor(command);
    const bool statusRead = command == "Z";
    for (const std::string_view line : lines) {
        if (const auto mapped = mapErrorLine(line, table); mapped && *mapped != Result::Ok)
            return *mapped;
        if (statusRead && line.starts_with("MODE:")) return Result::Ok;
    }
    if (lines.empty()) return Result::NoInstrument;
    const std::string_view last = lines.back();
    const bool known = isErrorLine(last) || last.starts_with("P1 ") || last.starts_with("MODE:");
    if (statusRead) return known ? Result::CommunicationError : Result::NoInstrument;
    return known ? Result::Ok : Result::NoInstrument;
}

std::optional<std::array<float, 3>> parseReading(std::string_view line) {
    const std::size_t blank = line.find(' ');
    if (blank == 0 || blank > 3 || blank == std::string_view::npos) return std::nullopt;
    for (const char c : line.substr(0, blank))
        if (isBlank(c)) return std::nullopt;
    line.remove_prefix(blank + 1);
    std::array<float, 3> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto value = takeFloat(line);
        if (!value) return std::nullopt;
        numbers[i] = *value;
        if (i + 1 < numbers.size()) {
            if (line.empty()) return std::nullopt;
            line.remove_prefix(1);  // the separator
        }
    }
    if (!line.empty()) return std::nullopt;
    return numbers;
}

Result splitStatus(std::string_view line, DisplayColorimeterInfo& info) {
    for (auto& word : info.words) {
        line = skipBlanks(line);
        std::size_t length = 0;
        while (length < line.size() && !isBlank(line[length]))
            ++length;
        if (length == 0 || length >= sizeof word) return Result::DeviceError;
        std::memcpy(word, line.data(), length);
        line.remove_prefix(length);
    }
    return Result::Ok;
}

}  // namespace colorimeter

namespace {

namespace cm = colorimeter;

constexpr std::uint32_t kReplyWaitMs = 500;
constexpr std::uint32_t kLineDelayMs = 20;
constexpr std::uint32_t kProbeReplyMs = 3000;
constexpr std::uint32_t kCalibrationReplyMs = 3000;
constexpr std::uint32_t kReadingReplyMs = 1000;
constexpr std::uint32_t kStatusReplyMs = 1000;
constexpr std::uint32_t kCloseReplyMs = 1000;
constexpr std::int32_t kStop = -1;
constexpr std::int32_t kCalibrationStep = 5000;

struct ColorimeterRecord : serial::SerialRecord {
    // All lines of the last reply, each with its CR; one byte more for a terminator.
    std::array<std::uint8_t, cm::kReplyCapacity + 1> reply{};
    std::size_t replyLength = 0;
    platform::Clock* clock = &platform::systemClock();
    serial::PortOpener openPort = &serial::SerialOpen;
};

class DisplayColorimeterDriver final : public Driver {
public:
    DisplayColorimeterDriver(platform::Clock& clock, serial::PortOpener openPort) {
        m_record.clock = &clock;
        m_record.openPort = std::move(openPort);
    }

    Result open(const OpenArgs& args, Progress& progress) override;
    Result close() override;
    Result calibrateBlack(Progress& progress) override;
    Result readValues(const ReadRequest& request, Progress& progress, void* records) override;
    Result setParams(const MeasureParams& params) override;
    Result getParams(MeasureParams& params) override;
    Result getInfo(DeviceInfo& info) override;

private:
    Result probe(std::string_view name, std::uint32_t rate, const serial::Callback& poll,
                 serial::Port& port);
    // Writes `command` CR (a failed write shows as silence) and collects reply lines: every
    // line until a wait receives nothing, or only the first one.
    Result exchange(platform::SerialPort& port, std::string_view command, std::uint32_t timeoutMs,
                    bool firstLineOnly = false);
    Result exchangeChecked(platform::SerialPort& port, std::string_view command,
                           std::uint32_t timeoutMs = kReplyWaitMs, bool firstLineOnly = false);
    Result collectLines(platform::SerialPort& port, std::uint32_t timeoutMs, bool firstLineOnly);
    cm::ReplyLines lines() const;
    Result prepare(platform::SerialPort& port);
    Result selectColorSpace(platform::SerialPort& port, std::uint32_t colorSpace);
    // Opens the stored port, prepares the instrument, runs `work`, sends "F0" and closes the
    // port; every failure closes it too.
    template <typename Work>
    Result operation(Work&& work);

    ColorimeterRecord m_record;
};

Result DisplayColorimeterDriver::collectLines(platform::SerialPort& port, std::uint32_t timeoutMs,
                                              bool firstLineOnly) {
    m_record.reply.fill(0);
    m_record.replyLength = 0;
    for (std::size_t waits = 0; waits <= cm::kMaxReplyLines; ++waits) {
        std::size_t& used = m_record.replyLength;
        if (used >= cm::kReplyCapacity) return Result::GeneralFailure;
        std::uint8_t* at = m_record.reply.data() + used;
        const std::size_t room = cm::kReplyCapacity - used;
        const Result r = serial::SerialExchange(port, {}, "\r", 1, room, at, timeoutMs,
                                                kLineDelayMs, {}, *m_record.clock);
        const std::size_t got = ::strnlen(reinterpret_cast<const char*>(at), room);
        if (r != Result::Ok) {
            // A LF closing the last line, then silence, is the end of the reply.
            if (got != 0 && std::all_of(at, at + got, [](std::uint8_t b) { return b == '\n'; })) {
                std::fill(at, at + got, 0);
                return Result::Ok;
            }
            return got == room ? Result::GeneralFailure : Result::CommunicationError;
        }
        if (got == 0) return Result::Ok;
        used += got;
        if (firstLineOnly) return Result::Ok;
    }
    return Result::CommunicationError;
}

Result DisplayColorimeterDriver::exchange(platform::SerialPort& port, std::string_view command,
                                          std::uint32_t timeoutMs, bool firstLineOnly) {
    const std::string text = std::string(command) + '\r';
    (void)serial::SerialExchange(port, text, {}, 0, 0, nullptr, 0, 0, {}, *m_record.clock);
    return collectLines(port, timeoutMs, firstLineOnly);
}

cm::ReplyLines DisplayColorimeterDriver::lines() const {
    return cm::splitLines(std::string_view(reinterpret_cast<const char*>(m_record.reply.data()),
                                           m_record.replyLength));
}

Result DisplayColorimeterDriver::exchangeChecked(platform::SerialPort& port,
                                                 std::string_view command, std::uint32_t timeoutMs,
                                                 bool firstLineOnly) {
    if (const Result r = exchange(port, command, timeoutMs, firstLineOnly); r != Result::Ok)
        return r;
    return cm::checkReply(lines().view(), command);
}

Result DisplayColorimeterDriver::selectColorSpace(platform::SerialPort& port,
                                                  std::uint32_t colorSpace) {
    if (colorSpace != METERIO_CS_YXY) return Result::BadColorSpace;
    return exchangeChecked(port, "M0&Z");
}

Result DisplayColorimeterDriver::prepare(platform::SerialPort& port) {
    if (const Result r = exchangeChecked(port, "F1&Z"); r != Result::Ok) return r;
    if (const Result r = exchangeChecked(port, "H1&Z"); r != Result::Ok) return r;
    const cm::ReplyLines reply = lines();
    if (reply.count != 0 && reply.lines[0].starts_with("E10")) {
        if (const Result r = exchangeChecked(port, "F1&Z"); r != Result::Ok) return r;
    } else if (!serial::SerialDrain(port)) {
        return Result::CommunicationError;
    }
    if (const Result r = exchangeChecked(port, "S3&Z"); r != Result::Ok) return r;
    return selectColorSpace(port, m_record.colorSpace);
}

template <typename Work>
Result DisplayColorimeterDriver::operation(Work&& work) {
    serial::Port& port = m_record.port;
    if (!m_record.openPort(m_record.portName, port)) return Result::NoInstrument;
    const auto fail = [&](Result r) {
        serial::SerialClose(port);
        return r;
    };
    if (serial::SerialSetProfile(*port, serial::LineProfile::DisplayColorimeter,
                                 m_record.baudRate) != Result::Ok)
        return fail(Result::CommunicationError);
    if (const Result r = prepare(*port); r != Result::Ok) return fail(r);
    if (const Result r = work(*port); r != Result::Ok) return fail(r);
    return serial::SerialClose(port) ? Result::Ok : Result::GeneralFailure;
}

Result DisplayColorimeterDriver::probe(std::string_view name, std::uint32_t rate,
                                       const serial::Callback& poll, serial::Port& port) {
    // Inside the search only -1 stops, as in every port search.
    const auto stops = [&] { return poll && poll(kPollOnly) == kStop; };
    if (stops()) return Result::Cancelled;
    if (!m_record.openPort(name, port)) return Result::NoInstrument;
    const auto fail = [&](Result r) {
        serial::SerialClose(port);
        return r;
    };
    if (serial::SerialSetProfile(*port, serial::LineProfile::DisplayColorimeter, rate) !=
        Result::Ok)
        return fail(Result::CommunicationError);
    if (const Result r = exchangeChecked(*port, "F1&H1&Z", kProbeReplyMs, true); r != Result::Ok)
        return fail(r);
    if (!serial::SerialDrain(*port)) return fail(Result::CommunicationError);
    if (stops()) return fail(Result::Cancelled);
    if (const Result r = exchangeChecked(*port, "F1&Z"); r != Result::Ok) return fail(r);
    if (stops()) return fail(Result::Cancelled);
    return Result::Ok;
}

Result DisplayColorimeterDriver::open(const OpenArgs& args, Progress& progress) {
    if (progress.cancels(kPollOnly, CancelRule::MinusOneOnly)) return Result::Cancelled;
    // The name is kept in a 32-byte field.
    if (args.portName.size() >= serial::kPortNameSize) return Result::GeneralFailure;
    const serial::Callback poll = [&progress](std::int32_t v) { return progress.report(v); };
    const serial::Probe probe = [this](std::string_view name, std::uint32_t rate,
                                       const serial::Callback& p, serial::Port& port) {
        return this->probe(name, rate, p, port);
    };
    if (const Result r = serial::SerialFindInstrument(m_record, args.portName, args.baudRate, poll,
                                                      probe, kColorimeterBaudRates);
        r != Result::Ok)
        return r;
    serial::Port& port = m_record.port;
    const auto fail = [&](Result r) {
        serial::SerialClose(port);
        return r;
    };
    if (progress.cancels(kPollOnly)) return fail(Result::Cancelled);
    m_record.colorSpace = METERIO_CS_YXY;
    m_record.reserved.fill(0);
    if (const Result r = exchangeChecked(*port, "S3&Z"); r != Result::Ok) return fail(r);
    if (const Result r = selectColorSpace(*port, m_record.colorSpace); r != Result::Ok)
        return fail(r);
    if (const Result r = exchange(*port, "F0", kReplyWaitMs); r != Result::Ok) return fail(r);
    if (progress.cancels(kPollOnly)) return fail(Result::Cancelled);
    if (!serial::SerialClose(port)) return Result::GeneralFailure;
    return progress.cancels(kPollOnly) ? Result::Cancelled : Result::Ok;
}

Result DisplayColorimeterDriver::close() {
    return operation(
        [&](platform::SerialPort& port) { return exchange(port, "H0&F0", kCloseReplyMs); });
}

Result DisplayColorimeterDriver::calibrateBlack(Progress& progress) {
    if (progress.cancels(kMeasureStart)) return Result::Cancelled;
    if (const Result done = operation([&](platform::SerialPort& port) {
            if (progress.cancels(kCalibrationStep)) return Result::Cancelled;
            if (const Result r = exchangeChecked(port, "I", kCalibrationReplyMs, true);
                r != Result::Ok)
                return r;
            if (const Result r = exchangeChecked(port, "H1&Z"); r != Result::Ok) return r;
            if (!serial::SerialDrain(port)) return Result::CommunicationError;
            return exchange(port, "F0", kReplyWaitMs);
        });
        done != Result::Ok)
        return done;
    return progress.cancels(kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result DisplayColorimeterDriver::readValues(const ReadRequest&, Progress& progress, void* records) {
    auto& record = *static_cast<ColorantRecord*>(records);
    if (progress.cancels(kMeasureStart)) return Result::Cancelled;
    if (const Result done = operation([&](platform::SerialPort& port) {
            if (const Result r = exchangeChecked(port, "H0", kReadingReplyMs, true);
                r != Result::Ok)
                return r;
            if (const Result r = exchangeChecked(port, "H1"); r != Result::Ok) return r;
            const cm::ReplyLines reply = lines();
            const auto numbers = cm::parseReading(reply.lines[reply.count - 1]);
            if (!numbers) return Result::NotCompleted;
            if (m_record.colorSpace != METERIO_CS_YXY) return Result::BadColorSpace;
            record.values[0] = static_cast<double>((*numbers)[2]) * 0.01;
            record.values[1] = static_cast<double>((*numbers)[0]) * 0.001;
            record.values[2] = static_cast<double>((*numbers)[1]) * 0.001;
            if (!serial::SerialDrain(port)) return Result::CommunicationError;
            return exchange(port, "F0", kReplyWaitMs);
        });
        done != Result::Ok)
        return done;
    return progress.cancels(kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result DisplayColorimeterDriver::setParams(const MeasureParams& params) {
    return operation([&](platform::SerialPort& port) {
        if (params.densityStandard != 4) return Result::BadDensityStandard;
        if (params.illumination != 6) return Result::BadIllumination;
        if (params.observer != 2) return Result::BadObserver;
        if (const Result r = selectColorSpace(port, params.colorSpace); r != Result::Ok) return r;
        m_record.colorSpace = params.colorSpace;
        return exchange(port, "F0", kReplyWaitMs);
    });
}

Result DisplayColorimeterDriver::getParams(MeasureParams& params) {
    params = MeasureParams{4, 6, 2, m_record.colorSpace};
    return Result::Ok;
}

Result DisplayColorimeterDriver::getInfo(DeviceInfo& info) {
    static_assert(sizeof(DisplayColorimeterInfo) <= sizeof info.bytes);
    std::memset(info.bytes, 0, sizeof(DisplayColorimeterInfo));
    return operation([&](platform::SerialPort& port) {
        if (const Result r = exchangeChecked(port, "Z", kStatusReplyMs, true); r != Result::Ok)
            return r;
        const cm::ReplyLines reply = lines();
        if (reply.count == 0) return Result::NoInstrument;
        DisplayColorimeterInfo view{};
        if (const Result r = cm::splitStatus(reply.lines[0], view); r != Result::Ok) return r;
        std::memcpy(info.bytes, &view, sizeof view);
        return exchange(port, "F0", kReplyWaitMs);
    });
}

}  // namespace

std::unique_ptr<Driver> makeDisplayColorimeterDriver() {
    return makeDisplayColorimeterDriver(platform::systemClock(), &serial::SerialOpen);
}

std::unique_ptr<Driver> makeDisplayColorimeterDriver(platform::Clock& clock,
                                                     serial::PortOpener openPort) {
    return std::make_unique<DisplayColorimeterDriver>(clock, std::move(openPort));
}

}  // namespace meterio
