// Runs the built korvane-headless as the operator would, in a folder of its own,
// and talks to it over loopback UDP only.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_fixtures.h"
#include "links/udp_links.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "replay/recording_lines.h"
#include "replay/recording_reader.h"
#include "text/number_text.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::putFloat;
using testing::TempFolder;

const Ipv4Address kLinkPort{{127, 0, 0, 1}, kWitsUdpPort};
const std::string kRequest = "&&\r\n0140 5\r\n!!\r\n";

float floatAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
    float value = 0.0f;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

int32_t intAt(const std::vector<uint8_t>& bytes, std::size_t offset) {
    int32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Korvane.ini asking for an interrogated UDP link with the peer on loopback.
std::vector<uint8_t> settingsFile(float holeDepth, float bitDepth) {
    std::vector<uint8_t> bytes = {127, 0, 0, 1};
    putFloat(bytes, 0.1f);     // reserved
    putFloat(bytes, 3.0f);     // transmitInterval
    testing::put32(bytes, 0);  // transmitExtraRecords
    testing::put32(bytes, 1);  // medium: UDP
    testing::put32(bytes, 1);  // interrogated
    putFloat(bytes, holeDepth);
    putFloat(bytes, bitDepth);
    testing::put32(bytes, 0);  // no auxiliary tracks
    return bytes;
}

// korvane-headless started in `folder`, with its lock there too and its
// output in stdout.txt (or `stdoutFd`) and stderr.txt.
pid_t startHeadless(const TempFolder& folder, const std::vector<std::string>& options,
                    int stdoutFd = -1, rlim_t fileLimit = 0) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    const rlimit files{fileLimit, fileLimit};
    if (fileLimit > 0 && ::setrlimit(RLIMIT_NOFILE, &files) != 0) ::_exit(102);
    if (::chdir(folder.path().c_str()) != 0) ::_exit(100);
    ::setenv("XDG_RUNTIME_DIR", folder.path().c_str(), 1);
    const int out =
        stdoutFd >= 0 ? stdoutFd : ::open("stdout.txt", O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv = {const_cast<char*>("korvane-headless")};
    for (const std::string& option : options) argv.push_back(const_cast<char*>(option.c_str()));
    argv.push_back(nullptr);
    ::execv(KORVANE_HEADLESS, argv.data());
    ::_exit(101);
}

// Exit code, or -1 when it did not end within the time given.
int waitForExit(pid_t child, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

// Requests answered out of `count`, one at a time, each given 200 ms.
int answered(int count) {
    UdpSocket client = *UdpSocket::open();
    client.bind(Ipv4Address{{127, 0, 0, 1}, 0});
    char buffer[65536];
    int answers = 0;
    for (int i = 0; i < count; ++i) {
        client.sendTo(kRequest.data(), kRequest.size(), kLinkPort);
        if (client.waitReadable(200ms) && client.receiveFrom(buffer, sizeof buffer).length > 0)
            ++answers;
    }
    return answers;
}

// Sends requests until a frame comes back (the runner takes a moment to start).
std::optional<std::string> interrogate() {
    UdpSocket client = *UdpSocket::open();
    client.bind(Ipv4Address{{127, 0, 0, 1}, 0});
    char buffer[65536];
    for (int attempt = 0; attempt < 50; ++attempt) {
        client.sendTo(kRequest.data(), kRequest.size(), kLinkPort);
        if (client.waitReadable(200ms)) {
            const Datagram datagram = client.receiveFrom(buffer, sizeof buffer);
            if (datagram.length > 0)
                return std::string(buffer, static_cast<std::size_t>(datagram.length));
        }
    }
    return std::nullopt;
}

std::optional<float> itemValue(const std::string& frame, const std::string& item) {
    const std::size_t at = frame.find("\r\n" + item);
    if (at == std::string::npos) return std::nullopt;
    return scanFloat(std::string_view(frame).substr(at + 2 + item.size()));
}

std::string readText(const std::filesystem::path& path) {
    const std::vector<uint8_t> bytes = testing::readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// stderr.txt without the local time that starts each line ("12:34:56.789 ");
// a line without one is marked, so that a comparison fails.
std::string unstamped(const std::filesystem::path& path) {
    const std::string text = readText(path);
    std::string lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        const bool stamped = line.size() >= 13 && line[2] == ':' && line[5] == ':' &&
                             line[8] == '.' && line[12] == ' ';
        lines += stamped ? line.substr(13) : "[no time] " + line;
        lines += '\n';
        start = end + 1;
    }
    return lines;
}

TEST(HeadlessRun, AnswersFromItsSettingsAndSavesThemOnSigterm) {
    TempFolder folder;
    testing::writeBytes(folder / "Korvane.ini", settingsFile(1234.5f, 1000.25f));
    const pid_t runner = startHeadless(folder, {"--echo"});

    const std::optional<std::string> frame = interrogate();
    ASSERT_TRUE(frame.has_value()) << readText(folder / "stderr.txt");
    EXPECT_EQ(frame->rfind("&&\r\n1984KVT\r\n!!\r\n&&\r\n", 0), 0u);
    // The clock may have drilled a little since the start.
    const std::optional<float> hole = itemValue(*frame, "0110");
    ASSERT_TRUE(hole.has_value());
    EXPECT_GE(*hole, 1234.5f);
    EXPECT_LT(*hole, 1244.5f);

    // A second copy refuses to run and leaves the settings alone.
    const std::vector<uint8_t> before = testing::readBytes(folder / "Korvane.ini");
    std::filesystem::remove(folder / "stderr.txt");
    const pid_t second = startHeadless(folder, {});
    EXPECT_EQ(waitForExit(second, 5000ms), 0);
    EXPECT_EQ(unstamped(folder / "stderr.txt"), "An Instace of Korvane is Already Running!\n");
    EXPECT_EQ(testing::readBytes(folder / "Korvane.ini"), before);

    ASSERT_EQ(::kill(runner, SIGTERM), 0);
    EXPECT_EQ(waitForExit(runner, 5000ms), 0);

    const std::vector<uint8_t> saved = testing::readBytes(folder / "Korvane.ini");
    ASSERT_EQ(saved.size(), 36u);
    EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 4),
              (std::vector<uint8_t>{127, 0, 0, 1}));
    EXPECT_EQ(intAt(saved, 16), 1);  // medium: the link was up at the end
    EXPECT_EQ(intAt(saved, 20), 1);  // interrogated
    EXPECT_GE(floatAt(saved, 24), 1234.5f);

    const std::string echo = readText(folder / "stdout.txt");
    EXPECT_NE(echo.find("< &&\n< 0140 5\n< !!\n"), std::string::npos);
    EXPECT_NE(echo.find("> &&\n> 1984KVT\n> !!\n"), std::string::npos);
}

