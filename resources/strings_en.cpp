// The built-in English resources.
#include "resources/strings_en.h"

#include <iterator>

namespace app {
namespace {

constexpr QelStringEntry kStrings[] = {
#include "resources/strings_en.inc"
};

constexpr QelLanguageModule kResources{QEL_LANGUAGE_MODULE_MAGIC,
                                       QEL_LANGUAGE_MODULE_VERSION,
                                       0x0409,
                                       0,
                                       std::size(kStrings),
                                       "Luxador",
                                       kStrings};

}  // namespace

const QelLanguageModule& builtinResources() {
    return kResources;
}

}  // namespace app
