#include "icmp/icmp_relay.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <vector>

#include "icmp/icmp_packet.h"
#include "icmp/icmp_socket.h"

namespace icmp_relay {

bool acceptableRequest(const uint8_t* packet, size_t size) {
    return size >= 8 && size <= kMaxRequest && packet[0] == ICMP_ECHO && packet[1] == 0;
}

int64_t RequestBook::sendTime(int64_t now) const {
    return lastSend_ ? std::max(now, *lastSend_ + kRequestSpacingNs) : now;
}

uint16_t RequestBook::handOut(uint32_t destination, int64_t now) {
    const uint16_t id = nextId_++;
    if (count_ == std::size(recent_)) {
        std::move(recent_ + 1, recent_ + count_, recent_);
        --count_;
    }
    recent_[count_++] = {id, destination};
    lastSend_ = now;
    return id;
}

std::vector<uint16_t> RequestBook::recentIds() const {
    std::vector<uint16_t> ids;
    for (size_t i = 0; i < count_; ++i) ids.push_back(recent_[i].id);
    return ids;
}

bool RequestBook::concerns(const uint8_t* packet, size_t size) const {
    const std::optional<icmp_packet::Concerned> c = icmp_packet::concernedRequest(packet, size);
    return c && std::any_of(recent_, recent_ + count_, [&](const Sent& s) {
               return s.id == c->id && s.destination == c->destination;
           });
}

namespace {

constexpr int kRaw = 3;  // the descriptors the helper keeps
constexpr int kPeer = 4;

void reply(const void* message, size_t size) {
    while (::send(kPeer, message, size, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

int64_t MonotonicNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Where each run's identifiers begin: unforeseeable, like the kernel's for a datagram socket.
uint16_t FirstIdentifier() {
    uint16_t id = static_cast<uint16_t>(::getpid());
    if (::getrandom(&id, sizeof id, GRND_NONBLOCK) != sizeof id)
        id ^= static_cast<uint16_t>(MonotonicNs());
    return id;
}

// A raw socket queues every echo reply of the host. Under a flood of somebody else's pings (and a
// busy machine that gives the helper little time) the queue would fill and the kernel would drop
// the program's own replies with the rest; this filter lets the kernel drop the others first:
// every ICMP error passes (its quote is looked at here), an echo reply only with one of `ids`.
// It only ever lets through more than the book takes, never less.
void FilterReplies(const std::vector<uint16_t>& ids) {
    const auto n = static_cast<uint8_t>(ids.size());
    std::vector<sock_filter> code = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),  // x = IP header length
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),   // the ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, uint8_t(n + 2)),  // else: accept
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                                   // the identifier
    };
    for (uint8_t i = 0; i < n; ++i)
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ids[i], uint8_t(n - i), 0));
    code.push_back(BPF_STMT(BPF_RET | BPF_K, 0));       // drop
    code.push_back(BPF_STMT(BPF_RET | BPF_K, 0xFFFF));  // accept
    const sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
    if (::setsockopt(kRaw, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0) return;
    // Refused (no memory for it): the filter before this one does not know the new identifier
    // and would drop its reply, so none stays. The request book still passes on only our own.
    const int unused = 0;
    ::setsockopt(kRaw, SOL_SOCKET, SO_DETACH_FILTER, &unused, sizeof unused);
}

class Relay {
public:
    [[noreturn]] void serve();

private:
    void sendRequest(const uint8_t* message, size_t size);
    bool forwardReceived();

