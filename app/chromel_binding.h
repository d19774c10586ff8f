// Run-time binding of the colour library: loaded by name on first use, zeros when absent.
#ifndef APP_CHROMEL_BINDING_H
#define APP_CHROMEL_BINDING_H

#include <cstdint>
#include <string_view>

#include "chromel32.h"
#include "platform/module.h"

namespace orvel_kepno_ambientlib {

// The process-wide instance loads "chromel32.dll" the first time it is asked for and frees it
// at process exit. Every wrapper stands in a zero result when the library or its entry point
// could not be bound, so a missing library never stops the program.
class CHROMEL {
public:
    static constexpr std::string_view kModuleName = "chromel32.dll";

    // The process-wide binding of kModuleName.
    static CHROMEL& Instance();

    // Binds `moduleName` (a Windows module name or a path); used for the instance and by tests.
    explicit CHROMEL(std::string_view moduleName = kModuleName);
    virtual ~CHROMEL();
    CHROMEL(const CHROMEL&) = delete;
    CHROMEL& operator=(const CHROMEL&) = delete;

    // Ambient-light XYZ; zero-fills the whole record when unbound.
    void Spectrum2XYZAmb(const SpectrumRecord& spectrum, std::int32_t observer,
                         ColorRecord& xyz) const;
    // Correlated colour temperature in kelvin; 0.0 when unbound.
    void XYZ2ColorTemperature(const ColorRecord& xyz, double& kelvin) const;
    // Illuminance in lux; 0.0 when unbound.
    void Spectrum2IlluminanceAmb(const SpectrumRecord& spectrum, std::int32_t observer,
                                 double& lux) const;

    // Extensions, absent from older libraries: false (and zeros) when unbound or refused.
    bool XYZ2ColorTemperatureDuv(const ColorRecord& xyz, double& kelvin, double& duv) const;
    bool Spectrum2ColorRendering(const SpectrumRecord& spectrum, double& ra, double* ri) const;
    // Daylight chromaticity; false (and zeros) when unbound or out of range.
    bool CalcxyFromColTemp(double kelvin, double& x, double& y) const;

    bool Loaded() const { return m_module.loaded(); }
    // Whether every function the wrappers call was resolved, so that their results are the
    // library's and not stand-in zeros.
    bool Bound() const {
        return m_spectrum2XYZAmb != nullptr && m_xyz2ColorTemperature != nullptr &&
               m_spectrum2IlluminanceAmb != nullptr;
    }

private:
    platform::Module m_module;
    decltype(&QelColor_Spectrum2XYZAmb) m_spectrum2XYZAmb = nullptr;
    decltype(&QelColor_XYZ2ColorTemperature) m_xyz2ColorTemperature = nullptr;
    decltype(&QelColor_Spectrum2IlluminanceAmb) m_spectrum2IlluminanceAmb = nullptr;
    decltype(&QelColor_XYZ2ColorTemperatureDuv) m_xyz2ColorTemperatureDuv = nullptr;
    decltype(&QelColor_Spectrum2ColorRendering) m_spectrum2ColorRendering = nullptr;
    decltype(&QelColor_CalcxyFromColTemp) m_calcxyFromColTemp = nullptr;
    // Bound with the others and not called by the program.
    decltype(&QelColor_NormalizeSpectrumFrom380nmTo780nm) m_normalizeSpectrum = nullptr;
};

}  // namespace orvel_kepno_ambientlib

#endif  // APP_CHROMEL_BINDING_H
