// Start-up: the UI language from the locale, the language module and the single instance.
#include "app/startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/single_instance.h"
#include "platform/ui_language.h"
#include "resources/string_ids.h"
#include "tests/support/scratch_dir.h"

namespace app {
namespace {

namespace fs = std::filesystem;

TEST(UiLanguage, LocaleNamesMapToWindowsLanguageIds) {
    EXPECT_EQ(platform::languageIdFromLocale("ja_JP.UTF-8"), 0x0411);
    EXPECT_EQ(platform::languageIdFromLocale("ja"), 0x0411);
    EXPECT_EQ(platform::languageIdFromLocale("en_US.UTF-8"), 0x0409);
    EXPECT_EQ(platform::languageIdFromLocale("en_GB@euro"), 0x0809);
    EXPECT_EQ(platform::languageIdFromLocale("de_DE.ISO-8859-1"), 0x0407);
    EXPECT_EQ(platform::languageIdFromLocale("de_AT"), 0x0C07);
    EXPECT_EQ(platform::languageIdFromLocale("es_ES.UTF-8"), 0x0C0A);
    EXPECT_EQ(platform::languageIdFromLocale("es_MX"), 0x080A);
    EXPECT_EQ(platform::languageIdFromLocale("zh_TW.UTF-8"), 0x0404);
    EXPECT_EQ(platform::languageIdFromLocale("fr_XX"), 0x040C);  // unknown territory: default
    EXPECT_EQ(platform::languageIdFromLocale("C.UTF-8"), 0x0409);
    EXPECT_EQ(platform::languageIdFromLocale("POSIX"), 0x0409);
    EXPECT_EQ(platform::languageIdFromLocale("xx_YY"), 0);
    EXPECT_EQ(platform::languageIdFromLocale(""), 0);
}

TEST(UiLanguage, FirstSetVariableWins) {
    const auto set = [](const char* name, const char* value) {
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    };
    set("LC_ALL", "");
    set("LC_MESSAGES", "ja_JP.UTF-8");
    set("LANG", "de_DE.UTF-8");
    EXPECT_EQ(platform::userUiLanguage(), 0x0411);
    set("LC_ALL", "es_ES.UTF-8");
    EXPECT_EQ(platform::userUiLanguage(), 0x0C0A);
    set("LC_ALL", nullptr);
    set("LC_MESSAGES", nullptr);
    EXPECT_EQ(platform::userUiLanguage(), 0x0407);
    set("LANG", nullptr);
    EXPECT_EQ(platform::userUiLanguage(), 0x0409);
}

// A program directory holding copies of the built language modules under chosen names.
class LanguageModules : public testsupport::ScratchDirTest {
protected:
    void install(const char* built, const std::string& as) {
        fs::copy_file(fs::path(LANGUAGE_MODULE_DIR) / built, m_dir / as);
    }
    Resources select(std::uint16_t language) {
        return selectResources(language, m_dir.wstring().c_str());
    }
};

TEST_F(LanguageModules, JapaneseGetsJapaneseTextsAndTitle) {
    install("lang_vq_0411.so", "lang_vq_0411.so");
    install("lang_vq_0409.so", "lang_vq_0409.so");
    const Resources r = select(0x0411);
    EXPECT_EQ(r.language(), 0x0411);
    EXPECT_EQ(r.text(ids::kThreeBandType), "3波長形");
    EXPECT_EQ(r.title(), "Luxador 環境光測定");
    EXPECT_EQ(r.modulePath(), (m_dir / "lang_vq_0411.so").string());

    // Only the English module found: English texts under the Japanese title.
    fs::remove(m_dir / "lang_vq_0411.so");
    const Resources english = select(0x0411);
    EXPECT_EQ(english.modulePath(), (m_dir / "lang_vq_0409.so").string());
    EXPECT_EQ(english.text(ids::kThreeBandType), "Three Band Type");
    EXPECT_EQ(english.title(), "Luxador 環境光測定");
}

TEST_F(LanguageModules, PrimaryLanguageModuleServesOtherSubLanguages) {
    install("lang_vq_0409.so", "lang_vq_040A.so");
    const Resources r = select(0x0C0A);
    EXPECT_EQ(r.modulePath(), (m_dir / "lang_vq_040A.so").string());
    // Japanese for Japan only: another language keeps the plain title.
    EXPECT_EQ(r.title(), "Luxador");
}

TEST_F(LanguageModules, LanguageWithoutModuleGetsEnglishModule) {
    install("lang_vq_0411.so", "lang_vq_0411.so");
    install("lang_vq_0409.so", "lang_vq_0409.so");
    const Resources r = select(0x0407);
    EXPECT_EQ(r.modulePath(), (m_dir / "lang_vq_0409.so").string());
    EXPECT_EQ(r.text(ids::kComplete), "Measurement complete. ");
}

TEST_F(LanguageModules, BuiltInEnglishWhenNoModuleLoads) {
    for (std::uint16_t language : {0x0411, 0x0409, 0}) {
        const Resources r = select(language);
        EXPECT_FALSE(r.fromModule());
        EXPECT_EQ(r.title(), "Luxador");
        EXPECT_EQ(r.text(ids::kNoSensor),
                  "Could not detect the sensor.\nMake sure a compatible sensor is connected "
                  "correctly. ");
    }
    std::ofstream(m_dir / "lang_vq_0411.so") << "not a shared object";
    install("lang_vq_0409.so", "lang_vq_0407.so");  // loads, but the locator prefers 0411
    EXPECT_FALSE(select(0x0411).fromModule());
    EXPECT_EQ(select(0x0411).text(ids::kThreeBandType), "Three Band Type");
}

TEST(SingleInstance, SecondClaimFindsTheFirstAndAsksItToActivate) {
    const std::string name = "luxador_test_" + std::to_string(::getpid());
    {
        CLuxadorUIApp first;
        ASSERT_EQ(first.initInstance(0, name.c_str()), CLuxadorUIApp::Start::Run);
        platform::SingleInstance probe(name);
        EXPECT_EQ(probe.claim(), platform::SingleInstance::Claim::AlreadyRunning);
        EXPECT_FALSE(probe.activationRequested());

        CLuxadorUIApp second;
        EXPECT_EQ(second.initInstance(0, name.c_str()), CLuxadorUIApp::Start::AlreadyRunning);
    }
    // The claim goes with its owner.
    platform::SingleInstance owner(name);
    EXPECT_EQ(owner.claim(), platform::SingleInstance::Claim::Owner);
    EXPECT_FALSE(owner.activationRequested());
    platform::SingleInstance later(name);
    EXPECT_TRUE(later.requestActivation());
    EXPECT_TRUE(owner.activationRequested());
    EXPECT_FALSE(owner.activationRequested());
}

}  // namespace
}  // namespace app
