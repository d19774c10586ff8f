// Spectra to tristimulus values, illuminance and filter densities.
#include "chromel/spectral.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "chromel/abi_guard.h"
#include "chromel/cie_tables.h"

namespace chromel {
namespace {

// Luminous efficacy 683 lm/W enters in two steps: 6.83 here, times 100 for lux.
constexpr double kPhotometricScale = 6.83;
constexpr double kLuxPerY = 100.0;

// Density filters: log10 of the weight from 340 to 770 nm at 10 nm; columns red, green,
// blue, visual. A tabulated 0 is a weight of 1.
constexpr std::uint32_t kFilterStartNm = 340;
constexpr std::uint32_t kFilterIntervalNm = 10;
constexpr std::size_t kFilterRows = 44;
constexpr std::size_t kFilterCount = 4;
constexpr double kFilterLog10[kFilterRows][kFilterCount] = {
    {0.000, 0.000, 1.000, 0.000},  // 340
    {0.000, 0.000, 1.000, 0.000},  // 350
    {0.000, 0.000, 1.301, 0.000},  // 360
    {0.000, 0.000, 2.000, 0.000},  // 370
    {0.000, 0.000, 2.477, 0.000},  // 380
    {0.000, 0.000, 3.176, 0.000},  // 390
    {0.000, 0.000, 3.778, 1.000},  // 400
    {0.000, 0.000, 4.230, 1.322},  // 410
    {0.000, 0.000, 4.602, 1.914},  // 420
    {0.000, 0.000, 4.778, 2.447},  // 430
    {0.000, 0.000, 4.914, 2.811},  // 440
    {0.000, 0.000, 4.973, 3.090},  // 450
    {0.000, 0.000, 5.000, 3.346},  // 460
    {0.000, 1.000, 4.987, 3.582},  // 470
    {0.000, 3.000, 4.929, 3.818},  // 480
    {0.000, 3.699, 4.813, 4.041},  // 490
    {0.000, 4.447, 4.602, 4.276},  // 500
    {0.000, 4.833, 4.255, 4.513},  // 510
    {0.000, 4.964, 3.699, 4.702},  // 520
    {0.000, 5.000, 2.301, 4.825},  // 530
    {0.000, 4.944, 1.602, 4.905},  // 540
    {0.000, 4.820, 1.000, 4.957},  // 550
    {1.000, 4.623, 0.000, 4.989},  // 560
    {1.778, 4.342, 0.000, 5.000},  // 570
    {2.653, 3.954, 0.000, 4.989},  // 580
    {4.477, 3.398, 0.000, 4.956},  // 590
    {5.000, 2.845, 0.000, 4.902},  // 600
    {4.929, 1.954, 0.000, 4.827},  // 610
    {4.740, 1.000, 0.000, 4.731},  // 620
    {4.398, 1.000, 0.000, 4.593},  // 630
    {4.000, 0.000, 0.000, 4.433},  // 640
    {3.699, 0.000, 0.000, 4.238},  // 650
    {3.176, 0.000, 0.000, 4.013},  // 660
    {2.699, 0.000, 0.000, 3.749},  // 670
    {2.477, 0.000, 0.000, 3.490},  // 680
    {2.176, 0.000, 0.000, 3.188},  // 690
    {1.699, 0.000, 0.000, 2.901},  // 700
    {1.000, 0.000, 0.000, 2.622},  // 710
    {1.000, 0.000, 0.000, 2.334},  // 720
    {0.000, 0.000, 0.000, 2.041},  // 730
    {0.000, 0.000, 0.000, 1.732},  // 740
    {0.000, 0.000, 0.000, 1.431},  // 750
    {0.000, 0.000, 0.000, 1.146},  // 760
    {0.000, 0.000, 0.000, 1.000},  // 770
};

// Sum of w[i] * t[i] over the grid. Four partial sums keep the adds independent (and let the
// compiler pair them in vector registers); every caller sums in this one order, so equal
// inputs give bit-equal sums.
double weightedSum(const Grid& w, const Grid& t) noexcept {
    constexpr std::size_t kLanes = 4;
    double lane[kLanes] = {};
    std::size_t i = 0;
    for (; i + kLanes <= kGridSize; i += kLanes)
        for (std::size_t l = 0; l < kLanes; ++l)
            lane[l] += w[i + l] * t[i + l];
    double tail = 0.0;
    for (; i < kGridSize; ++i)
        tail += w[i] * t[i];
    return ((lane[0] + lane[1]) + (lane[2] + lane[3])) + tail;
}

Xyz cmfSums(const Grid& w) noexcept {
    return {weightedSum(w, kCmf1931.x), weightedSum(w, kCmf1931.y), weightedSum(w, kCmf1931.z)};
}

struct DensityFilters {
    std::array<Grid, kFilterCount> weight;
    std::array<double, kFilterCount> total;
};

DensityFilters buildDensityFilters() noexcept {
    DensityFilters f{};
    Grid ones;
    ones.fill(1.0);
    double samples[kFilterRows];
    for (std::size_t c = 0; c < kFilterCount; ++c) {
        for (std::size_t r = 0; r < kFilterRows; ++r)
            samples[r] = std::pow(10.0, kFilterLog10[r][c]);
        resample({kFilterStartNm, kFilterIntervalNm, kFilterRows, samples}, f.weight[c]);
        // Summed like the numerator, so a flat spectrum of 1 gives a ratio of exactly 1.
        f.total[c] = weightedSum(ones, f.weight[c]);
    }
    return f;
}

const DensityFilters& densityFilters() noexcept {
    static const DensityFilters filters = buildDensityFilters();
    return filters;
}

}  // namespace

void resample(const SpectrumView& in, Grid& out) noexcept {
    out.fill(0.0);
    // 64-bit positions: start + skip * interval cannot wrap for any 32-bit header.
    const std::uint64_t interval = in.intervalNm;
    if (interval == 0 || in.values == nullptr) return;
    const std::uint64_t count = std::min<std::uint64_t>(in.count, kGridSize);
    const std::uint64_t start = in.startNm;
    const std::uint64_t skip =
        start >= kGridStartNm ? 0 : (kGridStartNm - start + interval - 1) / interval;
    std::uint64_t pos = start + skip * interval - kGridStartNm;
    if (skip >= count || pos >= kGridSize) return;

    constexpr std::uint64_t kLast = kGridSize - 1;
    const double* v = in.values;
    out[pos] = v[skip];
    for (std::uint64_t i = skip; i + 1 < count; ++i) {
        const double s = v[i];
        const double t = v[i + 1];
        const std::uint64_t room = kLast - pos;
        const std::uint64_t inner = std::min(interval - 1, room);
        if (inner > 0) {
            const double step = (t - s) / static_cast<double>(interval);
            // inner <= 400: a double counter is exact and cheaper than converting j.
            double dj = 1.0;
            for (std::uint64_t j = 1; j <= inner; ++j, dj += 1.0)
                out[pos + j] = s + step * dj;
        }
        if (interval > room) return;
        pos += interval;
        out[pos] = t;
    }
}

Xyz spectrumToXyz(const SpectrumView* sample, const SpectrumView& light, bool absolute) noexcept {
    if (light.intervalNm == 0) return {0.0, 0.0, 0.0};
    Grid b;
    resample(light, b);
    Xyz sums;
    if (sample == nullptr) {
        sums = cmfSums(b);
    } else {
        Grid w;
        resample(*sample, w);
        for (std::size_t i = 0; i < kGridSize; ++i)
            w[i] *= b[i];
        sums = cmfSums(w);
    }
    // The light's samples count per interval; dividing the sums is dividing every sample.
    const double interval = light.intervalNm;
    if (absolute) {
        return {kPhotometricScale * (sums.X / interval), kPhotometricScale * (sums.Y / interval),
                kPhotometricScale * (sums.Z / interval)};
    }
    // Relative: normalised by the light's own Y. Dividing (rather than multiplying by the
    // reciprocal) makes a perfect white's Y exactly 1.
    const double white = weightedSum(b, kCmf1931.y);
    if (white == 0.0) return {0.0, 0.0, 0.0};
    return {sums.X / white, sums.Y / white, sums.Z / white};
}

std::array<double, 4> densities(const SpectrumView& spectrum) noexcept {
    Grid v;
    resample(spectrum, v);
    const DensityFilters& filters = densityFilters();
    std::array<double, 4> d{};
    for (std::size_t c = 0; c < kFilterCount; ++c) {
        if (filters.total[c] == 0.0) continue;
        const double ratio = weightedSum(v, filters.weight[c]) / filters.total[c];
        // 0 - log10 keeps a ratio of exactly 1 at +0.
        if (ratio != 0.0) d[c] = 0.0 - std::log10(ratio);
    }
    return d;
}

SpectrumView lightSource(std::uint32_t id) noexcept {
    const auto named = [](std::uint32_t wanted) {
        return std::find_if(kIlluminantSpectra.begin(), kIlluminantSpectra.end(),
                            [wanted](const IlluminantSpectrum& s) { return s.id == wanted; });
    };
    auto chosen = named(id);
    if (chosen == kIlluminantSpectra.end()) chosen = named(QEL_ILLUMINANT_D65);
    return {kIlluminantStartNm, kIlluminantIntervalNm, kIlluminantRows, chosen->values.data()};
}

}  // namespace chromel

