#include "control/control_commands.h"

#include <cmath>
#include <functional>
#include <optional>

#include "control/control_host.h"
#include "control/control_json.h"
#include "faults/fault_plan.h"
#include "links/link_control.h"
#include "links/media.h"
#include "links/peer_text.h"
#include "links/recorded_source.h"
#include "platform/ipv4_address.h"
#include "replay/recorder.h"
#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "text/number_text.h"

namespace korvane {

namespace {

constexpr float kShortestInterval = 0.5f;  // as the Setup dialog stores it
constexpr int kLowestComPort = 1;
constexpr int kHighestComPort = 99;
constexpr int kHighestTcpPort = 65535;

std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        std::size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
            ++end;
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string text(std::string_view view) { return std::string(view); }

// A finite number, nothing else around it, in the classic locale; a
// leading '+' is taken too.
std::optional<double> number(std::string_view word) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    return readDecimal(word);
}

std::optional<int> whole(std::string_view word, int least, int most) {
    const std::optional<int> value = readWhole<int>(word);
    if (!value || *value < least || *value > most) return std::nullopt;
    return value;
}

std::optional<bool> onOff(std::string_view word) {
    if (word == "1" || word == "on" || word == "true") return true;
    if (word == "0" || word == "off" || word == "false") return false;
    return std::nullopt;
}

// "[ADDRESS:]PORT" or "HOST:PORT": the part before the last colon, and the port.
bool splitPort(std::string_view word, std::string& host, int& port, bool hostNeeded) {
    const std::size_t colon = word.rfind(':');
    if (colon == std::string_view::npos && hostNeeded) return false;
    host = colon == std::string_view::npos ? std::string() : text(word.substr(0, colon));
    const auto read =
        whole(colon == std::string_view::npos ? word : word.substr(colon + 1), 0, kHighestTcpPort);
    if (!read) return false;
    port = *read;
    return true;
}

const char* healthName(LinkHealth health) {
    switch (health) {
        case LinkHealth::working:
            return "working";
        case LinkHealth::deviceGone:
            return "device gone";
        case LinkHealth::reconnecting:
            return "reconnecting";
        case LinkHealth::waitingForPort:
            return "waiting for port";
    }
    return "working";
}

const char* mediumName(int32_t medium) {
    switch (medium) {
        case kMediumUdp:
            return "udp";
        case kMediumRs232:
            return "serial";
        case kMediumTcp:
            return "tcp";
        default:
            return "none";
    }
}

// startLink's messages, caught for the reply instead of a box on the screen;
// the title goes where it always goes.
class CaughtUi final : public LinkUi {
public:
    explicit CaughtUi(LinkUi& shown) : shown_(shown) {}
    void showLinkError(const std::string& text) override {
        if (!error.empty()) error += " ";
        error += text;
    }
    void setTitle(const std::string& title) override { shown_.setTitle(title); }
    std::string error;

private:
    LinkUi& shown_;
};

}  // namespace

ControlCommands::ControlCommands(SharedState& shared, LinkControl& control, ControlHost& host)
    : shared_(shared), control_(control), host_(host), seed_(drawFaultSeed()) {}

void ControlCommands::setScenarioProgress(std::string progress) {
    std::lock_guard lock(mutex_);
    progress_ = std::move(progress);
}

ControlCommands::Reply ControlCommands::run(std::string_view line) {
    Reply reply;
    const std::string error = runOrCheck(wordsOf(line), true, reply);
    if (!error.empty()) {
        reply = Reply{errorReply(error)};
    } else if (reply.line.empty()) {
        reply.line = JsonObject().add("ok", true).text();
    }
    return reply;
}

std::string ControlCommands::check(std::string_view line) {
    Reply ignored;
    return runOrCheck(wordsOf(line), false, ignored);
}

