#include "headless/headless_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

#include "platform/ipv4_address.h"
#include "simulation/sim_state.h"
#include "state/link_settings.h"
#include "text/number_text.h"

namespace korvane {

namespace {

// The Setup dialog's floor for the transmit interval, seconds.
constexpr float kShortestInterval = 0.5f;

template <typename Number = int32_t>
std::optional<Number> wholeNumber(std::string_view text) {
    return readWhole<Number>(text);
}

// Strict dotted-quad text, as every other place an address is typed takes it.
std::optional<std::array<int32_t, 4>> readAddress(std::string_view text) {
    const std::optional<Ipv4Address> address = parseAddress(std::string(text), 0);
    if (!address) return std::nullopt;
    std::array<int32_t, 4> octets{};
    std::copy(std::begin(address->octets), std::end(address->octets), octets.begin());
    return octets;
}

constexpr const char* kPortRange = "the port must be 1 to 65535";
constexpr const char* kListenForm = "--tcp-listen needs [ADDRESS:]PORT such as 127.0.0.1:5001";
constexpr const char* kConnectForm = "--tcp-connect needs HOST:PORT such as logger.local:5001";
constexpr const char* kSeedForm =
    "--fault-seed needs a whole number from 0 to 18446744073709551615";

// A TCP port, or why not: a number out of range is told apart from no number.
std::optional<int32_t> tcpPort(std::string_view text, std::string& why) {
    const std::optional<int32_t> port = wholeNumber(text);
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == text.npos;
    if (port && *port >= 1 && *port <= 65535) return port;
    if (digits) why = kPortRange;
    return std::nullopt;
}

// "[ADDRESS:]PORT": where a server listens. Empty, or why not.
std::string readListen(std::string_view text, HeadlessOptions& options) {
    const std::size_t colon = text.rfind(':');
    std::string why;
    const std::optional<int32_t> port =
        tcpPort(colon == std::string_view::npos ? text : text.substr(colon + 1), why);
    std::optional<std::array<int32_t, 4>> address = std::array<int32_t, 4>{0, 0, 0, 0};
    if (colon != std::string_view::npos) address = readAddress(text.substr(0, colon));
    if (!address) return "--tcp-listen: the address must be an IPv4 address such as 127.0.0.1";
    if (!port) return why.empty() ? kListenForm : "--tcp-listen: " + why;
    options.tcpPort = port;
    options.tcpListenAddress = address;
    return {};
}

// "HOST:PORT": the receiver's server a client connects to. Empty, or why not.
std::string readConnect(std::string_view text, HeadlessOptions& options) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return kConnectForm;
    std::string why;
    const std::optional<int32_t> port = tcpPort(text.substr(colon + 1), why);
    const std::string_view host = text.substr(0, colon);
    if (!isHostName(host))
        return "--tcp-connect: the host must be a name or an IPv4 address such as 127.0.0.1";
    if (!port) return why.empty() ? kConnectForm : "--tcp-connect: " + why;
    options.tcpPort = port;
    options.tcpHost = std::string(host);
    return {};
}

}  // namespace

