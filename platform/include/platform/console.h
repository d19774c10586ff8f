// The terminal side of the console front-end: Ctrl-C and a typed "c" as cancel requests.
#ifndef PLATFORM_CONSOLE_H
#define PLATFORM_CONSOLE_H

#include <string>
#include <string_view>

namespace platform {

// While it exists, the first Ctrl-C (SIGINT) is taken as a cancel request instead of ending
// the process; a second one ends it as usual. One at a time.
class ConsoleCancel {
public:
    ConsoleCancel();
    ~ConsoleCancel();
    ConsoleCancel(const ConsoleCancel&) = delete;
    ConsoleCancel& operator=(const ConsoleCancel&) = delete;

    // True once Ctrl-C was pressed or a line reading "c" arrived on standard input since the
    // last call. Reads a bounded part of what is already waiting, never blocks, so an input that
    // never runs dry cannot hold the caller.
    bool cancelRequested();
    // Whether standard input is a terminal.
    static bool interactive();

private:
    std::string m_line;
    bool m_inputClosed = false;
};

// Text for the terminal: converts UTF-8 to the character set of the user's locale (the first
// of LC_ALL, LC_CTYPE and LANG that is set), as that locale names it or, when the name carries
// none, as the installed locale defines it. Characters the set lacks become '?'. Text passes
// unchanged in a UTF-8 locale and when the character set is unknown.
class ConsoleEncoding {
public:
    ConsoleEncoding();
    ~ConsoleEncoding();
    ConsoleEncoding(const ConsoleEncoding&) = delete;
    ConsoleEncoding& operator=(const ConsoleEncoding&) = delete;

    std::string operator()(std::string_view utf8) const;
    // The character set converted to, empty when text passes unchanged.
    const std::string& charset() const { return m_charset; }

private:
    std::string m_charset;
    void* m_converter = nullptr;
};

// Sets an environment variable for this process and the modules it loads.
void setEnvironment(const char* name, const std::string& value);

}  // namespace platform

#endif  // PLATFORM_CONSOLE_H
