// Black control of chromel32 on a million colours, one thread: methods 0, 1 and 3 with a
// gamma curve and a 17-point spline, the grid search against one grid look-up per colour,
// and black generation along the black line.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

constexpr std::size_t kColours = 1'000'000;
constexpr int kNodes = 9;  // grid nodes per axis and K levels

struct Data {
    std::vector<ColorRecord> cmyk, out;
    std::vector<double> table, samples;
    std::vector<GridDescriptor> desc;
    std::vector<ColorRecord> positions, values;

    Data() {
        std::mt19937_64 rng(20261208);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::size_t i = 0; i < kColours; ++i)
            cmyk.push_back({{255 * u(rng), 255 * u(rng), 255 * u(rng), 255 * u(rng)}});
        out.resize(kColours);
        for (int i = 0; i <= 16; ++i) {
            const double k = i * 255.0 / 16;
            table.push_back(k);
            table.push_back(255.0 * std::pow(k / 255.0, 1.6));
        }
        for (int i = 0; i <= 8; ++i)
            samples.push_back(i * 255.0 / 8);
        desc.resize(1 + kNodes);
        desc[0].count = kNodes;
        const double step = 255.0 / (kNodes - 1);
        for (int j = 0; j < kNodes; ++j) {
            desc[0].values[j] = j * step;
            desc[1 + j].count = kNodes;
            for (int i = 0; i < kNodes; ++i)
                desc[1 + j].values[i] = i * step;
        }
        for (int k = 0; k < kNodes; ++k)
            for (int c = 0; c < kNodes; ++c)
                for (int m = 0; m < kNodes; ++m)
                    for (int y = 0; y < kNodes; ++y) {
                        positions.push_back({{c * step, m * step, y * step, k * step}});
                        values.push_back(
                            {{100 * u(rng), 256 * u(rng) - 128, 256 * u(rng) - 128, 0}});
                    }
    }

    KControl3Params params(int32_t curveType, int32_t method) const {
        KControl3Params p{};
        KControlParams& b = p.base.base;
        b.curveType = curveType;
        b.method = method;
        b.inkLimitRatio = 3.0;
        b.gamma = 1.4;
        b.tableCount = 17;
        b.table = table.data();
        b.weightC = 2, b.weightM = 1, b.weightY = 1;
        b.gridDescriptor = desc.data();
        b.gridPositions = positions.data();
        b.gridValues = values.data();
        p.base.totalInkRatio = 3.0;
        p.base.blackStartRatio = method == 4 ? 3.0 : 0.7;
        p.primaryRatio = 1.0;
        p.secondaryRatio = 1.6;
        p.sampleCount = static_cast<int32_t>(samples.size());
        p.samples = samples.data();
        return p;
    }
};

const Data& data() {
    static const Data d;
    return d;
}

void KControl(benchmark::State& state) {
    const Data& d = data();
    const KControl3Params p =
        d.params(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
    auto& out = const_cast<std::vector<ColorRecord>&>(d.out);
    for (auto _ : state)
        benchmark::DoNotOptimize(QelColor_CMYKsKControl3(d.cmyk.data(), &p, kColours, out.data()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kColours));
}

void GridLookUp(benchmark::State& state) {
    const Data& d = data();
    auto& out = const_cast<std::vector<ColorRecord>&>(d.out);
    for (auto _ : state)
        benchmark::DoNotOptimize(QelColor_ExtractLabsFromCMYKGridData_TriLinear(
            d.desc.data(), d.positions.data(), d.values.data(), d.cmyk.data(), kColours,
            out.data()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kColours));
}

}  // namespace

// Arguments: curve type (1 gamma, 2 spline), method.
BENCHMARK(KControl)
    ->ArgsProduct({{1, 2}, {0, 1, 3}})
    ->ArgNames({"curve", "method"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(KControl)->Args({1, 2})->ArgNames({"curve", "method"})->Unit(benchmark::kMillisecond);
BENCHMARK(GridLookUp)->Unit(benchmark::kMillisecond);
BENCHMARK(KControl)->Args({2, 4})->ArgNames({"curve", "method"})->Unit(benchmark::kMillisecond);