// Options override the defaults (no Korvane.ini here) and each signal that ends
// the runner saves them. A hang-up (terminal closed, ssh session ended) is an
// exit like the others, not a death that loses the settings.
TEST(HeadlessRun, OptionsOverrideTheSettingsAndEveryEndingSignalSavesThem) {
    struct Case {
        const char* legend;
        int signal;
        std::string interval;
        float saved;  // the interval in the saved file, s
    };
    const Case cases[] = {
        {"SIGINT, an interval below the floor", SIGINT, "0.2", 0.5f},
        {"SIGHUP", SIGHUP, "0.75", 0.75f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        const pid_t runner = startHeadless(
            folder, {"--udp", "127.0.0.1", "--interrogated", "--interval", c.interval});
        ASSERT_TRUE(interrogate().has_value()) << readText(folder / "stderr.txt");
        ASSERT_EQ(::kill(runner, c.signal), 0);
        EXPECT_EQ(waitForExit(runner, 5000ms), 0);

        EXPECT_EQ(unstamped(folder / "stderr.txt"), "Korvane (Interrogated UDP)\n");
        const std::vector<uint8_t> saved = testing::readBytes(folder / "Korvane.ini");
        ASSERT_EQ(saved.size(), 36u);
        EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 4),
                  (std::vector<uint8_t>{127, 0, 0, 1}));
        EXPECT_FLOAT_EQ(floatAt(saved, 8), c.saved);
        EXPECT_EQ(intAt(saved, 16), 1);  // medium: the link was up at the end
        EXPECT_EQ(intAt(saved, 20), 1);  // interrogated
    }
}