const char* const kHeadlessUsage =
    "Usage: korvane-headless [options]\n"
    "Runs the WITS simulator without a window, sending over UDP, RS-232 or TCP,\n"
    "with the settings in Korvane.ini in the working directory;\n"
    "SIGINT, SIGTERM or SIGHUP ends it and saves the settings.\n"
    "\n"
    "  --udp ADDRESS     send over UDP, port 5001; ADDRESS is the IPv4 peer\n"
    "  --serial N        send over RS-232 on COM port N (1 to 99): the entry COMN\n"
    "                    in the working directory (say a symlink to the device),\n"
    "                    else /dev/ttyS<N-1>\n"
    "  --baud RATE       4800, 9600, 19200, 38400, 57600 or 115200\n"
    "  --interrogated    answer requests only\n"
    "  --streaming       send a frame every interval\n"
    "  --tcp-listen [ADDRESS:]PORT\n"
    "                    serve receivers over TCP on PORT (1 to 65535); ADDRESS,\n"
    "                    one IPv4 address of this computer, limits who can reach\n"
    "                    it (default: every address)\n"
    "  --tcp-connect HOST:PORT\n"
    "                    connect over TCP to a receiver's server at HOST (a name or\n"
    "                    IPv4 address); a lost connection is made again\n"
    "  --interval SECS   streaming interval in seconds (at least 0.5)\n"
    "  --echo            print every frame sent and everything received; over\n"
    "                    TCP each line names its connection\n"
    "  --timestamps      start every --echo line with the local time, as the\n"
    "                    lines on standard error always do\n"
    "  --play FILE       play a recording (Korvane's own, raw WITS text or CSV\n"
    "                    channels) instead of the simulated rig; the run ends\n"
    "                    when it has played\n"
    "  --speed X|max     play X times as fast (0.1 to 1000); max, streaming only,\n"
    "                    as fast as the link takes frames\n"
    "  --loop            play the recording again from the start at its end\n"
    "  --start SECS      begin playing SECS seconds into the recording\n"
    "  --record FILE     record every frame sent and everything received\n"
    "  --record-overwrite\n"
    "                    replace FILE if it exists (else the run refuses to start)\n"
    "  --fault NAME=VALUE\n"
    "                    make a fault on purpose, as real rig links do; repeat\n"
    "                    it for more. P is the share of frames hit, 0 to 100\n"
    "                    (decimals allowed, the % optional); 0 switches one off:\n"
    "                    drop=P%               the frame is not sent (not answered)\n"
    "                    duplicate=P%          the frame is sent twice\n"
    "                    delay=MS[:JITTER_MS]  every frame MS ms late, plus up to\n"
    "                                          JITTER_MS more at random\n"
    "                    split=N[:GAP_MS]      every frame in N pieces, GAP_MS apart\n"
    "                    corrupt=P%            one byte replaced at random\n"
    "                    noise=P%              random bytes put between two records\n"
    "                    truncate=P%           the frame cut short, no end\n"
    "                    bad-value=P%          one value replaced by nonsense\n"
    "                    line-ends=lf|cr|mixed lines not ended in CR LF\n"
    "                    stall=SECONDS:EVERY   quiet for SECONDS every EVERY s\n"
    "                    disconnect=EVERY      TCP only: connections closed every\n"
    "                                          EVERY seconds\n"
    "                    reorder=P%            the frame sent after the next one\n"
    "  --fault-seed N    fix the faults' random choices (N from 0 to 2^64-1) to\n"
    "                    repeat a run; without it a seed is drawn and printed\n"
    "  --control stdin|[ADDRESS:]PORT\n"
    "                    take commands from standard input, or from TCP clients\n"
    "                    on PORT (on 127.0.0.1 unless ADDRESS is given: the\n"
    "                    channel has no authentication); see the README\n"
    "  --scenario FILE   run FILE's timed commands from start-up\n"
    "  --clock-scale K   depths and stroke totals advance K times as fast (1 to\n"
    "                    3600); the interval and time-outs stay in real time\n"
    "  --help            print this text\n"
    "  --version         print the program's name and version\n"
    "\n"
    "Options override the loaded settings and are saved at exit (except the\n"
    "COM port and baud rate, which Korvane.ini does not keep, and the faults).\n"
    "Link failures, the link state and the faults go to standard error, one line\n"
    "each, each starting with the local time (HH:MM:SS.mmm).\n"
    "\n"
    "Exit status: 0 after SIGINT, SIGTERM or SIGHUP, and when another copy is\n"
    "already running; 1 when the link cannot start (a TCP server whose port is\n"
    "taken waits for it instead) or the settings cannot be saved at the end;\n"
    "2 for a command line it cannot read, a recording it cannot play, a file it\n"
    "will not record over, or a disconnect fault on a link other than TCP.\n";

