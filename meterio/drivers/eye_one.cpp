// EyeOne driver: option conversions, identity checks, calibrations, reads and button waits over
// the vendor library EyeOne.dll, with its numeric answers mapped onto the library's codes.
#include "meterio/drivers/eye_one.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <new>
#include <utility>

namespace meterio {
namespace {

constexpr std::int32_t kPollMs = 20;
constexpr std::int32_t kCalibrationStarted = 1000;
constexpr std::int32_t kSamplesReady = 1000;
constexpr std::uint32_t kVersionWithOptions = 200;
constexpr std::uint32_t kSpectrumStartNm = 380;
constexpr std::uint32_t kSpectrumStepNm = 10;
constexpr std::size_t kSpectrumSamples = 36;

constexpr const char* kModeValues[] = {"SingleEmission", "SingleReflectance", "ScanningReflectance",
                                       "SingleAmbientLight"};

constexpr MeasureParams kModeDefaults[] = {
    {4, 6, 2, METERIO_CS_XYZ},
    {4, 4, 2, METERIO_CS_LAB},
    {4, 4, 2, METERIO_CS_LAB},
    {4, 6, 2, METERIO_CS_XYZ},
};

struct Conversion {
    std::uint32_t value;
    const char* text;
    std::uint32_t minVersion = 0;  // vendor library version that knows the text
};

constexpr Conversion kDensityStandards[] = {
    {1, "ANSIA"}, {4, "ANSIT"}, {5, "DIN"}, {6, "DINNB"}, {8, "SPI"},
};
constexpr Conversion kIlluminations[] = {
    {1, "A"},
    {2, "B"},
    {3, "C"},
    {4, "D50"},
    {5, "D55"},
    {6, "D65"},
    {7, "D75"},
    {18, "F2", kVersionWithOptions},
    {23, "F7", kVersionWithOptions},
    {27, "F11", kVersionWithOptions},
};
constexpr Conversion kObservers[] = {{2, "TwoDegree"}, {10, "TenDegree"}};
constexpr Conversion kColorSpaces[] = {
    {METERIO_CS_LCH, "CIELCh"}, {METERIO_CS_LAB, "CIELab"}, {METERIO_CS_LUV, "CIELuv"},
    {METERIO_CS_XYZ, "CIEXYZ"}, {METERIO_CS_YXY, "CIExyY"},
};
constexpr const char* kEmission = "Emission";

template <std::size_t N>
const char* toText(const Conversion (&table)[N], std::uint32_t value, std::uint32_t version) {
    for (const Conversion& c : table)
        if (c.value == value && version >= c.minVersion) return c.text;
    return nullptr;
}

template <std::size_t N>
std::optional<std::uint32_t> fromText(const Conversion (&table)[N], const char* text,
                                      std::uint32_t version) {
    if (text == nullptr) return std::nullopt;
    for (const Conversion& c : table)
        if (std::strcmp(c.text, text) == 0 && version >= c.minVersion) return c.value;
    return std::nullopt;
}

// Vendor codes 0 to 11 per table; anything else is a general failure.
constexpr Result F = Result::GeneralFailure;
constexpr Result C6 = Result::CommunicationError;
constexpr Result C5 = Result::NoInstrument;
constexpr Result C3 = Result::OutOfRange;
constexpr Result C7 = Result::NotCompleted;
constexpr Result C8 = Result::DeviceError;
using CodeRow = std::array<Result, 12>;
constexpr CodeRow kTableGOld{Result::Ok, C6, C5, C8, F, F, F, C7, C7, C8, F, C8};
constexpr CodeRow kTableGNew{Result::Ok, C6, C5, C7, F, F, F, C7, C7, C8, F, C8};
constexpr CodeRow kTableSOld{Result::Ok, C6, C5, C8, F, F, F, C7, C7, F, F, F};
constexpr CodeRow kTableSNew{Result::Ok, C6, C5, C8, F, F, C3, C7, C7, C8, F, F};
constexpr CodeRow kTableM{Result::Ok, C6, C5, C8, F, C7, F, C7, C7, C8, F, C8};

// Leading decimal number as the C library's atoi reads it; 0 when there is none.
std::int64_t decimalValue(const char* text) {
    std::string_view s(text);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::int64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > 0xFFFFFFFFll) break;
    }
    return negative ? -value : value;
}

