#include "icmp/icmp_relay.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <netinet/icmp6.h>
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

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"
#include "icmp/icmp_socket.h"

namespace icmp_relay {

namespace {

constexpr int kRaw = 3;  // the descriptors the helper keeps
constexpr int kPeer = 4;
constexpr int kRaw6 = 5;  // closed when there is no ICMPv6 socket

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

class Relay {
public:
    Relay(bool has6, SetSocketOption setOption) : has6_(has6), set_(std::move(setOption)) {}
    [[noreturn]] void serve();

private:
    void sendRequest(const uint8_t* message, size_t size);
    // Sends a checked request under an identifier of its own (`id`); the send's errno.
    int send(RequestMessage& request, uint16_t& id);
    bool forwardReceived(int fd);
    // Lets the replies with `ids` through the kernel's filters of both families; an errno when
    // no filter lets them through.
    int filterReplies(RequestBook::Ids ids);
    int filterReplies(int fd, RequestBook::Ids ids);

    // Only packets that concern the requests sent go back: a raw socket receives every ICMP
    // packet of the host, and other users' pings are none of the program's business (nor should
    // a flood of them crowd out its own replies).
    RequestBook book_{FirstIdentifier()};
    bool has6_;
    SetSocketOption set_;
    uint8_t message_[kPacketHeaderSize + 65536 + 128] = {};
};

// A raw socket queues every echo reply of the host. Under a flood of somebody else's pings (and a
// busy machine that gives the helper little time) the queue would fill and the kernel would drop
// the program's own replies with the rest; this filter lets the kernel drop the others first:
// every ICMP error passes (its quote is looked at here), an echo reply only with one of the
// identifiers the book remembers, handed out in turn: `ids.count` of them from `ids.first` on.
// It only ever lets through more than the book takes, never less. An IPv4 raw socket's filter
// sees the IP header first; an ICMPv6 one's sees the ICMPv6 message alone.
int Relay::filterReplies(int fd, RequestBook::Ids ids) {
    const bool v6 = fd == kRaw6;
    const uint8_t reply = v6 ? ICMP6_ECHO_REPLY : ICMP_ECHOREPLY;
    const sock_filter noHeader = BPF_STMT(BPF_LDX | BPF_IMM, 0);              // x = 0
    const sock_filter headerLength = BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0);  // x = IP header's
    sock_filter code[] = {
        v6 ? noHeader : headerLength,
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                 // the ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, reply, 0, 5),      // no echo reply: accept
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                 // the identifier
        BPF_STMT(BPF_ALU | BPF_SUB | BPF_K, ids.first),        // its distance from the first,
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0xFFFF),           // counted round 65536
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, ids.count, 0, 1),  // within the count: accept
        BPF_STMT(BPF_RET | BPF_K, 0),                          // drop
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),                     // accept
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    if (set_(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0) return 0;
    // Refused (no memory for it): the filter before this one does not know the new identifier
    // and would drop its reply, so none stays; the request book still passes on only our own.
    // Should even that be refused (there was no filter: ENOENT, and nothing drops the reply),
    // the request must not go out only for its reply to be dropped.
    const int refused = errno;
    const int unused = 0;
    if (set_(fd, SOL_SOCKET, SO_DETACH_FILTER, &unused, sizeof unused) == 0 || errno == ENOENT)
        return 0;
    return refused;
}

int Relay::filterReplies(RequestBook::Ids ids) {
    const int err = filterReplies(kRaw, ids);
    return err == 0 && has6_ ? filterReplies(kRaw6, ids) : err;
}

