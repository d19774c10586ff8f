// One timed pass over a benchmark's colour data per iteration, for the colour-library suites.
#ifndef BENCH_COLOUR_PASSES_H
#define BENCH_COLOUR_PASSES_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>

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

}  // namespace bench

#endif  // BENCH_COLOUR_PASSES_H
