// What the program shows beyond the three results: the colour temperature on the Planckian
// locus with Duv, the colour rendering indices, the spectrum, and a verdict for colour work.
#ifndef APP_LIGHT_DETAILS_H
#define APP_LIGHT_DETAILS_H

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qel_records.h"

namespace orvel_kepno_ambientlib {
class CHROMEL;
}  // namespace orvel_kepno_ambientlib

namespace app {

struct LightDetails {
    SpectrumRecord spectrum{};
    double lux = 0.0;
    bool hasTemperature = false;  // kelvin and duv
    double kelvin = 0.0;
    double duv = 0.0;
    double uPrime = 0.0;  // CIE 1976 chromaticity of the light
    double vPrime = 0.0;
    bool hasRendering = false;  // ra and ri
    double ra = 0.0;
    std::array<double, 14> ri{};
};

// Derives the details of `spectrum` through `chromel`; parts the library cannot give (an
// unbound function, a spectrum with no light) are marked absent.
LightDetails ComputeLightDetails(const SpectrumRecord& spectrum, double lux,
                                 const orvel_kepno_ambientlib::CHROMEL& chromel);

// Targets of a print-viewing room.
struct Targets {
    double lux = 500.0;
    double luxTolerance = 125.0;
    std::string whiteName = "D50";
    double whiteKelvin = 5000.0 * 1.4388 / 1.4380;  // on the CIE daylight locus
    double whiteU = 0.0;                            // (u', v') of the white, set by locateWhite
    double whiteV = 0.0;
    double whiteTolerance = 0.005;
    double ra = 90.0;
    double r9 = 50.0;
};
Targets defaultTargets();
// Sets the white's (u', v') from its temperature through `chromel`; false when it cannot.
bool locateWhite(Targets& targets, const orvel_kepno_ambientlib::CHROMEL& chromel);

// Option values: "N" or "N±M" (also "N+-M") lux; "D50", "D65" or "NNNNK" (CIE daylight,
// 4000 K to 25000 K); an Ra from 0 to 100. False with `error` set for anything else.
bool parseTargetLux(std::string_view text, Targets& targets, std::string& error);
bool parseTargetWhite(std::string_view text, Targets& targets, std::string& error);
bool parseTargetRa(std::string_view text, Targets& targets, std::string& error);

struct Verdict {
    bool illuminance = false;
    double whiteDistance = 0.0;  // in (u', v')
    bool white = false;
    bool ra = false;
    bool r9 = false;
    bool overall() const { return illuminance && white && ra && r9; }
};
Verdict judge(const LightDetails& details, const Targets& targets);

// The details as text lines, labels from `text` (string ids); without a trailing newline.
std::vector<std::string> detailLines(const LightDetails& details, const Targets& targets,
                                     const std::function<std::string(std::uint32_t)>& text);
// The details as JSON members (", \"name\": value, ..."), to append to a report object.
std::string detailsJsonMembers(const LightDetails& details, const Targets& targets);

// The spectrum as CSV lines "wavelength,value", exact to the last bit, after one comment
// line naming the columns.
std::string spectrumCsv(const SpectrumRecord& spectrum);
// Writes spectrumCsv to `path`; false with `error` set when it could not be written whole.
bool writeSpectrumCsv(const std::string& path, const SpectrumRecord& spectrum, std::string& error);

}  // namespace app

#endif  // APP_LIGHT_DETAILS_H
