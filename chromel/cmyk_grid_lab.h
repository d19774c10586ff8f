// Lab from a CMYK grid and pick-by-difference, callable inside the library.
#ifndef CHROMEL_CMYK_GRID_LAB_H
#define CHROMEL_CMYK_GRID_LAB_H

#include <cstdint>
#include <span>

#include "chromel/grid_interp.h"
#include "chromel/isa.h"
#include "chromel32.h"

namespace chromel {

// Lab of each CMYK through the grid with shared C, M, Y breakpoints per K level. Returns
// false, writing nothing, when the descriptor is unusable (fewer than 2 K levels or
// breakpoints in a layer, a count above 256) or a pointer is null.
bool gridLabs(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
              const ColorRecord* values, std::span<const ColorRecord> cmyk, ColorRecord* lab);
// The same on the build for `isa`, which the CPU must support; the form above runs
// hostIsa()'s. All builds give the same bits.
bool gridLabs(CellScheme scheme, const GridDescriptor* desc, const ColorRecord* positions,
              const ColorRecord* values, std::span<const ColorRecord> cmyk, ColorRecord* lab,
              Isa isa);

// The weighted mean of the n candidates of smallest difference, components limited to
// 0-255; `dims` is 3 or 4. n is limited to 1 ... differences.size().
void pickByDifference(std::span<const double> differences, const ColorRecord* candidates,
                      std::int32_t n, int dims, ColorRecord* out);

}  // namespace chromel

#endif  // CHROMEL_CMYK_GRID_LAB_H
