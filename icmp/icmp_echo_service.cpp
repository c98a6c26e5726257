#include "icmp/icmp_echo_service.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "icmp/echo_flights.h"
#include "icmp/icmp6_echo.h"
#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"
#include "icmp/icmp_relay.h"
#include "icmp/icmp_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint16_t> g_sequence{0};

}  // namespace

void RelayLink::markBroken(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (broken_.load(std::memory_order_relaxed)) return;
    why_ = what;
    if (helper_ > 0) {
        // It closed its end only by ending; should it linger, it is of no use any more.
        ::kill(helper_, SIGKILL);
        int status = 0;
        pid_t reaped;
        while ((reaped = ::waitpid(helper_, &status, 0)) < 0 && errno == EINTR) {
        }
        if (reaped == helper_ && WIFSIGNALED(status))
            why_ = "補助プロセス pingrove-icmp がシグナル " + std::to_string(WTERMSIG(status)) +
                   " で終了しました";
        else if (reaped == helper_ && WIFEXITED(status) && WEXITSTATUS(status) != 0)
            why_ = "補助プロセス pingrove-icmp が終了コード " +
                   std::to_string(WEXITSTATUS(status)) + " で終了しました";
        helper_ = -1;
    }
    broken_.store(true, std::memory_order_release);
}

bool RelayLink::checkAlive() {
    if (broken()) return false;
    pollfd p{socket_, POLLRDHUP, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)))
        markBroken("補助プロセス pingrove-icmp が終了しました");
    return !broken();
}

bool RelayLink::readFailed(ssize_t n) {
    if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR))) return false;
    markBroken(n == 0 ? "補助プロセス pingrove-icmp が終了しました"
                      : std::string("補助プロセス pingrove-icmp との接続が切れました（") +
                            std::strerror(errno) + "）");
    return true;
}

void RelayLink::drain() {
    // A socket pair has no error queue, and its end of file means the helper is gone.
    char buf[2048];
    for (int i = 0; i < 4096; ++i) {
        const ssize_t n = ::recv(socket_, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        readFailed(n);
        break;
    }
}

std::string RelayLink::whyBroken() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return why_;
}

namespace {

int OpenSocket(int type) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) configureIcmpSocket(fd, type);
    return fd;
}

// Whatever waits in the queue before our request is sent cannot answer it.
void Drain(int fd, RelayLink* relay) {
    if (relay) {
        relay->drain();
    } else {
        drainIcmp(fd);
    }
}

