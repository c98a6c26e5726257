#pragma once
// ICMPv6 echo packets as pure functions over byte buffers, as icmp_packet.h has them for IPv4:
// building a request, deciding whether a received message answers it, the status an ICMPv6 error
// stands for, and an address's text. The kernel fills in an ICMPv6 checksum itself (it covers the
// IPv6 pseudo-header, which only the kernel knows), and an ICMPv6 socket delivers messages
// without their IPv6 header, raw or datagram alike.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "icmp/icmp_packet.h"

namespace icmp6_packet {

// Type 128, code 0, the identifier and sequence number in network order, then `data`; the
// checksum is left to the kernel.
std::vector<uint8_t> echoRequest(uint16_t id, uint16_t sequence, const std::vector<uint8_t>& data);

// The status of an echo that drew an ICMPv6 error of this type and code, in the numbering the
// other platform's IPv6 echo service reports.
int statusOfError(int type, int code);

// The request a received message must answer.
struct Request {
    uint16_t id = 0;
    uint16_t sequence = 0;
    in6_addr destination{};
    const std::vector<uint8_t>* data = nullptr;
};

// A message from a datagram ICMPv6 socket: the kernel has matched the identifier; the sequence
// number and data are ours to check.
icmp_packet::Answer parseDatagram(const uint8_t* p, size_t n, const Request& r);
// A message from a raw ICMPv6 socket, which receives every echo reply of the host: a reply must
// carry our identifier, sequence number and data, and an error must quote our request to our
// destination.
icmp_packet::Answer parseRaw(const uint8_t* p, size_t n, const Request& r);

// What a message from a raw ICMPv6 socket that came from `from` tells of an echo request,
// whichever it was, as icmp_packet::hearRaw does for IPv4 (the hop limit is the caller's).
std::optional<EchoHeard> hearRaw(const uint8_t* p, size_t n, const std::vector<uint8_t>* data,
                                 const in6_addr& from);
// An echo reply carrying `data` from a datagram ICMPv6 socket: its sequence number.
std::optional<EchoHeard> hearDatagram(const uint8_t* p, size_t n, const std::vector<uint8_t>* data);

// The echo request a message from a raw ICMPv6 socket concerns, if any: a reply's identifier and
// its sender `from` (the socket gives no IPv6 header), or the identifier and destination an
// error quotes. Nothing for any other message: only an error quotes a packet.
struct Concerned {
    uint16_t id = 0;
    in6_addr destination{};
};
std::optional<Concerned> concernedRequest(const uint8_t* p, size_t n, const in6_addr& from);

// An address in the text form RFC 5952 recommends: lower case, the longest run of two or more
// zero fields as "::" (the first of equal runs), no leading zeros.
std::string addressText(const in6_addr& address);

}  // namespace icmp6_packet