// Every command: with `apply` false it only says whether it could run.
std::string ControlCommands::runOrCheck(const std::vector<std::string_view>& words, bool apply,
                                        Reply& reply) {
    if (words.empty()) return "no command";
    const std::string_view name = words[0];
    const std::size_t arguments = words.size() - 1;
    const auto exactly = [&](std::size_t count, const char* form) -> std::string {
        return arguments == count ? std::string() : text(name) + ": expected " + form;
    };
    if (name == "get") {
        if (auto wrong = exactly(0, "no arguments"); !wrong.empty()) return wrong;
        return apply ? get(reply) : std::string();
    }
    if (name == "set") return set(words, apply);
    if (name == "link" || name == "mode" || name == "interval") return link(words, apply, reply);
    if (name == "send") {
        if (auto wrong = exactly(0, "no arguments"); !wrong.empty()) return wrong;
        if (!apply) return {};
        if (control_.runningMedium.load() == kMediumNone) return "send: no link is running";
        if (control_.runningInterrogated.load())
            return "send: an interrogated link only answers requests";
        control_.sendNow.store(true);
        return {};
    }
    if (name == "play") {
        if (arguments < 1) return "play: expected play FILE [speed X] [loop]";
        PlayOptions options;
        for (std::size_t i = 2; i < words.size(); ++i) {
            if (words[i] == "loop") {
                options.loop = true;
            } else if (words[i] == "speed" && i + 1 < words.size() &&
                       readPlaySpeed(words[i + 1], options)) {
                ++i;
            } else {
                return "play: expected play FILE [speed X] [loop], with X from 0.1 to 1000 or max";
            }
        }
        if (!apply) return {};
        const std::string error = host_.play(text(words[1]), options);
        return error.empty() ? error : "play: " + error;
    }
    if (name == "stop-play" || name == "stop-record") {
        if (auto wrong = exactly(0, "no arguments"); !wrong.empty()) return wrong;
        if (apply) name == "stop-play" ? host_.stopPlaying() : host_.stopRecording();
        return {};
    }
    if (name == "record") {
        if (auto wrong = exactly(1, "record FILE"); !wrong.empty()) return wrong;
        if (!apply) return {};
        const std::string error = host_.record(text(words[1]));
        return error.empty() ? error : "record: " + error;
    }
    if (name == "fault" || name == "faults" || name == "fault-seed")
        return fault(words, apply, reply);
    if (name == "clock.scale") {
        const auto scale = arguments == 1 ? number(words[1]) : std::nullopt;
        if (!scale || *scale < 1 || *scale > kMostClockScale)
            return "clock.scale: expected clock.scale K with K from 1 to 3600";
        if (apply) {
            shared_.sim.clockScale.store(*scale);
            host_.changed();
        }
        return {};
    }
    if (name == "watch") {
        if (auto wrong = exactly(0, "no arguments"); !wrong.empty()) return wrong;
        reply.watch = apply;
        return {};
    }
    if (name == "quit") {
        if (auto wrong = exactly(0, "no arguments"); !wrong.empty()) return wrong;
        reply.quit = apply;
        return {};
    }
    return text(name) + ": no such command";
}

