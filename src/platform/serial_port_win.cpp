#include <windows.h>

#include <algorithm>
#include <climits>
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
// How much longer than its own time-out a call may take before it is
// cancelled, for a driver that does not keep its time-outs.
constexpr auto kDriverSlack = std::chrono::milliseconds{1000};

void closeIfValid(HANDLE handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
}

}  // namespace

struct SerialPort::Native {
    explicit Native(HANDLE device) : handle(device) {}
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() {
        closeIfValid(readDone);
        closeIfValid(writeDone);
        ::CloseHandle(handle);
    }
    HANDLE handle;
    // Completion events of the overlapped reads and writes, one each so a
    // reader and a writer never share one.
    HANDLE readDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE writeDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
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
// driver that gave up), not just that this call failed.
bool deviceGone(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_IO_DEVICE:
        case ERROR_OPERATION_ABORTED:  // not ours: line errors do not abort transfers here
            return true;
        default:
            return false;
    }
}

DWORD milliseconds(std::chrono::milliseconds time) { return static_cast<DWORD>(time.count()); }

// The outcome of one overlapped call: bytes moved, and the error that ended
// it (ERROR_SUCCESS also for a call that ran into its time-out).
struct Transfer {
    DWORD bytes = 0;
    DWORD error = ERROR_SUCCESS;
};

// Waits for a call started with `started` (its BOOL result) to finish. A call
// still running `bound` later is cancelled; it then counts as timed out.
Transfer finish(HANDLE handle, OVERLAPPED& overlapped, BOOL started,
                std::chrono::milliseconds bound) {
    Transfer transfer;
    if (!started) {
        transfer.error = ::GetLastError();
        if (transfer.error != ERROR_IO_PENDING) return transfer;
        transfer.error = ERROR_SUCCESS;
        bool cancelled = false;
        if (::WaitForSingleObject(overlapped.hEvent, milliseconds(bound)) != WAIT_OBJECT_0) {
            ::CancelIoEx(handle, &overlapped);
            cancelled = true;
        }
        if (!::GetOverlappedResult(handle, &overlapped, &transfer.bytes, TRUE)) {
            const DWORD error = ::GetLastError();
            if (!(cancelled && error == ERROR_OPERATION_ABORTED)) transfer.error = error;
        }
        return transfer;
    }
    ::GetOverlappedResult(handle, &overlapped, &transfer.bytes, FALSE);
    return transfer;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& path, int32_t baudRate) {
    if (path.empty()) return nullptr;
    // No sharing: nobody else may open the port while we hold it.
    const HANDLE handle = ::CreateFileW(widened(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // Closes it on every failure below.
    std::unique_ptr<SerialPort> port(new SerialPort(std::make_unique<Native>(handle)));
    if (port->native_->readDone == nullptr || port->native_->writeDone == nullptr) return nullptr;

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) return nullptr;  // not a serial line
    const DWORD rate = rateFor(baudRate);
    applyLineSettings(dcb, rate);
    if (!::SetCommState(handle, &dcb)) return nullptr;
    DCB applied{};
    applied.DCBlength = sizeof applied;
    if (!::GetCommState(handle, &applied) || !lineSettingsTook(applied, rate)) return nullptr;
    if (!::SetupComm(handle, kQueueBytes, kQueueBytes)) return nullptr;

    // A read returns at once with whatever is queued; with nothing queued it
    // returns with the first byte to arrive, or with none after the read
    // wait. A write takes what the line accepts within one slice.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = milliseconds(kSerialReadWait);
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = milliseconds(kWriteSlice);
    if (!::SetCommTimeouts(handle, &timeouts)) return nullptr;
    return port;
}

SerialPort::SerialPort(std::unique_ptr<Native> native) : native_(std::move(native)) {}
SerialPort::~SerialPort() = default;

using Clock = std::chrono::steady_clock;

std::size_t SerialPort::read(char* buffer, std::size_t count) {
    const auto deadline = Clock::now() + kSerialReadWait;
    if (count > 0) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = native_->readDone;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
        const BOOL started = ::ReadFile(native_->handle, buffer, want, nullptr, &overlapped);
        const Transfer got =
            finish(native_->handle, overlapped, started, kSerialReadWait + kDriverSlack);
        if (got.bytes > 0) return got.bytes;
        if (deviceGone(got.error)) gone_ = true;
    }
    // A device that has gone answers every read at once; wait out the rest of
    // the read time so a reading loop keeps its pace.
    std::this_thread::sleep_until(deadline);
    return 0;
}

bool SerialPort::write(const char* data, std::size_t count, const ManualResetEvent* abort) {
    std::size_t done = 0;
    auto lastProgress = Clock::now();
    while (done < count) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = native_->writeDone;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, MAXDWORD));
        const BOOL started = ::WriteFile(native_->handle, data + done, chunk, nullptr, &overlapped);
        const Transfer written =
            finish(native_->handle, overlapped, started, kWriteSlice + kDriverSlack);
        if (written.bytes > 0) {
            done += written.bytes;
            lastProgress = Clock::now();
            continue;
        }
        if (written.error != ERROR_SUCCESS) {
            if (deviceGone(written.error)) gone_ = true;
            break;
        }
        // The slice passed with nothing taken: the line is held.
        if (abort && abort->isSet()) break;
        if (Clock::now() - lastProgress >= kSerialWriteStall) break;
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
