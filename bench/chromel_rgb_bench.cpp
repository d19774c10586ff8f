// RGB, cell interpolation and separation of chromel32 against Little CMS 2 on the same
// million colours, one thread, side by side. Each conversion is also timed on every
// instruction-set build the CPU runs (name/isa). A summary after the run gives each pair's
// ratio per build, the separation's time against the cell interpolation it runs on, and
// the build the dispatcher chose.
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "builds_main.h"
#include "chromel/grid_interp.h"
#include "chromel/isa.h"
#include "chromel/rgb_cmyk.h"
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

void registerBuilds(chromel::Isa isa) {
    using chromel::CellScheme;
    const std::string tag = std::string("/") + chromel::isaName(isa);
    const auto add = [](const std::string& name, auto pass) {
        bench::registerPasses<Data>(name, kColours, pass);
    };
    const auto in = [](const std::vector<ColorRecord>& v) {
        return std::span<const ColorRecord>(v.data(), kColours);
    };
    add("XyzToSrgb_chromel32" + tag, [=](Data& d) {
        chromel::xyzToRgb(chromel::RgbSpaceId::Srgb, 2.2, in(d.xyz), d.out.data(), isa);
    });
    add("SrgbToXyz_chromel32" + tag, [=](Data& d) {
        chromel::rgbToXyz(chromel::RgbSpaceId::Srgb, 2.2, in(d.rgb), d.out.data(), isa);
    });
    add("Cell3D3D_chromel32" + tag, [=](Data& d) {
        chromel::interpolateCell(CellScheme::Tetrahedral, 3, 3, d.cell.data(), in(d.unit3),
                                 d.out.data(), isa);
    });
    add("Cell4D3D_chromel32" + tag, [=](Data& d) {
        chromel::interpolateCell(CellScheme::Tetrahedral, 4, 3, d.cell.data(), in(d.unit4),
                                 d.out.data(), isa);
    });
    add("Cell3D4D_chromel32" + tag, [=](Data& d) {
        chromel::interpolateCell(CellScheme::Tetrahedral, 3, 4, d.cell.data(), in(d.rgb),
                                 d.out.data(), isa);
    });
    add("Separation_chromel32" + tag, [=](Data& d) {
        chromel::cmyToCmyk({1.0, 0.8, 1.6, 2.6}, in(d.rgb), d.out.data(), isa);
    });
}

// The usual output, then the ratios of each pair and build.
class SummaryReporter : public bench::TimesReporter {
public:
    void printSummary() const {
        std::printf("\nDispatcher's build on this CPU: %s\n", chromel::isaName(chromel::hostIsa()));
        std::printf("%-10s %-10s %12s %12s %8s\n", "pair", "build", "chromel32", "peer", "ratio");
        const auto row = [&](const char* pair, const std::string& own, const std::string& peer) {
            for (const char* build : {"", "/avx512", "/avx2", "/baseline"}) {
                const double a = time(own + build), b = time(peer);
                if (a <= 0.0 || b <= 0.0) continue;
                std::printf("%-10s %-10s %9.2f ms %9.2f ms %7.2fx\n", pair,
                            *build ? build + 1 : "exported", a, b, b / a);
            }
        };
        for (const char* pair : {"XyzToSrgb", "SrgbToXyz", "Cell3D3D", "Cell4D3D"})
            row(pair, std::string(pair) + "_chromel32", std::string(pair) + "_lcms2");
        // The separation against the 3D to 4D cell interpolation on the same build: the
        // ratio is cell time over separation time (at least 0.5 wanted).
        std::printf("%-10s %-10s %12s %12s %8s\n", "pair", "build", "separation", "3D->4D",
                    "ratio");
        for (const char* build : {"", "/avx512", "/avx2", "/baseline"}) {
            const double a = time(std::string("Separation_chromel32") + build);
            const double b = time(std::string("Cell3D4D_chromel32") + build);
            if (a <= 0.0 || b <= 0.0) continue;
            std::printf("%-10s %-10s %9.2f ms %9.2f ms %7.2fx\n", "Separation",
                        *build ? build + 1 : "exported", a, b, b / a);
        }
    }
};

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

int main(int argc, char** argv) {
    return bench::runWithBuilds<SummaryReporter>(
        argc, argv, {chromel::Isa::Avx512, chromel::Isa::Avx2, chromel::Isa::Baseline},
        registerBuilds);
}
