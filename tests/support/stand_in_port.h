// Driver tests without a device: a scripted port that drivers open by name as often as they
// like, logging every open, rate and close, and a clock that moves on with every look at it.
#ifndef TESTS_SUPPORT_STAND_IN_PORT_H
#define TESTS_SUPPORT_STAND_IN_PORT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "meterio/serial/port.h"
#include "platform/clock.h"
#include "sim/serial/scripted_port.h"

namespace testsupport {

// Time advances `stepMs` per tick reading and by every sleep, so waits end after a few turns.
class StepClock final : public platform::Clock {
public:
    explicit StepClock(std::uint32_t stepMs = 5, std::uint32_t startMs = 0xFFFF0000u)
        : m_stepMs(stepMs), m_now(startMs) {}
    std::uint32_t tickMs() override { return m_now += m_stepMs; }
    void sleepMs(std::uint32_t ms) override {
        m_now += ms;
        slept += ms;
    }
    void beep() override {}
    std::uint64_t slept = 0;

private:
    std::uint32_t m_stepMs;
    std::uint32_t m_now;
};

// One scripted instrument behind every port name. `opener()` hands drivers a view of it.
class StandInLine {
public:
    sim::ScriptedPort script;
    std::vector<std::string> log;  // "open COM1", "rate 9600", "close"
    int openPorts = 0;
    bool refuseOpen = false;

    // One answer per command written, in order ("" = silence).
    template <typename Replies>
    void answer(const Replies& replies) {
        for (const auto& reply : replies)
            script.answerWrite(reply);
    }
    void answer(std::initializer_list<std::string_view> replies) {
        answer<std::initializer_list<std::string_view>>(replies);
    }

    meterio::serial::PortOpener opener() {
        return [this](std::string_view name, meterio::serial::Port& port) {
            port.reset();
            if (refuseOpen) return false;
            log.push_back("open " + std::string(name));
            ++openPorts;
            port = std::make_unique<View>(*this);
            return true;
        };
    }
    // The opens and rates of the log, without the closes.
    std::vector<std::string> probes() const {
        std::vector<std::string> out;
        for (const auto& entry : log)
            if (entry.starts_with("open") || entry.starts_with("rate")) out.push_back(entry);
        return out;
    }

private:
    class View final : public platform::SerialPort {
    public:
        explicit View(StandInLine& line) : m_line(line) {}
        ~View() override {
            if (m_open) close();
        }
        bool read(std::uint8_t* b, std::size_t max, std::size_t& count) override {
            return m_line.script.read(b, max, count);
        }
        bool write(const std::uint8_t* d, std::size_t length, std::size_t& written) override {
            return m_line.script.write(d, length, written);
        }
        bool waitReadable(std::uint32_t ms) override { return m_line.script.waitReadable(ms); }
        bool getLineSettings(platform::LineSettings& s) override {
            return m_line.script.getLineSettings(s);
        }
        bool setLineSettings(const platform::LineSettings& s) override {
            m_line.log.push_back("rate " + std::to_string(s.baudRate));
            return m_line.script.setLineSettings(s);
        }
        bool getTimeouts(platform::Timeouts& t) override { return m_line.script.getTimeouts(t); }
        bool setTimeouts(const platform::Timeouts& t) override {
            return m_line.script.setTimeouts(t);
        }
        bool close() override {
            if (m_open) {
                m_open = false;
                --m_line.openPorts;
                m_line.log.push_back("close");
            }
            return true;
        }

    private:
        StandInLine& m_line;
        bool m_open = true;
    };
};

}  // namespace testsupport

#endif  // TESTS_SUPPORT_STAND_IN_PORT_H
