// Serial ports on Linux terminals through termios2, and the machine's serial device list.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/posix/fd_io.h"
#include "platform/posix/line_termios.h"
#include "platform/serial_port.h"

namespace platform {
namespace posix {

void applyLineSettings(const LineSettings& line, termios2& tio) {
    tio.c_cflag &=
        ~static_cast<tcflag_t>(CBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= BOTHER | CLOCAL | CREAD;
    tio.c_ispeed = line.baudRate;
    tio.c_ospeed = line.baudRate;
    switch (line.byteSize) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:
            tio.c_cflag |= CS8;
            break;
    }
    switch (line.parity) {
        case Parity::None:
            break;
        case Parity::Odd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case Parity::Even:
            tio.c_cflag |= PARENB;
            break;
        case Parity::Mark:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case Parity::Space:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
    }
    if (line.stopBits != StopBits::One) tio.c_cflag |= CSTOPB;
    if (line.outxCtsFlow || line.rtsControl == LineControl::Handshake) tio.c_cflag |= CRTSCTS;

    tio.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                               IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    if (line.parityCheck) tio.c_iflag |= INPCK | IGNPAR;
    if (line.outX) tio.c_iflag |= IXON;
    if (line.inX) tio.c_iflag |= IXOFF;
    if (line.nullStrip) tio.c_iflag |= IGNBRK;
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cc[VSTART] = static_cast<cc_t>(line.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(line.xoffChar);
}

void readLineSettings(const termios2& tio, LineSettings& line) {
    line.baudRate = tio.c_ospeed;
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            line.byteSize = 5;
            break;
        case CS6:
            line.byteSize = 6;
            break;
        case CS7:
            line.byteSize = 7;
            break;
        default:
            line.byteSize = 8;
            break;
    }
    if (!(tio.c_cflag & PARENB))
        line.parity = Parity::None;
    else if (tio.c_cflag & CMSPAR)
        line.parity = (tio.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
    else
        line.parity = (tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    line.parityCheck = (tio.c_iflag & INPCK) != 0;
    // One and a half stop bits read back as they were set; the terminal only knows "two".
    if (!(tio.c_cflag & CSTOPB))
        line.stopBits = StopBits::One;
    else if (line.stopBits == StopBits::One)
        line.stopBits = StopBits::Two;
    line.outxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
    line.outX = (tio.c_iflag & IXON) != 0;
    line.inX = (tio.c_iflag & IXOFF) != 0;
    line.binary = true;
    line.xonChar = static_cast<char>(tio.c_cc[VSTART]);
    line.xoffChar = static_cast<char>(tio.c_cc[VSTOP]);
}

void applyTimeouts(const Timeouts& timeouts, termios2& tio) {
    tio.c_cc[VMIN] = 0;
    const bool immediate = timeouts.readInterval == 0xFFFFFFFFu &&
                           timeouts.readTotalMultiplier == 0 && timeouts.readTotalConstant == 0;
    if (immediate) {
        tio.c_cc[VTIME] = 0;
        return;
    }
    const std::uint64_t ms =
        std::uint64_t{timeouts.readTotalConstant} + timeouts.readTotalMultiplier;
    tio.c_cc[VTIME] = static_cast<cc_t>(std::min<std::uint64_t>((ms + 99) / 100, 255));
}

}  // namespace posix

namespace {

class PosixSerialPort final : public SerialPort {
public:
    explicit PosixSerialPort(int fd) : m_fd(fd) {}
    ~PosixSerialPort() override { close(); }

    bool read(std::uint8_t* buffer, std::size_t max, std::size_t& count) override {
        count = 0;
        if (m_fd < 0) return false;
        if (max == 0) return true;
        const ssize_t n = posix::readRetrying(m_fd, buffer, max);
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return true;
        }
        if (n < 0 && errno != EAGAIN) return false;
        // Nothing arrived; tell an idle line from one whose other end has gone.
        return (posix::pollOne(m_fd, POLLIN, 0) & (POLLHUP | POLLERR | POLLNVAL)) == 0;
    }

    bool write(const std::uint8_t* data, std::size_t length, std::size_t& written) override {
        written = 0;
        if (m_fd < 0) return false;
        while (written < length) {
            const ssize_t n = ::write(m_fd, data + written, length - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            written += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool waitReadable(std::uint32_t timeoutMs) override {
        if (m_fd < 0) return false;
        const int timeout = static_cast<int>(std::min<std::uint32_t>(timeoutMs, 0x7FFFFFFF));
        return posix::pollOne(m_fd, POLLIN, timeout) != 0;
    }

    bool getLineSettings(LineSettings& settings) override {
        termios2 tio{};
        if (m_fd < 0 || ::ioctl(m_fd, TCGETS2, &tio) != 0) return false;
        settings = m_line;
        posix::readLineSettings(tio, settings);
        return true;
    }

    bool setLineSettings(const LineSettings& settings) override {
        termios2 tio{};
        if (m_fd < 0 || ::ioctl(m_fd, TCGETS2, &tio) != 0) return false;
        posix::applyLineSettings(settings, tio);
        if (::ioctl(m_fd, TCSETS2, &tio) != 0) return false;
        setModemLine(TIOCM_DTR, settings.dtrControl);
        setModemLine(TIOCM_RTS, settings.rtsControl);
        m_line = settings;
        return true;
    }

    bool getTimeouts(Timeouts& timeouts) override {
        if (m_fd < 0) return false;
        timeouts = m_timeouts;
        return true;
    }

    bool setTimeouts(const Timeouts& timeouts) override {
        termios2 tio{};
        if (m_fd < 0 || ::ioctl(m_fd, TCGETS2, &tio) != 0) return false;
        posix::applyTimeouts(timeouts, tio);
        if (::ioctl(m_fd, TCSETS2, &tio) != 0) return false;
        m_timeouts = timeouts;
        return true;
    }

    bool close() override {
        if (m_fd < 0) return false;
        ::ioctl(m_fd, TIOCNXCL);
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    // Pseudo-terminals and some adapters have no modem lines; that is not an error.
    void setModemLine(int bit, LineControl control) {
        if (control == LineControl::Enable)
            ::ioctl(m_fd, TIOCMBIS, &bit);
        else if (control == LineControl::Disable)
            ::ioctl(m_fd, TIOCMBIC, &bit);
    }

    int m_fd;
    LineSettings m_line;
    Timeouts m_timeouts;
};

bool hasUart(const std::string& name) {
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = 0;
    return static_cast<bool>(type >> value) && value != 0;
}

}  // namespace

std::unique_ptr<SerialPort> openSerialPort(const std::string& devicePath) {
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    termios2 tio{};
    // No sharing: TIOCEXCL keeps other users out, the lock also other processes of root.
    if (::ioctl(fd, TCGETS2, &tio) != 0 || ::ioctl(fd, TIOCEXCL) != 0 ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    // Opened non-blocking so that missing modem lines cannot hold up the open; reads return
    // at once through VMIN/VTIME instead.
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    auto port = std::make_unique<PosixSerialPort>(fd);
    LineSettings line;
    Timeouts timeouts;
    if (!port->getLineSettings(line) || !port->setLineSettings(line) ||
        !port->setTimeouts(timeouts))
        return nullptr;
    return port;
}

std::vector<std::string> serialDevices() {
    std::vector<std::string> devices;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", ec)) {
        const std::string name = entry.path().filename().string();
        const bool usb = name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
        const bool uart = name.rfind("ttyS", 0) == 0 && hasUart(name);
        if (usb || uart) devices.push_back("/dev/" + name);
    }
    std::sort(devices.begin(), devices.end());
    return devices;
}

}  // namespace platform
