// chromel32 against Little CMS 2 on the same million colours, one thread, side by side.
// Memcpy shows the cost of moving the data alone. Each array conversion and difference is
// also timed on every instruction-set build the CPU runs (name/isa), and BlockCopy/isa times
// the block split and write-back with nothing converted. A summary after the run gives each pair's
// ratio and the build the dispatcher chose.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "builds_main.h"
#include "chromel/block_loops.h"
#include "chromel/cie.h"
#include "chromel/isa.h"
#include "chromel32.h"
#include "colour_passes.h"

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

template <typename Pass>
void timePasses(benchmark::State& state, Pass&& pass) {
    bench::timePasses<Data>(state, kColours, pass);
}

// Keeps the difference of every pair, as a caller would. A running sum would chain each
// call to the one before through the sum, which every call makes the loop spill and reload:
// for a cheap difference that chain, not the difference, would set the time.
template <typename Difference>
void storeDifferences(const Difference& difference, std::size_t count) {
    static std::vector<double> results(kColours);
    for (std::size_t i = 0; i < count; ++i)
        results[i] = difference(i);
    benchmark::DoNotOptimize(results.data());
    benchmark::ClobberMemory();
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

// The unlimited forms for the Munsell look-ups, on the same data (D50 white, zero black).
void XyzToLab4Munsell_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_XYZs2Labs4Munsell(d.xyz.data(), QEL_ILLUMINANT_D50, QEL_OBSERVER_2_DEGREE,
                                   kColours, d.out.data());
    });
}

void LabToXyz4Munsell_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_Labs2XYZs4Munsell(d.lab.data(), QEL_ILLUMINANT_D50, QEL_OBSERVER_2_DEGREE,
                                   kColours, d.out.data());
    });
}

void LabToLch4Munsell_chromel32(benchmark::State& state) {
    timePasses(state,
               [](Data& d) { QelColor_Labs2LChs4Munsell(d.lab.data(), kColours, d.out.data()); });
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
        storeDifferences(
            [&](std::size_t i) { return QelColor_CalcDeltaEab(&d.lab[i], &d.lab2[i]); }, kColours);
    });
}

void DeltaEab_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        storeDifferences([&](std::size_t i) { return cmsDeltaE(&d.cmsLab[i], &d.cmsLab2[i]); },
                         kColours);
    });
}

// Selector 3 (mean chroma) is the closest to Little CMS's geometric mean.
void DeltaE94_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        storeDifferences(
            [&](std::size_t i) { return QelColor_CalcDeltaE94(&d.lab[i], &d.lab2[i], 3); },
            kColours);
    });
}

void DeltaE94_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        storeDifferences([&](std::size_t i) { return cmsCIE94DeltaE(&d.cmsLab[i], &d.cmsLab2[i]); },
                         kColours);
    });
}

// The block machinery alone, built as the library builds its conversions.
[[gnu::always_inline]] inline void copyBlocks(std::span<const ColorRecord> in, ColorRecord* out) {
    chromel::forEachBlock(in, out, [](chromel::Block&, std::size_t) {});
}

[[gnu::target("avx512f,avx512vl,avx512dq,avx512bw")]] void copyBlocksAvx512(
    std::span<const ColorRecord> in, ColorRecord* out) {
    copyBlocks(in, out);
}

[[gnu::target("avx2")]] void copyBlocksAvx2(std::span<const ColorRecord> in, ColorRecord* out) {
    copyBlocks(in, out);
}

void copyBlocksBaseline(std::span<const ColorRecord> in, ColorRecord* out) {
    copyBlocks(in, out);
}

