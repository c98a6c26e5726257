#include "icmp/icmp6_echo.h"

#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"
#include "icmp/icmp_socket.h"

namespace {

std::atomic<uint16_t> g_sequence6{0};

}  // namespace

Icmp6DatagramEcho::~Icmp6DatagramEcho() {
    if (fd_ >= 0) ::close(fd_);
}

bool Icmp6DatagramEcho::receiveOne(int flags, uint16_t sequence, const std::vector<uint8_t>& data,
                                   EchoReply& out, bool& answered, timespec& received) {
    uint8_t buf[65536];
    ReceivedIcmp packet;
    if (!receiveIcmp(fd_, flags, buf, sizeof buf, packet)) return false;
    received = packet.received;
    answered = false;
    EchoReply r;
    if (!(flags & MSG_ERRQUEUE)) {
        const icmp6_packet::Request request{0, sequence, {}, &data};
        if (icmp6_packet::parseDatagram(buf, packet.size, request).match ==
            icmp_packet::Match::None)
            return true;
        r.status = ipstatus::kSuccess;
        r.responder6 = icmp6_packet::addressText(packet.from6);
    } else {
        // The error queue hands back our own request with the reason attached.
        if (!packet.hasError || packet.size < 8 || buf[0] != ICMP6_ECHO_REQUEST ||
            static_cast<uint16_t>(buf[6] << 8 | buf[7]) != sequence)
            return true;
        if (packet.error.ee_origin == SO_EE_ORIGIN_ICMP6) {
            r.status = icmp6_packet::statusOfError(packet.error.ee_type, packet.error.ee_code);
            if (packet.offender6Known) r.responder6 = icmp6_packet::addressText(packet.offender6);
        } else {
            r.status = icmp_packet::statusOfErrno(static_cast<int>(packet.error.ee_errno));
        }
    }
    if (packet.ttl >= 0) r.ttl = static_cast<uint8_t>(std::min(packet.ttl, 255));
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
        configureIcmp6Socket(fd_, SOCK_DGRAM);
    }
    drainIcmp(fd_);
    const uint16_t sequence = ++g_sequence6;
    const std::vector<uint8_t> packet = icmp6_packet::echoRequest(0, sequence, data);
    timespec sent{};
    ::clock_gettime(CLOCK_REALTIME, &sent);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    if (const int err = sendIcmp6(fd_, destination, hopLimit, packet); err != 0) {
        out.status = icmp_packet::statusOfErrno(err);
        return out;
    }
    return awaitEchoOutcome(fd_, sent, deadline, timeoutMs, waiter,
                            [&](int flags, EchoReply& reply, bool& answered, timespec& received) {
                                return receiveOne(flags, sequence, data, reply, answered, received);
                            });
}
