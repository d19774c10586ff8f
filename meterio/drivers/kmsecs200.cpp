// USB display instrument: binding, remote mode and start-up settings, colour measurements with
// their "still measuring" retries, parameters, identity and speed setting, all as CR LF commands
// moved by Kmsecs200.dll.
#include "meterio/drivers/kmsecs200.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "meterio32.h"
#include "platform/module.h"

namespace meterio {
namespace {

constexpr std::int32_t kIndex = 0;  // the one attached instrument
constexpr std::uint32_t kSettleMs = 500;
constexpr std::uint32_t kSliceMs = 20;

constexpr std::string_view kOkStatuses[] = {"OK00", "OK03", "OK12", "OK13"};
constexpr std::string_view kNotReadyStatuses[] = {"ER01", "ER02", "ER03", "ER05", "ER06", "ER08",
                                                  "ER09", "ER10", "ER11", "ER14", "ER15", "ER16",
                                                  "ER21", "ER22", "ER23", "ER27", "ER30"};
constexpr std::string_view kStillMeasuring = "ER02";

// Sent in this order after remote mode is on.
constexpr std::string_view kStartupCommands[] = {"BLS,0", "FSS,0", "LNS,0",   "SCS,0,    0",
                                                 "CSS,3", "OBS,0", "SPS,1, 0"};

// Where replies carry their values.
constexpr std::size_t kNumberAt = 5;      // after the status and one separator
constexpr std::size_t kSpeedValueAt = 7;  // second number of "SPR"
constexpr std::size_t kModelAt = 5;       // eight characters of "IDR"
constexpr std::size_t kFirstNumberAt = 14;
constexpr std::size_t kSecondNumberAt = 18;
constexpr std::size_t kTripleAt = 27;  // the three values of "MDR"
constexpr std::string_view kModel = "1892-100";

constexpr MeasureParams kFixedParams{4, 6, 2, METERIO_CS_XYZ};  // ANSI T and D65 only

bool deadlinePassed(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) > 0;
}

void skipBlanks(std::string_view& s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
}

// The unsigned number at `pos` after optional blanks.
std::optional<std::uint32_t> unsignedAt(std::string_view reply, std::size_t pos) {
    if (pos >= reply.size()) return std::nullopt;
    std::string_view s = reply.substr(pos);
    skipBlanks(s);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc()) return std::nullopt;
    return value;
}

// A finite decimal number after optional blanks; advances `s`.
std::optional<double> takeReal(std::string_view& s) {
    skipBlanks(s);
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    s.remove_prefix(static_cast<std::size_t>(end - s.data()));
    return value;
}

// Number, separator, number, separator, number.
std::optional<std::array<double, 3>> tripleAt(std::string_view reply, std::size_t pos) {
    if (pos >= reply.size()) return std::nullopt;
    std::string_view s = reply.substr(pos);
    std::array<double, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            if (s.empty()) return std::nullopt;
            s.remove_prefix(1);
        }
        const std::optional<double> v = takeReal(s);
        if (!v) return std::nullopt;
        values[i] = *v;
    }
    return values;
}

class KmsecsDriver final : public Driver {
public:
    explicit KmsecsDriver(platform::Clock& clock) : m_clock(clock) {}
    KmsecsDriver(const KmsecsApi& api, platform::Clock& clock)
        : m_clock(clock), m_api(api), m_ownApi(true) {}

    Result bind() override {
        if (m_ownApi) return Result::Ok;
        if (!m_module.load("Kmsecs200.dll")) return Result::LibraryNotLoaded;
        KmsecsApi api;
        const bool all = m_module.resolve("int_usb", api.intUsb) &&
                         m_module.resolve("end_usb", api.endUsb) &&
                         m_module.resolve("write64_usb", api.write64Usb) &&
                         m_module.resolve("read64_usb", api.read64Usb) &&
                         m_module.resolve("get_num", api.getNum);
        if (!all) {
            (void)m_module.unload();
            return Result::EntryPointMissing;
        }
        m_api = api;
        return Result::Ok;
    }

    Result releaseLibrary() override {
        if (m_ownApi) return Result::Ok;
        m_api = {};
        return m_module.unload() ? Result::Ok : Result::GeneralFailure;
    }

