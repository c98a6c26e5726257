#include "icmp/icmp6_echo.h"

#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<uint16_t> g_sequence6{0};

int64_t MillisecondsBetween(const timespec& from, const timespec& to) {
    return (static_cast<int64_t>(to.tv_sec) - from.tv_sec) * 1000 +
           (static_cast<int64_t>(to.tv_nsec) - from.tv_nsec) / 1000000;
}

}  // namespace

Icmp6DatagramEcho::~Icmp6DatagramEcho() {
    if (fd_ >= 0) ::close(fd_);
}

bool Icmp6DatagramEcho::receiveOne(int flags, uint16_t sequence, const std::vector<uint8_t>& data,
                                   EchoReply& out, bool& answered, timespec& received) {
    uint8_t buf[65536];
    alignas(cmsghdr) char control[512];
    sockaddr_in6 from{};
    iovec iov{buf, sizeof buf};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd_, &msg, flags | MSG_DONTWAIT);
    if (n < 0) return false;
    answered = false;
    bool stamped = false;
    int hopLimit = -1;
    const sock_extended_err* error = nullptr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            std::memcpy(&received, CMSG_DATA(c), sizeof received);
            stamped = true;
        }
        if (c->cmsg_level != IPPROTO_IPV6) continue;
        if (c->cmsg_type == IPV6_HOPLIMIT) std::memcpy(&hopLimit, CMSG_DATA(c), sizeof hopLimit);
        if (c->cmsg_type == IPV6_RECVERR)
            error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
    }
    if (!stamped) ::clock_gettime(CLOCK_REALTIME, &received);
    EchoReply r;
    if (!(flags & MSG_ERRQUEUE)) {
        icmp6_packet::Request request{0, sequence, {}, &data};
        if (icmp6_packet::parseDatagram(buf, static_cast<size_t>(n), request).match ==
            icmp_packet::Match::None)
            return true;
        r.status = ipstatus::kSuccess;
        r.responder6 = icmp6_packet::addressText(from.sin6_addr);
    } else {
        // The error queue hands back our own request with the reason attached.
        if (!error || n < 8 || buf[0] != ICMP6_ECHO_REQUEST ||
            static_cast<uint16_t>(buf[6] << 8 | buf[7]) != sequence)
            return true;
        if (error->ee_origin == SO_EE_ORIGIN_ICMP6) {
            r.status = icmp6_packet::statusOfError(error->ee_type, error->ee_code);
            const sockaddr* offender = SO_EE_OFFENDER(error);
            if (offender->sa_family == AF_INET6)
                r.responder6 = icmp6_packet::addressText(
                    reinterpret_cast<const sockaddr_in6*>(offender)->sin6_addr);
        } else {
            r.status = icmp_packet::statusOfErrno(static_cast<int>(error->ee_errno));
        }
    }
    if (hopLimit >= 0) r.ttl = static_cast<uint8_t>(std::min(hopLimit, 255));
    out = r;
    answered = true;
    return true;
}

EchoReply Icmp6DatagramEcho::send(const sockaddr_in6& destination, const std::vector<uint8_t>& data,
                                  uint8_t hopLimit, int timeoutMs, IEventPump* waiter) {
    EchoReply out;
    if (fd_ < 0) {
        fd_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMPV6);
        if (fd_ < 0) return out;  // outside ping_group_range: nothing can be sent
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on);
        ::setsockopt(fd_, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
        ::setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    }
    // Whatever waits in the queues before our request is sent cannot answer it.
    uint8_t junk[2048];
    for (int flags : {0, static_cast<int>(MSG_ERRQUEUE)})
        for (int i = 0; i < 4096 && ::recv(fd_, junk, sizeof junk, flags | MSG_DONTWAIT) >= 0;
             ++i) {
        }
    const uint16_t sequence = ++g_sequence6;
    const std::vector<uint8_t> packet = icmp6_packet::echoRequest(0, sequence, data);
    const int hops = hopLimit;
    ::setsockopt(fd_, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &hops, sizeof hops);
    timespec sent{};
    ::clock_gettime(CLOCK_REALTIME, &sent);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    if (::sendto(fd_, packet.data(), packet.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination) < 0) {
        out.status = icmp_packet::statusOfErrno(errno);
        return out;
    }
    for (;;) {
        bool answered = false;
        timespec received{};
        while (!answered && receiveOne(MSG_ERRQUEUE, sequence, data, out, answered, received)) {
        }
        while (!answered && receiveOne(0, sequence, data, out, answered, received)) {
        }
        if (answered) {
            const int64_t rtt = std::max<int64_t>(0, MillisecondsBetween(sent, received));
            if (rtt > timeoutMs) break;  // it came, but after the time-out
            out.rttMs = static_cast<int>(rtt);
            return out;
        }
        if (Clock::now() >= deadline) break;
        if (waiter) {
            waiter->waitReadable(fd_, deadline);
        } else {
            IEventPump::pollReadable(fd_, deadline);
        }
    }
    out = EchoReply{};
    out.status = ipstatus::kRequestTimedOut;
    return out;
}
