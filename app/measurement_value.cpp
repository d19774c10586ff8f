// The measurement value: colour-library queries and the weighted match against reference lamps.
#include "app/measurement_value.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/chromel_binding.h"

namespace orvel_kepno_ambientlib {
namespace {

// Factor that brings a spectrum of illuminance `lux` to kComparisonLux; 1 for a dark one.
double comparisonScale(double lux) {
    return lux == 0.0 ? 1.0 : kComparisonLux / lux;
}

// The classified part of `measured`, scaled; samples it lacks stay 0.
SpectrumRecord scaledForComparison(const SpectrumRecord& measured, const CHROMEL& chromel) {
    double lux = 0.0;
    chromel.Spectrum2IlluminanceAmb(measured, kObserver2Degree, lux);
    const double scale = comparisonScale(lux);
    SpectrumRecord scaled{};
    scaled.start = measured.start;
    scaled.interval = measured.interval;
    scaled.count = measured.count;
    const std::size_t n = std::min<std::size_t>(measured.count, QEL_SPECTRUM_SLOTS);
    for (std::size_t i = 0; i < n; ++i)
        scaled.values[i] = measured.values[i] * scale;
    return scaled;
}

SpectrumRecord referenceRecord(const ReferenceSpectrum& entry, const CHROMEL& chromel) {
    SpectrumRecord record{};
    record.start = entry.start;
    record.interval = entry.interval;
    record.count =
        static_cast<std::uint32_t>(std::min<std::size_t>(entry.count, kClassifiedSamples));
    std::copy(entry.samples.begin(), entry.samples.end(), record.values);
    return scaledForComparison(record, chromel);
}

}  // namespace

bool IsValidSpectrum(const SpectrumRecord& spectrum) {
    return spectrum.interval != 0 && spectrum.count != 0;
}

TristimulusValue ComputeXYZ(const SpectrumRecord& spectrum, const CHROMEL& chromel) {
    if (!IsValidSpectrum(spectrum)) return {0.0, 0.0, 0.0};
    ColorRecord xyz{};
    chromel.Spectrum2XYZAmb(spectrum, kObserver2Degree, xyz);
    return {xyz.v[0] * 100.0, xyz.v[1] * 100.0, xyz.v[2] * 100.0};
}

std::int64_t ComputeColorTemperature(const SpectrumRecord& spectrum, const CHROMEL& chromel) {
    if (!IsValidSpectrum(spectrum)) return 0;
    ColorRecord xyz{};
    chromel.Spectrum2XYZAmb(spectrum, kObserver2Degree, xyz);
    double kelvin = 0.0;
    chromel.XYZ2ColorTemperature(xyz, kelvin);
    return RoundKelvin(kelvin);
}

double ComputeIlluminance(const SpectrumRecord& spectrum, const CHROMEL& chromel) {
    if (!IsValidSpectrum(spectrum)) return 0.0;
    double lux = 0.0;
    chromel.Spectrum2IlluminanceAmb(spectrum, kObserver2Degree, lux);
    return lux;
}

double SpectralMatchError(const SpectrumRecord& reference, const SpectrumRecord& measured) {
    const std::size_t n = std::min<std::size_t>(reference.count, kClassifiedSamples);
    // An empty reference matches nothing.
    if (n == 0) return std::numeric_limits<double>::infinity();
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = reference.values[i] - measured.values[i];
        sum += SpectralWeightTable[i] * (d * d);
    }
    return sum * (1.0 / static_cast<double>(n));
}

std::int32_t ClassifyLightSource(const SpectrumRecord& measured,
                                 std::span<const ReferenceSpectrum> references,
                                 const CHROMEL& chromel, std::int32_t* index, double* error) {
    if (!IsValidSpectrum(measured)) return kIncompatible;
    // A spectrum of fewer samples than the references compares as if the rest were 0.
    const SpectrumRecord scaled = scaledForComparison(measured, chromel);

    double bestError = kMatchThreshold;
    std::int32_t bestType = kHighColorRendering;
    std::int32_t bestIndex = 0;
    for (std::size_t k = 0; k < references.size(); ++k) {
        const double e = SpectralMatchError(referenceRecord(references[k], chromel), scaled);
        if (e < bestError) {
            bestError = e;
            bestIndex = static_cast<std::int32_t>(k);
            bestType = references[k].type;
        }
    }
    if (index != nullptr) *index = bestIndex;
    if (error != nullptr) *error = bestError;
    if (!(bestError < kMatchThreshold)) return kIncompatible;
    switch (bestType) {
        case kHighColorRendering:
        case kThreeBand:
        case kNormal:
            return bestType;
        default:
            return kIncompatible;
    }
}

bool IsComputable(const SpectrumRecord& spectrum, const CHROMEL& chromel) {
    if (!chromel.Bound()) return false;
    const std::size_t n = std::min<std::size_t>(spectrum.count, QEL_SPECTRUM_SLOTS);
    if (!std::all_of(spectrum.values, spectrum.values + n,
                     [](double v) { return std::isfinite(v); }))
        return false;
    return std::isfinite(ComputeIlluminance(spectrum, chromel));
}

std::int64_t RoundKelvin(double kelvin) {
    const double rounded = std::trunc(kelvin + 0.5);
    if (std::isnan(rounded)) return 0;
    // 2^63 is exact as a double; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (rounded >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (rounded < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(rounded);
}

MeasurementValue::MeasurementValue() : m_spectrum{} {}

MeasurementValue::MeasurementValue(const MeasurementValue& other) : m_spectrum(other.m_spectrum) {}

MeasurementValue::~MeasurementValue() = default;

void MeasurementValue::SetSpectrum(const SpectrumRecord& spectrum) {
    std::memcpy(&m_spectrum, &spectrum, sizeof m_spectrum);
}

void MeasurementValue::GetSpectrum(SpectrumRecord& spectrum) const {
    std::memcpy(&spectrum, &m_spectrum, sizeof m_spectrum);
}

TristimulusValue MeasurementValue::GetXYZ() const {
    return ComputeXYZ(m_spectrum, CHROMEL::Instance());
}

std::int32_t MeasurementValue::GetLightSourceType(std::int32_t* index, double* error) const {
    if (!IsValidSpectrum(m_spectrum)) return kIncompatible;
    return ClassifyLightSource(m_spectrum, ReferenceSpectrumTable, CHROMEL::Instance(), index,
                               error);
}

std::int64_t MeasurementValue::GetColorTemperature() const {
    return ComputeColorTemperature(m_spectrum, CHROMEL::Instance());
}

double MeasurementValue::GetIlluminance() const {
    return ComputeIlluminance(m_spectrum, CHROMEL::Instance());
}

bool MeasurementValue::IsComputable() const {
    return orvel_kepno_ambientlib::IsComputable(m_spectrum, CHROMEL::Instance());
}

}  // namespace orvel_kepno_ambientlib
