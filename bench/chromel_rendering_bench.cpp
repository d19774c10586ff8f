// Colour rendering of the instrument's 36-sample spectrum, and colour temperature with Duv.
#include <benchmark/benchmark.h>

#include <array>

#include "chromel32.h"

namespace {

// F11 taken every 10 nm from 380 nm: the ambient reader's 36 samples.
SpectrumRecord ambientF11() {
    SpectrumRecord fine{};
    QelColor_GetLightSourceSpectrum(QEL_ILLUMINANT_F11, &fine);
    SpectrumRecord s{380, 10, 36, 0, {}};
    for (uint32_t i = 0; i < s.count; ++i)
        s.values[i] = fine.values[2 * i];
    return s;
}

void colourRendering(benchmark::State& state) {
    const SpectrumRecord s = ambientF11();
    double ra = 0;
    std::array<double, 14> ri{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(QelColor_Spectrum2ColorRendering(&s, &ra, ri.data()));
        benchmark::DoNotOptimize(ri);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(colourRendering);

void temperatureDuv(benchmark::State& state) {
    const ColorRecord xyz{{0.9642, 1.0, 0.8249, 0}};
    double kelvin = 0, duv = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QelColor_XYZ2ColorTemperatureDuv(&xyz, &kelvin, &duv));
        benchmark::DoNotOptimize(duv);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(temperatureDuv);

}  // namespace

BENCHMARK_MAIN();
