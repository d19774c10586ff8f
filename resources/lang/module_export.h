// Declares the record a language module exports under its one public name.
#ifndef RESOURCES_LANG_MODULE_EXPORT_H
#define RESOURCES_LANG_MODULE_EXPORT_H

#include "resources/language_module.h"

extern "C" {
__attribute__((visibility("default"))) extern const QelLanguageModule QelLanguageModule_Resources;
}

#endif  // RESOURCES_LANG_MODULE_EXPORT_H