std::uint32_t filterValue(const char* text) {
    const std::int64_t v = decimalValue(text);
    return v == 1 || v == 2 ? static_cast<std::uint32_t>(v) : 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One unsigned number after optional blanks; advances `s`.
std::optional<std::uint32_t> takeNumber(std::string_view& s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc()) return std::nullopt;
    s.remove_prefix(static_cast<std::size_t>(end - s.data()));
    return value;
}

bool deadlinePassed(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) >= 0;
}

}  // namespace

struct EyeOneDriver::Options {
    const char* densityStandard;
    const char* illumination;
    const char* observer;
    const char* colorSpace;
};

Result mapEyeOneCode(EyeOneTable table, std::uint32_t version, std::int32_t code) {
    if (code < 0 || code >= 12) return Result::GeneralFailure;
    const bool recent = version >= kVersionWithOptions;
    const CodeRow& row = table == EyeOneTable::G   ? (recent ? kTableGNew : kTableGOld)
                         : table == EyeOneTable::S ? (recent ? kTableSNew : kTableSOld)
                                                   : kTableM;
    return row[static_cast<std::size_t>(code)];
}

std::optional<std::uint32_t> parseEyeOneVersion(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    std::size_t word = 0;
    while (word < s.size() && word < 8 && !isBlank(s[word]))
        ++word;
    if (word == 0) return std::nullopt;
    s.remove_prefix(word);
    std::array<std::uint32_t, 3> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (s.empty()) return std::nullopt;
            s.remove_prefix(1);  // the separator, whatever it is
        }
        const std::optional<std::uint32_t> n = takeNumber(s);
        if (!n) return std::nullopt;
        parts[i] = *n;
    }
    return (parts[0] * 10 + parts[1]) * 10 + parts[2];
}

std::unique_ptr<Driver> EyeOneDriver::make() {
    return std::unique_ptr<Driver>(new (std::nothrow) EyeOneDriver());
}

Result EyeOneDriver::map(EyeOneTable table, std::int32_t code) const {
    return mapEyeOneCode(table, m_version, code);
}

Result EyeOneDriver::bind() {
    if (!m_module.load("EyeOne.dll")) return Result::LibraryNotLoaded;
    const auto fail = [this](Result r) {
        (void)m_module.unload();
        m_api = EyeOneApi{};
        return r;
    };
    EyeOneApi::Text deviceInfo = nullptr;
    if (!m_module.resolve("I1_GetDeviceInfo", deviceInfo)) return fail(Result::EntryPointMissing);
    const char* versionText = deviceInfo("Version");
    if (versionText == nullptr) return fail(Result::DeviceError);
    const std::optional<std::uint32_t> version = parseEyeOneVersion(versionText);
    if (!version) return fail(Result::DeviceError);
    m_version = *version;

    EyeOneApi api;
    bool ok = m_module.resolve(
        m_version >= kVersionWithOptions ? "I1_GetOption" : "I1_GetDeviceInfo", api.info);
    ok = m_module.resolve("I1_SetOption", api.setOption) && ok;
    ok = m_module.resolve("I1_GetOption", api.getOption) && ok;
    ok = m_module.resolve("I1_IsConnected", api.isConnected) && ok;
    ok = m_module.resolve("I1_KeyPressed", api.keyPressed) && ok;
    ok = m_module.resolve("I1_GetNumberOfAvailableSamples", api.availableSamples) && ok;
    ok = m_module.resolve("I1_SetSubstrate", api.setSubstrate) && ok;
    ok = m_module.resolve("I1_Calibrate", api.calibrate) && ok;
    ok = m_module.resolve("I1_TriggerMeasurement", api.triggerMeasurement) && ok;
    ok = m_module.resolve("I1_GetSpectrum", api.getSpectrum) && ok;
    ok = m_module.resolve("I1_GetTriStimulus", api.getTriStimulus) && ok;
    ok = m_module.resolve("I1_GetDensity", api.getDensity) && ok;
    ok = m_module.resolve("I1_GetDensities", api.getDensities) && ok;
    if (!ok) return fail(Result::EntryPointMissing);
    m_api = api;
    return Result::Ok;
}

