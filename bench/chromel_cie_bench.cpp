// chromel32 against Little CMS 2 on the same million colours, one thread, side by side.
// Compare items_per_second of each pair; Memcpy shows the cost of moving the data alone.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cstring>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

constexpr std::size_t kColours = 1'000'000;

// Random in-range colours in both libraries' records: Lab, the matching XYZ (D50) and LCh,
// and a second Lab set for the differences.
struct Data {
    PointRecord white{};
    PointRecord black{};
    cmsCIEXYZ lcmsWhite{};
    std::vector<ColorRecord> lab, lab2, xyz, lch, out;
    std::vector<cmsCIELab> cmsLab, cmsLab2, cmsLabOut;
    std::vector<cmsCIEXYZ> cmsXyz, cmsXyzOut;
    std::vector<cmsCIELCh> cmsLch, cmsLchOut;

    Data() {
        QelColor_GetWhitePoint(QEL_ILLUMINANT_D50, QEL_OBSERVER_2_DEGREE, &white);
        QelColor_GetBlackPoint(QEL_ILLUMINANT_D50, QEL_OBSERVER_2_DEGREE, &black);
        lcmsWhite = {white.X, white.Y, white.Z};
        std::mt19937_64 rng(20240601);
        std::uniform_real_distribution<double> l(0.0, 100.0), ab(-100.0, 100.0);
        lab.resize(kColours);
        lab2.resize(kColours);
        for (std::size_t i = 0; i < kColours; ++i) {
            lab[i] = {{l(rng), ab(rng), ab(rng), 0.0}};
            lab2[i] = {{l(rng), ab(rng), ab(rng), 0.0}};
        }
        xyz.resize(kColours);
        lch.resize(kColours);
        out.resize(kColours);
        QelColor_Labs2XYZsRaw(lab.data(), &white, &black, kColours, xyz.data());
        QelColor_Labs2LChs(lab.data(), kColours, lch.data());
        for (std::size_t i = 0; i < kColours; ++i) {
            cmsLab.push_back({lab[i].v[0], lab[i].v[1], lab[i].v[2]});
            cmsLab2.push_back({lab2[i].v[0], lab2[i].v[1], lab2[i].v[2]});
            cmsXyz.push_back({xyz[i].v[0], xyz[i].v[1], xyz[i].v[2]});
            cmsCIELCh c;
            cmsLab2LCh(&c, &cmsLab.back());
            cmsLch.push_back(c);
        }
        cmsLabOut.resize(kColours);
        cmsXyzOut.resize(kColours);
        cmsLchOut.resize(kColours);
    }
};

Data& data() {
    static Data d;
    return d;
}

// Times `pass(data)`, one pass over all colours per iteration.
template <typename Pass>
void timePasses(benchmark::State& state, Pass&& pass) {
    Data& d = data();
    for (auto _ : state) {
        pass(d);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kColours);
}

// Sums a difference over all pairs so that none is optimised away.
template <typename Difference>
void sumDifferences(const Difference& difference, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i)
        sum += difference(i);
    benchmark::DoNotOptimize(sum);
}

void Memcpy(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        std::memcpy(d.out.data(), d.xyz.data(), kColours * sizeof(ColorRecord));
    });
}

void XyzToLab_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_XYZs2LabsRaw(d.xyz.data(), &d.white, &d.black, kColours, d.out.data());
    });
}

void XyzToLab_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsXYZ2Lab(&d.lcmsWhite, &d.cmsLabOut[i], &d.cmsXyz[i]);
    });
}

void LabToXyz_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_Labs2XYZsRaw(d.lab.data(), &d.white, &d.black, kColours, d.out.data());
    });
}

void LabToXyz_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsLab2XYZ(&d.lcmsWhite, &d.cmsXyzOut[i], &d.cmsLab[i]);
    });
}

void LabToLch_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) { QelColor_Labs2LChs(d.lab.data(), kColours, d.out.data()); });
}

void LabToLch_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsLab2LCh(&d.cmsLchOut[i], &d.cmsLab[i]);
    });
}

void LchToLab_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) { QelColor_LChs2Labs(d.lch.data(), kColours, d.out.data()); });
}

void LchToLab_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsLCh2Lab(&d.cmsLabOut[i], &d.cmsLch[i]);
    });
}

void DeltaEab_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        sumDifferences([&](std::size_t i) { return QelColor_CalcDeltaEab(&d.lab[i], &d.lab2[i]); },
                       kColours);
    });
}

void DeltaEab_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        sumDifferences([&](std::size_t i) { return cmsDeltaE(&d.cmsLab[i], &d.cmsLab2[i]); },
                       kColours);
    });
}

// Selector 3 (mean chroma) is the closest to Little CMS's geometric mean.
void DeltaE94_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        sumDifferences(
            [&](std::size_t i) { return QelColor_CalcDeltaE94(&d.lab[i], &d.lab2[i], 3); },
            kColours);
    });
}

void DeltaE94_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        sumDifferences([&](std::size_t i) { return cmsCIE94DeltaE(&d.cmsLab[i], &d.cmsLab2[i]); },
                       kColours);
    });
}

}  // namespace

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToLab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToLab_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToXyz_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToXyz_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToLch_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToLch_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(LchToLab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LchToLab_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaEab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaEab_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaE94_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaE94_lcms2)->Unit(benchmark::kMillisecond);
