#pragma once
// The ICMP socket calls that the echo handles (ICMP and ICMPv6) and the relay's helper share:
// setting a socket up, reading one packet with what the kernel told of it, sending one packet,
// emptying the queues, and waiting for a request's outcome. Plain system calls.
#include <time.h>  // before errqueue.h, which uses timespec without declaring it

#include <linux/errqueue.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "icmp/echo_service.h"

// setsockopt, or a stand-in that refuses an option (as a kernel short of memory, or one built
// without the option, would): every refusal has an outcome of its own, tried in the tests.
using SetSocketOption =
    std::function<int(int fd, int level, int name, const void* value, socklen_t size)>;

// Sets what every ICMP socket of the program needs: the TTL and the kernel's receive time of each
// packet, and on a raw socket a filter that lets only replies and errors in. Each is a help, none
// a need: refused, the TTL is read from the IP header (raw sockets), the time is taken when the
// packet is read, and the relay's request book keeps out what the filter would have.
void configureIcmpSocket(int fd, int type, const SetSocketOption& set = ::setsockopt);

// The same for an ICMPv6 socket: the hop limit of each reply (refused: unknown, shown as 0), and
// on a raw socket a filter (ICMP6_FILTER) that lets only echo replies and errors in.
void configureIcmp6Socket(int fd, int type, const SetSocketOption& set = ::setsockopt);

// One packet read off an ICMP socket, with what the kernel told of it.
struct ReceivedIcmp {
    size_t size = 0;
    uint32_t from = 0;      // the sender, network order (IPv4)
    in6_addr from6{};       // the sender (IPv6)
    int ttl = -1;           // of the IP packet (the hop limit for IPv6); -1 when not reported
    timespec received{};    // the kernel's receive time (CLOCK_REALTIME), else when it was read
    bool hasError = false;  // read off the error queue: `error` and `offender` tell the reason
    sock_extended_err error{};
    uint32_t offender = 0;  // the host that sent an ICMP error, network order
    bool offender6Known = false;
    in6_addr offender6{};  // the host that sent an ICMPv6 error
};
// Reads one queued packet into `buf` without waiting, from an ICMP or an ICMPv6 socket; false
// when none was queued.
bool receiveIcmp(int fd, int flags, uint8_t* buf, size_t size, ReceivedIcmp& out);
// Throws away what waits in the socket's queues (bounded: a flood that arrives as fast as it is
// read must not hold the send for ever); what came before a request cannot answer it.
void drainIcmp(int fd, bool errorQueueToo = true);

// Waits until `deadline` for the outcome of a request sent at `sent` (CLOCK_REALTIME, the clock
// the kernel stamps what it receives with). Whatever is queued is read first, the error queue
// before the rest: an outcome counts when the kernel received it within timeoutMs of the send,
// however late the wait returned (a modal dialog may have held the event loop for seconds).
// `receiveOne` reads one queued packet (false when none was queued) and says whether it answered;
// `gone`, when it says so, ends the wait with a general failure.
using ReceiveOne =
    std::function<bool(int flags, EchoReply& out, bool& answered, timespec& received)>;
EchoReply awaitEchoOutcome(int fd, const timespec& sent,
                           std::chrono::steady_clock::time_point deadline, int timeoutMs,
                           IEventPump* waiter, const ReceiveOne& receiveOne,
                           const std::function<bool()>& gone = {});
// Sends `packet` to `destination` with that TTL; the send's errno, 0 when it went out. A TTL the
// socket refuses is a send refused: the request never leaves with another TTL than asked.
int sendIcmp(int fd, uint32_t destination, uint8_t ttl, const std::vector<uint8_t>& packet,
             const SetSocketOption& set = ::setsockopt);
// Sends an ICMPv6 `packet` to `destination` with that hop limit; the send's errno, 0 when sent.
int sendIcmp6(int fd, const sockaddr_in6& destination, uint8_t hopLimit,
              const std::vector<uint8_t>& packet, const SetSocketOption& set = ::setsockopt);
