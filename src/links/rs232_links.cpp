#include "links/rs232_links.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "links/fault_lane.h"
#include "links/link_control.h"
#include "links/link_runner.h"
#include "links/request_recognition.h"
#include "links/serial_access.h"
#include "links/transport.h"
#include "state/shared_state.h"

namespace korvane {

namespace {

using std::chrono::milliseconds;

// The listener reads in short turns so the link thread can write between them.
constexpr auto kListenerPortWait = milliseconds{50};
// A frame that cannot have the port within this long is dropped.
constexpr auto kWriterPortWait = milliseconds{500};
// The listener's look at a writer waiting for the port: often enough that the
// writer gets the port within a millisecond or so of the listener's read ending.
constexpr auto kYieldPoll = milliseconds{1};

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
    if (control.linkStopEvent.waitFor(control.timing.serialReopen)) return nullptr;
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
        if (pending && withData(shared.dataMutex, control.timing.dataWait,
                                [&] { shared.sim.receivedGas.store(pendingGas); })) {
            pending = false;
            noteGas(control, pendingGas);
        }
    }
    listener->done.set();
}

// A serial port carries frames as written; a request is a record that
// carries 0140. Streaming, a listener thread reads what the peer sends back
// while the link thread writes, each holding the port mutex; interrogated,
// the link thread alone reads and answers. A device that goes away is opened
// again every serialReopen, the same port at the same rate: the operator
// chose it, and plugging the adapter back in must be enough.
class SerialTransport final : public Transport {
public:
    SerialTransport(SharedState& shared, LinkControl& control, bool interrogated)
        : shared_(shared),
          control_(control),
          interrogated_(interrogated),
          listener_(std::make_shared<ListenerControl>()) {}

    LinkOpen open() override {
        LinkOpen opened;
        opened.interrogated = interrogated_;
        PortChoice& choice = listener_->choice;
        const bool read = withData(shared_.dataMutex, control_.timing.dataWait, [&] {
            choice.comPort = shared_.link.comPort;
            choice.baudIndex = shared_.link.baudIndex;
            opened.interval = shared_.link.transmitInterval;
        });
        if (read) listener_->port = openSerialPort(choice.comPort, choice.baudIndex);
        opened.up = listener_->port != nullptr;
        if (opened.up && !interrogated_) {
            try {
                listenerThread_ =
                    std::thread(rs232Listener, std::ref(shared_), std::ref(control_), listener_);
            } catch (const std::system_error&) {
                // No listener: frames still go out, nothing is read back.
            }
        }
        return opened;
    }

    Wake waitUntil(LinkClock::time_point due) override {
        if (listener_->port->gone()) {
            reportGone(control_, listener_->choice);
            SerialPortHandle fresh = reopenPort(control_, listener_->choice);
            if (control_.linkStopEvent.isSet()) return Wake::stop;
            if (!fresh) return Wake::none;
            listener_->writerWaiting.store(true);
            {
                std::lock_guard lock(listener_->portMutex);
                listener_->port = std::move(fresh);
            }
            listener_->writerWaiting.store(false);
            reportBack(control_, listener_->choice);
            // The receiver has waited long enough: a frame goes out at once.
            return Wake::beatNow;
        }
        const auto now = LinkClock::now();
        const auto laneDue = lane_.due();
        const auto until = laneDue ? std::min(due, *laneDue) : due;
        const auto pause =
            until > now ? std::chrono::ceil<milliseconds>(until - now) : milliseconds{0};
        if (control_.linkStopEvent.waitFor(pause)) return Wake::stop;
        // Gone meanwhile, as the listener saw: the next wait opens it again.
        if (listener_->port->gone()) return Wake::none;
        if (!laneDue) return Wake::beat;
        if (takePort()) {
            lane_.flush(LinkClock::now(), writer());
            listener_->portMutex.unlock();
        }
        return LinkClock::now() >= due ? Wake::beat : Wake::none;
    }

    void send(const FramePieces& pieces, Wake) override {
        // A frame that cannot have the port within this long is dropped.
        if (!takePort()) return;
        if (lane_.on())
            lane_.pass(pieces, LinkClock::now(), {}, writer());
        else
            for (const std::string_view piece : pieces) write(piece);
        listener_->portMutex.unlock();
    }

    bool waitForRequests() override {
        if (listener_->port->gone()) {
            reportGone(control_, listener_->choice);
            SerialPortHandle fresh = reopenPort(control_, listener_->choice);
            if (!fresh) return false;
            // What was asked of the old device is no request of the new one.
            listener_->port = std::move(fresh);
            reportBack(control_, listener_->choice);
            received_ = ReceivedText{};
            pending_ = false;
        }
        // What faults delayed goes out between reads.
        lane_.flush(LinkClock::now(), writer());
        // The read waits up to about 100 ms, which paces this loop.
        const int32_t got = readSerial(listener_->port.get(), received_.end(),
                                       ReceivedText::kCapacity - received_.length() - 1);
        if (got > 0) {
            noteReceived(control_, {received_.end(), static_cast<std::size_t>(got)});
            if (const auto gas = received_.add(static_cast<std::size_t>(got))) {
                pending_ = true;
                pendingGas_ = *gas;
            }
        }
        return pending_;
    }

    // One frame per pending request; the gas it carried is stored once the
    // frame is had.
    void answer(const FramePieces& pieces) override {
        shared_.sim.receivedGas.store(pendingGas_);
        noteGas(control_, pendingGas_);
        if (lane_.on())
            lane_.pass(pieces, LinkClock::now(), {}, writer());
        else
            for (const std::string_view piece : pieces) write(piece);
        pending_ = false;
        pendingGas_ = 0.0f;
    }
    void noFrame() override {}  // answered on a later pass

    void close() override {
        if (listenerThread_.joinable()) {
            listener_->stop.store(1);
            if (listener_->done.waitFor(control_.timing.listenerStopWait)) {
                listenerThread_.join();  // it has only to return
            } else {
                listenerThread_.detach();  // it keeps its share of the port until it ends
            }
        }
        listener_.reset();
    }

private:
    // The port for the link thread's writes, within kWriterPortWait.
    bool takePort() {
        listener_->writerWaiting.store(true);
        const bool havePort = listener_->portMutex.try_lock_for(kWriterPortWait);
        listener_->writerWaiting.store(false);
        return havePort;
    }

    void write(std::string_view piece, std::string_view mark = {}) {
        if (writeSerial(listener_->port.get(), piece, &control_.linkStopEvent,
                        control_.timing.serialWriteStall) == 0)
            noteSent(control_, piece, {}, mark);
    }
    // Faults: each piece a write of its own.
    LaneDeliverer writer() {
        return [this](std::string_view bytes, std::string_view mark) { write(bytes, mark); };
    }

    SharedState& shared_;
    LinkControl& control_;
    bool interrogated_;
    // The port, shared with the listener when streaming.
    std::shared_ptr<ListenerControl> listener_;
    std::thread listenerThread_;
    ReceivedText received_;  // interrogated only
    bool pending_ = false;
    float pendingGas_ = 0.0f;
    FaultLane lane_{control_, 0};
};

}  // namespace

void rs232StreamingLink(SharedState& shared, LinkControl& control) {
    SerialTransport serial(shared, control, false);
    runLink(shared, control, serial);
}

void rs232InterrogatedLink(SharedState& shared, LinkControl& control) {
    SerialTransport serial(shared, control, true);
    runLink(shared, control, serial);
}

}  // namespace korvane
