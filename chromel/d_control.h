// Tone-curve correction of CMYK colours, set up once per call and applied per colour.
// Shared by the D-control functions and the grid look-up through corrected colours.
#ifndef CHROMEL_D_CONTROL_H
#define CHROMEL_D_CONTROL_H

#include <array>
#include <cstdint>

#include "chromel/curve_interp.h"
#include "chromel32.h"

namespace chromel {

// The four curves of a record with their coefficients. A curve that cannot be evaluated
// (point count outside 2-256, inputs not strictly monotonic) passes its channel through.
class ToneCurves {
public:
    // The second family copies type 0 unchanged and normalises K to the black range
    // 255 r (blackRatio null: r = 1; r <= 0: 0) around its curve.
    ToneCurves(const DControlRecord& record, bool secondFamily, const double* blackRatio);

    // Whether the record changes anything: its type is 1, 2 or 3.
    bool active() const { return type_ >= 1 && type_ <= 3; }

    // Corrects one colour; every channel of the result is limited to 0-255 (K to the
    // black range when normalising).
    void apply(const double in[4], double out[4]) const;

private:
    double channel(int c, double v) const;

    std::int32_t type_;
    bool second_;
    bool normalise_ = false;
    double kMax_ = 255.0;
    std::size_t count_ = 0;
    std::array<std::array<CurvePoint, kMaxCurvePoints>, 4> points_{};
    std::array<bool, 4> usable_{};
    std::array<std::array<double, kMaxCurvePoints>, 4> coefficients_{};
};

}  // namespace chromel

#endif  // CHROMEL_D_CONTROL_H
