// CPU cost of a button wait: the ambient reader polls the simulated EyeOne, which is never pressed,
// until the callback stops it after two seconds. The figure is CPU time as a share of one core.
// The spot head's key wait and the DTP41's reading wait are measured the same way.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "meterio32.h"
#include "sim/kmsecs200/sim_kmsecs200.h"
#include "sim/serial/display_sims.h"
#include "sim/serial/dtp41_sim.h"
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

// Times colour scans on a monitor reader that the callback cancels after two seconds; returns
// the longest time from the cancel to the scan's return, in ms.
double timeCancelledScans(benchmark::State& state, ReaderHandle handle) {
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
    return latencyMs;
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
    const double latencyMs = timeCancelledScans(state, handle);
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

// The strip reader on the simulated DTP41: a strip is pulled but its reading never ends, so the
// driver waits for the reading's end in 1 ms turns until the callback stops it after two seconds;
// the figure includes the simulator's answering thread.
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
    if (QelStripReader_Open(0, "COM101:", 9600, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated DTP41 did not open");
        return;
    }
    uint8_t taken = 0;
    timeWaits(state, [&] {
        dtp41.pullStrip();
        return QelStripReader_WaitForKeyInput(handle, stopHeadAfterTwoSeconds, &taken);
    });
    QelStripReader_Close(handle);
}

BENCHMARK(stripReadingWait)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The serial display spectrometer, simulated on a pseudo-terminal, starts a measurement that
// never ends; the callback stops it after two seconds. Reported as for the USB instrument; the
// time to return includes the stop command and its reply.
void spectrometerNeverAnswers(benchmark::State& state) {
    sim::SpectrometerSim spectrometer;
    spectrometer.update([](sim::SpectrometerState& s) { s.measureMs = s.kNever; });
    sim::PtySimulator pty(spectrometer, 19200, "\n");
    spectrometer.attach(pty);
    if (!pty.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    sim::SerialPortsEnvironment env({pty.devicePath()});
    ReaderHandle handle = 0;
    if (QelMonitorReader_Open(2, "COM101:", 19200, nullptr, &handle) != METERIO_OK) {
        state.SkipWithError("the simulated spectrometer did not open");
        return;
    }
    const double latencyMs = timeCancelledScans(state, handle);
    QelMonitorReader_Close(handle);
    state.counters["ms_from_cancel_to_return"] = latencyMs;
}

BENCHMARK(spectrometerNeverAnswers)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

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
