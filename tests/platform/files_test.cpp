// Wildcard matching of the directory search and strict UTF-8 conversion.
#include "platform/files.h"

#include <gtest/gtest.h>

#include "platform/utf8.h"

namespace {

TEST(Wildcard, QuestionMarkIsExactlyOneCharacter) {
    EXPECT_TRUE(platform::wildcardMatch("lang_vq_??11.dll", "lang_vq_0411.dll"));
    EXPECT_FALSE(platform::wildcardMatch("lang_vq_??11.dll", "lang_vq_411.dll"));
    EXPECT_FALSE(platform::wildcardMatch("lang_vq_??11.dll", "lang_vq_00411.dll"));
    // One character even when UTF-8 spends several bytes on it.
    EXPECT_TRUE(platform::wildcardMatch("a?b", "a照b"));
    EXPECT_FALSE(platform::wildcardMatch("a??b", "a照b"));
    EXPECT_FALSE(platform::wildcardMatch("Lang_vq_??11.dll", "lang_vq_0411.dll"));
}

TEST(Wildcard, StarMatchesAnyRunIncludingNone) {
    EXPECT_TRUE(platform::wildcardMatch("*.dll", ".dll"));
    EXPECT_TRUE(platform::wildcardMatch("lang*11*", "lang_vq_0411.dll"));
    EXPECT_TRUE(platform::wildcardMatch("*a*b", "xaab"));
    EXPECT_FALSE(platform::wildcardMatch("*a*b", "xaabc"));
    EXPECT_TRUE(platform::wildcardMatch("*", ""));
    EXPECT_FALSE(platform::wildcardMatch("?", ""));
}

// After a '*' gives up a character, '?' must still see whole characters.
TEST(Wildcard, StarBacktracksByWholeCharacters) {
    EXPECT_FALSE(platform::wildcardMatch("*??xy", "照xy"));
    EXPECT_TRUE(platform::wildcardMatch("*??xy", "照度xy"));
    EXPECT_TRUE(platform::wildcardMatch("*?y", "照度y"));
}

TEST(Utf8, RoundTripsAndRefusesInvalidInput) {
    EXPECT_EQ(platform::toUtf8(L"照度 lx"), "照度 lx");
    EXPECT_EQ(platform::fromUtf8("照度 lx"), std::wstring(L"照度 lx"));
    EXPECT_EQ(platform::fromUtf8("\xF0\x9F\x92\xA1"),
              std::wstring(1, static_cast<wchar_t>(0x1F4A1)));
    EXPECT_FALSE(platform::fromUtf8("\xC0\xAF"));      // overlong '/'
    EXPECT_FALSE(platform::fromUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(platform::fromUtf8("\xE7\x85"));      // truncated
    EXPECT_FALSE(platform::toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))));
    EXPECT_FALSE(platform::toUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))));
}

}  // namespace