Result EyeOneDriver::open(const OpenArgs& args, Progress& progress) {
    if (!bound()) return Result::GeneralFailure;
    const auto step = [&progress] { return progress.cancels(kPollOnly); };

    if (step()) return Result::Cancelled;
    m_mode = args.mode;
    m_filter = args.filter;
    m_kind = args.kind;
    m_serialNumber = 0;
    m_colorSpace = 0;
    m_illumination = 0;

    if (step()) return Result::Cancelled;
    if (const Result r = map(EyeOneTable::G, m_api.isConnected()); r != Result::Ok) return r;

    if (step()) return Result::Cancelled;
    if (m_version >= kVersionWithOptions) {
        const char* type = m_api.info("DeviceType");
        if (type == nullptr) return Result::NoInstrument;
        const std::string_view t(type);
        if (m_kind == kEyeOneKindOther) {
            if (t == "EyeOne")
                m_kind = kEyeOneKindEyeOne;
            else if (t == "EyeOneDisplay")
                m_kind = kEyeOneKindDisplay;
            else
                return Result::NoInstrument;
        } else if (!(m_kind == kEyeOneKindEyeOne && t == "EyeOne") &&
                   !(m_kind == kEyeOneKindDisplay && t == "EyeOneDisplay")) {
            return Result::NoInstrument;
        }
    } else {
        m_kind = kEyeOneKindEyeOne;
    }

    if (step()) return Result::Cancelled;
    if (m_version >= kVersionWithOptions) {
        const char* modes = m_api.info("AvailableMeasurementModes");
        if (modes == nullptr || m_mode > kEyeOneAmbient) return Result::NoInstrument;
        const std::string_view available(modes);
        const bool has = m_mode == kEyeOneScanning
                             ? available.find("ScanningReflectance") != std::string_view::npos &&
                                   available.find("SingleReflectance") != std::string_view::npos
                             : available.find(kModeValues[m_mode]) != std::string_view::npos;
        if (!has) return Result::NoInstrument;
    }

    if (step()) return Result::Cancelled;
    const char* serial = m_api.info("SerialNumber");
    if (serial == nullptr) return Result::NoInstrument;
    m_serialNumber = static_cast<std::uint32_t>(decimalValue(serial));

    if (step()) return Result::Cancelled;
    const char* filterText = m_api.info("PhysicalFilter");
    if (filterText == nullptr || m_filter > 2) return Result::NoInstrument;
    const std::uint32_t filter = filterValue(filterText);
    if (m_filter == 0 ? filter == 0 : filter != m_filter) return Result::NoInstrument;
    m_filter = filter;

    if (step()) return Result::Cancelled;
    if (m_mode > kEyeOneAmbient) return Result::OutOfRange;
    if (const Result r = setParams(kModeDefaults[m_mode]); r != Result::Ok) return r;

    if (step()) return Result::Cancelled;
    if (const Result r = setOption("Colorimetric.WhiteBase", "Absolute"); r != Result::Ok) return r;

    return step() ? Result::Cancelled : Result::Ok;
}

Result EyeOneDriver::close() {
    return Result::Ok;
}

Result EyeOneDriver::releaseLibrary() {
    m_api = EyeOneApi{};
    return m_module.unload() ? Result::Ok : Result::GeneralFailure;
}

Result EyeOneDriver::setOption(const char* key, const char* value) {
    return map(EyeOneTable::S, m_api.setOption(key, value));
}

// Scanning finds the patches only with recognition on.
Result EyeOneDriver::setModeOption(std::uint8_t mode) {
    if (const Result r = setOption("MeasurementMode", kModeValues[mode]); r != Result::Ok) return r;
    return mode == kEyeOneScanning ? setOption("Recognition", "yes") : Result::Ok;
}

Result EyeOneDriver::toOptions(const MeasureParams& params, Options& options) {
    options.densityStandard = toText(kDensityStandards, params.densityStandard, m_version);
    if (options.densityStandard == nullptr) return Result::BadDensityStandard;
    options.illumination = toText(kIlluminations, params.illumination, m_version);
    if (options.illumination == nullptr) return Result::BadIllumination;
    m_illumination = params.illumination;
    options.observer = toText(kObservers, params.observer, m_version);
    if (options.observer == nullptr) return Result::BadObserver;
    options.colorSpace = toText(kColorSpaces, params.colorSpace, m_version);
    if (options.colorSpace == nullptr) return Result::BadColorSpace;
    m_colorSpace = params.colorSpace;
    return Result::Ok;
}

