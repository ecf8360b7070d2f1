#include "links/serial_access.h"

#include "state/link_settings.h"

namespace korvane {

SerialPortHandle openSerialPort(int32_t portNumber, int32_t baudIndex) {
    return SerialPort::open(serialDevicePath(portNumber), baudRateFor(baudIndex));
}

int32_t readSerial(SerialPort* port, char* buffer, std::size_t capacity) {
    if (capacity == 0) return 0;  // not even room for the NUL
    buffer[0] = '\0';
    if (!port) return 0;
    const std::size_t got = port->read(buffer, capacity - 1);
    buffer[got] = '\0';
    return static_cast<int32_t>(got);
}

int32_t writeSerial(SerialPort* port, std::string_view message, const ManualResetEvent* abort,
                    std::chrono::milliseconds stallLimit) {
    if (!port) return 1;
    return port->write(message.data(), message.size(), abort, stallLimit) ? 0 : 1;
}

}  // namespace korvane
