#include "icmp/icmp_socket.h"

#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

void configureIcmpSocket(int fd, int type, const SetSocketOption& set) {
    int on = 1;
    set(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    // The kernel's receive time on every packet: replies are judged by when they arrived, not by
    // when the program got round to reading them.
    set(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    if (type == SOCK_DGRAM) {
        set(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    } else {
        // A raw socket would also queue every echo request of the host (a flood ping beside us
        // fills the queue with them); let only replies and errors in. Linux's ICMP_FILTER: a set
        // bit blocks that type.
        constexpr int kIcmpFilter = 1;
        uint32_t blocked =
            ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
              (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
        set(fd, SOL_RAW, kIcmpFilter, &blocked, sizeof blocked);
    }
}

void configureIcmp6Socket(int fd, int type, const SetSocketOption& set) {
    const int on = 1;
    set(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
    set(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    if (type == SOCK_DGRAM) {
        set(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
    } else {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (int type6 : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG,
                          ICMP6_TIME_EXCEEDED, ICMP6_PARAM_PROB})
            ICMP6_FILTER_SETPASS(type6, &filter);
        set(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    }
}

bool receiveIcmp(int fd, int flags, uint8_t* buf, size_t size, ReceivedIcmp& out) {
    alignas(cmsghdr) char control[512];
    sockaddr_storage from{};
    iovec iov{buf, size};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &msg, flags | MSG_DONTWAIT);
    if (n < 0) return false;
    out = ReceivedIcmp{};
    out.size = static_cast<size_t>(n);
    if (from.ss_family == AF_INET)
        out.from = reinterpret_cast<sockaddr_in*>(&from)->sin_addr.s_addr;
    if (from.ss_family == AF_INET6) out.from6 = reinterpret_cast<sockaddr_in6*>(&from)->sin6_addr;
    bool stamped = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            std::memcpy(&out.received, CMSG_DATA(c), sizeof out.received);
            stamped = true;
        }
        const bool v4 = c->cmsg_level == IPPROTO_IP, v6 = c->cmsg_level == IPPROTO_IPV6;
        if ((v4 && c->cmsg_type == IP_TTL) || (v6 && c->cmsg_type == IPV6_HOPLIMIT))
            std::memcpy(&out.ttl, CMSG_DATA(c), sizeof out.ttl);
        if ((v4 && c->cmsg_type == IP_RECVERR) || (v6 && c->cmsg_type == IPV6_RECVERR)) {
            const auto* ee = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
            out.hasError = true;
            out.error = *ee;
            const sockaddr* off = SO_EE_OFFENDER(ee);
            if (off->sa_family == AF_INET)
                out.offender = reinterpret_cast<const sockaddr_in*>(off)->sin_addr.s_addr;
            if (off->sa_family == AF_INET6) {
                out.offender6Known = true;
                out.offender6 = reinterpret_cast<const sockaddr_in6*>(off)->sin6_addr;
            }
        }
    }
    if (!stamped) ::clock_gettime(CLOCK_REALTIME, &out.received);
    return true;
}

void drainIcmp(int fd, bool errorQueueToo) {
    char buf[2048];
    for (int flags : {0, static_cast<int>(MSG_ERRQUEUE)}) {
        if (flags && !errorQueueToo) break;
        for (int i = 0; i < 4096; ++i) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, flags | MSG_DONTWAIT);
            if (n < 0 && errno != EINTR) break;
        }
    }
}

namespace {

int64_t MicrosecondsBetween(const timespec& from, const timespec& to) {
    return (static_cast<int64_t>(to.tv_sec) - from.tv_sec) * 1000000 +
           (static_cast<int64_t>(to.tv_nsec) - from.tv_nsec) / 1000;
}

}  // namespace

EchoReply awaitEchoOutcome(int fd, const timespec& sent,
                           std::chrono::steady_clock::time_point deadline, int timeoutMs,
                           IEventPump* waiter, const ReceiveOne& receiveOne,
                           const std::function<bool()>& gone) {
    EchoReply out;
    for (;;) {
        bool answered = false;
        timespec received{};
        while (!answered && receiveOne(MSG_ERRQUEUE, out, answered, received)) {
        }
        while (!answered && receiveOne(0, out, answered, received)) {
        }
        if (answered) {
            const int64_t rttUs = std::max<int64_t>(0, MicrosecondsBetween(sent, received));
            if (rttUs / 1000 > timeoutMs) break;  // it came, but after the time-out
            out.rttMs = static_cast<int>(rttUs / 1000);
            out.rttUs = static_cast<int>(rttUs);
            return out;
        }
        if (gone && gone()) return EchoReply{};  // the helper died with the request under way
        if (std::chrono::steady_clock::now() >= deadline) break;
        if (waiter) {
            waiter->waitReadable(fd, deadline);
        } else {
            IEventPump::pollReadable(fd, deadline);
        }
    }
    out = EchoReply{};
    out.status = ipstatus::kRequestTimedOut;
    return out;
}

int sendIcmp(int fd, uint32_t destination, uint8_t ttl, const std::vector<uint8_t>& packet,
             const SetSocketOption& set) {
    const int ttlValue = ttl;
    if (set(fd, IPPROTO_IP, IP_TTL, &ttlValue, sizeof ttlValue) != 0) return errno;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    return ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                    sizeof to) < 0
               ? errno
               : 0;
}

int sendIcmp6(int fd, const sockaddr_in6& destination, uint8_t hopLimit,
              const std::vector<uint8_t>& packet, const SetSocketOption& set) {
    const int hops = hopLimit;
    if (set(fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &hops, sizeof hops) != 0) return errno;
    return ::sendto(fd, packet.data(), packet.size(), 0,
                    reinterpret_cast<const sockaddr*>(&destination), sizeof destination) < 0
               ? errno
               : 0;
}
