// Single instance through flock on a lock file; activation requests over a Unix socket.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/single_instance.h"

namespace platform {
namespace {

// Where the lock goes: the user's runtime directory, else the temporary directory with the
// user id in the name.
std::vector<std::string> lockBases(std::string_view name) {
    std::vector<std::string> bases;
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir != nullptr && dir[0] == '/') {
        std::string base = dir;
        bases.push_back(base.append("/").append(name));
    }
    std::error_code ec;
    std::string base = std::filesystem::temp_directory_path(ec).string();
    if (ec || base.empty()) base = "/tmp";
    bases.push_back(base.append("/").append(name).append("-").append(std::to_string(::getuid())));
    return bases;
}

bool socketAddress(const std::string& path, sockaddr_un& addr) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

SingleInstance::SingleInstance(std::string_view name) {
    for (const std::string& base : lockBases(name)) {
        m_lockPath = base + ".lock";
        m_socketPath = base + ".sock";
        m_lockFd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_lockFd >= 0) break;
    }
    if (m_lockFd < 0) return;
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        m_claim = errno == EWOULDBLOCK ? Claim::AlreadyRunning : Claim::Failed;
        ::close(m_lockFd);
        m_lockFd = -1;
        return;
    }
    m_claim = Claim::Owner;

    // Activation is a convenience: the claim holds even when the socket cannot be set up.
    sockaddr_un addr;
    if (!socketAddress(m_socketPath, addr)) return;
    ::unlink(m_socketPath.c_str());
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) return;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listenFd, 4) != 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
    }
}

SingleInstance::~SingleInstance() {
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_socketPath.c_str());
    }
    if (m_lockFd >= 0) ::close(m_lockFd);
}

bool SingleInstance::activationRequested() {
    if (m_listenFd < 0) return false;
    bool requested = false;
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) break;
        requested = true;
        ::close(fd);
    }
    return requested;
}

bool SingleInstance::requestActivation() const {
    if (m_claim != Claim::AlreadyRunning) return false;
    sockaddr_un addr;
    if (!socketAddress(m_socketPath, addr)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

}  // namespace platform
