// Binding of chromel32's spectral and colour-temperature functions, resolved by name.
#include "app/chromel_binding.h"

#include <cstring>

namespace orvel_kepno_ambientlib {

CHROMEL& CHROMEL::Instance() {
    static CHROMEL instance;
    return instance;
}

CHROMEL::CHROMEL(std::string_view moduleName) {
    if (!m_module.load(moduleName)) return;
    m_module.resolve("QelColor_Spectrum2XYZAmb", m_spectrum2XYZAmb);
    m_module.resolve("QelColor_XYZ2ColorTemperature", m_xyz2ColorTemperature);
    m_module.resolve("QelColor_Spectrum2IlluminanceAmb", m_spectrum2IlluminanceAmb);
    m_module.resolve("QelColor_NormalizeSpectrumFrom380nmTo780nm", m_normalizeSpectrum);
    m_module.resolve("QelColor_XYZ2ColorTemperatureDuv", m_xyz2ColorTemperatureDuv);
    m_module.resolve("QelColor_Spectrum2ColorRendering", m_spectrum2ColorRendering);
    m_module.resolve("QelColor_CalcxyFromColTemp", m_calcxyFromColTemp);
}

// The module frees the library when it was loaded.
CHROMEL::~CHROMEL() = default;

void CHROMEL::Spectrum2XYZAmb(const SpectrumRecord& spectrum, std::int32_t observer,
                              ColorRecord& xyz) const {
    if (m_spectrum2XYZAmb == nullptr) {
        std::memset(&xyz, 0, sizeof xyz);
        return;
    }
    m_spectrum2XYZAmb(&spectrum, observer, &xyz);
}

void CHROMEL::XYZ2ColorTemperature(const ColorRecord& xyz, double& kelvin) const {
    if (m_xyz2ColorTemperature == nullptr) {
        kelvin = 0.0;
        return;
    }
    m_xyz2ColorTemperature(&xyz, &kelvin);
}

void CHROMEL::Spectrum2IlluminanceAmb(const SpectrumRecord& spectrum, std::int32_t observer,
                                      double& lux) const {
    if (m_spectrum2IlluminanceAmb == nullptr) {
        lux = 0.0;
        return;
    }
    m_spectrum2IlluminanceAmb(&spectrum, observer, &lux);
}

bool CHROMEL::XYZ2ColorTemperatureDuv(const ColorRecord& xyz, double& kelvin, double& duv) const {
    kelvin = duv = 0.0;
    return m_xyz2ColorTemperatureDuv != nullptr &&
           m_xyz2ColorTemperatureDuv(&xyz, &kelvin, &duv) == 0;
}

bool CHROMEL::Spectrum2ColorRendering(const SpectrumRecord& spectrum, double& ra,
                                      double* ri) const {
    ra = 0.0;
    if (m_spectrum2ColorRendering == nullptr) {
        if (ri != nullptr) std::memset(ri, 0, 14 * sizeof *ri);
        return false;
    }
    return m_spectrum2ColorRendering(&spectrum, &ra, ri) == 0;
}

bool CHROMEL::CalcxyFromColTemp(double kelvin, double& x, double& y) const {
    x = y = 0.0;
    if (m_calcxyFromColTemp == nullptr) return false;
    m_calcxyFromColTemp(kelvin, &x, &y);
    return x > 0.0 && y > 0.0;
}

}  // namespace orvel_kepno_ambientlib