std::string ControlCommands::get(Reply& reply) {
    JsonObject state;
    state.add("ok", true);
    bool read = withData(shared_.dataMutex, control_.timing.dataWait, [&] {
        const SimState& sim = shared_.sim;
        state.raw("depths", JsonObject()
                                .add("hole", sim.holeDepth)
                                .add("bit", sim.bitDepth)
                                .add("drop_hole", sim.dropHoleDepth != 0)
                                .add("drop_bit", sim.dropBitDepth != 0)
                                .text());
        state.add("rop", sim.rateOfPenetration());
        std::string pumps = "[";
        for (int pump = 0; pump < kPumpCount; ++pump) {
            if (pump > 0) pumps += ", ";
            const auto rate = sim.pumpRate(pump);
            JsonObject one;
            if (rate)
                one.add("spm", *rate);
            else
                one.null("spm");
            pumps += one.add("on", sim.pumpCirculating[pump] != 0)
                         .add("strokes", sim.totalStrokes[pump])
                         .add("send_strokes", sim.sendTotalStrokes[pump] != 0)
                         .add("drop_spm", sim.dropPumpSpm[pump] != 0)
                         .text();
        }
        state.raw("pumps", pumps + "]");
        state.raw("gas", JsonObject()
                             .add("received", sim.receivedGas.load())
                             .add("value", sim.gasOutput)
                             .add("minimum", sim.gasMinimum)
                             .add("maximum", sim.gasMaximum)
                             .add("on", sim.sendSimulatedGas != 0)
                             .text());
        std::string tracks = "[";
        int shown = 0;
        for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
            const AuxTrackTable& aux = shared_.auxTracks;
            if (aux.inUse[slot].load() == 0) continue;
            if (shown++ > 0) tracks += ", ";
            tracks += JsonObject()
                          .add("n", shown)
                          .add("item", std::string_view(aux.tag[slot]))
                          .add("value", aux.value[slot])
                          .add("send", aux.transmit[slot].load() != 0)
                          .text();
        }
        state.raw("tracks", tracks + "]");
        std::string records = "[";
        for (int k = 0; k < shared_.extraRecords.extraRecordCount && k < kExtraRecordSlots; ++k) {
            const ExtraRecord& record = shared_.extraRecords.extraRecords[k];
            if (k > 0) records += ", ";
            records += JsonObject()
                           .add("record", record.recordNumber)
                           .add("item", record.itemNumber)
                           .add("value", record.value)
                           .text();
        }
        state.raw("extra", JsonObject()
                               .add("on", sim.transmitExtraRecords.load() != 0)
                               .raw("records", records + "]")
                               .text());
        const LinkSettings& link = shared_.link;
        JsonObject linkState;
        const int32_t running = control_.runningMedium.load();
        linkState.add("medium", mediumName(running))
            .add("mode", (running != kMediumNone ? control_.runningInterrogated.load()
                                                 : link.interrogated) != 0
                             ? "interrogated"
                             : "streaming")
            .add("interval", link.transmitInterval);
        if (running == kMediumUdp) linkState.add("peer", peerText(link.ipAddress));
        if (running == kMediumRs232) linkState.add("port", link.comPort);
        if (running == kMediumTcp) {
            linkState.add("role", link.tcpRole == kTcpClient ? "client" : "server");
            if (link.tcpRole == kTcpClient)
                linkState.add("peer", link.tcpHost + ":" + std::to_string(link.tcpPort));
            else
                linkState.add("port", control_.localPort.load());
        }
        linkState.add("title", linkTitle(control_))
            .add("receivers", control_.receivers.load())
            .add("health", healthName(control_.health.load()));
        state.raw("link", linkState.text());
    });
    if (!read) return "get: the rig's data is busy; try again";
    const auto playing = control_.feed.playing();
    if (playing)
        state.raw("playing", JsonObject()
                                 .add("file", playing->name())
                                 .add("percent", playing->percent())
                                 .add("damaged", playing->damaged())
                                 .add("ended", playing->ended())
                                 .text());
    else
        state.null("playing");
    const auto recorder = control_.recording.recorder();
    if (recorder)
        state.raw("recording", JsonObject().add("lost", recorder->dropped()).text());
    else
        state.null("recording");
    const FaultPlan plan = control_.faults.plan();
    std::string active = "[";
    for (const std::string& fault : faultTexts(plan))
        active += (active.size() > 1 ? ", " : "") + jsonString(fault);
    JsonObject counts;
    const FaultTally tally = control_.faults.counts.all();
    for (const FaultKind kind : kAllFaults)
        counts.add(faultName(kind), static_cast<int64_t>(tally[static_cast<std::size_t>(kind)]));
    {
        std::lock_guard lock(mutex_);
        state.raw("faults", JsonObject()
                                .add("on", control_.faults.on())
                                .raw("active", active + "]")
                                .add("seed", control_.faults.on() ? plan.seed : seed_)
                                .raw("counts", counts.text())
                                .text());
        if (progress_.empty())
            state.null("scenario");
        else
            state.add("scenario", progress_);
    }
    state.add("clock_scale", shared_.sim.clockScale.load());
    reply.line = state.text();
    return {};
}

