/* Control entry points of the simulated Kmsecs200 vendor library (libKmsecs200.so), for tests. */
#ifndef SIM_KMSECS200_H
#define SIM_KMSECS200_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the defaults: one instrument attached, closed, out of remote mode, observer 0,
 * colour space 3, speed setting (1, 0), model "1892-100" with numbers 123 and 45, measured
 * triple 9505, 10000, 10890; no forced codes, statuses or replies; nothing received. */
typedef void (*SimKmsecs200_ResetFn)(void);
/* The number get_num reports. */
typedef void (*SimKmsecs200_SetCountFn)(int32_t count);
/* Entry point `entry` ("int_usb", "read64_usb", ...) returns `code` from now on and does
 * nothing else. */
typedef void (*SimKmsecs200_ForceCodeFn)(const char* entry, int32_t code);
/* Command `command` (the text before CR LF, e.g. "LNS,0", or its name alone, e.g. "MDR") is
 * answered with the four-character `status` alone and has no effect. */
typedef void (*SimKmsecs200_SetStatusFn)(const char* command, const char* status);
/* Command `command` (as above) is answered with the `length` bytes of `reply`, as they are. */
typedef void (*SimKmsecs200_SetReplyFn)(const char* command, const char* reply, uint32_t length);
/* The next `count` data reads ("MDR") answer "ER02"; 0xFFFFFFFF: every one. */
typedef void (*SimKmsecs200_StillMeasuringFn)(uint32_t count);
/* What "IDR" reports: eight characters of model text and two numbers. */
typedef void (*SimKmsecs200_SetIdentityFn)(const char* model, uint32_t first, uint32_t second);
/* The triple a data read reports, as sent (the driver scales XYZ by 0.01). */
typedef void (*SimKmsecs200_SetMeasuredFn)(double first, double second, double third);
/* Commands received since the reset, in order, each without CR LF and followed by '\n'.
 * Valid until the next call. */
typedef const char* (*SimKmsecs200_CommandsFn)(void);
/* Calls of entry point `entry` since the reset. */
typedef uint32_t (*SimKmsecs200_CallCountFn)(const char* entry);
/* 1 while instrument 0 is open / in remote mode / measuring. */
typedef int32_t (*SimKmsecs200_StateFn)(const char* what);

#ifdef __cplusplus
}
#endif

#endif /* SIM_KMSECS200_H */
