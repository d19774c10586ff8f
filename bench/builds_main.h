// The main of a colour benchmark that also times each instruction-set build.
#ifndef BENCH_BUILDS_MAIN_H
#define BENCH_BUILDS_MAIN_H

#include <benchmark/benchmark.h>

#include <initializer_list>

#include "chromel/isa.h"

namespace bench {

// A benchmark program's main: registers each build in `builds` that the CPU runs, runs the
// benchmarks chosen on the command line, then prints the reporter's summary.
template <typename SummaryReporter>
int runWithBuilds(int argc, char** argv, std::initializer_list<chromel::Isa> builds,
                  void (*registerBuilds)(chromel::Isa)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    for (const chromel::Isa isa : builds)
        if (chromel::isaSupported(isa)) registerBuilds(isa);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}

}  // namespace bench

#endif  // BENCH_BUILDS_MAIN_H
