#include "app/settings_codec.h"

#include <cmath>
#include <cstring>
#include <string>

#include "platform/ipv4_address.h"
#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "tables/binary_file.h"

namespace korvane {

namespace {

constexpr std::size_t kHeaderBytes = 36;
constexpr std::size_t kTrackRecordBytes = 21;  // tag 5, minimum, maximum, value, transmit

// The TCP settings follow the track records in a block of their own, which a
// reader of the original layout never reaches: it reads 36 + 21 N bytes and
// stops. While TCP is the link, the header's medium says 0 (no link), so such
// a reader finds a valid file that starts no link. The block is written only
// when it says something other than the defaults, so a file of an operator
// who never chose TCP stays as it always was. Layout, little-endian: the tag,
// version, size of the rest, then the version 1 fields:
//   int32 TCP is the link (0 or 1), int32 role, int32 port (1..65535),
//   4 bytes listen address, int32 host length (0..253), the host's bytes.
// A later version appends fields, so its block still reads as version 1.
constexpr char kTcpBlockTag[4] = {'K', 'T', 'C', 'P'};
constexpr int32_t kTcpBlockVersion = 1;
constexpr std::size_t kTcpBlockHead = 12;         // tag, version, size
constexpr std::size_t kTcpBlockFixedFields = 20;  // up to the host's bytes
constexpr std::size_t kLargestTcpBlock = kTcpBlockHead + kTcpBlockFixedFields + kMaxHostLength;
static_assert(kLargestSettingsFile ==
              kHeaderBytes + kTrackRecordBytes * kAuxTrackSlots + kLargestTcpBlock);

constexpr float kDefaultReservedSetting = 0.1f;
constexpr float kDefaultTransmitInterval = 3.0f;  // seconds
// The Setup dialog never stores a shorter pause; a shorter one (or no number at
// all) in the file would make the streaming links send without pause.
constexpr float kShortestTransmitInterval = 0.5f;  // seconds

constexpr SettingsRead kOk = SettingsRead::ok;
constexpr SettingsRead kShortField = SettingsRead::shortField;
constexpr SettingsRead kShortDepth = SettingsRead::shortDepth;
constexpr SettingsWrite kFailedFloatWrite = SettingsWrite::floatField;
constexpr SettingsWrite kFailedIntWrite = SettingsWrite::intField;

bool tcpSettingsAreDefaults(const LinkSettings& link) {
    const LinkSettings defaults;
    return link.medium != kMediumTcp && link.tcpRole == defaults.tcpRole &&
           link.tcpPort == defaults.tcpPort && link.tcpHost == defaults.tcpHost &&
           std::memcmp(link.tcpListenAddress, defaults.tcpListenAddress,
                       sizeof defaults.tcpListenAddress) == 0;
}

void appendTcpBlock(std::vector<uint8_t>& bytes, const LinkSettings& link) {
    const std::string host = link.tcpHost.substr(0, kMaxHostLength);
    bytes.insert(bytes.end(), kTcpBlockTag, kTcpBlockTag + sizeof kTcpBlockTag);
    appendInt32(bytes, kTcpBlockVersion);
    appendInt32(bytes, static_cast<int32_t>(kTcpBlockFixedFields + host.size()));
    appendInt32(bytes, link.medium == kMediumTcp ? 1 : 0);
    appendInt32(bytes, link.tcpRole);
    appendInt32(bytes, link.tcpPort);
    for (int32_t octet : link.tcpListenAddress) bytes.push_back(static_cast<uint8_t>(octet & 0xff));
    appendInt32(bytes, static_cast<int32_t>(host.size()));
    bytes.insert(bytes.end(), host.begin(), host.end());
}

// Takes the TCP settings from the block where the reader stands, if one is
// there and whole; a damaged or missing block leaves the defaults, and the
// rest of the file stands. True when the block says TCP is the link.
bool readTcpBlock(ByteReader& reader, LinkSettings& link) {
    char tag[sizeof kTcpBlockTag];
    if (!reader.readBytes(tag, sizeof tag) || std::memcmp(tag, kTcpBlockTag, sizeof tag) != 0)
        return false;
    const auto version = reader.readInt32();
    const auto size = reader.readInt32();
    const auto isLink = reader.readInt32();
    const auto role = reader.readInt32();
    const auto port = reader.readInt32();
    uint8_t address[4];
    const bool haveAddress = reader.readBytes(address, sizeof address);
    const auto hostLength = reader.readInt32();
    if (!version || *version < kTcpBlockVersion || !size || !isLink || !role || !port ||
        !haveAddress || !hostLength)
        return false;
    if (*size < 0 || *hostLength < 0 || static_cast<std::size_t>(*hostLength) > kMaxHostLength ||
        static_cast<std::size_t>(*size) < kTcpBlockFixedFields + *hostLength)
        return false;
    std::string host(static_cast<std::size_t>(*hostLength), '\0');
    if (!reader.readBytes(host.data(), host.size())) return false;
    if ((*isLink != 0 && *isLink != 1) || (*role != kTcpServer && *role != kTcpClient) ||
        *port < 1 || *port > 65535)
        return false;
    link.tcpRole = *role;
    link.tcpPort = *port;
    for (int i = 0; i < 4; ++i) link.tcpListenAddress[i] = address[i];
    // The host is shown and dialled: only one the command line would take.
    link.tcpHost = isHostName(host) ? host : LinkSettings{}.tcpHost;
    return *isLink == 1;
}

}  // namespace

void setDefaultLink(SharedState& shared) {
    for (int i = 0; i < 4; ++i) shared.link.ipAddress[i] = kDefaultPeer[i];
    shared.link.interrogated = 0;
    shared.link.medium = kMediumNone;
    shared.reservedSetting = kDefaultReservedSetting;
    shared.link.transmitInterval = kDefaultTransmitInterval;
    const LinkSettings defaults;
    shared.link.tcpRole = defaults.tcpRole;
    shared.link.tcpPort = defaults.tcpPort;
    std::memcpy(shared.link.tcpListenAddress, defaults.tcpListenAddress,
                sizeof defaults.tcpListenAddress);
    shared.link.tcpHost = defaults.tcpHost;
}

SettingsImage encodeSettings(SharedState& shared) {
    SettingsImage image;
    image.bytes.reserve(kLargestSettingsFile);
    for (int i = 0; i < 4; ++i) {
        image.bytes.push_back(static_cast<uint8_t>(shared.link.ipAddress[i] & 0xff));
        image.header.push_back({1, kFailedFloatWrite});
    }
    appendFloat(image.bytes, shared.reservedSetting);
    appendFloat(image.bytes, shared.link.transmitInterval);
    appendInt32(image.bytes, shared.sim.transmitExtraRecords.load());
    // TCP is said in the block after the tracks; here it is "no link".
    appendInt32(image.bytes, shared.link.medium == kMediumTcp ? kMediumNone : shared.link.medium);
    appendInt32(image.bytes, shared.link.interrogated);
    appendFloat(image.bytes, shared.sim.holeDepth);
    appendFloat(image.bytes, shared.sim.bitDepth);
    for (SettingsWrite code :
         {kFailedFloatWrite, kFailedFloatWrite, kFailedIntWrite, kFailedIntWrite, kFailedIntWrite,
          kFailedFloatWrite, kFailedFloatWrite})
        image.header.push_back({4, code});

    AuxTrackTable& tracks = shared.auxTracks;
    image.trackCount = recountAuxTracks(tracks);
    appendInt32(image.bytes, image.trackCount);
    for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
        if (tracks.inUse[slot].load() == 0) continue;
        for (int i = 0; i <= kTagLength; ++i)
            image.bytes.push_back(static_cast<uint8_t>(tracks.tag[slot][i]));
        appendFloat(image.bytes, tracks.minimum[slot]);
        appendFloat(image.bytes, tracks.maximum[slot]);
        appendFloat(image.bytes, tracks.value[slot]);
        appendInt32(image.bytes, tracks.transmit[slot].load());
    }
    if (!tcpSettingsAreDefaults(shared.link)) appendTcpBlock(image.bytes, shared.link);
    return image;
}

