// Per-channel tone curves for CMYK colours: applying a record, with or without the black
// range normalisation, and preparing one from a Lab lattice and measured ramps.
#include "chromel/d_control.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "chromel/abi_guard.h"
#include "chromel/grid_interp.h"

namespace chromel {

ToneCurves::ToneCurves(const DControlRecord& record, bool secondFamily, const double* blackRatio)
    : type_(record.type), second_(secondFamily) {
    if (secondFamily) {
        double r = blackRatio != nullptr ? *blackRatio : 1.0;
        if (!(r > 0.0)) r = 0.0;
        if (r < 1.0) {
            normalise_ = true;
            kMax_ = 255.0 * r;
        }
    }
    if (!active() || record.pointCount < 2 ||
        record.pointCount > static_cast<std::int32_t>(kMaxCurvePoints))
        return;
    count_ = static_cast<std::size_t>(record.pointCount);
    for (int c = 0; c < 4; ++c) {
        for (std::size_t i = 0; i < count_; ++i)
            points_[c][i] = {record.curves[c][i].input, record.curves[c][i].output};
        const std::span<const CurvePoint> curve(points_[c].data(), count_);
        // The spline set-up also checks what the linear evaluation needs: monotonic inputs.
        usable_[c] = type_ == 2 ? polynomialSetup(curve, coefficients_[c]) != 0
                                : splineSetup(curve, coefficients_[c]) != 0;
    }
}

double ToneCurves::channel(int c, double v) const {
    if (!usable_[c]) return v;
    const std::span<const CurvePoint> curve(points_[c].data(), count_);
    switch (type_) {
        case 1:
            return splineValue(curve, coefficients_[c], v);
        case 2:
            return polynomialValue(curve, coefficients_[c], v);
        default:
            return linearValue(curve, v);
    }
}

void ToneCurves::apply(const double in[4], double out[4]) const {
    if (second_ && type_ == 0) {
        std::copy_n(in, 4, out);
        return;
    }
    double k = in[3];
    if (normalise_) k = k >= kMax_ ? 255.0 : std::clamp(k * 255.0 / kMax_, 0.0, 255.0);
    const double v[4] = {in[0], in[1], in[2], k};
    for (int c = 0; c < 4; ++c)
        out[c] = std::clamp(active() ? channel(c, v[c]) : v[c], 0.0, 255.0);
    if (normalise_)
        out[3] = out[3] == 255.0 ? kMax_ : std::clamp(out[3] * kMax_ / 255.0, 0.0, kMax_);
}

namespace {

void applyAll(const ToneCurves& curves, const ColorRecord* in, uint32_t count, ColorRecord* out) {
    for (uint32_t i = 0; i < count; ++i) {
        double v[4];
        curves.apply(in[i].v, v);
        std::copy_n(v, 4, out[i].v);
    }
}

// Packs four caller curves into a record; false when a curve is missing.
bool pack(int32_t type, const DControlPoint* const curves[4], int32_t pointCount,
          DControlRecord& record) {
    for (int c = 0; c < 4; ++c)
        if (curves[c] == nullptr) return false;
    record.type = type;
    record.pointCount = pointCount;
    if (pointCount >= 2 && pointCount <= 256)
        for (int c = 0; c < 4; ++c)
            std::copy_n(curves[c], pointCount, record.curves[c]);
    return true;
}

// ---- Preparation ----

enum class Form { Plain, Ex, Inverse };

constexpr int kSmoothHalfWidth = 8;

// The lattice coordinate of a Lab component, in lattice steps.
struct LatticeMap {
    double step;
    double coordinate(int axis, double v) const {
        const double scaled = axis == 0 ? v * 256.0 / 100.0 : v + 128.0;
        return std::clamp(scaled, 0.0, 256.0) / step;
    }
};

// The CMYK the lattice assigns to a Lab colour, by tetrahedral interpolation in its cell.
ColorRecord latticeCMYK(const ColorRecord* labLattice, const ColorRecord* values, std::size_t n,
                        const LatticeMap& map, const ColorRecord& lab) {
    ColorRecord point{};
    std::size_t base[3];
    for (int a = 0; a < 3; ++a) {
        point.v[a] = map.coordinate(a, lab.v[a]);
        base[a] = std::min(static_cast<std::size_t>(point.v[a]), n - 2);
    }
    GridNode cell[8];
    for (int node = 0; node < 8; ++node) {
        const std::size_t i = base[0] + ((node >> 2) & 1), j = base[1] + ((node >> 1) & 1),
                          k = base[2] + (node & 1);
        const std::size_t index = (i * n + j) * n + k;
        ColorRecord position{};
        for (int a = 0; a < 3; ++a)
            position.v[a] = map.coordinate(a, labLattice[index].v[a]);
        cell[node] = {position, values[index]};
    }
    ColorRecord out;
    interpolateCell(CellScheme::Tetrahedral, 3, 4, cell, {&point, 1}, &out);
    return out;
}

// Centred moving average over up to 17 points, narrower near the ends so that the window
// stays symmetric; the end points keep their values.
void smooth(std::span<double> v) {
    std::array<double, kMaxCurvePoints> src;
    std::copy(v.begin(), v.end(), src.begin());
    const auto last = static_cast<int>(v.size()) - 1;
    for (int j = 0; j <= last; ++j) {
        const int h = std::min({kSmoothHalfWidth, j, last - j});
        double sum = 0.0;
        for (int i = j - h; i <= j + h; ++i)
            sum += src[i];
        v[j] = sum / (2 * h + 1);
    }
}

// x: digital fractions of the ramp; y: the channel's response, normalised to 0 ... 1 and
// non-decreasing.
struct Response {
    std::vector<double> x, y;