std::string ControlCommands::set(const std::vector<std::string_view>& words, bool apply) {
    if (words.size() < 2 || words.size() > 3) return "set: expected set NAME VALUE";
    const std::string_view name = words[1];
    const std::string_view value = words.size() == 3 ? words[2] : std::string_view();
    const std::string where = "set " + text(name) + ": ";
    // A pump's number, from "pumpN." or "strokes.sendN".
    const auto pumpOf = [](std::string_view word, std::size_t at) -> int {
        return word.size() > at && word[at] >= '1' && word[at] <= '3' ? word[at] - '1' : -1;
    };
    std::function<void(SharedState&)> change;
    const auto needValue = [&](const char* form) { return where + "expected " + form; };

    if (name == "strokes.zero") {
        if (!value.empty() && onOff(value) != true) return needValue("set strokes.zero [1]");
        change = [](SharedState& s) {
            for (double& strokes : s.sim.totalStrokes) strokes = 0.0;
        };
    } else if (value.empty()) {
        return "set: expected set NAME VALUE";
    } else if (name == "rop" || name == "depth.hole" || name == "depth.bit" ||
               name == "gas.value") {
        const auto read = number(value);
        if (!read || std::fabs(*read) > 3.0e38) return needValue("a number");
        const auto v = static_cast<float>(*read);
        if (name == "rop") {
            change = [v](SharedState& s) {
                // One of the page's seven choices where it is one, else typed.
                for (int i = 0; i < kListSize; ++i)
                    if (kRopList[i] == v) {
                        s.sim.ropChoice = i;
                        return;
                    }
                s.sim.ropTyped = v;
                s.sim.ropChoice = -1;
            };
        } else if (name == "gas.value") {
            change = [v](SharedState& s) { s.sim.gasOutput = v; };
        } else {
            const bool hole = name == "depth.hole";
            change = [v, hole](SharedState& s) { (hole ? s.sim.holeDepth : s.sim.bitDepth) = v; };
        }
    } else if (name.size() > 5 && name.substr(0, 4) == "pump" && pumpOf(name, 4) >= 0 &&
               (name.substr(5) == ".spm" || name.substr(5) == ".on")) {
        const int pump = pumpOf(name, 4);
        if (name.substr(5) == ".on") {
            const auto on = onOff(value);
            if (!on) return needValue("0 or 1");
            change = [pump, on = *on](SharedState& s) { s.sim.pumpCirculating[pump] = on ? 1 : 0; };
        } else {
            const auto read = number(value);
            int choice = -1;
            for (int i = 0; read && i < kListSize; ++i)
                if (kSpmList[i] == *read) choice = i;
            if (choice < 0) return needValue("one of 90, 80, 70, 60, 50, 40 and 0");
            change = [pump, choice](SharedState& s) { s.sim.pumpSpmChoice[pump] = choice; };
        }
    } else if (name.substr(0, 12) == "strokes.send" && name.size() == 13 && pumpOf(name, 12) >= 0) {
        const auto on = onOff(value);
        if (!on) return needValue("0 or 1");
        change = [pump = pumpOf(name, 12), on = *on](SharedState& s) {
            s.sim.sendTotalStrokes[pump] = on ? 1 : 0;
        };
    } else if (name.substr(0, 5) == "drop.") {
        const std::string_view item = name.substr(5);
        const auto on = onOff(value);
        const int pump = item.size() == 5 && item.substr(0, 4) == "pump" ? pumpOf(item, 4) : -1;
        if (item != "hole" && item != "bit" && pump < 0)
            return where + "expected drop.hole, drop.bit or drop.pump1 to drop.pump3";
        if (!on) return needValue("0 or 1");
        change = [item, pump, on = *on](SharedState& s) {
            int32_t& field = item == "hole"  ? s.sim.dropHoleDepth
                             : item == "bit" ? s.sim.dropBitDepth
                                             : s.sim.dropPumpSpm[pump];
            field = on ? 1 : 0;
        };
    } else if (name == "gas.on" || name == "extra.on") {
        const auto on = onOff(value);
        if (!on) return needValue("0 or 1");
        if (name == "extra.on") {
            // The Options page stores it without the mutex too.
            if (apply) {
                shared_.sim.transmitExtraRecords.store(*on ? 1 : 0);
                host_.changed();
            }
            return {};
        }
        change = [on = *on](SharedState& s) { s.sim.sendSimulatedGas = on ? 1 : 0; };
    } else if (name.substr(0, 6) == "track.") {
        const std::size_t dot = name.find('.', 6);
        const auto n = dot == std::string_view::npos
                           ? std::nullopt
                           : whole(name.substr(6, dot - 6), 1, kAuxTrackSlots);
        const std::string_view what = dot == std::string_view::npos ? "" : name.substr(dot + 1);
        if (!n || (what != "value" && what != "send"))
            return where + "expected track.N.value or track.N.send";
        // N counts the tracks in use, as get lists them.
        int slot = -1;
        for (int s = 0, seen = 0; s < kAuxTrackSlots && slot < 0; ++s)
            if (shared_.auxTracks.inUse[s].load() != 0 && ++seen == *n) slot = s;
        if (slot < 0) return where + "there is no track " + std::to_string(*n);
        if (what == "send") {
            const auto on = onOff(value);
            if (!on) return needValue("0 or 1");
            if (apply) {
                setAuxTrackTransmit(shared_.auxTracks, slot, *on);
                host_.changed();
            }
            return {};
        }
        const auto read = number(value);
        if (!read || std::fabs(*read) > 3.0e38) return needValue("a number");
        if (apply && !setAuxTrackValue(shared_.auxTracks, shared_.dataMutex,
                                       control_.timing.dataWait, slot, static_cast<float>(*read)))
            return where + "the rig's data is busy; try again";
        if (apply) host_.changed();
        return {};
    } else {
        return "set: no value named \"" + text(name) + "\"";
    }
    if (!apply) return {};
    if (!withData(shared_.dataMutex, control_.timing.dataWait, [&] { change(shared_); }))
        return where + "the rig's data is busy; try again";
    host_.changed();
    return {};
}

