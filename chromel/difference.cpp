// Colour differences between two Lab colours: Euclidean, lightness-chroma-hue and CIE 1994.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

#include "chromel/cie.h"
#include "chromel/isa_dispatch.h"

namespace chromel {
namespace {

constexpr double kRadiansToDegrees = 360.0 * 0.15915494309189535;

[[gnu::always_inline]] inline double deltaEabPow2(const ColorRecord& reference,
                                                  const ColorRecord& sample) {
    const double dl = sample.v[0] - reference.v[0];
    const double da = sample.v[1] - reference.v[1];
    const double db = sample.v[2] - reference.v[2];
    return dl * dl + da * da + db * db;
}

// Hue counts in degrees, lightness and chroma in their own units; the hue angle is not
// wrapped, so hues either side of the a* axis differ by nearly 360.
[[gnu::always_inline]] inline double deltaEChPow2(const ColorRecord& reference,
                                                  const ColorRecord& sample, Limit limit) {
    const ColorRecord r = labToLch(reference, limit);
    const ColorRecord s = labToLch(sample, limit);
    const double dh = (s.v[2] - r.v[2]) * kRadiansToDegrees;
    const double dc = s.v[1] - r.v[1];
    const double dl = s.v[0] - r.v[0];
    return dh * dh + dc * dc + dl * dl;
}

// CIE 1994 with kL = kC = kH = 1. The selector picks the weighting chroma: 1 the
// reference's, 2 the sample's, anything else their mean. Only L* and C* of the LCh
// conversion enter, so the hue angle is never computed.
[[gnu::always_inline]] inline double deltaE94Pow2(const ColorRecord& reference,
                                                  const ColorRecord& sample, std::int32_t selector,
                                                  Limit limit) {
    const double l1 = lchLightness(reference.v[0], limit);
    const double l2 = lchLightness(sample.v[0], limit);
    const double c1 = lchChroma(reference.v[1], reference.v[2], limit);
    const double c2 = lchChroma(sample.v[1], sample.v[2], limit);
    const double cw = selector == 1 ? c1 : (selector == 2 ? c2 : (c1 + c2) / 2.0);
    const double dl = l2 - l1;
    const double dc = c2 - c1;
    const double da = sample.v[1] - reference.v[1];
    const double db = sample.v[2] - reference.v[2];
    double dh2 = da * da + db * db - dc * dc;
    if (!(dh2 > 0.0)) dh2 = 0.0;
    const double sc = 1.0 + 0.045 * cw;
    const double sh = 1.0 + 0.015 * cw;
    return dh2 / (sh * sh) + (dc / sc) * (dc / sc) + dl * dl;
}

// Every difference reads two colours; a missing one gives 0.
[[gnu::always_inline]] inline double eabPow2(const ColorRecord* reference,
                                             const ColorRecord* sample) {
    if (reference == nullptr || sample == nullptr) return 0.0;
    return deltaEabPow2(*reference, *sample);
}

[[gnu::always_inline]] inline double chPow2(const ColorRecord* reference, const ColorRecord* sample,
                                            Limit limit) {
    if (reference == nullptr || sample == nullptr) return 0.0;
    return deltaEChPow2(*reference, *sample, limit);
}

[[gnu::always_inline]] inline double e94Pow2(const ColorRecord* reference,
                                             const ColorRecord* sample, std::int32_t selector,
                                             Limit limit) {
    if (reference == nullptr || sample == nullptr) return 0.0;
    return deltaE94Pow2(*reference, *sample, selector, limit);
}

[[gnu::always_inline]] inline double eab(const ColorRecord* reference, const ColorRecord* sample) {
    return std::sqrt(eabPow2(reference, sample));
}

[[gnu::always_inline]] inline double e94Limited(const ColorRecord* reference,
                                                const ColorRecord* sample, std::int32_t selector) {
    return std::sqrt(e94Pow2(reference, sample, selector, Limit::Clamp));
}

[[gnu::always_inline]] inline double e94LimitedPow2(const ColorRecord* reference,
                                                    const ColorRecord* sample,
                                                    std::int32_t selector) {
    return e94Pow2(reference, sample, selector, Limit::Clamp);
}

// The differences the exports call most, also built once per instruction set as the array
// conversions are, for comparing the builds; all give the same bits, as none contracts
// multiply-adds. A single difference gains nothing from wider vectors, so the exports
// compute it directly rather than pay an indirect call.
template <auto kDifference, typename... Args>
[[gnu::target("avx512f,avx512vl,avx512dq,avx512bw")]] double onAvx512(Args... args) {
    return kDifference(args...);
}

template <auto kDifference, typename... Args>
[[gnu::target("avx2")]] double onAvx2(Args... args) {
    return kDifference(args...);
}

template <auto kDifference, typename... Args>
double onBaseline(Args... args) {
    return kDifference(args...);
}

template <auto kDifference, typename... Args>
auto build(Isa isa) -> double (*)(Args...) {
    switch (isa) {
        case Isa::Avx512:
            return onAvx512<kDifference, Args...>;
        case Isa::Avx2:
            return onAvx2<kDifference, Args...>;
        case Isa::Baseline:
            break;
    }
    return onBaseline<kDifference, Args...>;
}

using Pair = const ColorRecord*;

}  // namespace

DeltaEabFunction deltaEabBuild(Isa isa) {
    return build<eab, Pair, Pair>(isa);
}

DeltaE94Function deltaE94Build(Isa isa) {
    return build<e94Limited, Pair, Pair, std::int32_t>(isa);
}

namespace {

// The samples in rows, at most kRow at a time, so that the difference loop vectorises.
constexpr std::size_t kRow = 16;

struct Differences {
    const ColorRecord& reference;
    std::span<const ColorRecord> samples;
    double* out;
};

[[gnu::always_inline]] inline void differencesLoop(const Differences& job) {
    for (std::size_t start = 0; start < job.samples.size(); start += kRow) {
        const std::size_t n = std::min(kRow, job.samples.size() - start);
        double l[kRow], a[kRow], b[kRow], d[kRow];
        for (std::size_t i = 0; i < n; ++i) {
            const ColorRecord& s = job.samples[start + i];
            l[i] = s.v[0], a[i] = s.v[1], b[i] = s.v[2];
        }
        for (std::size_t i = 0; i < n; ++i)
            d[i] =
                deltaE94Pow2(job.reference, ColorRecord{{l[i], a[i], b[i], 0.0}}, 1, Limit::Clamp);
        std::copy_n(d, n, job.out + start);
    }
}

}  // namespace

// One call for a reference's many differences: no call per difference, the reference's
// lightness and chroma worked out once, and the samples taken side by side.
void defaultDifferences(const ColorRecord& reference, std::span<const ColorRecord> samples,
                        double* out) {
    isa::run<Differences, differencesLoop>(hostIsa(), {reference, samples, out});
}

}  // namespace chromel

