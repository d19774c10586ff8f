/* vocasel: finds the user-interface language module for a language, flat C interface. */
#ifndef VOCASEL_H
#define VOCASEL_H

#include <stddef.h>
#include <stdint.h>

#include "qel_records.h"

#define VOCASEL_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the path buffers, terminator included: wide characters for VocaselFileW, bytes
 * for VocaselFileA. */
#define VOCASEL_MAX_PATH 260

/* Language module lookup ---------------------------------------------------------------
 *
 * A module's file name is prefix + format + extension printed with a language id, e.g.
 * "lang_vq_" "%04X" ".dll" with 0x0411 gives lang_vq_0411.dll. `directory` null means the
 * running program's directory; a relative one is taken relative to it. Formats hold
 * exactly one integer conversion (d, i, u, o, x, X); '%' elsewhere must be written "%%".
 * Every failure gives 0, and a non-zero result always names an existing file. */

/* Language id of the module found for `language`: its own module, else the smallest module
 * of its primary language (with `primaryFormat`, e.g. "??%02X"), else `defaultLanguage`'s
 * module; 0 when none exists. On success the full path goes to `pathOut` (when not null,
 * VOCASEL_MAX_PATH wide characters). */
VOCASEL_API uint16_t VocaselFileW(uint16_t language, const wchar_t* directory,
                                  const wchar_t* prefix, const wchar_t* idFormat,
                                  const wchar_t* extension, const wchar_t* primaryFormat,
                                  uint16_t defaultLanguage, wchar_t* pathOut) QEL_NOEXCEPT;

/* The smallest language id among the existing modules whose name matches prefix +
 * primaryFormat + extension printed with the primary language (language & 0x3FF); '?' in
 * primaryFormat matches any one character. 0 when none. */
VOCASEL_API uint16_t FindPrimaryLangDllW(uint16_t language, const wchar_t* directory,
                                         const wchar_t* prefix, const wchar_t* primaryFormat,
                                         const wchar_t* extension) QEL_NOEXCEPT;

/* Narrow twins: strings in the character set of the user's locale, which they select for
 * the process (LC_CTYPE) on every call. `pathOut` holds VOCASEL_MAX_PATH bytes. */
VOCASEL_API uint16_t VocaselFileA(uint16_t language, const char* directory, const char* prefix,
                                  const char* idFormat, const char* extension,
                                  const char* primaryFormat, uint16_t defaultLanguage,
                                  char* pathOut) QEL_NOEXCEPT;

VOCASEL_API uint16_t FindPrimaryLangDllA(uint16_t language, const char* directory,
                                         const char* prefix, const char* primaryFormat,
                                         const char* extension) QEL_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* VOCASEL_H */
