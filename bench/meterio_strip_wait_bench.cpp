// CPU cost of a strip reading wait: the strip reader waits on the simulated DTP41 for a reading
// that never ends until the callback stops it after two seconds. The figure is the waiting
// thread's CPU time as a share of one core (the simulator's thread is not counted).
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>

#include "meterio32.h"
#include "sim/serial/dtp41_sim.h"
#include "sim/serial/pty_simulator.h"

namespace {

using WallClock = std::chrono::steady_clock;

constexpr auto kWait = std::chrono::seconds(2);
WallClock::time_point g_stopAt;

int32_t stopAfterTwoSeconds(int32_t) {
    return WallClock::now() >= g_stopAt ? -1 : 0;
}

double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void stripReadingWait(benchmark::State& state) {
    sim::Dtp41Sim dtp41;
    dtp41.update([](sim::Dtp41State& s) { s.readingCompletes = false; });
    sim::PtySimulator pty(dtp41);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ReaderHandle handle = 0;
    if (QelStripReader_Open(0, nullptr, 0, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated DTP41 did not open");
        return;
    }
    double cpuSeconds = 0.0;
    double wallSeconds = 0.0;
    for (auto _ : state) {
        dtp41.pullStrip();
        const double cpu0 = threadCpuSeconds();
        const WallClock::time_point wall0 = WallClock::now();
        g_stopAt = wall0 + kWait;
        uint8_t taken = 0;
        const uint32_t result = QelStripReader_WaitForKeyInput(handle, stopAfterTwoSeconds, &taken);
        benchmark::DoNotOptimize(result);
        cpuSeconds += threadCpuSeconds() - cpu0;
        wallSeconds += std::chrono::duration<double>(WallClock::now() - wall0).count();
        if (result != METERIO_CANCELLED)
            state.SkipWithError("the wait did not end by the callback");
    }
    QelStripReader_Close(handle);
    state.counters["cpu_percent_of_core"] = 100.0 * cpuSeconds / wallSeconds;
}

BENCHMARK(stripReadingWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
