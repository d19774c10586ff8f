/* Control entry points of the simulated CSCMTLib vendor library (libCSCMTLib.so), for tests. */
#ifndef SIM_CSCMTLIB_H
#define SIM_CSCMTLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Clears answers, counters, pending presses and settings back to the defaults: the instrument
 * hangs on COM port 3, converted values are L 52.5, a -11.25, b 33.0. */
typedef void (*SimCscmtlib_ResetFn)(void);
/* Entry `entry` ("CSDMeasure", ...) answers `code` from now on instead of behaving normally;
 * clearing is SimCscmtlib_Reset. For CSDOpen 0 is the failure answer. */
typedef void (*SimCscmtlib_SetAnswerFn)(const char* entry, int32_t code);
/* The COM port number CSDInit finds the instrument on; other numbers answer 133. */
typedef void (*SimCscmtlib_SetPortFn)(int32_t port);
/* Queues a button press that CSDButtonPressed reports, with `answer`, after `polls` polls that
 * report no press. Presses are reported in the order queued. */
typedef void (*SimCscmtlib_QueuePressFn)(uint32_t polls, int32_t answer);
/* Values 1 to 3 of the next conversions' output. */
typedef void (*SimCscmtlib_SetConvertedFn)(double v1, double v2, double v3);
/* Values 0 to 7 of measurements taken in density data mode (4). */
typedef void (*SimCscmtlib_SetDensityValuesFn)(const double* values8);
/* Calls of `entry` since the last reset, and the first argument of its last call. */
typedef uint32_t (*SimCscmtlib_CallCountFn)(const char* entry);
typedef int64_t (*SimCscmtlib_LastArgumentFn)(const char* entry);

#ifdef __cplusplus
}
#endif

#endif /* SIM_CSCMTLIB_H */