class IcmpEchoHandle : public IEchoHandle {
public:
    explicit IcmpEchoHandle(std::shared_ptr<RelayLink> relay) : relay_(std::move(relay)) {
        if (relay_) {
            fd_ = relay_->socket();
            raw_ = true;
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
        request_.id = static_cast<uint16_t>(::getpid() ^ reinterpret_cast<uintptr_t>(this));
    }
    ~IcmpEchoHandle() override {
        if (fd_ >= 0 && !relay_) ::close(fd_);
    }

    EchoReply sendEcho(uint32_t destination, const std::vector<uint8_t>& data, uint8_t ttl,
                       int timeoutMs, IEventPump* waiter) override;
    EchoReply sendEcho6(const sockaddr_in6& destination, const std::vector<uint8_t>& data,
                        uint8_t hopLimit, int timeoutMs, IEventPump* waiter) override {
        if (relay_) return relayEcho6(destination, data, hopLimit, timeoutMs, waiter);
        return v6_.send(destination, data, hopLimit, timeoutMs, waiter);
    }

private:
    // Reads one queued packet without waiting. False when nothing was queued; `answered` tells
    // whether it was the outcome of our request, `received` when the kernel took it in.
    bool receiveOne(int flags, EchoReply& out, bool& answered, timespec& received);
    // The same for a packet the relay forwarded.
    bool receiveRelayed(EchoReply& out, bool& answered, timespec& received);
    // Sends the request itself or through the relay; the send's errno, 0 when it went out.
    int sendPacket(const icmp_relay::Destination& to, uint8_t ttl,
                   const std::vector<uint8_t>& packet);
    // Judges a received packet: whether it answers our request, and how.
    bool judge(const uint8_t* buf, size_t len, uint32_t from, int ttl, EchoReply& out);
    bool judge6(const uint8_t* buf, size_t len, const in6_addr& from, int ttl, EchoReply& out);
    // An ICMPv6 echo through the helper's raw ICMPv6 socket.
    EchoReply relayEcho6(const sockaddr_in6& destination, const std::vector<uint8_t>& data,
                         uint8_t hopLimit, int timeoutMs, IEventPump* waiter);
    // Sends `packet` and waits for its outcome.
    EchoReply exchange(const icmp_relay::Destination& to, uint8_t ttl,
                       const std::vector<uint8_t>& packet, int timeoutMs, IEventPump* waiter);

    std::shared_ptr<RelayLink> relay_;
    int fd_ = -1;
    bool raw_ = false;
    icmp_packet::Request request_;
    // The request under way: an ICMPv6 one shares the identifier, sequence number and data.
    bool v6Request_ = false;
    in6_addr destination6_{};
    Icmp6DatagramEcho v6_;
};

bool IcmpEchoHandle::receiveOne(int flags, EchoReply& out, bool& answered, timespec& received) {
    if (relay_) return !(flags & MSG_ERRQUEUE) && receiveRelayed(out, answered, received);
    uint8_t buf[65536 + 128];
    ReceivedIcmp packet;
    if (!receiveIcmp(fd_, flags, buf, sizeof buf, packet)) return false;
    received = packet.received;
    answered = false;
    if (!(flags & MSG_ERRQUEUE)) {
        answered = judge(buf, packet.size, packet.from, packet.ttl, out);
        return true;
    }
    // The error queue hands back our own request with the reason attached.
    if (!packet.hasError || packet.size < 8 || buf[0] != ICMP_ECHO) return true;
    if (static_cast<uint16_t>(buf[6] << 8 | buf[7]) != request_.sequence) return true;
    EchoReply r;
    if (packet.error.ee_origin == SO_EE_ORIGIN_ICMP) {
        r.status = icmp_packet::statusOfError(packet.error.ee_type, packet.error.ee_code);
        r.address = packet.offender;
    } else {
        r.status = icmp_packet::statusOfErrno(static_cast<int>(packet.error.ee_errno));
    }
    if (packet.ttl >= 0) r.ttl = static_cast<uint8_t>(packet.ttl);
    out = r;
    answered = true;
    return true;
}

bool IcmpEchoHandle::judge(const uint8_t* buf, size_t len, uint32_t from, int ttl, EchoReply& out) {
    const icmp_packet::Answer a = raw_ ? icmp_packet::parseRaw(buf, len, request_)
                                       : icmp_packet::parseDatagram(buf, len, request_);
    if (a.match == icmp_packet::Match::None) return false;
    EchoReply r;
    r.status = a.status;
    r.address = from;
    r.ttl = a.ttl;
    if (ttl >= 0 && a.match == icmp_packet::Match::Reply) r.ttl = static_cast<uint8_t>(ttl);
    out = r;
    return true;
}

bool IcmpEchoHandle::judge6(const uint8_t* buf, size_t len, const in6_addr& from, int ttl,
                            EchoReply& out) {
    const icmp6_packet::Request request{request_.id, request_.sequence, destination6_,
                                        request_.data};
    const icmp_packet::Answer a = icmp6_packet::parseRaw(buf, len, request);
    if (a.match == icmp_packet::Match::None) return false;
    // A reply counts only from the host that was asked (the raw socket shows no IPv6 header).
    if (a.match == icmp_packet::Match::Reply &&
        std::memcmp(&from, &destination6_, sizeof from) != 0)
        return false;
    EchoReply r;
    r.status = a.status;
    r.responder6 = icmp6_packet::addressText(from);
    if (ttl >= 0) r.ttl = static_cast<uint8_t>(std::min(ttl, 255));
    out = r;
    return true;
}

bool IcmpEchoHandle::receiveRelayed(EchoReply& out, bool& answered, timespec& received) {
    static thread_local uint8_t message[icmp_relay::kPacketHeaderSize + 65536 + 128];
    if (relay_->broken()) return false;
    const ssize_t n = ::recv(fd_, message, sizeof message, MSG_DONTWAIT);
    if (n <= 0) {
        relay_->readFailed(n);
        return false;
    }
    answered = false;
    const auto m = icmp_relay::parsePacketMessage(message, static_cast<size_t>(n));
    if (!m) return true;
    const icmp_relay::PacketHeader& h = m->header;
    received.tv_sec = static_cast<time_t>(h.seconds);
    received.tv_nsec = static_cast<long>(h.nanoseconds);
    if ((h.family == AF_INET6) != v6Request_) return true;  // the other family's late answer
    answered = v6Request_ ? judge6(m->packet, m->size, h.from6, h.ttl, out)
                          : judge(m->packet, m->size, h.from, h.ttl, out);
    return true;
}

int IcmpEchoHandle::sendPacket(const icmp_relay::Destination& to, uint8_t ttl,
                               const std::vector<uint8_t>& packet) {
    if (!relay_) return sendIcmp(fd_, to.address, ttl, packet);
    if (relay_->broken()) return EPIPE;
    const std::vector<uint8_t> request = icmp_relay::requestMessage(to, ttl, packet);
    if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
        const int err = errno;
        if (err != EAGAIN && err != EINTR && err != ENOBUFS) relay_->readFailed(-1);
        return err;
    }
    // The helper answers the send, with the identifier it gave the request, before it forwards
    // anything received after it; packets queued before are older and cannot answer it.
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    uint8_t reply[icmp_relay::kPacketHeaderSize + 65536 + 128];
    while (IEventPump::pollReadable(fd_, deadline)) {
        const ssize_t n = ::recv(fd_, reply, sizeof reply, MSG_DONTWAIT);
        if (n <= 0) {
            if (relay_->readFailed(n)) return EPIPE;
            continue;
        }
        const auto note = icmp_relay::parseSentMessage(reply, static_cast<size_t>(n));
        if (!note || note->sequence != request_.sequence) continue;
        request_.id = note->id;
        return note->error;
    }
    return ETIMEDOUT;
}

