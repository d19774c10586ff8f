// CPU cost of a button wait: the ambient reader polls the simulated EyeOne, which is never pressed,
// until the callback stops it after two seconds. The figure is CPU time as a share of one core.
// The spot head's key wait is measured the same way.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "meterio32.h"
#include "sim/kmsecs200/sim_kmsecs200.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"

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

// The USB display instrument answers "ER02" (still measuring) to every data read; the callback
// stops the measurement after two seconds. Reported: CPU time as a share of one core, and the
// time from the callback's -1 to the return.
WallClock::time_point g_cancelledAt;

int32_t cancelAfterTwoSeconds(int32_t) {
    const WallClock::time_point now = WallClock::now();
    if (now < g_stopAt) return 0;
    if (g_cancelledAt == WallClock::time_point{}) g_cancelledAt = now;
    return -1;
}

void stillMeasuring(benchmark::State& state) {
    ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
    void* sim = ::dlopen((std::string(QEL_SIM_DIR) + "/libKmsecs200.so").c_str(), RTLD_NOW);
    auto reset =
        sim ? reinterpret_cast<SimKmsecs200_ResetFn>(::dlsym(sim, "SimKmsecs200_Reset")) : nullptr;
    auto busy = sim ? reinterpret_cast<SimKmsecs200_StillMeasuringFn>(
                          ::dlsym(sim, "SimKmsecs200_StillMeasuring"))
                    : nullptr;
    ReaderHandle handle = 0;
    if (reset == nullptr || busy == nullptr) {
        state.SkipWithError("the simulated Kmsecs200 library did not load");
        return;
    }
    reset();
    if (QelMonitorReader_Open(4, nullptr, 0, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated USB instrument did not open");
        return;
    }
    busy(0xFFFFFFFFu);
    double latencyMs = 0.0;
    timeWaits(state, [&] {
        g_cancelledAt = {};
        ColorantRecord record{};
        const uint32_t result =
            QelMonitorReader_ScanColorant(handle, cancelAfterTwoSeconds, &record);
        const std::chrono::duration<double, std::milli> latency = WallClock::now() - g_cancelledAt;
        latencyMs = std::max(latencyMs, latency.count());
        return result;
    });
    busy(0);
    QelMonitorReader_Close(handle);
    ::dlclose(sim);
    state.counters["ms_from_cancel_to_return"] = latencyMs;
}

BENCHMARK(stillMeasuring)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

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

}  // namespace

BENCHMARK_MAIN();