    // Only packets that concern the requests sent go back: a raw socket receives every ICMP
    // packet of the host, and other users' pings are none of the program's business (nor should
    // a flood of them crowd out its own replies).
    RequestBook book_{FirstIdentifier()};
    uint8_t message_[1 + sizeof(PacketHeader) + 65536 + 128] = {};
};

void Relay::sendRequest(const uint8_t* message, size_t size) {
    int err = EINVAL;
    uint16_t id = 0;
    if (size >= kRequestHeader) {
        uint32_t destination;
        std::memcpy(&destination, message, sizeof destination);
        std::vector<uint8_t> packet(message + kRequestHeader, message + size);
        if (!acceptableRequest(packet.data(), packet.size())) {
            err = packet.size() > kMaxRequest ? EMSGSIZE : EINVAL;
        } else {
            const int64_t due = book_.sendTime(MonotonicNs());
            const timespec at{static_cast<time_t>(due / 1'000'000'000),
                              static_cast<long>(due % 1'000'000'000)};
            while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
            }
            id = book_.handOut(destination, due);
            FilterReplies(book_.recentIds());
            packet[4] = static_cast<uint8_t>(id >> 8);
            packet[5] = static_cast<uint8_t>(id);
            icmp_packet::setChecksum(packet);
            err = sendIcmp(kRaw, destination, message[4], packet);
        }
    }
    char sent[kSentSize] = {kSent};
    const int32_t e = err;
    const uint16_t networkId = htons(id);
    std::memcpy(sent + 1, &e, sizeof e);
    std::memcpy(sent + 1 + sizeof e, &networkId, sizeof networkId);
    reply(sent, sizeof sent);
}

// One packet off the raw socket, passed on when it is the program's. False when none was queued.
bool Relay::forwardReceived() {
    uint8_t* data = message_ + 1 + sizeof(PacketHeader);
    ReceivedIcmp packet;
    if (!receiveIcmp(kRaw, 0, data, sizeof message_ - 1 - sizeof(PacketHeader), packet))
        return false;
    if (!book_.concerns(data, packet.size)) return true;
    PacketHeader h{};
    h.seconds = packet.received.tv_sec;
    h.nanoseconds = packet.received.tv_nsec;
    h.ttl = packet.ttl;
    h.from = packet.from;
    message_[0] = kPacket;
    std::memcpy(message_ + 1, &h, sizeof h);
    reply(message_, 1 + sizeof h + packet.size);
    return true;
}

void Relay::serve() {
    FilterReplies({});
    uint8_t request[kRequestHeader + kMaxRequest + 1];
    pollfd fds[2] = {{kPeer, POLLIN, 0}, {kRaw, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            ::_exit(1);
        }
        // A flood of other pings must not bury the program's replies: the queue is emptied in
        // batches, with the program's requests looked at between them.
        if (fds[1].revents & POLLIN)
            for (int i = 0; i < 256 && forwardReceived(); ++i) {
            }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(kPeer, request, sizeof request, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) ::_exit(0);  // gone
            if (n > 0) sendRequest(request, static_cast<size_t>(n));
        }
    }
}

}  // namespace

Helper start(int rawSocket) {
    configureIcmpSocket(rawSocket, SOCK_RAW);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        ::close(rawSocket);
        return {};
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(rawSocket);
        ::close(pair[0]);
        ::close(pair[1]);
        return {};
    }
    if (pid == 0) {
        // The helper: nothing but its two descriptors and the standard ones; it ends with the
        // program, and a Ctrl+C meant for the program's terminal is the program's to handle.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(0);
        ::prctl(PR_SET_NAME, "pingrove-icmp");
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGHUP, SIG_IGN);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);  // the program holds its signals; not so here
        // Out of the way first: either may already sit on 3 or 4.
        const int raw = ::fcntl(rawSocket, F_DUPFD, 10);
        const int peer = ::fcntl(pair[1], F_DUPFD, 10);
        if (raw < 0 || peer < 0 || ::dup2(raw, kRaw) < 0 || ::dup2(peer, kPeer) < 0) ::_exit(1);
        ::syscall(SYS_close_range, kPeer + 1, ~0u, 0);
        static Relay relay;  // 64 KiB of buffer: not on the stack
        relay.serve();
    }
    ::close(rawSocket);
    ::close(pair[1]);
    return {pair[0], pid};
}

}  // namespace icmp_relay
