// Built-in illuminants from the colour library and spectrum files, seen through the
// instrument's band and scaled to an illuminance.
#include "sim/eye_one/light_source.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/spectrum_file.h"
#include "chromel32.h"

namespace sim {
namespace {

constexpr double kFirstNm = 380.0;
constexpr double kStepNm = 10.0;
constexpr double kBandwidthNm = 10.0;
// Spectra sampled this finely or finer are integrated over the band.
constexpr double kFineStepNm = 5.0;

std::optional<std::uint32_t> illuminantId(const std::string& name) {
    static const std::pair<const char*, std::uint32_t> kNames[] = {
        {"A", QEL_ILLUMINANT_A},     {"C", QEL_ILLUMINANT_C},     {"D50", QEL_ILLUMINANT_D50},
        {"D55", QEL_ILLUMINANT_D55}, {"D65", QEL_ILLUMINANT_D65}, {"D75", QEL_ILLUMINANT_D75},
        {"F1", QEL_ILLUMINANT_F1},   {"F2", QEL_ILLUMINANT_F2},   {"F3", QEL_ILLUMINANT_F3},
        {"F4", QEL_ILLUMINANT_F4},   {"F5", QEL_ILLUMINANT_F5},   {"F6", QEL_ILLUMINANT_F6},
        {"F7", QEL_ILLUMINANT_F7},   {"F8", QEL_ILLUMINANT_F8},   {"F9", QEL_ILLUMINANT_F9},
        {"F10", QEL_ILLUMINANT_F10}, {"F11", QEL_ILLUMINANT_F11}, {"F12", QEL_ILLUMINANT_F12},
    };
    for (const auto& [n, id] : kNames)
        if (name == n) return id;
    return std::nullopt;
}

using Points = std::vector<app::SpectrumPoint>;

// Linear interpolation of the points, held flat beyond the ends.
double sampleAt(const Points& points, double nm) {
    if (nm <= points.front().wavelengthNm) return points.front().value;
    if (nm >= points.back().wavelengthNm) return points.back().value;
    const auto above =
        std::lower_bound(points.begin(), points.end(), nm,
                         [](const app::SpectrumPoint& p, double x) { return p.wavelengthNm < x; });
    const app::SpectrumPoint& hi = *above;
    const app::SpectrumPoint& lo = *(above - 1);
    return lo.value +
           (hi.value - lo.value) * (nm - lo.wavelengthNm) / (hi.wavelengthNm - lo.wavelengthNm);
}

// What the instrument's band of kBandwidthNm (full width at half maximum, triangular) sees
// at `nm`: the points weighted by the triangle, divided by the weights of the points present.
// At 5 nm spacing this is 1/4 S(nm - 5) + 1/2 S(nm) + 1/4 S(nm + 5).
double bandAt(const Points& points, double nm) {
    double sum = 0.0;
    double weights = 0.0;
    for (const app::SpectrumPoint& p : points) {
        const double w = 1.0 - std::abs(p.wavelengthNm - nm) / kBandwidthNm;
        if (w <= 0.0) continue;
        sum += w * p.value;
        weights += w;
    }
    return weights > 0.0 ? sum / weights : sampleAt(points, nm);
}

// Finely sampled spectra pass through the band; coarser ones are taken as they stand.
AmbientSpectrum measured(const Points& points) {
    const bool fine = points.size() > 1 && coarsestStepNm(points) <= kFineStepNm;
    AmbientSpectrum s{};
    for (std::size_t i = 0; i < kAmbientSamples; ++i) {
        const double nm = kFirstNm + kStepNm * static_cast<double>(i);
        s[i] = fine ? bandAt(points, nm) : sampleAt(points, nm);
    }
    return s;
}

Points builtIn(std::uint32_t id) {
    SpectrumRecord table{};
    QelColor_GetLightSourceSpectrum(id, &table);
    Points points;
    for (std::uint32_t i = 0; i < table.count && i < QEL_SPECTRUM_SLOTS; ++i)
        points.push_back({static_cast<double>(table.start + i * table.interval), table.values[i]});
    return points;
}

SpectrumRecord toRecord(const AmbientSpectrum& s) {
    SpectrumRecord r{};
    r.start = static_cast<std::uint32_t>(kFirstNm);
    r.interval = static_cast<std::uint32_t>(kStepNm);
    r.count = kAmbientSamples;
    for (std::size_t i = 0; i < kAmbientSamples; ++i)
        r.values[i] = s[i];
    return r;
}

}  // namespace

std::optional<AmbientSpectrum> ambientSpectrum(const std::string& source, double lux) {
    Points points;
    std::string error;
    if (const std::optional<std::uint32_t> id = illuminantId(source)) {
        points = builtIn(*id);
    } else if (!app::readSpectrumFile(source, points, error)) {
        return std::nullopt;
    }
    if (points.empty()) return std::nullopt;
    AmbientSpectrum s = measured(points);
    const SpectrumRecord record = toRecord(s);
    double current = 0.0;
    QelColor_Spectrum2IlluminanceAmb(&record, 2, &current);
    if (!(current > 0.0) || !std::isfinite(lux) || lux < 0.0) return std::nullopt;
    for (double& v : s)
        v *= lux / current;
    return s;
}

std::array<double, 3> emissionXyz(const AmbientSpectrum& spectrum) {
    const SpectrumRecord record = toRecord(spectrum);
    ColorRecord xyz{};
    QelColor_Spectrum2XYZEms(&record, 2, &xyz);
    return {xyz.v[0] * 100.0, xyz.v[1] * 100.0, xyz.v[2] * 100.0};
}

}  // namespace sim
