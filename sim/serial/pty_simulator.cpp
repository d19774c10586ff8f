// The pty simulator loop: collect request lines, apply faults, write replies.
#include "sim/serial/pty_simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

namespace sim {

PtySimulator::PtySimulator(LineInstrument& instrument, std::uint32_t baudRate,
                           std::string_view terminator)
    : m_instrument(instrument), m_baudRate(baudRate), m_terminator(terminator) {}

PtySimulator::~PtySimulator() {
    stop();
}

bool PtySimulator::start() {
    if (m_running) return true;
    if (!m_master.open()) return false;
    m_devicePath = m_master.slavePath();
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void PtySimulator::stop() {
    m_running = false;
    if (m_thread.joinable()) m_thread.join();
    m_master.close();
}

void PtySimulator::inject(FaultSpec planned) {
    std::lock_guard lock(m_mutex);
    m_faults.push_back(std::move(planned));
}

void PtySimulator::clearFaults() {
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

void PtySimulator::send(std::string_view bytes) {
    std::lock_guard lock(m_writeMutex);
    m_master.write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void PtySimulator::sendAfter(std::string bytes, std::uint32_t afterMs) {
    std::lock_guard lock(m_mutex);
    m_timed.emplace_back(std::chrono::steady_clock::now() + std::chrono::milliseconds(afterMs),
                         std::move(bytes));
}

void PtySimulator::cancelTimedSends() {
    std::lock_guard lock(m_mutex);
    m_timed.clear();
}

std::uint32_t PtySimulator::sendDue() {
    constexpr std::uint32_t kTurnMs = 5;
    std::vector<std::string> due;
    std::uint32_t nextMs = kTurnMs;
    {
        std::lock_guard lock(m_mutex);
        const TimePoint now = std::chrono::steady_clock::now();
        for (auto it = m_timed.begin(); it != m_timed.end();) {
            if (it->first <= now) {
                due.push_back(std::move(it->second));
                it = m_timed.erase(it);
                continue;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(it->first - now).count();
            nextMs = std::min<std::uint32_t>(nextMs, static_cast<std::uint32_t>(left) + 1);
            ++it;
        }
    }
    for (const std::string& bytes : due)
        send(bytes);
    return nextMs;
}

std::uint32_t PtySimulator::lineBaudRate() const {
    std::lock_guard lock(m_writeMutex);
    return m_master.baudRate();
}

std::vector<std::string> PtySimulator::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t PtySimulator::requestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

void PtySimulator::run() {
    std::string pending;
    std::uint8_t buffer[256];
    while (m_running) {
        const std::uint32_t waitMs = sendDue();
        if (!m_master.isOpen()) return;
        if (!m_master.waitReadable(waitMs)) continue;
        std::size_t count = 0;
        if (!m_master.read(buffer, sizeof buffer, count) || count == 0) continue;
        pending.append(reinterpret_cast<const char*>(buffer), count);
        for (std::size_t end; (end = pending.find(m_terminator)) != std::string::npos;) {
            const std::string request = pending.substr(0, end);
            pending.erase(0, end + m_terminator.size());
            handle(request);
            if (!m_master.isOpen()) return;
        }
    }
}

void PtySimulator::handle(const std::string& request) {
    FaultSpec planned;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
            if (request.compare(0, it->requestPrefix.size(), it->requestPrefix) != 0) continue;
            planned = *it;
            if (!it->sticky) m_faults.erase(it);
            break;
        }
    }
    // A real instrument at another rate hears noise and stays quiet.
    if (m_baudRate != 0 && m_master.baudRate() != m_baudRate) return;
    if (planned.fault == Fault::Silence) return;

    const bool inReply = planned.fault == Fault::WrongNumber || planned.fault == Fault::ErrorStatus;
    std::string reply =
        m_instrument.answer(request, inReply ? planned.fault : Fault::None, planned.value);
    for (Unsolicited& later : m_instrument.unsolicited())
        sendAfter(std::move(later.bytes), later.afterMs);
    if (reply.empty()) return;

    switch (planned.fault) {
        case Fault::Garble: {
            static thread_local std::mt19937 random(7);
            const std::size_t keep = reply.size() >= m_terminator.size() &&
                                             reply.compare(reply.size() - m_terminator.size(),
                                                           m_terminator.size(), m_terminator) == 0
                                         ? m_terminator.size()
                                         : 0;
            static constexpr char kNoise[] = "#@%&*?!~^";
            for (std::size_t i = 0; i + keep < reply.size(); ++i)
                reply[i] = kNoise[random() % (sizeof kNoise - 1)];
            break;
        }
        case Fault::Truncate:
            reply.resize(reply.size() / 2);
            break;
        case Fault::Delay:
            std::this_thread::sleep_for(std::chrono::milliseconds(planned.value));
            break;
        case Fault::GarbleLine:
        case Fault::DropLine:
        case Fault::CutLines: {
            std::vector<std::string> lines;
            for (std::size_t begin = 0; begin < reply.size();) {
                const std::size_t end = reply.find(m_terminator, begin);
                const std::size_t next =
                    end == std::string::npos ? reply.size() : end + m_terminator.size();
                lines.push_back(reply.substr(begin, next - begin));
                begin = next;
            }
            if (planned.fault == Fault::GarbleLine && planned.value < lines.size()) {
                std::string& line = lines[planned.value];
                for (std::size_t i = 0; i < line.size() && line[i] != m_terminator.front(); ++i)
                    line[i] = "#@%&*?!~^"[i % 9];
            } else if (planned.fault == Fault::DropLine && planned.value >= 1 &&
                       planned.value <= lines.size()) {
                lines.erase(lines.end() - static_cast<long>(planned.value));
            } else if (planned.fault == Fault::CutLines && planned.value < lines.size()) {
                lines.resize(planned.value);
            }
            reply.clear();
            for (const std::string& line : lines)
                reply += line;
            break;
        }
        case Fault::HangUp: {
            reply.resize(reply.size() / 2);
            send(reply);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m_running = false;
            std::lock_guard lock(m_writeMutex);
            m_master.close();
            return;
        }
        default:
            break;
    }
    send(reply);
}

namespace {

std::string take(const char* name, bool& had) {
    const char* value = std::getenv(name);
    had = value != nullptr;
    return had ? value : "";
}

void restore(const char* name, bool had, const std::string& value) {
    if (had)
        ::setenv(name, value.c_str(), 1);
    else
        ::unsetenv(name);
}

}  // namespace

SerialPortsEnvironment::SerialPortsEnvironment(const std::vector<std::string>& devices) {
    m_oldPorts = take("QEL_SERIAL_PORTS", m_hadPorts);
    m_oldScan = take("QEL_SERIAL_SCAN", m_hadScan);
    std::string list;
    for (const auto& d : devices)
        list += (list.empty() ? "" : ":") + d;
    ::setenv("QEL_SERIAL_PORTS", list.c_str(), 1);
    ::setenv("QEL_SERIAL_SCAN", "0", 1);
}

SerialPortsEnvironment::~SerialPortsEnvironment() {
    restore("QEL_SERIAL_PORTS", m_hadPorts, m_oldPorts);
    restore("QEL_SERIAL_SCAN", m_hadScan, m_oldScan);
}

}  // namespace sim
