// CSCMTLib instrument: binding, port search, calibrations, reads with conversion, parameters,
// information and button waits through the vendor library.
#include "meterio/drivers/cscmtlib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

#include "meterio/serial/port.h"
#include "platform/clock.h"
#include "platform/module.h"

namespace meterio {
namespace {

struct CodeMap {
    std::initializer_list<std::int32_t> codes;
    Result result;
};

Result lookup(std::int32_t code, std::initializer_list<CodeMap> rows) {
    if (code == 0) return Result::Ok;
    for (const auto& row : rows)
        if (std::find(row.codes.begin(), row.codes.end(), code) != row.codes.end())
            return row.result;
    return Result::GeneralFailure;
}

constexpr std::uint32_t kObserverMask = 0xF0000000u;
constexpr std::uint32_t kIlluminationMask = 0x0000FFFFu;
constexpr std::uint32_t kButtonTimeoutMs = 30000;
constexpr std::uint32_t kPollMs = 20;
constexpr std::size_t kModelTextBytes = 50;
constexpr std::int32_t kColorData = 2;
constexpr std::int32_t kDensityData = 4;
constexpr std::int32_t kConvertKind = 2;

// Library illumination value and vendor code, in both directions.
constexpr std::pair<std::uint32_t, std::uint32_t> kIlluminations[] = {
    {1, 1}, {3, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {18, 7}, {23, 8}, {27, 9}, {28, 10}};

// The information record of this instrument.
struct CscmtlibInfo {
    std::uint32_t shellColor;
    std::uint32_t unitId;
    char model[kModelTextBytes];
};
// What the caller's buffer must hold: two words and the text, without the struct's padding.
constexpr std::size_t kCscmtlibInfoBytes = offsetof(CscmtlibInfo, model) + kModelTextBytes;
static_assert(offsetof(CscmtlibInfo, model) == 8);
static_assert(kCscmtlibInfoBytes == 58);
static_assert(sizeof(CscmtlibInfo) <= sizeof(DeviceInfo));

class CscmtlibDriver final : public Driver {
public:
    explicit CscmtlibDriver(platform::Clock& clock = platform::systemClock()) : m_clock(clock) {}

    Result bind() override {
        if (!m_module.load("CSCMTLib.dll")) return Result::LibraryNotLoaded;
        const bool all = m_module.resolve("CSDOpen", m_api.open) &&
                         m_module.resolve("CSDClose", m_api.close) &&
                         m_module.resolve("CSDInit", m_api.init) &&
                         m_module.resolve("CSDSetMode", m_api.setMode) &&
                         m_module.resolve("CSDSetReflMesMode", m_api.setReflMesMode) &&
                         m_module.resolve("CSDSetMesData", m_api.setMesData) &&
                         m_module.resolve("CSDSetWhitePoint", m_api.setWhitePoint) &&
                         m_module.resolve("CSDCalibrateWhite", m_api.calibrateWhite) &&
                         m_module.resolve("CSDCalibrateBlack", m_api.calibrateBlack) &&
                         m_module.resolve("CSDMeasure", m_api.measure) &&
                         m_module.resolve("CSDButtonPressed", m_api.buttonPressed) &&
                         m_module.resolve("CSDGetWhitePoint", m_api.getWhitePoint) &&
                         m_module.resolve("CSDGetShellColor", m_api.getShellColor) &&
                         m_module.resolve("CSDGetUnitID", m_api.getUnitId) &&
                         m_module.resolve("CSDGetModelName", m_api.getModelName) &&
                         m_module.resolve("CSCCCanConvert", m_api.canConvert) &&
                         m_module.resolve("CSCCConvertMeas", m_api.convertMeas) &&
                         m_module.resolve("CSDSetAutoButtonMode", m_api.setAutoButtonMode) &&
                         m_module.resolve("CSDReset", m_api.reset);
        if (!all) {
            (void)m_module.unload();
            m_api = {};
            return Result::EntryPointMissing;
        }
        return Result::Ok;
    }

    Result releaseLibrary() override {
        m_api = {};
        return m_module.unload() ? Result::Ok : Result::GeneralFailure;
    }

    Result open(const OpenArgs& args, Progress& progress) override {
        if (!m_api.open) return Result::GeneralFailure;
        if (progress.cancels(kPollOnly)) return Result::Cancelled;
        clearWorkingFields();
        if (progress.cancels(kPollOnly)) return Result::Cancelled;
        if (m_api.open() == 0) return Result::CommunicationError;
        const auto closeWith = [&](Result r) {
            (void)m_api.close();
            return r;
        };
        if (progress.cancels(kPollOnly)) return closeWith(Result::Cancelled);

        const std::string name(args.portName);
        std::optional<std::uint32_t> number;
        if (const Result r = parseCscmtlibPort(name.c_str(), number); r != Result::Ok)
            return closeWith(r);
        std::string found = name;
        if (number) {
            const std::int32_t answer = m_api.init(0, static_cast<std::int32_t>(*number));
            if (progress.cancels(kPollOnly)) return closeWith(Result::Cancelled);
            if (const Result r = mapCscmtlibCode(CscmtlibTable::O, answer); r != Result::Ok)
                return closeWith(r);
        } else if (const Result r = searchPorts(progress, found); r != Result::Ok) {
            return closeWith(r);
        }

        if (const Result r = g(m_api.reset()); r != Result::Ok) return closeWith(r);
        if (progress.cancels(kPollOnly)) return closeWith(Result::Cancelled);
        m_portName = found;
        clearWorkingFields();
        if (progress.cancels(kPollOnly)) return closeWith(Result::Cancelled);
        if (progress.cancels(kPollOnly)) return closeWith(Result::Cancelled);
        if (setParams(MeasureParams{4, 4, 2, METERIO_CS_LAB}) != Result::Ok)
            return closeWith(Result::DeviceError);
        if (progress.cancels(kPollOnly)) return closeWith(Result::Cancelled);
        return Result::Ok;
    }

    Result close() override {
        if (!m_api.close) return Result::GeneralFailure;
        return m_api.close() == 0 ? Result::Ok : Result::GeneralFailure;
    }

    Result calibrateWhite(const CalibrateRequest&, Progress& progress) override {
        return calibrate(m_api.calibrateWhite, progress);
    }

    Result calibrateBlack(Progress& progress) override {
        return calibrate(m_api.calibrateBlack, progress);
    }

    Result setParams(const MeasureParams& params) override {
        if (!m_api.setMode) return Result::GeneralFailure;
        if (!cscmtlibDensity(params.densityStandard)) return Result::BadDensityStandard;
        const auto illumination = cscmtlibIllumination(params.illumination);
        if (!illumination) return Result::BadIllumination;
        const auto observer = cscmtlibObserver(params.observer);
        if (!observer) return Result::BadObserver;
        const auto colorSpace = cscmtlibColorSpace(params.colorSpace);
        if (!colorSpace || m_api.canConvert(kConvertKind, *colorSpace) != 1)
            return Result::BadColorSpace;
        if (const Result r = g(m_api.setMode(1)); r != Result::Ok) return r;
        if (const Result r = g(m_api.setReflMesMode(1)); r != Result::Ok) return r;
        if (const Result r = g(m_api.setMesData(kColorData)); r != Result::Ok) return r;
        if (const Result r = g(m_api.setWhitePoint(*illumination | *observer)); r != Result::Ok)
            return r;
        m_colorSpace = params.colorSpace;
        m_illumination = params.illumination;
        m_observer = params.observer;
        m_densityStandard = params.densityStandard;
        return Result::Ok;
    }

    Result getParams(MeasureParams& params) override {
        if (!m_api.getWhitePoint) return Result::GeneralFailure;
        std::uint32_t whitePoint = 0;
        if (const Result r = g(m_api.getWhitePoint(&whitePoint)); r != Result::Ok) return r;
        const std::uint32_t vendorIllumination = whitePoint & kIlluminationMask;
        const auto entry =
            std::find_if(std::begin(kIlluminations), std::end(kIlluminations),
                         [&](const auto& p) { return p.second == vendorIllumination; });
        if (entry == std::end(kIlluminations)) return Result::GeneralFailure;
        std::uint32_t observer = 0;
        switch (whitePoint & kObserverMask) {
            case 0x10000000u:
                observer = 2;
                break;
            case 0x20000000u:
                observer = 10;
                break;
            default:
                return Result::GeneralFailure;
        }
        params.densityStandard =
            m_densityStandard >= 1 && m_densityStandard <= 4 ? m_densityStandard : 4;
        params.illumination = entry->first;
        params.observer = observer;
        params.colorSpace = m_colorSpace;
        return Result::Ok;
    }

    Result getInfo(DeviceInfo& info) override {
        if (!m_api.getShellColor) return Result::GeneralFailure;
        CscmtlibInfo record{};
        char model[kCscmtlibModelBytes] = {};
        if (g(m_api.getShellColor(&record.shellColor)) != Result::Ok ||
            g(m_api.getUnitId(&record.unitId)) != Result::Ok ||
            g(m_api.getModelName(model, static_cast<std::int32_t>(sizeof model))) != Result::Ok)
            return Result::DeviceError;
        std::memcpy(record.model, model, kModelTextBytes);
        std::memcpy(info.bytes, &record, kCscmtlibInfoBytes);
        return Result::Ok;
    }

    Result readValues(const ReadRequest& request, Progress& progress, void* records) override {
        if (!m_api.measure) return Result::GeneralFailure;
        if (const Result r = buttonWait(kButtonTimeoutMs, 0, progress, nullptr); r != Result::Ok)
            return r;
        auto* out = static_cast<double*>(records);
        switch (request.kind) {
            case kReadColorant:
                return readColour(out);
            case kReadDensity:
                return readDensities(out);
            case kReadBoth:
                if (const Result r = readColour(out); r != Result::Ok) return r;
                return readDensities(out + 4);
            default:
                return Result::GeneralFailure;
        }
    }

    Result waitForKey(const WaitRequest& request, Progress& progress,
                      std::uint8_t* pressed) override {
        if (!m_api.buttonPressed) return Result::GeneralFailure;
        return buttonWait(request.timeoutMs, request.callbackValue, progress, pressed);
    }

    Result waitForKeyState(const WaitRequest& request, Progress& progress) override {
        if (!m_api.buttonPressed) return Result::GeneralFailure;
        if (request.mode > 1) return Result::GeneralFailure;
        const bool wantSuccess = request.mode == 1;
        std::uint32_t deadline = m_clock.tickMs() + request.timeoutMs;
        for (;;) {
            std::int32_t pressed = 0;
            const std::int32_t answer = m_api.buttonPressed(&pressed);
            if (pressed != 0) {
                const bool success = mapCscmtlibCode(CscmtlibTable::W, answer) == Result::Ok;
                if (success == wantSuccess)
                    return progress.cancels(request.callbackValue, CancelRule::MinusOneOnly)
                               ? Result::Cancelled
                               : Result::Ok;
                // Design note: a press of the other kind counts as an idle poll (callback,
                // time-out, 20 ms pause) in both modes rather than being asked again at once,
                // so a button held down can neither spin the wait nor keep the caller from
                // cancelling it.
            }
            if (progress.cancels(request.callbackValue, CancelRule::MinusOneOnly))
                return Result::Cancelled;
            if (const Result r = rearm(request.timeoutMs, deadline); r != Result::Ok) return r;
            m_clock.sleepMs(kPollMs);
        }
    }

private:
    Result g(std::int32_t code) const { return mapCscmtlibCode(CscmtlibTable::G, code); }

    void clearWorkingFields() {
        std::fill(std::begin(m_measurement), std::end(m_measurement), 0.0);
        std::fill(std::begin(m_converted), std::end(m_converted), 0.0);
    }

    Result searchPorts(Progress& progress, std::string& found) {
        serial::PortList ports;
        if (!serial::SerialEnumPorts(serial::kKindCom, ports)) return Result::NoPort;
        if (progress.cancels(kPollOnly)) return Result::Cancelled;
        if (ports.empty()) return Result::NoPort;
        for (const auto& name : ports) {
            if (name.size() >= serial::kPortNameSize) return Result::GeneralFailure;
            if (progress.cancels(kPollOnly)) return Result::Cancelled;
            std::optional<std::uint32_t> number;
            if (parseCscmtlibPort(name.c_str(), number) != Result::Ok || !number) continue;
            const std::int32_t answer = m_api.init(0, static_cast<std::int32_t>(*number));
            if (mapCscmtlibCode(CscmtlibTable::O, answer) == Result::Ok) {
                found = name;
                return Result::Ok;
            }
            (void)m_api.close();
            if (m_api.open() == 0) return Result::CommunicationError;
        }
        return Result::NoInstrument;
    }

    // After a time-out the instrument is put back into button mode and the wait goes on.
    Result rearm(std::uint32_t timeoutMs, std::uint32_t& deadline) {
        if (timeoutMs == kNoTimeout) return Result::Ok;
        const std::uint32_t now = m_clock.tickMs();
        if (static_cast<std::int32_t>(now - deadline) <= 0) return Result::Ok;
        if (g(m_api.setAutoButtonMode(0)) != Result::Ok) return Result::DeviceError;
        deadline = now + timeoutMs;
        return Result::Ok;
    }

    Result buttonWait(std::uint32_t timeoutMs, std::int32_t callbackValue, Progress& progress,
                      std::uint8_t* pressed) {
        std::uint32_t deadline = m_clock.tickMs() + timeoutMs;
        if (pressed) *pressed = 0;
        for (;;) {
            std::int32_t state = 0;
            const std::int32_t answer = m_api.buttonPressed(&state);
            if (state != 0) {
                if (progress.cancels(callbackValue)) return Result::Cancelled;
                const Result r = mapCscmtlibCode(CscmtlibTable::W, answer);
                if (r == Result::Ok) {
                    if (pressed) *pressed = 1;
                    m_clock.beep();
                }
                return r;
            }
            if (progress.cancels(callbackValue)) return Result::Cancelled;
            if (const Result r = rearm(timeoutMs, deadline); r != Result::Ok) return r;
            m_clock.sleepMs(kPollMs);
        }
    }

    Result calibrate(std::int32_t (*step)(void*), Progress& progress) {
        if (!step) return Result::GeneralFailure;
        if (const Result r = buttonWait(kButtonTimeoutMs, 0, progress, nullptr); r != Result::Ok)
            return r;
        if (progress.cancels(1000)) return Result::Cancelled;
        unsigned char work[kCscmtlibWorkBytes] = {};
        if (const Result r = mapCscmtlibCode(CscmtlibTable::W, step(work)); r != Result::Ok)
            return r;
        if (progress.cancels(4000)) return Result::Cancelled;
        if (g(m_api.setAutoButtonMode(0)) != Result::Ok) return Result::DeviceError;
        return progress.cancels(kProgressDone) ? Result::Cancelled : Result::Ok;
    }

    Result measure() {
        std::fill(std::begin(m_measurement), std::end(m_measurement), 0.0);
        return mapCscmtlibCode(CscmtlibTable::M, m_api.measure(m_measurement));
    }

    Result readColour(double* out) {
        if (const Result r = measure(); r != Result::Ok) return r;
        return convert(out);
    }

    // Densities come in data mode 4; colour data mode is restored whatever the outcome.
    Result readDensities(double* out) {
        if (const Result r = g(m_api.setMesData(kDensityData)); r != Result::Ok) return r;
        const Result measured = measure();
        if (measured == Result::Ok) {
            out[0] = m_measurement[3];
            out[1] = m_measurement[2];
            out[2] = m_measurement[1];
            out[3] = m_measurement[4];
        }
        const Result restored = g(m_api.setMesData(kColorData));
        return measured != Result::Ok ? measured : restored;
    }

    Result convert(double* out) {
        const auto vendorSpace = cscmtlibColorSpace(m_colorSpace);
        const auto illumination = cscmtlibIllumination(m_illumination);
        const auto observer = cscmtlibObserver(m_observer);
        if (!vendorSpace || !illumination || !observer) return Result::GeneralFailure;
        std::fill(std::begin(m_converted), std::end(m_converted), 0.0);
        if (const Result r = g(m_api.convertMeas(m_measurement, m_converted, *vendorSpace,
                                                 *illumination | *observer));
            r != Result::Ok)
            return r;
        const double* v = m_converted + 1;
        switch (m_colorSpace) {
            case METERIO_CS_XYZ:
            case METERIO_CS_YXY:
            case METERIO_CS_LCH:
            case METERIO_CS_LUV:
                std::copy(v, v + 3, out);
                return Result::Ok;
            case METERIO_CS_LAB: {
                constexpr double kLimits[3][2] = {{0, 100}, {-128, 128}, {-128, 128}};
                for (int i = 0; i < 3; ++i) {
                    const auto rounded = roundLabValue(v[i], kLimits[i][0], kLimits[i][1]);
                    if (!rounded) return Result::NotCompleted;
                    out[i] = *rounded;
                }
                return Result::Ok;
            }
            default:
                return Result::GeneralFailure;
        }
    }

    platform::Clock& m_clock;
    platform::Module m_module;
    CscmtlibApi m_api;
    std::string m_portName;
    double m_measurement[kCscmtlibMeasurementValues] = {};
    double m_converted[kCscmtlibConvertedValues] = {};
    std::uint32_t m_illumination = 4;
    std::uint32_t m_observer = 2;
    std::uint32_t m_colorSpace = METERIO_CS_LAB;
    std::uint32_t m_densityStandard = 4;
};

}  // namespace

Result mapCscmtlibCode(CscmtlibTable table, std::int32_t code) {
    switch (table) {
        case CscmtlibTable::O:
            return lookup(code, {{{1, 2, 67, 128, 135}, Result::CommunicationError},
                                 {{133}, Result::NoInstrument},
                                 {{134}, Result::NoPort}});
        case CscmtlibTable::G:
            return lookup(code, {{{7}, Result::BadColorSpace},
                                 {{64, 65, 134, 256, 267}, Result::NoInstrument},
                                 {{67, 128, 133}, Result::CommunicationError}});
        case CscmtlibTable::W:
            return lookup(
                code,
                {{{1, 4, 5, 6, 65, 133, 160, 259, 260, 261, 263, 264, 266, 300, 306, 312, 1536},
                  Result::DeviceError},
                 {{64, 134, 256, 267}, Result::NoInstrument},
                 {{70, 128, 131, 132, 135}, Result::CommunicationError}});
        case CscmtlibTable::M:
            return lookup(code, {{{7, 64, 67, 70, 131, 132, 133, 135, 257, 259, 260, 261, 262, 263,
                                   300, 306, 307, 312},
                                  Result::DeviceError},
                                 {{128}, Result::CommunicationError},
                                 {{134, 256}, Result::NoInstrument}});
    }
    return Result::GeneralFailure;
}

Result parseCscmtlibPort(const char* name, std::optional<std::uint32_t>& number) {
    number.reset();
    if (name == nullptr || name[0] == '\0') return Result::Ok;
    const std::string_view text(name, ::strnlen(name, serial::kPortNameSize + 1));
    if (text.size() > serial::kPortNameSize || text.size() < 5 || text.back() != ':')
        return Result::CommunicationError;
    for (std::size_t i = 0; i < 3; ++i)
        if ((text[i] & ~0x20) != "COM"[i]) return Result::CommunicationError;
    const std::string_view digits = text.substr(3, text.size() - 4);
    if (digits.size() > 9) return Result::CommunicationError;
    std::uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return Result::CommunicationError;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    number = value;
    return Result::Ok;
}

std::optional<std::uint32_t> cscmtlibObserver(std::uint32_t observer) {
    if (observer == 2) return 0x10000000u;
    if (observer == 10) return 0x20000000u;
    return std::nullopt;
}

std::optional<std::uint32_t> cscmtlibIllumination(std::uint32_t illumination) {
    for (const auto& [library, vendor] : kIlluminations)
        if (library == illumination) return vendor;
    return std::nullopt;
}

std::optional<std::uint32_t> cscmtlibDensity(std::uint32_t densityStandard) {
    switch (densityStandard) {
        case 1:
            return 0x53746141u;  // StaA
        case 2:
            return 0x53746145u;  // StaE
        case 3:
            return 0x53746149u;  // StaI
        case 4:
            return 0x53746154u;  // StaT
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> cscmtlibColorSpace(std::uint32_t colorSpace) {
    switch (colorSpace) {
        case METERIO_CS_XYZ:
            return 0x58595A20u;
        case METERIO_CS_LAB:
            return 0x4C616220u;
        case METERIO_CS_LCH:
            return 0x4C636820u;  // "Lch "
        case METERIO_CS_YXY:
            return 0x78795920u;  // "xyY "
        case METERIO_CS_LUV:
            return 0x4C757620u;
        default:
            return std::nullopt;
    }
}

std::optional<double> roundLabValue(double value, double low, double high) {
    if (!(value >= low && value <= high)) return std::nullopt;
    const double shifted = value + std::copysign(0.00005, value);
    return std::trunc(shifted * 10000.0) * 0.0001;
}

std::unique_ptr<Driver> makeCscmtlibDriver() {
    return std::make_unique<CscmtlibDriver>();
}

std::unique_ptr<Driver> makeCscmtlibDriver(platform::Clock& clock) {
    return std::make_unique<CscmtlibDriver>(clock);
}

}  // namespace meterio
