// The built-in English resources of the program.
#ifndef RESOURCES_STRINGS_EN_H
#define RESOURCES_STRINGS_EN_H

#include "resources/language_module.h"

namespace app {

// English string table and dialog texts; language 0x0409, title "Luxador".
const QelLanguageModule& builtinResources();

}  // namespace app

#endif  // RESOURCES_STRINGS_EN_H