int Relay::send(RequestMessage& r, uint16_t& id) {
    std::vector<uint8_t>& packet = r.packet;
    const bool v6 = r.to.family == AF_INET6;
    if (v6 && !has6_) return EAFNOSUPPORT;
    if (!acceptableRequest(packet.data(), packet.size(), r.to.family))
        return packet.size() > kMaxRequest ? EMSGSIZE : EINVAL;
    const int64_t due = book_.sendTime(MonotonicNs());
    const timespec at{static_cast<time_t>(due / 1'000'000'000),
                      static_cast<long>(due % 1'000'000'000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
    id = v6 ? book_.handOut6(r.to.address6, due) : book_.handOut(r.to.address, due);
    if (const int err = filterReplies(book_.recentIds()); err != 0) return err;
    packet[4] = static_cast<uint8_t>(id >> 8);
    packet[5] = static_cast<uint8_t>(id);
    int err;
    if (!v6) {
        icmp_packet::setChecksum(packet);
        err = sendIcmp(kRaw, r.to.address, r.ttl, packet, set_);
    } else {
        // The kernel sums an ICMPv6 message itself: the sum covers addresses only it knows.
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        to.sin6_addr = r.to.address6;
        to.sin6_scope_id = r.to.scope;
        err = sendIcmp6(kRaw6, to, r.ttl, packet, set_);
    }
    book_.wentOut(MonotonicNs());
    return err;
}

void Relay::sendRequest(const uint8_t* message, size_t size) {
    std::optional<RequestMessage> request = parseRequestMessage(message, size);
    SentNote note;
    note.error = request ? send(*request, note.id) : EINVAL;
    if (note.error != 0) note.id = 0;
    if (request && request->packet.size() >= 8)
        note.sequence = static_cast<uint16_t>(request->packet[6] << 8 | request->packet[7]);
    const std::vector<uint8_t> sent = sentMessage(note);
    reply(sent.data(), sent.size());
}

// One packet off a raw socket, passed on when it is the program's. False when none was queued.
bool Relay::forwardReceived(int fd) {
    uint8_t* data = message_ + kPacketHeaderSize;
    ReceivedIcmp packet;
    if (!receiveIcmp(fd, 0, data, sizeof message_ - kPacketHeaderSize, packet)) return false;
    const bool v6 = fd == kRaw6;
    const int64_t now = MonotonicNs();
    if (v6 ? !book_.concerns6(data, packet.size, packet.from6, now)
           : !book_.concerns(data, packet.size, now))
        return true;
    PacketHeader h;
    h.seconds = packet.received.tv_sec;
    h.nanoseconds = packet.received.tv_nsec;
    h.ttl = packet.ttl;
    h.family = v6 ? AF_INET6 : AF_INET;
    h.from = packet.from;
    h.from6 = packet.from6;
    writePacketHeader(message_, h);
    reply(message_, kPacketHeaderSize + packet.size);
    return true;
}

void Relay::serve() {
    filterReplies(book_.recentIds());
    uint8_t request[1 + sizeof(in6_addr) + sizeof(uint32_t) + 1 + kMaxRequest + 1];
    pollfd fds[3] = {{kPeer, POLLIN, 0}, {kRaw, POLLIN, 0}, {has6_ ? kRaw6 : -1, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            ::_exit(1);
        }
        // A flood of other pings must not bury the program's replies: the queues are emptied in
        // batches, with the program's requests looked at between them.
        for (int i : {1, 2})
            if (fds[i].revents & POLLIN)
                for (int k = 0; k < 256 && forwardReceived(fds[i].fd); ++k) {
                }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(kPeer, request, sizeof request, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) ::_exit(0);  // gone
            if (n > 0) sendRequest(request, static_cast<size_t>(n));
        }
    }
}

}  // namespace

Helper start(int rawSocket, int rawSocket6, const SetSocketOption& setOption) {
    auto closeRaw = [&] {
        ::close(rawSocket);
        if (rawSocket6 >= 0) ::close(rawSocket6);
    };
    if (rawSocket < 0) {
        if (rawSocket6 >= 0) ::close(rawSocket6);
        return {};
    }
    configureIcmpSocket(rawSocket, SOCK_RAW, setOption);
    if (rawSocket6 >= 0) configureIcmp6Socket(rawSocket6, SOCK_RAW, setOption);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        closeRaw();
        return {};
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        closeRaw();
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
        // Out of the way first: any may already sit on 3, 4 or 5.
        const int raw = ::fcntl(rawSocket, F_DUPFD, 10);
        const int peer = ::fcntl(pair[1], F_DUPFD, 10);
        const int raw6 = rawSocket6 >= 0 ? ::fcntl(rawSocket6, F_DUPFD, 10) : -1;
        if (raw < 0 || peer < 0 || ::dup2(raw, kRaw) < 0 || ::dup2(peer, kPeer) < 0) ::_exit(1);
        if (rawSocket6 >= 0 && (raw6 < 0 || ::dup2(raw6, kRaw6) < 0)) ::_exit(1);
        ::syscall(SYS_close_range, rawSocket6 >= 0 ? kRaw6 + 1 : kPeer + 1, ~0u, 0);
        static Relay relay(rawSocket6 >= 0, setOption);  // 64 KiB of buffer: not on the stack
        relay.serve();
    }
    closeRaw();
    ::close(pair[1]);
    return {pair[0], pid};
}

}  // namespace icmp_relay
