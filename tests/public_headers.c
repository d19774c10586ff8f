/* Every public header compiles as plain C11 and keeps its record layouts. */
#include <stddef.h>

#include "chromel32.h"
#include "meterio32.h"
#include "vocasel.h"

_Static_assert(offsetof(SpectrumRecord, interval) == 4, "interval at byte 4");
_Static_assert(offsetof(SpectrumRecord, count) == 8, "count at byte 8");
_Static_assert(offsetof(MeasureParams, colorSpace) == 12, "colorSpace at byte 12");
_Static_assert(offsetof(ColorantDensityRecord, density) == 32, "density after the colorant");
