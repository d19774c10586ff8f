// Finds the language module file for a Windows language id: the exact language, else the
// smallest module of its primary language, else a default language.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/module.h"
#include "platform/utf8.h"
#include "vocasel.h"

namespace vocasel {
namespace {

using platform::fromUtf8;
using platform::toUtf8;

constexpr std::size_t kMaxPath = VOCASEL_MAX_PATH;

template <typename Body>
std::uint16_t guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return 0;
    }
}

// Prints `value` with a format holding exactly one integer conversion ("%%" for a percent
// sign). Any other format is refused rather than handed to printf.
std::optional<std::wstring> formatName(std::wstring_view format, unsigned value) {
    std::wstring out;
    bool converted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            out += format[i];
            continue;
        }
        if (++i < format.size() && format[i] == L'%') {
            out += L'%';
            continue;
        }
        if (converted) return std::nullopt;
        std::string directive = "%";
        while (i < format.size() &&
               std::wstring_view(L"-+ #0").find(format[i]) != std::wstring_view::npos)
            directive += static_cast<char>(format[i++]);
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (i >= format.size() || format[i] != L'.') break;
                directive += '.';
                ++i;
            }
            unsigned number = 0;
            while (i < format.size() && format[i] >= L'0' && format[i] <= L'9') {
                number = number * 10 + static_cast<unsigned>(format[i++] - L'0');
                if (number >= kMaxPath) return std::nullopt;
            }
            directive += std::to_string(number);
        }
        while (i < format.size() && (format[i] == L'h' || format[i] == L'l'))
            ++i;
        if (i >= format.size() ||
            std::wstring_view(L"diuoxX").find(format[i]) == std::wstring_view::npos)
            return std::nullopt;
        const char conversion = static_cast<char>(format[i]);
        directive += conversion;
        char digits[kMaxPath + 8];
        const int n =
            conversion == 'd' || conversion == 'i'
                ? std::snprintf(digits, sizeof digits, directive.c_str(), static_cast<int>(value))
                : std::snprintf(digits, sizeof digits, directive.c_str(), value);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof digits) return std::nullopt;
        for (int k = 0; k < n; ++k)
            out += static_cast<wchar_t>(digits[k]);
        converted = true;
    }
    if (!converted) return std::nullopt;
    return out;
}

// The directory as an absolute path ending in a separator.
std::optional<std::wstring> resolveDirectory(const wchar_t* directory) {
    std::string dir;
    if (directory == nullptr || directory[0] != L'/') {
        dir = platform::executableDir();
        if (dir.empty()) return std::nullopt;
        if (directory != nullptr && directory[0] != 0) {
            const auto relative = toUtf8(directory);
            if (!relative) return std::nullopt;
            dir += '/';
            dir += *relative;
        }
    } else {
        const auto absolute = toUtf8(directory);
        if (!absolute) return std::nullopt;
        dir = *absolute;
    }
    dir = std::filesystem::path(dir).lexically_normal().string();
    auto wide = fromUtf8(dir);
    if (!wide) return std::nullopt;
    if (wide->empty() || (wide->back() != L'/' && wide->back() != L'\\')) *wide += L'/';
    return wide;
}

// Full path of the module for `language`, when that file exists and fits the limit.
std::optional<std::wstring> modulePath(const std::wstring& dir, std::wstring_view prefix,
                                       std::wstring_view format, std::wstring_view extension,
                                       std::uint16_t language) {
    const auto name =
        formatName(std::wstring(prefix) + std::wstring(format) + std::wstring(extension), language);
    if (!name) return std::nullopt;
    std::wstring path = dir + *name;
    if (path.size() >= kMaxPath) return std::nullopt;
    const auto utf8 = toUtf8(path);
    if (!utf8 || !platform::fileExists(*utf8)) return std::nullopt;
    return path;
}

