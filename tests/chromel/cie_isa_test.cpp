// Every instruction-set build of the array conversions gives the baseline build's bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "chromel/cie.h"
#include "chromel/isa.h"
#include "isa_builds.h"

namespace {

using chromel::Isa;
using isa_builds::Colours;
using isa_builds::Conversion;
using isa_builds::sameBits;

constexpr std::size_t kColours = 200'000;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr PointRecord kD65{0.9504, 1.0, 1.0889};
constexpr PointRecord kBlack{0.002, 0.0021, 0.0025};

// Mostly ordinary colours of every space's range, with runs of the cases the loops treat
// apart: the white and black, ratios within a few ulps of the Lab break, zeros, negative,
// huge and infinite components, and hue angles beyond the vector reduction.
Colours inputs(unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(-0.2, 1.3), lightness(-5.0, 105.0),
        axis(-150.0, 150.0), hue(-1.0, 7.5);
    const double epsilon = 0.008856451679035631;
    const double specials[] = {0.0, -0.0, 1e-300, -1.0, 1e200, 1e300, kInf, -kInf, 1e7, epsilon};
    Colours c(kColours);
    for (std::size_t i = 0; i < kColours; ++i) {
        double* v = c[i].v;
        switch (i % 16) {
            case 0:
                v[0] = kD65.X, v[1] = kD65.Y, v[2] = kD65.Z;
                if (i % 32 == 0) v[0] = kBlack.X, v[1] = kBlack.Y, v[2] = kBlack.Z;
                break;
            case 1: {
                const double t = epsilon + static_cast<double>(rng() % 9 - 4) * 0x1p-58;
                v[0] = t * kD65.X, v[1] = t * kD65.Y, v[2] = t * kD65.Z + kBlack.Z;
                break;
            }
            case 2:
                for (int k = 0; k < 3; ++k)
                    v[k] = specials[rng() % std::size(specials)];
                break;
            case 3:
                v[0] = 100.0 * (i % 64 == 3), v[1] = 0.0, v[2] = 0.0;
                break;
            default:
                if (i % 2 == 0)
                    v[0] = unit(rng), v[1] = unit(rng), v[2] = unit(rng);
                else
                    v[0] = lightness(rng), v[1] = axis(rng), v[2] = hue(rng) * (i % 5 ? 1.0 : 40.0);
        }
        v[3] = static_cast<double>(i);
    }
    return c;
}

std::vector<std::pair<std::string, Conversion>> conversions() {
    using std::span;
    const auto raw = [](auto f) {
        return [f](const Colours& in, Colours& out, Isa isa) {
            f(span<const ColorRecord>(in), kD65, kBlack, out.data(), isa);
        };
    };
    const chromel::AdaptationWhites whites{kD65, kBlack, {0.9642, 1.0, 0.8249}, {0.0, 0.0, 0.0}};
    std::vector<std::pair<std::string, Conversion>> all = {
        {"XYZ to Lab", raw([](auto... a) { chromel::xyzToLab(a...); })},
        {"Lab to XYZ", raw([](auto... a) { chromel::labToXyz(a...); })},
        {"XYZ to LCh", raw([](auto... a) { chromel::xyzToLch(a...); })},
        {"LCh to XYZ", raw([](auto... a) { chromel::lchToXyz(a...); })},
        {"XYZ to Luv", raw([](auto... a) { chromel::xyzToLuv(a...); })},
        {"Luv to XYZ", raw([](auto... a) { chromel::luvToXyz(a...); })},
        {"LCh to Lab",
         [](const Colours& in, Colours& out, Isa isa) { chromel::lchToLab(in, out.data(), isa); }},
    };
    for (const chromel::Limit limit : {chromel::Limit::Clamp, chromel::Limit::None})
        all.emplace_back("Lab to LCh", [limit](const Colours& in, Colours& out, Isa isa) {
            chromel::labToLch(in, limit, out.data(), isa);
        });
    for (std::int32_t method = 1; method <= 4; ++method)
        all.emplace_back("adaptation " + std::to_string(method),
                         [whites, method](const Colours& in, Colours& out, Isa isa) {
                             chromel::adaptXyz(in, whites, method, out.data(), isa);
                         });
    return all;
}

TEST(CieBuilds, EveryBuildGivesTheBaselineBits) {
    if (isa_builds::widerBuilds().empty()) GTEST_SKIP() << "this CPU runs the baseline build only";
    isa_builds::expectBaselineBits(inputs(20240611), conversions());
}

// The colour differences take the same inputs pairwise (each colour against the next),
// every selector of ΔE*94 included.
TEST(CieBuilds, EveryBuildGivesTheBaselineDifferences) {
    const Colours in = inputs(20240612);
    const auto eab = chromel::deltaEabBuild(Isa::Baseline);
    const auto e94 = chromel::deltaE94Build(Isa::Baseline);
    for (const Isa isa : {Isa::Avx2, Isa::Avx512}) {
        if (!chromel::isaSupported(isa)) continue;
        const auto eabOn = chromel::deltaEabBuild(isa);
        const auto e94On = chromel::deltaE94Build(isa);
        std::size_t differing = 0;
        for (std::size_t i = 0; i + 1 < kColours; ++i) {
            const ColorRecord *a = &in[i], *b = &in[i + 1];
            const std::int32_t selector = static_cast<std::int32_t>(i % 4);
            differing += !sameBits(eabOn(a, b), eab(a, b));
            differing += !sameBits(e94On(a, b, selector), e94(a, b, selector));
        }
        EXPECT_EQ(differing, 0u) << chromel::isaName(isa);
    }
}

TEST(CieBuilds, TheHostBuildIsOneTheCpuRuns) {
    EXPECT_TRUE(chromel::isaSupported(chromel::hostIsa()));
    EXPECT_TRUE(chromel::isaSupported(Isa::Baseline));
}

}  // namespace