SettingsRead decodeSettings(std::span<const uint8_t> bytes, SharedState& shared) {
    // A field that comes up short keeps the value it had: half a float is no value.
    SettingsRead status = kOk;
    ByteReader reader(bytes.data(), bytes.size());
    int32_t octets[4] = {kDefaultPeer[0], kDefaultPeer[1], kDefaultPeer[2], kDefaultPeer[3]};
    for (int32_t& octet : octets) {
        if (const auto byte = reader.readByte())
            octet = *byte;
        else
            status = kShortField;
    }
    const auto reserved = reader.readFloat();
    const auto interval = reader.readFloat();
    const auto transmitExtra = reader.readInt32();
    const auto medium = reader.readInt32();
    const auto interrogated = reader.readInt32();
    const auto holeDepth = reader.readFloat();
    const auto bitDepth = reader.readFloat();
    for (bool present : {reserved.has_value(), interval.has_value(), transmitExtra.has_value(),
                         medium.has_value(), interrogated.has_value()})
        if (!present) status = kShortField;
    if (!holeDepth) status = kShortDepth;
    if (!bitDepth) status = kShortDepth;
    const auto count = reader.readInt32();
    if (!count) status = kShortField;

    // Values the program could never have saved mark a damaged file, which is
    // treated like a short one.
    if (medium && (*medium < kMediumNone || *medium > kMediumRs232)) status = kShortField;
    if (interrogated && *interrogated != 0 && *interrogated != 1) status = kShortField;
    if (interval && !(std::isfinite(*interval) && *interval >= kShortestTransmitInterval))
        status = kShortField;
    // The table holds 100 tracks; any other count is damage, and no record is read.
    int32_t trackCount = 0;
    if (count && *count >= 0 && *count <= kAuxTrackSlots)
        trackCount = *count;
    else
        status = kShortField;

    if (transmitExtra) shared.sim.transmitExtraRecords.store(*transmitExtra);
    if (holeDepth) shared.sim.holeDepth = *holeDepth;
    if (bitDepth) shared.sim.bitDepth = *bitDepth;

    AuxTrackTable& tracks = shared.auxTracks;
    for (int32_t k = 0; k < trackCount; ++k) {
        uint8_t raw[kTrackRecordBytes];
        if (!reader.readBytes(raw, sizeof raw)) {
            status = kShortField;
            break;
        }
        ByteReader record(raw, sizeof raw);
        record.readBytes(tracks.tag[k], kTagLength + 1);
        // The tag is printed as text: its fifth byte ends it, whatever the file held.
        tracks.tag[k][kTagLength] = '\0';
        tracks.minimum[k] = *record.readFloat();
        tracks.maximum[k] = *record.readFloat();
        tracks.value[k] = *record.readFloat();
        tracks.transmit[k].store(*record.readInt32());
        tracks.inUse[k].store(1);
    }
    // The count always says how many slots hold a track, also when the file
    // announced more records than it held.
    recountAuxTracks(tracks);

    if (status == kOk) {
        for (int i = 0; i < 4; ++i) shared.link.ipAddress[i] = octets[i];
        shared.reservedSetting = *reserved;
        shared.link.transmitInterval = *interval;
        shared.link.medium = *medium;
        shared.link.interrogated = *interrogated;
        // Only a file whose header says "no link" can have TCP as its link.
        if (readTcpBlock(reader, shared.link) && *medium == kMediumNone)
            shared.link.medium = kMediumTcp;
    } else {
        setDefaultLink(shared);
    }
    return status;
}

SettingsWrite writeSettings(const SettingsImage& image, ByteSink& sink) {
    SettingsWrite status = SettingsWrite::ok;
    const uint8_t* next = image.bytes.data();
    for (const auto& field : image.header) {
        if (!sink.write(next, field.size)) status = field.failCode;
        next += field.size;
    }
    const bool countWritten = sink.write(next, 4);
    next += 4;
    for (int32_t k = 0; k < image.trackCount; ++k) {
        if (!sink.write(next, kTrackRecordBytes)) {
            status = kFailedIntWrite;
            break;
        }
        next += kTrackRecordBytes;
    }
    const std::size_t tcpBlock =
        static_cast<std::size_t>(image.bytes.data() + image.bytes.size() - next);
    if (status == SettingsWrite::ok && tcpBlock > 0 && !sink.write(next, tcpBlock))
        status = kFailedIntWrite;
    // A file without its count is no settings file either: never report it saved.
    if (!countWritten && status == SettingsWrite::ok) status = kFailedIntWrite;
    return status;
}

}  // namespace korvane
