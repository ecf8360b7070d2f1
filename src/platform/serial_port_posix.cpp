#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "platform/manual_reset_event.h"
#include "platform/serial_port.h"

namespace korvane {

struct SerialPort::Native {
    explicit Native(int descriptor) : fd(descriptor) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() {
        // The exclusive mode belongs to the terminal, not to this descriptor, and
        // outlives the close while anyone else holds the terminal open.
        if (exclusive) ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
    int fd;
    bool exclusive = false;  // TIOCEXCL was set through this descriptor
};

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

namespace {

// A failed open's or ioctl's errno as the operator's kind.
SerialOpenError openErrorFor(int error) {
    if (error == ENOENT || error == ENXIO || error == ENODEV) return SerialOpenError::missing;
    if (error == EBUSY) return SerialOpenError::busy;
    if (error == EACCES || error == EPERM) return SerialOpenError::accessDenied;
    if (error == ENOTTY) return SerialOpenError::notSerial;
    return SerialOpenError::other;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& path, int32_t baudRate,
                                             SerialOpenError* why) {
    const auto fail = [why](SerialOpenError error) -> std::unique_ptr<SerialPort> {
        if (why) *why = error;
        return nullptr;
    };
    if (path.empty()) return fail(SerialOpenError::missing);
    // Non-blocking for good: a plain open of a line without carrier would wait
    // for one, and reads and writes wait with poll, with limits of their own.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(openErrorFor(errno));
    // Closes it on every failure below.
    std::unique_ptr<SerialPort> port(new SerialPort(std::make_unique<Native>(fd)));

    // TIOCEXCL keeps other openers out, but root ignores it; the whole-file
    // lock keeps out every other process that opens the port through here.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(SerialOpenError::busy);
    if (::ioctl(fd, TIOCEXCL) != 0) return fail(openErrorFor(errno));
    port->native_->exclusive = true;

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return fail(SerialOpenError::notSerial);
    const speed_t speed = speedFor(baudRate);
    applyLineSettings(tio, speed);
    // tcsetattr succeeds when any one change took, so read the result back.
    termios applied{};
    if (::tcsetattr(fd, TCSANOW, &tio) != 0 || ::tcgetattr(fd, &applied) != 0 ||
        !lineSettingsTook(applied, speed))
        return fail(SerialOpenError::settingsRefused);
    if (why) *why = SerialOpenError::none;
    return port;
}

SerialPort::SerialPort(std::unique_ptr<Native> native) : native_(std::move(native)) {}
SerialPort::~SerialPort() = default;

namespace {

using Clock = std::chrono::steady_clock;

// Errors that mean the device itself has gone, not just this call failed.
bool deviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// Milliseconds for poll, rounded up so a wait never ends just short of its limit.
int pollMs(Clock::duration left) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}

}  // namespace

std::size_t SerialPort::read(char* buffer, std::size_t count) {
    const int fd = native_->fd;
    const auto deadline = Clock::now() + kSerialReadWait;
    while (count > 0) {
        const ssize_t got = ::read(fd, buffer, count);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got < 0 && errno == EINTR) continue;
        // 0 is a hung-up line; any error but "nothing queued" ends the read too.
        if (got == 0 || deviceGone(errno)) {
            gone_ = true;
            break;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) break;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, pollMs(deadline - Clock::now()));
        if (polled == 0) return 0;  // the full wait passed with nothing
        if (polled < 0 && errno != EINTR) break;
        if (polled > 0 && (ready.revents & POLLIN) == 0) {
            if (ready.revents & (POLLHUP | POLLERR | POLLNVAL)) gone_ = true;
            break;
        }
    }
    // A hung-up line answers every read at once with 0 or EIO; wait out the
    // rest of the read time so a reading loop keeps its pace.
    std::this_thread::sleep_until(deadline);
    return 0;
}

bool SerialPort::write(const char* data, std::size_t count, const ManualResetEvent* abort,
                       std::chrono::milliseconds stallLimit) {
    const int fd = native_->fd;
    std::size_t done = 0;
    auto lastProgress = Clock::now();
    while (done < count) {
        const ssize_t written = ::write(fd, data + done, count - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            lastProgress = Clock::now();
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && deviceGone(errno)) {
            gone_ = true;
            return false;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (abort && abort->isSet()) break;
        const auto stalled = Clock::now() - lastProgress;
        if (stalled >= stallLimit) break;
        // Short slices, so a stop request is seen within a tenth of a second.
        pollfd room{fd, POLLOUT, 0};
        const auto slice = std::min<Clock::duration>(stallLimit - stalled, kSerialReadWait);
        if (::poll(&room, 1, pollMs(slice)) < 0 && errno != EINTR) return false;
    }
    if (done == count) return true;
    // The rest of this frame must not go out at the head of the next one.
    ::tcflush(fd, TCOFLUSH);
    return false;
}

std::string serialDevicePath(int32_t portNumber) {
    if (portNumber < 1) return {};
    const std::string name = "COM" + std::to_string(portNumber);
    struct stat entry {};
    if (::lstat(name.c_str(), &entry) == 0) return name;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace korvane