Result EyeOneDriver::writeOptions(const Options& options) {
    // Emitted and ambient light has no illuminant: XYZ and xyY are then read as emission.
    const bool lightSource = m_mode == kEyeOneEmission || m_mode == kEyeOneAmbient;
    const bool absolute = std::strcmp(options.colorSpace, "CIEXYZ") == 0 ||
                          std::strcmp(options.colorSpace, "CIExyY") == 0;
    const char* illumination = lightSource && absolute ? kEmission : options.illumination;
    if (const Result r = setOption("Colorimetric.DensityStandard", options.densityStandard);
        r != Result::Ok)
        return r;
    if (const Result r = setOption("Colorimetric.Illumination", illumination); r != Result::Ok)
        return r;
    if (const Result r = setOption("Colorimetric.Observer", options.observer); r != Result::Ok)
        return r;
    return setOption("ColorSpaceDescription.Type", options.colorSpace);
}

Result EyeOneDriver::setParams(const MeasureParams& params) {
    if (!bound()) return Result::GeneralFailure;
    Options options{};
    if (const Result r = toOptions(params, options); r != Result::Ok) return r;
    if (m_mode <= kEyeOneAmbient) {
        if (const Result r = setModeOption(m_mode); r != Result::Ok) return r;
    }
    return writeOptions(options);
}

Result EyeOneDriver::getParams(MeasureParams& params) {
    if (!bound()) return Result::GeneralFailure;
    const std::optional<std::uint32_t> density =
        fromText(kDensityStandards, m_api.getOption("Colorimetric.DensityStandard"), m_version);
    if (!density) return Result::GeneralFailure;
    params.densityStandard = *density;

    const char* illuminationText = m_api.getOption("Colorimetric.Illumination");
    if (illuminationText != nullptr && std::strcmp(illuminationText, kEmission) == 0) {
        params.illumination = m_illumination;
    } else {
        const std::optional<std::uint32_t> illumination =
            fromText(kIlluminations, illuminationText, m_version);
        if (!illumination) return Result::GeneralFailure;
        params.illumination = *illumination;
    }

    const std::optional<std::uint32_t> observer =
        fromText(kObservers, m_api.getOption("Colorimetric.Observer"), m_version);
    if (!observer) return Result::GeneralFailure;
    params.observer = *observer;

    const std::optional<std::uint32_t> colorSpace =
        fromText(kColorSpaces, m_api.getOption("ColorSpaceDescription.Type"), m_version);
    if (!colorSpace) return Result::GeneralFailure;
    params.colorSpace = *colorSpace;
    return Result::Ok;
}

Result EyeOneDriver::switchMode(std::uint8_t mode) {
    if (mode > kEyeOneAmbient) return Result::OutOfRange;
    MeasureParams current{};
    if (const Result r = getParams(current); r != Result::Ok) return r;
    if (const Result r = setModeOption(mode); r != Result::Ok) return r;
    m_mode = mode;
    Options options{};
    if (const Result r = toOptions(current, options); r != Result::Ok) return r;
    return writeOptions(options);
}

Result EyeOneDriver::ensureMode(std::uint8_t mode) {
    return m_mode == mode ? Result::Ok : switchMode(mode);
}

Result EyeOneDriver::getInfo(DeviceInfo& info) {
    if (!bound()) return Result::GeneralFailure;
    const char* versionText = m_api.info("Version");
    const char* serial = m_api.info("SerialNumber");
    const char* filter = m_api.info("PhysicalFilter");
    if (versionText == nullptr || serial == nullptr || filter == nullptr)
        return Result::DeviceError;
    const std::optional<std::uint32_t> version = parseEyeOneVersion(versionText);
    if (!version) return Result::DeviceError;
    std::uint32_t kind = kEyeOneKindEyeOne;
    if (*version >= kVersionWithOptions) {
        const char* type = m_api.info("DeviceType");
        const std::string_view t(type != nullptr ? type : "");
        kind = t == "EyeOne"          ? kEyeOneKindEyeOne
               : t == "EyeOneDisplay" ? kEyeOneKindDisplay
                                      : kEyeOneKindOther;
    }
    m_version = *version;
    m_serialNumber = static_cast<std::uint32_t>(decimalValue(serial));
    m_filter = filterValue(filter);
    m_kind = kind;
    info.eyeOne.libraryVersion = m_version;
    info.eyeOne.serialNumber = m_serialNumber;
    info.eyeOne.physicalFilter = m_filter;
    info.eyeOne.deviceKind = m_kind;
    return Result::Ok;
}

Result EyeOneDriver::buttonWait(std::int32_t callbackValue, Progress& progress) {
    std::uint8_t pressed = 0;
    return waitForKey(WaitRequest{kNoTimeout, callbackValue, 0}, progress, &pressed);
}

