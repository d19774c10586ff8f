// English language module (US English, 0x0409).
#include <iterator>

#include "resources/lang/module_export.h"

namespace {

constexpr QelStringEntry kStrings[] = {
#include "resources/strings_en.inc"
};

}  // namespace

extern "C" const QelLanguageModule QelLanguageModule_Resources{QEL_LANGUAGE_MODULE_MAGIC,
                                                               QEL_LANGUAGE_MODULE_VERSION,
                                                               0x0409,
                                                               0,
                                                               std::size(kStrings),
                                                               nullptr,
                                                               kStrings};
