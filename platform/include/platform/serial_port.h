// Serial ports: line settings in the terms of a Windows DCB, read and write with immediate
// return, a bounded wait for input, the machine's port devices, and pseudo-terminals.
#ifndef PLATFORM_SERIAL_PORT_H
#define PLATFORM_SERIAL_PORT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OneHalf, Two };
// DTR and RTS line control: held off, held on, or used for handshaking.
enum class LineControl : std::uint8_t { Disable, Enable, Handshake, Toggle };

// The fields of a Windows DCB. Fields a POSIX terminal has no use for (abortOnError, the
// special characters, the XON/XOFF limits) are kept by the port and read back unchanged.
struct LineSettings {
    std::uint32_t baudRate = 9600;
    bool binary = true;
    bool parityCheck = false;  // fParity: check (and mark) received parity
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    LineControl dtrControl = LineControl::Enable;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool outX = false;  // XON/XOFF on output
    bool inX = false;   // XON/XOFF on input
    bool errorChar = false;
    bool nullStrip = false;
    LineControl rtsControl = LineControl::Enable;
    bool abortOnError = false;
    std::uint16_t xonLim = 2048;
    std::uint16_t xoffLim = 512;
    std::uint8_t byteSize = 8;  // 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    char xonChar = 0x11;
    char xoffChar = 0x13;
    char errorCharValue = 0;
    char eofChar = 0;
    char evtChar = 0;
};

// The fields of a Windows COMMTIMEOUTS, in milliseconds.
struct Timeouts {
    std::uint32_t readInterval = 0xFFFFFFFFu;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Reads up to `max` bytes into `buffer`; with the time-outs of every profile it returns at
    // once with what has arrived (possibly nothing). False when the read call fails, e.g. the
    // line was hung up.
    virtual bool read(std::uint8_t* buffer, std::size_t max, std::size_t& count) = 0;
    // Writes `length` bytes in one call; `written` receives how many were taken.
    virtual bool write(const std::uint8_t* data, std::size_t length, std::size_t& written) = 0;
    // Waits at most `timeoutMs` for input (or a pending error, which the next read reports).
    // True when a read would not come back empty-handed.
    virtual bool waitReadable(std::uint32_t timeoutMs) = 0;
    virtual bool getLineSettings(LineSettings& settings) = 0;
    virtual bool setLineSettings(const LineSettings& settings) = 0;
    virtual bool getTimeouts(Timeouts& timeouts) = 0;
    virtual bool setTimeouts(const Timeouts& timeouts) = 0;
    // Closes the device; false when the system refused. Later calls fail.
    virtual bool close() = 0;
};

// Opens a terminal device for exclusive reading and writing, in raw mode with reads that
// return at once. Null when it cannot be opened or is not a terminal.
std::unique_ptr<SerialPort> openSerialPort(const std::string& devicePath);

// The machine's serial devices that have hardware behind them: /dev/ttyS<n> with a known
// UART, /dev/ttyUSB<n> and /dev/ttyACM<n>, as device paths.
std::vector<std::string> serialDevices();

// The master side of a pseudo-terminal, for simulated instruments. The slave side is an
// ordinary terminal device that openSerialPort accepts.
class PtyMaster {
public:
    PtyMaster() = default;
    ~PtyMaster();
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    // Creates the pair; false on failure.
    bool open();
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& slavePath() const { return m_slavePath; }

    // Immediate-return read; false on error. A hung-up slave (nobody has it open) reads as
    // no data, not as an error.
    bool read(std::uint8_t* buffer, std::size_t max, std::size_t& count);
    bool write(const std::uint8_t* data, std::size_t length);
    bool waitReadable(std::uint32_t timeoutMs);
    // Line settings the slave's user applied that a pty keeps on the master side: the baud
    // rate and the stop bits (data bits and parity are not kept there).
    std::uint32_t baudRate() const;
    StopBits stopBits() const;

private:
    int m_fd = -1;
    std::string m_slavePath;
};

}  // namespace platform

#endif  // PLATFORM_SERIAL_PORT_H