Result EyeOneDriver::waitForKey(const WaitRequest& request, Progress& progress,
                                std::uint8_t* pressed) {
    if (pressed != nullptr) *pressed = 0;
    if (!bound()) return Result::GeneralFailure;
    const bool timed = request.timeoutMs != kNoTimeout;
    const std::uint32_t deadline = m_clock.tickMs() + request.timeoutMs;
    for (;;) {
        const std::int32_t answer = m_api.keyPressed();
        if (answer == kEyeOneNoKey) {
            if (progress.cancels(request.callbackValue)) return Result::Cancelled;
            if (timed && deadlinePassed(m_clock.tickMs(), deadline)) return Result::NotCompleted;
            m_clock.sleepMs(kPollMs);
            continue;
        }
        if (progress.cancels(request.callbackValue)) return Result::Cancelled;
        const Result r = map(EyeOneTable::G, answer);
        if (pressed != nullptr) *pressed = r == Result::Ok ? 1 : 0;
        return r;
    }
}

Result EyeOneDriver::waitForKeyState(const WaitRequest& request, Progress& progress) {
    if (!bound()) return Result::GeneralFailure;
    if (request.mode > 1) return Result::GeneralFailure;
    const bool timed = request.timeoutMs != kNoTimeout;
    const std::uint32_t deadline = m_clock.tickMs() + request.timeoutMs;
    for (;;) {
        const std::int32_t answer = m_api.keyPressed();
        if (answer != kEyeOneNoKey) {
            if (const Result r = map(EyeOneTable::G, answer); r != Result::Ok) return r;
            if (request.mode == 1) {
                return progress.cancels(request.callbackValue, CancelRule::MinusOneOnly)
                           ? Result::Cancelled
                           : Result::Ok;
            }
            // Mode 0 consumes the press and goes on as after an idle poll, so that a button
            // reported pressed on every poll can still be cancelled or time out, and does not
            // spin a core.
        }
        if (progress.cancels(request.callbackValue, CancelRule::MinusOneOnly))
            return Result::Cancelled;
        if (timed && deadlinePassed(m_clock.tickMs(), deadline)) return Result::NotCompleted;
        m_clock.sleepMs(kPollMs);
    }
}

Result EyeOneDriver::calibrateIn(std::uint8_t mode) {
    if (const Result r = switchMode(mode); r != Result::Ok) return r;
    return map(EyeOneTable::G, m_api.calibrate());
}

