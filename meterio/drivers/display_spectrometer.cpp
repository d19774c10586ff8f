// Serial display spectrometer: commands, reply checks and parsers, remote mode, the
// measurement with its integration modes, colour and spectral data, and the monitor-family
// driver.
#include "meterio/drivers/display_spectrometer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace meterio {
namespace spectrometer {
namespace {

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view skipWhite(std::string_view text, bool commas = false) {
    while (!text.empty() && (isWhite(text.front()) || (commas && text.front() == ',')))
        text.remove_prefix(1);
    return text;
}

std::optional<std::uint32_t> leadingUnsigned(std::string_view text) {
    text = skipWhite(text);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return std::nullopt;
    return value;
}

}  // namespace

std::string integrationCommand(std::uint32_t mode, double timeSeconds) {
    char text[48];
    if (mode == 3)
        std::snprintf(text, sizeof text, "%s,%u,%0.3f", "MMS", mode, timeSeconds);
    else
        std::snprintf(text, sizeof text, "%s,%u", "MMS", mode);
    return text;
}

std::string dataRequest(bool colour, std::uint32_t observerIndex) {
    char text[32];
    std::snprintf(text, sizeof text, colour ? "%s,1,%u,0" : "%s,0,%u,0", "BDR", observerIndex);
    return text;
}

std::optional<std::uint32_t> observerIndex(std::uint32_t observer) {
    if (observer == 2) return 0u;
    if (observer == 10) return 1u;
    return std::nullopt;
}

Result checkReply(std::string_view reply, bool anyReply) {
    if (!anyReply && !reply.starts_with("OK")) return Result::CommunicationError;
    if (reply.find("ER") == std::string_view::npos) return Result::Ok;
    // One character from the second on, then the number.
    if (reply.size() < 3) return Result::CommunicationError;
    const auto code = leadingUnsigned(reply.substr(2));
    if (!code) return Result::CommunicationError;
    switch (*code) {
        case 0:
        case 1:
        case 2:
        case 10:
            return Result::NotCompleted;
        case 3:
            return Result::CommunicationError;
        case 12:
            return Result::NoInstrument;
        default:
            return Result::GeneralFailure;
    }
}

bool readNumbers(std::string_view block, std::span<double> values) {
    for (double& value : values) {
        block = skipWhite(block, true);
        const auto [end, ec] = std::from_chars(block.data(), block.data() + block.size(), value);
        if (ec != std::errc()) return false;
        block.remove_prefix(static_cast<std::size_t>(end - block.data()));
    }
    return true;
}

std::optional<double> learnedTime(std::string_view reply) {
    reply = skipWhite(reply);
    std::size_t word = 0;
    while (word < 3 && word < reply.size() && !isWhite(reply[word]))
        ++word;
    if (word == 0) return std::nullopt;
    const std::string_view number = skipWhite(reply.substr(word)).substr(0, 6);
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc()) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> stateFlag(std::string_view reply) {
    if (reply.size() < 26 || (reply[25] != '0' && reply[25] != '1')) return std::nullopt;
    return static_cast<std::uint32_t>(reply[25] - '0');
}

std::optional<std::uint32_t> stateObserverIndex(std::string_view reply) {
    if (reply.size() < 24) return std::nullopt;
    return leadingUnsigned(reply.substr(23));
}

}  // namespace spectrometer

