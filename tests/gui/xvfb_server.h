// A private X server for GUI tests: Xvfb on the first free display number, stopped with the
// object; and small helpers to run X tools against it.
#ifndef TESTS_GUI_XVFB_SERVER_H
#define TESTS_GUI_XVFB_SERVER_H

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace gui_test {

// Whether a program is found on PATH.
bool onPath(const std::string& program);

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server and points $DISPLAY at it; false (with `error()`) on failure.
    bool start();
    void stop();
    const std::string& display() const { return m_display; }
    const std::string& error() const { return m_error; }

private:
    pid_t m_pid = -1;
    std::string m_display;
    std::string m_error;
};

// A child process started with the current environment.
class Process {
public:
    Process() = default;
    ~Process() { kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool start(const std::vector<std::string>& argv);
    // Exit status, or -1 while it runs (or was killed by a signal).
    int poll();
    // Waits for the exit up to `timeout`; the exit status, or -1 on time-out.
    int wait(std::chrono::milliseconds timeout);
    void kill();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_status = -1;
};

// Runs a command to its end; its standard output with trailing newlines removed.
struct CommandResult {
    int status = -1;
    std::string out;
};
CommandResult run(const std::vector<std::string>& argv);

// Calls `done` until it returns true or `timeout` passes, calling `between` in between.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             const std::function<void()>& between = {});

}  // namespace gui_test

#endif  // TESTS_GUI_XVFB_SERVER_H
