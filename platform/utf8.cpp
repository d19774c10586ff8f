// Strict conversions between UTF-8 and wide strings.
#include "platform/utf8.h"

#include <cstdint>

namespace platform {

std::optional<std::string> toUtf8(std::wstring_view s) {
    std::string out;
    out.reserve(s.size());
    for (wchar_t wc : s) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::wstring> fromUtf8(std::string_view s) {
    std::wstring out;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t c;
        if (lead < 0x80) {
            n = 1, c = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            n = 2, c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            n = 3, c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            n = 4, c = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + n > s.size()) return std::nullopt;
        for (std::size_t k = 1; k < n; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (b & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        out += static_cast<wchar_t>(c);
        i += n;
    }
    return out;
}

}  // namespace platform