namespace {

namespace sp = spectrometer;

constexpr std::uint32_t kReplyWaitMs = 1250;
constexpr std::uint32_t kMeasureWaitMs = 240000;
// After the caller stopped a measurement, its stop command's reply is awaited this long.
constexpr std::uint32_t kCancelStopWaitMs = 3000;
constexpr std::uint32_t kStopPauseMs = 800;
constexpr std::uint32_t kLeaveRemotePauseMs = 1000;
constexpr std::int32_t kStop = -1;
constexpr double kShortestTime = 0.04;
constexpr double kLongestTime = 60.0;

struct SpectrometerRecord : serial::SerialRecord {
    std::uint32_t observer = 2;
    double integrationTime = 0;
    std::uint32_t integrationMode = 0;
    std::array<std::uint8_t, sp::kReplyCapacity + 1> reply{};
    // A stopped measurement may still answer: drop what came before the next command.
    bool drainPending = false;
    platform::Clock* clock = &platform::systemClock();
    serial::PortOpener openPort = &serial::SerialOpen;
};

using Poll = serial::Callback;

bool stops(const Poll& poll) {
    return poll && poll(kPollOnly) == kStop;
}

class DisplaySpectrometerDriver final : public Driver {
public:
    DisplaySpectrometerDriver(platform::Clock& clock, serial::PortOpener openPort) {
        m_record.clock = &clock;
        m_record.openPort = std::move(openPort);
    }

    Result open(const OpenArgs& args, Progress& progress) override;
    Result close() override;
    Result readValues(const ReadRequest& request, Progress& progress, void* records) override;
    Result readSpectra(const ReadRequest& request, Progress& progress,
                       SpectrumRecord* spectrum) override;
    Result setParams(const MeasureParams& params) override;
    Result getParams(MeasureParams& params) override;
    Result setParamsEx(const void* params) override;
    Result getParamsEx(void* params) override;

private:
    std::string_view reply() const {
        const auto* text = reinterpret_cast<const char*>(m_record.reply.data());
        return {text, ::strnlen(text, sp::kReplyCapacity)};
    }

    Result probe(std::string_view name, std::uint32_t rate, const Poll& poll, serial::Port& port);
    // Sends `command` LF and waits for `lines` LF-ended lines (0: no wait).
    Result exchange(platform::SerialPort& port, std::string_view command, std::uint32_t lines,
                    std::uint32_t timeoutMs, const Poll& idle = {},
                    serial::IdleStop stop = serial::IdleStop::Ignored);
    Result exchange(std::string_view command, std::uint32_t lines, std::uint32_t timeoutMs,
                    const Poll& idle = {}, serial::IdleStop stop = serial::IdleStop::Ignored);
    Result exchangeChecked(std::string_view command, std::uint32_t lines, const Poll& idle = {},
                           bool anyReply = false);
    Result leaveRemote(platform::SerialPort& port);
    Result checkState(const Poll& poll);
    // "MES,1" until `lines` lines came; a stop from the caller ends it with "MES,0".
    Result startMeasurement(std::uint32_t lines, const Poll& poll);
    // "MES,0" between two pauses.
    Result stopMeasurement(const Poll& poll);
    Result learn(const Poll& poll);
    Result measurementStep(const Poll& poll);
    Result requestData(bool colour, const Poll& poll);

