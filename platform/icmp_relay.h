#pragma once
// The raw ICMP socket kept out of the program's own process. Qt loads code that the user chooses
// (plugins through QT_PLUGIN_PATH, platform themes, input methods, the sound system's modules),
// and such code must not get a raw socket, with which it could forge any packet. So the raw
// socket goes to a small helper process, forked before Qt starts, that runs no library code and
// does one thing: it sends ICMP echo requests that it has checked and hands back what the raw
// socket receives. The program talks to it over a socket pair. Plain C++.
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace icmp_relay {

// Forks the helper, which takes `rawSocket`; the caller's copy is closed. The program's end of
// the socket pair, or -1 when no helper could be started.
int start(int rawSocket);

// The messages over the socket pair (SOCK_SEQPACKET: one message per send).
// Program to helper: the destination (network order), the TTL, then the ICMP echo request.
constexpr size_t kRequestHeader = 5;
// Helper to program: 'S' and the errno of the send (0 when sent), or 'P' and a received packet.
struct PacketHeader {
    int64_t seconds;  // the kernel's receive time, CLOCK_REALTIME
    int64_t nanoseconds;
    int32_t ttl;    // of the IP packet, -1 when unknown
    uint32_t from;  // network order
};
constexpr char kSent = 'S';
constexpr char kPacket = 'P';
// The largest echo request the helper sends: larger ones are refused with EMSGSIZE.
constexpr size_t kMaxRequest = 8 + 1024;

// The helper's check of a request: an ICMP echo request (type 8, code 0) of at most kMaxRequest
// bytes. The checksum is set afresh by the helper.
bool acceptableRequest(const uint8_t* packet, size_t size);

}  // namespace icmp_relay
