#include "platform/icmp_echo_service.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint16_t> g_sequence{0};

uint16_t Checksum(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2) sum += static_cast<uint32_t>(p[0] << 8 | p[1]);
    if (n) sum += static_cast<uint32_t>(p[0] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

int StatusOfIcmpError(int type, int code) {
    using namespace ipstatus;
    switch (type) {
        case ICMP_DEST_UNREACH:
            switch (code) {
                case ICMP_NET_UNREACH:
                case ICMP_NET_UNKNOWN:
                case ICMP_NET_ANO:
                case ICMP_NET_UNR_TOS:
                    return kDestNetUnreachable;
                case ICMP_PROT_UNREACH:
                    return kDestProtUnreachable;
                case ICMP_PORT_UNREACH:
                    return kDestPortUnreachable;
                case ICMP_FRAG_NEEDED:
                    return kPacketTooBig;
                case ICMP_SR_FAILED:
                    return kBadRoute;
                default:
                    return kDestHostUnreachable;
            }
        case ICMP_TIME_EXCEEDED:
            return code == ICMP_EXC_FRAGTIME ? kTtlExpiredReassembly : kTtlExpiredTransit;
        case ICMP_PARAMETERPROB:
            return kParameterProblem;
        case ICMP_SOURCE_QUENCH:
            return kSourceQuench;
        default:
            return kGeneralFailure;
    }
}

// A send that fails never reached the wire; the kernel's reason maps onto the nearest status.
int StatusOfErrno(int err) {
    switch (err) {
        case ENETUNREACH:
            return ipstatus::kDestNetUnreachable;
        case EHOSTUNREACH:
            return ipstatus::kDestHostUnreachable;
        case EMSGSIZE:
            return ipstatus::kPacketTooBig;
        default:
            return ipstatus::kGeneralFailure;
    }
}

void Configure(int fd, int type) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    if (type == SOCK_DGRAM) {
        ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    } else {
        // A raw socket would also queue every echo request of the host (a flood ping beside us
        // fills the queue with them); let only replies and errors in. Linux's ICMP_FILTER: a set
        // bit blocks that type.
        constexpr int kIcmpFilter = 1;
        uint32_t blocked =
            ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
              (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
        ::setsockopt(fd, SOL_RAW, kIcmpFilter, &blocked, sizeof blocked);
    }
}

int OpenSocket(int type) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) Configure(fd, type);
    return fd;
}

// Whatever waits in the queue before our request is sent cannot answer it.
void Drain(int fd) {
    char buf[2048];
    while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) >= 0) {
    }
    while (::recv(fd, buf, sizeof buf, MSG_DONTWAIT | MSG_ERRQUEUE) >= 0) {
    }
}

class IcmpEchoHandle : public IEchoHandle {
public:
    explicit IcmpEchoHandle(int sharedRaw) {
        if (sharedRaw >= 0) {
            fd_ = sharedRaw;
            raw_ = true;
            owned_ = false;
        } else {
            // EACCES on the datagram kind means ping_group_range leaves the user out; EPERM on
            // the raw kind means neither root nor CAP_NET_RAW. Either failure leaves fd_ at -1,
            // and every send then reports a general failure, as a broken echo handle would.
            fd_ = OpenSocket(SOCK_DGRAM);
            if (fd_ < 0) {
                fd_ = OpenSocket(SOCK_RAW);
                raw_ = fd_ >= 0;
            }
        }
        id_ = static_cast<uint16_t>(::getpid() ^ reinterpret_cast<uintptr_t>(this));
    }
    ~IcmpEchoHandle() override {
        if (fd_ >= 0 && owned_) ::close(fd_);
    }

    EchoReply Send(uint32_t destination, const std::vector<uint8_t>& data, uint8_t ttl,
                   int timeoutMs, const std::function<void()>& idle) override;

private:
    enum class Match { None, Reply, Error };
    Match ParseRaw(const uint8_t* p, size_t n, uint32_t from, EchoReply& out) const;
    Match ParseDgram(const uint8_t* p, size_t n, uint32_t from, EchoReply& out) const;
    bool ReceiveOne(int flags, EchoReply& out, bool& matched);

