// A clock that moves on by a fixed step at every look, so that long instrument waits end after
// a bounded number of turns without real time passing.
#ifndef TESTS_SUPPORT_STEPPING_CLOCK_H
#define TESTS_SUPPORT_STEPPING_CLOCK_H

#include <cstdint>

#include "platform/clock.h"

namespace testsupport {

class SteppingClock final : public platform::Clock {
public:
    explicit SteppingClock(std::uint32_t stepMs = 1, std::uint32_t start = 0)
        : m_step(stepMs), m_now(start) {}
    std::uint32_t tickMs() override { return m_now += m_step; }
    void sleepMs(std::uint32_t ms) override { m_now += ms; }
    void beep() override {}

private:
    std::uint32_t m_step;
    std::uint32_t m_now;
};

}  // namespace testsupport

#endif  // TESTS_SUPPORT_STEPPING_CLOCK_H
