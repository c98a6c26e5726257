#pragma once
// ICMP echo packets as pure functions over byte buffers: building a request, deciding whether a
// received packet answers it, and the status an ICMP error or a refused send stands for. No
// sockets and no clock, so every rule is testable with hand-built packets and without root.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "icmp/echo_service.h"

namespace icmp_packet {

uint16_t checksum(const uint8_t* p, size_t n);
// Sets the checksum of an ICMP packet (bytes 2 and 3) for its content.
void setChecksum(std::vector<uint8_t>& packet);
// Type 8, code 0, the identifier and sequence number in network order, then `data`.
std::vector<uint8_t> echoRequest(uint16_t id, uint16_t sequence, const std::vector<uint8_t>& data);

// The status of an echo that drew an ICMP error of this type and code.
int statusOfError(int type, int code);
// The status of a send the kernel refused with this errno.
int statusOfErrno(int err);

// The request a received packet must answer.
struct Request {
    uint16_t id = 0;
    uint16_t sequence = 0;
    uint32_t destination = 0;  // network order
    const std::vector<uint8_t>* data = nullptr;
};

enum class Match { None, Reply, Error };
struct Answer {
    Match match = Match::None;
    int status = 0;
    uint8_t ttl = 0;  // of the received IP packet; raw sockets only
};

// A packet from a raw socket, with its IP header: every ICMP packet of the host arrives there, so
// an echo reply must carry our identifier, sequence number and data, and an error must quote our
// request to our destination.
Answer parseRaw(const uint8_t* p, size_t n, const Request& r);
// The echo request that a packet from a raw socket (with its IP header) concerns: for an echo
// reply its identifier and the host that sent it (which must be the one that was asked), for an
// ICMP error (sent by any router on the way) the identifier and destination of the request it
// quotes. Nothing for any other packet.
struct Concerned {
    uint16_t id = 0;
    uint32_t destination = 0;  // network order
};
std::optional<Concerned> concernedRequest(const uint8_t* p, size_t n);
// A packet from a datagram ICMP socket, without IP header: the kernel has matched the identifier
// (it owns it), the sequence number and data are ours to check.
Answer parseDatagram(const uint8_t* p, size_t n, const Request& r);

// What a packet from a raw socket (with its IP header) tells of an echo request, whichever it
// was: an echo reply carrying `data` (its identifier, sequence number, sender and TTL), or an
// ICMP error quoting an echo request (the quoted identifier, sequence number and destination,
// the status, the reporting router). Nothing for any other packet. Its time is the caller's.
std::optional<EchoHeard> hearRaw(const uint8_t* p, size_t n, const std::vector<uint8_t>* data);
// An echo reply carrying `data` from a datagram socket: its sequence number.
std::optional<EchoHeard> hearDatagram(const uint8_t* p, size_t n, const std::vector<uint8_t>* data);

}  // namespace icmp_packet