std::string ControlCommands::link(const std::vector<std::string_view>& words, bool apply,
                                  Reply& reply) {
    const std::string_view command = words[0];
    if (command == "interval") {
        const auto seconds = words.size() == 2 ? number(words[1]) : std::nullopt;
        if (!seconds || *seconds < 0 || *seconds > 1.0e6)
            return "interval: Invalid Transmit Interval! (expected interval SECONDS)";
        if (!apply) return {};
        // As Setup stores it: never less than half a second.
        const float interval = std::max(kShortestInterval, static_cast<float>(*seconds));
        withDataAlways(shared_.dataMutex, [&] { shared_.link.transmitInterval = interval; });
        host_.changed();
        return {};
    }
    if (command == "mode") {
        if (words.size() != 2 || (words[1] != "streaming" && words[1] != "interrogated"))
            return "mode: expected mode streaming|interrogated";
        if (!apply) return {};
        const int32_t interrogated = words[1] == "interrogated" ? 1 : 0;
        withDataAlways(shared_.dataMutex, [&] { shared_.link.interrogated = interrogated; });
        // A running link takes the mode when it starts again, as after Setup.
        const int32_t running = control_.runningMedium.load();
        return running == kMediumNone ? std::string() : restart(running, reply, "mode");
    }
    const std::string form =
        "link: expected link udp ADDRESS, link serial N [BAUD], link tcp-listen [ADDRESS:]PORT, "
        "link tcp-connect HOST:PORT or link stop";
    if (words.size() < 2) return form;
    const std::string_view kind = words[1];
    std::function<void(LinkSettings&)> store;
    int32_t medium = kMediumNone;
    if (kind == "stop" && words.size() == 2) {
        store = [](LinkSettings&) {};
    } else if (kind == "udp" && words.size() == 3) {
        const auto address = parseAddress(text(words[2]), 0);
        if (!address) return "link udp: " + text(words[2]) + " is not an IPv4 address";
        medium = kMediumUdp;
        store = [octets = *address](LinkSettings& link) {
            for (int i = 0; i < 4; ++i) link.ipAddress[i] = octets.octets[i];
        };
    } else if (kind == "serial" && (words.size() == 3 || words.size() == 4)) {
        const auto port = whole(words[2], kLowestComPort, kHighestComPort);
        if (!port) return "link serial: Invalid Com Port! (1 to 99)";
        int baud = -1;
        if (words.size() == 4) {
            const auto rate = whole(words[3], 1, 1000000);
            for (int i = 0; rate && i < kBaudCount; ++i)
                if (kBaudRates[i] == *rate) baud = i;
            if (baud < 0)
                return "link serial: the rate is one of 4800, 9600, 19200, 38400, 57600 and 115200";
        }
        medium = kMediumRs232;
        store = [port = *port, baud](LinkSettings& link) {
            link.comPort = port;
            if (baud >= 0) link.baudIndex = baud;
        };
    } else if ((kind == "tcp-listen" || kind == "tcp-connect") && words.size() == 3) {
        const bool client = kind == "tcp-connect";
        std::string host;
        int port = 0;
        if (!splitPort(words[2], host, port, client))
            return "link " + text(kind) + ": Invalid TCP Port! (expected " +
                   (client ? "HOST:PORT" : "[ADDRESS:]PORT") + " with PORT from 0 to 65535)";
        std::optional<Ipv4Address> listenOn = Ipv4Address{};
        if (!client && !host.empty()) listenOn = parseAddress(host, 0);
        if (!listenOn) return "link tcp-listen: " + host + " is not an IPv4 address";
        if (client && port == 0) return "link tcp-connect: Invalid TCP Port! (1 to 65535)";
        if (client && !isHostName(host))
            return "link tcp-connect: Invalid Host! (a host name or IPv4 address)";
        medium = kMediumTcp;
        store = [client, host, port, on = *listenOn](LinkSettings& link) {
            link.tcpRole = client ? kTcpClient : kTcpServer;
            link.tcpPort = port;
            if (client)
                link.tcpHost = host;
            else
                for (int i = 0; i < 4; ++i) link.tcpListenAddress[i] = on.octets[i];
        };
    } else {
        return form;
    }
    if (!apply) return {};
    withDataAlways(shared_.dataMutex, [&] { store(shared_.link); });
    return restart(medium, reply, "link");
}

