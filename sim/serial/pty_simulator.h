// Serial instruments on pseudo-terminals: the simulator holds the master side and answers
// request lines; the library opens the slave side like any port. Faults can be injected into
// the replies.
#ifndef SIM_SERIAL_PTY_SIMULATOR_H
#define SIM_SERIAL_PTY_SIMULATOR_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/serial_port.h"

namespace sim {

enum class Fault {
    None,
    Silence,      // no reply at all
    Garble,       // the reply's text is replaced by noise of the same length, CR LF kept
    Truncate,     // only the first half of the reply, then silence
    WrongNumber,  // the reply carries the next reply number
    ErrorStatus,  // the reply's status field carries the fault's value
    Delay,        // the reply comes after the fault's value in milliseconds
    HangUp,       // the first half of the reply, then the line closes
};

struct FaultSpec {
    Fault fault = Fault::None;
    std::string requestPrefix;  // the first request starting with this text gets the fault
    std::uint32_t value = 0;    // status for ErrorStatus, milliseconds for Delay
    bool sticky = false;        // applies to every matching request, not just the next
};

// An instrument that answers one request line (terminator removed) with reply text.
class LineInstrument {
public:
    virtual ~LineInstrument() = default;
    // The whole reply including its terminator; empty for no reply. `fault` is None,
    // WrongNumber or ErrorStatus (with `value`); the simulator carries out the others.
    virtual std::string answer(std::string_view request, Fault fault, std::uint32_t value) = 0;
};

class PtySimulator {
public:
    // `baudRate` 0 answers at any rate; otherwise requests are ignored unless the port's user
    // has set that rate.
    explicit PtySimulator(LineInstrument& instrument, std::uint32_t baudRate = 0,
                          std::string_view terminator = "\r\n");
    ~PtySimulator();
    PtySimulator(const PtySimulator&) = delete;
    PtySimulator& operator=(const PtySimulator&) = delete;

    // Creates the pty and starts answering; false when no pty could be made.
    bool start();
    void stop();
    const std::string& devicePath() const { return m_devicePath; }

    void inject(FaultSpec planned);
    void clearFaults();
    // Writes raw bytes to the port's user at once (unsolicited output).
    void send(std::string_view bytes);
    // Request lines received so far (including ignored ones).
    std::vector<std::string> requests() const;
    std::size_t requestCount() const;
    // The baud rate the port's user last set, as the master side sees it.
    std::uint32_t lineBaudRate() const;

private:
    void run();
    void handle(const std::string& request);

    LineInstrument& m_instrument;
    std::uint32_t m_baudRate;
    std::string m_terminator;
    platform::PtyMaster m_master;
    std::string m_devicePath;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    mutable std::mutex m_mutex;
    std::deque<FaultSpec> m_faults;
    std::vector<std::string> m_requests;
    // Held by other threads using m_master while the answering thread runs, and by that thread
    // when it closes the line on a hang-up.
    mutable std::mutex m_writeMutex;
};

// Sets QEL_SERIAL_PORTS to the simulators' devices (as COM101, COM102, ... in this order) and
// QEL_SERIAL_SCAN=0, restoring both when destroyed.
class SerialPortsEnvironment {
public:
    explicit SerialPortsEnvironment(const std::vector<std::string>& devices);
    ~SerialPortsEnvironment();
    SerialPortsEnvironment(const SerialPortsEnvironment&) = delete;
    SerialPortsEnvironment& operator=(const SerialPortsEnvironment&) = delete;

private:
    std::string m_oldPorts, m_oldScan;
    bool m_hadPorts = false;
    bool m_hadScan = false;
};

}  // namespace sim

#endif  // SIM_SERIAL_PTY_SIMULATOR_H
