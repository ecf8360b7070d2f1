#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace korvane {

class ManualResetEvent;

// How long a read waits for the first byte when nothing is queued.
inline constexpr auto kSerialReadWait = std::chrono::milliseconds{100};
// How long a write may make no progress (a receiver holding the line with
// XOFF or CTS) before it gives the frame up, so no link sits in a write for
// ever and can always be stopped.
inline constexpr auto kSerialWriteStall = std::chrono::milliseconds{2000};

// Why SerialPort::open gave nothing.
enum class SerialOpenError {
    none,
    missing,          // no device under the name, or no name
    busy,             // another program (or this one) holds the port
    accessDenied,     // the system does not let this program open it
    notSerial,        // the name is something other than a serial line
    settingsRefused,  // the line would not take the rate and framing
    other,
};

// An open serial device, held exclusively until destroyed.
class SerialPort {
public:
    // Opens `path` for reading and writing, exclusively, at `baudRate` bits per
    // second (a rate the device does not know gives 9600), 8 data bits, no
    // parity, 1 stop bit. Nothing when the device is missing, busy or not a
    // serial line, or refuses the settings; `why`, if given, says which.
    static std::unique_ptr<SerialPort> open(const std::string& path, int32_t baudRate,
                                            SerialOpenError* why = nullptr);

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort();

    // Returns at once with what is queued (up to `count` bytes); with nothing
    // queued, waits up to kSerialReadWait for the first byte. Errors and a
    // hung-up line give 0, but only after the full wait, so a caller that reads
    // in a loop never spins. 0 < result <= count when bytes arrived.
    std::size_t read(char* buffer, std::size_t count);

    // Writes every byte, waiting for room in the output queue as a blocking
    // write would. Gives up, discarding what is still queued, once the line
    // has taken nothing for `stallLimit` or `abort` is set; false then, and on
    // an error.
    bool write(const char* data, std::size_t count, const ManualResetEvent* abort = nullptr,
               std::chrono::milliseconds stallLimit = kSerialWriteStall);

    // True once a read or write has found the device gone (a USB adapter
    // unplugged, the other side of a pseudo-terminal closed): it will never
    // work again, and only opening the port afresh can bring the line back.
    bool gone() const { return gone_.load(); }

private:
    struct Native;  // the system's device handle, defined by each system's source
    explicit SerialPort(std::unique_ptr<Native> native);
    std::unique_ptr<Native> native_;
    // Set by whichever thread reads or writes; looked at by the link thread.
    std::atomic<bool> gone_{false};
};

// The device behind COMn. On Windows the system's own \\.\COMn. On Linux an
// entry named "COMn" in the working directory (normally a symbolic link to
// the real device), else /dev/ttyS<n-1>. Empty for numbers below 1.
std::string serialDevicePath(int32_t portNumber);

}  // namespace korvane
