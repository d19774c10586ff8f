// Milliseconds, sleeping and the system beep behind an interface tests can replace.
#ifndef PLATFORM_CLOCK_H
#define PLATFORM_CLOCK_H

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
    virtual std::uint32_t tickMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
    virtual void beep() = 0;
};

// The real clock (monotonic time, nanosleep, terminal bell).
Clock& systemClock();

}  // namespace platform

#endif  // PLATFORM_CLOCK_H
