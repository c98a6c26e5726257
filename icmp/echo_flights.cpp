#include "icmp/echo_flights.h"

#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_echo_service.h"
#include "icmp/icmp_packet.h"
#include "icmp/icmp_socket.h"
#include "icmp/relay_protocol.h"

namespace {

// How many packets one call of hear() reads off a socket at most: a flood of somebody else's
// packets must not keep the sends waiting.
constexpr int kReadsPerCall = 1024;

int64_t NowNs(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The kernel stamps what it receives on the real-time clock; the book counts on the steady one.
int64_t SteadyNsOf(int64_t seconds, int64_t nanoseconds) {
    const int64_t age = NowNs(CLOCK_REALTIME) - (seconds * 1'000'000'000 + nanoseconds);
    return NowNs(CLOCK_MONOTONIC) - std::max<int64_t>(0, age);
}

bool Again(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == ENOBUFS || err == EINTR;
}

std::vector<uint8_t> RequestPacket(int family, uint16_t id, uint16_t sequence,
                                   const std::vector<uint8_t>& data) {
    return family == AF_INET6 ? icmp6_packet::echoRequest(id, sequence, data)
                              : icmp_packet::echoRequest(id, sequence, data);
}

class SocketFlight : public IEchoFlight {
public:
    explicit SocketFlight(const std::vector<uint8_t>& data) : data_(data) {
        // Outside ping_group_range the program has the helper, whose raw sockets serve it.
        fd4_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd4_ >= 0) configureIcmpSocket(fd4_, SOCK_DGRAM);
        fd6_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMPV6);
        if (fd6_ >= 0) configureIcmp6Socket(fd6_, SOCK_DGRAM);
        for (int fd : {fd4_, fd6_})
            if (fd >= 0) drainIcmp(fd);
    }
    ~SocketFlight() override {
        for (int fd : {fd4_, fd6_})
            if (fd >= 0) ::close(fd);
    }

    std::vector<int> descriptors() const override {
        std::vector<int> fds;
        for (int fd : {fd4_, fd6_})
            if (fd >= 0) fds.push_back(fd);
        return fds;
    }

    int send(const EchoDestination& to, uint16_t sequence, uint8_t ttl) override {
        const bool v6 = to.family == AF_INET6;
        const int fd = v6 ? fd6_ : fd4_;
        if (fd < 0) return EAFNOSUPPORT;  // outside ping_group_range: nothing can be sent
        // The kernel puts the socket's identifier in.
        const std::vector<uint8_t> packet = RequestPacket(to.family, 0, sequence, data_);
        int err;
        if (v6) {
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = to.address6;
            a.sin6_scope_id = to.scope;
            err = sendIcmp6(fd, a, ttl, packet);
        } else {
            err = sendIcmp(fd, to.address, ttl, packet);
        }
        return Again(err) ? EAGAIN : err;
    }

    void hear(std::vector<EchoHeard>& out) override {
        for (int fd : {fd4_, fd6_}) {
            if (fd < 0) continue;
            const bool v6 = fd == fd6_;
            for (int flags : {static_cast<int>(MSG_ERRQUEUE), 0})
                for (int i = 0; i < kReadsPerCall; ++i) {
                    ReceivedIcmp packet;
                    if (!receiveIcmp(fd, flags, buf_, sizeof buf_, packet)) break;
                    std::optional<EchoHeard> h =
                        flags ? fromErrorQueue(packet, v6) : fromQueue(packet, v6);
                    if (!h) continue;
                    h->receivedNs = SteadyNsOf(packet.received.tv_sec, packet.received.tv_nsec);
                    out.push_back(*h);
                }
        }
    }

private:
    std::optional<EchoHeard> fromQueue(const ReceivedIcmp& packet, bool v6) const {
        std::optional<EchoHeard> h;
        if (v6) {
            h = icmp6_packet::hearDatagram(buf_, packet.size, &data_);
            if (h) h->from6 = packet.from6;
        } else {
            h = icmp_packet::hearDatagram(buf_, packet.size, &data_);
            if (h) h->from = packet.from;
        }
        if (h && packet.ttl >= 0 && h->kind == EchoHeard::Kind::Reply) h->ttl = packet.ttl;
        return h;
    }

    // The error queue hands back our own request with the reason attached.
    std::optional<EchoHeard> fromErrorQueue(const ReceivedIcmp& packet, bool v6) const {
        if (!packet.hasError || packet.size < 8 || buf_[0] != (v6 ? ICMP6_ECHO_REQUEST : ICMP_ECHO))
            return std::nullopt;
        EchoHeard h;
        h.kind = EchoHeard::Kind::Error;
        h.family = v6 ? AF_INET6 : AF_INET;
        h.sequence = static_cast<uint16_t>(buf_[6] << 8 | buf_[7]);
        const int origin = v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP;
        if (packet.error.ee_origin == origin) {
            h.status = v6 ? icmp6_packet::statusOfError(packet.error.ee_type, packet.error.ee_code)
                          : icmp_packet::statusOfError(packet.error.ee_type, packet.error.ee_code);
            h.from = packet.offender;
            h.from6 = packet.offender6;
            h.fromKnown = !v6 || packet.offender6Known;
        } else {
            h.status = icmp_packet::statusOfErrno(static_cast<int>(packet.error.ee_errno));
            h.fromKnown = !v6;
        }
        h.ttl = packet.ttl;
        return h;
    }

    std::vector<uint8_t> data_;
    int fd4_ = -1;
    int fd6_ = -1;
    mutable uint8_t buf_[65536 + 128] = {};
};

class RelayFlight : public IEchoFlight {
public:
    RelayFlight(std::shared_ptr<RelayLink> relay, const std::vector<uint8_t>& data)
        : relay_(std::move(relay)), data_(data) {
        relay_->drain();  // the notes and packets of earlier requests
    }