    Result open(const OpenArgs&, Progress& progress) override {
        if (!bound()) return Result::GeneralFailure;
        if (stops(progress)) return Result::Cancelled;
        const std::int32_t count = m_api.getNum();
        if (count == 0) return Result::NoInstrument;
        if (count != 1) return Result::CommunicationError;
        if (stops(progress)) return Result::Cancelled;
        if (const Result r = mapKmsecsLinkCode(m_api.intUsb(kIndex)); r != Result::Ok) return r;
        m_index = kIndex;
        m_colorSpace = kFixedParams.colorSpace;
        m_observer = kFixedParams.observer;
        m_speed = {1, 0};
        clearReply();
        m_clock.sleepMs(kSettleMs);
        // A cancel counts as a failure: the instrument is left neither open nor in remote mode.
        if (const Result r = startRemote(progress); r != Result::Ok) {
            (void)remoteOff();
            (void)m_api.endUsb(m_index);
            return r;
        }
        return Result::Ok;
    }

    // Remote mode is left whatever happens; the result is that of closing the instrument.
    Result close() override {
        if (!bound()) return Result::GeneralFailure;
        (void)remoteOff();
        return mapKmsecsLinkCode(m_api.endUsb(m_index));
    }

    Result readValues(const ReadRequest& request, Progress& progress, void* records) override {
        if (!bound() || request.kind != kReadColorant) return Result::GeneralFailure;
        const std::string_view data = m_colorSpace == METERIO_CS_XYZ   ? "MDR,3"
                                      : m_colorSpace == METERIO_CS_LUV ? "MDR,1"
                                                                       : "";
        if (data.empty()) return Result::BadColorSpace;
        const std::uint32_t deadline = m_clock.tickMs() + kKmsecsMeasureTimeoutMs;
        if (stops(progress)) return Result::Cancelled;
        if (const Result r = exchange("MES,1"); r != Result::Ok) return r;
        if (stops(progress)) return stopMeasurement();
        for (;;) {
            const Result r = exchange(data);
            if (r == Result::Ok) break;
            if (!m_text.starts_with(kStillMeasuring) || deadlinePassed(m_clock.tickMs(), deadline))
                return r;
            if (!pauseBeforeRetry(progress)) return stopMeasurement();
        }
        if (stops(progress)) return Result::Cancelled;
        const auto values = tripleAt(m_text, kTripleAt);
        if (!values) return Result::CommunicationError;
        // XYZ arrives in hundredths.
        const double scale = m_colorSpace == METERIO_CS_XYZ ? 0.01 : 1.0;
        double* out = static_cast<ColorantRecord*>(records)->values;
        for (std::size_t i = 0; i < values->size(); ++i)
            out[i] = (*values)[i] * scale;
        return Result::Ok;
    }

    Result setParams(const MeasureParams& params) override {
        if (!bound()) return Result::GeneralFailure;
        if (params.densityStandard != kFixedParams.densityStandard)
            return Result::BadDensityStandard;
        if (params.illumination != kFixedParams.illumination) return Result::BadIllumination;
        const std::string_view observer = params.observer == 2    ? "OBS,0"
                                          : params.observer == 10 ? "OBS,1"
                                                                  : "";
        if (observer.empty()) return Result::BadObserver;
        const std::string_view colorSpace = params.colorSpace == METERIO_CS_LUV   ? "CSS,1"
                                            : params.colorSpace == METERIO_CS_XYZ ? "CSS,3"
                                                                                  : "";
        if (colorSpace.empty()) return Result::BadColorSpace;
        if (const Result r = exchange(observer); r != Result::Ok) return r;
        m_observer = params.observer;
        if (const Result r = exchange(colorSpace); r != Result::Ok) return r;
        m_colorSpace = params.colorSpace;
        return Result::Ok;
    }

