#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "control/control_channel.h"
#include "control/control_commands.h"
#include "control/control_host.h"
#include "links/link_control.h"
#include "platform/tcp_socket.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;

class QuietUi : public LinkUi {
public:
    void showLinkError(const std::string&) override {}
    void setTitle(const std::string&) override {}
};

// The program around the channel: the main thread is the caller's own.
class FakeHost : public ControlHost {
public:
    bool onMainThread(const std::function<void()>& task) override {
        task();
        return true;
    }
    LinkUi& linkUi() override { return ui; }
    void quit() override { quits++; }
    std::string play(const std::string& path, const PlayOptions&) override {
        return path == "missing.csv" ? "missing.csv cannot be opened" : "";
    }
    void stopPlaying() override {}
    std::string record(const std::string&) override { return {}; }
    void stopRecording() override {}
    QuietUi ui;
    int quits = 0;
};

class ControlTest : public ::testing::Test {
protected:
    ControlTest() { control.clockScale = &shared.sim.clockScale; }
    ~ControlTest() override { startLink(shared, control, host.ui, kMediumNone); }
    std::string run(const std::string& line) { return commands.run(line).line; }

    SharedState shared;
    LinkControl control;
    FakeHost host;
    ControlCommands commands{shared, control, host};
};

TEST_F(ControlTest, EveryCommandAnswersAndEveryMistakeIsNamed) {
    struct Case {
        const char* command;
        const char* reply;  // the reply starts with this
    };
    const Case cases[] = {
        {"set rop 0.5", R"({"ok": true})"},
        {"set pump2.spm 60", R"({"ok": true})"},
        {"set pump3.on off", R"({"ok": true})"},
        {"set depth.hole 1500.5", R"({"ok": true})"},
        {"set strokes.zero", R"({"ok": true})"},
        {"set strokes.send1 1", R"({"ok": true})"},
        {"set drop.pump2 1", R"({"ok": true})"},
        {"set gas.on 1", R"({"ok": true})"},
        {"set extra.on 1", R"({"ok": true})"},
        {"interval 0.1", R"({"ok": true})"},
        {"mode interrogated", R"({"ok": true})"},
        {"fault drop=5%", R"({"ok": true, "seed": )"},
        {"fault-seed 7", R"({"ok": true})"},
        {"faults clear", R"({"ok": true})"},
        {"clock.scale 60", R"({"ok": true})"},
        {"play well.csv speed 2 loop", R"({"ok": true})"},
        {"stop-play", R"({"ok": true})"},
        {"record out.jsonl", R"({"ok": true})"},
        {"stop-record", R"({"ok": true})"},
        {"watch", R"({"ok": true})"},
        {"link tcp-listen 127.0.0.1:0", R"j({"ok": true, "title": "Korvane (Interrogated TCP, 0)j"},
        {"link stop", R"j({"ok": true, "title": "Korvane (Not Connected, clock x60)"})j"},
        {"", R"({"ok": false, "error": "no command"})"},
        {"dance", R"({"ok": false, "error": "dance: no such command"})"},
        {"get now", R"({"ok": false, "error": "get: expected no arguments"})"},
        {"set rpo 1", R"({"ok": false, "error": "set: no value named \"rpo\""})"},
        {"set rop", R"({"ok": false, "error": "set: expected set NAME VALUE"})"},
        {"set rop fast", R"({"ok": false, "error": "set rop: expected a number"})"},
        {"set rop nan", R"({"ok": false, "error": "set rop: expected a number"})"},
        {"set pump1.spm 65", R"({"ok": false, "error": "set pump1.spm: expected one of 90)"},
        {"set pump4.on 1", R"({"ok": false, "error": "set: no value named \"pump4.on\""})"},
        {"set pump1.on 2", R"({"ok": false, "error": "set pump1.on: expected 0 or 1"})"},
        {"set drop.depth 1", R"({"ok": false, "error": "set drop.depth: expected drop.hole)"},
        {"set track.1.value 5",
         R"({"ok": false, "error": "set track.1.value: there is no track 1"})"},
        {"set track.x 5", R"({"ok": false, "error": "set track.x: expected track.N.value or)"},
        {"interval soon", R"({"ok": false, "error": "interval: Invalid Transmit Interval!)"},
        {"mode chatty", R"({"ok": false, "error": "mode: expected mode streaming|interrogated"})"},
        {"link udp 300.1.2.3", R"({"ok": false, "error": "link udp: 300.1.2.3 is not an IPv4)"},
        {"link serial 100", R"({"ok": false, "error": "link serial: Invalid Com Port!)"},
        {"link serial 3 1200", R"({"ok": false, "error": "link serial: the rate is one of)"},
        {"link tcp-connect nohost",
         R"({"ok": false, "error": "link tcp-connect: Invalid TCP Port!)"},
        {"link tcp-connect -x:80", R"({"ok": false, "error": "link tcp-connect: Invalid Host!)"},
        {"link tcp-listen 1.2.3:80", R"({"ok": false, "error": "link tcp-listen: 1.2.3 is not)"},
        {"link ftp", R"({"ok": false, "error": "link: expected link udp ADDRESS)"},
        {"send", R"({"ok": false, "error": "send: no link is running"})"},
        {"play", R"({"ok": false, "error": "play: expected play FILE [speed X] [loop]"})"},
        {"play well.csv speed 0", R"({"ok": false, "error": "play: expected play FILE)"},
        {"play missing.csv", R"({"ok": false, "error": "play: missing.csv cannot be opened"})"},
        {"record", R"({"ok": false, "error": "record: expected record FILE"})"},
        {"fault drop=x", R"({"ok": false, "error": "fault: drop=x: expected drop=P% with P)"},
        {"fault", R"({"ok": false, "error": "fault: expected fault NAME=VALUE"})"},
        {"faults all", R"({"ok": false, "error": "faults: expected faults clear"})"},
        {"fault-seed -1", R"({"ok": false, "error": "fault-seed: expected fault-seed N with)"},
        {"clock.scale 0.5", R"({"ok": false, "error": "clock.scale: expected clock.scale K)"},
        {"quit now", R"({"ok": false, "error": "quit: expected no arguments"})"},
    };
    for (const Case& c : cases) {
        const std::string reply = run(c.command);
        EXPECT_EQ(reply.rfind(c.reply, 0), 0u) << c.command << "\n" << reply;
        // What is refused when checked is refused when run (send and play
        // also depend on what runs).
        if (reply.rfind(R"({"ok": true)", 0) == 0) {
            EXPECT_EQ(commands.check(c.command), "");
        }
    }
    // What the good ones did, as get shows it.
    const std::string state = run("get");
    for (const char* part :
         {R"("rop": 0.5)", R"("hole": 1500.5)", R"("spm": 60)",
          R"("on": false, "strokes": 0, "send_strokes": false, "drop_spm": false)",
          R"("clock_scale": 60)", R"("mode": "interrogated")"})
        EXPECT_NE(state.find(part), std::string::npos) << part << "\n" << state;
    EXPECT_TRUE(commands.run("quit").quit);
}

