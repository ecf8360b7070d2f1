#include "links/media.h"

#include "links/link_control.h"
#include "links/peer_text.h"
#include "links/rs232_links.h"
#include "links/tcp_links.h"
#include "links/udp_links.h"
#include "state/link_settings.h"

namespace korvane {

namespace {

std::string udpError(const LinkSettings& link) {
    return "UDP Error on " + peerText(link.ipAddress);
}
std::string rs232Error(const LinkSettings& link) {
    return "Error Opening COM port " + std::to_string(link.comPort);
}
std::string tcpError(const LinkSettings& link) { return "TCP Error on " + tcpEndpointText(link); }

LinkBody udpBody(const LinkSettings& link) {
    return link.interrogated ? udpInterrogatedLink : udpStreamingLink;
}
LinkBody rs232Body(const LinkSettings& link) {
    return link.interrogated ? rs232InterrogatedLink : rs232StreamingLink;
}
LinkBody tcpBody(const LinkSettings& link) {
    return link.tcpRole == kTcpClient ? tcpClientLink : tcpServerLink;
}

// A TCP server counts its receivers or names the port it waits for, a
// client says that it is reconnecting.
std::string tcpDetail(const LinkControl& control) {
    const int32_t receivers = control.receivers.load();
    if (control.health.load() == LinkHealth::reconnecting) return ", reconnecting";
    if (control.health.load() == LinkHealth::waitingForPort)
        return ", waiting for port " + std::to_string(control.localPort.load());
    if (receivers >= 0)
        return ", " + std::to_string(receivers) + (receivers == 1 ? " receiver" : " receivers");
    return {};
}

// A UDP or TCP link needs no hardware but may wait for the data mutex; a
// serial port either opens promptly or not at all.
constexpr Medium kMedia[] = {
    {kMediumUdp, "UDP", &LinkTiming::networkStartTimeout, udpError, udpBody, nullptr},
    {kMediumRs232, "RS-232", &LinkTiming::rs232StartTimeout, rs232Error, rs232Body, nullptr},
    {kMediumTcp, "TCP", &LinkTiming::networkStartTimeout, tcpError, tcpBody, tcpDetail},
};

}  // namespace

const Medium* findMedium(int32_t medium) {
    for (const Medium& row : kMedia)
        if (row.medium == medium) return &row;
    return nullptr;
}

}  // namespace korvane
