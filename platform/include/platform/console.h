// The terminal side of the console front-end: Ctrl-C and a typed "c" as cancel requests.
#ifndef PLATFORM_CONSOLE_H
#define PLATFORM_CONSOLE_H

#include <string>

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
    // last call. Reads only what is already waiting, never blocks.
    bool cancelRequested();
    // Whether standard input is a terminal.
    static bool interactive();

private:
    std::string m_line;
    bool m_inputClosed = false;
};

// Sets an environment variable for this process and the modules it loads.
void setEnvironment(const char* name, const std::string& value);

}  // namespace platform

#endif  // PLATFORM_CONSOLE_H
