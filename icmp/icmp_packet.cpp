#include "icmp/icmp_packet.h"

#include <netinet/in.h>
#include <netinet/ip_icmp.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "icmp/echo_service.h"

namespace icmp_packet {

uint16_t checksum(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2) sum += static_cast<uint32_t>(p[0] << 8 | p[1]);
    if (n) sum += static_cast<uint32_t>(p[0] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

int statusOfError(int type, int code) {
    using namespace ipstatus;
    switch (type) {
        case ICMP_DEST_UNREACH:
            switch (code) {
                case ICMP_NET_UNREACH:
                case ICMP_NET_UNKNOWN:
                case ICMP_NET_ANO:
                case ICMP_NET_UNR_TOS:
                    return kDestNetUnreachable;
                case ICMP_PROT_UNREACH:
                    return kDestProtUnreachable;
                case ICMP_PORT_UNREACH:
                    return kDestPortUnreachable;
                case ICMP_FRAG_NEEDED:
                    return kPacketTooBig;
                case ICMP_SR_FAILED:
                    return kBadRoute;
                default:
                    return kDestHostUnreachable;
            }
        case ICMP_TIME_EXCEEDED:
            return code == ICMP_EXC_FRAGTIME ? kTtlExpiredReassembly : kTtlExpiredTransit;
        case ICMP_PARAMETERPROB:
            return kParameterProblem;
        case ICMP_SOURCE_QUENCH:
            return kSourceQuench;
        default:
            return kGeneralFailure;
    }
}

// A send that fails never reached the wire; the kernel's reason maps onto the nearest status.
int statusOfErrno(int err) {
    switch (err) {
        case ENETUNREACH:
            return ipstatus::kDestNetUnreachable;
        case EHOSTUNREACH:
            return ipstatus::kDestHostUnreachable;
        case EMSGSIZE:
            return ipstatus::kPacketTooBig;
        default:
            return ipstatus::kGeneralFailure;
    }
}

std::vector<uint8_t> echoRequest(uint16_t id, uint16_t sequence, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> packet(8 + data.size());
    packet[0] = ICMP_ECHO;
    packet[4] = static_cast<uint8_t>(id >> 8);
    packet[5] = static_cast<uint8_t>(id);
    packet[6] = static_cast<uint8_t>(sequence >> 8);
    packet[7] = static_cast<uint8_t>(sequence);
    std::copy(data.begin(), data.end(), packet.begin() + 8);
    setChecksum(packet);
    return packet;
}

void setChecksum(std::vector<uint8_t>& packet) {
    if (packet.size() < 4) return;
    packet[2] = packet[3] = 0;
    const uint16_t sum = checksum(packet.data(), packet.size());
    packet[2] = static_cast<uint8_t>(sum >> 8);
    packet[3] = static_cast<uint8_t>(sum);
}

std::optional<Concerned> concernedRequest(const uint8_t* p, size_t n) {
    auto idAt = [](const uint8_t* icmp) { return static_cast<uint16_t>(icmp[4] << 8 | icmp[5]); };
    auto addressAt = [](const uint8_t* a) {
        uint32_t v;
        std::memcpy(&v, a, sizeof v);
        return v;
    };
    if (n < 20) return std::nullopt;
    const size_t ihl = static_cast<size_t>(p[0] & 0x0F) * 4;
    if (ihl < 20 || n < ihl + 8) return std::nullopt;
    const uint8_t* icmp = p + ihl;
    if (icmp[0] == ICMP_ECHOREPLY) return Concerned{idAt(icmp), addressAt(p + 12)};
    // Only an error quotes a packet; any other message's body is the sender's to fill.
    if (icmp[0] != ICMP_DEST_UNREACH && icmp[0] != ICMP_SOURCE_QUENCH && icmp[0] != ICMP_REDIRECT &&
        icmp[0] != ICMP_TIME_EXCEEDED && icmp[0] != ICMP_PARAMETERPROB)
        return std::nullopt;
    // An error quotes the IP header of the request and the first 8 bytes of its ICMP part.
    const uint8_t* inner = icmp + 8;
    if (n < ihl + 8 + 20) return std::nullopt;
    const size_t innerIhl = static_cast<size_t>(inner[0] & 0x0F) * 4;
    if (innerIhl < 20 || n < ihl + 8 + innerIhl + 8 || inner[9] != IPPROTO_ICMP)
        return std::nullopt;
    if (inner[innerIhl] != ICMP_ECHO) return std::nullopt;
    return Concerned{idAt(inner + innerIhl), addressAt(inner + 16)};
}

namespace {

bool SameData(const uint8_t* p, size_t n, const std::vector<uint8_t>* data) {
    return data && n == data->size() && (n == 0 || std::memcmp(p, data->data(), n) == 0);
}

uint16_t Field16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

std::optional<EchoHeard> hearDatagram(const uint8_t* p, size_t n,
                                      const std::vector<uint8_t>* data) {
    if (n < 8 || p[0] != ICMP_ECHOREPLY || !SameData(p + 8, n - 8, data)) return std::nullopt;
    EchoHeard h;
    h.sequence = Field16(p + 6);
    return h;
}

Answer parseDatagram(const uint8_t* p, size_t n, const Request& r) {
    const std::optional<EchoHeard> h = hearDatagram(p, n, r.data);
    if (!h || h->sequence != r.sequence) return {};
    return {Match::Reply, ipstatus::kSuccess, 0};
}

std::optional<EchoHeard> hearRaw(const uint8_t* p, size_t n, const std::vector<uint8_t>* data) {
    if (n < 20) return std::nullopt;
    const size_t ihl = static_cast<size_t>(p[0] & 0x0F) * 4;
    if (ihl < 20 || n < ihl + 8) return std::nullopt;
    const uint8_t* message = p + ihl;
    const size_t len = n - ihl;
    const uint8_t type = message[0];
    EchoHeard h;
    h.hasId = true;
    h.ttl = p[8];
    std::memcpy(&h.from, p + 12, sizeof h.from);
    if (type == ICMP_ECHOREPLY) {
        if (!SameData(message + 8, len - 8, data)) return std::nullopt;
        h.id = Field16(message + 4);
        h.sequence = Field16(message + 6);
        return h;
    }
    if (type != ICMP_DEST_UNREACH && type != ICMP_TIME_EXCEEDED && type != ICMP_PARAMETERPROB &&
        type != ICMP_SOURCE_QUENCH)
        return std::nullopt;
    // The error quotes our request: its IP header, then at least eight bytes of its ICMP header.
    const uint8_t* inner = message + 8;
    const size_t innerLen = len - 8;
    if (innerLen < 20) return std::nullopt;
    const size_t innerIhl = static_cast<size_t>(inner[0] & 0x0F) * 4;
    if (innerIhl < 20 || innerLen < innerIhl + 8 || inner[9] != IPPROTO_ICMP) return std::nullopt;
    const uint8_t* quoted = inner + innerIhl;
    if (quoted[0] != ICMP_ECHO) return std::nullopt;
    h.kind = EchoHeard::Kind::Error;
    h.status = statusOfError(type, message[1]);
    h.id = Field16(quoted + 4);
    h.sequence = Field16(quoted + 6);
    h.quotesDestination = true;
    std::memcpy(&h.quoted, inner + 16, sizeof h.quoted);
    return h;
}

Answer parseRaw(const uint8_t* p, size_t n, const Request& r) {
    const std::optional<EchoHeard> h = hearRaw(p, n, r.data);
    if (!h || h->id != r.id || h->sequence != r.sequence) return {};
    if (h->kind == EchoHeard::Kind::Reply) return {Match::Reply, ipstatus::kSuccess, p[8]};
    if (h->quoted != r.destination) return {};
    return {Match::Error, h->status, p[8]};
}

}  // namespace icmp_packet
