#include "control/control_channel.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <list>
#include <mutex>
#include <optional>

#include "control/control_host.h"
#include "control/control_json.h"
#include "platform/ipv4_address.h"
#include "platform/tcp_socket.h"
#include "text/number_text.h"

namespace korvane {

namespace {

using namespace std::chrono_literals;

// How long the channel's thread waits before it looks at its stop request.
constexpr auto kSlice = 50ms;
// A client's unread replies beyond this: it sends faster than it reads.
constexpr std::size_t kReplyRoom = 1 << 20;
// A watching client's unread events beyond this are lost, counted.
constexpr std::size_t kEventRoom = 256 * 1024;
// Bytes read from one client per pass, so one cannot keep the others waiting.
constexpr std::size_t kReadBudget = 64 * 1024;
constexpr std::size_t kMostClients = 64;

// A loopback connection to itself, so other threads can cut the channel's
// wait short when they have queued something for it.
class Waker {
public:
    bool open() {
        listener_ = TcpListener::listen({{127, 0, 0, 1}, 0});
        if (!listener_) return false;
        out_ = TcpConnection::startConnect(*listener_->localAddress());
        for (int tries = 0; out_ && !in_ && tries < 200; ++tries) {
            in_ = listener_->accept();
            if (!in_) std::this_thread::sleep_for(5ms);
        }
        listener_.reset();
        return in_.has_value();
    }
    void poke() {
        if (!poked_.exchange(true)) out_->send("w", 1);
    }
    std::size_t watch(SocketPoll& poll) { return poll.add(*in_, false); }
    void drain() {
        poked_.store(false);
        char buffer[256];
        while (in_->receive(buffer, sizeof buffer).bytes > 0) {
        }
    }

private:
    std::optional<TcpListener> listener_;
    std::optional<TcpConnection> out_;
    std::optional<TcpConnection> in_;
    std::atomic<bool> poked_{false};
};

// One client: standard input and output, or a TCP connection.
struct Client final : EventSink {
    std::mutex mutex;
    std::string out;  // replies and events not yet written
    uint64_t lost = 0;
    Waker* waker = nullptr;

    std::optional<TcpConnection> connection;
    std::optional<std::size_t> pollIndex;
    std::string in;         // a line not yet ended
    bool overlong = false;  // the line being read is too long: dropped up to its end
    bool gone = false;
    bool quitAfter = false;

    void event(const std::string& line) override {
        {
            std::lock_guard lock(mutex);
            if (out.size() + line.size() + 64 > kEventRoom) {
                ++lost;
                return;
            }
            if (lost > 0) {
                out += JsonObject()
                           .add("event", "lost")
                           .add("t", ControlEvents::now())
                           .add("count", lost)
                           .text() +
                       "\n";
                lost = 0;
            }
            out += line;
            out += '\n';
        }
        waker->poke();
    }
    // False when the client is past its room for replies.
    bool reply(const std::string& line) {
        std::lock_guard lock(mutex);
        out += line;
        out += '\n';
        return out.size() <= kReplyRoom;
    }
    bool waiting() {
        std::lock_guard lock(mutex);
        return !out.empty();
    }
};

}  // namespace

std::optional<ControlPlace> readControlPlace(std::string_view text) {
    ControlPlace place;
    if (text == "stdin") {
        place.standardInput = true;
        return place;
    }
    const std::size_t colon = text.rfind(':');
    const std::string_view portText =
        colon == std::string_view::npos ? text : text.substr(colon + 1);
    const std::optional<int> port = readWhole<int>(portText);
    if (!port || *port < 0 || *port > 65535) return std::nullopt;
    place.port = static_cast<uint16_t>(*port);
    if (colon != std::string_view::npos) {
        const auto address = parseAddress(std::string(text.substr(0, colon)), 0);
        if (!address) return std::nullopt;
        std::copy(address->octets, address->octets + 4, place.address);
    }
    return place;
}

struct ControlChannel::Loop {
    ControlChannel& channel;
    Waker waker;
    std::optional<TcpListener> listener;
    std::list<std::shared_ptr<Client>> clients;
    std::shared_ptr<Client> console;  // standard input and output
    std::mutex consoleMutex;
    std::deque<std::string> consoleLines;  // read, not yet run
    std::atomic<bool> stop{false};
    std::thread thread;

    explicit Loop(ControlChannel& owner) : channel(owner) {}

