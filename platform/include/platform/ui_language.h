// The user's interface language as a Windows language identifier.
#ifndef PLATFORM_UI_LANGUAGE_H
#define PLATFORM_UI_LANGUAGE_H

#include <cstdint>
#include <string_view>

namespace platform {

// Language id for a POSIX locale name such as "ja_JP.UTF-8", "de_DE@euro", "en" or "C":
// primary language in the low 10 bits, sub-language above. "C" and "POSIX" are US English;
// 0 for an empty or unknown language.
std::uint16_t languageIdFromLocale(std::string_view locale);

// The language of the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty
// (US English when none is).
std::uint16_t userUiLanguage();

}  // namespace platform

#endif  // PLATFORM_UI_LANGUAGE_H
