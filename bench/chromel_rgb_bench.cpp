// RGB, cell interpolation and separation of chromel32 against Little CMS 2 on the same
// million colours, one thread, side by side. Compare items_per_second of each pair.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "chromel32.h"
#include "colour_passes.h"

namespace {

constexpr std::size_t kColours = 1'000'000;

struct Data {
    std::vector<ColorRecord> xyz, rgb, unit3, unit4, out;
    std::vector<cmsCIEXYZ> cmsXyz;
    std::vector<std::array<double, 3>> cmsRgb, cmsOut;
    std::vector<std::array<cmsFloat32Number, 4>> cmsUnit;
    cmsHTRANSFORM toRgb = nullptr, toXyz = nullptr;
    cmsPipeline* clut3 = nullptr;
    cmsPipeline* clut4 = nullptr;
    std::array<GridNode, 16> cell{};

    Data() {
        std::mt19937_64 rng(20241208);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::size_t i = 0; i < kColours; ++i) {
            const double r = u(rng), g = u(rng), b = u(rng), w = u(rng);
            // In-gamut XYZ: sRGB primaries mixed with positive weights.
            const double x = 0.4124 * r + 0.3576 * g + 0.1805 * b;
            const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
            const double z = 0.0193 * r + 0.1192 * g + 0.9505 * b;
            xyz.push_back({{x, y, z, 0.0}});
            cmsXyz.push_back({x, y, z});
            rgb.push_back({{255 * r, 255 * g, 255 * b, 0.0}});
            cmsRgb.push_back({r, g, b});
            unit3.push_back({{r, g, b, 0.0}});
            unit4.push_back({{r, g, b, w}});
            // Little CMS takes w first.
            cmsUnit.push_back({static_cast<float>(w), static_cast<float>(r), static_cast<float>(g),
                               static_cast<float>(b)});
        }
        out.resize(kColours);
        cmsOut.resize(kColours);

        cmsHPROFILE xyzProfile = cmsCreateXYZProfile();
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        toRgb =
            cmsCreateTransform(xyzProfile, TYPE_XYZ_DBL, srgb, TYPE_RGB_DBL, INTENT_PERCEPTUAL, 0);
        toXyz =
            cmsCreateTransform(srgb, TYPE_RGB_DBL, xyzProfile, TYPE_XYZ_DBL, INTENT_PERCEPTUAL, 0);
        cmsCloseProfile(xyzProfile);
        cmsCloseProfile(srgb);

        std::vector<cmsFloat32Number> table;
        for (int i = 0; i < 16; ++i) {
            for (int a = 0; a < 4; ++a)
                cell[i].position.v[a] = ((i >> (a < 3 ? 2 - a : 3)) & 1) ? 1.0 : 0.0;
            for (int k = 0; k < 4; ++k) {
                cell[i].value.v[k] = static_cast<float>(u(rng));
                if (k < 3) table.push_back(static_cast<float>(cell[i].value.v[k]));
            }
        }
        clut3 = cmsPipelineAlloc(nullptr, 3, 3);
        cmsPipelineInsertStage(clut3, cmsAT_END,
                               cmsStageAllocCLutFloat(nullptr, 2, 3, 3, table.data()));
        clut4 = cmsPipelineAlloc(nullptr, 4, 3);
        cmsPipelineInsertStage(clut4, cmsAT_END,
                               cmsStageAllocCLutFloat(nullptr, 2, 4, 3, table.data()));
    }
};

template <typename Pass>
void timePasses(benchmark::State& state, Pass&& pass) {
    bench::timePasses<Data>(state, kColours, pass);
}

void XyzToSrgb_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) { QelColor_XYZs2sRGBs(d.xyz.data(), kColours, d.out.data()); });
}

void XyzToSrgb_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        cmsDoTransform(d.toRgb, d.cmsXyz.data(), d.cmsOut.data(), kColours);
    });
}

// The same conversion as a plain loop over std::pow, for scale.
void XyzToSrgb_stdPowLoop(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        auto encode = [](double v) {
            v = v <= 0.0 ? 0.0 : (v >= 1.0 ? 1.0 : v);
            return 255.0 * (v > 0.0031308 ? 1.055 * std::pow(v, 1 / 2.2) - 0.055 : 12.92 * v);
        };
        for (std::size_t i = 0; i < kColours; ++i) {
            const double* x = d.xyz[i].v;
            d.out[i].v[0] = encode(3.2406 * x[0] - 1.5372 * x[1] - 0.4986 * x[2]);
            d.out[i].v[1] = encode(-0.9689 * x[0] + 1.8758 * x[1] + 0.0415 * x[2]);
            d.out[i].v[2] = encode(0.0557 * x[0] - 0.2040 * x[1] + 1.0570 * x[2]);
            d.out[i].v[3] = 0.0;
        }
    });
}

void SrgbToXyz_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) { QelColor_sRGBs2XYZs(d.rgb.data(), kColours, d.out.data()); });
}

void SrgbToXyz_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        cmsDoTransform(d.toXyz, d.cmsRgb.data(), d.cmsOut.data(), kColours);
    });
}

void Cell3D3D_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_ExtractColors_3D3D(d.cell.data(), d.unit3.data(), kColours, d.out.data());
    });
}

void Cell3D3D_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        cmsFloat32Number out[3];
        for (std::size_t i = 0; i < kColours; ++i) {
            cmsPipelineEvalFloat(&d.cmsUnit[i][1], out, d.clut3);
            benchmark::DoNotOptimize(out);
        }
    });
}

void Cell4D3D_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_ExtractColors_4D3D(d.cell.data(), d.unit4.data(), kColours, d.out.data());
    });
}

void Cell4D3D_lcms2(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        cmsFloat32Number out[3];
        for (std::size_t i = 0; i < kColours; ++i) {
            cmsPipelineEvalFloat(d.cmsUnit[i].data(), out, d.clut4);
            benchmark::DoNotOptimize(out);
        }
    });
}

// The separation beside the cell interpolation it runs on.
void Cell3D4D_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_ExtractColors_3D4D(d.cell.data(), d.rgb.data(), kColours, d.out.data());
    });
}

void Separation_chromel32(benchmark::State& state) {
    timePasses(state, [](Data& d) {
        QelColor_CMYs2CMYKs(d.rgb.data(), 1.0, 0.8, 1.6, 2.6, kColours, d.out.data());
    });
}

}  // namespace

BENCHMARK(XyzToSrgb_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToSrgb_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(XyzToSrgb_stdPowLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(SrgbToXyz_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(SrgbToXyz_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(Cell3D3D_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(Cell3D3D_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(Cell4D3D_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(Cell4D3D_lcms2)->Unit(benchmark::kMillisecond);
BENCHMARK(Cell3D4D_chromel32)->Unit(benchmark::kMillisecond);
BENCHMARK(Separation_chromel32)->Unit(benchmark::kMillisecond);
