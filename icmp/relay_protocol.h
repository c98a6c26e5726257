#pragma once
// What the program and the ICMP relay's helper (icmp_relay.h) say to each other over their
// socket pair, and the helper's rules for what it sends and passes back, as pure functions and a
// book that takes the time as an argument: all of it testable without a socket or a process.
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "icmp/echo_service.h"

namespace icmp_relay {

// The messages over the socket pair (SOCK_SEQPACKET: one message per send).
// Program to helper: the family ('4' or '6'), the destination (network order; for IPv6 its 16
// bytes and its scope id), the TTL or hop limit, then the echo request, whose identifier the
// helper replaces with one of its own.
using Destination = EchoDestination;
std::vector<uint8_t> requestMessage(const Destination& to, uint8_t ttl,
                                    const std::vector<uint8_t>& packet);
struct RequestMessage {
    Destination to;
    uint8_t ttl = 0;
    std::vector<uint8_t> packet;
};
// What a request message says; nothing when it is too short or names no family.
std::optional<RequestMessage> parseRequestMessage(const uint8_t* message, size_t size);

// Helper to program, once for every request: 'S', the errno of the send (0 when sent), the
// identifier the request went out with and its sequence number (both network order), so that a
// program with several requests under way knows which one it was.
struct SentNote {
    int32_t error = 0;
    uint16_t id = 0;
    uint16_t sequence = 0;
};
constexpr char kSent = 'S';
constexpr size_t kSentSize = 1 + sizeof(int32_t) + 2 * sizeof(uint16_t);
std::vector<uint8_t> sentMessage(const SentNote& note);
std::optional<SentNote> parseSentMessage(const uint8_t* message, size_t size);

// Helper to program: 'P', this header, then a packet the raw socket received.
struct PacketHeader {
    int64_t seconds = 0;  // the kernel's receive time, CLOCK_REALTIME
    int64_t nanoseconds = 0;
    int32_t ttl = -1;    // of the IP packet (the hop limit for IPv6), -1 when unknown
    int32_t family = 0;  // AF_INET: the packet with its IP header; AF_INET6: the ICMPv6 message
    uint32_t from = 0;   // network order
    in6_addr from6{};
};
constexpr char kPacket = 'P';
constexpr size_t kPacketHeaderSize = 1 + sizeof(PacketHeader);
// Writes 'P' and the header into the first kPacketHeaderSize bytes of `message`; the packet goes
// right after them.
void writePacketHeader(uint8_t* message, const PacketHeader& header);
struct PacketMessage {
    PacketHeader header;
    const uint8_t* packet = nullptr;  // inside the message read
    size_t size = 0;
};
std::optional<PacketMessage> parsePacketMessage(const uint8_t* message, size_t size);

// The largest echo request the helper sends: larger ones are refused with EMSGSIZE.
constexpr size_t kMaxRequest = 8 + 1024;

// The helper's check of a request: an echo request of the family (ICMP type 8 or ICMPv6 type 128,
// code 0) of at most kMaxRequest bytes. The checksum is set afresh by the helper or the kernel.
bool acceptableRequest(const uint8_t* packet, size_t size, int family = AF_INET);

// The least time between two requests, as iputils ping allows an ordinary user.
constexpr int64_t kRequestSpacingNs = 2'000'000;

// How long the helper passes on what concerns a request: longer than any time-out the program
// waits for an answer.
constexpr int64_t kRequestLifetimeNs = 10'000'000'000;

// What the helper knows of the requests it sent, and the pace it keeps. The time is an argument
// (nanoseconds on a monotonic clock), so every rule is testable without a socket.
class RequestBook {
public:
    explicit RequestBook(uint16_t firstId) : nextId_(firstId) {}
    // When a request that is due at `now` may go out: at least kRequestSpacingNs after the last.
    int64_t sendTime(int64_t now) const;
    // Notes a request to `destination` sent at `now`; the identifier it goes out with. One
    // sequence of identifiers and one pace for both families.
    uint16_t handOut(uint32_t destination, int64_t now);
    uint16_t handOut6(const in6_addr& destination, int64_t now);
    // The send returned at `now`: the next one waits kRequestSpacingNs from here, so that two
    // requests are that far apart on the wire too.
    void wentOut(int64_t now) { lastSend_ = now; }
    // Whether a packet from the raw socket (with its IP header) that came at `now` concerns one of
    // the requests of the last kRequestLifetimeNs: a reply must come from the host the request
    // went to; an error must quote it.
    bool concerns(const uint8_t* packet, size_t size, int64_t now) const;
    // The same for an ICMPv6 message (no IPv6 header) that came from `from`.
    bool concerns6(const uint8_t* packet, size_t size, const in6_addr& from, int64_t now) const;
    // The identifiers a reply to a request it remembers may carry: `count` of them from `first`
    // on (they are handed out in turn).
    struct Ids {
        uint16_t first;
        uint32_t count;
    };
    Ids recentIds() const;

private:
    struct Sent {
        uint16_t id;
        int family;
        uint32_t destination;
        in6_addr destination6;
        int64_t at;
    };
    uint16_t note(const Sent& sent, int64_t now);
    // The request with identifier `id`, if it is remembered and of the last kRequestLifetimeNs.
    const Sent* find(uint16_t id, int64_t now) const;
    std::deque<Sent> recent_;  // in the order handed out, so of consecutive identifiers
    uint16_t nextId_;
    std::optional<int64_t> lastSend_;
};

}  // namespace icmp_relay