    int fd_ = -1;
    bool raw_ = false;
    bool owned_ = true;
    uint16_t id_ = 0;
    uint16_t seq_ = 0;
    uint32_t destination_ = 0;
    const std::vector<uint8_t>* data_ = nullptr;
};

bool SameData(const uint8_t* p, size_t n, const std::vector<uint8_t>& data) {
    return n == data.size() && (n == 0 || std::memcmp(p, data.data(), n) == 0);
}

IcmpEchoHandle::Match IcmpEchoHandle::ParseDgram(const uint8_t* p, size_t n, uint32_t from,
                                                 EchoReply& out) const {
    // The kernel has already matched the identifier (it owns it) and stripped the IP header.
    if (n < 8 || p[0] != ICMP_ECHOREPLY) return Match::None;
    uint16_t seq = static_cast<uint16_t>(p[6] << 8 | p[7]);
    if (seq != seq_ || !SameData(p + 8, n - 8, *data_)) return Match::None;
    out.status = ipstatus::kSuccess;
    out.address = from;
    return Match::Reply;
}

IcmpEchoHandle::Match IcmpEchoHandle::ParseRaw(const uint8_t* p, size_t n, uint32_t from,
                                               EchoReply& out) const {
    // A raw socket sees every ICMP packet of the host, our own requests to 127.0.0.1 among them,
    // and the traffic of any other ping running beside us.
    if (n < 20) return Match::None;
    size_t ihl = static_cast<size_t>(p[0] & 0x0F) * 4;
    if (ihl < 20 || n < ihl + 8) return Match::None;
    const uint8_t* icmp = p + ihl;
    size_t len = n - ihl;
    uint8_t type = icmp[0];
    auto idSeqMatch = [&](const uint8_t* h) {
        return static_cast<uint16_t>(h[4] << 8 | h[5]) == id_ &&
               static_cast<uint16_t>(h[6] << 8 | h[7]) == seq_;
    };
    if (type == ICMP_ECHOREPLY) {
        if (!idSeqMatch(icmp) || !SameData(icmp + 8, len - 8, *data_)) return Match::None;
        out.status = ipstatus::kSuccess;
        out.address = from;
        out.ttl = p[8];
        return Match::Reply;
    }
    if (type != ICMP_DEST_UNREACH && type != ICMP_TIME_EXCEEDED && type != ICMP_PARAMETERPROB &&
        type != ICMP_SOURCE_QUENCH)
        return Match::None;
    // The error quotes our request: its IP header, then at least eight bytes of its ICMP header.
    const uint8_t* inner = icmp + 8;
    size_t innerLen = len - 8;
    if (innerLen < 20) return Match::None;
    size_t innerIhl = static_cast<size_t>(inner[0] & 0x0F) * 4;
    if (innerIhl < 20 || innerLen < innerIhl + 8 || inner[9] != IPPROTO_ICMP) return Match::None;
    uint32_t innerDst;
    std::memcpy(&innerDst, inner + 16, 4);
    const uint8_t* quoted = inner + innerIhl;
    if (innerDst != destination_ || quoted[0] != ICMP_ECHO || !idSeqMatch(quoted))
        return Match::None;
    out.status = StatusOfIcmpError(type, icmp[1]);
    out.address = from;
    out.ttl = p[8];
    return Match::Error;
}

