// Small helpers over file descriptors shared by the serial port and the pty master.
#ifndef PLATFORM_POSIX_FD_IO_H
#define PLATFORM_POSIX_FD_IO_H

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace platform::posix {

// read(2), repeated when a signal interrupts it.
inline ssize_t readRetrying(int fd, void* buffer, std::size_t max) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, max);
    } while (n < 0 && errno == EINTR);
    return n;
}

// The events of one descriptor after waiting up to `timeoutMs` (0 when none came).
inline short pollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, timeoutMs) > 0 ? p.revents : 0;
}

}  // namespace platform::posix

#endif  // PLATFORM_POSIX_FD_IO_H
