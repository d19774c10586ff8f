// Every instruction-set build of the RGB, device-colour, cell and grid conversions gives the
// baseline build's bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "chromel/cmyk_grid_lab.h"
#include "chromel/grid_interp.h"
#include "chromel/isa.h"
#include "chromel/rgb_cmyk.h"
#include "isa_builds.h"

namespace {

using chromel::Isa;
using isa_builds::Colours;
using isa_builds::Conversion;

constexpr std::size_t kColours = 20'000;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Ordinary XYZ, 0-255 and unit-cube colours, with runs of the cases the loops treat apart:
// the curves' breaks and their neighbours, the ends, and out-of-range, huge, infinite and
// NaN components. Runs of ordinary colours keep whole blocks on the loops' fast paths.
Colours inputs(unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(-0.1, 1.2), byte(-5.0, 260.0), lowByte(0.0, 12.0);
    const double specials[] = {
        0.0,  -0.0,  1e-300,       -1.0,      255.0,    256.0,           1e10, 1e300,
        kInf, -kInf, std::nan(""), 0.0031308, 10.31475, 0.04045 * 255.0, 1e-5, 0.5};
    Colours c(kColours);
    for (std::size_t i = 0; i < kColours; ++i) {
        double* v = c[i].v;
        const std::size_t run = (i / 256) % 4;
        for (int k = 0; k < 4; ++k) {
            if (run == 0)
                v[k] = unit(rng);
            else if (run == 1)
                v[k] = byte(rng);
            else if (run == 2)
                v[k] = (i % 3 == 0) ? specials[rng() % std::size(specials)] : lowByte(rng);
            else
                v[k] = std::uniform_real_distribution<double>(0.0, 1.0)(rng) * (k == 3 ? 1 : 255);
        }
    }
    return c;
}

std::vector<std::pair<std::string, Conversion>> conversions() {
    using chromel::RgbSpaceId;
    std::vector<std::pair<std::string, Conversion>> all;
    for (const RgbSpaceId space :
         {RgbSpaceId::Srgb, RgbSpaceId::AdobeRgb, RgbSpaceId::WideGamutRgb})
        for (const double gamma : {2.2, 2.4, 1.0, 0.3}) {
            const std::string tag =
                std::to_string(static_cast<int>(space)) + " at " + std::to_string(gamma);
            all.emplace_back("XYZ to RGB " + tag, [=](const Colours& in, Colours& out, Isa isa) {
                chromel::xyzToRgb(space, gamma, in, out.data(), isa);
            });
            all.emplace_back("RGB to XYZ " + tag, [=](const Colours& in, Colours& out, Isa isa) {
                chromel::rgbToXyz(space, gamma, in, out.data(), isa);
            });
        }
    const double gammas[3] = {1.0, 2.2, 0.45};
    const double gammas4[4] = {1.8, 1.0, 2.6, 0.5};
    const chromel::Separation separation{1.0, 0.8, 1.6, 2.6};
    all.emplace_back("RGB to CMY", [=](const Colours& in, Colours& out, Isa isa) {
        chromel::rgbToCmy(gammas, in, out.data(), isa);
    });
    all.emplace_back("CMY to CMYK", [=](const Colours& in, Colours& out, Isa isa) {
        chromel::cmyToCmyk(separation, in, out.data(), isa);
    });
    all.emplace_back("RGB to CMYK", [=](const Colours& in, Colours& out, Isa isa) {
        chromel::rgbToCmyk(gammas, separation, in, out.data(), isa);
    });
    all.emplace_back("CMYK gamma", [=](const Colours& in, Colours& out, Isa isa) {
        chromel::cmykGamma(gammas4, in, out.data(), isa);
    });

    // A skewed cell, so that no weight or edge is trivial.
    std::vector<GridNode> cell(16);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> jitter(-0.1, 0.1);
    for (int i = 0; i < 16; ++i) {
        for (int a = 0; a < 4; ++a) {
            const int bit = a < 3 ? 2 - a : 3;
            cell[i].position.v[a] = ((i >> bit) & 1) + jitter(rng);
            cell[i].value.v[a] = 100.0 * jitter(rng) + 50.0 * a;
        }
    }
    // And a 4D cell whose cubes share their node positions, as a regular grid's do.
    std::vector<GridNode> regular = cell;
    for (int i = 8; i < 16; ++i)
        for (int a = 0; a < 3; ++a)
            regular[i].position.v[a] = regular[i - 8].position.v[a];
    for (const auto& cellCase : {std::pair{"skewed", cell}, std::pair{"regular", regular}}) {
        const std::vector<GridNode> nodes = cellCase.second;
        for (const auto scheme : {chromel::CellScheme::Tetrahedral, chromel::CellScheme::Linear})
            for (int inDims : {3, 4})
                for (int outDims : {3, 4})
                    all.emplace_back(
                        std::string(cellCase.first) + " cell " +
                            std::to_string(static_cast<int>(scheme)) + " " +
                            std::to_string(inDims) + "D" + std::to_string(outDims) + "D",
                        [=](const Colours& in, Colours& out, Isa isa) {
                            chromel::interpolateCell(scheme, inDims, outDims, nodes.data(), in,
                                                     out.data(), isa);
                        });
    }
    // CMYK grids of 5 K levels by 5^3 nodes, breakpoints even and uneven, nodes moved off
    // the lattice.
    for (const bool even : {true, false}) {
        std::vector<GridDescriptor> desc(6);
        std::vector<ColorRecord> positions, values;
        desc[0].count = 5;
        for (int j = 0; j < 5; ++j) {
            const double at = even ? 63.75 * j : 255.0 * (j * j) / 16;
            for (GridDescriptor& d : desc)
                d.values[j] = at;
            desc[1 + j].count = 5;
        }
        for (int k = 0; k < 5; ++k)
            for (int c = 0; c < 5; ++c)
                for (int m = 0; m < 5; ++m)
                    for (int y = 0; y < 5; ++y) {
                        const double* b = desc[1].values;
                        positions.push_back(
                            {{b[c] + jitter(rng), b[m] + jitter(rng), b[y], b[k] + jitter(rng)}});
                        values.push_back(
                            {{100 * jitter(rng) + 50, 300 * jitter(rng), 300 * jitter(rng), 0.0}});
                    }
        for (const auto scheme : {chromel::CellScheme::Tetrahedral, chromel::CellScheme::Linear})
            all.emplace_back(std::string(even ? "even" : "uneven") + " grid " +
                                 std::to_string(static_cast<int>(scheme)),
                             [=](const Colours& in, Colours& out, Isa isa) {
                                 chromel::gridLabs(scheme, desc.data(), positions.data(),
                                                   values.data(), in, out.data(), isa);
                             });
    }
    return all;
}

TEST(RgbBuilds, EveryBuildGivesTheBaselineBits) {
    if (isa_builds::widerBuilds().empty()) GTEST_SKIP() << "this CPU runs the baseline build only";
    isa_builds::expectBaselineBits(inputs(20241208), conversions());
}

}  // namespace
