// Single instance through flock on a lock file; activation requests over a Unix socket.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

std::string tempDirectory() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    return ec || dir.empty() ? std::string("/tmp") : dir;
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A directory only this user can enter: created with mode 0700 when missing, refused when it
// is a symbolic link, belongs to someone else or lets others in.
bool privateDirectory(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// Where the lock may go, in order: the user's runtime directory, the temporary directory
// with the user id in the name, and a private per-user directory in the temporary directory
// (taken when another user holds the second).
std::vector<std::string> lockBases(std::string_view name) {
    std::vector<std::string> bases;
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir != nullptr && dir[0] == '/') {
        std::string base = dir;
        bases.push_back(base.append("/").append(name));
    }
    const std::string uid = std::to_string(::getuid());
    bases.push_back(tempDirectory() + "/" + std::string(name) + "-" + uid);
    bases.push_back(tempDirectory() + "/" + lowerCase(name) + "-" + uid + "/" + std::string(name));
    return bases;
}

// Opens the lock file at `path` (creating it with mode 0600); -1 unless it is a regular file,
// not reached through a symbolic link, owned by this user and closed to everyone else.
int openOwnLockFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
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
    const std::vector<std::string> bases = lockBases(name);
    for (std::size_t i = 0; i < bases.size() && m_lockFd < 0; ++i) {
        if (i + 1 == bases.size() &&
            !privateDirectory(bases[i].substr(0, bases[i].find_last_of('/'))))
            break;
        m_lockPath = bases[i] + ".lock";
        m_socketPath = bases[i] + ".sock";
        m_lockFd = openOwnLockFile(m_lockPath);
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
