#include "headless/headless_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/link_settings.h"

namespace korvane {
namespace {

TEST(HeadlessOptions, ReadsTheCommandLine) {
    struct Case {
        const char* legend;
        std::vector<std::string> arguments;
        bool valid;
        LinkSettings expected;  // the defaults with the options applied
        bool echo;
    };
    const auto settings = [](auto change) {
        LinkSettings link;
        change(link);
        return link;
    };
    const LinkSettings defaults;
    const std::vector<Case> cases = {
        {"nothing", {}, true, defaults, false},
        {"UDP peer",
         {"--udp", "127.0.0.1"},
         true,
         settings([](LinkSettings& l) {
             l.medium = kMediumUdp;
             l.ipAddress[0] = 127, l.ipAddress[1] = 0, l.ipAddress[2] = 0, l.ipAddress[3] = 1;
         }),
         false},
        {"serial port, rate and mode, name=value form",
         {"--serial=12", "--baud", "115200", "--interrogated", "--echo"},
         true,
         settings([](LinkSettings& l) {
             l.medium = kMediumRs232, l.comPort = 12, l.baudIndex = 5, l.interrogated = 1;
         }),
         true},
        {"the last mode wins",
         {"--interrogated", "--streaming"},
         true,
         settings([](LinkSettings& l) { l.interrogated = 0; }),
         false},
        {"interval below the floor",
         {"--interval", "0.2"},
         true,
         settings([](LinkSettings& l) { l.transmitInterval = 0.5f; }),
         false},
        {"interval kept",
         {"--interval", "7.5"},
         true,
         settings([](LinkSettings& l) { l.transmitInterval = 7.5f; }),
         false},
        {"TCP server on every address",
         {"--tcp-listen", "6000"},
         true,
         settings([](LinkSettings& l) { l.medium = kMediumTcp, l.tcpPort = 6000; }),
         false},
        {"TCP server on loopback, interrogated",
         {"--tcp-listen=127.0.0.1:5002", "--interrogated", "--echo"},
         true,
         settings([](LinkSettings& l) {
             l.medium = kMediumTcp, l.tcpPort = 5002, l.interrogated = 1;
             l.tcpListenAddress[0] = 127, l.tcpListenAddress[3] = 1;
         }),
         true},
        {"TCP client",
         {"--tcp-connect", "logger.rig:7000"},
         true,
         settings([](LinkSettings& l) {
             l.medium = kMediumTcp, l.tcpRole = kTcpClient, l.tcpPort = 7000;
             l.tcpHost = "logger.rig";
         }),
         false},
        {"listen port 0", {"--tcp-listen", "0"}, false, defaults, false},
        {"listen on a name", {"--tcp-listen", "localhost:5001"}, false, defaults, false},
        {"connect without a port", {"--tcp-connect", "logger.rig"}, false, defaults, false},
        {"connect to a host with a blank", {"--tcp-connect", "a b:5001"}, false, defaults, false},
        {"an address out of range is no host",
         {"--tcp-connect", "300.1.2.3:5001"},
         false,
         defaults,
         false},
        {"nor is a label that starts with -",
         {"--tcp-connect", "-1.2.3.4:5001"},
         false,
         defaults,
         false},
        {"TCP and UDP", {"--tcp-listen", "5001", "--udp", "127.0.0.1"}, false, defaults, false},
        {"address with an octet too big", {"--udp", "10.0.0.256"}, false, defaults, false},
        {"address too short", {"--udp", "10.0.7"}, false, defaults, false},
        {"address missing", {"--udp"}, false, defaults, false},
        {"COM port 0", {"--serial", "0"}, false, defaults, false},
        {"COM port 100", {"--serial", "100"}, false, defaults, false},
        {"COM port with letters", {"--serial", "12ab"}, false, defaults, false},
        {"rate not in the table", {"--baud", "1200"}, false, defaults, false},
        {"interval with a unit", {"--interval", "7.5s"}, false, defaults, false},
        {"interval not a number", {"--interval", "nan"}, false, defaults, false},
        {"both media", {"--udp", "127.0.0.1", "--serial", "1"}, false, defaults, false},
        {"unknown option", {"--fast"}, false, defaults, false},
        {"value on a flag", {"--echo=1"}, false, defaults, false},
        {"playing and recording change no setting",
         {"--play", "a.csv", "--speed=max", "--loop", "--start", "30", "--record", "b.jsonl",
          "--record-overwrite"},
         true,
         defaults,
         false},
        {"speed below 0.1", {"--play", "a.csv", "--speed", "0.05"}, false, defaults, false},
        {"speed above 1000", {"--play", "a.csv", "--speed", "1001"}, false, defaults, false},
        {"a negative start", {"--play", "a.csv", "--start", "-1"}, false, defaults, false},
        {"loop without a recording", {"--loop"}, false, defaults, false},
        {"overwrite without a recording", {"--record-overwrite"}, false, defaults, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const ParsedOptions parsed = parseHeadlessOptions(c.arguments);
        ASSERT_EQ(parsed.options.has_value(), c.valid) << parsed.error;
        if (!c.valid) {
            EXPECT_FALSE(parsed.error.empty());
            continue;
        }
        LinkSettings link;
        applyHeadlessOptions(*parsed.options, link);
        EXPECT_EQ(link.medium, c.expected.medium);
        EXPECT_EQ(link.interrogated, c.expected.interrogated);
        EXPECT_EQ(link.comPort, c.expected.comPort);
        EXPECT_EQ(link.baudIndex, c.expected.baudIndex);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(link.ipAddress[i], c.expected.ipAddress[i]);
        EXPECT_FLOAT_EQ(link.transmitInterval, c.expected.transmitInterval);
        EXPECT_EQ(link.tcpRole, c.expected.tcpRole);
        EXPECT_EQ(link.tcpPort, c.expected.tcpPort);
        EXPECT_EQ(link.tcpHost, c.expected.tcpHost);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(link.tcpListenAddress[i], c.expected.tcpListenAddress[i]);
        EXPECT_EQ(parsed.options->echo, c.echo);
    }
    EXPECT_TRUE(parseHeadlessOptions({"--help"}).options->help);
    EXPECT_TRUE(parseHeadlessOptions({"--version"}).options->version);
}

TEST(HeadlessOptions, ReadsEveryFaultIntoOnePlanTheLastOfEachWinning) {
    const auto read = [](const std::vector<std::string>& arguments) {
        const ParsedOptions parsed = parseHeadlessOptions(arguments);
        if (!parsed.options) return parsed.error;
        std::string text = "seed " + std::to_string(parsed.options->faultSeed.value_or(0));
        for (const std::string& fault : faultTexts(parsed.options->faults)) text += ", " + fault;
        return text;
    };
    EXPECT_EQ(read({"--fault", "drop=5", "--fault=split=3:20", "--fault", "drop=0.5%",
                    "--fault-seed", "18446744073709551615"}),
              "seed 18446744073709551615, drop=0.5%, split=3:20");
    EXPECT_EQ(read({"--fault-seed=18446744073709551616"}),
              "--fault-seed needs a whole number from 0 to 18446744073709551615");
    for (const FaultKind kind : kAllFaults)
        EXPECT_EQ(read({"--fault", std::string(faultName(kind)) + "=x"}),
                  "--fault " + std::string(faultName(kind)) + "=x: expected " +
                      std::string(faultForm(kind)));
}

TEST(HeadlessOptions, EchoShowsEveryByteReadably) {
    struct Case {
        const char* legend;
        std::string data;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a frame", "&&\r\n1984KVT\r\n!!\r\n", "> &&\n> 1984KVT\n> !!\n"},
        {"last line without CR LF", "&&\r\nab", "> &&\n> ab\n"},
        {"lone CR and LF", "a\rb\nc", "> a\\rb\\nc\n"},
        {"binary bytes", std::string("\x00\x7f\xff", 3), "> \\x00\\x7f\\xff\n"},
        {"backslash", "a\\b", "> a\\\\b\n"},
        {"nothing", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(echoText(c.data, '>'), c.expected);
    }
}

}  // namespace
}  // namespace korvane