EchoReply IcmpEchoHandle::sendEcho(uint32_t destination, const std::vector<uint8_t>& data,
                                   uint8_t ttl, int timeoutMs, IEventPump* waiter) {
    if (fd_ < 0) return EchoReply{};
    request_.destination = destination;
    request_.data = &data;
    request_.sequence = ++g_sequence;
    v6Request_ = false;
    icmp_relay::Destination to;
    to.family = AF_INET;
    to.address = destination;
    return exchange(to, ttl, icmp_packet::echoRequest(request_.id, request_.sequence, data),
                    timeoutMs, waiter);
}

EchoReply IcmpEchoHandle::relayEcho6(const sockaddr_in6& destination,
                                     const std::vector<uint8_t>& data, uint8_t hopLimit,
                                     int timeoutMs, IEventPump* waiter) {
    request_.data = &data;
    request_.sequence = ++g_sequence;
    v6Request_ = true;
    destination6_ = destination.sin6_addr;
    icmp_relay::Destination to;
    to.family = AF_INET6;
    to.address6 = destination.sin6_addr;
    to.scope = destination.sin6_scope_id;
    return exchange(to, hopLimit, icmp6_packet::echoRequest(request_.id, request_.sequence, data),
                    timeoutMs, waiter);
}

EchoReply IcmpEchoHandle::exchange(const icmp_relay::Destination& to, uint8_t ttl,
                                   const std::vector<uint8_t>& packet, int timeoutMs,
                                   IEventPump* waiter) {
    Drain(fd_, relay_.get());
    // The kernel stamps what it receives on the real-time clock; the send is timed on the same.
    timespec sent{};
    ::clock_gettime(CLOCK_REALTIME, &sent);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    if (const int err = sendPacket(to, ttl, packet); err != 0) {
        EchoReply out;
        out.status = icmp_packet::statusOfErrno(err);
        return out;
    }
    return awaitEchoOutcome(
        fd_, sent, deadline, timeoutMs, waiter,
        [this](int flags, EchoReply& reply, bool& answered, timespec& received) {
            return receiveOne(flags, reply, answered, received);
        },
        [this] { return relay_ && relay_->broken(); });
}

}  // namespace

IcmpEchoService::IcmpEchoService(int relay, pid_t helper)
    : relay_(relay >= 0 ? std::make_shared<RelayLink>(relay, helper) : nullptr) {}

std::string IcmpEchoService::brokenReason() const {
    return relay_ && !relay_->checkAlive() ? relay_->whyBroken() : std::string();
}

bool IcmpEchoService::isAvailable(std::string* why) {
    if (relay_) return true;
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

std::unique_ptr<IEchoFlight> IcmpEchoService::openFlight(const std::vector<uint8_t>& data) {
    return relay_ ? openRelayFlight(relay_, data) : openSocketFlight(data);
}

std::unique_ptr<IEchoHandle> IcmpEchoService::open() {
    return std::make_unique<IcmpEchoHandle>(relay_);
}

namespace {

// A name's first address of `family` (the system's resolver, which may wait for a name server:
// never called on the UI thread), as a socket address of that family.
template <typename Address>
std::optional<Address> FirstAddress(const std::string& name, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* res = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res) return std::nullopt;
    Address a{};
    std::memcpy(&a, res->ai_addr, std::min<size_t>(sizeof a, res->ai_addrlen));
    ::freeaddrinfo(res);
    return a;
}

}  // namespace

std::optional<sockaddr_in6> IcmpEchoService::resolve6(const std::string& name) {
    return FirstAddress<sockaddr_in6>(name, AF_INET6);
}

std::optional<uint32_t> IcmpEchoService::resolve(const std::string& name) {
    const auto a = FirstAddress<sockaddr_in>(name, AF_INET);
    return a ? std::optional<uint32_t>(a->sin_addr.s_addr) : std::nullopt;
}
