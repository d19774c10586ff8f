/* Records shared by chromel32 and meterio32. */
#ifndef QEL_RECORDS_H
#define QEL_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define QEL_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QEL_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Exported functions never throw. */
#ifdef __cplusplus
#define QEL_NOEXCEPT noexcept
#else
#define QEL_NOEXCEPT
#endif

#define QEL_SPECTRUM_SLOTS 401

/* A sampled spectrum: `count` samples from `start` nm every `interval` nm.
 * The 401 slots hold 380 nm to 780 nm at 1 nm. */
typedef struct SpectrumRecord {
    uint32_t start;    /* first wavelength, nm */
    uint32_t interval; /* wavelength step, nm */
    uint32_t count;    /* number of samples used */
    uint32_t padding;
    double values[QEL_SPECTRUM_SLOTS];
} SpectrumRecord;

/* Four densities: red, green, blue, visual. */
typedef struct DensityRecord {
    double values[4];
} DensityRecord;

QEL_STATIC_ASSERT(sizeof(SpectrumRecord) == 3224, "SpectrumRecord is 3224 bytes");
QEL_STATIC_ASSERT(offsetof(SpectrumRecord, values) == 16, "samples start at byte 16");
QEL_STATIC_ASSERT(sizeof(DensityRecord) == 32, "DensityRecord is four doubles");

#endif /* QEL_RECORDS_H */
