// Details of a measured light and the verdict for colour work.
#include "app/light_details.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/chromel_binding.h"
#include "app/measurement_value.h"
#include "resources/string_ids.h"

namespace app {
namespace {

constexpr std::size_t kR9 = 8;

std::array<double, 2> uvPrime(double X, double Y, double Z) {
    const double d = X + 15.0 * Y + 3.0 * Z;
    if (!(d > 0.0)) return {0.0, 0.0};
    return {4.0 * X / d, 9.0 * Y / d};
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// A whole number as the text "N", or a fraction with up to `digits` decimals.
std::string number(double value, int digits) {
    char pattern[16];
    std::snprintf(pattern, sizeof pattern, "%%.%df", digits);
    return format(pattern, value);
}

std::optional<double> parseNumber(std::string_view text) {
    const std::string s(text);
    char* end = nullptr;
    const double value = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != 0 || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

LightDetails ComputeLightDetails(const SpectrumRecord& spectrum, double lux,
                                 const orvel_kepno_ambientlib::CHROMEL& chromel) {
    LightDetails d;
    d.spectrum = spectrum;
    d.lux = lux;
    ColorRecord xyz{};
    chromel.Spectrum2XYZAmb(spectrum, orvel_kepno_ambientlib::kObserver2Degree, xyz);
    const auto [u, v] = uvPrime(xyz.v[0], xyz.v[1], xyz.v[2]);
    d.uPrime = u;
    d.vPrime = v;
    d.hasTemperature = chromel.XYZ2ColorTemperatureDuv(xyz, d.kelvin, d.duv);
    d.hasRendering = chromel.Spectrum2ColorRendering(spectrum, d.ra, d.ri.data());
    return d;
}

Targets defaultTargets() {
    return Targets{};
}

bool locateWhite(Targets& targets, const orvel_kepno_ambientlib::CHROMEL& chromel) {
    double x = 0.0;
    double y = 0.0;
    targets.whiteU = targets.whiteV = 0.0;
    if (!chromel.CalcxyFromColTemp(targets.whiteKelvin, x, y)) return false;
    const auto [u, v] = uvPrime(x / y, 1.0, (1.0 - x - y) / y);
    targets.whiteU = u;
    targets.whiteV = v;
    return true;
}

bool parseTargetLux(std::string_view text, Targets& targets, std::string& error) {
    std::string_view value = text;
    std::optional<double> tolerance = 0.0;
    for (std::string_view sign : {"\u00b1", "+-"}) {
        if (const auto at = text.find(sign); at != std::string_view::npos) {
            value = text.substr(0, at);
            tolerance = parseNumber(text.substr(at + sign.size()));
            break;
        }
    }
    const std::optional<double> lux = parseNumber(value);
    if (!lux || *lux < 0 || !tolerance || *tolerance < 0) {
        error = "--target-lux needs N or N\u00b1M lux, not \"" + std::string(text) + "\"";
        return false;
    }
    targets.lux = *lux;
    targets.luxTolerance = *tolerance;
    return true;
}

bool parseTargetWhite(std::string_view text, Targets& targets, std::string& error) {
    // D50 and D65 are the daylight of 5000 K and 6500 K on the revised radiation constant.
    constexpr double kRevised = 1.4388 / 1.4380;
    double kelvin = 0.0;
    if (text == "D50" || text == "d50") {
        kelvin = 5000.0 * kRevised;
    } else if (text == "D65" || text == "d65") {
        kelvin = 6500.0 * kRevised;
    } else if (text.size() > 1 && (text.back() == 'K' || text.back() == 'k')) {
        kelvin = parseNumber(text.substr(0, text.size() - 1)).value_or(0.0);
    }
    if (!(kelvin >= 4000.0 && kelvin <= 25000.0)) {
        error =
            "--target-white needs D50, D65 or a daylight temperature from 4000K to 25000K, "
            "not \"" +
            std::string(text) + "\"";
        return false;
    }
    targets.whiteName = std::string(text);
    targets.whiteKelvin = kelvin;
    return true;
}

bool parseTargetRa(std::string_view text, Targets& targets, std::string& error) {
    const std::optional<double> ra = parseNumber(text);
    if (!ra || *ra < 0 || *ra > 100) {
        error = "--target-ra needs a number from 0 to 100, not \"" + std::string(text) + "\"";
        return false;
    }
    targets.ra = *ra;
    return true;
}

Verdict judge(const LightDetails& d, const Targets& t) {
    Verdict v;
    v.illuminance = std::abs(d.lux - t.lux) <= t.luxTolerance;
    v.whiteDistance = std::hypot(d.uPrime - t.whiteU, d.vPrime - t.whiteV);
    v.white = d.uPrime > 0.0 && t.whiteU > 0.0 && v.whiteDistance <= t.whiteTolerance;
    v.ra = d.hasRendering && d.ra >= t.ra;
    v.r9 = d.hasRendering && d.ri[kR9] >= t.r9;
    return v;
}

std::vector<std::string> detailLines(const LightDetails& d, const Targets& t,
                                     const std::function<std::string(std::uint32_t)>& text) {
    const Verdict v = judge(d, t);
    const std::string na = text(ids::kDetailsNotAvailable);
    auto mark = [&](bool pass) { return text(pass ? ids::kDetailsPass : ids::kDetailsFail); };
    std::vector<std::string> lines;
    lines.push_back(
        text(ids::kDetailsTemperature) + " " +
        (d.hasTemperature ? number(d.kelvin, 0) + " K, Duv " + format("%+.4f", d.duv) : na));
    lines.push_back(
        text(ids::kDetailsRendering) + " " +
        (d.hasRendering ? "Ra " + number(d.ra, 1) + ", R9 " + number(d.ri[kR9], 1) : na));
    lines.push_back(text(ids::kDetailsVerdict) + " " + mark(v.overall()));
    lines.push_back("  " + text(ids::kDetailsTargetLux) + " " + number(d.lux, 0) + " lx (" +
                    number(t.lux, 0) + " \u00b1 " + number(t.luxTolerance, 0) +
                    " lx): " + mark(v.illuminance));
    lines.push_back("  " + text(ids::kDetailsTargetWhite) + " \u0394u\u2032v\u2032 " +
                    number(v.whiteDistance, 4) + " / " + t.whiteName + " (\u2264 " +
                    number(t.whiteTolerance, 3) + "): " + mark(v.white));
    lines.push_back("  Ra " + (d.hasRendering ? number(d.ra, 1) : na) + " (\u2265 " +
                    number(t.ra, 0) + "): " + mark(v.ra));
    lines.push_back("  R9 " + (d.hasRendering ? number(d.ri[kR9], 1) : na) + " (\u2265 " +
                    number(t.r9, 0) + "): " + mark(v.r9));
    return lines;
}

std::string detailsJsonMembers(const LightDetails& d, const Targets& t) {
    const Verdict v = judge(d, t);
    auto real = [](bool has, double value) { return has ? format("%.17g", value) : "null"; };
    auto boolean = [](bool b) { return std::string(b ? "true" : "false"); };
    std::string json = ", \"planckianTemperature\": " + real(d.hasTemperature, d.kelvin) +
                       ", \"duv\": " + real(d.hasTemperature, d.duv) +
                       ", \"ra\": " + real(d.hasRendering, d.ra) + ", \"ri\": ";
    if (d.hasRendering) {
        json += "[";
        for (std::size_t i = 0; i < d.ri.size(); ++i)
            json += (i ? ", " : "") + format("%.17g", d.ri[i]);
        json += "]";
    } else {
        json += "null";
    }
    json += ", \"r9\": " + real(d.hasRendering, d.ri[kR9]);
    json += ", \"verdict\": {\"pass\": " + boolean(v.overall()) +
            ", \"illuminance\": " + boolean(v.illuminance) + ", \"white\": " + boolean(v.white) +
            ", \"whiteDistance\": " + format("%.17g", v.whiteDistance) +
            ", \"ra\": " + boolean(v.ra) + ", \"r9\": " + boolean(v.r9) +
            ", \"targets\": {\"illuminance\": " + format("%.12g", t.lux) +
            ", \"illuminanceTolerance\": " + format("%.12g", t.luxTolerance) + ", \"white\": \"" +
            t.whiteName + "\", \"whiteTolerance\": " + format("%.12g", t.whiteTolerance) +
            ", \"ra\": " + format("%.12g", t.ra) + ", \"r9\": " + format("%.12g", t.r9) + "}}";
    const SpectrumRecord& s = d.spectrum;
    json += ", \"spectrum\": {\"start\": " + std::to_string(s.start) +
            ", \"interval\": " + std::to_string(s.interval) + ", \"values\": [";
    const std::uint32_t n = s.count < QEL_SPECTRUM_SLOTS ? s.count : QEL_SPECTRUM_SLOTS;
    for (std::uint32_t i = 0; i < n; ++i)
        json += (i ? ", " : "") + format("%.17g", s.values[i]);
    return json + "]}";
}

std::string spectrumCsv(const SpectrumRecord& s) {
    std::string csv = "# wavelength_nm,relative_power\n";
    const std::uint32_t n = s.count < QEL_SPECTRUM_SLOTS ? s.count : QEL_SPECTRUM_SLOTS;
    for (std::uint32_t i = 0; i < n; ++i)
        csv += std::to_string(static_cast<std::uint64_t>(s.start) +
                              static_cast<std::uint64_t>(i) * s.interval) +
               "," + format("%.17g", s.values[i]) + "\n";
    return csv;
}

bool writeSpectrumCsv(const std::string& path, const SpectrumRecord& spectrum, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out.is_open()) out << spectrumCsv(spectrum);
    if (out.is_open()) out.close();
    if (out.fail()) {
        error = path + ": the spectrum could not be written";
        return false;
    }
    return true;
}

}  // namespace app