bool isDigit(wchar_t c, unsigned radix) {
    if (c >= L'0' && c <= L'9') return true;
    return radix == 16 && ((c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'));
}

unsigned digitValue(wchar_t c) {
    if (c <= L'9') return static_cast<unsigned>(c - L'0');
    if (c >= L'a') return static_cast<unsigned>(c - L'a' + 10);
    return static_cast<unsigned>(c - L'A' + 10);
}

std::uint16_t findPrimary(std::uint16_t language, const wchar_t* directory, const wchar_t* prefix,
                          const wchar_t* primaryFormat, const wchar_t* extension) {
    if (prefix == nullptr || primaryFormat == nullptr || extension == nullptr) return 0;
    const auto dir = resolveDirectory(directory);
    if (!dir) return 0;
    const std::wstring_view prefixView(prefix), extensionView(extension);
    const auto pattern = formatName(
        std::wstring(prefixView) + primaryFormat + std::wstring(extensionView), language & 0x3FFu);
    const auto patternUtf8 = pattern ? toUtf8(*pattern) : std::nullopt;
    const auto dirUtf8 = toUtf8(*dir);
    if (!patternUtf8 || !dirUtf8) return 0;

    const unsigned radix =
        std::wstring_view(primaryFormat).find_first_of(L"xX") != std::wstring_view::npos ? 16 : 10;
    std::optional<std::uint16_t> smallest;
    for (const std::string& found : platform::findFiles(*dirUtf8, *patternUtf8)) {
        const auto name = fromUtf8(found);
        if (!name || name->size() < prefixView.size() + extensionView.size()) continue;
        const std::wstring_view middle = std::wstring_view(*name).substr(
            prefixView.size(), name->size() - prefixView.size() - extensionView.size());
        bool digits = true;
        std::uint16_t value = 0;
        for (wchar_t c : middle) {
            if (!isDigit(c, radix)) {
                digits = false;
                break;
            }
            value = static_cast<std::uint16_t>(value * radix + digitValue(c));
        }
        if (digits && (!smallest || value < *smallest)) smallest = value;
    }
    return smallest.value_or(0);
}

std::uint16_t findModule(std::uint16_t language, const wchar_t* directory, const wchar_t* prefix,
                         const wchar_t* idFormat, const wchar_t* extension,
                         const wchar_t* primaryFormat, std::uint16_t defaultLanguage,
                         std::wstring* pathOut) {
    if (prefix == nullptr || idFormat == nullptr || extension == nullptr) return 0;
    const auto dir = resolveDirectory(directory);
    if (!dir) return 0;
    std::uint16_t result = 0;
    if (modulePath(*dir, prefix, idFormat, extension, language)) {
        result = language;
    } else if (primaryFormat != nullptr) {
        result = findPrimary(language, directory, prefix, primaryFormat, extension);
    }
    if (result == 0) result = defaultLanguage;
    const auto path = modulePath(*dir, prefix, idFormat, extension, result);
    if (!path || result == 0) return 0;
    if (pathOut != nullptr) *pathOut = *path;
    return result;
}

// Narrow string in the locale's character set to a wide one; null stays null.
bool widen(const char* s, std::optional<std::wstring>& out) {
    if (s == nullptr) return true;
    std::mbstate_t state{};
    const char* src = s;
    const std::size_t n = std::mbsrtowcs(nullptr, &src, 0, &state);
    if (n == static_cast<std::size_t>(-1)) return false;
    std::wstring wide(n, L'\0');
    src = s;
    state = std::mbstate_t{};
    std::mbsrtowcs(wide.data(), &src, n, &state);
    out = std::move(wide);
    return true;
}

const wchar_t* ptr(const std::optional<std::wstring>& s) {
    return s ? s->c_str() : nullptr;
}

void selectUserLocale() {
    if (std::setlocale(LC_CTYPE, "") == nullptr) std::fputs("cannot setlocale.\n", stdout);
}

}  // namespace
}  // namespace vocasel

extern "C" {

uint16_t VocaselFileW(uint16_t language, const wchar_t* directory, const wchar_t* prefix,
                      const wchar_t* idFormat, const wchar_t* extension,
                      const wchar_t* primaryFormat, uint16_t defaultLanguage,
                      wchar_t* pathOut) noexcept {
    return vocasel::guarded([&]() -> std::uint16_t {
        std::wstring path;
        const std::uint16_t found =
            vocasel::findModule(language, directory, prefix, idFormat, extension, primaryFormat,
                                defaultLanguage, &path);
        if (found != 0 && pathOut != nullptr) std::wmemcpy(pathOut, path.c_str(), path.size() + 1);
        return found;
    });
}

uint16_t FindPrimaryLangDllW(uint16_t language, const wchar_t* directory, const wchar_t* prefix,
                             const wchar_t* primaryFormat, const wchar_t* extension) noexcept {
    return vocasel::guarded([&] {
        return vocasel::findPrimary(language, directory, prefix, primaryFormat, extension);
    });
}

uint16_t VocaselFileA(uint16_t language, const char* directory, const char* prefix,
                      const char* idFormat, const char* extension, const char* primaryFormat,
                      uint16_t defaultLanguage, char* pathOut) noexcept {
    return vocasel::guarded([&]() -> std::uint16_t {
        vocasel::selectUserLocale();
        std::optional<std::wstring> dir, pre, fmt, ext, primary;
        if (!vocasel::widen(directory, dir) || !vocasel::widen(prefix, pre) ||
            !vocasel::widen(idFormat, fmt) || !vocasel::widen(extension, ext) ||
            !vocasel::widen(primaryFormat, primary))
            return 0;
        std::wstring path;
        const std::uint16_t found =
            vocasel::findModule(language, vocasel::ptr(dir), vocasel::ptr(pre), vocasel::ptr(fmt),
                                vocasel::ptr(ext), vocasel::ptr(primary), defaultLanguage, &path);
        if (found == 0 || pathOut == nullptr) return found;
        std::mbstate_t state{};
        const wchar_t* src = path.c_str();
        char narrow[VOCASEL_MAX_PATH];
        const std::size_t n = std::wcsrtombs(narrow, &src, sizeof narrow, &state);
        if (n == static_cast<std::size_t>(-1) || src != nullptr)
            return 0;  // unconvertible or too long
        std::memcpy(pathOut, narrow, n + 1);
        return found;
    });
}

uint16_t FindPrimaryLangDllA(uint16_t language, const char* directory, const char* prefix,
                             const char* primaryFormat, const char* extension) noexcept {
    return vocasel::guarded([&]() -> std::uint16_t {
        vocasel::selectUserLocale();
        std::optional<std::wstring> dir, pre, primary, ext;
        if (!vocasel::widen(directory, dir) || !vocasel::widen(prefix, pre) ||
            !vocasel::widen(primaryFormat, primary) || !vocasel::widen(extension, ext))
            return 0;
        return vocasel::findPrimary(language, vocasel::ptr(dir), vocasel::ptr(pre),
                                    vocasel::ptr(primary), vocasel::ptr(ext));
    });
}

}  // extern "C"
