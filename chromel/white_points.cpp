// White points, black point and the library version.
#include "chromel/white_points.h"

#include <array>

#include "chromel/abi_guard.h"

namespace chromel {
namespace {

struct Entry {
    std::uint32_t id;
    PointRecord point;
};

constexpr PointRecord kD50{0.9642, 1.0, 0.8249};

// F5's Z: its white computed from the 5 nm spectrum and the 1 nm colour-matching
// functions (0.987220), rounded like the other rows.
constexpr std::array<Entry, 16> kWhitePoints{{
    {1, {1.0987, 1.0, 0.3559}},   // A
    {3, {0.9807, 1.0, 1.1818}},   // C
    {4, kD50},                    // D50
    {6, {0.9504, 1.0, 1.0889}},   // D65
    {17, {0.9288, 1.0, 1.0377}},  // F1
    {18, {0.9920, 1.0, 0.6740}},  // F2
    {19, {1.0381, 1.0, 0.4994}},  // F3
    {20, {1.0920, 1.0, 0.3887}},  // F4
    {21, {0.909, 1.0, 0.9872}},   // F5
    {22, {0.9735, 1.0, 0.6025}},  // F6
    {23, {0.9505, 1.0, 1.0872}},  // F7
    {24, {0.9643, 1.0, 0.8243}},  // F8
    {25, {1.0038, 1.0, 0.6794}},  // F9
    {26, {0.9638, 1.0, 0.8233}},  // F10
    {27, {1.0096, 1.0, 0.6437}},  // F11
    {28, {1.0811, 1.0, 0.3929}},  // F12
}};

}  // namespace

WhitePoint whitePoint(std::uint32_t illuminant) {
    for (const Entry& e : kWhitePoints)
        if (e.id == illuminant) return {e.point, true};
    return {kD50, false};
}

}  // namespace chromel

extern "C" {

int32_t QelColor_GetWhitePoint(uint32_t illuminant, int32_t /*observer*/,
                               PointRecord* white) noexcept {
    const chromel::WhitePoint wp = chromel::whitePoint(illuminant);
    if (white != nullptr) *white = wp.point;
    return wp.tabulated ? -1 : 0;
}

int32_t QelColor_GetBlackPoint(uint32_t /*illuminant*/, int32_t /*observer*/,
                               PointRecord* black) noexcept {
    if (black != nullptr) *black = PointRecord{0.0, 0.0, 0.0};
    return -1;
}

int32_t QelColor_Version(int32_t* version) noexcept {
    if (version != nullptr) *version = chromel::kLibraryVersion;
    return 0;
}

// One function under a second name.
int32_t QelColComp_Version(int32_t* version) noexcept __attribute__((alias("QelColor_Version")));

}  // extern "C"