void registerBuilds(chromel::Isa isa) {
    using chromel::Isa;
    const std::string tag = std::string("/") + chromel::isaName(isa);
    const auto add = [](const std::string& name, auto pass) {
        bench::registerPasses<Data>(name, kColours, pass);
    };
    add("XyzToLab_chromel32" + tag, [isa](Data& d) {
        chromel::xyzToLab({d.xyz.data(), kColours}, d.white, d.black, d.out.data(), isa);
    });
    add("LabToXyz_chromel32" + tag, [isa](Data& d) {
        chromel::labToXyz({d.lab.data(), kColours}, d.white, d.black, d.out.data(), isa);
    });
    add("LabToLch_chromel32" + tag, [isa](Data& d) {
        chromel::labToLch({d.lab.data(), kColours}, chromel::Limit::Clamp, d.out.data(), isa);
    });
    add("LchToLab_chromel32" + tag, [isa](Data& d) {
        chromel::lchToLab({d.lch.data(), kColours}, d.out.data(), isa);
    });
    const chromel::DeltaEabFunction eab = chromel::deltaEabBuild(isa);
    add("DeltaEab_chromel32" + tag, [eab](Data& d) {
        storeDifferences([&](std::size_t i) { return eab(&d.lab[i], &d.lab2[i]); }, kColours);
    });
    const chromel::DeltaE94Function e94 = chromel::deltaE94Build(isa);
    add("DeltaE94_chromel32" + tag, [e94](Data& d) {
        storeDifferences([&](std::size_t i) { return e94(&d.lab[i], &d.lab2[i], 3); }, kColours);
    });
    add("BlockCopy" + tag, [isa](Data& d) {
        const std::span<const ColorRecord> in{d.xyz.data(), kColours};
        if (isa == Isa::Avx512)
            copyBlocksAvx512(in, d.out.data());
        else if (isa == Isa::Avx2)
            copyBlocksAvx2(in, d.out.data());
        else
            copyBlocksBaseline(in, d.out.data());
    });
}

// The usual output, then the ratios of each pair and build.
class SummaryReporter : public bench::TimesReporter {
public:
    void printSummary() const {
        std::printf("\nDispatcher's build on this CPU: %s\n", chromel::isaName(chromel::hostIsa()));
        std::printf("%-10s %-10s %12s %12s %8s %10s\n", "pair", "build", "chromel32", "lcms2",
                    "ratio", "/ memcpy");
        const double copy = time("Memcpy");
        for (const char* pair :
             {"XyzToLab", "LabToXyz", "LabToLch", "LchToLab", "DeltaEab", "DeltaE94"}) {
            const double peer = time(std::string(pair) + "_lcms2");
            for (const char* build : {"", "/avx512", "/avx2", "/baseline", "4Munsell"}) {
                const bool unlimited = std::string(build) == "4Munsell";
                const double own = time(std::string(pair) + (unlimited ? "4Munsell" : "") +
                                        "_chromel32" + (unlimited ? "" : build));
                if (own <= 0.0 || peer <= 0.0) continue;
                std::printf("%-10s %-10s %9.2f ms %9.2f ms %7.2fx %9.2fx\n", pair,
                            unlimited ? "4Munsell"
                            : *build  ? build + 1
                                      : "exported",
                            own, peer, peer / own, copy > 0.0 ? own / copy : 0.0);
            }
        }
        for (const char* build : {"avx512", "avx2", "baseline"}) {
            const double blocks = time(std::string("BlockCopy/") + build);
            const double labToXyz = time(std::string("LabToXyz_chromel32/") + build);
            if (blocks > 0.0 && labToXyz > 0.0)
                std::printf("Block split and write-back, %s: %.2f ms, %.0f %% of Lab to XYZ\n",
                            build, blocks, 100.0 * blocks / labToXyz);
        }
    }
};

}  // namespace

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToLab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToLab_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToXyz_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToXyz_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToLch_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToLch_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToLab4Munsell_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToXyz4Munsell_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LabToLch4Munsell_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LchToLab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(LchToLab_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaEab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaEab_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaE94_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(DeltaE94_lcms2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return bench::runWithBuilds<SummaryReporter>(
        argc, argv, {chromel::Isa::Avx512, chromel::Isa::Avx2, chromel::Isa::Baseline},
        registerBuilds);
}
