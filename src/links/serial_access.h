#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/serial_port.h"

namespace korvane {

// The port handle: the open device, or none (nullptr). The link thread that
// opened it owns it; the device closes with the handle.
using SerialPortHandle = std::unique_ptr<SerialPort>;

// Opens COMn (see serialDevicePath) for WITS traffic: exclusive, the rate
// from baudRateFor(baudIndex), 8 data bits, no parity, 1 stop bit.
SerialPortHandle openSerialPort(int32_t portNumber, int32_t baudIndex);

// One read of at most capacity - 1 bytes, with a NUL stored right after them
// (at buffer[0] when nothing arrived). Returns at once with what is queued,
// else waits up to about 100 ms. Returns the count; 0 for no port, an error
// or nothing received.
int32_t readSerial(SerialPort* port, char* buffer, std::size_t capacity);

// Writes the message: 0 when every byte went, 1 otherwise (no port, an error, a line stalled for
// `stallLimit`, or `abort` set while the line was full).
int32_t writeSerial(SerialPort* port, std::string_view message,
                    const ManualResetEvent* abort = nullptr,
                    std::chrono::milliseconds stallLimit = kSerialWriteStall);

}  // namespace korvane
