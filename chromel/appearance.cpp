// CIECAM02 colour appearance: viewing conditions, their checks, and the exports.
//
// The forward model keeps the published constants. The inverse uses the exact inverses of
// the forward matrices, computed here in double: the rounded published inverses would let
// XYZ -> JCh -> XYZ return its input only to about 6e-7.
#include "chromel/appearance.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "chromel/abi_guard.h"
#include "chromel/cie.h"

namespace chromel {
namespace {

constexpr Matrix3 kCat02{
    {{0.7328, 0.4296, -0.1624}, {-0.7036, 1.6975, 0.0061}, {0.0030, 0.0136, 0.9834}}};

// Hunt-Pointer-Estevez cones from CAT02 responses (HPE times the inverse of CAT02).
constexpr Matrix3 kCat02ToHpe{{{0.7409792, 0.218025, 0.0410058},
                               {0.2853532, 0.6242014, 0.0904454},
                               {-0.009628, -0.005698, 1.015326}}};

constexpr Matrix3 inverse(const Matrix3& a) {
    const auto& m = a.m;
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    return {{{c00 / det, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det,
              (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det},
             {c01 / det, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
              (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det},
             {c02 / det, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det,
              (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det}}};
}

constexpr Matrix3 kCat02Inverse = inverse(kCat02);
constexpr Matrix3 kHpeToCat02 = inverse(kCat02ToHpe);

// a diag(d) b
Matrix3 productWithDiagonal(const Matrix3& a, const double (&d)[3], const Matrix3& b) {
    Matrix3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[i][0] * d[0] * b.m[0][j] + a.m[i][1] * d[1] * b.m[1][j] +
                        a.m[i][2] * d[2] * b.m[2][j];
    return r;
}

bool allFiniteNonZero(std::initializer_list<double> values) {
    for (const double v : values)
        if (!std::isfinite(v) || v == 0.0) return false;
    return true;
}

bool isComputedDegree(double d) {
    return std::bit_cast<std::uint64_t>(d) ==
           std::bit_cast<std::uint64_t>(QEL_DEGREE_OF_ADAPTATION_COMPUTED);
}

// Nc from the surround exponent: linear through (0.525, 0.8), (0.59, 0.9) and (0.69, 1.0).
double surroundFactor(double c) {
    return c >= 0.59 ? c - 0.59 + 0.9 : (c - 0.525) * 1.5384615384615394 + 0.8;
}

// The conditions' checks, in order; each is written so that NaN fails it.
bool acceptable(const ViewingConditions& vc) {
    for (const ColorRecord* p : {&vc.white, &vc.background}) {
        const double x = p->v[0], y = p->v[1], z = p->v[2];
        if (!(x >= 0.0) || !(y >= 0.0) || !(z >= 0.0) || !(y > 0.0)) return false;
    }
    return vc.La > 0.0 && vc.c >= 0.525 && vc.c <= 0.69;
}

// Rescales white and background so that the white's Y is exactly 100, writing back only
// the values that change, so that a call on a normalised record only reads it. False,
// with the record untouched, when the white's Y is not positive and finite or a value
// would not stay finite.
bool normalise(ViewingConditions& vc) {
    const double yw = vc.white.v[1];
    if (!(yw > 0.0) || !std::isfinite(yw)) return false;
    const double scale = 100.0 / yw;
    double scaled[2][3];
    const ColorRecord* records[2] = {&vc.white, &vc.background};
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k) {
            scaled[r][k] = records[r]->v[k] * scale;
            if (!std::isfinite(scaled[r][k]) && std::isfinite(records[r]->v[k])) return false;
        }
    scaled[0][1] = 100.0;
    ColorRecord* targets[2] = {&vc.white, &vc.background};
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k)
            if (std::bit_cast<std::uint64_t>(scaled[r][k]) !=
                std::bit_cast<std::uint64_t>(targets[r]->v[k]))
                targets[r]->v[k] = scaled[r][k];
    return true;
}

}  // namespace

std::optional<AppearanceModel> appearanceModel(const ViewingConditions& vc, double sampleScale) {
    if (!acceptable(vc)) return std::nullopt;
    AppearanceModel m{};
    m.sampleScale = sampleScale;
    m.c = vc.c;
    m.nc = surroundFactor(vc.c);
    const double la = vc.La;
    if (isComputedDegree(vc.D))
        m.d = m.nc * (1.0 - (1.0 / 3.6) * std::exp(-(la + 42.0) / 92.0));
    else if (vc.D >= 0.0 && vc.D <= 1.0)
        m.d = vc.D;
    else
        return std::nullopt;
    const double k = 1.0 / (5.0 * la + 1.0);
    const double k4 = k * k * k * k;
    m.fl = k4 * la + 0.1 * (1.0 - k4) * (1.0 - k4) * std::cbrt(5.0 * la);
    const double yw = vc.white.v[1];
    m.n = vc.background.v[1] / yw;
    m.nbb = 0.725 * std::pow(1.0 / m.n, 0.2);
    m.z = 1.48 + std::sqrt(m.n);
    m.cz = m.c * m.z;

    const double wx = vc.white.v[0], wy = vc.white.v[1], wz = vc.white.v[2];
    const double rw = kCat02.m[0][0] * wx + kCat02.m[0][1] * wy + kCat02.m[0][2] * wz;
    const double gw = kCat02.m[1][0] * wx + kCat02.m[1][1] * wy + kCat02.m[1][2] * wz;
    const double bw = kCat02.m[2][0] * wx + kCat02.m[2][1] * wy + kCat02.m[2][2] * wz;
    if (!allFiniteNonZero({rw, gw, bw})) return std::nullopt;
    m.dr = yw * m.d / rw + 1.0 - m.d;
    m.dg = yw * m.d / gw + 1.0 - m.d;
    m.db = yw * m.d / bw + 1.0 - m.d;
    if (!allFiniteNonZero({m.dr, m.dg, m.db})) return std::nullopt;
    m.toCone = productWithDiagonal(kCat02ToHpe, {m.dr, m.dg, m.db}, kCat02);
    m.fromCone =
        productWithDiagonal(kCat02Inverse, {1.0 / m.dr, 1.0 / m.dg, 1.0 / m.db}, kHpeToCat02);
    m.chromaFactor = std::pow(1.64 - std::pow(0.29, m.n), 0.73);
    m.hueFactor = (50000.0 / 13.0) * m.nc * m.nbb;
    m.flOver100 = m.fl / 100.0;
    m.hundredOverFl = 100.0 / m.fl;
    if (!allFiniteNonZero({m.fl, m.nbb, m.cz, m.chromaFactor, m.hundredOverFl}))
        return std::nullopt;
    // The white's own response, on the scale the white is given in.
    m.aw = achromaticResponse(m, wx, wy, wz);
    if (!(m.aw > 0.0) || !std::isfinite(m.aw)) return std::nullopt;
    return m;
}

}  // namespace chromel

// C interface ------------------------------------------------------------------------

namespace {

using chromel::AppearanceForm;

// XYZ records are relative to the white; the model works on the white's scale, Y = 100.
constexpr double kRelativeToModel = 100.0;

std::optional<chromel::AppearanceModel> prepare(ViewingConditions& vc) {
    if (!chromel::normalise(vc)) return std::nullopt;
    return chromel::appearanceModel(vc, kRelativeToModel);
}

using ModelConversion = std::size_t (*)(std::span<const ColorRecord>,
                                        const chromel::AppearanceModel&, AppearanceForm,
                                        ColorRecord*);

void runModel(ModelConversion convert, AppearanceForm form, const ColorRecord* in,
              ViewingConditions* vc, uint32_t count, ColorRecord* out) {
    if (in == nullptr || vc == nullptr || out == nullptr || count == 0) return;
    chromel::abiGuard([&] {
        const auto model = prepare(*vc);
        if (model) convert({in, count}, *model, form, out);
    });
}

}  // namespace

extern "C" {

void QelColor_XYZs2JChs(const ColorRecord* xyz, ViewingConditions* conditions, uint32_t count,
                        ColorRecord* jch) noexcept {
    runModel(chromel::xyzToAppearance, AppearanceForm::JCh, xyz, conditions, count, jch);
}

void QelColor_XYZ2JCh(const ColorRecord* xyz, ViewingConditions* conditions,
                      ColorRecord* jch) noexcept {
    QelColor_XYZs2JChs(xyz, conditions, 1, jch);
}

void QelColor_JChs2XYZs(const ColorRecord* jch, ViewingConditions* conditions, uint32_t count,
                        ColorRecord* xyz) noexcept {
    runModel(chromel::appearanceToXyz, AppearanceForm::JCh, jch, conditions, count, xyz);
}

void QelColor_JCh2XYZ(const ColorRecord* jch, ViewingConditions* conditions,
                      ColorRecord* xyz) noexcept {
    QelColor_JChs2XYZs(jch, conditions, 1, xyz);
}

void QelColor_XYZs2Jabs(const ColorRecord* xyz, ViewingConditions* conditions, uint32_t count,
                        ColorRecord* jab) noexcept {
    runModel(chromel::xyzToAppearance, AppearanceForm::Jab, xyz, conditions, count, jab);
}

void QelColor_XYZ2Jab(const ColorRecord* xyz, ViewingConditions* conditions,
                      ColorRecord* jab) noexcept {
    QelColor_XYZs2Jabs(xyz, conditions, 1, jab);
}

void QelColor_Jabs2XYZs(const ColorRecord* jab, ViewingConditions* conditions, uint32_t count,
                        ColorRecord* xyz) noexcept {
    runModel(chromel::appearanceToXyz, AppearanceForm::Jab, jab, conditions, count, xyz);
}

void QelColor_Jab2XYZ(const ColorRecord* jab, ViewingConditions* conditions,
                      ColorRecord* xyz) noexcept {
    QelColor_Jabs2XYZs(jab, conditions, 1, xyz);
}

void QelColor_Jabs2JChs(const ColorRecord* jab, uint32_t count, ColorRecord* jch) noexcept {
    if (jab != nullptr && jch != nullptr && count != 0)
        chromel::abiGuard([&] { chromel::labToLch({jab, count}, chromel::Limit::None, jch); });
}

void QelColor_Jab2JCh(const ColorRecord* jab, ColorRecord* jch) noexcept {
    QelColor_Jabs2JChs(jab, 1, jch);
}

void QelColor_JChs2Jabs(const ColorRecord* jch, uint32_t count, ColorRecord* jab) noexcept {
    if (jch != nullptr && jab != nullptr && count != 0)
        chromel::abiGuard([&] { chromel::jchToJab({jch, count}, jab); });
}

void QelColor_JCh2Jab(const ColorRecord* jch, ColorRecord* jab) noexcept {
    QelColor_JChs2Jabs(jch, 1, jab);
}

}  // extern "C"