    // The first digital fraction whose response reaches t, by linear interpolation.
    double inverse(double t) const {
        const auto s =
            static_cast<std::size_t>(std::lower_bound(y.begin(), y.end(), t) - y.begin());
        if (s == 0) return x.front();
        if (s == y.size()) return x.back();
        return x[s - 1] + (t - y[s - 1]) / (y[s] - y[s - 1]) * (x[s] - x[s - 1]);
    }
    // The response at digital fraction d, the end values held outside the ramp.
    double at(double d) const {
        if (!(d > x.front())) return y.front();
        for (std::size_t s = 1; s < x.size(); ++s)
            if (d <= x[s])
                return x[s] == x[s - 1]
                           ? y[s]
                           : y[s - 1] + (d - x[s - 1]) / (x[s] - x[s - 1]) * (y[s] - y[s - 1]);
        return y.back();
    }
};

void identityCurve(DControlPoint* curve, int count) {
    for (int j = 0; j < count; ++j) {
        const double v = j == count - 1 ? 255.0 : j * 255.0 / (count - 1);
        curve[j] = {v, v};
    }
}

void prepareChannel(const DControlRamp& ramp, int channel, const ColorRecord* labLattice,
                    const ColorRecord* values, std::size_t n, Form form, int count,
                    DControlPoint* curve) {
    if (ramp.count < 2) {
        identityCurve(curve, count);
        return;
    }
    const LatticeMap map{256.0 / static_cast<double>(n - 1)};
    Response r;
    const auto samples = static_cast<std::size_t>(ramp.count);
    r.x.resize(samples);
    r.y.resize(samples);
    for (std::size_t s = 0; s < samples; ++s) {
        r.x[s] = ramp.digital[s] / 255.0;
        r.y[s] = latticeCMYK(labLattice, values, n, map, ramp.lab[s]).v[channel];
    }
    const double first = r.y.front(), span = r.y.back() - first;
    for (std::size_t s = 0; s < samples; ++s) {
        double v = span != 0.0 ? (r.y[s] - first) / span
                               : static_cast<double>(s) / static_cast<double>(samples - 1);
        if (s > 0) v = std::max(v, r.y[s - 1]);
        r.y[s] = std::min(v, 1.0);
    }
    r.y.front() = 0.0;
    r.y.back() = 1.0;

    std::array<double, kMaxCurvePoints> in, out;
    for (int j = 0; j < count; ++j) {
        const bool last = j == count - 1;
        if (form == Form::Ex) {
            in[j] = last ? 255.0 : j * 255.0 / (count - 1);
            const double t = in[j] / 255.0;
            out[j] = r.inverse(t);
        } else {
            const double t = last ? 1.0 : static_cast<double>(j) / (count - 1);
            in[j] = last ? 255.0 : t * 255.0;
            out[j] = form == Form::Inverse ? r.at(t) : r.inverse(t);
        }
    }
    const std::span<double> outputs(out.data(), static_cast<std::size_t>(count));
    smooth(outputs);
    smooth(outputs);
    const double lo = outputs.front(), range = outputs.back() - lo;
    if (!(range > 0.0) && !(range < 0.0)) {
        identityCurve(curve, count);
        return;
    }
    // A tiny share of the identity keeps the response curve strictly rising, so that its
    // exchange is a table the interpolators accept.
    constexpr double kRise = 1e-6;
    for (int j = 0; j < count; ++j) {
        double v = (out[j] - lo) / range * 255.0;
        if (form == Form::Inverse) v = (1.0 - kRise) * v + kRise * in[j];
        curve[j] = {in[j], v};
    }
    curve[0].output = 0.0;
    curve[count - 1].output = 255.0;
}

bool rampOk(const DControlRamp& r) {
    return r.count < 2 || (r.digital != nullptr && r.lab != nullptr);
}

int32_t prepare(const DControlPrepParams* p, int32_t pointCount, DControlRecord* out, Form form) {
    if (out == nullptr) return QEL_DCONTROL_INVALID_ARGUMENT;
    std::memset(out, 0, sizeof *out);
    if (p == nullptr) return QEL_DCONTROL_INVALID_ARGUMENT;
    if (p->type == 0) {
        out->pointCount = pointCount;
        return QEL_DCONTROL_OK;
    }
    if (p->latticeSize < 2 || pointCount < 2 || pointCount > 256 || p->lattice == nullptr ||
        !std::all_of(std::begin(p->ramps), std::end(p->ramps), rampOk))
        return QEL_DCONTROL_INVALID_ARGUMENT;
    const auto n = static_cast<std::size_t>(p->latticeSize);
    std::size_t nodes = 0, bytes = 0;
    if (__builtin_mul_overflow(n, n, &nodes) || __builtin_mul_overflow(nodes, n, &nodes) ||
        __builtin_mul_overflow(nodes, sizeof(ColorRecord), &bytes))
        return QEL_DCONTROL_NO_MEMORY;
    const std::unique_ptr<ColorRecord[]> lab(new (std::nothrow) ColorRecord[nodes]);
    if (!lab) return QEL_DCONTROL_NO_MEMORY;
    const double last = static_cast<double>(n - 1);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t k = 0; k < n; ++k)
                lab[(i * n + j) * n + k] = {
                    {100.0 * i / last, 256.0 * j / last - 128.0, 256.0 * k / last - 128.0, 0.0}};
    lab[nodes - 1] = {{100.0, 128.0, 128.0, 0.0}};

