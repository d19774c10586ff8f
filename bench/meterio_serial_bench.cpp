// CPU cost of a reply wait: SerialExchange sends a request on a pseudo-terminal whose other end
// stays silent and waits out a two-second deadline. The figure is CPU time as a share of one
// core. The peer runs the same exchange on a port that never waits for input, which is the
// busy poll of a wait without the 1 ms readable wait.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "meterio/serial/exchange.h"
#include "platform/serial_port.h"

namespace {

namespace serial = meterio::serial;
using WallClock = std::chrono::steady_clock;

constexpr std::uint32_t kWaitMs = 2000;

// Forwards to a real port but reports "nothing yet" at once instead of waiting.
class SpinningPort final : public platform::SerialPort {
public:
    explicit SpinningPort(platform::SerialPort& port) : m_port(port) {}
    bool read(std::uint8_t* b, std::size_t m, std::size_t& c) override {
        return m_port.read(b, m, c);
    }
    bool write(const std::uint8_t* d, std::size_t l, std::size_t& w) override {
        return m_port.write(d, l, w);
    }
    bool waitReadable(std::uint32_t) override { return false; }
    bool getLineSettings(platform::LineSettings& s) override { return m_port.getLineSettings(s); }
    bool setLineSettings(const platform::LineSettings& s) override {
        return m_port.setLineSettings(s);
    }
    bool getTimeouts(platform::Timeouts& t) override { return m_port.getTimeouts(t); }
    bool setTimeouts(const platform::Timeouts& t) override { return m_port.setTimeouts(t); }
    bool close() override { return m_port.close(); }

private:
    platform::SerialPort& m_port;
};

void silentReplyWait(benchmark::State& state, bool spin) {
    platform::PtyMaster master;
    serial::Port port;
    if (!master.open() || !serial::SerialOpen(master.slavePath(), port) ||
        serial::SerialSetProfile(*port, serial::LineProfile::SpotHead, 9600) !=
            meterio::Result::Ok) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    SpinningPort spinning(*port);
    platform::SerialPort& used = spin ? static_cast<platform::SerialPort&>(spinning) : *port;
    std::uint8_t reply[513] = {};
    double cpuSeconds = 0.0;
    double wallSeconds = 0.0;
    for (auto _ : state) {
        const std::clock_t cpu0 = std::clock();
        const WallClock::time_point wall0 = WallClock::now();
        const meterio::Result result = serial::SerialExchange(
            used, "; 8\r\n", "\r\n", 1, 512, reply, kWaitMs, 0, [](std::int32_t) { return 0; });
        cpuSeconds += static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
        wallSeconds += std::chrono::duration<double>(WallClock::now() - wall0).count();
        if (result != meterio::Result::NoInstrument) state.SkipWithError("the line answered");
        // The master side drops what was sent.
        std::uint8_t sink[64];
        std::size_t count = 0;
        master.read(sink, sizeof sink, count);
    }
    state.counters["cpu_percent_of_core"] = 100.0 * cpuSeconds / wallSeconds;
}

void exchangeWaitsForReadable(benchmark::State& state) {
    silentReplyWait(state, false);
}
void exchangeBusyPollPeer(benchmark::State& state) {
    silentReplyWait(state, true);
}

BENCHMARK(exchangeWaitsForReadable)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(exchangeBusyPollPeer)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
