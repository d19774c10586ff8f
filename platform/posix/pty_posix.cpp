// Pseudo-terminal masters for simulated serial instruments.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/fd_io.h"
#include "platform/serial_port.h"

namespace platform {

PtyMaster::~PtyMaster() {
    close();
}

bool PtyMaster::open() {
    close();
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    char name[128] = {};
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return false;
    }
    // The master passes bytes through unchanged.
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) == 0) {
        tio.c_iflag = 0;
        tio.c_oflag = 0;
        tio.c_lflag = 0;
        ::ioctl(fd, TCSETS2, &tio);
    }
    m_fd = fd;
    m_slavePath = name;
    return true;
}

void PtyMaster::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_slavePath.clear();
}

bool PtyMaster::read(std::uint8_t* buffer, std::size_t max, std::size_t& count) {
    count = 0;
    if (m_fd < 0) return false;
    const ssize_t n = posix::readRetrying(m_fd, buffer, max);
    if (n > 0) {
        count = static_cast<std::size_t>(n);
        return true;
    }
    // EIO: no slave is open, which reads as silence.
    return n == 0 || errno == EAGAIN || errno == EIO;
}

bool PtyMaster::write(const std::uint8_t* data, std::size_t length) {
    if (m_fd < 0) return false;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            posix::pollOne(m_fd, POLLOUT, 10);
        } else {
            return false;
        }
    }
    return true;
}

bool PtyMaster::waitReadable(std::uint32_t timeoutMs) {
    if (m_fd < 0) return false;
    const short events = posix::pollOne(m_fd, POLLIN, static_cast<int>(timeoutMs));
    if (events & POLLIN) return true;
    if (events != 0) {
        // No slave open: the master reports a hang-up at once; wait out the time instead.
        timespec rest{static_cast<time_t>(timeoutMs / 1000),
                      static_cast<long>(timeoutMs % 1000) * 1000000L};
        while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
        }
    }
    return false;
}

std::uint32_t PtyMaster::baudRate() const {
    termios2 tio{};
    if (m_fd < 0 || ::ioctl(m_fd, TCGETS2, &tio) != 0) return 0;
    return tio.c_ospeed;
}

StopBits PtyMaster::stopBits() const {
    termios2 tio{};
    if (m_fd < 0 || ::ioctl(m_fd, TCGETS2, &tio) != 0) return StopBits::One;
    return (tio.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
}

}  // namespace platform
