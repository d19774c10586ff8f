// Language module lookup through the exported interface, in scratch directories.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/scratch_dir.h"
#include "vocasel.h"

namespace fs = std::filesystem;

namespace {

class ModuleDir : public testsupport::ScratchDirTest {
protected:
    void touch(const std::string& name) { std::ofstream(m_dir / name) << "x"; }
    std::wstring dir() const { return m_dir.wstring(); }
    std::wstring path(const std::string& name) const { return (m_dir / name).wstring(); }

    std::uint16_t find(std::uint16_t language, std::wstring* pathOut = nullptr,
                       const wchar_t* primary = L"??%02X", std::uint16_t fallback = 1033) {
        wchar_t buffer[VOCASEL_MAX_PATH] = L"untouched";
        const auto result = VocaselFileW(language, dir().c_str(), L"lang_vq_", L"%04X", L".dll",
                                         primary, fallback, buffer);
        if (pathOut) *pathOut = buffer;
        return result;
    }
};

TEST_F(ModuleDir, ExactLanguageGivesItsPath) {
    touch("lang_vq_0411.dll");
    touch("lang_vq_0409.dll");
    std::wstring found;
    EXPECT_EQ(find(0x0411, &found), 0x0411);
    EXPECT_EQ(found, path("lang_vq_0411.dll"));
}

TEST_F(ModuleDir, SamePrimaryLanguageGivesSmallestId) {
    touch("lang_vq_0C11.dll");
    touch("lang_vq_0411.dll");
    touch("lang_vq_0409.dll");
    std::wstring found;
    EXPECT_EQ(find(0x0811, &found), 0x0411);
    EXPECT_EQ(found, path("lang_vq_0411.dll"));
    EXPECT_EQ(FindPrimaryLangDllW(0x0811, dir().c_str(), L"lang_vq_", L"??%02X", L".dll"), 0x0411);
}

TEST_F(ModuleDir, OtherLanguageFallsBackToDefault) {
    touch("lang_vq_0409.dll");
    std::wstring found;
    EXPECT_EQ(find(0x0407, &found), 0x0409);
    EXPECT_EQ(found, path("lang_vq_0409.dll"));
    // Without a primary format the default is the only fallback.
    EXPECT_EQ(find(0x0C0A, &found, nullptr), 0x0409);
}

TEST_F(ModuleDir, MissingDefaultGivesZeroAndLeavesPath) {
    touch("lang_vq_040C.dll");
    std::wstring found;
    EXPECT_EQ(find(0x0407, &found), 0);
    EXPECT_EQ(found, L"untouched");
    EXPECT_EQ(find(0x0407, &found, L"??%02X", 0), 0);
}

TEST_F(ModuleDir, NamesWithNonDigitsOrDirectoriesDoNotCount) {
    touch("lang_vq_XY11.dll");
    fs::create_directory(m_dir / "lang_vq_0011.dll");
    EXPECT_EQ(FindPrimaryLangDllW(0x0411, dir().c_str(), L"lang_vq_", L"??%02X", L".dll"), 0);
    touch("lang_vq_0C11.dll");
    EXPECT_EQ(FindPrimaryLangDllW(0x0411, dir().c_str(), L"lang_vq_", L"??%02X", L".dll"), 0x0C11);
    // A directory is no module even for the exact language.
    EXPECT_EQ(find(0x0011, nullptr, nullptr, 0), 0);
}

TEST_F(ModuleDir, DecimalPrimaryFormatAcceptsOnlyDecimalNames) {
    touch("m_0A17.x");
    touch("m_0417.x");
    touch("m_0317.x");
    // 0x0411: primary language 0x11 = 17 printed in decimal.
    EXPECT_EQ(FindPrimaryLangDllW(0x0411, dir().c_str(), L"m_", L"??%02d", L".x"), 317);
}

TEST_F(ModuleDir, MissingStringsGiveZero) {
    touch("lang_vq_0409.dll");
    wchar_t buffer[VOCASEL_MAX_PATH] = L"";
    EXPECT_EQ(VocaselFileW(0x0409, dir().c_str(), nullptr, L"%04X", L".dll", nullptr, 1033, buffer),
              0);
    EXPECT_EQ(
        VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", nullptr, L".dll", nullptr, 1033, buffer),
        0);
    EXPECT_EQ(
        VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", L"%04X", nullptr, nullptr, 1033, buffer),
        0);
    EXPECT_EQ(FindPrimaryLangDllW(0x0409, dir().c_str(), L"lang_vq_", nullptr, L".dll"), 0);
    // No output buffer: the id alone.
    EXPECT_EQ(
        VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", L"%04X", L".dll", nullptr, 1033, nullptr),
        0x0409);
}

TEST_F(ModuleDir, FormatsOtherThanOneIntegerConversionAreRefused) {
    touch("lang_vq_0409.dll");
    touch("100%_0409.dll");
    EXPECT_EQ(VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", L"%s", L".dll", nullptr, 0, nullptr),
              0);
    EXPECT_EQ(
        VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", L"%04X%n", L".dll", nullptr, 0, nullptr),
        0);
    EXPECT_EQ(
        VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", L"0409", L".dll", nullptr, 0, nullptr), 0);
    EXPECT_EQ(
        VocaselFileW(0x0409, dir().c_str(), L"lang_vq_", L"%999999X", L".dll", nullptr, 0, nullptr),
        0);
    EXPECT_EQ(VocaselFileW(0x0409, dir().c_str(), L"100%%_", L"%04X", L".dll", nullptr, 0, nullptr),
              0x0409);
}

TEST_F(ModuleDir, DirectoryIsNormalisedAndJoinedOnce) {
    touch("lang_vq_0409.dll");
    fs::create_directory(m_dir / "sub");
    const std::wstring indirect = dir() + L"/sub/../";
    wchar_t buffer[VOCASEL_MAX_PATH];
    ASSERT_EQ(
        VocaselFileW(0x0409, indirect.c_str(), L"lang_vq_", L"%04X", L".dll", nullptr, 0, buffer),
        0x0409);
    EXPECT_EQ(std::wstring(buffer), path("lang_vq_0409.dll"));
}

// A full path must leave room for its terminator in the caller's VOCASEL_MAX_PATH buffer.
TEST_F(ModuleDir, PathsReachingTheLimitAreRefused) {
    const std::size_t fileName = std::string("/lang_vq_0409.dll").size();
    const struct {
        std::size_t length;
        std::uint16_t expected;
    } cases[] = {{VOCASEL_MAX_PATH - 1, 0x0409}, {VOCASEL_MAX_PATH, 0}, {VOCASEL_MAX_PATH + 1, 0}};
    for (const auto& c : cases) {
        const std::size_t sub = c.length - fileName - m_dir.string().size() - 1;
        const fs::path directory = m_dir / std::string(sub, 'd');
        fs::create_directory(directory);
        std::ofstream(directory / "lang_vq_0409.dll") << "x";
        wchar_t buffer[VOCASEL_MAX_PATH + 4];
        std::wmemset(buffer, L'#', VOCASEL_MAX_PATH + 4);
        EXPECT_EQ(VocaselFileW(0x0409, directory.wstring().c_str(), L"lang_vq_", L"%04X", L".dll",
                               nullptr, 0, buffer),
                  c.expected)
            << c.length;
        EXPECT_EQ(std::wstring(buffer + VOCASEL_MAX_PATH, 4), L"####") << c.length;
        if (c.expected != 0) {
            EXPECT_EQ(std::wcslen(buffer), c.length);
        }
    }
}

TEST_F(ModuleDir, NarrowTwinsAgreeWithWideOnes) {
    touch("lang_vq_0C11.dll");
    touch("lang_vq_0409.dll");
    const std::string narrowDir = m_dir.string();
    char buffer[VOCASEL_MAX_PATH] = "untouched";
    EXPECT_EQ(
        VocaselFileA(0x0411, narrowDir.c_str(), "lang_vq_", "%04X", ".dll", "??%02X", 1033, buffer),
        0x0C11);
    EXPECT_EQ(std::string(buffer), (m_dir / "lang_vq_0C11.dll").string());
    EXPECT_EQ(FindPrimaryLangDllA(0x0811, narrowDir.c_str(), "lang_vq_", "??%02X", ".dll"), 0x0C11);
    EXPECT_EQ(
        VocaselFileA(0x0411, narrowDir.c_str(), nullptr, "%04X", ".dll", "??%02X", 1033, buffer),
        0);
    EXPECT_EQ(FindPrimaryLangDllA(0x0411, narrowDir.c_str(), "lang_vq_", nullptr, ".dll"), 0);
}

// Null and relative directories are taken from the running program's directory.
TEST(ProgramDirectory, NullAndRelativeDirectoriesStartThere) {
    const fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
    const std::string sub = "vocasel_rel_" + std::to_string(::getpid());
    fs::create_directories(exeDir / sub);
    std::ofstream(exeDir / sub / "t_0409.m") << "x";
    std::ofstream(exeDir / (sub + "_0407.m")) << "x";
    wchar_t buffer[VOCASEL_MAX_PATH];
    const std::wstring wideSub = fs::path(sub).wstring();
    EXPECT_EQ(VocaselFileW(0x0409, wideSub.c_str(), L"t_", L"%04X", L".m", nullptr, 0, buffer),
              0x0409);
    EXPECT_EQ(std::wstring(buffer), (exeDir / sub / "t_0409.m").wstring());
    const std::wstring prefix = wideSub + L"_";
    EXPECT_EQ(VocaselFileW(0x0407, nullptr, prefix.c_str(), L"%04X", L".m", nullptr, 0, buffer),
              0x0407);
    EXPECT_EQ(std::wstring(buffer), (exeDir / (sub + "_0407.m")).wstring());
    fs::remove_all(exeDir / sub);
    fs::remove(exeDir / (sub + "_0407.m"));
}

}  // namespace
