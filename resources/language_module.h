/* The record a language module exports: its string table in UTF-8. Plain C, shared by the
 * program and the modules it loads. */
#ifndef RESOURCES_LANGUAGE_MODULE_H
#define RESOURCES_LANGUAGE_MODULE_H

#include <stdint.h>

#include "qel_records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Name of the one data symbol a language module exports. */
#define QEL_LANGUAGE_MODULE_SYMBOL "QelLanguageModule_Resources"
#define QEL_LANGUAGE_MODULE_MAGIC 0x4C78524Cu /* "LxRL" */
#define QEL_LANGUAGE_MODULE_VERSION 1u

typedef struct QelStringEntry {
    uint32_t id; /* string table or dialog text id (resources/string_ids.h) */
    uint32_t padding;
    const char* text; /* UTF-8, never null */
} QelStringEntry;

typedef struct QelLanguageModule {
    uint32_t magic;    /* QEL_LANGUAGE_MODULE_MAGIC */
    uint32_t version;  /* QEL_LANGUAGE_MODULE_VERSION */
    uint16_t language; /* Windows language identifier of the texts */
    uint16_t padding;
    uint32_t count;    /* entries in `strings` */
    const char* title; /* application title, or null to keep "Luxador" */
    const QelStringEntry* strings;
} QelLanguageModule;

QEL_STATIC_ASSERT(sizeof(QelStringEntry) == 16, "QelStringEntry is 16 bytes");
QEL_STATIC_ASSERT(sizeof(QelLanguageModule) == 32, "QelLanguageModule is 32 bytes");

#ifdef __cplusplus
}
#endif

#endif /* RESOURCES_LANGUAGE_MODULE_H */
