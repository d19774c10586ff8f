// Spot measuring head on a serial line: line protocol operations and the spot-family driver.
#include "meterio/drivers/spot_head.h"

#include <cstring>
#include <string>

#include "meterio/serial/line_session.h"
#include "meterio/serial/spot_protocol.h"

namespace meterio {
namespace {

namespace spot = serial::spot;

using serial::line::copyCodes;
using serial::line::drain;
using serial::line::exchange;
using serial::line::kCapacity;
using serial::line::kReplyTimeoutMs;
using serial::line::kShortCapacity;  // key polling and condition reading
using serial::line::parse;
using serial::line::replyText;
using serial::line::request;
using serial::line::requestTolerant;
using serial::line::stops;

constexpr std::uint32_t kProbeReplyMs = 400;
// Key polls start about this far apart; the exchange itself counts toward it.
constexpr std::uint32_t kKeyPollMs = 20;

// Reply numbers.
constexpr std::uint32_t kConditionReply = 11;
constexpr std::uint32_t kKeyReply = 19;
constexpr std::uint32_t kStatusReply = 31;
constexpr std::uint32_t kStartReply = 37;
constexpr std::uint32_t kProductionReply = 49;
constexpr std::uint32_t kIdentityReply = 182;
constexpr std::uint32_t kSpectralReply = 185;
constexpr std::uint32_t kColorimetricReply = 187;
constexpr std::uint32_t kDensityReply = 189;

// Fixed values of the measurement replies.
constexpr std::uint32_t kResultTag = 9;
constexpr std::uint32_t kResultMode = 2;
constexpr std::uint32_t kMeasurementFailed = 128;

// Reads the conditions and stores the head state.
Result refreshHeadState(SpotHeadRecord& record, std::string_view command) {
    spot::ReplyFields fields;
    if (const Result r = request(record, command, kConditionReply, spot::kConditionFormat, fields);
        r != Result::Ok)
        return r;
    const auto state = spot::headState(fields.u(5));
    if (!state) return Result::GeneralFailure;
    record.headState = *state;
    return Result::Ok;
}

bool deadlinePassed(std::uint32_t deadline, std::uint32_t now) {
    return static_cast<std::int32_t>(now - deadline) > 0;
}

// Key polling shared by both waits; `wanted` nullopt means "pressed" with a pressed flag.
Result pollKey(SpotHeadRecord& record, std::uint32_t timeoutMs, std::int32_t callbackValue,
               std::uint32_t wantedState, const serial::Callback& poll, std::uint8_t* pressed) {
    const std::uint32_t deadline = record.clock->tickMs() + timeoutMs;
    std::uint32_t pollStart = record.clock->tickMs();
    for (;;) {
        spot::ReplyFields fields;
        if (const Result r = requestTolerant(record, spot::kKeyState, kKeyReply,
                                             spot::kStatusFormat, fields, kShortCapacity, poll);
            r != Result::Ok)
            return r;
        if (fields.u(1) == wantedState) {
            if (pressed) *pressed = 1;
            return Result::Ok;
        }
        if (stops(poll, callbackValue)) {
            if (pressed) *pressed = 0;
            return Result::Cancelled;
        }
        if (timeoutMs != kNoTimeout && deadlinePassed(deadline, record.clock->tickMs())) {
            if (pressed) *pressed = 0;
            return Result::NotCompleted;
        }
        // Design note: a pause between polls, where polling back to back would keep a fast
        // head and a processor core busy for as long as the user waits.
        const std::uint32_t spent = record.clock->tickMs() - pollStart;
        if (spent < kKeyPollMs) record.clock->sleepMs(kKeyPollMs - spent);
        pollStart = record.clock->tickMs();
    }
}

// Judges the fixed fields and status of a measurement reply.
Result judgeResult(std::uint32_t tag, std::uint32_t mode, std::uint32_t status) {
    if (status == kMeasurementFailed) return Result::MeasurementError;
    if (tag != kResultTag || mode != kResultMode || status != 0) return Result::NotCompleted;
    return Result::Ok;
}

}  // namespace

Result SpotHeadProbe(SpotHeadRecord& record, std::string_view portName, std::uint32_t baudRate,
                     const serial::Callback& poll, serial::Port& port) {
    record.reply.fill(0);
    if (const Result r = serial::SerialOpenForProbe(portName, serial::LineProfile::SpotHead,
                                                    baudRate, poll, port);
        r != Result::Ok)
        return r;
    const auto fail = [&](Result r) {
        serial::SerialClose(port);
        return r;
    };
    if (serial::SerialExchange(*port, spot::kIdentify, {}, 0, kCapacity, record.reply.data(),
                               kReplyTimeoutMs, 0, {}, *record.clock) != Result::Ok)
        return fail(Result::CommunicationError);
    (void)serial::SerialExchange(*port, {}, spot::kLineEnd, 1, kCapacity, record.reply.data(),
                                 kProbeReplyMs, 0, {}, *record.clock);
    const std::string_view text = replyText(record, kCapacity);
    if (text.find(spot::kLineEnd) == std::string_view::npos) return fail(Result::NoInstrument);
    spot::ReplyFields fields;
    if (parse(record, kCapacity, kIdentityReply, spot::kIdentityFormat, fields) != Result::Ok)
        return fail(Result::CommunicationError);
    if (fields.u(19) != kSpotHeadCode) return fail(Result::NoInstrument);
    if (stops(poll, -1)) return fail(Result::Cancelled);
    return Result::Ok;
}

Result SpotHeadOpen(SpotHeadRecord& record, std::string_view portName, std::uint32_t baudRate,
                    const serial::Callback& poll) {
    const serial::Probe probe = [&record](std::string_view name, std::uint32_t rate,
                                          const serial::Callback& p, serial::Port& port) {
        return SpotHeadProbe(record, name, rate, p, port);
    };
    if (const Result r = serial::SerialFindInstrument(record, portName, baudRate, poll, probe);
        r != Result::Ok)
        return r;
    const auto fail = [&](Result r) {
        serial::SerialClose(record.port);
        return r;
    };
    spot::ReplyFields fields;
    for (const std::string_view command : {spot::kInitialise, spot::kReflectanceMode}) {
        if (const Result r = request(record, command, kStatusReply, spot::kStatusFormat, fields);
            r != Result::Ok)
            return fail(r);
        if (fields.u(1) != 0) return fail(Result::CommunicationError);
        if (stops(poll, -1)) return fail(Result::Cancelled);
    }
    if (const Result r = refreshHeadState(record, spot::kReadConditions); r != Result::Ok)
        return fail(r);
    return Result::Ok;
}

Result SpotHeadClose(SpotHeadRecord& record) {
    return serial::SerialClose(record.port) ? Result::Ok : Result::GeneralFailure;
}

Result SpotHeadCalibrate(SpotHeadRecord& record, std::int32_t whiteStep, std::int32_t secondStep,
                         const serial::Callback& poll) {
    record.reply.fill(0);
    if (stops(poll, 0)) return Result::Cancelled;
    if (const Result r = drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (stops(poll, 0)) return Result::Cancelled;

    spot::ReplyFields fields;
    if (const Result r = request(record, spot::kReflectanceMode, kStatusReply, spot::kStatusFormat,
                                 fields, kCapacity, poll);
        r != Result::Ok)
        return r;
    if (fields.u(1) != 0) return Result::NotCompleted;

    if (const Result r = SpotHeadWaitKey(record, kNoTimeout, 0, poll, nullptr); r != Result::Ok)
        return r;
    if (stops(poll, 1000)) return Result::Cancelled;

    if (whiteStep == -1) {
        if (const Result r = requestTolerant(record, spot::kCalibrateWhite, kStartReply,
                                             spot::kStatusFormat, fields, kCapacity, poll);
            r != Result::Ok)
            return r;
        const std::uint32_t status = fields.u(1);
        if (status == 55) return Result::NotCompleted;
        if (status != 0 && status != 19) return Result::CommunicationError;
        if (stops(poll, 5000)) return Result::Cancelled;
    }

    if (secondStep == -1) {
        if (const Result r = exchange(record, spot::kReadConditionsBlank, kCapacity, poll);
            r != Result::Ok)
            return r;
        const std::string_view text = replyText(record, kCapacity);
        if (!spot::CheckReplyNumber(kConditionReply, text.size(), text.data()))
            return Result::NotCompleted;
        fields = spot::scanReply(text, kConditionReply, spot::kConditionFormat);
        if (fields.count != spot::kConditionFormat.size()) return Result::CommunicationError;
        const auto state = spot::headState(fields.u(5));
        if (!state) return Result::GeneralFailure;
        record.headState = *state;
        if (record.headState != 1) return Result::CommunicationError;

        if (const Result r = request(record, spot::kSecondStepMode, kStatusReply,
                                     spot::kStatusFormat, fields, kCapacity, poll);
            r != Result::Ok)
            return r;
        if (fields.u(1) != 0) return Result::NotCompleted;

        if (const Result r = requestTolerant(record, spot::kCalibrateSecond, kStartReply,
                                             spot::kStatusFormat, fields, kCapacity, poll);
            r != Result::Ok)
            return r;
        if (fields.u(1) != 0 && fields.u(1) != 52) return Result::NotCompleted;
    }

    if (const Result r = refreshHeadState(record, spot::kReadConditions); r != Result::Ok) return r;
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result SpotHeadSetConditions(SpotHeadRecord& record, const SpotConditions& conditions) {
    record.reply.fill(0);
    if (const Result r = drain(record, Result::CommunicationError); r != Result::Ok) return r;
    if (const Result r = exchange(record, spot::kReadConditions, kCapacity, {}); r != Result::Ok)
        return r;
    const std::string_view text = replyText(record, kCapacity);
    if (!spot::CheckReplyNumber(kConditionReply, text.size(), text.data()) ||
        text.substr(0, 5) != ": 11 ")
        return Result::CommunicationError;
    // The flag is read where it stands when the first field has one digit.
    std::uint32_t flag = 0;
    if (text.size() <= 7) return Result::GeneralFailure;
    if (text[7] == '0')
        flag = 0;
    else if (text[7] == '1')
        flag = 1;
    else
        return Result::GeneralFailure;

    const auto density = spot::densityToHead(conditions.densityStandard);
    if (!density) return Result::BadDensityStandard;
    const auto illuminant = spot::illuminantToHead(conditions.illumination);
    if (!illuminant) return Result::BadIllumination;
    const auto observer = spot::observerToHead(conditions.observer);
    if (!observer) return Result::BadObserver;

    spot::ReplyFields fields;
    if (const Result r =
            request(record, spot::conditionCommand(*density, flag, *illuminant, *observer),
                    kStatusReply, spot::kStatusFormat, fields);
        r != Result::Ok)
        return r;
    if (fields.u(1) != 0) return Result::CommunicationError;
    if (!spot::colorSpaceToHead(conditions.colorSpace)) return Result::BadColorSpace;
    record.colorSpace = conditions.colorSpace;
    return Result::Ok;
}

Result SpotHeadGetConditions(SpotHeadRecord& record, SpotConditions& conditions) {
    if (const Result r = drain(record, Result::CommunicationError); r != Result::Ok) return r;
    spot::ReplyFields fields;
    if (const Result r =
            request(record, spot::kReadConditions, kConditionReply, "uuuu", fields, kShortCapacity);
        r != Result::Ok)
        return r;
    const auto density = spot::densityFromHead(fields.u(1));
    const auto illuminant = spot::illuminantFromHead(fields.u(3));
    const auto observer = spot::observerFromHead(fields.u(4));
    if (!density || !illuminant || !observer) return Result::GeneralFailure;
    conditions.densityStandard = *density;
    conditions.illumination = *illuminant;
    conditions.observer = *observer;
    conditions.colorSpace = record.colorSpace;
    return Result::Ok;
}

Result SpotHeadGetInfo(SpotHeadRecord& record, SpotInfoRecord& info) {
    std::memset(&info, 0, sizeof info);
    if (const Result r = drain(record, Result::CommunicationError); r != Result::Ok) return r;
    spot::ReplyFields fields;
    if (const Result r =
            request(record, spot::kIdentify, kIdentityReply, spot::kIdentityFormat, fields);
        r != Result::Ok)
        return r;
    copyCodes(fields, 1, 18, info.model);
    info.headCode = fields.u(19);
    copyCodes(fields, 20, 8, info.secondText);
    info.number = fields.u(29) * 65536u + fields.u(28);
    const auto firmware = serial::line::versionTimes100(fields, 30, 12);
    if (!firmware) return Result::CommunicationError;
    info.firmwareVersion = *firmware;

    if (const Result r = request(record, spot::kProductionData, kProductionReply,
                                 spot::kProductionFormat, fields);
        r != Result::Ok)
        return r;
    const std::uint32_t year = fields.u(21);
    const std::uint32_t month = fields.u(22);
    const std::uint32_t day = fields.u(23);
    if (year > 65535 || month < 1 || month > 12 || day < 1 || day > 31)
        return Result::CommunicationError;
    info.year = static_cast<std::uint16_t>(year);
    info.month = static_cast<std::uint16_t>(month);
    info.day = static_cast<std::uint16_t>(day);
    info.productionValue = fields.u(26);
    info.headState = record.headState;
    return Result::Ok;
}

Result SpotHeadMeasure(SpotHeadRecord& record, std::uint32_t startMode, std::uint32_t kind,
                       const serial::Callback& poll, double* values) {
    if (stops(poll, kMeasureStart)) return Result::Cancelled;
    if (const Result r = drain(record, Result::CommunicationError); r != Result::Ok) return r;
    record.reply.fill(0);

    spot::ReplyFields fields;
    if (startMode == kStartByCommand) {
        if (const Result r = request(record, spot::kMeasure, kStartReply, spot::kStatusFormat,
                                     fields, kCapacity, poll);
            r != Result::Ok)
            return r;
        if (fields.u(1) != 0) return Result::NotCompleted;
    } else if (startMode == kStartByKey) {
        if (const Result r = SpotHeadWaitKey(record, kNoTimeout, -1, poll, nullptr);
            r != Result::Ok)
            return r;
    } else {
        return Result::GeneralFailure;
    }
    if (stops(poll, 1000)) return Result::Cancelled;
    if (kind > 2) return Result::GeneralFailure;

    if (kind == 0 || kind == 2) {
        const auto code = spot::colorSpaceToHead(record.colorSpace);
        if (!code) return Result::BadColorSpace;
        if (const Result r = request(record, spot::colorimetricCommand(*code), kColorimetricReply,
                                     spot::kColorimetricFormat, fields, kCapacity, poll);
            r != Result::Ok)
            return r;
        if (const Result r = judgeResult(fields.u(1), fields.u(9), fields.u(12)); r != Result::Ok)
            return r;
        const double a = fields.f(3), b = fields.f(4), c = fields.f(5);
        switch (record.colorSpace) {
            case METERIO_CS_XYZ:
                values[0] = a * 0.01;
                values[1] = b * 0.01;
                values[2] = c * 0.01;
                break;
            case METERIO_CS_YXY:
                values[0] = c;
                values[1] = a;
                values[2] = b;
                break;
            default:
                values[0] = a;
                values[1] = b;
                values[2] = c;
                break;
        }
    }
    if (kind == 1 || kind == 2) {
        if (const Result r = request(record, spot::kDensityResult, kDensityReply,
                                     spot::kDensityFormat, fields, kCapacity, poll);
            r != Result::Ok)
            return r;
        if (const Result r = judgeResult(fields.u(1), fields.u(10), fields.u(12)); r != Result::Ok)
            return r;
        double* out = kind == 1 ? values : values + 4;
        out[0] = fields.f(3);
        out[1] = fields.f(4);
        out[2] = fields.f(5);
        out[3] = fields.f(2);
    }
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result SpotHeadMeasureSpectrum(SpotHeadRecord& record, std::uint32_t startMode,
                               const serial::Callback& poll, SpectrumRecord& spectrum) {
    if (const Result r = drain(record, Result::NotCompleted); r != Result::Ok) return r;
    record.reply.fill(0);
    if (stops(poll, kMeasureStart)) return Result::Cancelled;
    if (startMode != kStartByCommand && startMode != kStartByKey) return Result::GeneralFailure;
    if (startMode == kStartByKey) {
        if (const Result r = SpotHeadWaitKey(record, kNoTimeout, 0, poll, nullptr); r != Result::Ok)
            return r;
        if (stops(poll, 1000)) return Result::Cancelled;
    }
    spot::ReplyFields fields;
    if (const Result r = request(record, spot::kMeasure, kStartReply, spot::kStatusFormat, fields,
                                 kCapacity, poll);
        r != Result::Ok)
        return r;
    if (fields.u(1) != 0) return Result::NotCompleted;
    if (stops(poll, 1000)) return Result::Cancelled;

    if (const Result r = request(record, spot::kSpectralResult, kSpectralReply,
                                 spot::kSpectralFormat, fields, kCapacity, poll);
        r != Result::Ok)
        return r;
    if (fields.u(1) != kResultTag || fields.u(42) != kResultMode || fields.u(43) != 0)
        return Result::NotCompleted;
    spectrum.start = 380;
    spectrum.interval = 10;
    spectrum.count = 36;
    const double scale = startMode == kStartByCommand ? 0.01 : 1.0;
    for (std::size_t i = 0; i < 36; ++i)
        spectrum.values[i] = fields.f(3 + i) * scale;
    return stops(poll, kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result SpotHeadWaitKey(SpotHeadRecord& record, std::uint32_t timeoutMs, std::int32_t callbackValue,
                       const serial::Callback& poll, std::uint8_t* pressed) {
    return pollKey(record, timeoutMs, callbackValue, 1, poll, pressed);
}

Result SpotHeadWaitKeyState(SpotHeadRecord& record, std::uint32_t timeoutMs,
                            std::int32_t callbackValue, std::uint8_t wantedState,
                            const serial::Callback& poll) {
    if (wantedState > 1) return Result::GeneralFailure;
    return pollKey(record, timeoutMs, callbackValue, wantedState, poll, nullptr);
}

namespace {

class SpotHeadDriver final : public Driver {
public:
    Result open(const OpenArgs& args, Progress& progress) override {
        if (args.portName.size() >= serial::kPortNameSize) return Result::GeneralFailure;
        return SpotHeadOpen(m_record, args.portName, args.baudRate, serial::callbackOf(progress));
    }

    Result close() override { return SpotHeadClose(m_record); }

    Result calibrateWhite(const CalibrateRequest& request, Progress& progress) override {
        return SpotHeadCalibrate(m_record, request.whiteStep, request.secondStep,
                                 serial::callbackOf(progress));
    }

    Result setParams(const MeasureParams& params) override {
        return SpotHeadSetConditions(m_record, params);
    }

    Result getParams(MeasureParams& params) override {
        return SpotHeadGetConditions(m_record, params);
    }

    Result getInfo(DeviceInfo& info) override {
        SpotInfoRecord record;
        const Result r = SpotHeadGetInfo(m_record, record);
        std::memcpy(info.bytes, &record, sizeof record);
        return r;
    }

    Result readValues(const ReadRequest& request, Progress& progress, void* records) override {
        return SpotHeadMeasure(m_record, request.mode, request.kind, serial::callbackOf(progress),
                               static_cast<double*>(records));
    }

    Result readSpectra(const ReadRequest& request, Progress& progress,
                       SpectrumRecord* spectrum) override {
        return SpotHeadMeasureSpectrum(m_record, request.mode, serial::callbackOf(progress),
                                       *spectrum);
    }

    Result waitForKey(const WaitRequest& request, Progress& progress,
                      std::uint8_t* pressed) override {
        return SpotHeadWaitKey(m_record, request.timeoutMs, request.callbackValue,
                               serial::callbackOf(progress), pressed);
    }

    Result waitForKeyState(const WaitRequest& request, Progress& progress) override {
        return SpotHeadWaitKeyState(m_record, request.timeoutMs, request.callbackValue,
                                    request.mode, serial::callbackOf(progress));
    }

private:
    SpotHeadRecord m_record;
};

}  // namespace

std::unique_ptr<Driver> makeSpotHeadDriver() {
    return std::make_unique<SpotHeadDriver>();
}

}  // namespace meterio
