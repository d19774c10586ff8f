// SIGINT and standard input polled for cancel requests.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/console.h"

namespace platform {
namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous;

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
    ::signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the process
}

}  // namespace

ConsoleCancel::ConsoleCancel() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_previous);
}

ConsoleCancel::~ConsoleCancel() {
    ::sigaction(SIGINT, &g_previous, nullptr);
}

bool ConsoleCancel::cancelRequested() {
    bool requested = g_interrupted != 0;
    g_interrupted = 0;
    while (!m_inputClosed) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 0) <= 0 || (input.revents & (POLLIN | POLLHUP)) == 0) break;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_inputClosed = true;
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (m_line.size() < 64) m_line += buffer[i];
                continue;
            }
            std::string_view line(m_line);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.remove_suffix(1);
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            if (line == "c" || line == "C") requested = true;
            m_line.clear();
        }
    }
    return requested;
}

bool ConsoleCancel::interactive() {
    return ::isatty(STDIN_FILENO) == 1;
}

void setEnvironment(const char* name, const std::string& value) {
    ::setenv(name, value.c_str(), 1);
}

}  // namespace platform
