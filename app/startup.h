// The application object: single instance, language module, then the main dialog.
#ifndef APP_STARTUP_H
#define APP_STARTUP_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/resources.h"
#include "app/workflow.h"
#include "platform/single_instance.h"

namespace app {

// File names of language modules: "lang_vq_" + id as "%04X" + the platform's extension; the
// primary-language fallback matches "??%02X", and US English is the default.
inline constexpr const wchar_t* kModulePrefix = L"lang_vq_";
inline constexpr const wchar_t* kModuleIdFormat = L"%04X";
inline constexpr const wchar_t* kModulePrimaryFormat = L"??%02X";
inline constexpr const wchar_t* kModuleExtension = L".so";
inline constexpr std::uint16_t kDefaultLanguage = 1033;
inline constexpr std::uint16_t kJapanese = 1041;
// Application title for Japanese, whichever module was loaded.
inline constexpr const char* kJapaneseTitle = "Luxador 環境光測定";

// Resources for a UI language: the module VocaselFileW finds in `directory` (null: the
// program's directory), or the built-in English ones when the language is 0 or no module
// is found or loads. For Japanese, a loaded module brings the Japanese title.
Resources selectResources(std::uint16_t uiLanguage, const wchar_t* directory = nullptr);

class CLuxadorUIApp {
public:
    enum class Start { Run, AlreadyRunning, Failed };

    // Claims the instance name and, when this is the only instance, selects the resources
    // for `uiLanguage`. A later start asks the running one to come to the front and ends.
    Start initInstance(std::uint16_t uiLanguage, const char* instanceName = kInstanceName);

    // Valid after initInstance returned Run.
    const Resources& resources() const { return m_resources; }

    // Runs the main dialog on `frontEnd` until it closes; true when its last measurement
    // ran to the results.
    bool runMainDialog(FrontEnd& frontEnd, std::optional<CLuxadorUIDlg::Devices> devices = {});

private:
    std::unique_ptr<platform::SingleInstance> m_instance;
    Resources m_resources;
};

}  // namespace app

#endif  // APP_STARTUP_H
