// Serial port layer: COM names, listing, open, byte I/O, settings and line profiles.
#include "meterio/serial/port.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "meterio/frame/result.h"
#include "meterio32.h"

namespace meterio::serial {
namespace {

struct DeviceFamily {
    std::string_view prefix;
    std::uint32_t firstCom;
};
constexpr DeviceFamily kDeviceFamilies[] = {
    {"/dev/ttyS", 1},
    {"/dev/ttyUSB", 33},
    {"/dev/ttyACM", 65},
};
constexpr std::uint32_t kFamilySpan = 32;
constexpr std::uint32_t kFirstExtraCom = 101;

std::optional<std::uint32_t> parseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

std::string comName(std::uint32_t number) {
    return "COM" + std::to_string(number) + ":";
}

std::vector<NamedPort> currentPorts() {
    const char* extra = std::getenv(kExtraPortsVariable);
    const char* scan = std::getenv(kScanVariable);
    const bool scanMachine = scan == nullptr || std::string_view(scan) != "0";
    return listPorts(scanMachine ? platform::serialDevices() : std::vector<std::string>{},
                     parseExtraPorts(extra ? extra : ""), scanMachine);
}

}  // namespace

std::optional<std::uint32_t> comNumberOfDevice(std::string_view devicePath) {
    for (const auto& family : kDeviceFamilies) {
        if (devicePath.substr(0, family.prefix.size()) != family.prefix) continue;
        const auto k = parseNumber(devicePath.substr(family.prefix.size()));
        if (!k || *k >= kFamilySpan) return std::nullopt;
        return family.firstCom + *k;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> comNumberOfName(std::string_view name) {
    if (!startsWithNoCase(name, "COM")) return std::nullopt;
    name.remove_prefix(3);
    if (!name.empty() && name.back() == ':') name.remove_suffix(1);
    const auto n = parseNumber(name);
    if (!n || *n == 0) return std::nullopt;
    return n;
}

std::vector<NamedPort> parseExtraPorts(std::string_view value) {
    std::vector<NamedPort> ports;
    std::uint32_t position = 0;
    while (!value.empty()) {
        const std::size_t colon = value.find(':');
        std::string_view entry = value.substr(0, colon);
        value = colon == std::string_view::npos ? std::string_view{} : value.substr(colon + 1);
        if (entry.empty()) continue;
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            ports.push_back({kFirstExtraCom + position, std::string(entry)});
        } else if (const auto n = comNumberOfName(entry.substr(0, equals));
                   n && equals + 1 < entry.size()) {
            ports.push_back({*n, std::string(entry.substr(equals + 1))});
        }
        ++position;
    }
    return ports;
}

std::vector<NamedPort> listPorts(const std::vector<std::string>& machineDevices,
                                 const std::vector<NamedPort>& extra, bool scanMachine) {
    std::vector<NamedPort> ports;
    if (scanMachine) {
        for (const auto& device : machineDevices) {
            const auto n = comNumberOfDevice(device);
            if (!n) continue;
            const bool replaced = std::any_of(extra.begin(), extra.end(),
                                              [&](const NamedPort& p) { return p.number == *n; });
            if (!replaced) ports.push_back({*n, device});
        }
        std::stable_sort(ports.begin(), ports.end(), [](const NamedPort& a, const NamedPort& b) {
            return a.number < b.number;
        });
    }
    for (const auto& p : extra) {
        const bool seen = std::any_of(ports.begin(), ports.end(),
                                      [&](const NamedPort& q) { return q.number == p.number; });
        if (!seen) ports.push_back(p);
    }
    return ports;
}

std::optional<std::string> devicePathOf(std::string_view name) {
    if (!name.empty() && name.front() == '/') return std::string(name);
    if (startsWithNoCase(name, "\\\\.\\")) name.remove_prefix(4);
    const auto n = comNumberOfName(name);
    if (!n) return std::nullopt;
    const char* extra = std::getenv(kExtraPortsVariable);
    for (const auto& p : parseExtraPorts(extra ? extra : ""))
        if (p.number == *n) return p.device;
    for (const auto& family : kDeviceFamilies)
        if (*n >= family.firstCom && *n < family.firstCom + kFamilySpan)
            return std::string(family.prefix) + std::to_string(*n - family.firstCom);
    return std::nullopt;
}

bool SerialEnumPorts(std::uint32_t kinds, PortList& list) {
    list.clear();
    // Every port here is a COM port; LPT ports are not offered.
    if ((kinds & kKindCom) == 0) return true;
    for (const auto& p : currentPorts())
        list.push_back(comName(p.number));
    return true;
}

bool SerialOpen(std::string_view name, Port& port) {
    port.reset();
    const auto path = devicePathOf(name);
    if (!path) return false;
    port = platform::openSerialPort(*path);
    return port != nullptr;
}

bool SerialClose(Port& port) {
    if (!port) return false;
    const bool closed = port->close();
    port.reset();
    return closed;
}

bool SerialRead(platform::SerialPort& port, std::uint8_t terminator, std::size_t maxCount,
                std::uint8_t* buffer, std::size_t* count) {
    std::size_t n = 0;
    bool ok = true;
    while (n < maxCount) {
        std::size_t got = 0;
        if (!port.read(buffer + n, 1, got)) {
            ok = false;
            break;
        }
        if (got == 0 || buffer[n] == terminator) break;
        ++n;
    }
    if (count) *count = n;
    return ok;
}

bool SerialWrite(platform::SerialPort& port, std::size_t length, const std::uint8_t* buffer) {
    std::size_t written = 0;
    return port.write(buffer, length, written) && written == length;
}

bool SerialGetSettings(platform::SerialPort& port, PortSettings& settings) {
    if ((settings.flags & kSettingsLine) && !port.getLineSettings(settings.line)) return false;
    if ((settings.flags & kSettingsTimeouts) && !port.getTimeouts(settings.timeouts)) return false;
    return true;
}

bool SerialSetSettings(platform::SerialPort& port, const PortSettings& settings) {
    if ((settings.flags & kSettingsLine) && !port.setLineSettings(settings.line)) return false;
    if ((settings.flags & kSettingsTimeouts) && !port.setTimeouts(settings.timeouts)) return false;
    return true;
}

bool SerialDrain(platform::SerialPort& port) {
    for (std::size_t dropped = 0; dropped < kDrainLimit; ++dropped) {
        std::uint8_t byte = 0;
        std::size_t got = 0;
        if (!port.read(&byte, 1, got)) return false;
        if (got == 0) return true;
    }
    return false;
}

void applyProfile(LineProfile profile, std::uint32_t baudRate, PortSettings& settings) {
    using platform::LineControl;
    using platform::Parity;
    using platform::StopBits;
    auto& line = settings.line;
    auto& timeouts = settings.timeouts;
    settings.flags = kSettingsLine | kSettingsTimeouts;

    // Common to every profile.
    line.baudRate = baudRate;
    line.binary = true;
    line.outxCtsFlow = false;
    line.outxDsrFlow = false;
    line.dtrControl = LineControl::Enable;
    line.dsrSensitivity = false;
    line.errorChar = false;
    line.nullStrip = false;
    line.rtsControl = LineControl::Enable;
    line.evtChar = '\r';
    timeouts = platform::Timeouts{};

    struct Row {
        std::uint8_t byteSize;
        bool parity;
        StopBits stopBits;
        bool xonXoff;
        std::optional<bool> txContinueOnXoff;  // nullopt: left as the port has it
        bool abortOnError;
        platform::Timeouts timeouts;
    };
    constexpr platform::Timeouts kImmediate{0xFFFFFFFFu, 0, 0, 0, 0};
    const Row row = [&]() -> Row {
        switch (profile) {
            case LineProfile::StripReader:
                return {8, false, StopBits::One, false, false, true, kImmediate};
            case LineProfile::SpotHead:
                return {8, false, StopBits::One, true, false, false, kImmediate};
            case LineProfile::Stage:
                return {8, false, StopBits::One, true, false, true, kImmediate};
            case LineProfile::DisplayColorimeter:
                return {7, true, StopBits::Two, false, std::nullopt, false, kImmediate};
            case LineProfile::DisplaySpectrometer:
                return {
                    8, false, StopBits::One, false, false, false, {0xFFFFFFFFu, 1, 250, 0, 20000}};
        }
        return {8, false, StopBits::One, false, false, false, kImmediate};
    }();
    line.byteSize = row.byteSize;
    line.parityCheck = row.parity;
    line.parity = row.parity ? Parity::Even : Parity::None;
    line.stopBits = row.stopBits;
    line.outX = row.xonXoff;
    line.inX = row.xonXoff;
    if (row.txContinueOnXoff) line.txContinueOnXoff = *row.txContinueOnXoff;
    line.abortOnError = row.abortOnError;
    timeouts = row.timeouts;
}

Result SerialSetProfile(platform::SerialPort& port, LineProfile profile, std::uint32_t baudRate) {
    PortSettings settings;
    if (!SerialGetSettings(port, settings)) return Result::CommunicationError;
    applyProfile(profile, baudRate, settings);
    return SerialSetSettings(port, settings) ? Result::Ok : Result::CommunicationError;
}

Result SerialOpenForProbe(std::string_view name, LineProfile profile, std::uint32_t baudRate,
                          const Callback& poll, Port& port, const PortOpener& open) {
    const auto stops = [&] { return poll && poll(kPollOnly) == -1; };
    if (stops()) return Result::Cancelled;
    if (!open(name, port)) return Result::NoInstrument;
    Result r = SerialSetProfile(*port, profile, baudRate);
    if (r == Result::Ok && stops()) r = Result::Cancelled;
    if (r != Result::Ok) SerialClose(port);
    return r;
}

}  // namespace meterio::serial