    std::vector<int> descriptors() const override { return {relay_->socket()}; }
    bool broken() const override { return relay_->broken(); }

    int send(const EchoDestination& to, uint16_t sequence, uint8_t ttl) override {
        if (relay_->broken()) return EPIPE;
        // The helper puts an identifier of its own in.
        const std::vector<uint8_t> m =
            icmp_relay::requestMessage(to, ttl, RequestPacket(to.family, 0, sequence, data_));
        if (::send(relay_->socket(), m.data(), m.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
            return 0;
        const int err = errno;
        if (Again(err)) return EAGAIN;
        relay_->readFailed(-1);
        return EPIPE;
    }

    void hear(std::vector<EchoHeard>& out) override {
        for (int i = 0; i < kReadsPerCall && !relay_->broken(); ++i) {
            const ssize_t n = ::recv(relay_->socket(), message_, sizeof message_, MSG_DONTWAIT);
            if (n <= 0) {
                relay_->readFailed(n);
                return;
            }
            const auto size = static_cast<size_t>(n);
            if (const auto note = icmp_relay::parseSentMessage(message_, size)) {
                EchoHeard h;
                h.kind = EchoHeard::Kind::Sent;
                h.sequence = note->sequence;
                h.hasId = true;
                h.id = note->id;
                h.status = note->error;
                out.push_back(h);
                continue;
            }
            const auto m = icmp_relay::parsePacketMessage(message_, size);
            if (!m) continue;
            const icmp_relay::PacketHeader& header = m->header;
            std::optional<EchoHeard> h =
                header.family == AF_INET6
                    ? icmp6_packet::hearRaw(m->packet, m->size, &data_, header.from6)
                    : icmp_packet::hearRaw(m->packet, m->size, &data_);
            if (!h) continue;
            // The socket's TTL of a reply, else the IP header's (an ICMPv6 message has none).
            if (header.ttl >= 0 && (h->kind == EchoHeard::Kind::Reply || header.family == AF_INET6))
                h->ttl = header.ttl;
            h->receivedNs = SteadyNsOf(header.seconds, header.nanoseconds);
            out.push_back(*h);
        }
    }

private:
    std::shared_ptr<RelayLink> relay_;
    std::vector<uint8_t> data_;
    uint8_t message_[icmp_relay::kPacketHeaderSize + 65536 + 128] = {};
};

}  // namespace

std::unique_ptr<IEchoFlight> openSocketFlight(const std::vector<uint8_t>& data) {
    return std::make_unique<SocketFlight>(data);
}

std::unique_ptr<IEchoFlight> openRelayFlight(std::shared_ptr<RelayLink> relay,
                                             const std::vector<uint8_t>& data) {
    return std::make_unique<RelayFlight>(std::move(relay), data);
}
