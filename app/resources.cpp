// The active resource module and its string look-up.
#include "app/resources.h"

#include "resources/strings_en.h"

namespace app {
namespace {

const char* find(const QelLanguageModule& table, std::uint32_t id) {
    for (std::uint32_t i = 0; i < table.count; ++i)
        if (table.strings[i].id == id) return table.strings[i].text;
    return nullptr;
}

bool valid(const QelLanguageModule* table) {
    if (table == nullptr || table->magic != QEL_LANGUAGE_MODULE_MAGIC ||
        table->version != QEL_LANGUAGE_MODULE_VERSION)
        return false;
    if (table->count != 0 && table->strings == nullptr) return false;
    for (std::uint32_t i = 0; i < table->count; ++i)
        if (table->strings[i].text == nullptr) return false;
    return true;
}

}  // namespace

Resources::Resources() : m_table(&builtinResources()) {}

bool Resources::loadModule(const std::string& path) {
    platform::Module module;
    if (!module.load(path)) return false;
    const auto* table =
        static_cast<const QelLanguageModule*>(module.symbol(QEL_LANGUAGE_MODULE_SYMBOL));
    if (!valid(table)) return false;
    m_module = std::move(module);
    m_table = table;
    return true;
}

std::string Resources::text(std::uint32_t id) const {
    if (const char* s = find(*m_table, id)) return s;
    if (const char* s = find(builtinResources(), id)) return s;
    return {};
}

}  // namespace app
