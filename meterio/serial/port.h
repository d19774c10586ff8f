// Serial port layer: port names and listing, open and close, byte reads and writes, line
// settings and the line profile of each serial instrument family.
#ifndef METERIO_SERIAL_PORT_H
#define METERIO_SERIAL_PORT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "meterio/frame/progress.h"
#include "meterio/frame/result.h"
#include "platform/serial_port.h"

namespace meterio::serial {

using Port = std::unique_ptr<platform::SerialPort>;
// Port names in listing order, as SerialOpen accepts them ("COM3:").
using PortList = std::vector<std::string>;
// The poll / idle callback of the serial layer; an empty function never stops anything.
using Callback = std::function<std::int32_t(std::int32_t)>;
// The caller's progress callback as a serial-layer callback; `progress` must outlive it.
inline Callback callbackOf(Progress& progress) {
    return [&progress](std::int32_t value) { return progress.report(value); };
}

// Drivers keep port names in 32-byte buffers; longer names are refused.
inline constexpr std::size_t kPortNameSize = 32;

// Port names ---------------------------------------------------------------------------
//
// Machine ports are listed under fixed COM numbers, whatever else is plugged in:
//   /dev/ttyS<k>   -> COM<k + 1>    (k 0..31; only ports with a UART behind them)
//   /dev/ttyUSB<k> -> COM<k + 33>   (k 0..31)
//   /dev/ttyACM<k> -> COM<k + 65>   (k 0..31)
// Extra ports come from QEL_SERIAL_PORTS, a colon-separated list whose entries are either
// "COM<n>=<device path>" or a bare device path; the bare entry at position i (from 0) is
// COM<101 + i>. An extra port named like a machine port replaces it. QEL_SERIAL_SCAN=0 leaves
// the machine's ports out of the list (tests and simulators use this).
// SerialOpen also takes "COM<n>" without the colon, and a device path ("/dev/...") as is.

inline constexpr char kExtraPortsVariable[] = "QEL_SERIAL_PORTS";
inline constexpr char kScanVariable[] = "QEL_SERIAL_SCAN";

struct NamedPort {
    std::uint32_t number;  // the n of COM<n>
    std::string device;
};

// The COM number a machine device path is listed under, if it has one.
std::optional<std::uint32_t> comNumberOfDevice(std::string_view devicePath);
// The COM number of "COM<n>" or "COM<n>:" (any case), if `name` is one.
std::optional<std::uint32_t> comNumberOfName(std::string_view name);
// The extra ports described by a QEL_SERIAL_PORTS value, in its order.
std::vector<NamedPort> parseExtraPorts(std::string_view value);
// Every port in listing order: machine ports by COM number (unless `scanMachine` is false),
// then the extra ones in their given order.
std::vector<NamedPort> listPorts(const std::vector<std::string>& machineDevices,
                                 const std::vector<NamedPort>& extra, bool scanMachine);
// The device path for a port name under the current environment, or nullopt.
std::optional<std::string> devicePathOf(std::string_view name);

// Port operations ------------------------------------------------------------------------

inline constexpr std::uint32_t kKindCom = 1;
inline constexpr std::uint32_t kKindLpt = 2;

// Lists the ports whose names start with "COM" (kinds bit 0) or "LPT" (bit 1). There are no
// LPT ports here. False when the list cannot be made.
bool SerialEnumPorts(std::uint32_t kinds, PortList& list);
// Opens a port by name; `port` is reset on failure.
bool SerialOpen(std::string_view name, Port& port);
// How a driver opens a port by name: SerialOpen, or a test's stand-in.
using PortOpener = std::function<bool(std::string_view name, Port& port)>;
// Closes and releases the port; false when there was none or the system refused.
bool SerialClose(Port& port);
// Reads one byte per call, at most `maxCount`, stopping when nothing has arrived or at the
// terminator, which is stored but not counted. False when a read fails.
bool SerialRead(platform::SerialPort& port, std::uint8_t terminator, std::size_t maxCount,
                std::uint8_t* buffer, std::size_t* count);
// True only when every byte was written.
bool SerialWrite(platform::SerialPort& port, std::size_t length, const std::uint8_t* buffer);

inline constexpr std::uint32_t kSettingsLine = 1;
inline constexpr std::uint32_t kSettingsTimeouts = 2;

struct PortSettings {
    std::uint32_t flags = kSettingsLine | kSettingsTimeouts;
    platform::LineSettings line;
    platform::Timeouts timeouts;
};

bool SerialGetSettings(platform::SerialPort& port, PortSettings& settings);
bool SerialSetSettings(platform::SerialPort& port, const PortSettings& settings);
// Reads and drops what has arrived. True once the receive queue is empty; false when a read
// fails or the line keeps talking for more than kDrainLimit bytes.
inline constexpr std::size_t kDrainLimit = 65536;
bool SerialDrain(platform::SerialPort& port);

// Line profiles --------------------------------------------------------------------------

enum class LineProfile {
    StripReader,          // 8N1, no flow control, abort on error
    SpotHead,             // 8N1, XON/XOFF
    Stage,                // 8N1, XON/XOFF, abort on error
    DisplayColorimeter,   // 7E2
    DisplaySpectrometer,  // 8N1, read and write time-outs
};

// Changes the profile's fields in `settings`, keeping the others.
void applyProfile(LineProfile profile, std::uint32_t baudRate, PortSettings& settings);
// Reads the port's settings, applies the profile and writes them back: 0 or 0x80000006.
Result SerialSetProfile(platform::SerialPort& port, LineProfile profile, std::uint32_t baudRate);

// The start every probe shares, the port opened by `open`. `poll` answering -1 to -1 stops
// it (Cancelled) before the port opens and once its line is set; a port that does not open
// is NoInstrument, a line that cannot be set CommunicationError. Anything but Ok leaves
// `port` closed.
Result SerialOpenForProbe(std::string_view name, LineProfile profile, std::uint32_t baudRate,
                          const Callback& poll, Port& port, const PortOpener& open = SerialOpen);

}  // namespace meterio::serial

#endif  // METERIO_SERIAL_PORT_H
