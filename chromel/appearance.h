// CIECAM02 colour appearance: lightness J, chroma C and hue h from XYZ and back.
#ifndef CHROMEL_APPEARANCE_H
#define CHROMEL_APPEARANCE_H

#include <cstddef>
#include <optional>
#include <span>

#include "chromel32.h"

namespace chromel {

// Rows of a 3 x 3 matrix applied to column vectors.
struct Matrix3 {
    double m[3][3];
};

// What the per-colour loops need of the viewing conditions, derived once per call.
struct AppearanceModel {
    double sampleScale;  // XYZ as given times this is the model's scale (white Y = Yw)
    double c, nc, nbb, z, n, fl, d;
    double dr, dg, db;    // per-channel adaptation factors
    Matrix3 toCone;       // XYZ to the post-adaptation cone responses R', G', B'
    Matrix3 fromCone;     // and back, the exact inverse
    double aw;            // achromatic response of the white
    double cz;            // the exponent of J
    double chromaFactor;  // (1.64 - 0.29^n)^0.73
    double hueFactor;     // 50000/13 Nc Ncb
    double flOver100, hundredOverFl;
};

// The model for conditions taken as they stand (no rescaling of the white), with samples
// multiplied by `sampleScale` on entry and divided by it on exit. Empty when the conditions
// are refused: a field out of range or NaN, or conditions that leave the white's cone
// responses, the adaptation factors or its achromatic response zero or not finite.
std::optional<AppearanceModel> appearanceModel(const ViewingConditions& conditions,
                                               double sampleScale);

// Whether appearance colours are polar (J, C, h) or rectangular (J, a, b).
enum class AppearanceForm { JCh, Jab };

// Forward and inverse models over an array. Each stops at the first invalid colour and
// returns how many colours it wrote; `out` may be the input array itself.
std::size_t xyzToAppearance(std::span<const ColorRecord> in, const AppearanceModel& model,
                            AppearanceForm form, ColorRecord* out);
std::size_t appearanceToXyz(std::span<const ColorRecord> in, const AppearanceModel& model,
                            AppearanceForm form, ColorRecord* out);

// J, C, h to J, a, b; a = b = 0 when C is 0. (J, a, b to J, C, h is labToLch unlimited.)
void jchToJab(std::span<const ColorRecord> in, ColorRecord* out);

// Achromatic response A of one colour on the model's scale, as the forward model computes it.
double achromaticResponse(const AppearanceModel& model, double x, double y, double z);

}  // namespace chromel

#endif  // CHROMEL_APPEARANCE_H
