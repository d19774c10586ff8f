// The CIECAM02 model of chromel32 against Little CMS 2 on the same million colours, one
// thread, side by side: D65 white x 100, Yb 20, La 64, average surround, D computed, XYZ of
// uniform linear sRGB. Compare items_per_second within each pair.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <random>
#include <vector>

#include "chromel32.h"
#include "colour_passes.h"

namespace {

constexpr std::size_t kColours = 1'000'000;

struct Data {
    ViewingConditions vc{};
    cmsHANDLE model = nullptr;
    std::vector<ColorRecord> xyz, jch, jab, out;
    std::vector<cmsCIEXYZ> cmsXyz, cmsXyzOut;
    std::vector<cmsJCh> cmsJch, cmsJchOut;
    std::vector<cmsCIELab> cmsJab, cmsJabOut;
    std::vector<cmsCIELCh> cmsLch, cmsLchOut;

    Data() {
        PointRecord d65{};
        QelColor_GetWhitePoint(QEL_ILLUMINANT_D65, QEL_OBSERVER_2_DEGREE, &d65);
        const ColorRecord white{{d65.X * 100, d65.Y * 100, d65.Z * 100, 0.0}};
        vc = {white, {{0.0, 20.0, 0.0, 0.0}}, 0.69, 64.0, QEL_DEGREE_OF_ADAPTATION_COMPUTED};
        const cmsViewingConditions lcmsVc{
            {white.v[0], white.v[1], white.v[2]}, 20.0, 64.0, AVG_SURROUND, D_CALCULATE};
        model = cmsCIECAM02Init(nullptr, &lcmsVc);
        std::mt19937_64 rng(20240602);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::size_t i = 0; i < kColours; ++i) {
            const double r = u(rng), g = u(rng), b = u(rng);
            xyz.push_back(
                {{0.4124 * r + 0.3576 * g + 0.1805 * b, 0.2126 * r + 0.7152 * g + 0.0722 * b,
                  0.0193 * r + 0.1192 * g + 0.9505 * b, 0.0}});
        }
        jch.resize(kColours);
        jab.resize(kColours);
        out.resize(kColours);
        QelColor_XYZs2JChs(xyz.data(), &vc, kColours, jch.data());
        QelColor_JChs2Jabs(jch.data(), kColours, jab.data());
        for (std::size_t i = 0; i < kColours; ++i) {
            cmsXyz.push_back({xyz[i].v[0] * 100, xyz[i].v[1] * 100, xyz[i].v[2] * 100});
            cmsJCh c;
            cmsCIECAM02Forward(model, &cmsXyz.back(), &c);
            cmsJch.push_back(c);
            cmsJab.push_back({jab[i].v[0], jab[i].v[1], jab[i].v[2]});
            cmsLch.push_back({jch[i].v[0], jch[i].v[1], jch[i].v[2] * 57.29577951308232});
        }
        cmsXyzOut.resize(kColours);
        cmsJchOut.resize(kColours);
        cmsJabOut.resize(kColours);
        cmsLchOut.resize(kColours);
    }
    ~Data() { cmsCIECAM02Done(model); }
};

template <typename Pass>
void timePasses(benchmark::State& state, Pass&& pass) {
    bench::timePasses<Data>(state, kColours, pass);
}

void XyzToJch_chromel32(benchmark::State& state) {
    timePasses(state,
               [](Data& d) { QelColor_XYZs2JChs(d.xyz.data(), &d.vc, kColours, d.out.data()); });
}

void XyzToJch_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsCIECAM02Forward(d.model, &d.cmsXyz[i], &d.cmsJchOut[i]);
    });
}

void JchToXyz_chromel32(benchmark::State& state) {
    timePasses(state,
               [](Data& d) { QelColor_JChs2XYZs(d.jch.data(), &d.vc, kColours, d.out.data()); });
}

void JchToXyz_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsCIECAM02Reverse(d.model, &d.cmsJch[i], &d.cmsXyzOut[i]);
    });
}

void XyzToJab_chromel32(benchmark::State& state) {
    timePasses(state,
               [](Data& d) { QelColor_XYZs2Jabs(d.xyz.data(), &d.vc, kColours, d.out.data()); });
}

void JabToXyz_chromel32(benchmark::State& state) {
    timePasses(state,
               [](Data& d) { QelColor_Jabs2XYZs(d.jab.data(), &d.vc, kColours, d.out.data()); });
}

void JabToJch_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) { QelColor_Jabs2JChs(d.jab.data(), kColours, d.out.data()); });
}

void JabToJch_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsLab2LCh(&d.cmsLchOut[i], &d.cmsJab[i]);
    });
}

void JchToJab_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) { QelColor_JChs2Jabs(d.jch.data(), kColours, d.out.data()); });
}

void JchToJab_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        for (std::size_t i = 0; i < kColours; ++i)
            cmsLCh2Lab(&d.cmsJabOut[i], &d.cmsLch[i]);
    });
}

}  // namespace

BENCHMARK(XyzToJch_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToJch_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(JchToXyz_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(JchToXyz_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToJab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(JabToXyz_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(JabToJch_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(JabToJch_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(JchToJab_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(JchToJab_lcms2)->Unit(benchmark::kMillisecond);
