// Start-up: single instance, the language module, then the main dialog.
#include "app/startup.h"

#include "platform/utf8.h"
#include "vocasel.h"

namespace app {

Resources selectResources(std::uint16_t uiLanguage, const wchar_t* directory) {
    Resources resources;
    if (uiLanguage == 0) return resources;
    wchar_t path[VOCASEL_MAX_PATH];
    const std::uint16_t found =
        VocaselFileW(uiLanguage, directory, kModulePrefix, kModuleIdFormat, kModuleExtension,
                     kModulePrimaryFormat, kDefaultLanguage, path);
    if (found == 0) return resources;
    const auto utf8 = platform::toUtf8(path);
    if (!utf8) return resources;
    if (!resources.loadModule(*utf8)) return resources;
    if (uiLanguage == kJapanese) resources.setTitle(kJapaneseTitle);
    return resources;
}

CLuxadorUIApp::Start CLuxadorUIApp::initInstance(std::uint16_t uiLanguage,
                                                 const char* instanceName) {
    m_resources = Resources();
    m_instance = std::make_unique<platform::SingleInstance>(instanceName);
    switch (m_instance->claim()) {
        case platform::SingleInstance::Claim::Failed:
            m_instance.reset();
            return Start::Failed;
        case platform::SingleInstance::Claim::AlreadyRunning:
            m_instance->requestActivation();
            m_instance.reset();
            return Start::AlreadyRunning;
        case platform::SingleInstance::Claim::Owner:
            break;
    }
    m_resources = selectResources(uiLanguage);
    return Start::Run;
}

bool CLuxadorUIApp::runMainDialog(FrontEnd& frontEnd,
                                  std::optional<CLuxadorUIDlg::Devices> devices) {
    CLuxadorUIDlg dlg =
        devices ? CLuxadorUIDlg(frontEnd, std::move(*devices)) : CLuxadorUIDlg(frontEnd);
    if (m_instance) dlg.setActivationCheck([this] { return m_instance->activationRequested(); });
    frontEnd.runMainDialog(dlg);
    return dlg.measured();
}

}  // namespace app