ParsedOptions parseHeadlessOptions(const std::vector<std::string>& arguments) {
    HeadlessOptions options;
    int media = 0;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto flag = [&]() { return !inlineValue.has_value(); };
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        const auto fail = [&](const std::string& why) { return ParsedOptions{std::nullopt, why}; };

        if (name == "--help" && flag()) {
            options.help = true;
        } else if (name == "--version" && flag()) {
            options.version = true;
        } else if (name == "--echo" && flag()) {
            options.echo = true;
        } else if (name == "--timestamps" && flag()) {
            options.timestamps = true;
        } else if (name == "--interrogated" && flag()) {
            options.interrogated = 1;
        } else if (name == "--streaming" && flag()) {
            options.interrogated = 0;
        } else if (name == "--udp") {
            const std::optional<std::string> text = value();
            const auto octets = text ? readAddress(*text) : std::nullopt;
            if (!octets) return fail("--udp needs an IPv4 address such as 192.168.1.100");
            for (int k = 0; k < 4; ++k) options.ipAddress[k] = (*octets)[k];
            options.medium = kMediumUdp;
            ++media;
        } else if (name == "--serial") {
            const std::optional<std::string> text = value();
            const std::optional<int32_t> port = text ? wholeNumber(*text) : std::nullopt;
            if (!port || *port < 1 || *port > 99) return fail("Invalid Com Port!");
            options.comPort = *port;
            options.medium = kMediumRs232;
            ++media;
        } else if (name == "--tcp-listen") {
            const std::optional<std::string> text = value();
            const std::string why = text ? readListen(*text, options) : kListenForm;
            if (!why.empty()) return fail(why);
            options.medium = kMediumTcp;
            options.tcpRole = kTcpServer;
            ++media;
        } else if (name == "--tcp-connect") {
            const std::optional<std::string> text = value();
            const std::string why = text ? readConnect(*text, options) : kConnectForm;
            if (!why.empty()) return fail(why);
            options.medium = kMediumTcp;
            options.tcpRole = kTcpClient;
            ++media;
        } else if (name == "--baud") {
            const std::optional<std::string> text = value();
            const std::optional<int32_t> rate = text ? wholeNumber(*text) : std::nullopt;
            std::optional<int32_t> index;
            for (int k = 0; rate && k < kBaudCount; ++k)
                if (kBaudRates[k] == *rate) index = k;
            if (!index) return fail("--baud needs one of the listed rates");
            options.baudIndex = index;
        } else if (name == "--play" || name == "--record") {
            const std::optional<std::string> text = value();
            if (!text || text->empty()) return fail(name + " needs a file name");
            (name == "--play" ? options.play : options.record) = *text;
        } else if (name == "--loop" && flag()) {
            options.playing.loop = true;
        } else if (name == "--record-overwrite" && flag()) {
            options.recordOverwrite = true;
        } else if (name == "--speed") {
            const std::optional<std::string> text = value();
            if (!text || !readPlaySpeed(*text, options.playing))
                return fail("--speed needs a number from 0.1 to 1000, or max");
        } else if (name == "--start") {
            const std::optional<std::string> text = value();
            const std::optional<double> seconds = text ? readDecimal(*text) : std::nullopt;
            if (!seconds || *seconds < 0) return fail("--start needs seconds, 0 or more");
            options.playing.start = *seconds;
        } else if (name == "--fault") {
            const std::optional<std::string> text = value();
            const std::string why = readFault(text.value_or(""), options.faults);
            // Without a fault the message starts ": expected one of ...".
            if (!why.empty())
                return fail(text && !text->empty() ? "--fault " + why : "--fault" + why);
        } else if (name == "--fault-seed") {
            const std::optional<std::string> text = value();
            const std::optional<uint64_t> seed = text ? wholeNumber<uint64_t>(*text) : std::nullopt;
            if (!seed) return fail(kSeedForm);
            options.faultSeed = seed;
        } else if (name == "--control") {
            const std::optional<std::string> text = value();
            options.control = text ? readControlPlace(*text) : std::nullopt;
            if (!options.control) return fail("--control needs stdin, PORT or ADDRESS:PORT");
        } else if (name == "--scenario") {
            const std::optional<std::string> text = value();
            if (!text || text->empty()) return fail("--scenario needs a file name");
            options.scenario = *text;
        } else if (name == "--clock-scale") {
            const std::optional<std::string> text = value();
            const std::optional<double> scale = text ? readDecimal(*text) : std::nullopt;
            if (!scale || *scale < 1 || *scale > kMostClockScale)
                return fail("--clock-scale needs a number from 1 to 3600");
            options.clockScale = *scale;
        } else if (name == "--interval") {
            const std::optional<std::string> text = value();
            std::size_t used = 0;
            const std::optional<float> seconds = text ? scanFloat(*text, &used) : std::nullopt;
            if (!seconds || used != text->size() || !std::isfinite(*seconds))
                return fail("Invalid Transmit Interval!");
            options.transmitInterval = *seconds < kShortestInterval ? kShortestInterval : *seconds;
        } else {
            return fail("unknown option " + arguments[i]);
        }
    }
    if (media > 1)
        return {std::nullopt, "choose one of --udp, --serial, --tcp-listen and --tcp-connect"};
    const PlayOptions asRecorded;
    const PlayOptions& play = options.playing;
    const bool playing = play.speed != asRecorded.speed || play.asFastAsTaken || play.loop ||
                         play.start != asRecorded.start;
    if (playing && !options.play) return {std::nullopt, "--speed, --loop and --start need --play"};
    if (options.recordOverwrite && !options.record)
        return {std::nullopt, "--record-overwrite needs --record"};
    return {options, {}};
}

void applyHeadlessOptions(const HeadlessOptions& options, LinkSettings& link) {
    if (options.medium) link.medium = *options.medium;
    for (int i = 0; i < 4; ++i)
        if (options.ipAddress[i]) link.ipAddress[i] = *options.ipAddress[i];
    if (options.comPort) link.comPort = *options.comPort;
    if (options.baudIndex) link.baudIndex = *options.baudIndex;
    if (options.interrogated) link.interrogated = *options.interrogated;
    if (options.transmitInterval) link.transmitInterval = *options.transmitInterval;
    if (options.tcpRole) link.tcpRole = *options.tcpRole;
    if (options.tcpPort) link.tcpPort = *options.tcpPort;
    if (options.tcpListenAddress)
        for (int i = 0; i < 4; ++i) link.tcpListenAddress[i] = (*options.tcpListenAddress)[i];
    if (options.tcpHost) link.tcpHost = *options.tcpHost;
}

}  // namespace korvane
