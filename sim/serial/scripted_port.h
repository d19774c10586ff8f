// A SerialPort without a device: reads come from a script of bytes, writes are recorded.
// Serves unit tests and the fuzz target where no pseudo-terminal is wanted.
#ifndef SIM_SERIAL_SCRIPTED_PORT_H
#define SIM_SERIAL_SCRIPTED_PORT_H

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace sim {

class ScriptedPort final : public platform::SerialPort {
public:
    // Bytes the port will deliver, in order.
    void feed(std::string_view bytes) { m_input.insert(m_input.end(), bytes.begin(), bytes.end()); }
    // Bytes the port delivers once the next write has been made: one entry per write, in order.
    void answerWrite(std::string_view bytes) { m_answers.emplace_back(bytes); }
    // Reads fail once this many more bytes have been delivered (negative: never).
    void failReadsAfter(long bytes) { m_failAfter = bytes; }
    void failWrites(bool fail) { m_failWrites = fail; }
    const std::string& written() const { return m_written; }
    std::size_t pending() const { return m_input.size(); }
    std::size_t readCalls() const { return m_readCalls; }

    bool read(std::uint8_t* buffer, std::size_t max, std::size_t& count) override {
        ++m_readCalls;
        count = 0;
        while (count < max && !m_input.empty()) {
            if (m_failAfter == 0) return false;
            if (m_failAfter > 0) --m_failAfter;
            buffer[count++] = static_cast<std::uint8_t>(m_input.front());
            m_input.pop_front();
        }
        return !(count == 0 && m_failAfter == 0);
    }
    bool write(const std::uint8_t* data, std::size_t length, std::size_t& written) override {
        written = 0;
        if (m_failWrites) return false;
        m_written.append(reinterpret_cast<const char*>(data), length);
        written = length;
        if (!m_answers.empty()) {
            feed(m_answers.front());
            m_answers.pop_front();
        }
        return true;
    }
    bool waitReadable(std::uint32_t) override { return !m_input.empty(); }
    bool getLineSettings(platform::LineSettings& s) override {
        s = m_line;
        return true;
    }
    bool setLineSettings(const platform::LineSettings& s) override {
        m_line = s;
        return true;
    }
    bool getTimeouts(platform::Timeouts& t) override {
        t = m_timeouts;
        return true;
    }
    bool setTimeouts(const platform::Timeouts& t) override {
        m_timeouts = t;
        return true;
    }
    bool close() override { return true; }

private:
    std::deque<char> m_input;
    std::deque<std::string> m_answers;
    std::string m_written;
    long m_failAfter = -1;
    bool m_failWrites = false;
    std::size_t m_readCalls = 0;
    platform::LineSettings m_line;
    platform::Timeouts m_timeouts;
};

}  // namespace sim

#endif  // SIM_SERIAL_SCRIPTED_PORT_H
