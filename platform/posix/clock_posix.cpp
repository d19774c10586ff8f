// The system clock: CLOCK_MONOTONIC ticks, nanosleep, and the terminal bell as beep.
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/clock.h"

namespace platform {
namespace {

class SystemClock final : public Clock {
public:
    std::uint32_t tickMs() override {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                        static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<std::uint32_t>(ms);
    }

    void sleepMs(std::uint32_t ms) override {
        timespec rest{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
        while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
        }
    }

    // No sound device is assumed; a terminal rings its bell when one is attached.
    void beep() override {
        if (::isatty(STDERR_FILENO) == 1) {
            const char bell = '\a';
            [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, &bell, 1);
        }
    }
};

}  // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace platform
