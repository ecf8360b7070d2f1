#include "links/rs232_links.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "links/link_control.h"
#include "links/request_recognition.h"
#include "links/serial_access.h"
#include "links/transmit_pause.h"
#include "simulation/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane {

namespace {

using std::chrono::milliseconds;

// The listener reads in short turns so the link thread can write between them.
constexpr auto kListenerPortWait = milliseconds{50};
// A frame that cannot have the port within this long is dropped.
constexpr auto kWriterPortWait = milliseconds{500};
// How long the link thread waits for its listener to end before it gives up on it.
constexpr auto kListenerStopWait = milliseconds{5000};
// The listener's look at a writer waiting for the port: often enough that the
// writer gets the port within a millisecond or so of the listener's read ending.
constexpr auto kYieldPoll = milliseconds{1};
// How often a port whose device went away is opened again.
constexpr auto kReopenPeriod = milliseconds{1000};

// The port the settings name, as the link opened it.
struct PortChoice {
    int32_t comPort = 0;
    int32_t baudIndex = 0;
};

// Shared by the streaming link and its listener. Either may end first (the link
// gives up on a listener that does not stop in time), so both hold it and the
// port closes when the last of them lets go.
struct ListenerControl {
    std::atomic<int32_t> stop{0};  // 1 asks the listener to end
    ManualResetEvent done;         // set by the listener as its last act
    std::timed_mutex portMutex;    // held by whoever reads or writes the port
    SerialPortHandle port;
    PortChoice choice;
    // Set while the link thread waits for portMutex. A mutex here makes no
    // promise of fairness, and the listener takes it again within a moment of
    // letting it go, so it steps aside rather than starve the writer.
    std::atomic<bool> writerWaiting{false};
};

// Opens the port the settings name and, in the same look at them, reads the
// transmit interval into `interval` if asked. Reports the link down and gives
// no port when the settings cannot be had in time or the port will not open.
SerialPortHandle openLinkPort(SharedState& shared, LinkControl& control, PortChoice& choice,
                              float* interval = nullptr) {
    const bool read = withData(shared.dataMutex, kDataWait, [&] {
        choice.comPort = shared.link.comPort;
        choice.baudIndex = shared.link.baudIndex;
        if (interval) *interval = shared.link.transmitInterval;
    });
    SerialPortHandle port = read ? openSerialPort(choice.comPort, choice.baudIndex) : nullptr;
    if (!port) reportLinkStatus(control, kLinkDown);
    return port;
}

std::string portName(const PortChoice& choice) { return "COM" + std::to_string(choice.comPort); }

// Says once, from whichever thread saw it first, that the device went away.
void reportGone(LinkControl& control, const PortChoice& choice) {
    LinkHealth expected = LinkHealth::working;
    if (control.health.compare_exchange_strong(expected, LinkHealth::deviceGone))
        tellNews(control, portName(choice) + " has gone away; opening it again every second");
}

// One try at opening a port whose device went away, after a pause in which a
// stop request is seen at once; the caller reports it back once in use. The
// same port at the same rate: the operator chose it, and plugging the adapter
// back in must be enough.
SerialPortHandle reopenPort(LinkControl& control, const PortChoice& choice) {
    if (control.linkStopEvent.waitFor(kReopenPeriod)) return nullptr;
    return openSerialPort(choice.comPort, choice.baudIndex);
}

void reportBack(LinkControl& control, const PortChoice& choice) {
    reportLinkHealth(control, LinkHealth::working, portName(choice) + " is back");
}

bool takePortForListener(ListenerControl& listener) {
    const auto deadline = std::chrono::steady_clock::now() + kListenerPortWait;
    while (listener.writerWaiting.load() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kYieldPoll);
    }
    return listener.portMutex.try_lock_until(deadline);
}

void rs232Listener(SharedState& shared, LinkControl& control,
                   std::shared_ptr<ListenerControl> listener) {
    ReceivedText received;
    bool pending = false;
    float pendingGas = 0.0f;
    while (listener->stop.load() == 0) {
        if (takePortForListener(*listener)) {
            const int32_t got = readSerial(listener->port.get(), received.end(),
                                           ReceivedText::kCapacity - received.length());
            // Said while the port is held, so it can only be about this port,
            // never a late word on one already replaced.
            if (listener->port->gone()) reportGone(control, listener->choice);
            listener->portMutex.unlock();
            if (got > 0) {
                noteReceived(control, {received.end(), static_cast<std::size_t>(got)});
                if (const auto gas = received.add(static_cast<std::size_t>(got))) {
                    pending = true;
                    pendingGas = *gas;
                }
            }
        }
        if (pending && withData(shared.dataMutex, kDataWait,
                                [&] { shared.sim.receivedGas.store(pendingGas); })) {
            pending = false;
        }
    }
    listener->done.set();
}

}  // namespace