bool IcmpEchoHandle::ReceiveOne(int flags, EchoReply& out, bool& matched) {
    uint8_t buf[65536 + 128];
    alignas(cmsghdr) char control[512];
    sockaddr_in from{};
    iovec iov{buf, sizeof buf};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = ::recvmsg(fd_, &msg, flags | MSG_DONTWAIT);
    if (n < 0) return false;
    matched = false;
    EchoReply r;
    int ttl = -1;
    const sock_extended_err* ee = nullptr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP) continue;
        if (c->cmsg_type == IP_TTL) std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
        if (c->cmsg_type == IP_RECVERR)
            ee = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
    }
    size_t len = static_cast<size_t>(n);
    if (flags & MSG_ERRQUEUE) {
        // The error queue hands back our own request with the reason attached.
        if (!ee || len < 8 || buf[0] != ICMP_ECHO) return true;
        if (static_cast<uint16_t>(buf[6] << 8 | buf[7]) != seq_) return true;
        if (ee->ee_origin == SO_EE_ORIGIN_ICMP) {
            r.status = StatusOfIcmpError(ee->ee_type, ee->ee_code);
            const sockaddr* off = SO_EE_OFFENDER(ee);
            if (off->sa_family == AF_INET)
                r.address = reinterpret_cast<const sockaddr_in*>(off)->sin_addr.s_addr;
        } else {
            r.status = StatusOfErrno(static_cast<int>(ee->ee_errno));
        }
        if (ttl >= 0) r.ttl = static_cast<uint8_t>(ttl);
        out = r;
        matched = true;
        return true;
    }
    Match m = raw_ ? ParseRaw(buf, len, from.sin_addr.s_addr, r)
                   : ParseDgram(buf, len, from.sin_addr.s_addr, r);
    if (m == Match::None) return true;
    if (ttl >= 0 && m == Match::Reply) r.ttl = static_cast<uint8_t>(ttl);
    out = r;
    matched = true;
    return true;
}

EchoReply IcmpEchoHandle::Send(uint32_t destination, const std::vector<uint8_t>& data, uint8_t ttl,
                               int timeoutMs, const std::function<void()>& idle) {
    EchoReply out;
    if (fd_ < 0) return out;
    destination_ = destination;
    data_ = &data;
    seq_ = ++g_sequence;
    std::vector<uint8_t> packet(8 + data.size());
    packet[0] = ICMP_ECHO;
    packet[4] = static_cast<uint8_t>(id_ >> 8);
    packet[5] = static_cast<uint8_t>(id_);
    packet[6] = static_cast<uint8_t>(seq_ >> 8);
    packet[7] = static_cast<uint8_t>(seq_);
    std::copy(data.begin(), data.end(), packet.begin() + 8);
    uint16_t sum = Checksum(packet.data(), packet.size());
    packet[2] = static_cast<uint8_t>(sum >> 8);
    packet[3] = static_cast<uint8_t>(sum);

    int ttlValue = ttl;
    ::setsockopt(fd_, IPPROTO_IP, IP_TTL, &ttlValue, sizeof ttlValue);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    Drain(fd_);
    const auto start = Clock::now();
    if (::sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0) {
        out.status = StatusOfErrno(errno);
        return out;
    }
    const auto deadline = start + std::chrono::milliseconds(std::max(0, timeoutMs));
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        int slice = static_cast<int>(idle ? std::min<int64_t>(left.count(), 10) : left.count());
        pollfd p{fd_, POLLIN, 0};
        int ready = ::poll(&p, 1, slice);
        if (ready > 0) {
            bool matched = false;
            if (p.revents & POLLERR) {
                while (ReceiveOne(MSG_ERRQUEUE, out, matched) && !matched) {
                }
            }
            while (!matched && (p.revents & POLLIN) && ReceiveOne(0, out, matched) && !matched) {
            }
            if (matched) {
                out.rttMs = static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)
                        .count());
                return out;
            }
        }
        if (idle) idle();
    }
    out = EchoReply{};
    out.status = ipstatus::kRequestTimedOut;
    return out;
}

}  // namespace

IcmpEchoService::IcmpEchoService(int sharedRawSocket) : sharedRaw_(sharedRawSocket) {
    if (sharedRaw_ >= 0) Configure(sharedRaw_, SOCK_RAW);
}

bool IcmpEchoService::Available(std::string* why) {
    if (sharedRaw_ >= 0) return true;
    for (int type : {SOCK_DGRAM, SOCK_RAW}) {
        int fd = OpenSocket(type);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
    }
    if (why) *why = std::strerror(errno);
    return false;
}

std::unique_ptr<IEchoHandle> IcmpEchoService::Open() {
    return std::make_unique<IcmpEchoHandle>(sharedRaw_);
}

std::optional<uint32_t> IcmpEchoService::Resolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* res = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res) return std::nullopt;
    uint32_t a = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(res);
    return a;
}