// A run that cannot work says so in its status; one with no link at all
// says how to choose one and runs on.
TEST(HeadlessRun, ExitStatusSaysWhetherTheRunCouldWork) {
    struct Case {
        const char* legend;
        std::vector<std::string> options;
        bool runsOn;  // until SIGTERM
        int status;
        std::string told;  // on stderr, without times
        bool saved;        // Korvane.ini written at the end
    };
    const Case cases[] = {
        {"no link",
         {},
         true,
         0,
         "Korvane: No link: choose one with --udp, --serial, --tcp-listen or --tcp-connect\n"
         "Korvane (Not Connected)\n",
         true},
        {"UDP port taken",
         {"--udp", "127.0.0.1", "--interrogated"},
         false,
         1,
         "Korvane: UDP Error on 127.0.0.1\n"
         "Korvane: Port 5001 is already in use by another program.\nKorvane (Not Connected)\n",
         false},
        {"COM port that cannot be opened",
         {"--serial", "9"},
         false,
         1,
         "Korvane: Error Opening COM port 9\nKorvane (Not Connected)\n",
         false},
        {"save failed", {"--udp", "127.0.0.1", "--streaming"}, true, 1, "", false},
        {"a bad port",
         {"--tcp-connect", "127.0.0.1:99999"},
         false,
         2,
         "korvane-headless: --tcp-connect: the port must be 1 to 65535\n",
         false},
        {"a bad host",
         {"--tcp-connect", "300.1.2.3:5001"},
         false,
         2,
         "korvane-headless: --tcp-connect: the host must be a name or an IPv4 address such as "
         "127.0.0.1\n",
         false},
        {"a recording that is not there",
         {"--udp", "127.0.0.1", "--play", "gone.csv"},
         false,
         2,
         "korvane-headless: Cannot play gone.csv: it cannot be read",
         false},
        {"recording over a file",
         {"--udp", "127.0.0.1", "--record", "COM9"},
         false,
         2,
         "korvane-headless: Cannot record to COM9: it exists (give --record-overwrite to replace "
         "it)\n",
         false},
        {"as fast as taken, interrogated",
         {"--udp", "127.0.0.1", "--interrogated", "--play", "COM9", "--speed", "max"},
         false,
         2,
         "korvane-headless: --speed max plays only in streaming mode\n",
         false},
        {"disconnect without TCP",
         {"--udp", "127.0.0.1", "--fault", "disconnect=5"},
         false,
         2,
         "korvane-headless: --fault disconnect=5: disconnect is for TCP links only",
         false},
    };
    UdpSocket squatter = *UdpSocket::open();
    ASSERT_TRUE(squatter.bind(kLinkPort));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        testing::writeText(folder / "COM9", "not a terminal");
        const bool saveFails = c.told.empty();
        // A folder where the file should be can be neither read nor replaced.
        if (saveFails) std::filesystem::create_directory(folder / "Korvane.ini");
        const pid_t runner = startHeadless(folder, c.options);
        if (c.runsOn) {
            std::this_thread::sleep_for(1000ms);
            ASSERT_EQ(::kill(runner, SIGTERM), 0);
        }
        EXPECT_EQ(waitForExit(runner, 10000ms), c.status);
        const std::string told = c.status == 2 ? readText(folder / "stderr.txt").substr(0, 200)
                                               : unstamped(folder / "stderr.txt");
        if (saveFails)
            EXPECT_NE(
                told.find("Korvane: Korvane.ini could not be saved: it is not a regular file"),
                std::string::npos)
                << told;
        else
            EXPECT_EQ(told.substr(0, c.told.size()), c.told);
        EXPECT_EQ(std::filesystem::is_regular_file(folder / "Korvane.ini"), c.saved);
    }
}

// What a recording played over the link records again, byte for byte and on
// its schedule; at its end the run ends as on SIGTERM.
TEST(HeadlessRun, PlaysARecordingToItsEndAndRecordsTheSameFrames) {
    TempFolder folder;
    std::string odd = "&&\r\n1984KVT\r\n!!\r\n&&\r\n0108";
    for (int b = 0; b < 256; ++b) odd.push_back(static_cast<char>(b));
    const std::vector<std::string> frames = {odd + "\r\n!!\r\n", "&&\r\n01085.0\r\n!!\r\n",
                                             "&&\r\n01086.0\r\n!!\r\n"};
    testing::writeText(folder / "in.jsonl", frameLine(0, frames[0]) + frameLine(0.3, frames[1]) +
                                                frameLine(0.6, frames[2]));
    const pid_t runner = startHeadless(folder, {"--udp", "127.0.0.1", "--streaming", "--play",
                                                "in.jsonl", "--record", "out.jsonl"});
    EXPECT_EQ(waitForExit(runner, 10000ms), 0);
    EXPECT_NE(readText(folder / "stderr.txt").find("Played in.jsonl to the end"),
              std::string::npos);
    auto opened = RecordingReader::open((folder / "out.jsonl").string());
    ASSERT_TRUE(std::holds_alternative<RecordingReader>(opened));
    RecordedFrame frame;
    std::vector<double> times;
    for (std::size_t i = 0; std::get<RecordingReader>(opened).next(frame); ++i) {
        ASSERT_LT(i, frames.size());
        EXPECT_EQ(frame.frame, frames[i]);
        times.push_back(*frame.t);
    }
    ASSERT_EQ(times.size(), frames.size());
    EXPECT_NEAR(times[2] - times[0], 0.6, 0.1);
}

