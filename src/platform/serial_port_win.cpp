#include <windows.h>

#include <algorithm>
#include <thread>
#include <utility>

#include "platform/manual_reset_event.h"
#include "platform/serial_port.h"

namespace korvane {

namespace {

// The driver's receive and transmit queues, in bytes.
constexpr DWORD kQueueBytes = 1024;
// How long one write call may wait for the line: short, so a stop request or
// a stalled line is noticed between calls.
constexpr auto kWriteSlice = std::chrono::milliseconds{100};

}  // namespace

// A synchronous handle: the COMMTIMEOUTS bound every read and write, and the
// links never read and write one port at the same time.
struct SerialPort::Native {
    explicit Native(HANDLE device) : handle(device) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() { ::CloseHandle(handle); }
    HANDLE handle;
};

namespace {

DWORD rateFor(int32_t baudRate) {
    switch (baudRate) {
        case 4800:
        case 19200:
        case 38400:
        case 57600:
        case 115200:
            return static_cast<DWORD>(baudRate);
        default:
            return CBR_9600;
    }
}

// The line as WITS traffic needs it: the rate and 8N1 the links ask for, and
// bytes passed as they are. Flow control (XON/XOFF, CTS, DSR), the modem
// lines and the special characters stay as the device had them. Off: NUL
// bytes dropped, bytes with a parity error replaced, every transfer stopped
// after a line error until the error is cleared, and received bytes dropped
// while DSR is low, which a three-wire WITS cable does not carry.
void applyLineSettings(DCB& dcb, DWORD rate) {
    dcb.BaudRate = rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDsrSensitivity = FALSE;
}

bool lineSettingsTook(const DCB& dcb, DWORD rate) {
    return dcb.BaudRate == rate && dcb.ByteSize == 8 && dcb.Parity == NOPARITY &&
           dcb.StopBits == ONESTOPBIT;
}

std::wstring widened(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

// Errors that mean the device itself has gone (a USB adapter pulled out, a
// driver that gave up, the far end of a pseudo-terminal under Wine), not just
// that this call failed.
bool deviceGone(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_NOT_READY:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_IO_DEVICE:
        case ERROR_OPERATION_ABORTED:  // nothing here cancels, and line errors abort nothing
            return true;
        default:
            return false;
    }
}

DWORD milliseconds(std::chrono::milliseconds time) { return static_cast<DWORD>(time.count()); }

}  // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& path, int32_t baudRate,
                                             SerialOpenError* why) {
    const auto fail = [why](SerialOpenError error) -> std::unique_ptr<SerialPort> {
        if (why) *why = error;
        return nullptr;
    };
    if (path.empty()) return fail(SerialOpenError::missing);
    // No sharing: nobody else may open the port while we hold it.
    const HANDLE handle = ::CreateFileW(widened(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return fail(SerialOpenError::missing);
        // A COM port another program holds refuses access rather than sharing.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            return fail(SerialOpenError::busy);
        return fail(SerialOpenError::other);
    }
    // Closes it on every failure below.
    std::unique_ptr<SerialPort> port(new SerialPort(std::make_unique<Native>(handle)));

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) return fail(SerialOpenError::notSerial);
    const DWORD rate = rateFor(baudRate);
    applyLineSettings(dcb, rate);
    if (!::SetCommState(handle, &dcb)) return fail(SerialOpenError::settingsRefused);
    DCB applied{};
    applied.DCBlength = sizeof applied;
    if (!::GetCommState(handle, &applied) || !lineSettingsTook(applied, rate))
        return fail(SerialOpenError::settingsRefused);
    if (!::SetupComm(handle, kQueueBytes, kQueueBytes)) return fail(SerialOpenError::other);

    // A read returns at once with whatever is queued; with nothing queued it
    // returns with the first byte to arrive, or with none after the read
    // wait. A write takes what the line accepts within one slice.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = milliseconds(kSerialReadWait);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = milliseconds(kWriteSlice);
    if (!::SetCommTimeouts(handle, &timeouts)) return fail(SerialOpenError::other);
    if (why) *why = SerialOpenError::none;
    return port;
}

SerialPort::SerialPort(std::unique_ptr<Native> native) : native_(std::move(native)) {}
SerialPort::~SerialPort() = default;

using Clock = std::chrono::steady_clock;

std::size_t SerialPort::read(char* buffer, std::size_t count) {
    const auto deadline = Clock::now() + kSerialReadWait;
    DWORD errors = 0;
    COMSTAT queue{};
    if (count > 0 && ::ClearCommError(native_->handle, &errors, &queue)) {
        // Asking for no more than is queued returns at once; with nothing
        // queued, asking for one byte returns as it arrives. (Wine keeps to
        // the time-out only in the second way, Windows in both.)
        const DWORD want =
            queue.cbInQue > 0 ? static_cast<DWORD>(std::min<std::size_t>(queue.cbInQue, count)) : 1;
        DWORD got = 0;
        if (::ReadFile(native_->handle, buffer, want, &got, nullptr) && got > 0) return got;
        if (deviceGone(::GetLastError())) gone_ = true;
    } else if (count > 0 && deviceGone(::GetLastError())) {
        gone_ = true;
    }
    // A device that has gone answers every call at once; wait out the rest of
    // the read time so a reading loop keeps its pace.
    std::this_thread::sleep_until(deadline);
    return 0;
}

bool SerialPort::write(const char* data, std::size_t count, const ManualResetEvent* abort,
                       std::chrono::milliseconds stallLimit) {
    std::size_t done = 0;
    auto lastProgress = Clock::now();
    while (done < count) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, MAXDWORD));
        DWORD written = 0;
        // A slice that times out is no failure: it took what the line let through.
        if (!::WriteFile(native_->handle, data + done, chunk, &written, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_TIMEOUT) {
                if (deviceGone(error)) gone_ = true;
                break;
            }
        }
        if (written > 0) {
            done += written;
            lastProgress = Clock::now();
            continue;
        }
        if (abort && abort->isSet()) break;
        if (Clock::now() - lastProgress >= stallLimit) break;
    }
    if (done == count) return true;
    // The rest of this frame must not go out at the head of the next one.
    ::PurgeComm(native_->handle, PURGE_TXABORT | PURGE_TXCLEAR);
    return false;
}

std::string serialDevicePath(int32_t portNumber) {
    if (portNumber < 1) return {};
    // The device namespace reaches every port; a plain "COM10" and above
    // would be taken for a file name.
    return "\\\\.\\COM" + std::to_string(portNumber);
}

}  // namespace korvane
