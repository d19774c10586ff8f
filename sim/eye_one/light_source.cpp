// Built-in illuminants from the colour library, spectrum files, and scaling to an illuminance.
#include "sim/eye_one/light_source.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "chromel32.h"

namespace sim {
namespace {

constexpr double kFirstNm = 380.0;
constexpr double kStepNm = 10.0;

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

// Linear interpolation of (wavelength, value) points, held flat beyond the ends.
double sampleAt(const std::vector<std::pair<double, double>>& points, double nm) {
    if (nm <= points.front().first) return points.front().second;
    if (nm >= points.back().first) return points.back().second;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const auto& [x1, y1] = points[i];
        if (nm <= x1) {
            const auto& [x0, y0] = points[i - 1];
            return x1 == x0 ? y1 : y0 + (y1 - y0) * (nm - x0) / (x1 - x0);
        }
    }
    return points.back().second;
}

std::optional<AmbientSpectrum> fromFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::vector<std::pair<double, double>> points;
    std::string line;
    while (std::getline(in, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        for (char& c : line)
            if (c == ',' || c == ';' || c == '\t') c = ' ';
        std::istringstream fields(line);
        double nm = 0.0;
        double value = 0.0;
        if (!(fields >> nm)) continue;
        if (!(fields >> value) || !std::isfinite(nm) || !std::isfinite(value)) return std::nullopt;
        if (!points.empty() && nm <= points.back().first) return std::nullopt;  // must ascend
        points.emplace_back(nm, value);
    }
    if (points.empty()) return std::nullopt;
    AmbientSpectrum s{};
    for (std::size_t i = 0; i < kAmbientSamples; ++i)
        s[i] = sampleAt(points, kFirstNm + kStepNm * static_cast<double>(i));
    return s;
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
    AmbientSpectrum s{};
    if (const std::optional<std::uint32_t> id = illuminantId(source)) {
        SpectrumRecord builtIn{};
        QelColor_GetLightSourceSpectrum(*id, &builtIn);  // 380 nm at 5 nm
        for (std::size_t i = 0; i < kAmbientSamples; ++i)
            s[i] = builtIn.values[2 * i];
    } else if (std::optional<AmbientSpectrum> file = fromFile(source)) {
        s = *file;
    } else {
        return std::nullopt;
    }
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
