// Spectrum text files.
#include "app/spectrum_file.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace app {
namespace {

// Why `path` cannot be read as a file, or empty. Directories and devices (a terminal,
// /dev/zero) are refused: they hold no lines or never end.
std::string unreadable(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return "no such file";
    if (!std::filesystem::is_regular_file(status)) return "not a regular file";
    return {};
}

}  // namespace

bool readSpectrumFile(const std::string& path, std::vector<SpectrumPoint>& points,
                      std::string& error) {
    points.clear();
    if (const std::string why = unreadable(path); !why.empty()) {
        error = path + ": " + why;
        return false;
    }
    std::ifstream in(path);
    if (!in.is_open()) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        const std::string original = line;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        for (char& c : line)
            if (c == ',' || c == ';' || c == '\t' || c == '\r') c = ' ';
        if (line.find_first_not_of(' ') == std::string::npos) continue;
        std::istringstream fields(line);
        double nm = 0.0;
        double value = 0.0;
        std::string rest;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (!(fields >> nm >> value) || (fields >> rest) || !std::isfinite(nm) ||
            !std::isfinite(value)) {
            error = where + "\"" + original + "\" is not a wavelength and a value";
            return false;
        }
        if (!points.empty() && nm <= points.back().wavelengthNm) {
            error = where + "wavelengths must ascend";
            return false;
        }
        points.push_back({nm, value});
    }
    if (points.empty()) {
        error = path + ": no \"wavelength value\" lines";
        return false;
    }
    return true;
}

double coarsestStepNm(const std::vector<SpectrumPoint>& points) {
    double step = 0.0;
    for (std::size_t i = 1; i < points.size(); ++i)
        step = std::max(step, points[i].wavelengthNm - points[i - 1].wavelengthNm);
    return step;
}

}  // namespace app
