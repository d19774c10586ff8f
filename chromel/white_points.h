// White and black points of the built-in illuminants (CIE 1931 2 degree, Y = 1).
#ifndef CHROMEL_WHITE_POINTS_H
#define CHROMEL_WHITE_POINTS_H

#include <cstdint>

#include "chromel32.h"

namespace chromel {

struct WhitePoint {
    PointRecord point;
    bool tabulated;  // false: the id names no entry and D50 stands in
};

WhitePoint whitePoint(std::uint32_t illuminant);

inline constexpr std::int32_t kLibraryVersion = 400;

}  // namespace chromel

#endif  // CHROMEL_WHITE_POINTS_H
