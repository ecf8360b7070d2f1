#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/serial_port.h"

namespace korvane {

namespace {

speed_t speedFor(int32_t baudRate) {
    switch (baudRate) {
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B9600;
    }
}

// The line as WITS traffic needs it. The rate, 8N1 and the read time-out are
// what the links ask for. Flow control (IXON, IXOFF, CRTSCTS), the special
// characters and everything else stay as the device had them, except the
// terminal line discipline's own processing, which has no place on a data
// line and would change the bytes: canonical (line-by-line) input, in which
// VMIN/VTIME do not apply; echo back to the receiver; signals from received
// control characters; CR/NL translation and stripping of the eighth bit on
// input; NL to CR NL expansion on output; a break flushing the queues.
// CREAD turns the receiver on and CLOCAL makes the line ignore the modem's
// carrier detect, which a three-wire WITS cable does not carry.
void applyLineSettings(termios& tio, speed_t speed) {
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~(ISTRIP | INLCR | IGNCR | ICRNL | PARMRK | BRKINT);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    // Return at once with whatever is queued; with nothing queued, wait up to
    // one tenth of a second for the first byte.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 1;
}

bool lineSettingsTook(const termios& tio, speed_t speed) {
    return cfgetospeed(&tio) == speed && (tio.c_cflag & CSIZE) == CS8 &&
           (tio.c_cflag & (PARENB | CSTOPB)) == 0 && (tio.c_lflag & ICANON) == 0;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& path, int32_t baudRate) {
    if (path.empty()) return nullptr;
    // Non-blocking only for the open itself: a plain open of a line without
    // carrier would wait for one.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    std::unique_ptr<SerialPort> port(new SerialPort(fd));  // closes it on every failure below

    // TIOCEXCL keeps other openers out, but root ignores it; the whole-file
    // lock keeps out every other process that opens the port through here.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return nullptr;
    if (::ioctl(fd, TIOCEXCL) != 0) return nullptr;
    port->exclusive_ = true;

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return nullptr;  // not a terminal
    const speed_t speed = speedFor(baudRate);
    applyLineSettings(tio, speed);
    // tcsetattr succeeds when any one change took, so read the result back.
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return nullptr;
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0 || !lineSettingsTook(applied, speed)) return nullptr;

    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return nullptr;
    return port;
}

SerialPort::~SerialPort() {
    // The exclusive mode belongs to the terminal, not to this descriptor, and
    // outlives the close while anyone else holds the terminal open.
    if (exclusive_) ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

std::size_t SerialPort::read(char* buffer, std::size_t count) {
    const auto start = std::chrono::steady_clock::now();
    const ssize_t got = count > 0 ? ::read(fd_, buffer, count) : 0;
    if (got > 0) return static_cast<std::size_t>(got);
    // A hung-up line answers every read at once with 0 or EIO; wait out the
    // rest of the read time so a reading loop keeps its pace.
    const auto spent = std::chrono::steady_clock::now() - start;
    if (spent < kSerialReadWait) std::this_thread::sleep_for(kSerialReadWait - spent);
    return 0;
}

bool SerialPort::write(const char* data, std::size_t count) {
    if (count == 0) return true;
    ssize_t written;
    do {
        written = ::write(fd_, data, count);
    } while (written < 0 && errno == EINTR);
    return written >= 0 && static_cast<std::size_t>(written) == count;
}

std::string serialDevicePath(int32_t portNumber) {
    if (portNumber < 1) return {};
    const std::string name = "COM" + std::to_string(portNumber);
    struct stat entry {};
    if (::lstat(name.c_str(), &entry) == 0) return name;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace korvane