// Nothing here allocates or throws, so these run without the exception guard.
extern "C" {

using chromel::Limit;

double QelColor_CalcDeltaEabPow2(const ColorRecord* lab1, const ColorRecord* lab2) noexcept {
    return chromel::eabPow2(lab1, lab2);
}

double QelColor_CalcDeltaEab(const ColorRecord* lab1, const ColorRecord* lab2) noexcept {
    return chromel::eab(lab1, lab2);
}

double QelColor_CalcDeltaEab4MunsellPow2(const ColorRecord* lab1, const ColorRecord* lab2) noexcept
    __attribute__((alias("QelColor_CalcDeltaEabPow2")));

double QelColor_CalcDeltaEab4Munsell(const ColorRecord* lab1, const ColorRecord* lab2) noexcept
    __attribute__((alias("QelColor_CalcDeltaEab")));

double QelColor_CalcDeltaEChPow2(const ColorRecord* lab1, const ColorRecord* lab2) noexcept {
    return chromel::chPow2(lab1, lab2, Limit::Clamp);
}

double QelColor_CalcDeltaECh(const ColorRecord* lab1, const ColorRecord* lab2) noexcept {
    return std::sqrt(chromel::chPow2(lab1, lab2, Limit::Clamp));
}

double QelColor_CalcDeltaECh4MunsellPow2(const ColorRecord* lab1,
                                         const ColorRecord* lab2) noexcept {
    return chromel::chPow2(lab1, lab2, Limit::None);
}

double QelColor_CalcDeltaECh4Munsell(const ColorRecord* lab1, const ColorRecord* lab2) noexcept {
    return std::sqrt(chromel::chPow2(lab1, lab2, Limit::None));
}

double QelColor_CalcDeltaE94Pow2(const ColorRecord* lab1, const ColorRecord* lab2,
                                 int32_t selector) noexcept {
    return chromel::e94LimitedPow2(lab1, lab2, selector);
}

double QelColor_CalcDeltaE94(const ColorRecord* lab1, const ColorRecord* lab2,
                             int32_t selector) noexcept {
    return chromel::e94Limited(lab1, lab2, selector);
}

double QelColor_CalcDeltaE944MunsellPow2(const ColorRecord* lab1, const ColorRecord* lab2,
                                         int32_t selector) noexcept {
    return chromel::e94Pow2(lab1, lab2, selector, Limit::None);
}

double QelColor_CalcDeltaE944Munsell(const ColorRecord* lab1, const ColorRecord* lab2,
                                     int32_t selector) noexcept {
    return std::sqrt(chromel::e94Pow2(lab1, lab2, selector, Limit::None));
}

double QelColor_DefaultDeltaEFunc(const ColorRecord* lab1, const ColorRecord* lab2) noexcept {
    return chromel::e94LimitedPow2(lab1, lab2, 1);
}

}  // extern "C"
