// Spectrum text files: one "wavelength value" line per sample, wavelengths ascending.
#ifndef APP_SPECTRUM_FILE_H
#define APP_SPECTRUM_FILE_H

#include <cstddef>
#include <string>
#include <vector>

namespace app {

struct SpectrumPoint {
    double wavelengthNm;
    double value;
};

// Reads `path`: `#` starts a comment, commas, semicolons and tabs separate like blanks, blank
// lines are skipped. Every other line holds two finite numbers, the wavelengths strictly
// ascending, and at least one such line is required. On failure returns false with `error`
// naming the file and, where one is at fault, the line ("path:3: ...").
bool readSpectrumFile(const std::string& path, std::vector<SpectrumPoint>& points,
                      std::string& error);

// The largest wavelength step between neighbouring points (0 for fewer than two).
double coarsestStepNm(const std::vector<SpectrumPoint>& points);

}  // namespace app

#endif  // APP_SPECTRUM_FILE_H
