// Terminal text in the locale's character set.
#include "platform/console.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets (or, with null, removes) an environment variable for its lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string convertedIn(const char* lang, std::string_view utf8) {
    const ScopedEnv all("LC_ALL", nullptr), ctype("LC_CTYPE", nullptr), language("LANG", lang);
    return platform::ConsoleEncoding()(utf8);
}

TEST(ConsoleEncoding, FollowsTheLocaleCharacterSet) {
    struct Case {
        const char* lang;
        std::string_view in;
        std::string out;
    } const cases[] = {
        {"ja_JP.eucJP", "照度: 500 lx", "\xBE\xC8\xC5\xD9: 500 lx"},
        {"ja_JP.SJIS", "照度", "\x8F\xC6\x93\x78"},
        {"ja_JP.UTF-8", "照度", "照度"},
        {"C.utf8", "照度", "照度"},
        {"C", "Type: 3波長形", "Type: 3???"},
        {"de_DE.ISO-8859-1",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xFC\xDF"
         "e"},
        {"xx_XX.NO-SUCH-SET", "照度", "照度"},  // unknown: unchanged
    };
    for (const Case& c : cases)
        EXPECT_EQ(convertedIn(c.lang, c.in), c.out) << c.lang;
}

}  // namespace
