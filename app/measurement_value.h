// One measured ambient-light spectrum and what the program derives from it: illuminance,
// correlated colour temperature, XYZ and the lamp type.
#ifndef APP_MEASUREMENT_VALUE_H
#define APP_MEASUREMENT_VALUE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "qel_records.h"

namespace orvel_kepno_ambientlib {

class CHROMEL;

// Samples taking part in the lamp comparison: 380, 390, ..., 730 nm.
inline constexpr std::size_t kClassifiedSamples = 36;
inline constexpr std::size_t kReferenceSpectra = 16;
// Observer selector passed to the colour library.
inline constexpr std::int32_t kObserver2Degree = 2;
// A lamp matches only when its weighted error stays strictly below this.
inline constexpr double kMatchThreshold = 0.00002;
// Spectra are compared after scaling to this illuminance (lux).
inline constexpr double kComparisonLux = 100.0;

// Result of MeasurementValue::GetLightSourceType.
enum LightSourceType : std::int32_t {
    kIncompatible = -1,  // no lamp matched, or the spectrum is invalid
    kHighColorRendering = 0,
    kThreeBand = 1,
    kNormal = 2,
};

// One reference lamp: its spectrum header, its type and its relative samples.
struct ReferenceSpectrum {
    std::uint32_t start;
    std::uint32_t interval;
    std::uint32_t count;
    std::int32_t type;
    std::array<double, kClassifiedSamples> samples;
};

extern const std::array<ReferenceSpectrum, kReferenceSpectra> ReferenceSpectrumTable;
// x̄ + ȳ + z̄ of the CIE 1931 2 degree observer at the classified wavelengths.
extern const std::array<double, kClassifiedSamples> SpectralWeightTable;

// XYZ of the light, scaled by 100.
struct TristimulusValue {
    double X;
    double Y;
    double Z;
};

// A spectrum is valid when both its interval and its count are non-zero.
bool IsValidSpectrum(const SpectrumRecord& spectrum);

// The computations behind MeasurementValue, on an explicit colour-library binding.
// An invalid spectrum gives zeros without calling the library.
TristimulusValue ComputeXYZ(const SpectrumRecord& spectrum, const CHROMEL& chromel);
std::int64_t ComputeColorTemperature(const SpectrumRecord& spectrum, const CHROMEL& chromel);
double ComputeIlluminance(const SpectrumRecord& spectrum, const CHROMEL& chromel);

// Weighted squared difference of the first samples of two spectra scaled to the same
// illuminance: sum of w[i] * (reference[i] - measured[i])^2 over the reference's samples
// (at most kClassifiedSamples), divided by their number.
double SpectralMatchError(const SpectrumRecord& reference, const SpectrumRecord& measured);

// Weighted least-squares match of `measured` against `references` (earlier entries win ties).
// Returns the matching entry's type, or kIncompatible; `index` and `error` (each may be null)
// receive the best entry and its error, or 0 and kMatchThreshold when none matched. They are
// left untouched for an invalid spectrum.
std::int32_t ClassifyLightSource(const SpectrumRecord& measured,
                                 std::span<const ReferenceSpectrum> references,
                                 const CHROMEL& chromel, std::int32_t* index, double* error);

// Whether the results of `spectrum` can be computed and trusted: the colour library is bound,
// every sample is finite and so is the illuminance. A spectrum of no light qualifies.
bool IsComputable(const SpectrumRecord& spectrum, const CHROMEL& chromel);
// Kelvin rounded half up toward zero; 0 for NaN, saturated outside the 64-bit range.
std::int64_t RoundKelvin(double kelvin);

// Holds one spectrum, zero-filled (invalid) until set; every query recomputes from it through
// the process-wide colour-library binding.
class MeasurementValue {
public:
    MeasurementValue();
    MeasurementValue(const MeasurementValue& other);
    MeasurementValue& operator=(const MeasurementValue& other) = default;
    virtual ~MeasurementValue();

    virtual void SetSpectrum(const SpectrumRecord& spectrum);
    virtual void GetSpectrum(SpectrumRecord& spectrum) const;
    virtual TristimulusValue GetXYZ() const;
    // A LightSourceType; `index` and `error` are optional.
    virtual std::int32_t GetLightSourceType(std::int32_t* index = nullptr,
                                            double* error = nullptr) const;
    // Correlated colour temperature in kelvin, rounded.
    virtual std::int64_t GetColorTemperature() const;
    // Illuminance in lux.
    virtual double GetIlluminance() const;
    // Whether the queries above give the colour library's results for a finite spectrum
    // (see IsComputable); when not, the measurement has failed.
    virtual bool IsComputable() const;

private:
    SpectrumRecord m_spectrum;
};

}  // namespace orvel_kepno_ambientlib

#endif  // APP_MEASUREMENT_VALUE_H