namespace {

using chromel::abiGuard;

ColorRecord* writeXyz(const chromel::Xyz& xyz, ColorRecord* out) noexcept {
    out->v[0] = xyz.X;
    out->v[1] = xyz.Y;
    out->v[2] = xyz.Z;
    return out;
}

// Y of the emission XYZ; 0 for a missing spectrum.
double emissionY(const SpectrumRecord* spectrum) noexcept {
    if (spectrum == nullptr) return 0.0;
    return chromel::emissionXyz(chromel::viewOf(*spectrum)).Y;
}

}  // namespace

extern "C" {

ColorRecord* QelColor_Spectrum2XYZRaw(const SpectrumRecord* sample, const SpectrumRecord* light,
                                      int32_t /*observer*/, int32_t absolute,
                                      ColorRecord* xyz) noexcept {
    if (xyz == nullptr) return nullptr;
    return abiGuard(xyz, [&] {
        if (sample == nullptr || light == nullptr) return writeXyz({0.0, 0.0, 0.0}, xyz);
        const chromel::SpectrumView a = chromel::viewOf(*sample);
        return writeXyz(chromel::spectrumToXyz(&a, chromel::viewOf(*light), absolute != 0), xyz);
    });
}

ColorRecord* QelColor_Spectrum2XYZEms(const SpectrumRecord* spectrum, int32_t /*observer*/,
                                      ColorRecord* xyz) noexcept {
    if (xyz == nullptr) return nullptr;
    return abiGuard(xyz, [&] {
        if (spectrum == nullptr) return writeXyz({0.0, 0.0, 0.0}, xyz);
        return writeXyz(chromel::emissionXyz(chromel::viewOf(*spectrum)), xyz);
    });
}

void QelColor_Spectrum2XYZAmb(const SpectrumRecord* spectrum, int32_t /*observer*/,
                              ColorRecord* xyz) noexcept {
    if (xyz == nullptr) return;
    abiGuard([&] {
        chromel::Xyz e{0.0, 0.0, 0.0};
        if (spectrum != nullptr) e = chromel::emissionXyz(chromel::viewOf(*spectrum));
        constexpr double kPi = std::numbers::pi;
        writeXyz({e.X / kPi, e.Y / kPi, e.Z / kPi}, xyz);
        xyz->v[3] = 0.0;
    });
}

ColorRecord* QelColor_Spectrum2XYZRef(uint32_t lightSource, const SpectrumRecord* reflectance,
                                      int32_t /*observer*/, ColorRecord* xyz) noexcept {
    if (xyz == nullptr) return nullptr;
    return abiGuard(xyz, [&] {
        if (reflectance == nullptr) return writeXyz({0.0, 0.0, 0.0}, xyz);
        const chromel::SpectrumView a = chromel::viewOf(*reflectance);
        return writeXyz(chromel::spectrumToXyz(&a, chromel::lightSource(lightSource), false), xyz);
    });
}

void QelColor_Spectrum2IlluminanceAmb(const SpectrumRecord* spectrum, int32_t /*observer*/,
                                      double* lux) noexcept {
    if (lux == nullptr) return;
    *lux = abiGuard(0.0, [&] { return chromel::kLuxPerY * emissionY(spectrum); });
}

void QelColor_Spectrum2IlluminanceEms(const SpectrumRecord* spectrum, int32_t /*observer*/,
                                      double* value) noexcept {
    if (value == nullptr) return;
    *value =
        abiGuard(0.0, [&] { return std::numbers::pi * (chromel::kLuxPerY * emissionY(spectrum)); });
}

DensityRecord* QelColor_Spectrum2Density(const SpectrumRecord* spectrum, int32_t /*unused1*/,
                                         int32_t /*unused2*/, DensityRecord* density) noexcept {
    if (density == nullptr) return nullptr;
    return abiGuard(density, [&] {
        std::array<double, 4> d{};
        if (spectrum != nullptr) d = chromel::densities(chromel::viewOf(*spectrum));
        std::copy(d.begin(), d.end(), density->values);
        return density;
    });
}

double* QelColor_GetLightSourceSpectrum(uint32_t lightSource, SpectrumRecord* spectrum) noexcept {
    if (spectrum == nullptr) return nullptr;
    const chromel::SpectrumView s = chromel::lightSource(lightSource);
    spectrum->start = s.startNm;
    spectrum->interval = s.intervalNm;
    spectrum->count = s.count;
    std::copy(s.values, s.values + s.count, spectrum->values);
    return spectrum->values;
}

double* QelColor_NormalizeSpectrumFrom380nmTo780nm(const SpectrumRecord* in,
                                                   SpectrumRecord* out) noexcept {
    if (out == nullptr) return nullptr;
    // Through a grid of our own, so that `in` may be `out` itself.
    chromel::Grid grid{};
    if (in != nullptr) chromel::resample(chromel::viewOf(*in), grid);
    out->start = chromel::kGridStartNm;
    out->interval = 1;
    out->count = chromel::kGridSize;
    std::copy(grid.begin(), grid.end(), out->values);
    return out->values;
}

}  // extern "C"