TEST_F(ControlTest, AWatchingClientSeesAReceiverConnectAndItsGas) {
    ControlChannel channel(shared, control, host);
    ASSERT_EQ(channel.open(*readControlPlace("127.0.0.1:0")), "");
    auto client = TcpConnection::startConnect({{127, 0, 0, 1}, channel.port()});
    ASSERT_TRUE(client);
    SocketPoll poll;
    const std::size_t index = poll.add(*client, true);
    ASSERT_TRUE(poll.wait(2000ms) && poll.writable(index) && client->connectOutcome());
    std::string got;
    // Sends a line, then reads until `until` has come, within two seconds.
    const auto exchange = [&](const std::string& line, const std::string& until) {
        const auto end = std::chrono::steady_clock::now() + 2s;
        for (std::size_t sent = 0; sent < line.size() && std::chrono::steady_clock::now() < end;)
            sent += client->send(line.data() + sent, line.size() - sent).bytes;
        while (got.find(until) == std::string::npos && std::chrono::steady_clock::now() < end) {
            char buffer[4096];
            const TcpTransfer in = client->receive(buffer, sizeof buffer);
            if (in.bytes == 0) std::this_thread::sleep_for(2ms);
            got.append(buffer, in.bytes);
        }
        return got.find(until) != std::string::npos;
    };
    ASSERT_TRUE(exchange("link tcp-listen 127.0.0.1:0\nwatch\n", R"({"ok": true})"));
    ASSERT_TRUE(exchange({}, "\n{\"ok\": true}\n"));
    auto receiver = TcpConnection::startConnect(
        {{127, 0, 0, 1}, static_cast<uint16_t>(control.localPort.load())});
    ASSERT_TRUE(receiver);
    EXPECT_TRUE(exchange({}, R"("event": "connected")"));
    const std::string request = "&&\r\n0140 12.5\r\n!!\r\n";
    EXPECT_EQ(receiver->send(request.data(), request.size()).bytes, request.size());
    EXPECT_TRUE(exchange({}, R"({"event": "gas")"));
    EXPECT_NE(got.find(R"("value": 12.5})"), std::string::npos) << got;
    // A line too long is refused whole; the next one is served.
    EXPECT_TRUE(exchange(std::string(5000, 'x') + "\nget now\n", "get: expected no arguments"));
    EXPECT_NE(got.find("line longer than 4096 bytes"), std::string::npos);
    startLink(shared, control, host.ui, kMediumNone);  // the channel outlives its links
}

}  // namespace
}  // namespace korvane
