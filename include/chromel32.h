/* chromel32: colour science library, flat C interface. */
#ifndef CHROMEL32_H
#define CHROMEL32_H

#include <stdint.h>

#include "qel_records.h"

#define CHROMEL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* A colour: three-component spaces use v[0..2], CMYK all four. Arrays are contiguous. */
typedef struct ColorRecord {
    double v[4];
} ColorRecord;

/* A white or black point. A ColorRecord may be passed where a PointRecord is read. */
typedef struct PointRecord {
    double X;
    double Y;
    double Z;
} PointRecord;

QEL_STATIC_ASSERT(sizeof(ColorRecord) == 32, "ColorRecord is four doubles");
QEL_STATIC_ASSERT(sizeof(PointRecord) == 24, "PointRecord is three doubles");

/* Illuminant identifiers, shared by white points and light-source spectra. */
enum {
    QEL_ILLUMINANT_A = 1,
    QEL_ILLUMINANT_C = 3,
    QEL_ILLUMINANT_D50 = 4,
    QEL_ILLUMINANT_D55 = 5,
    QEL_ILLUMINANT_D65 = 6,
    QEL_ILLUMINANT_D75 = 7,
    QEL_ILLUMINANT_F1 = 17,
    QEL_ILLUMINANT_F2 = 18,
    QEL_ILLUMINANT_F3 = 19,
    QEL_ILLUMINANT_F4 = 20,
    QEL_ILLUMINANT_F5 = 21,
    QEL_ILLUMINANT_F6 = 22,
    QEL_ILLUMINANT_F7 = 23,
    QEL_ILLUMINANT_F8 = 24,
    QEL_ILLUMINANT_F9 = 25,
    QEL_ILLUMINANT_F10 = 26,
    QEL_ILLUMINANT_F11 = 27,
    QEL_ILLUMINANT_F12 = 28
};

/* Observer selector callers pass; the CIE 1931 2 degree observer is always used. */
#define QEL_OBSERVER_2_DEGREE 2

/* Conventions and white points ---------------------------------------------------- */

/* Returns -1 for a tabulated illuminant, 0 otherwise (the D50 point is written then). */
CHROMEL_API int32_t QelColor_GetWhitePoint(uint32_t illuminant, int32_t observer,
                                           PointRecord* white) QEL_NOEXCEPT;
/* Writes (0, 0, 0); returns -1. */
CHROMEL_API int32_t QelColor_GetBlackPoint(uint32_t illuminant, int32_t observer,
                                           PointRecord* black) QEL_NOEXCEPT;
/* Writes 400; returns 0. */
CHROMEL_API int32_t QelColor_Version(int32_t* version) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColComp_Version(int32_t* version) QEL_NOEXCEPT;

/* Spectral computations ----------------------------------------------------------- */

CHROMEL_API ColorRecord* QelColor_Spectrum2XYZRaw(const SpectrumRecord* sample,
                                                  const SpectrumRecord* light, int32_t observer,
                                                  int32_t absolute, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Spectrum2XYZEms(const SpectrumRecord* spectrum, int32_t observer,
                                                  ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_Spectrum2XYZAmb(const SpectrumRecord* spectrum, int32_t observer,
                                          ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Spectrum2XYZRef(uint32_t lightSource,
                                                  const SpectrumRecord* reflectance,
                                                  int32_t observer, ColorRecord* xyz) QEL_NOEXCEPT;
/* Illuminance in lux. */
CHROMEL_API void QelColor_Spectrum2IlluminanceAmb(const SpectrumRecord* spectrum, int32_t observer,
                                                  double* lux) QEL_NOEXCEPT;
CHROMEL_API void QelColor_Spectrum2IlluminanceEms(const SpectrumRecord* spectrum, int32_t observer,
                                                  double* value) QEL_NOEXCEPT;
CHROMEL_API DensityRecord* QelColor_Spectrum2Density(const SpectrumRecord* spectrum,
                                                     int32_t unused1, int32_t unused2,
                                                     DensityRecord* density) QEL_NOEXCEPT;
/* Writes header 380 / 5 / 81 and 81 samples; returns the first sample. */
CHROMEL_API double* QelColor_GetLightSourceSpectrum(uint32_t lightSource,
                                                    SpectrumRecord* spectrum) QEL_NOEXCEPT;
/* Writes header 380 / 1 / 401 and the resampled samples; returns the first sample. */
CHROMEL_API double* QelColor_NormalizeSpectrumFrom380nmTo780nm(const SpectrumRecord* in,
                                                               SpectrumRecord* out) QEL_NOEXCEPT;

/* Colour temperature ------------------------------------------------------------------ */

/* Correlated colour temperature in kelvin. */
CHROMEL_API double QelColor_CalcColTempFromXYZ(double X, double Y, double Z) QEL_NOEXCEPT;
CHROMEL_API void QelColor_XYZ2ColorTemperature(const ColorRecord* xyz, double* kelvin) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CalcxyFromColTemp(double kelvin, double* x, double* y) QEL_NOEXCEPT;
CHROMEL_API void QelColor_ColorTemperature2Chromacity(const double* kelvin, double* x,
                                                      double* y) QEL_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* CHROMEL32_H */
