// One timed pass over a benchmark's colour data per iteration, for the colour-library suites.
#ifndef BENCH_COLOUR_PASSES_H
#define BENCH_COLOUR_PASSES_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Times `pass(data)` over `items` colours per iteration; the data is built once, on first use.
template <typename Data, typename Pass>
void timePasses(benchmark::State& state, std::size_t items, Pass&& pass) {
    static Data data;
    for (auto _ : state) {
        pass(data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(items));
}

// Registers `pass` as the benchmark `name`, timed as timePasses times it, in milliseconds.
template <typename Data, typename Pass>
void registerPasses(const std::string& name, std::size_t items, Pass pass) {
    benchmark::RegisterBenchmark(name.c_str(), [items, pass](benchmark::State& state) {
        timePasses<Data>(state, items, pass);
    })->Unit(benchmark::kMillisecond);
}

// Console output as usual, keeping the CPU time of each benchmark (the median when
// repeated) for a summary printed after the run.
class TimesReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            if (median || m_medians.count(run.run_name.str()) == 0)
                m_times[run.run_name.str()] = run.GetAdjustedCPUTime();
            if (median) m_medians[run.run_name.str()] = true;
        }
    }

protected:
    // The kept time of `name`, 0 when it did not run.
    double time(const std::string& name) const {
        const auto it = m_times.find(name);
        return it == m_times.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> m_times;
    std::map<std::string, bool> m_medians;
};

}  // namespace bench

#endif  // BENCH_COLOUR_PASSES_H
