// The spectrum the simulated instrument sees: a built-in illuminant or a spectrum file, scaled to
// a chosen illuminance.
#ifndef SIM_EYE_ONE_LIGHT_SOURCE_H
#define SIM_EYE_ONE_LIGHT_SOURCE_H

#include <array>
#include <optional>
#include <string>

namespace sim {

inline constexpr std::size_t kAmbientSamples = 36;  // 380 nm to 730 nm at 10 nm
using AmbientSpectrum = std::array<double, kAmbientSamples>;

// `source` is an illuminant name (A, C, D50, D55, D65, D75, F1 to F12) or the path of a text file
// of "wavelength value" lines. The result is the spectrum in the units the library reports
// (values whose illuminance is `lux`), null when the source cannot be read.
std::optional<AmbientSpectrum> ambientSpectrum(const std::string& source, double lux);

// Tristimulus values of the light, Y in lux.
std::array<double, 3> emissionXyz(const AmbientSpectrum& spectrum);

}  // namespace sim

#endif  // SIM_EYE_ONE_LIGHT_SOURCE_H
