#include "icmp/icmp6_packet.h"

#include <arpa/inet.h>
#include <netinet/icmp6.h>

#include <cstring>

#include "icmp/echo_service.h"

namespace icmp6_packet {

namespace {

uint16_t Field16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

bool SameData(const uint8_t* p, size_t n, const std::vector<uint8_t>* data) {
    return data && n == data->size() && (n == 0 || std::memcmp(p, data->data(), n) == 0);
}

constexpr size_t kIpv6Header = 40;
constexpr uint8_t kNextHeaderIcmpv6 = 58;

}  // namespace

std::vector<uint8_t> echoRequest(uint16_t id, uint16_t sequence, const std::vector<uint8_t>& data) {
    // The IPv4 request's layout, with the ICMPv6 type and the checksum left to the kernel.
    std::vector<uint8_t> p = icmp_packet::echoRequest(id, sequence, data);
    p[0] = ICMP6_ECHO_REQUEST;
    p[2] = p[3] = 0;
    return p;
}

int statusOfError(int type, int code) {
    using namespace ipstatus;
    switch (type) {
        case ICMP6_DST_UNREACH:
            switch (code) {
                case ICMP6_DST_UNREACH_NOROUTE:
                    return kDestNetUnreachable;
                case ICMP6_DST_UNREACH_ADMIN:
                    return kDestProhibited;
                case ICMP6_DST_UNREACH_BEYONDSCOPE:
                    return kDestScopeMismatch;
                case ICMP6_DST_UNREACH_ADDR:
                    return kDestHostUnreachable;
                case ICMP6_DST_UNREACH_NOPORT:
                    return kDestPortUnreachable;
                default:
                    return kDestUnreachable;
            }
        case ICMP6_PACKET_TOO_BIG:
            return kPacketTooBig;
        case ICMP6_TIME_EXCEEDED:
            return code == ICMP6_TIME_EXCEED_REASSEMBLY ? kTtlExpiredReassembly
                                                        : kTtlExpiredTransit;
        case ICMP6_PARAM_PROB:
            return code == ICMP6_PARAMPROB_NEXTHEADER ? kUnrecognizedNextHeader : kParameterProblem;
        default:
            return kGeneralFailure;
    }
}

std::optional<EchoHeard> hearDatagram(const uint8_t* p, size_t n,
                                      const std::vector<uint8_t>* data) {
    if (n < 8 || p[0] != ICMP6_ECHO_REPLY || !SameData(p + 8, n - 8, data)) return std::nullopt;
    EchoHeard h;
    h.family = AF_INET6;
    h.sequence = Field16(p + 6);
    return h;
}

icmp_packet::Answer parseDatagram(const uint8_t* p, size_t n, const Request& r) {
    const std::optional<EchoHeard> h = hearDatagram(p, n, r.data);
    if (!h || h->sequence != r.sequence) return {};
    return {icmp_packet::Match::Reply, ipstatus::kSuccess, 0};
}

namespace {

bool IsError(uint8_t type) {
    return type == ICMP6_DST_UNREACH || type == ICMP6_PACKET_TOO_BIG ||
           type == ICMP6_TIME_EXCEEDED || type == ICMP6_PARAM_PROB;
}

// The quoted request of an error: its IPv6 header (ours carries no extension header), then at
// least the eight bytes of its ICMPv6 echo header. Null when the error quotes anything else.
const uint8_t* QuotedEcho(const uint8_t* p, size_t n) {
    const uint8_t* inner = p + 8;
    if (n < 8 + kIpv6Header + 8 || (inner[0] >> 4) != 6 || inner[6] != kNextHeaderIcmpv6)
        return nullptr;
    const uint8_t* quoted = inner + kIpv6Header;
    return quoted[0] == ICMP6_ECHO_REQUEST ? quoted : nullptr;
}

}  // namespace

std::optional<Concerned> concernedRequest(const uint8_t* p, size_t n, const in6_addr& from) {
    if (n < 8) return std::nullopt;
    if (p[0] == ICMP6_ECHO_REPLY) return Concerned{Field16(p + 4), from};
    if (!IsError(p[0])) return std::nullopt;
    const uint8_t* quoted = QuotedEcho(p, n);
    if (!quoted) return std::nullopt;
    Concerned c{Field16(quoted + 4), {}};
    std::memcpy(&c.destination, p + 8 + 24, sizeof c.destination);
    return c;
}

std::optional<EchoHeard> hearRaw(const uint8_t* p, size_t n, const std::vector<uint8_t>* data,
                                 const in6_addr& from) {
    if (n < 8) return std::nullopt;
    EchoHeard h;
    h.family = AF_INET6;
    h.hasId = true;
    h.from6 = from;
    if (p[0] == ICMP6_ECHO_REPLY) {
        if (!SameData(p + 8, n - 8, data)) return std::nullopt;
        h.id = Field16(p + 4);
        h.sequence = Field16(p + 6);
        return h;
    }
    if (!IsError(p[0])) return std::nullopt;
    const uint8_t* quoted = QuotedEcho(p, n);
    if (!quoted) return std::nullopt;
    h.kind = EchoHeard::Kind::Error;
    h.status = statusOfError(p[0], p[1]);
    h.id = Field16(quoted + 4);
    h.sequence = Field16(quoted + 6);
    h.quotesDestination = true;
    std::memcpy(&h.quoted6, p + 8 + 24, sizeof h.quoted6);
    return h;
}

icmp_packet::Answer parseRaw(const uint8_t* p, size_t n, const Request& r) {
    const std::optional<EchoHeard> h = hearRaw(p, n, r.data, {});
    if (!h || h->id != r.id || h->sequence != r.sequence) return {};
    if (h->kind == EchoHeard::Kind::Reply)
        return {icmp_packet::Match::Reply, ipstatus::kSuccess, 0};
    if (std::memcmp(&h->quoted6, &r.destination, sizeof r.destination) != 0) return {};
    return {icmp_packet::Match::Error, h->status, 0};
}

std::string addressText(const in6_addr& address) {
    char text[INET6_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET6, &address, text, sizeof text) ? text : std::string();
}

}  // namespace icmp6_packet