    void run() {
        SocketPoll poll;
        std::vector<char> buffer(16 * 1024);
        while (!stop.load()) {
            poll.clear();
            const std::size_t wakeIndex = waker.watch(poll);
            std::optional<std::size_t> listenIndex;
            if (listener && clients.size() < kMostClients) listenIndex = poll.add(*listener);
            for (const auto& client : clients)
                client->pollIndex = poll.add(*client->connection, client->waiting());
            poll.wait(kSlice);
            if (poll.readable(wakeIndex)) waker.drain();
            if (listenIndex && poll.readable(*listenIndex)) accept();
            for (const auto& client : clients) {
                if (poll.readable(*client->pollIndex)) read(*client, buffer);
                if (!client->gone) flush(*client);
            }
            if (console) serveConsole();
            for (auto it = clients.begin(); it != clients.end();) {
                if ((*it)->gone) {
                    channel.events_.unwatch(it->get());
                    it = clients.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }

    void accept() {
        while (clients.size() < kMostClients) {
            std::optional<TcpConnection> made = listener->accept();
            if (!made) return;
            auto client = std::make_shared<Client>();
            client->waker = &waker;
            client->connection = std::move(made);
            clients.push_back(std::move(client));
        }
    }

    void read(Client& client, std::vector<char>& buffer) {
        std::size_t budget = kReadBudget;
        while (budget > 0 && !client.gone) {
            const TcpTransfer got = client.connection->receive(buffer.data(), buffer.size());
            if (got.closed || got.ended) client.gone = true;
            if (got.bytes == 0) return;
            take(client, std::string_view(buffer.data(), got.bytes));
            budget -= std::min(budget, got.bytes);
        }
    }

    // Splits what came into lines and runs each complete one.
    void take(Client& client, std::string_view data) {
        while (!data.empty() && !client.gone) {
            const std::size_t end = data.find('\n');
            const std::string_view part = data.substr(0, end);
            if (!client.overlong) client.in.append(part);
            if (client.in.size() > kControlLineLimit && !client.overlong) {
                client.overlong = true;
                client.in.clear();
                answer(client, errorReply("line longer than " + std::to_string(kControlLineLimit) +
                                          " bytes: refused"));
            }
            if (end == std::string_view::npos) return;
            data.remove_prefix(end + 1);
            if (client.overlong) {
                client.overlong = false;
                continue;
            }
            std::string line = std::move(client.in);
            client.in.clear();
            if (!line.empty() && line.back() == '\r') line.pop_back();
            runLine(client, line);
        }
    }

    void runLine(Client& client, const std::string& line) {
        if (line.find_first_not_of(" \t") == std::string::npos) return;
        ControlCommands::Reply reply = channel.commands_.run(line);
        answer(client, reply.line);
        if (reply.watch) {
            for (const auto& known : clients)
                if (known.get() == &client) channel.events_.watch(known);
            if (console.get() == &client) channel.events_.watch(console);
        }
        if (reply.quit) client.quitAfter = true;
    }

    void answer(Client& client, const std::string& line) {
        if (!client.reply(line)) {
            // It reads its replies slower than it sends commands: it goes.
            client.gone = true;
            const std::string last = errorReply("replies are not being read: disconnected") + "\n";
            if (client.connection) client.connection->send(last.data(), last.size());
        }
    }

    void flush(Client& client) {
        std::string pending;
        {
            std::lock_guard lock(client.mutex);
            pending.swap(client.out);
        }
        std::size_t sent = 0;
        if (client.connection) {
            while (sent < pending.size()) {
                const TcpTransfer put =
                    client.connection->send(pending.data() + sent, pending.size() - sent);
                if (put.closed) client.gone = true;
                if (put.bytes == 0) break;
                sent += put.bytes;
            }
        } else {
            sent = std::fwrite(pending.data(), 1, pending.size(), stdout);
            std::fflush(stdout);
        }
        if (sent < pending.size()) {
            std::lock_guard lock(client.mutex);
            client.out.insert(0, pending, sent, std::string::npos);
        }
        if (client.quitAfter && sent == pending.size()) {
            client.quitAfter = false;
            channel.host_.quit();
        }
    }

    void serveConsole() {
        std::deque<std::string> lines;
        {
            std::lock_guard lock(consoleMutex);
            lines.swap(consoleLines);
        }
        for (const std::string& line : lines) take(*console, line + "\n");
        flush(*console);
    }

    // Standard input is read on a thread of its own, which a read may hold
    // for as long as the program runs; it is left to end with the process.
    void readConsole() {
        std::thread([this] {
            std::string line;
            while (std::getline(std::cin, line)) {
                {
                    std::lock_guard lock(consoleMutex);
                    consoleLines.push_back(line);
                }
                waker.poke();
            }
        }).detach();
    }
};

ControlChannel::ControlChannel(SharedState& shared, LinkControl& control, ControlHost& host)
    : commands_(shared, control, host), host_(host) {
    events_.attach(control);
}

ControlChannel::~ControlChannel() { close(); }

std::string ControlChannel::open(const ControlPlace& place) {
    auto loop = std::make_unique<Loop>(*this);
    if (!loop->waker.open()) return "the control channel could not start";
    if (place.standardInput) {
        loop->console = std::make_shared<Client>();
        loop->console->waker = &loop->waker;
    } else {
        const Ipv4Address at{
            {place.address[0], place.address[1], place.address[2], place.address[3]}, place.port};
        SocketError why = SocketError::none;
        loop->listener = TcpListener::listen(at, &why);
        if (!loop->listener)
            return "the control channel cannot listen on " + formatAddress(at) + ":" +
                   std::to_string(place.port) +
                   (why == SocketError::addressInUse ? ": the port is in use" : "");
        port_.store(loop->listener->localAddress()->port);
    }
    loop_ = std::move(loop);
    if (place.standardInput) loop_->readConsole();
    loop_->thread = std::thread([loop = loop_.get()] { loop->run(); });
    return {};
}

void ControlChannel::close() {
    if (!loop_) return;
    loop_->stop.store(true);
    loop_->waker.poke();
    if (loop_->thread.joinable()) loop_->thread.join();
    // Its clients go with it: no event may reach them any more.
    events_.unwatchAll();
    // The console reader may still hold the loop: it is left, as the process ends.
    if (loop_->console) {
        loop_.release();
        return;
    }
    loop_.reset();
}

}  // namespace korvane