    const bool ok = abiGuard(false, [&] {
        for (int c = 0; c < 4; ++c)
            prepareChannel(p->ramps[c], c, lab.get(), p->lattice, n, form, pointCount,
                           out->curves[c]);
        return true;
    });
    if (!ok) {
        std::memset(out, 0, sizeof *out);
        return QEL_DCONTROL_NO_MEMORY;
    }
    out->type = p->type;
    out->pointCount = pointCount;
    return QEL_DCONTROL_OK;
}

using Preparation = int32_t (*)(const DControlPrepParams*, int32_t, DControlRecord*) noexcept;

int32_t prepareInto(Preparation prep, const DControlPrepParams* p, int32_t pointCount,
                    DControlPoint* const curves[4]) {
    for (int c = 0; c < 4; ++c)
        if (curves[c] == nullptr) return QEL_DCONTROL_INVALID_ARGUMENT;
    DControlRecord record;
    const int32_t result = prep(p, pointCount, &record);
    const int copied = record.type == 0 ? 0 : record.pointCount;
    for (int c = 0; c < 4; ++c)
        std::copy_n(record.curves[c], copied, curves[c]);
    return result;
}

}  // namespace
}  // namespace chromel

extern "C" {

using chromel::Form;

void QelColor_CMYKsDControlEx(const ColorRecord* cmyk, const DControlRecord* control,
                              uint32_t count, ColorRecord* out) noexcept {
    if (count == 0 || cmyk == nullptr || control == nullptr || out == nullptr) return;
    const chromel::ToneCurves curves(*control, false, nullptr);
    chromel::applyAll(curves, cmyk, count, out);
}

void QelColor_CMYKsDControl2Ex(const ColorRecord* cmyk, const DControlRecord* control,
                               const double* blackRatio, uint32_t count,
                               ColorRecord* out) noexcept {
    if (count == 0 || cmyk == nullptr || control == nullptr || out == nullptr) return;
    const chromel::ToneCurves curves(*control, true, blackRatio);
    chromel::applyAll(curves, cmyk, count, out);
}

void QelColor_CMYKsDControl(const ColorRecord* cmyk, int32_t type, const DControlPoint* curveC,
                            const DControlPoint* curveM, const DControlPoint* curveY,
                            const DControlPoint* curveK, int32_t pointCount, uint32_t count,
                            ColorRecord* out) noexcept {
    const DControlPoint* const curves[4] = {curveC, curveM, curveY, curveK};
    DControlRecord record;
    if (chromel::pack(type, curves, pointCount, record))
        QelColor_CMYKsDControlEx(cmyk, &record, count, out);
}

void QelColor_CMYKsDControl2(const ColorRecord* cmyk, int32_t type, const DControlPoint* curveC,
                             const DControlPoint* curveM, const DControlPoint* curveY,
                             const DControlPoint* curveK, int32_t pointCount,
                             const double* blackRatio, uint32_t count, ColorRecord* out) noexcept {
    const DControlPoint* const curves[4] = {curveC, curveM, curveY, curveK};
    DControlRecord record;
    if (chromel::pack(type, curves, pointCount, record))
        QelColor_CMYKsDControl2Ex(cmyk, &record, blackRatio, count, out);
}

void QelColor_CMYKDControl(const ColorRecord* cmyk, int32_t type, const DControlPoint* curveC,
                           const DControlPoint* curveM, const DControlPoint* curveY,
                           const DControlPoint* curveK, int32_t pointCount,
                           ColorRecord* out) noexcept {
    QelColor_CMYKsDControl(cmyk, type, curveC, curveM, curveY, curveK, pointCount, 1, out);
}

void QelColor_CMYKDControlEx(const ColorRecord* cmyk, const DControlRecord* control,
                             ColorRecord* out) noexcept {
    QelColor_CMYKsDControlEx(cmyk, control, 1, out);
}

void QelColor_CMYKDControl2(const ColorRecord* cmyk, int32_t type, const DControlPoint* curveC,
                            const DControlPoint* curveM, const DControlPoint* curveY,
                            const DControlPoint* curveK, int32_t pointCount,
                            const double* blackRatio, ColorRecord* out) noexcept {
    QelColor_CMYKsDControl2(cmyk, type, curveC, curveM, curveY, curveK, pointCount, blackRatio, 1,
                            out);
}

void QelColor_CMYKDControl2Ex(const ColorRecord* cmyk, const DControlRecord* control,
                              const double* blackRatio, ColorRecord* out) noexcept {
    QelColor_CMYKsDControl2Ex(cmyk, control, blackRatio, 1, out);
}

int32_t QelColor_PrepareCMYKDControl_FWD(const DControlPrepParams* params, int32_t pointCount,
                                         DControlRecord* out) noexcept {
    return chromel::prepare(params, pointCount, out, Form::Plain);
}

int32_t QelColor_PrepareCMYKDControlEx_FWD(const DControlPrepParams* params, int32_t pointCount,
                                           DControlRecord* out) noexcept {
    return chromel::prepare(params, pointCount, out, Form::Ex);
}

int32_t QelColor_PrepareCMYKDControl2_INV(const DControlPrepParams* params, int32_t pointCount,
                                          DControlRecord* out) noexcept {
    return chromel::prepare(params, pointCount, out, Form::Inverse);
}

int32_t QelColor_PrepareCMYKDControl2_FWD(const DControlPrepParams* params, int32_t pointCount,
                                          DControlRecord* out) noexcept {
    const int32_t result = QelColor_PrepareCMYKDControl2_INV(params, pointCount, out);
    if (result != QEL_DCONTROL_OK || out->type == 0) return result;
    for (auto& curve : out->curves)
        for (int j = 0; j < out->pointCount; ++j)
            std::swap(curve[j].input, curve[j].output);
    return result;
}

int32_t QelColor_PrepareCMYKDControl(const DControlPrepParams* params, int32_t pointCount,
                                     DControlPoint* curveC, DControlPoint* curveM,
                                     DControlPoint* curveY, DControlPoint* curveK) noexcept {
    DControlPoint* const curves[4] = {curveC, curveM, curveY, curveK};
    return chromel::prepareInto(QelColor_PrepareCMYKDControl_FWD, params, pointCount, curves);
}

int32_t QelColor_PrepareCMYKDControlEx(const DControlPrepParams* params, int32_t pointCount,
                                       DControlPoint* curveC, DControlPoint* curveM,
                                       DControlPoint* curveY, DControlPoint* curveK) noexcept {
    DControlPoint* const curves[4] = {curveC, curveM, curveY, curveK};
    return chromel::prepareInto(QelColor_PrepareCMYKDControlEx_FWD, params, pointCount, curves);
}

int32_t QelColor_PrepareCMYKDControl2(const DControlPrepParams* params, int32_t pointCount,
                                      DControlPoint* curveC, DControlPoint* curveM,
                                      DControlPoint* curveY, DControlPoint* curveK) noexcept {
    DControlPoint* const curves[4] = {curveC, curveM, curveY, curveK};
    return chromel::prepareInto(QelColor_PrepareCMYKDControl2_FWD, params, pointCount, curves);
}

int32_t QelColor_PrepareCMYKDControl_CMYK(const DControlPrepParams* params, int32_t pointCount,
                                          DControlPoint* curveC, DControlPoint* curveM,
                                          DControlPoint* curveY, DControlPoint* curveK) noexcept {
    return QelColor_PrepareCMYKDControl(params, pointCount, curveC, curveM, curveY, curveK);
}

}  // extern "C"
