// UTF-8 and wide (UTF-32) strings, converted strictly: invalid input gives nullopt.
#ifndef PLATFORM_UTF8_H
#define PLATFORM_UTF8_H

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Null characters, surrogates and values above U+10FFFF are refused.
std::optional<std::string> toUtf8(std::wstring_view s);
// Overlong forms, surrogates, stray and truncated sequences are refused.
std::optional<std::wstring> fromUtf8(std::string_view s);

}  // namespace platform

#endif  // PLATFORM_UTF8_H