// CPU time a process has used, from /proc, in clock ticks.
long cpuTicks(pid_t process) {
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stol(field);
        if (i == 15) system = std::stol(field);
    }
    return user + system;
}

// With no descriptors left the listener stays readable while accepting
// fails at once: the server must wait, not spin, and say so once.
TEST(HeadlessRun, ReceiversBeyondTheDescriptorLimitCostNoCpu) {
    TempFolder folder;
    const pid_t runner =
        startHeadless(folder, {"--tcp-listen", "127.0.0.1:5001", "--interrogated"}, -1, 24);
    for (int i = 0;
         i < 100 && readText(folder / "stderr.txt").find("Listening") == std::string::npos; ++i)
        std::this_thread::sleep_for(50ms);
    std::vector<TcpConnection> knocking;
    while (knocking.size() < 40)
        knocking.push_back(*TcpConnection::startConnect({{127, 0, 0, 1}, 5001}));
    std::this_thread::sleep_for(500ms);
    const long before = cpuTicks(runner);
    std::this_thread::sleep_for(1000ms);
    const long used = cpuTicks(runner) - before;
    std::printf(
        "[ measured ] CPU under a 24-descriptor limit, 40 receivers: %ld ticks of %ld in 1 s\n",
        used, ::sysconf(_SC_CLK_TCK));
    EXPECT_LT(used, ::sysconf(_SC_CLK_TCK) / 5);
    const std::string told = unstamped(folder / "stderr.txt");
    const std::string shortage = "Korvane: Cannot accept more receivers: too many open files\n";
    EXPECT_NE(told.find(shortage), std::string::npos) << told;
    EXPECT_EQ(told.find(shortage), told.rfind(shortage)) << "said once";
    knocking.clear();
    ASSERT_EQ(::kill(runner, SIGTERM), 0);
    EXPECT_EQ(waitForExit(runner, 5000ms), 0);
}

TEST(HeadlessRun, BadOptionsAndHelp) {
    TempFolder folder;
    EXPECT_EQ(waitForExit(startHeadless(folder, {"--udp", "10.0.0"}), 5000ms), 2);
    EXPECT_NE(readText(folder / "stderr.txt").find("Usage:"), std::string::npos);
    EXPECT_EQ(waitForExit(startHeadless(folder, {"--help"}), 5000ms), 0);
    const std::string help = readText(folder / "stdout.txt");
    EXPECT_NE(help.find("--interval SECS"), std::string::npos);
    EXPECT_NE(help.find("SIGINT, SIGTERM or SIGHUP ends it"), std::string::npos);
    EXPECT_NE(help.find("0 after SIGINT, SIGTERM or SIGHUP"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / "Korvane.ini"));  // nothing touched
}

// `--echo | less` with nobody scrolling: the echo is dropped, never the link,
// and the end still comes at once, settings saved.
TEST(HeadlessRun, AStalledEchoReaderHoldsUpNeitherTheLinkNorTheEnd) {
    TempFolder folder;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::fcntl(pipeEnds[0], F_SETPIPE_SZ, 4096);  // fills after a few frames
    const pid_t runner =
        startHeadless(folder, {"--udp", "127.0.0.1", "--interrogated", "--echo"}, pipeEnds[1]);
    ::close(pipeEnds[1]);
    ASSERT_TRUE(interrogate().has_value()) << readText(folder / "stderr.txt");
    EXPECT_EQ(answered(3000), 3000);

    // Once the reader reads again it hears what it missed.
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    std::string echo;
    char chunk[65536];
    for (auto end = std::chrono::steady_clock::now() + 1s;
         std::chrono::steady_clock::now() < end;) {
        const ssize_t got = ::read(pipeEnds[0], chunk, sizeof chunk);
        if (got > 0) echo.append(chunk, static_cast<std::size_t>(got));
        if (got <= 0) std::this_thread::sleep_for(10ms);
    }
    EXPECT_NE(echo.find("lines dropped while the output was not read]"), std::string::npos);

    EXPECT_EQ(answered(3000), 3000);  // stalled again
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(runner, SIGTERM), 0);
    EXPECT_EQ(waitForExit(runner, 5000ms), 0);
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, 1000ms);
    std::printf("[ measured ] exit after SIGTERM with the echo stalled: %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_EQ(testing::readBytes(folder / "Korvane.ini").size(), 36u);
    ::close(pipeEnds[0]);
}

}  // namespace
}  // namespace korvane
