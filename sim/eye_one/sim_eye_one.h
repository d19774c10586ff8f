/* Control entry points of the simulated EyeOne vendor library (libEyeOne.so), for tests. */
#ifndef SIM_EYE_ONE_H
#define SIM_EYE_ONE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Re-reads the QEL_SIM_EYEONE_* environment and clears options, counters, injected codes and
 * any pending button press. */
typedef void (*SimEyeOne_ResetFn)(void);
/* Makes the next button poll report a press. */
typedef void (*SimEyeOne_PressButtonFn)(void);
/* While `held` is non-zero every button poll reports a press (a stuck button). */
typedef void (*SimEyeOne_HoldButtonFn)(int32_t held);
/* Vendor code `entry` ("I1_Calibrate", ...) answers from now on; 0 clears it. */
typedef void (*SimEyeOne_SetErrorFn)(const char* entry, int32_t code);
/* Last value written to option `key`, or null. Valid until the next call. */
typedef const char* (*SimEyeOne_OptionFn)(const char* key);
/* Calls of `entry` since the last reset. */
typedef uint32_t (*SimEyeOne_CallCountFn)(const char* entry);

#ifdef __cplusplus
}
#endif

#endif /* SIM_EYE_ONE_H */
