// Xvfb and child-process helpers for the GUI tests.
#include "xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace gui_test {
namespace {

constexpr auto kServerStartTimeout = std::chrono::seconds(15);

std::vector<char*> argvOf(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// fork + exec that ends the child with this process, even when a test runner kills us.
pid_t spawnTied(const std::vector<std::string>& args, int keepFd, int stdoutFd, bool quiet) {
    std::vector<char*> argv = argvOf(args);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    if (stdoutFd >= 0) dup2(stdoutFd, 1);
    if (quiet) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 2);
    }
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

bool XvfbServer::start() {
    int fds[2];
    if (pipe(fds) != 0) {
        m_error = "pipe failed";
        return false;
    }
    // Xvfb picks the first free display itself and writes its number to this descriptor.
    const std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                           "-screen",   "0",          "1024x768x24",
                                           "-nolisten", "tcp",        "-noreset"};
    m_pid = spawnTied(args, fds[1], -1, true);
    close(fds[1]);
    if (m_pid < 0) {
        m_pid = -1;
        close(fds[0]);
        m_error = "cannot start Xvfb";
        return false;
    }
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kServerStartTimeout;
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    const std::size_t end = number.find('\n');
    if (end == std::string::npos || end == 0) {
        m_error = "Xvfb did not report a display";
        stop();
        return false;
    }
    // Appended rather than `":" + number.substr(...)`: GCC 12 at -O3 reports a false
    // -Wrestrict overlap in the inlined insert-at-front of that form.
    m_display.assign(1, ':');
    m_display.append(number, 0, end);
    setenv("DISPLAY", m_display.c_str(), 1);
    return true;
}

void XvfbServer::stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

bool Process::start(const std::vector<std::string>& args) {
    m_status = -1;
    m_pid = spawnTied(args, -1, -1, false);
    return m_pid > 0;
}

int Process::poll() {
    if (m_pid <= 0) return m_status;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return m_status;
}

int Process::wait(std::chrono::milliseconds timeout) {
    waitFor([this] { return poll() >= 0 || m_pid <= 0; }, timeout);
    return poll();
}

void Process::kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    if (wait(std::chrono::seconds(5)) < 0 && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
}

CommandResult run(const std::vector<std::string>& args) {
    CommandResult result;
    int fds[2];
    if (pipe(fds) != 0) return result;
    std::vector<char*> argv = argvOf(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return result;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) result.out.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    while (!result.out.empty() && result.out.back() == '\n')
        result.out.pop_back();
    return result;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             const std::function<void()>& between) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (between) between();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace gui_test