    SpectrometerRecord m_record;
};

Result DisplaySpectrometerDriver::exchange(platform::SerialPort& port, std::string_view command,
                                           std::uint32_t lines, std::uint32_t timeoutMs,
                                           const Poll& idle, serial::IdleStop stop) {
    m_record.reply.fill(0);
    if (m_record.drainPending) {
        m_record.drainPending = false;
        if (!serial::SerialDrain(port)) return Result::CommunicationError;
    }
    const std::string text = std::string(command) + '\n';
    return serial::SerialExchange(port, text, lines != 0 ? "\n" : "", lines, sp::kReplyCapacity,
                                  m_record.reply.data(), timeoutMs, 0, idle, *m_record.clock, stop);
}

Result DisplaySpectrometerDriver::exchange(std::string_view command, std::uint32_t lines,
                                           std::uint32_t timeoutMs, const Poll& idle,
                                           serial::IdleStop stop) {
    if (!m_record.port) return Result::CommunicationError;
    return exchange(*m_record.port, command, lines, timeoutMs, idle, stop);
}

Result DisplaySpectrometerDriver::exchangeChecked(std::string_view command, std::uint32_t lines,
                                                  const Poll& idle, bool anyReply) {
    if (const Result r = exchange(command, lines, kReplyWaitMs, idle); r != Result::Ok) return r;
    return sp::checkReply(reply(), anyReply);
}

Result DisplaySpectrometerDriver::leaveRemote(platform::SerialPort& port) {
    if (exchange(port, "RMT,0", 0, 0) != Result::Ok) {
        m_record.clock->sleepMs(kStopPauseMs);
        if (exchange(port, "MES,0", 1, kMeasureWaitMs) == Result::Ok) (void)sp::checkReply(reply());
        m_record.clock->sleepMs(kStopPauseMs);
        if (const Result r = exchange(port, "RMT,0", 0, 0); r != Result::Ok) return r;
    }
    m_record.clock->sleepMs(kLeaveRemotePauseMs);
    return Result::Ok;
}

Result DisplaySpectrometerDriver::probe(std::string_view name, std::uint32_t rate, const Poll& poll,
                                        serial::Port& port) {
    m_record.reply.fill(0);
    if (const Result r = serial::SerialOpenForProbe(name, serial::LineProfile::DisplaySpectrometer,
                                                    rate, poll, port, m_record.openPort);
        r != Result::Ok)
        return r;
    // Past here the instrument may be in remote mode.
    const auto fail = [&](Result r) {
        (void)leaveRemote(*port);
        serial::SerialClose(port);
        return r;
    };
    (void)exchange(*port, "RMT,1", 1, kReplyWaitMs);
    if (reply().find("OK\n") == std::string_view::npos) return fail(Result::NoInstrument);
    if (stops(poll)) return fail(Result::Cancelled);
    return Result::Ok;
}

Result DisplaySpectrometerDriver::checkState(const Poll& poll) {
    if (stops(poll)) return Result::Cancelled;
    if (const Result r = exchangeChecked("STR", 1); r != Result::Ok) return r;
    if (stops(poll)) return Result::Cancelled;
    if (!sp::stateFlag(reply())) return Result::GeneralFailure;
    if (reply()[3] != '0') {
        if (const Result r = exchangeChecked(sp::integrationCommand(0), 1); r != Result::Ok)
            return r;
    }
    return stops(poll) ? Result::Cancelled : Result::Ok;
}

Result DisplaySpectrometerDriver::open(const OpenArgs& args, Progress& progress) {
    // The name is kept in a 32-byte field.
    if (args.portName.size() >= serial::kPortNameSize) return Result::GeneralFailure;
    const Poll poll = serial::callbackOf(progress);
    const serial::Probe probe = [this](std::string_view name, std::uint32_t rate, const Poll& p,
                                       serial::Port& port) {
        return this->probe(name, rate, p, port);
    };
    if (const Result r = serial::SerialFindInstrument(m_record, args.portName, args.baudRate, poll,
                                                      probe, kSpectrometerBaudRates);
        r != Result::Ok)
        return r;
    m_record.colorSpace = METERIO_CS_XYZ;
    m_record.reserved.fill(0);
    m_record.observer = 2;
    m_record.integrationTime = 0;
    m_record.integrationMode = 0;
    m_record.drainPending = false;
    if (const Result r = checkState(poll); r != Result::Ok) {
        (void)leaveRemote(*m_record.port);
        serial::SerialClose(m_record.port);
        return r;
    }
    return Result::Ok;
}

Result DisplaySpectrometerDriver::close() {
    if (!m_record.port) return Result::Ok;
    const Result left = leaveRemote(*m_record.port);
    const bool closed = serial::SerialClose(m_record.port);
    if (left != Result::Ok) return left;
    return closed ? Result::Ok : Result::GeneralFailure;
}

Result DisplaySpectrometerDriver::startMeasurement(std::uint32_t lines, const Poll& poll) {
    const Result r =
        exchange("MES,1", lines, kMeasureWaitMs, poll, serial::IdleStop::MinusOneStops);
    if (r == Result::Cancelled) {
        (void)exchange("MES,0", 1, kCancelStopWaitMs);
        m_record.drainPending = true;
        return Result::Cancelled;
    }
    if (r != Result::Ok) return r;
    return sp::checkReply(reply());
}

Result DisplaySpectrometerDriver::stopMeasurement(const Poll& poll) {
    m_record.clock->sleepMs(kStopPauseMs);
    const Result r = exchange("MES,0", 1, kMeasureWaitMs, poll, serial::IdleStop::MinusOneStops);
    if (r == Result::Cancelled) {
        m_record.drainPending = true;
        return r;
    }
    m_record.clock->sleepMs(kStopPauseMs);
    if (r != Result::Ok) return r;
    return sp::checkReply(reply());
}

Result DisplaySpectrometerDriver::learn(const Poll& poll) {
    if (const Result r = startMeasurement(1, poll); r != Result::Ok) return r;
    // The stop's reply replaces the measurement's in the buffer.
    const std::string learnedReply(reply());
    const bool cancelled = stops(poll);
    const Result stopped = stopMeasurement(poll);
    // The measurement's end may have come before the stop's reply, which then still waits:
    // neither may answer the next command.
    m_record.drainPending = true;
    if (cancelled || stopped == Result::Cancelled) return Result::Cancelled;
    if (stopped != Result::Ok) return stopped;
    const auto learned = sp::learnedTime(learnedReply);
    if (!learned) return Result::CommunicationError;
    if (stops(poll)) return Result::Cancelled;
    if (*learned > m_record.integrationTime)
        return exchangeChecked(sp::integrationCommand(3, m_record.integrationTime), 1);
    return Result::Ok;
}

Result DisplaySpectrometerDriver::measurementStep(const Poll& poll) {
    if (stops(poll)) return Result::Cancelled;
    if (const Result r = exchangeChecked(sp::integrationCommand(0), 1, poll); r != Result::Ok)
        return r;
    if (stops(poll)) return Result::Cancelled;
    switch (m_record.integrationMode) {
        case 0:
            break;
        case 3:
            if (const Result r =
                    exchangeChecked(sp::integrationCommand(3, m_record.integrationTime), 1);
                r != Result::Ok)
                return r;
            break;
        case 4:
            if (const Result r = learn(poll); r != Result::Ok) return r;
            break;
        default:
            return Result::OutOfRange;
    }
    if (stops(poll)) return Result::Cancelled;
    return startMeasurement(2, poll);
}

Result DisplaySpectrometerDriver::requestData(bool colour, const Poll& poll) {
    if (stops(poll)) return Result::Cancelled;
    if (const Result r = measurementStep(poll); r != Result::Ok) return r;
    if (stops(poll)) return Result::Cancelled;
    const auto index = sp::observerIndex(m_record.observer);
    if (!index) return Result::BadObserver;
    if (const Result r = exchangeChecked(sp::dataRequest(colour, *index), 1, poll); r != Result::Ok)
        return r;
    return stops(poll) ? Result::Cancelled : Result::Ok;
}

Result DisplaySpectrometerDriver::readValues(const ReadRequest&, Progress& progress,
                                             void* records) {
    auto& record = *static_cast<ColorantRecord*>(records);
    const Poll poll = serial::callbackOf(progress);
    if (const Result r = requestData(true, poll); r != Result::Ok) return r;
    if (const Result r = exchangeChecked("&", 2, poll, true); r != Result::Ok) return r;
    if (stops(poll)) return Result::Cancelled;
    std::array<double, 9> n{};
    if (!sp::readNumbers(reply(), n)) return Result::CommunicationError;
    switch (m_record.colorSpace) {
        case METERIO_CS_XYZ:
            record.values[0] = n[2] * 0.01;
            record.values[1] = n[3] * 0.01;
            record.values[2] = n[4] * 0.01;
            break;
        case METERIO_CS_YXY:
            record.values[0] = n[3] * 0.01;
            record.values[1] = n[5];
            record.values[2] = n[6];
            break;
        case METERIO_CS_LUV:
            record.values[0] = n[1];
            record.values[1] = n[7];
            record.values[2] = n[8];
            break;
        default:
            return Result::BadColorSpace;
    }
    return Result::Ok;
}

Result DisplaySpectrometerDriver::readSpectra(const ReadRequest&, Progress& progress,
                                              SpectrumRecord* spectrum) {
    const Poll poll = serial::callbackOf(progress);
    if (const Result r = requestData(false, poll); r != Result::Ok) return r;
    std::array<double, sp::kSpectrumValues> values{};
    for (std::size_t block = 0; block < sp::kBlocks; ++block) {
        if (const Result r = exchangeChecked("&", 2, poll, true); r != Result::Ok) return r;
        (void)progress.report(kSerialReplyWait);
        const std::size_t count = block + 1 < sp::kBlocks ? sp::kBlockValues : sp::kLastBlockValues;
        if (!sp::readNumbers(reply(), {values.data() + block * sp::kBlockValues, count}))
            return Result::CommunicationError;
    }
    if (stops(poll)) return Result::Cancelled;
    spectrum->start = 380;
    spectrum->interval = 1;
    spectrum->count = sp::kSpectrumValues;
    std::copy(values.begin(), values.end(), spectrum->values);
    return Result::Ok;
}

Result DisplaySpectrometerDriver::setParams(const MeasureParams& params) {
    if (!sp::observerIndex(params.observer)) return Result::BadObserver;
    if (const Result r = exchangeChecked("STR", 1); r != Result::Ok) return r;
    if (!sp::stateObserverIndex(reply())) return Result::CommunicationError;
    if (params.densityStandard != 4) return Result::BadDensityStandard;
    if (params.illumination != 6) return Result::BadIllumination;
    if (params.colorSpace != METERIO_CS_LUV && params.colorSpace != METERIO_CS_XYZ &&
        params.colorSpace != METERIO_CS_YXY)
        return Result::BadColorSpace;
    // Stored whatever the instrument reports: data requests ask for this observer.
    m_record.observer = params.observer;
    m_record.colorSpace = params.colorSpace;
    return Result::Ok;
}

Result DisplaySpectrometerDriver::getParams(MeasureParams& params) {
    if (const Result r = exchangeChecked("STR", 1); r != Result::Ok) return r;
    if (!sp::stateFlag(reply())) return Result::GeneralFailure;
    const auto index = sp::stateObserverIndex(reply());
    if (!index || *index > 1) return Result::GeneralFailure;
    params = MeasureParams{4, 6, *index == 0 ? 2u : 10u, m_record.colorSpace};
    return Result::Ok;
}

Result DisplaySpectrometerDriver::setParamsEx(const void* params) {
    IntegrationRecord record;
    std::memcpy(&record, params, sizeof record);
    // NaN fails both comparisons.
    if (!(record.timeSeconds >= kShortestTime && record.timeSeconds <= kLongestTime))
        return Result::OutOfRange;
    if (record.mode != 0 && record.mode != 3 && record.mode != 4) return Result::OutOfRange;
    m_record.integrationTime = record.timeSeconds;
    m_record.integrationMode = record.mode;
    return Result::Ok;
}

Result DisplaySpectrometerDriver::getParamsEx(void* params) {
    IntegrationRecord record{};
    record.timeSeconds = m_record.integrationTime;
    record.mode = m_record.integrationMode;
    std::memcpy(params, &record, sizeof record);
    return Result::Ok;
}

}  // namespace

std::unique_ptr<Driver> makeDisplaySpectrometerDriver() {
    return makeDisplaySpectrometerDriver(platform::systemClock(), &serial::SerialOpen);
}

std::unique_ptr<Driver> makeDisplaySpectrometerDriver(platform::Clock& clock,
                                                      serial::PortOpener openPort) {
    return std::make_unique<DisplaySpectrometerDriver>(clock, std::move(openPort));
}

}  // namespace meterio
