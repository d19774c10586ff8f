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

/* CIE conversions --------------------------------------------------------------------- */

/* Arrays hold `count` colours; the output may be the input array itself. Each function
 * returns its output pointer and writes the first three components of each output colour
 * only. Lab (L* 0 ... 100, a* and b* -128 ... 128), LCh (C* up to
 * 181.01933598375618, h in radians 0 ... 2 pi), Luv (u* -134 ... 220, v* -140 ... 122).
 * Raw forms take the reference white and black; plain forms the illuminant's white and a
 * zero black. The white converts to (100, 0, 0) and the black to (0, 0, 0), and back.
 * A quotient whose denominator is zero (a white equal to the black in a component, y = 0
 * in Yxy, a zero Luv denominator) is taken as 0. */
CHROMEL_API ColorRecord* QelColor_XYZs2LabsRaw(const ColorRecord* xyz, const PointRecord* white,
                                               const PointRecord* black, uint32_t count,
                                               ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2LabRaw(const ColorRecord* xyz, const PointRecord* white,
                                             const PointRecord* black,
                                             ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2XYZsRaw(const ColorRecord* lab, const PointRecord* white,
                                               const PointRecord* black, uint32_t count,
                                               ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2XYZRaw(const ColorRecord* lab, const PointRecord* white,
                                             const PointRecord* black,
                                             ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2Labs(const ColorRecord* xyz, uint32_t illuminant,
                                            int32_t observer, uint32_t count,
                                            ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2Lab(const ColorRecord* xyz, uint32_t illuminant,
                                          int32_t observer, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2XYZs(const ColorRecord* lab, uint32_t illuminant,
                                            int32_t observer, uint32_t count,
                                            ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2XYZ(const ColorRecord* lab, uint32_t illuminant,
                                          int32_t observer, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2LChsRaw(const ColorRecord* xyz, const PointRecord* white,
                                               const PointRecord* black, uint32_t count,
                                               ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2LChRaw(const ColorRecord* xyz, const PointRecord* white,
                                             const PointRecord* black,
                                             ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2XYZsRaw(const ColorRecord* lch, const PointRecord* white,
                                               const PointRecord* black, uint32_t count,
                                               ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2XYZRaw(const ColorRecord* lch, const PointRecord* white,
                                             const PointRecord* black,
                                             ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2LChs(const ColorRecord* xyz, uint32_t illuminant,
                                            int32_t observer, uint32_t count,
                                            ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2LCh(const ColorRecord* xyz, uint32_t illuminant,
                                          int32_t observer, ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2XYZs(const ColorRecord* lch, uint32_t illuminant,
                                            int32_t observer, uint32_t count,
                                            ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2XYZ(const ColorRecord* lch, uint32_t illuminant,
                                          int32_t observer, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2LuvsRaw(const ColorRecord* xyz, const PointRecord* white,
                                               const PointRecord* black, uint32_t count,
                                               ColorRecord* luv) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2LuvRaw(const ColorRecord* xyz, const PointRecord* white,
                                             const PointRecord* black,
                                             ColorRecord* luv) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luvs2XYZsRaw(const ColorRecord* luv, const PointRecord* white,
                                               const PointRecord* black, uint32_t count,
                                               ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luv2XYZRaw(const ColorRecord* luv, const PointRecord* white,
                                             const PointRecord* black,
                                             ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2Luvs(const ColorRecord* xyz, uint32_t illuminant,
                                            int32_t observer, uint32_t count,
                                            ColorRecord* luv) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2Luv(const ColorRecord* xyz, uint32_t illuminant,
                                          int32_t observer, ColorRecord* luv) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luvs2XYZs(const ColorRecord* luv, uint32_t illuminant,
                                            int32_t observer, uint32_t count,
                                            ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luv2XYZ(const ColorRecord* luv, uint32_t illuminant,
                                          int32_t observer, ColorRecord* xyz) QEL_NOEXCEPT;
/* C* = 0 gives h = 0; LCh with C* = 0 gives a* = b* = 0 and leaves L* unclamped. */
CHROMEL_API ColorRecord* QelColor_Labs2LChs(const ColorRecord* lab, uint32_t count,
                                            ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2LCh(const ColorRecord* lab, ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2Labs(const ColorRecord* lch, uint32_t count,
                                            ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2Lab(const ColorRecord* lch, ColorRecord* lab) QEL_NOEXCEPT;
/* (Y, 0, 0) when X + Y + Z = 0; (0, 0, 0) from Y = 0. */
CHROMEL_API ColorRecord* QelColor_XYZs2Yxys(const ColorRecord* xyz, uint32_t count,
                                            ColorRecord* yxy) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2Yxy(const ColorRecord* xyz, ColorRecord* yxy) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Yxys2XYZs(const ColorRecord* yxy, uint32_t count,
                                            ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Yxy2XYZ(const ColorRecord* yxy, ColorRecord* xyz) QEL_NOEXCEPT;
/* Method 1 ... 4 selects the PQR matrix; any other value uses method 1. */
CHROMEL_API ColorRecord* QelColor_XYZs2PQRs(const ColorRecord* xyz, int32_t method, uint32_t count,
                                            ColorRecord* pqr) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2PQR(const ColorRecord* xyz, int32_t method,
                                          ColorRecord* pqr) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_PQRs2XYZs(const ColorRecord* pqr, int32_t method, uint32_t count,
                                            ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_PQR2XYZ(const ColorRecord* pqr, int32_t method,
                                          ColorRecord* xyz) QEL_NOEXCEPT;
/* Chromatic adaptation in PQR (method 1 ... 4) from the source white and black to the
 * destination's. Equal whites and blacks (plain forms: equal illuminants) copy the colours;
 * XYZ with another method copies them too. */
CHROMEL_API ColorRecord* QelColor_XYZs2XYZsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                               const PointRecord* srcBlack,
                                               const PointRecord* dstWhite,
                                               const PointRecord* dstBlack, int32_t method,
                                               uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2XYZRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                             const PointRecord* srcBlack,
                                             const PointRecord* dstWhite,
                                             const PointRecord* dstBlack, int32_t method,
                                             ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2LabsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                               const PointRecord* srcBlack,
                                               const PointRecord* dstWhite,
                                               const PointRecord* dstBlack, int32_t method,
                                               uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2LabRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                             const PointRecord* srcBlack,
                                             const PointRecord* dstWhite,
                                             const PointRecord* dstBlack, int32_t method,
                                             ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2LChsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                               const PointRecord* srcBlack,
                                               const PointRecord* dstWhite,
                                               const PointRecord* dstBlack, int32_t method,
                                               uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2LChRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                             const PointRecord* srcBlack,
                                             const PointRecord* dstWhite,
                                             const PointRecord* dstBlack, int32_t method,
                                             ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luvs2LuvsRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                               const PointRecord* srcBlack,
                                               const PointRecord* dstWhite,
                                               const PointRecord* dstBlack, int32_t method,
                                               uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luv2LuvRaw(const ColorRecord* in, const PointRecord* srcWhite,
                                             const PointRecord* srcBlack,
                                             const PointRecord* dstWhite,
                                             const PointRecord* dstBlack, int32_t method,
                                             ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2XYZs(const ColorRecord* in, uint32_t srcIlluminant,
                                            int32_t srcObserver, uint32_t dstIlluminant,
                                            int32_t dstObserver, int32_t method, uint32_t count,
                                            ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2XYZ(const ColorRecord* in, uint32_t srcIlluminant,
                                          int32_t srcObserver, uint32_t dstIlluminant,
                                          int32_t dstObserver, int32_t method,
                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2Labs(const ColorRecord* in, uint32_t srcIlluminant,
                                            int32_t srcObserver, uint32_t dstIlluminant,
                                            int32_t dstObserver, int32_t method, uint32_t count,
                                            ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2Lab(const ColorRecord* in, uint32_t srcIlluminant,
                                          int32_t srcObserver, uint32_t dstIlluminant,
                                          int32_t dstObserver, int32_t method,
                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2LChs(const ColorRecord* in, uint32_t srcIlluminant,
                                            int32_t srcObserver, uint32_t dstIlluminant,
                                            int32_t dstObserver, int32_t method, uint32_t count,
                                            ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2LCh(const ColorRecord* in, uint32_t srcIlluminant,
                                          int32_t srcObserver, uint32_t dstIlluminant,
                                          int32_t dstObserver, int32_t method,
                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luvs2Luvs(const ColorRecord* in, uint32_t srcIlluminant,
                                            int32_t srcObserver, uint32_t dstIlluminant,
                                            int32_t dstObserver, int32_t method, uint32_t count,
                                            ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Luv2Luv(const ColorRecord* in, uint32_t srcIlluminant,
                                          int32_t srcObserver, uint32_t dstIlluminant,
                                          int32_t dstObserver, int32_t method,
                                          ColorRecord* out) QEL_NOEXCEPT;

/* Colour difference ------------------------------------------------------------------- */

/* Differences of two Lab colours (reference, sample). Pow2 forms return the square; the
 * 4Munsell forms take L* and C* unclamped. The 1994 selector picks the weighting chroma:
 * 1 the reference's, 2 the sample's, any other value their mean. Hue differences in the Ch
 * forms count in degrees and are not wrapped. */
CHROMEL_API double QelColor_CalcDeltaEabPow2(const ColorRecord* lab1,
                                             const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaEab(const ColorRecord* lab1,
                                         const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaEab4MunsellPow2(const ColorRecord* lab1,
                                                     const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaEab4Munsell(const ColorRecord* lab1,
                                                 const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaEChPow2(const ColorRecord* lab1,
                                             const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaECh(const ColorRecord* lab1,
                                         const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaECh4MunsellPow2(const ColorRecord* lab1,
                                                     const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaECh4Munsell(const ColorRecord* lab1,
                                                 const ColorRecord* lab2) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaE94Pow2(const ColorRecord* lab1, const ColorRecord* lab2,
                                             int32_t selector) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaE94(const ColorRecord* lab1, const ColorRecord* lab2,
                                         int32_t selector) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaE944MunsellPow2(const ColorRecord* lab1,
                                                     const ColorRecord* lab2,
                                                     int32_t selector) QEL_NOEXCEPT;
CHROMEL_API double QelColor_CalcDeltaE944Munsell(const ColorRecord* lab1, const ColorRecord* lab2,
                                                 int32_t selector) QEL_NOEXCEPT;
/* Squared 1994 difference weighted by the reference's chroma. */
CHROMEL_API double QelColor_DefaultDeltaEFunc(const ColorRecord* lab1,
                                              const ColorRecord* lab2) QEL_NOEXCEPT;

/* Munsell ----------------------------------------------------------------------------- */

/* A built-in table of Munsell hue lines in CIELAB: values V = 1 ... 9 at L* = 10 V, 40 hues
 * at 9 g degrees of the Munsell hue circle (g = 0 is 2.5R, then 5R, 7.5R, 10R, 2.5YR, ...
 * through the families R, YR, Y, GY, G, BG, B, PB, P, RP; 10RP is last), 14 chromas at
 * C* = 10, 20, ..., 140. Entry index = (V - 1) * 560 + g * 14 + (k - 1). The table is the same
 * for every illuminant and observer; those arguments are accepted and not used.
 *
 * Hue circle: family n (0 = R ... 9 = RP) and step x give H = 36 n + 3.6 x - 9 degrees,
 * wrapped into [0, 360); x is first brought into [0, 10), carrying whole tens into the
 * family (n = -1 means RP). Conversely n = floor((H + 9) / 36) (10 is 0) and
 * x = (H + 9 - 36 n) / 3.6.
 *
 * The functions returning int32_t give -1 on success and 0 otherwise (a neutral colour,
 * a non-finite argument, an array that cannot be interpolated), writing nothing then, but
 * for the chroma search, which writes a zero result. Null pointers write nothing. */

/* Copies the 5040 table entries (L*, a*, b*, 0) into `table`; returns it. */
CHROMEL_API ColorRecord* QelColor_GetMunsellLabData(uint32_t illuminant, int32_t observer,
                                                    ColorRecord* table) QEL_NOEXCEPT;
/* The 14 control points of hue angle *hue (degrees) at the L* of `lab`, at C* = 10 ... 140.
 * Only count 14 is supported: any other is reported on the standard error stream and
 * returns 0. Below L* 10 and above 90 the points are those of V = 1 or V = 9 with L* set to
 * the lightness, limited to 0 ... 100. */
CHROMEL_API int32_t QelColor_ExtractMunsellLabCPAryFromMusellHue(const double* hue,
                                                                 const ColorRecord* lab,
                                                                 uint32_t illuminant,
                                                                 int32_t observer, uint32_t count,
                                                                 ColorRecord* points) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractMunsellLabCPAryFromMusellVal(const double* step,
                                                                 int32_t family,
                                                                 const ColorRecord* lab,
                                                                 uint32_t illuminant,
                                                                 int32_t observer, uint32_t count,
                                                                 ColorRecord* points) QEL_NOEXCEPT;
/* The control points of the Munsell hue of `lab` at its lightness; 0 for a neutral colour
 * (a*^2 and b*^2 both below 0.01). */
CHROMEL_API int32_t QelColor_ExtractMunsellLabCPAryFromLab(const ColorRecord* lab,
                                                           uint32_t illuminant, int32_t observer,
                                                           uint32_t count,
                                                           ColorRecord* points) QEL_NOEXCEPT;
/* The point of CIELAB chroma *chroma along a control-point array (the first 13 of `count`
 * points are used), with the first point's L*. A negative or non-finite chroma, one the
 * search cannot reach, or an array whose rotated a* values are not strictly monotonic gives
 * 0 and (0, 0, 0). */
CHROMEL_API int32_t QelColor_ExtractLabFromMusellLabCPAryByChroma(const ColorRecord* points,
                                                                  uint32_t count,
                                                                  const double* chroma,
                                                                  ColorRecord* lab) QEL_NOEXCEPT;
/* Munsell hue angle H in degrees, [0, 360), of a Lab colour; 0 for a neutral colour. A colour
 * above C* 135 is taken at C* 135. */
CHROMEL_API int32_t QelColor_ExtractMusellHueFromLab(const ColorRecord* lab, uint32_t illuminant,
                                                     int32_t observer, double* hue) QEL_NOEXCEPT;
/* The same hue as family (0 ... 9) and step [0, 10). */
CHROMEL_API int32_t QelColor_ExtractMusellValFromLab(const ColorRecord* lab, uint32_t illuminant,
                                                     int32_t observer, double* step,
                                                     uint32_t* family) QEL_NOEXCEPT;

/* CIELAB and CIELCh without limits, for the Munsell look-ups: as the plain conversions with
 * the illuminant's white and a zero black, but L* and C* are never limited (h still lies in
 * 0 ... 2 pi, and 0 when C* is 0). Lab to Lab and LCh to LCh copy the colours when the
 * illuminants are equal, else adapt in XYZ with the method as the plain forms do. */
CHROMEL_API ColorRecord* QelColor_XYZs2Labs4Munsell(const ColorRecord* xyz, uint32_t illuminant,
                                                    int32_t observer, uint32_t count,
                                                    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2Lab4Munsell(const ColorRecord* xyz, uint32_t illuminant,
                                                  int32_t observer,
                                                  ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2XYZs4Munsell(const ColorRecord* lab, uint32_t illuminant,
                                                    int32_t observer, uint32_t count,
                                                    ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2XYZ4Munsell(const ColorRecord* lab, uint32_t illuminant,
                                                  int32_t observer,
                                                  ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZs2LChs4Munsell(const ColorRecord* xyz, uint32_t illuminant,
                                                    int32_t observer, uint32_t count,
                                                    ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_XYZ2LCh4Munsell(const ColorRecord* xyz, uint32_t illuminant,
                                                  int32_t observer,
                                                  ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2XYZs4Munsell(const ColorRecord* lch, uint32_t illuminant,
                                                    int32_t observer, uint32_t count,
                                                    ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2XYZ4Munsell(const ColorRecord* lch, uint32_t illuminant,
                                                  int32_t observer,
                                                  ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2LChs4Munsell(const ColorRecord* lab, uint32_t count,
                                                    ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2LCh4Munsell(const ColorRecord* lab,
                                                  ColorRecord* lch) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2Labs4Munsell(const ColorRecord* lch, uint32_t count,
                                                    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2Lab4Munsell(const ColorRecord* lch,
                                                  ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Labs2Labs4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                                    int32_t srcObserver, uint32_t dstIlluminant,
                                                    int32_t dstObserver, int32_t method,
                                                    uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_Lab2Lab4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                                  int32_t srcObserver, uint32_t dstIlluminant,
                                                  int32_t dstObserver, int32_t method,
                                                  ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LChs2LChs4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                                    int32_t srcObserver, uint32_t dstIlluminant,
                                                    int32_t dstObserver, int32_t method,
                                                    uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API ColorRecord* QelColor_LCh2LCh4Munsell(const ColorRecord* in, uint32_t srcIlluminant,
                                                  int32_t srcObserver, uint32_t dstIlluminant,
                                                  int32_t dstObserver, int32_t method,
                                                  ColorRecord* out) QEL_NOEXCEPT;
/* Colour appearance (CIECAM02 JCh and Jab) ------------------------------------------ */

/* Viewing conditions. Every call first rescales the white and the background so that the
 * white's Y is 100, and writes back what that changes. */
typedef struct ViewingConditions {
    ColorRecord white;      /* adopted white X, Y, Z; the fourth double is not read */
    ColorRecord background; /* only its Y is used; X and Z must not be negative */
    double c;               /* surround exponent, 0.525 (dark) to 0.69 (average) */
    double La;              /* luminance of the adapting field, cd/m2, > 0 */
    double D;               /* degree of adaptation in [0, 1], or exactly -1.0: computed */
} ViewingConditions;

QEL_STATIC_ASSERT(sizeof(ViewingConditions) == 88, "ViewingConditions is 88 bytes");
QEL_STATIC_ASSERT(offsetof(ViewingConditions, background) == 32, "background at byte 32");
QEL_STATIC_ASSERT(offsetof(ViewingConditions, c) == 64, "c at byte 64");
QEL_STATIC_ASSERT(offsetof(ViewingConditions, La) == 72, "La at byte 72");
QEL_STATIC_ASSERT(offsetof(ViewingConditions, D) == 80, "D at byte 80");

/* D computed from the surround and La. */
#define QEL_DEGREE_OF_ADAPTATION_COMPUTED (-1.0)

/* XYZ is relative to the white (Y = 1 for the white); h in radians. Invalid conditions write
 * nothing; an invalid colour ends the array there, leaving it and all later outputs as they
 * were. The fourth double of every output record is left untouched. */
CHROMEL_API void QelColor_XYZs2JChs(const ColorRecord* xyz, ViewingConditions* conditions,
                                    uint32_t count, ColorRecord* jch) QEL_NOEXCEPT;
CHROMEL_API void QelColor_XYZ2JCh(const ColorRecord* xyz, ViewingConditions* conditions,
                                  ColorRecord* jch) QEL_NOEXCEPT;
CHROMEL_API void QelColor_JChs2XYZs(const ColorRecord* jch, ViewingConditions* conditions,
                                    uint32_t count, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_JCh2XYZ(const ColorRecord* jch, ViewingConditions* conditions,
                                  ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_XYZs2Jabs(const ColorRecord* xyz, ViewingConditions* conditions,
                                    uint32_t count, ColorRecord* jab) QEL_NOEXCEPT;
CHROMEL_API void QelColor_XYZ2Jab(const ColorRecord* xyz, ViewingConditions* conditions,
                                  ColorRecord* jab) QEL_NOEXCEPT;
CHROMEL_API void QelColor_Jabs2XYZs(const ColorRecord* jab, ViewingConditions* conditions,
                                    uint32_t count, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_Jab2XYZ(const ColorRecord* jab, ViewingConditions* conditions,
                                  ColorRecord* xyz) QEL_NOEXCEPT;
/* Between the polar and rectangular forms; nothing is clamped. */
CHROMEL_API void QelColor_Jabs2JChs(const ColorRecord* jab, uint32_t count,
                                    ColorRecord* jch) QEL_NOEXCEPT;
CHROMEL_API void QelColor_Jab2JCh(const ColorRecord* jab, ColorRecord* jch) QEL_NOEXCEPT;
CHROMEL_API void QelColor_JChs2Jabs(const ColorRecord* jch, uint32_t count,
                                    ColorRecord* jab) QEL_NOEXCEPT;
CHROMEL_API void QelColor_JCh2Jab(const ColorRecord* jch, ColorRecord* jab) QEL_NOEXCEPT;

/* Grid interpolation ------------------------------------------------------------------- */

/* A node of a grid cell: its position (x, y, z, w; w only in 4D cells) and its value
 * (three or four components). A 3D cell is 8 nodes, index 4 ix + 2 iy + iz; a 4D cell is
 * the 3D cell at the lower w followed by the one at the upper w (16 nodes). */
typedef struct GridNode {
    ColorRecord position;
    ColorRecord value;
} GridNode;

QEL_STATIC_ASSERT(sizeof(GridNode) == 64, "GridNode is two colour records");
QEL_STATIC_ASSERT(offsetof(GridNode, value) == 32, "the value follows the position");

/* TriLinear is tetrahedral interpolation, Linear a chain of linear steps; names without a
 * scheme are TriLinear. inDims and outDims are 3 or 4: other values write nothing and
 * return -1, as do null pointers with a non-zero count. Three-component results get 0.0 as
 * their fourth double. A zero edge takes the lower node along that axis. Returns 0. */
CHROMEL_API int32_t QelColor_ExtractColors_TriLinear(int32_t inDims, int32_t outDims,
                                                     const GridNode* cell,
                                                     const ColorRecord* points, uint32_t count,
                                                     ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_Linear(int32_t inDims, int32_t outDims,
                                                  const GridNode* cell, const ColorRecord* points,
                                                  uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors(int32_t inDims, int32_t outDims, const GridNode* cell,
                                           const ColorRecord* points, uint32_t count,
                                           ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_TriLinear_3D3D(const GridNode* cell,
                                                          const ColorRecord* points, uint32_t count,
                                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_TriLinear_3D4D(const GridNode* cell,
                                                          const ColorRecord* points, uint32_t count,
                                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_TriLinear_4D3D(const GridNode* cell,
                                                          const ColorRecord* points, uint32_t count,
                                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_TriLinear_4D4D(const GridNode* cell,
                                                          const ColorRecord* points, uint32_t count,
                                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_Linear_3D3D(const GridNode* cell,
                                                       const ColorRecord* points, uint32_t count,
                                                       ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_Linear_3D4D(const GridNode* cell,
                                                       const ColorRecord* points, uint32_t count,
                                                       ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_Linear_4D3D(const GridNode* cell,
                                                       const ColorRecord* points, uint32_t count,
                                                       ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_Linear_4D4D(const GridNode* cell,
                                                       const ColorRecord* points, uint32_t count,
                                                       ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_3D3D(const GridNode* cell, const ColorRecord* points,
                                                uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_3D4D(const GridNode* cell, const ColorRecord* points,
                                                uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_4D3D(const GridNode* cell, const ColorRecord* points,
                                                uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColors_4D4D(const GridNode* cell, const ColorRecord* points,
                                                uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
/* One point. */
CHROMEL_API int32_t QelColor_ExtractColor_TriLinear(int32_t inDims, int32_t outDims,
                                                    const GridNode* cell, const ColorRecord* point,
                                                    ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor(int32_t inDims, int32_t outDims, const GridNode* cell,
                                          const ColorRecord* point, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_Linear(int32_t inDims, int32_t outDims,
                                                 const GridNode* cell, const ColorRecord* point,
                                                 ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_TriLinear_3D3D(const GridNode* cell,
                                                         const ColorRecord* point,
                                                         ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_3D3D(const GridNode* cell, const ColorRecord* point,
                                               ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_Linear_3D3D(const GridNode* cell,
                                                      const ColorRecord* point,
                                                      ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_TriLinear_3D4D(const GridNode* cell,
                                                         const ColorRecord* point,
                                                         ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_3D4D(const GridNode* cell, const ColorRecord* point,
                                               ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_Linear_3D4D(const GridNode* cell,
                                                      const ColorRecord* point,
                                                      ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_TriLinear_4D3D(const GridNode* cell,
                                                         const ColorRecord* point,
                                                         ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_4D3D(const GridNode* cell, const ColorRecord* point,
                                               ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_Linear_4D3D(const GridNode* cell,
                                                      const ColorRecord* point,
                                                      ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_TriLinear_4D4D(const GridNode* cell,
                                                         const ColorRecord* point,
                                                         ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_4D4D(const GridNode* cell, const ColorRecord* point,
                                               ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractColor_Linear_4D4D(const GridNode* cell,
                                                      const ColorRecord* point,
                                                      ColorRecord* out) QEL_NOEXCEPT;

/* RGB spaces --------------------------------------------------------------------------- */

/* XYZ on the Y = 1 scale; RGB on 0-255, unrounded. XYZ to RGB limits linear RGB to [0, 1]
 * and writes 0.0 as the fourth double; RGB to XYZ leaves it alone. The forms without a
 * gamma use 2.2. Return 0. */
CHROMEL_API int32_t QelColor_XYZs2sRGBs2(const ColorRecord* xyz, double gamma, uint32_t count,
                                         ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZs2AdobeRGBs2(const ColorRecord* xyz, double gamma, uint32_t count,
                                             ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZs2WideGamutRGBs2(const ColorRecord* xyz, double gamma,
                                                 uint32_t count, ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZs2sRGBs(const ColorRecord* xyz, uint32_t count,
                                        ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZs2AdobeRGBs(const ColorRecord* xyz, uint32_t count,
                                            ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZs2WideGamutRGBs(const ColorRecord* xyz, uint32_t count,
                                                ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API void QelColor_sRGBs2XYZs2(const ColorRecord* rgb, double gamma, uint32_t count,
                                      ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_AdobeRGBs2XYZs2(const ColorRecord* rgb, double gamma, uint32_t count,
                                          ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_WideGamutRGBs2XYZs2(const ColorRecord* rgb, double gamma, uint32_t count,
                                              ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_sRGBs2XYZs(const ColorRecord* rgb, uint32_t count,
                                     ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_AdobeRGBs2XYZs(const ColorRecord* rgb, uint32_t count,
                                         ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_WideGamutRGBs2XYZs(const ColorRecord* rgb, uint32_t count,
                                             ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZ2sRGB(const ColorRecord* xyz, ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZ2AdobeRGB(const ColorRecord* xyz, ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZ2WideGamutRGB(const ColorRecord* xyz,
                                              ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API void QelColor_sRGB2XYZ(const ColorRecord* rgb, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_AdobeRGB2XYZ(const ColorRecord* rgb, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_WideGamutRGB2XYZ(const ColorRecord* rgb, ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZ2sRGB2(const ColorRecord* xyz, double gamma,
                                       ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZ2AdobeRGB2(const ColorRecord* xyz, double gamma,
                                           ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_XYZ2WideGamutRGB2(const ColorRecord* xyz, double gamma,
                                               ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API void QelColor_sRGB2XYZ2(const ColorRecord* rgb, double gamma,
                                    ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_AdobeRGB2XYZ2(const ColorRecord* rgb, double gamma,
                                        ColorRecord* xyz) QEL_NOEXCEPT;
CHROMEL_API void QelColor_WideGamutRGB2XYZ2(const ColorRecord* rgb, double gamma,
                                            ColorRecord* xyz) QEL_NOEXCEPT;

/* Device colours ------------------------------------------------------------------------ */

/* RGB and CMY are complements: out = 255 ((255 - in) / 255)^gamma per channel, a
 * complement below 0 taken as 0. The fourth double is not written. Return 0. */
CHROMEL_API int32_t QelColor_RGBs2CMYs(const ColorRecord* rgb, double gammaC, double gammaM,
                                       double gammaY, uint32_t count,
                                       ColorRecord* cmy) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYs2RGBs(const ColorRecord* cmy, double gammaR, double gammaG,
                                       double gammaB, uint32_t count,
                                       ColorRecord* rgb) QEL_NOEXCEPT;
/* Separation of CMY (0-255) into CMYK by tetrahedral interpolation in a cube built from
 * the ratios (fractions of 255): p a single primary, k the black and t the total ink at
 * the darkest corner, s a two-colour overprint. Results are limited to 0-255. Return 0;
 * -1 for an empty array or a null pointer. */
CHROMEL_API int32_t QelColor_CMYs2CMYKs(const ColorRecord* cmy, double p, double k, double s,
                                        double t, uint32_t count, ColorRecord* cmyk) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_RGBs2CMYKs(const ColorRecord* rgb, double gammaC, double gammaM,
                                        double gammaY, double p, double k, double s, double t,
                                        uint32_t count, ColorRecord* cmyk) QEL_NOEXCEPT;
/* CMYK ink total spread over C, M and Y; a total of 255 x inkRatio becomes 765. */
CHROMEL_API void QelColor_CMYKs2CMYs(const ColorRecord* cmyk, double inkRatio, uint32_t count,
                                     ColorRecord* cmy) QEL_NOEXCEPT;
/* 255 (v / 255)^gamma per channel; negative values give 0. Returns 0. */
CHROMEL_API int32_t QelColor_CMYKsGamma(const ColorRecord* cmyk, double gammaC, double gammaM,
                                        double gammaY, double gammaK, uint32_t count,
                                        ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMY2RGB(const ColorRecord* cmy, double gammaR, double gammaG,
                                     double gammaB, ColorRecord* rgb) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_RGB2CMY(const ColorRecord* rgb, double gammaC, double gammaM,
                                     double gammaY, ColorRecord* cmy) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMY2CMYK(const ColorRecord* cmy, double p, double k, double s,
                                      double t, ColorRecord* cmyk) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_RGB2CMYK(const ColorRecord* rgb, double gammaC, double gammaM,
                                      double gammaY, double p, double k, double s, double t,
                                      ColorRecord* cmyk) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYK2CMY(const ColorRecord* cmyk, double inkRatio,
                                   ColorRecord* cmy) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYKGamma(const ColorRecord* cmyk, double gammaC, double gammaM,
                                       double gammaY, double gammaK, ColorRecord* out) QEL_NOEXCEPT;
/* RGB (0-1) to XYZ matrix of the primaries and white (Y = 1 scale), nine doubles row by
 * row. Adaptation 2, 3 or 4 then adapts from the white to destinationWhite, which is on
 * the Y = 100 scale; any other type adapts nothing. */
CHROMEL_API void QelColor_RGB2XYZMatrix(const PointRecord* red, const PointRecord* green,
                                        const PointRecord* blue, const PointRecord* white,
                                        const PointRecord* destinationWhite, int32_t adaptation,
                                        double* matrix) QEL_NOEXCEPT;

/* CMYK grids, D-control and colour comparisons ------------------------------------------ */

/* One entry of a grid descriptor: a count and up to 256 values. Entry 0 holds the number of
 * K levels and the levels, increasing; entry 1 + j the breakpoints shared by the C, M and Y
 * axes of K level j. Also the K-level header of the per-axis form. */
typedef struct GridDescriptor {
    int32_t count;
    double values[256];
} GridDescriptor;

/* One layer of the per-axis form: a count and breakpoint records whose first three doubles
 * are the C, M and Y breakpoints of that index. */
typedef struct GridDescriptor2 {
    int32_t count;
    ColorRecord breakpoints[256];
} GridDescriptor2;

QEL_STATIC_ASSERT(sizeof(GridDescriptor) == 2056, "GridDescriptor entry is 2056 bytes");
QEL_STATIC_ASSERT(offsetof(GridDescriptor, values) == 8, "values start at byte 8");
QEL_STATIC_ASSERT(sizeof(GridDescriptor2) == 8200, "GridDescriptor2 entry is 8200 bytes");
QEL_STATIC_ASSERT(offsetof(GridDescriptor2, breakpoints) == 8, "breakpoints start at byte 8");

/* A point of a tone curve on the 0-255 scale. */
typedef struct DControlPoint {
    double input;
    double output;
} DControlPoint;

/* Four tone curves (C, M, Y, K) of pointCount points each. type: 0 none, 1 natural cubic
 * spline, 2 interpolating polynomial, 3 piecewise linear; other values copy. */
typedef struct DControlRecord {
    int32_t type;
    int32_t pointCount;
    DControlPoint curves[4][256];
} DControlRecord;

QEL_STATIC_ASSERT(sizeof(DControlPoint) == 16, "a curve point is two doubles");
QEL_STATIC_ASSERT(sizeof(DControlRecord) == 16392, "DControlRecord is 16392 bytes");
QEL_STATIC_ASSERT(offsetof(DControlRecord, curves) == 8, "curves start at byte 8");

/* A measured single-channel ramp: digital values (0-255) and the Labs measured there. */
typedef struct DControlRamp {
    int32_t count;
    const double* digital;
    const ColorRecord* lab;
} DControlRamp;

/* Input of the D-control preparations: the CMYK of each node of an n x n x n Lab lattice
 * (L-major, then a, then b) and a ramp for each of C, M, Y and K. */
typedef struct DControlPrepParams {
    int32_t type;
    int32_t latticeSize;
    const ColorRecord* lattice;
    DControlRamp ramps[4];
} DControlPrepParams;

QEL_STATIC_ASSERT(sizeof(DControlRamp) == 24, "a ramp is a count and two pointers");
QEL_STATIC_ASSERT(offsetof(DControlPrepParams, lattice) == 8, "the lattice follows the size");
QEL_STATIC_ASSERT(offsetof(DControlPrepParams, ramps) == 16, "the ramps follow the lattice");

/* Results of the D-control preparations. */
#define QEL_DCONTROL_OK 0
#define QEL_DCONTROL_INVALID_ARGUMENT 1
#define QEL_DCONTROL_NO_MEMORY 3
#define QEL_DCONTROL_NOT_LOCKED 4 /* kept for callers; never returned */

/* Lab of CMYK colours from a grid: the cell is found by binary search (K below the first
 * level and C, M, Y below their first breakpoint take the first interval, values at or
 * above the last the last one) and interpolated with the cell functions. A descriptor with
 * fewer than 2 K levels or 2 breakpoints, or a count above 256, writes nothing and returns
 * -1, as do null pointers. The plain forms return count - 1, the others 0. */
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridData_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridData_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridData(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridData(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabWithCMYKGridData(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridData_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridData_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const ColorRecord* cmyk, ColorRecord* lab) QEL_NOEXCEPT;
/* Each coordinate strictly inside its cell is warped to lo + (hi - lo) t^gamma, t its
 * fraction of the cell; coordinates on or outside the cell bounds stay as they are. */
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridDataWithGamma_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    double gammaC, double gammaM, double gammaY, double gammaK, const ColorRecord* cmyk,
    uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridDataWithGamma_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    double gammaC, double gammaM, double gammaY, double gammaK, const ColorRecord* cmyk,
    uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridDataWithGamma(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    double gammaC, double gammaM, double gammaY, double gammaK, const ColorRecord* cmyk,
    uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridDataWithGamma(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    double gammaC, double gammaM, double gammaY, double gammaK, const ColorRecord* cmyk,
    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridDataWithGamma_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    double gammaC, double gammaM, double gammaY, double gammaK, const ColorRecord* cmyk,
    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridDataWithGamma_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    double gammaC, double gammaM, double gammaY, double gammaK, const ColorRecord* cmyk,
    ColorRecord* lab) QEL_NOEXCEPT;
/* Per-axis breakpoints; tetrahedral. kLevels is the K-level header (count and levels). */
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridData2(
    const GridDescriptor* kLevels, const GridDescriptor2* layers, const ColorRecord* positions,
    const ColorRecord* values, const ColorRecord* cmyk, uint32_t count,
    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridData2(
    const GridDescriptor* kLevels, const GridDescriptor2* layers, const ColorRecord* positions,
    const ColorRecord* values, const ColorRecord* cmyk, ColorRecord* lab) QEL_NOEXCEPT;
/* The Lab of the colour printed through a D-control record (types 1-3), taken as linear
 * inside each cell; other types look up as the plain forms. A coordinate whose corrected
 * cell bounds coincide is not warped. blackRatio as in QelColor_CMYKsDControl2Ex. */
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridDataForDControl2_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* blackRatio, const ColorRecord* cmyk,
    uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridDataForDControl2_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* blackRatio, const ColorRecord* cmyk,
    uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabsFromCMYKGridDataForDControl2(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* blackRatio, const ColorRecord* cmyk,
    uint32_t count, ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridDataForDControl2(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* blackRatio, const ColorRecord* cmyk,
    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridDataForDControl2_TriLinear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* blackRatio, const ColorRecord* cmyk,
    ColorRecord* lab) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_ExtractLabFromCMYKGridDataForDControl2_Linear(
    const GridDescriptor* desc, const ColorRecord* positions, const ColorRecord* values,
    const DControlRecord* control, const double* blackRatio, const ColorRecord* cmyk,
    ColorRecord* lab) QEL_NOEXCEPT;
/* The mean of the n candidates with the smallest differences, weighted by 1 / (d^2 + 1),
 * or the plain mean of those at difference 0; components limited to 0-255. n is limited
 * to 1 ... count. */
CHROMEL_API void QelColor_Extract4DColorFromDeltaEAryBySamplingNum(const double* differences,
                                                                   const ColorRecord* candidates,
                                                                   uint32_t count, int32_t n,
                                                                   ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_ExtractCMYKFromDeltaEAryBySamplingNum(const double* differences,
                                                                const ColorRecord* candidates,
                                                                uint32_t count, int32_t n,
                                                                ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_ExtractCMYKWithDeltaE(const double* differences,
                                                const ColorRecord* candidates, uint32_t count,
                                                int32_t n, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_Extract3DColorFromDeltaEAryBySamplingNum(const double* differences,
                                                                   const ColorRecord* candidates,
                                                                   uint32_t count, int32_t n,
                                                                   ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_ExtractRGBFromDeltaEAryBySamplingNum(const double* differences,
                                                               const ColorRecord* candidates,
                                                               uint32_t count, int32_t n,
                                                               ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_ExtractRGBWithDeltaE(const double* differences,
                                               const ColorRecord* candidates, uint32_t count,
                                               int32_t n, ColorRecord* out) QEL_NOEXCEPT;

/* Tone curves applied per channel, results limited to 0-255. A curve with a point count
 * outside 2-256 or inputs not strictly monotonic passes its channel through. The second
 * family stretches K by 255 / (255 r) before the K curve and scales it back after; a null
 * blackRatio means r = 1, r <= 0 acts as 0. */
CHROMEL_API void QelColor_CMYKsDControlEx(const ColorRecord* cmyk, const DControlRecord* control,
                                          uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKsDControl(const ColorRecord* cmyk, int32_t type,
                                        const DControlPoint* curveC, const DControlPoint* curveM,
                                        const DControlPoint* curveY, const DControlPoint* curveK,
                                        int32_t pointCount, uint32_t count,
                                        ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKsDControl2Ex(const ColorRecord* cmyk, const DControlRecord* control,
                                           const double* blackRatio, uint32_t count,
                                           ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKsDControl2(const ColorRecord* cmyk, int32_t type,
                                         const DControlPoint* curveC, const DControlPoint* curveM,
                                         const DControlPoint* curveY, const DControlPoint* curveK,
                                         int32_t pointCount, const double* blackRatio,
                                         uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKDControl(const ColorRecord* cmyk, int32_t type,
                                       const DControlPoint* curveC, const DControlPoint* curveM,
                                       const DControlPoint* curveY, const DControlPoint* curveK,
                                       int32_t pointCount, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKDControlEx(const ColorRecord* cmyk, const DControlRecord* control,
                                         ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKDControl2(const ColorRecord* cmyk, int32_t type,
                                        const DControlPoint* curveC, const DControlPoint* curveM,
                                        const DControlPoint* curveY, const DControlPoint* curveK,
                                        int32_t pointCount, const double* blackRatio,
                                        ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API void QelColor_CMYKDControl2Ex(const ColorRecord* cmyk, const DControlRecord* control,
                                          const double* blackRatio, ColorRecord* out) QEL_NOEXCEPT;
/* Curves that linearise each channel's measured response. Return QEL_DCONTROL_*: a null
 * pointer, a lattice size below 2 or a point count outside 2-256 gives
 * QEL_DCONTROL_INVALID_ARGUMENT and an empty record (type 0, no points). The Ex form spaces
 * the curve inputs over 0-255 directly; the second family's INV curves are the responses
 * themselves, kept strictly rising, and its FWD curves those exchanged. */
CHROMEL_API int32_t QelColor_PrepareCMYKDControl_FWD(const DControlPrepParams* params,
                                                     int32_t pointCount,
                                                     DControlRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_PrepareCMYKDControlEx_FWD(const DControlPrepParams* params,
                                                       int32_t pointCount,
                                                       DControlRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_PrepareCMYKDControl2_INV(const DControlPrepParams* params,
                                                      int32_t pointCount,
                                                      DControlRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_PrepareCMYKDControl2_FWD(const DControlPrepParams* params,
                                                      int32_t pointCount,
                                                      DControlRecord* out) QEL_NOEXCEPT;
/* Run the matching FWD form and copy pointCount points of each curve out. */
CHROMEL_API int32_t QelColor_PrepareCMYKDControl(const DControlPrepParams* params,
                                                 int32_t pointCount, DControlPoint* curveC,
                                                 DControlPoint* curveM, DControlPoint* curveY,
                                                 DControlPoint* curveK) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_PrepareCMYKDControlEx(const DControlPrepParams* params,
                                                   int32_t pointCount, DControlPoint* curveC,
                                                   DControlPoint* curveM, DControlPoint* curveY,
                                                   DControlPoint* curveK) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_PrepareCMYKDControl2(const DControlPrepParams* params,
                                                  int32_t pointCount, DControlPoint* curveC,
                                                  DControlPoint* curveM, DControlPoint* curveY,
                                                  DControlPoint* curveK) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_PrepareCMYKDControl_CMYK(const DControlPrepParams* params,
                                                      int32_t pointCount, DControlPoint* curveC,
                                                      DControlPoint* curveM, DControlPoint* curveY,
                                                      DControlPoint* curveK) QEL_NOEXCEPT;

/* Sort comparators: negative puts a first. Greater sorts descending and Lesser ascending by
 * the first differing component (R forms: the last); the 1D pair the other way round. */
CHROMEL_API double QelColComp_Greater4DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_Lesser4DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_RGreater4DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_RLesser4DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_Greater3DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_Lesser3DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_RGreater3DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_RLesser3DColor(const ColorRecord* a, const ColorRecord* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_Greater1DColor(const double* a, const double* b) QEL_NOEXCEPT;
CHROMEL_API double QelColComp_Lesser1DColor(const double* a, const double* b) QEL_NOEXCEPT;
/* Extensions: colour temperature with Duv, colour rendering ------------------------- */

/* Colour temperature by the nearest point of the Planckian locus in CIE 1960 (u, v), from
 * Planck's law and the 1931 2 degree observer, accurate from 1000 K to 25000 K (the search
 * ends at 909 K and 50000 K). Duv is the distance from that point, positive above the locus.
 * Returns 0; -1 with zeros written for a null pointer, a non-finite component or
 * X + 15 Y + 3 Z <= 0. */
CHROMEL_API int32_t QelColor_XYZ2ColorTemperatureDuv(const ColorRecord* xyz, double* kelvin,
                                                     double* duv) QEL_NOEXCEPT;
/* Colour rendering by the CIE 13.3 test-colour method (5 nm, 380 to 780 nm): general index Ra
 * and special indices R1 to R14 (`ri`, 14 doubles, may be null). Reference: Planckian below
 * 5000 K, CIE daylight from 5000 K. Returns 0; -1 with zeros written for a null spectrum or
 * `ra`, a non-finite sample, or a spectrum with no light. */
CHROMEL_API int32_t QelColor_Spectrum2ColorRendering(const SpectrumRecord* spectrum, double* ra,
                                                     double* ri) QEL_NOEXCEPT;
/* CMYK K-control ------------------------------------------------------------------------ */

/* Colour difference of two Lab colours, as QelColor_DefaultDeltaEFunc. */
typedef double (*QelDeltaEFunc)(const ColorRecord* lab1, const ColorRecord* lab2);

/* Black generation and compensation. CMYK on 0-255. Curve types: 0 none (copy), 1 gamma,
 * 2 natural spline, 3 polynomial, 4 piecewise linear through the table. Methods: 0 weighted,
 * 1 proportional, 2 difference search over the CMYK grid (null callback: the default). */
typedef struct KControlParams {
    int32_t curveType;
    int32_t method;
    double inkLimitRatio; /* maximum total ink / 255 */
    double gamma;
    int32_t tableCount;   /* 2 to 256 points */
    const double* table;  /* tableCount (K in, K out) pairs, x strictly monotonic */
    int32_t weightC;
    int32_t weightM;
    int32_t weightY;
    QelDeltaEFunc deltaE;
    const struct GridDescriptor* gridDescriptor;
    const ColorRecord* gridPositions;
    const ColorRecord* gridValues;
} KControlParams;

/* Adds method 3, gray-component replacement in percent. */
typedef struct KControl2Params {
    KControlParams base;
    double totalInkRatio;   /* x 100 gives a percentage */
    double blackStartRatio; /* limited to [0.1, 1]; method 4 reads it as the black-point ink */
} KControl2Params;

/* Adds method 4, black generation along the black line of each colour. */
typedef struct KControl3Params {
    KControl2Params base;
    double secondaryRatio;
    double primaryRatio;
    int32_t sampleCount;
    const double* samples; /* K values on 0-255 */
    double search[3];      /* reserved; method 4 reads none of them */
    const ColorRecord* alternativeInput;
    int32_t useAlternativeInput;
    int32_t weightingSelector;
} KControl3Params;

QEL_STATIC_ASSERT(offsetof(KControlParams, inkLimitRatio) == 8, "ink ratio at byte 8");
QEL_STATIC_ASSERT(offsetof(KControlParams, table) == 32, "table at byte 32");
QEL_STATIC_ASSERT(offsetof(KControlParams, weightY) == 48, "weights end at byte 52");
QEL_STATIC_ASSERT(offsetof(KControlParams, deltaE) == 56, "callback at byte 56");
QEL_STATIC_ASSERT(offsetof(KControlParams, gridValues) == 80, "grid values at byte 80");
QEL_STATIC_ASSERT(sizeof(KControlParams) == 88, "KControlParams is 88 bytes");
QEL_STATIC_ASSERT(offsetof(KControl2Params, blackStartRatio) == 96, "h at byte 96");
QEL_STATIC_ASSERT(sizeof(KControl2Params) == 104, "KControl2Params is 104 bytes");
QEL_STATIC_ASSERT(offsetof(KControl3Params, sampleCount) == 120, "sample count at byte 120");
QEL_STATIC_ASSERT(offsetof(KControl3Params, search) == 136, "search at byte 136");
QEL_STATIC_ASSERT(offsetof(KControl3Params, alternativeInput) == 160, "alternative at 160");
QEL_STATIC_ASSERT(offsetof(KControl3Params, weightingSelector) == 172, "selector at 172");
QEL_STATIC_ASSERT(sizeof(KControl3Params) == 176, "KControl3Params is 176 bytes");

/* Input and output may be the same array. Return 0 after a pass (or count 0); -1 with
 * nothing written for a null record or array, or an unusable table or grid. */
CHROMEL_API int32_t QelColor_CMYKsKControl(const ColorRecord* in, const KControlParams* params,
                                           uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYKsKControl2(const ColorRecord* in, const KControl2Params* params,
                                            uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYKsKControl3(const ColorRecord* in, const KControl3Params* params,
                                            uint32_t count, ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYKKControl(const ColorRecord* in, const KControlParams* params,
                                          ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYKKControl2(const ColorRecord* in, const KControl2Params* params,
                                           ColorRecord* out) QEL_NOEXCEPT;
CHROMEL_API int32_t QelColor_CMYKKControl3(const ColorRecord* in, const KControl3Params* params,
                                           ColorRecord* out) QEL_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* CHROMEL32_H */