    Result getParams(MeasureParams& params) override {
        if (!bound()) return Result::GeneralFailure;
        params.densityStandard = kFixedParams.densityStandard;
        params.illumination = kFixedParams.illumination;
        if (const Result r = exchange("OBR"); r != Result::Ok) return r;
        const std::optional<std::uint32_t> observer = unsignedAt(m_text, kNumberAt);
        if (!observer) return Result::CommunicationError;
        if (*observer > 1) return Result::GeneralFailure;
        params.observer = *observer == 0 ? 2 : 10;
        if (const Result r = exchange("CSR"); r != Result::Ok) return r;
        const std::optional<std::uint32_t> colorSpace = unsignedAt(m_text, kNumberAt);
        if (!colorSpace) return Result::CommunicationError;
        switch (*colorSpace) {
            case 1:
                params.colorSpace = METERIO_CS_LUV;
                return Result::Ok;
            case 3:
                params.colorSpace = METERIO_CS_XYZ;
                return Result::Ok;
            case 0:
            case 2:
            case 4:
                return Result::BadColorSpace;  // spaces the instrument has but this driver not
            default:
                return Result::GeneralFailure;
        }
    }

    Result getInfo(DeviceInfo& info) override {
        if (!bound()) return Result::GeneralFailure;
        if (const Result r = exchange("IDR"); r != Result::Ok) return r;
        if (m_text.substr(std::min(kModelAt, m_text.size()), kModel.size()) != kModel)
            return Result::CommunicationError;
        const std::optional<std::uint32_t> first = unsignedAt(m_text, kFirstNumberAt);
        const std::optional<std::uint32_t> second = unsignedAt(m_text, kSecondNumberAt);
        if (!first || !second) return Result::CommunicationError;
        UsbInstrumentInfo view;
        std::memcpy(&view, info.bytes, sizeof view);
        std::memcpy(view.model, kModel.data(), sizeof view.model);
        view.firstNumber = *first;
        view.secondNumber = *second;
        std::memcpy(info.bytes, &view, sizeof view);
        return Result::Ok;
    }

    Result setParamsEx(const void* record) override {
        if (!bound() || record == nullptr) return Result::GeneralFailure;
        SpeedSettingRecord speed;
        std::memcpy(&speed, record, sizeof speed);
        const std::optional<std::string> command = kmsecsSpeedCommand(speed.mode, speed.value);
        if (!command) return Result::OutOfRange;
        if (const Result r = exchange(*command); r != Result::Ok) return r;
        m_speed = speed;
        return Result::Ok;
    }

    Result getParamsEx(void* record) override {
        if (!bound() || record == nullptr) return Result::GeneralFailure;
        if (const Result r = exchange("SPR"); r != Result::Ok) return r;
        const std::optional<std::uint32_t> mode = unsignedAt(m_text, kNumberAt);
        const std::optional<std::uint32_t> value = unsignedAt(m_text, kSpeedValueAt);
        if (!mode || !value) return Result::CommunicationError;
        if (!kmsecsSpeedCommand(*mode, *value)) return Result::GeneralFailure;
        const SpeedSettingRecord speed{*mode, *value};
        std::memcpy(record, &speed, sizeof speed);
        return Result::Ok;
    }

private:
    bool bound() const {
        return m_api.intUsb && m_api.endUsb && m_api.read64Usb && m_api.write64Usb && m_api.getNum;
    }

    // Only -1 cancels.
    static bool stops(Progress& progress) {
        return progress.cancels(kPollOnly, CancelRule::MinusOneOnly);
    }

    void clearReply() {
        std::memset(m_reply, 0, sizeof m_reply);
        m_text = {};
    }

    // Writes the command and reads the reply into a cleared buffer; the reply's status is not
    // judged. A count above the capacity is not trusted.
    Result transfer(std::string_view command) {
        clearReply();
        std::string line(command);
        line += "\r\n";
        if (const Result r = mapKmsecsTransferCode(
                m_api.write64Usb(m_index, line.data(), 1, static_cast<std::int32_t>(line.size())));
            r != Result::Ok)
            return r;
        const std::int32_t read =
            m_api.read64Usb(m_index, m_reply, 1, static_cast<std::int32_t>(kKmsecsReplyCapacity));
        if (const Result r = mapKmsecsTransferCode(read); r != Result::Ok) return r;
        const std::size_t count = std::min(static_cast<std::size_t>(read), kKmsecsReplyCapacity);
        m_reply[count] = '\0';
        m_text = std::string_view(m_reply, ::strnlen(m_reply, count));
        return Result::Ok;
    }

