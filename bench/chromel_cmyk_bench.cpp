// CMYK grid look-up and tone-curve correction of chromel32 against Little CMS 2 on the same
// million colours, one thread, side by side; and the time to prepare tone curves. The grid
// look-up is also timed on each of its builds the CPU runs (name/isa); a summary after the
// run gives the ratios.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "builds_main.h"
#include "chromel/cmyk_grid_lab.h"
#include "chromel/isa.h"
#include "chromel32.h"
#include "colour_passes.h"

namespace {

constexpr std::size_t kColours = 1'000'000;
constexpr int kNodes = 9;

struct Data {
    std::vector<GridDescriptor> desc;
    std::vector<ColorRecord> positions, values, cmyk, ordered, out;
    std::vector<std::array<cmsFloat32Number, 4>> cmsCmyk;
    std::vector<cmsFloat32Number> cmsUnit;
    cmsPipeline* clut = nullptr;
    std::array<cmsToneCurve*, 4> tone{};
    DControlRecord spline{}, linear{};

    Data() {
        std::mt19937_64 rng(20261208);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        desc.resize(1 + kNodes);
        desc[0].count = kNodes;
        std::vector<cmsFloat32Number> table;
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
                        ColorRecord lab{{100 * u(rng), 256 * u(rng) - 128, 256 * u(rng) - 128, 0}};
                        values.push_back(lab);
                        for (int a = 0; a < 3; ++a)
                            table.push_back(static_cast<cmsFloat32Number>(lab.v[a]));
                    }
        clut = cmsPipelineAlloc(nullptr, 4, 3);
        cmsPipelineInsertStage(clut, cmsAT_END,
                               cmsStageAllocCLutFloat(nullptr, kNodes, 4, 3, table.data()));
        for (std::size_t i = 0; i < kColours; ++i) {
            const ColorRecord p{{255 * u(rng), 255 * u(rng), 255 * u(rng), 255 * u(rng)}};
            cmyk.push_back(p);
            cmsCmyk.push_back({static_cast<float>(p.v[3] / 255), static_cast<float>(p.v[0] / 255),
                               static_cast<float>(p.v[1] / 255), static_cast<float>(p.v[2] / 255)});
            for (int a = 0; a < 4; ++a)
                cmsUnit.push_back(static_cast<float>(p.v[a] / 255));
        }
        // The same colours grouped by cell, as in a smooth image: neighbours share a cell.
        ordered = cmyk;
        auto cellOf = [step](const ColorRecord& p) {
            int key = 0;
            for (int a : {3, 0, 1, 2})
                key = key * kNodes + static_cast<int>(p.v[a] / step);
            return key;
        };
        std::sort(ordered.begin(), ordered.end(), [&](const ColorRecord& a, const ColorRecord& b) {
            return cellOf(a) < cellOf(b);
        });
        out.resize(kColours);

        // 17-point tone curves, the same for every channel.
        std::array<cmsFloat32Number, 17> curve;
        for (auto* r : {&spline, &linear}) {
            r->pointCount = 17;
            for (int j = 0; j < 17; ++j) {
                const double x = j / 16.0;
                const double y = std::pow(x, 0.8);
                curve[j] = static_cast<cmsFloat32Number>(y);
                for (auto& c : r->curves)
                    c[j] = {255 * x, 255 * y};
            }
        }
        spline.type = 1;
        linear.type = 3;
        for (auto& t : tone)
            t = cmsBuildTabulatedToneCurveFloat(nullptr, 17, curve.data());
    }
};

template <typename Pass>
void timePasses(benchmark::State& state, Pass&& pass) {
    bench::timePasses<Data>(state, kColours, pass);
}

void GridLookUp_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_ExtractLabsFromCMYKGridData_TriLinear(d.desc.data(), d.positions.data(),
                                                       d.values.data(), d.cmyk.data(), kColours,
                                                       d.out.data());
    });
}

void GridLookUpOrdered_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_ExtractLabsFromCMYKGridData_TriLinear(d.desc.data(), d.positions.data(),
                                                       d.values.data(), d.ordered.data(), kColours,
                                                       d.out.data());
    });
}