void rs232StreamingLink(SharedState& shared, LinkControl& control) {
    auto listener = std::make_shared<ListenerControl>();
    float interval = 0.0f;
    listener->port = openLinkPort(shared, control, listener->choice, &interval);
    if (!listener->port) return;

    std::thread listenerThread;
    try {
        listenerThread = std::thread(rs232Listener, std::ref(shared), std::ref(control), listener);
    } catch (const std::system_error&) {
        // No listener: frames still go out, nothing is read back.
    }
    reportLinkStatus(control, kLinkUp);

    std::vector<char> frame(kFrameBufferSize);
    for (;;) {
        if (listener->port->gone()) {
            reportGone(control, listener->choice);
            SerialPortHandle fresh = reopenPort(control, listener->choice);
            if (control.linkStopEvent.isSet()) break;
            if (!fresh) continue;
            listener->writerWaiting.store(true);
            {
                std::lock_guard lock(listener->portMutex);
                listener->port = std::move(fresh);
            }
            listener->writerWaiting.store(false);
            reportBack(control, listener->choice);
            // The receiver has waited long enough: a frame goes out at once.
        } else {
            // Read afresh before every pause so a new interval applies from
            // the next frame; while the mutex is busy the last value stands.
            withData(shared.dataMutex, kDataWait, [&] { interval = shared.link.transmitInterval; });
            if (control.linkStopEvent.waitFor(transmitPause(interval))) break;
            if (listener->port->gone()) continue;  // seen by the listener meanwhile
        }
        std::size_t length = 0;
        const bool built = withData(shared.dataMutex, kDataWait,
                                    [&] { length = buildFrame(shared, frame.data()); });
        if (!built) continue;

        listener->writerWaiting.store(true);
        const bool havePort = listener->portMutex.try_lock_for(kWriterPortWait);
        listener->writerWaiting.store(false);
        if (!havePort) continue;
        const bool written =
            writeSerial(listener->port.get(), {frame.data(), length}, &control.linkStopEvent) == 0;
        listener->portMutex.unlock();
        if (written) noteSent(control, {frame.data(), length});
    }

    if (listenerThread.joinable()) {
        listener->stop.store(1);
        if (listener->done.waitFor(kListenerStopWait)) {
            listenerThread.join();  // it has only to return
        } else {
            listenerThread.detach();  // it keeps its share of the port until it ends
        }
    }
    listener.reset();
    reportLinkStatus(control, kLinkDown);
}

void rs232InterrogatedLink(SharedState& shared, LinkControl& control) {
    PortChoice choice;
    SerialPortHandle port = openLinkPort(shared, control, choice);
    if (!port) return;
    reportLinkStatus(control, kLinkUp);

    std::vector<char> frame(kFrameBufferSize);
    ReceivedText received;
    bool pending = false;
    float pendingGas = 0.0f;
    while (!control.linkStopEvent.isSet()) {
        if (port->gone()) {
            reportGone(control, choice);
            SerialPortHandle fresh = reopenPort(control, choice);
            if (!fresh) continue;
            // What was asked of the old device is no request of the new one.
            port = std::move(fresh);
            reportBack(control, choice);
            received = ReceivedText{};
            pending = false;
        }
        // The read waits up to about 100 ms, which paces this loop.
        const int32_t got =
            readSerial(port.get(), received.end(), ReceivedText::kCapacity - received.length() - 1);
        if (got > 0) {
            noteReceived(control, {received.end(), static_cast<std::size_t>(got)});
            if (const auto gas = received.add(static_cast<std::size_t>(got))) {
                pending = true;
                pendingGas = *gas;
            }
        }
        if (!pending) continue;
        std::size_t length = 0;
        const bool built = withData(shared.dataMutex, kDataWait, [&] {
            length = buildFrame(shared, frame.data());
            shared.sim.receivedGas.store(pendingGas);
        });
        if (!built) continue;  // answered on a later pass
        if (writeSerial(port.get(), {frame.data(), length}, &control.linkStopEvent) == 0)
            noteSent(control, {frame.data(), length});
        pending = false;
        pendingGas = 0.0f;
    }
    port.reset();
    reportLinkStatus(control, kLinkDown);
}

}  // namespace korvane
