// Munsell look-ups of chromel32 (no peer library has them): the hue of a Lab colour, the
// control-point array of a colour's hue, and the point of a chroma on such an array.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

std::vector<ColorRecord> colours() {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> l(5.0, 95.0), c(2.0, 130.0), h(0.0, 6.283185307179586);
    std::vector<ColorRecord> v(4096);
    for (auto& x : v) {
        const double chroma = c(rng), hue = h(rng);
        x = {{l(rng), chroma * std::cos(hue), chroma * std::sin(hue), 0.0}};
    }
    return v;
}

void HueOfLab(benchmark::State& state) {
    const std::vector<ColorRecord> in = colours();
    std::size_t i = 0;
    for (auto _ : state) {
        double hue = 0.0;
        benchmark::DoNotOptimize(
            QelColor_ExtractMusellHueFromLab(&in[i++ % in.size()], 3, 2, &hue));
        benchmark::DoNotOptimize(hue);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(HueOfLab);

void ControlPointsOfLab(benchmark::State& state) {
    const std::vector<ColorRecord> in = colours();
    std::array<ColorRecord, 14> out{};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            QelColor_ExtractMunsellLabCPAryFromLab(&in[i++ % in.size()], 3, 2, 14, out.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ControlPointsOfLab);

void ControlPointsOfHue(benchmark::State& state) {
    const std::vector<ColorRecord> in = colours();
    std::array<ColorRecord, 14> out{};
    std::size_t i = 0;
    for (auto _ : state) {
        const ColorRecord& c = in[i++ % in.size()];
        const double hue = std::fmod(c.v[1] * 7.0 + 400.0, 360.0);
        benchmark::DoNotOptimize(
            QelColor_ExtractMunsellLabCPAryFromMusellHue(&hue, &c, 3, 2, 14, out.data()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ControlPointsOfHue);

void PointOfChroma(benchmark::State& state) {
    const ColorRecord c{{50.0, 30.0, 20.0, 0.0}};
    std::array<ColorRecord, 14> points{};
    QelColor_ExtractMunsellLabCPAryFromLab(&c, 3, 2, 14, points.data());
    double chroma = 0.0;
    for (auto _ : state) {
        chroma = chroma >= 120.0 ? 5.5 : chroma + 7.25;
        ColorRecord out{};
        benchmark::DoNotOptimize(
            QelColor_ExtractLabFromMusellLabCPAryByChroma(points.data(), 14, &chroma, &out));
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PointOfChroma);

}  // namespace

BENCHMARK_MAIN();