// Starts `medium` (or stops the link) on the main thread, as Setup's OK does;
// what startLink would show in a box is the error.
std::string ControlCommands::restart(int32_t medium, Reply& reply, std::string_view command) {
    std::string error = "the program is ending";
    host_.onMainThread([&] {
        CaughtUi ui(host_.linkUi());
        startLink(shared_, control_, ui, medium);
        error = ui.error;
        if (error.empty() && medium != kMediumNone && shared_.link.medium != medium)
            error = "the link could not start";
        // Port 0 asks the system for a port; the one it gave is kept, so the
        // settings saved at the end name a port the next start can listen on.
        const int32_t chosen = control_.localPort.load();
        if (error.empty() && medium == kMediumTcp && chosen > 0)
            withDataAlways(shared_.dataMutex, [&] {
                if (shared_.link.tcpRole == kTcpServer && shared_.link.tcpPort == 0)
                    shared_.link.tcpPort = chosen;
            });
    });
    host_.changed();
    if (!error.empty()) return text(command) + ": " + error;
    reply.line = JsonObject().add("ok", true).add("title", linkTitle(control_)).text();
    return {};
}

std::string ControlCommands::fault(const std::vector<std::string_view>& words, bool apply,
                                   Reply& reply) {
    const std::string_view command = words[0];
    std::lock_guard lock(mutex_);
    FaultPlan plan = control_.faults.plan();
    if (!control_.faults.on()) plan.seed = seed_;
    if (command == "faults") {
        if (words.size() != 2 || words[1] != "clear") return "faults: expected faults clear";
        if (apply) {
            control_.faults.clear();
            control_.faults.counts.clear();
            host_.changed();
        }
        return {};
    }
    if (command == "fault-seed") {
        const std::optional<uint64_t> read =
            words.size() == 2 ? readWhole<uint64_t>(words[1]) : std::nullopt;
        if (!read) return "fault-seed: expected fault-seed N with N a whole number";
        const uint64_t seed = *read;
        if (!apply) return {};
        seed_ = seed;
        // Faults in force start again from the new seed.
        if (control_.faults.on()) {
            plan.seed = seed;
            control_.faults.set(plan);
        }
        return {};
    }
    if (words.size() != 2) return "fault: expected fault NAME=VALUE";
    const std::string error = readFault(words[1], plan);
    if (!error.empty()) return "fault: " + error;
    if (!apply) return {};
    control_.faults.set(plan);
    host_.changed();
    reply.line = JsonObject().add("ok", true).add("seed", plan.seed).text();
    return {};
}

}  // namespace korvane
