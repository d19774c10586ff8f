// Spectral resampling onto the 1 nm grid and the sums built on it.
#ifndef CHROMEL_SPECTRAL_H
#define CHROMEL_SPECTRAL_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "chromel32.h"

namespace chromel {

// The normalised grid: 401 samples, 380 to 780 nm at 1 nm.
inline constexpr std::size_t kGridSize = QEL_SPECTRUM_SLOTS;
inline constexpr std::uint32_t kGridStartNm = 380;
using Grid = std::array<double, kGridSize>;

// Samples `count` values from `startNm` every `intervalNm`; at most kGridSize are read.
struct SpectrumView {
    std::uint32_t startNm;
    std::uint32_t intervalNm;
    std::uint32_t count;
    const double* values;
};

inline SpectrumView viewOf(const SpectrumRecord& s) {
    return {s.start, s.interval, s.count, s.values};
}

// Linear interpolation onto the grid. Samples below 380 nm are dropped, positions beyond
// 780 nm are never written, and positions no sample reaches stay 0; an interval of 0 gives
// all zeros.
void resample(const SpectrumView& in, Grid& out) noexcept;

struct Xyz {
    double X;
    double Y;
    double Z;
};

// Tristimulus values of `sample` lit by `light` (relative: a perfect white has Y = 1), or
// with `absolute` the light's own photometric XYZ. A null `sample` is the unit spectrum.
Xyz spectrumToXyz(const SpectrumView* sample, const SpectrumView& light, bool absolute) noexcept;

inline Xyz emissionXyz(const SpectrumView& light) noexcept {
    return spectrumToXyz(nullptr, light, true);
}

// Red, green, blue and visual filter densities.
std::array<double, 4> densities(const SpectrumView& spectrum) noexcept;

// The built-in light source `id`, D65 for any id without a spectrum.
SpectrumView lightSource(std::uint32_t id) noexcept;

}  // namespace chromel

#endif  // CHROMEL_SPECTRAL_H