void GridLookUp_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        cmsFloat32Number out[3];
        for (std::size_t i = 0; i < kColours; ++i) {
            cmsPipelineEvalFloat(d.cmsCmyk[i].data(), out, d.clut);
            benchmark::DoNotOptimize(out);
        }
    });
}

void DControlSpline_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_CMYKsDControlEx(d.cmyk.data(), &d.spline, kColours, d.out.data());
    });
}

void DControlLinear_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_CMYKsDControlEx(d.cmyk.data(), &d.linear, kColours, d.out.data());
    });
}

// Four tone-curve evaluations a colour.
void ToneCurves_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        const cmsFloat32Number* v = d.cmsUnit.data();
        for (std::size_t i = 0; i < kColours; ++i, v += 4) {
            cmsFloat32Number out[4];
            for (int c = 0; c < 4; ++c)
                out[c] = cmsEvalToneCurveFloat(d.tone[c], v[c]);
            benchmark::DoNotOptimize(out);
        }
    });
}

// Preparation from a 17-node lattice and 21-sample ramps, curves of state.range(0) points.
void Preparation_chromel32(benchmark::State& state) {
    constexpr int n = 17, samples = 21;
    std::vector<ColorRecord> lattice;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const double c = 255.0 * (n - 1 - i) / (n - 1);
                lattice.push_back({{c * 0.9 + j, c * 0.8 + k, c * 0.7, 255.0 - c}});
            }
    std::array<std::vector<double>, 4> digital;
    std::array<std::vector<ColorRecord>, 4> lab;
    DControlPrepParams params{};
    params.type = 1;
    params.latticeSize = n;
    params.lattice = lattice.data();
    for (int ch = 0; ch < 4; ++ch) {
        for (int s = 0; s < samples; ++s) {
            const double t = s / (samples - 1.0);
            digital[ch].push_back(255 * t);
            lab[ch].push_back({{100 - 70 * t * t, 20 * t * (ch - 1.5), -10 * t, 0}});
        }
        params.ramps[ch] = {samples, digital[ch].data(), lab[ch].data()};
    }
    DControlRecord record;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QelColor_PrepareCMYKDControl_FWD(
            &params, static_cast<int32_t>(state.range(0)), &record));
        benchmark::ClobberMemory();
    }
}

// The grid look-up has a build for AVX2, which AVX-512 CPUs run too, and the baseline.
void registerBuilds(chromel::Isa isa) {
    bench::registerPasses<Data>(
        std::string("GridLookUp_chromel32/") + chromel::isaName(isa), kColours, [isa](Data& d) {
            chromel::gridLabs(chromel::CellScheme::Tetrahedral, d.desc.data(), d.positions.data(),
                              d.values.data(), d.cmyk, d.out.data(), isa);
        });
}

class SummaryReporter : public bench::TimesReporter {
public:
    void printSummary() const {
        std::printf("\n%-12s %-10s %12s %12s %8s\n", "pair", "build", "chromel32", "peer", "ratio");
        const auto row = [&](const char* pair, const std::string& own, const std::string& peer,
                             const char* build) {
            const double a = time(own + build), b = time(peer);
            if (a <= 0.0 || b <= 0.0) return;
            std::printf("%-12s %-10s %9.2f ms %9.2f ms %7.2fx\n", pair,
                        *build ? build + 1 : "exported", a, b, b / a);
        };
        for (const char* build : {"", "/avx2", "/baseline"})
            row("GridLookUp", "GridLookUp_chromel32", "GridLookUp_lcms2", build);
        row("Ordered", "GridLookUpOrdered_chromel32", "GridLookUp_lcms2", "");
        row("DControl1", "DControlSpline_chromel32", "ToneCurves_lcms2", "");
        row("DControl3", "DControlLinear_chromel32", "ToneCurves_lcms2", "");
    }
};

}  // namespace

BENCHMARK(GridLookUp_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(GridLookUpOrdered_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(GridLookUp_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(DControlSpline_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(DControlLinear_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(ToneCurves_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(Preparation_chromel32)->Arg(17)->Arg(256)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return bench::runWithBuilds<SummaryReporter>(
        argc, argv, {chromel::Isa::Avx2, chromel::Isa::Baseline}, registerBuilds);
}
