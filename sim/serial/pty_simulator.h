// Serial instruments on pseudo-terminals: the simulator holds the master side and answers
// request lines; the library opens the slave side like any port. Faults can be injected into
// the replies.
#ifndef SIM_SERIAL_PTY_SIMULATOR_H
#define SIM_SERIAL_PTY_SIMULATOR_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
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
    GarbleLine,   // line `value` (from 0) of the reply is replaced by noise, CR LF kept
    DropLine,     // line `value` counted from the end (1 = the last) is left out
    CutLines,     // only the first `value` lines of the reply, then silence
};

struct FaultSpec {
    Fault fault = Fault::None;
    std::string requestPrefix;  // the first request starting with this text gets the fault
    std::uint32_t value = 0;    // status for ErrorStatus, milliseconds for Delay
    bool sticky = false;        // applies to every matching request, not just the next
};

// Output an instrument sends on its own, `afterMs` after the answer that announced it.
struct Unsolicited {
    std::string bytes;
    std::uint32_t afterMs = 0;
};

// An instrument that answers one request line (terminator removed) with reply text.
class LineInstrument {
public:
    virtual ~LineInstrument() = default;
    // The whole reply including its terminator; empty for no reply. `fault` is None,
    // WrongNumber or ErrorStatus (with `value`); the simulator carries out the others.
    virtual std::string answer(std::string_view request, Fault fault, std::uint32_t value) = 0;
    // Called after every answer: output to send later without a request.
    virtual std::vector<Unsolicited> unsolicited() { return {}; }
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
    // Writes `bytes` from the answering thread once `afterMs` have passed.
    void sendAfter(std::string bytes, std::uint32_t afterMs);
    // Drops the timed sends not made yet.
    void cancelTimedSends();
    // Request lines received so far (including ignored ones).
    std::vector<std::string> requests() const;
    std::size_t requestCount() const;
    // The baud rate the port's user last set, as the master side sees it.
    std::uint32_t lineBaudRate() const;

private:
    using TimePoint = std::chrono::steady_clock::time_point;

    void run();
    void handle(const std::string& request);
    // Makes the timed sends that are due; returns the milliseconds to the next one (at most 5).
    std::uint32_t sendDue();

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
    std::vector<std::pair<TimePoint, std::string>> m_timed;  // guarded by m_mutex
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