    Result exchange(std::string_view command) {
        if (const Result r = transfer(command); r != Result::Ok) return r;
        return mapKmsecsStatus(m_text);
    }

    Result startRemote(Progress& progress) {
        if (stops(progress)) return Result::Cancelled;
        if (const Result r = transfer("RMT,1"); r != Result::Ok) return r;
        if (stops(progress)) return Result::Cancelled;
        if (const Result r = mapKmsecsStatus(m_text); r != Result::Ok) return r;
        if (stops(progress)) return Result::Cancelled;
        for (std::size_t i = 0; i < std::size(kStartupCommands); ++i) {
            if (i > 0 && stops(progress)) return Result::Cancelled;
            if (const Result r = exchange(kStartupCommands[i]); r != Result::Ok) return r;
        }
        return Result::Ok;
    }

    // A running measurement ("ER02") is stopped before remote mode is left again.
    Result remoteOff() {
        if (const Result r = transfer("RMT,0"); r != Result::Ok) return r;
        if (!m_text.starts_with(kStillMeasuring)) return mapKmsecsStatus(m_text);
        (void)exchange("MES,0");
        return exchange("RMT,0");
    }

    Result stopMeasurement() {
        (void)exchange("MES,0");
        return Result::Cancelled;
    }

    // One retry period in short sleeps with the callback between them; false when cancelled.
    bool pauseBeforeRetry(Progress& progress) {
        for (std::uint32_t slept = 0; slept < kKmsecsRetryMs; slept += kSliceMs) {
            if (stops(progress)) return false;
            m_clock.sleepMs(kSliceMs);
        }
        return true;
    }

    platform::Clock& m_clock;
    platform::Module m_module;
    KmsecsApi m_api;
    bool m_ownApi = false;  // entry points given by the creator, no vendor library
    std::int32_t m_index = kIndex;
    std::uint32_t m_colorSpace = kFixedParams.colorSpace;
    std::uint32_t m_observer = kFixedParams.observer;
    SpeedSettingRecord m_speed{1, 0};
    char m_reply[kKmsecsReplyCapacity + 1] = {};
    std::string_view m_text;  // the reply as text, within m_reply
};

}  // namespace

Result mapKmsecsLinkCode(std::int32_t code) {
    if (code == 0) return Result::Ok;
    if (code == -1) return Result::OutOfRange;
    if (code == -2) return Result::NoInstrument;
    if (code >= -6 && code <= -3) return Result::CommunicationError;
    return Result::GeneralFailure;
}

Result mapKmsecsTransferCode(std::int32_t code) {
    if (code >= 0) return Result::Ok;
    if (code == -1) return Result::OutOfRange;
    if (code == -2 || code == -3) return Result::CommunicationError;
    return Result::GeneralFailure;
}

Result mapKmsecsStatus(std::string_view reply) {
    if (reply.size() < 4) return Result::GeneralFailure;
    const std::string_view status = reply.substr(0, 4);
    const auto in = [&](const auto& list) {
        return std::find(std::begin(list), std::end(list), status) != std::end(list);
    };
    if (in(kOkStatuses)) return Result::Ok;
    if (in(kNotReadyStatuses)) return Result::NotCompleted;
    return Result::GeneralFailure;
}

std::optional<std::string> kmsecsSpeedCommand(std::uint32_t mode, std::uint32_t value) {
    const bool accepted = mode <= 4 ? value == 0 : mode == 5 && value >= 1 && value <= 60;
    if (!accepted) return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "SPS,%u,%2u", mode, value);
    return std::string(text);
}

std::unique_ptr<Driver> makeKmsecsDriver() {
    return std::make_unique<KmsecsDriver>(platform::systemClock());
}

std::unique_ptr<Driver> makeKmsecsDriver(platform::Clock& clock) {
    return std::make_unique<KmsecsDriver>(clock);
}

std::unique_ptr<Driver> makeKmsecsDriver(const KmsecsApi& api, platform::Clock& clock) {
    return std::make_unique<KmsecsDriver>(api, clock);
}

}  // namespace meterio