Result EyeOneDriver::calibrateAmbient(Progress& progress) {
    if (!bound()) return Result::GeneralFailure;
    (void)m_api.keyPressed();  // a press made before the call does not count
    if (const Result r = buttonWait(0, progress); r != Result::Ok) return r;
    m_clock.beep();
    if (progress.cancels(kCalibrationStarted)) return Result::Cancelled;
    if (const Result r = calibrateIn(kEyeOneAmbient); r != Result::Ok) return r;
    return progress.cancels(kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result EyeOneDriver::calibrateWhite(const CalibrateRequest&, Progress& progress) {
    if (!bound()) return Result::GeneralFailure;
    (void)m_api.keyPressed();
    if (const Result r = buttonWait(0, progress); r != Result::Ok) return r;
    m_clock.beep();
    if (progress.cancels(kCalibrationStarted)) return Result::Cancelled;
    // Reflectance, scanning and emission each hold their own calibration; emission stays set.
    constexpr std::pair<std::uint8_t, std::int32_t> kSteps[] = {
        {kEyeOneReflectance, 4000}, {kEyeOneScanning, 7000}, {kEyeOneEmission, kProgressDone}};
    for (const auto& [mode, done] : kSteps) {
        if (const Result r = calibrateIn(mode); r != Result::Ok) return r;
        if (progress.cancels(done)) return Result::Cancelled;
    }
    return Result::Ok;
}

Result EyeOneDriver::startMeasurement(const ReadRequest& request, Progress& progress,
                                      std::uint32_t& limit) {
    (void)m_api.keyPressed();  // a press made before the call does not count
    if (progress.cancels(kMeasureStart)) return Result::Cancelled;
    switch (request.mode) {
        case kEyeOneAmbient:
        case kEyeOneReflectance:
        case kEyeOneScanning: {
            if (const Result r = ensureMode(request.mode); r != Result::Ok) return r;
            if (const Result r = buttonWait(kPollOnly, progress); r != Result::Ok) return r;
            if (request.mode != kEyeOneScanning) m_clock.beep();
            break;
        }
        case kEyeOneEmission:
            if (const Result r = ensureMode(request.mode); r != Result::Ok) return r;
            break;
        default:
            break;
    }
    if (const Result r = map(EyeOneTable::M, m_api.triggerMeasurement()); r != Result::Ok) return r;
    const std::int32_t available = m_api.availableSamples();
    if (available < 0 || static_cast<std::uint32_t>(available) != request.expected)
        return Result::NotCompleted;
    limit = std::min(request.limit, static_cast<std::uint32_t>(available));
    if (progress.cancels(kSamplesReady)) return Result::Cancelled;
    return Result::Ok;
}

Result EyeOneDriver::readValues(const ReadRequest& request, Progress& progress, void* records) {
    if (!bound()) return Result::GeneralFailure;
    std::uint32_t limit = 0;
    if (const Result r = startMeasurement(request, progress, limit); r != Result::Ok) return r;

    // Colour values in doubles 0 to 2 of records `stride` doubles apart; XYZ arrives in
    // hundredths.
    const auto readColors = [&](double* base, std::size_t stride) {
        for (std::uint32_t i = 0; i < limit; ++i) {
            float values[3] = {};
            const Result r =
                map(EyeOneTable::S, m_api.getTriStimulus(values, static_cast<std::int32_t>(i)));
            if (r != Result::Ok) return r;
            double* out = base + i * stride;
            for (std::size_t c = 0; c < 3; ++c)
                out[c] = m_colorSpace == METERIO_CS_XYZ ? static_cast<double>(values[c] * 0.01f)
                                                        : static_cast<double>(values[c]);
        }
        return Result::Ok;
    };
    const auto readDensities = [&](double* base, std::size_t stride) {
        for (std::uint32_t i = 0; i < limit; ++i) {
            float values[4] = {};
            std::int32_t autoIndex = 0;
            const Result r = map(EyeOneTable::M, m_api.getDensities(values, &autoIndex,
                                                                    static_cast<std::int32_t>(i)));
            if (r != Result::Ok) return r;
            double* out = base + i * stride;
            for (std::size_t c = 0; c < 4; ++c)
                out[c] = static_cast<double>(values[c]);
        }
        return Result::Ok;
    };

    Result r = Result::Ok;
    switch (request.kind) {
        case kReadColorant:
            r = readColors(static_cast<ColorantRecord*>(records)->values, 4);
            break;
        case kReadDensity:
            r = readDensities(static_cast<DensityRecord*>(records)->values, 4);
            break;
        case kReadBoth: {
            auto* both = static_cast<ColorantDensityRecord*>(records);
            r = readColors(both->colorant.values, 8);
            if (r == Result::Ok) r = readDensities(both->density.values, 8);
            break;
        }
        default:
            return Result::GeneralFailure;
    }
    if (r != Result::Ok) return r;
    if (request.sampleCount != nullptr) *request.sampleCount = request.expected;
    return progress.cancels(kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result EyeOneDriver::readSpectra(const ReadRequest& request, Progress& progress,
                                 SpectrumRecord* records) {
    if (!bound()) return Result::GeneralFailure;
    std::uint32_t limit = 0;
    if (const Result r = startMeasurement(request, progress, limit); r != Result::Ok) return r;
    // Emitted and ambient light arrives in hundredths; reflectance as it is.
    const bool scaled = request.mode == kEyeOneEmission || request.mode == kEyeOneAmbient;
    for (std::uint32_t i = 0; i < limit; ++i) {
        float values[kSpectrumSamples] = {};
        const Result r =
            map(EyeOneTable::M, m_api.getSpectrum(values, static_cast<std::int32_t>(i)));
        if (r != Result::Ok) return r;
        SpectrumRecord& out = records[i];
        out.start = kSpectrumStartNm;
        out.interval = kSpectrumStepNm;
        out.count = kSpectrumSamples;
        for (std::size_t s = 0; s < kSpectrumSamples; ++s)
            out.values[s] =
                scaled ? static_cast<double>(values[s]) * 0.01 : static_cast<double>(values[s]);
    }
    if (request.sampleCount != nullptr) *request.sampleCount = request.expected;
    return progress.cancels(kProgressDone) ? Result::Cancelled : Result::Ok;
}

Result EyeOneDriver::defineStrip(const StripDefinition& d) {
    return d.first <= 10 && d.second > 45 && d.third > 45 && d.patches != 0 ? Result::Ok
                                                                            : Result::OutOfRange;
}

}  // namespace meterio
