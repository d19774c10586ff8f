// Clocks for driver tests: one that runs faster than real time, so that long instrument waits
// pass quickly while a loaded machine still answers in time.
#ifndef TESTS_SUPPORT_FAST_CLOCK_H
#define TESTS_SUPPORT_FAST_CLOCK_H

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/clock.h"

namespace testsupport {

// Reports `speedUp` milliseconds for every real one, from `startMs` (the tick count wraps like
// a 32-bit one); sleeps are shortened by the same factor.
class FastClock final : public platform::Clock {
public:
    explicit FastClock(int speedUp = 6, std::uint32_t startMs = 0)
        : m_speedUp(speedUp), m_startMs(startMs) {}
    std::uint32_t tickMs() override {
        const auto elapsed = std::chrono::steady_clock::now() - m_start;
        return m_startMs +
               static_cast<std::uint32_t>(
                   std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() *
                   m_speedUp / 1000);
    }
    void sleepMs(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::microseconds(1000LL * ms / m_speedUp));
    }
    void beep() override {}

private:
    int m_speedUp;
    std::uint32_t m_startMs;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}  // namespace testsupport

#endif  // TESTS_SUPPORT_FAST_CLOCK_H
