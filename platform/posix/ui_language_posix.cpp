// Maps the locale environment to Windows language identifiers.
#include <array>
#include <cstdlib>
#include <string>

#include "platform/ui_language.h"

namespace platform {
namespace {

struct Primary {
    std::string_view code;  // ISO 639-1
    std::uint16_t primary;
};

// Primary language ids; the default sub-language (1) applies unless a territory below says
// otherwise.
constexpr std::array<Primary, 36> kPrimaries{{
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ro", 0x18},
    {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F},
    {"id", 0x21}, {"uk", 0x22}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27},
}};

struct Territory {
    std::string_view locale;  // language_TERRITORY
    std::uint16_t id;
};

constexpr std::array<Territory, 30> kTerritories{{
    {"zh_TW", 0x0404}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_MO", 0x1404},
    {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de_LI", 0x1407}, {"en_GB", 0x0809},
    {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809}, {"en_ZA", 0x1C09},
    {"en_IN", 0x4009}, {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_AR", 0x2C0A}, {"es_CO", 0x240A},
    {"es_CL", 0x340A}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr_LU", 0x140C},
    {"it_CH", 0x0810}, {"nl_BE", 0x0813}, {"pt_PT", 0x0816}, {"sv_FI", 0x081D}, {"nn_NO", 0x0814},
}};

constexpr std::uint16_t kUsEnglish = 0x0409;

}  // namespace

std::uint16_t languageIdFromLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX") return kUsEnglish;
    const std::string_view language = locale.substr(0, locale.find('_'));
    for (const Territory& t : kTerritories)
        if (t.locale == locale) return t.id;
    for (const Primary& p : kPrimaries)
        if (p.code == language) return static_cast<std::uint16_t>((1u << 10) | p.primary);
    return 0;
}

std::uint16_t userUiLanguage() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != 0) return languageIdFromLocale(value);
    }
    return kUsEnglish;
}

}  // namespace platform
