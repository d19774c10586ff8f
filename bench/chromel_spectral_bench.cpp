// Spectra per second of the spectral exports on an ambient (36-sample) and a full 1 nm spectrum.
#include <benchmark/benchmark.h>

#include <cmath>

#include "chromel32.h"

namespace {

// A lamp-like spectrum: 380 nm onwards, `count` samples every `intervalNm`.
SpectrumRecord lampSpectrum(uint32_t intervalNm, uint32_t count) {
    SpectrumRecord s{};
    s.start = 380;
    s.interval = intervalNm;
    s.count = count;
    for (uint32_t i = 0; i < count; ++i) {
        const double nm = 380.0 + i * intervalNm;
        s.values[i] = 0.002 + 0.001 * std::sin(nm / 40.0) +
                      0.0005 * std::exp(-(nm - 545) * (nm - 545) / 50.0);
    }
    return s;
}

const SpectrumRecord kAmbient = lampSpectrum(10, 36);
const SpectrumRecord kFull = lampSpectrum(1, 401);

void xyzAmb(benchmark::State& state, const SpectrumRecord* s) {
    ColorRecord xyz{};
    for (auto _ : state) {
        QelColor_Spectrum2XYZAmb(s, 2, &xyz);
        benchmark::DoNotOptimize(xyz);
    }
    state.SetItemsProcessed(state.iterations());
}

void illuminanceAmb(benchmark::State& state, const SpectrumRecord* s) {
    double lux = 0;
    for (auto _ : state) {
        QelColor_Spectrum2IlluminanceAmb(s, 2, &lux);
        benchmark::DoNotOptimize(lux);
    }
    state.SetItemsProcessed(state.iterations());
}

void density(benchmark::State& state, const SpectrumRecord* s) {
    DensityRecord d{};
    for (auto _ : state) {
        QelColor_Spectrum2Density(s, 0, 0, &d);
        benchmark::DoNotOptimize(d);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(xyzAmb, ambient36, &kAmbient);
BENCHMARK_CAPTURE(xyzAmb, full401, &kFull);
BENCHMARK_CAPTURE(illuminanceAmb, ambient36, &kAmbient);
BENCHMARK_CAPTURE(illuminanceAmb, full401, &kFull);
BENCHMARK_CAPTURE(density, ambient36, &kAmbient);
BENCHMARK_CAPTURE(density, full401, &kFull);

}  // namespace

BENCHMARK_MAIN();
