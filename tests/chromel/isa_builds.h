// Checks that every instruction-set build of a set of array conversions gives the baseline
// build's bits.
#ifndef TESTS_CHROMEL_ISA_BUILDS_H
#define TESTS_CHROMEL_ISA_BUILDS_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "chromel/isa.h"
#include "chromel32.h"

namespace isa_builds {

using chromel::Isa;
using Colours = std::vector<ColorRecord>;
// Converts the colours into `out` (of the same size) on one build.
using Conversion = std::function<void(const Colours& in, Colours& out, Isa isa)>;
using Conversions = std::vector<std::pair<std::string, Conversion>>;

// The same bits, or both NaN.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// The builds other than the baseline that this CPU runs.
inline std::vector<Isa> widerBuilds() {
    std::vector<Isa> builds;
    for (const Isa isa : {Isa::Avx2, Isa::Avx512})
        if (chromel::isaSupported(isa)) builds.push_back(isa);
    return builds;
}

// Each conversion on each wider build against the baseline, colour by colour.
inline void expectBaselineBits(const Colours& in, const Conversions& conversions) {
    for (const auto& [name, convert] : conversions) {
        Colours want(in.size(), ColorRecord{{0.0, 0.0, 0.0, -1.0}});
        convert(in, want, Isa::Baseline);
        for (const Isa isa : widerBuilds()) {
            Colours got(in.size(), ColorRecord{{0.0, 0.0, 0.0, -1.0}});
            convert(in, got, isa);
            std::size_t differing = 0, first = in.size();
            for (std::size_t i = 0; i < in.size(); ++i) {
                bool same = true;
                for (int c = 0; c < 4; ++c)
                    same = same && sameBits(got[i].v[c], want[i].v[c]);
                if (!same && differing++ == 0) first = i;
            }
            EXPECT_EQ(differing, 0u)
                << name << " on " << chromel::isaName(isa) << ", first at " << first;
        }
    }
}

}  // namespace isa_builds

#endif  // TESTS_CHROMEL_ISA_BUILDS_H
