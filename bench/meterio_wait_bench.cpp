// CPU cost of a button wait: the ambient reader polls the simulated EyeOne, which is never pressed,
// until the callback stops it after two seconds. The figure is CPU time as a share of one core.
// The spot head's key wait is measured the same way.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "meterio32.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"
#include "sim/serial/table_sim.h"

namespace {

using WallClock = std::chrono::steady_clock;

constexpr auto kWait = std::chrono::seconds(2);
WallClock::time_point g_stopAt;

int32_t stopAfterTwoSeconds(int32_t) {
    return WallClock::now() >= g_stopAt ? 1 : 0;
}

// Runs `wait`, which its callback ends after kWait, once per iteration and reports the CPU time
// it took as a share of one core.
template <typename Wait>
void timeWaits(benchmark::State& state, Wait&& wait) {
    double cpuSeconds = 0.0;
    double wallSeconds = 0.0;
    for (auto _ : state) {
        const std::clock_t cpu0 = std::clock();
        const WallClock::time_point wall0 = WallClock::now();
        g_stopAt = wall0 + kWait;
        const uint32_t result = wait();
        benchmark::DoNotOptimize(result);
        cpuSeconds += static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
        wallSeconds += std::chrono::duration<double>(WallClock::now() - wall0).count();
        if (result != METERIO_CANCELLED)
            state.SkipWithError("the wait did not end by the callback");
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpuSeconds / wallSeconds;
}

void buttonWait(benchmark::State& state) {
    ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
    ::setenv("QEL_SIM_EYEONE_BUTTON", "never", 1);
    ReaderHandle handle = 0;
    if (QelAmbientReader_Open(0, nullptr, 0, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated EyeOne did not open");
        return;
    }
    uint8_t pressed = 0;
    timeWaits(state, [&] {
        return QelAmbientReader_WaitForKeyInput(handle, stopAfterTwoSeconds, &pressed);
    });
    QelAmbientReader_Close(handle);
}

BENCHMARK(buttonWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same for the serial spot head, simulated on a pseudo-terminal, whose key is never pressed:
// the driver polls its key state; the figure includes the simulator's answering thread.
int32_t stopHeadAfterTwoSeconds(int32_t) {
    return WallClock::now() >= g_stopAt ? -1 : 0;
}

void spotHeadKeyWait(benchmark::State& state) {
    sim::SpotHeadSim head;
    sim::PtySimulator pty(head);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ReaderHandle handle = 0;
    if (QelSpotReader_Open(2, "COM101:", 9600, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated spot head did not open");
        return;
    }
    const std::size_t polls0 = pty.requestCount();
    uint8_t pressed = 0;
    timeWaits(state, [&] {
        return QelSpotReader_WaitForKeyInput(handle, stopHeadAfterTwoSeconds, &pressed);
    });
    state.counters["key_polls_per_second"] =
        static_cast<double>(pty.requestCount() - polls0) /
        (static_cast<double>(state.iterations()) * std::chrono::duration<double>(kWait).count());
    QelSpotReader_Close(handle);
}

BENCHMARK(spotHeadKeyWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The measuring table's key wait: the table never reports a key, the driver waits on the line in
// 1 ms turns and calls the callback every 50 ms. Also reports how long after the callback first
// answered -1 the wait returned.
void stageKeyWait(benchmark::State& state) {
    sim::TableSim table;
    sim::PtySimulator pty(table);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ReaderHandle handle = 0;
    if (QelStageReader_Open(0, "COM101:", 9600, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated table did not open");
        return;
    }
    double latestStopMs = 0.0;
    uint8_t key = 0;
    timeWaits(state, [&] {
        const uint32_t result =
            QelStageReader_WaitForKeyInput(handle, stopHeadAfterTwoSeconds, &key);
        const double stopMs =
            std::chrono::duration<double, std::milli>(WallClock::now() - g_stopAt).count();
        latestStopMs = std::max(latestStopMs, stopMs);
        return result;
    });
    state.counters["stop_seen_after_ms"] = latestStopMs;
    QelStageReader_Close(handle);
}

BENCHMARK(stageKeyWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
