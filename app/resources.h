// The active resource module: the built-in English resources or a loaded language module.
#ifndef APP_RESOURCES_H
#define APP_RESOURCES_H

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/module.h"
#include "resources/language_module.h"

namespace app {

class Resources {
public:
    // The built-in English resources.
    Resources();
    Resources(Resources&&) noexcept = default;
    Resources& operator=(Resources&&) noexcept = default;

    // Loads the language module at `path`; false (and the resources unchanged) when it
    // cannot be loaded or carries no valid string table.
    bool loadModule(const std::string& path);

    // The text of a string or dialog text id; ids the module lacks come from the built-in
    // table, unknown ids give an empty string.
    std::string text(std::uint32_t id) const;
    // Application title: "Luxador" unless replaced (see setTitle).
    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    // The module's own title, or null (the built-in resources have "Luxador").
    const char* moduleTitle() const { return m_table->title; }
    // Language of the texts.
    std::uint16_t language() const { return m_table->language; }
    bool fromModule() const { return m_module.loaded(); }
    // File of the loaded language module, empty for the built-in resources.
    const std::string& modulePath() const { return m_module.path(); }

private:
    platform::Module m_module;
    const QelLanguageModule* m_table;
    std::string m_title = "Luxador";
};

}  // namespace app

#endif  // APP_RESOURCES_H
