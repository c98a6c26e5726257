#include "platform/icmp_relay.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/icmp_echo_service.h"
#include "platform/icmp_packet.h"

namespace icmp_relay {

bool acceptableRequest(const uint8_t* packet, size_t size) {
    return size >= 8 && size <= kMaxRequest && packet[0] == ICMP_ECHO && packet[1] == 0;
}

namespace {

constexpr int kRaw = 3;  // the descriptors the helper keeps
constexpr int kPeer = 4;

void Reply(const void* message, size_t size) {
    while (::send(kPeer, message, size, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

// The identifiers of the program's recent requests. Only packets that carry one go back: a raw
// socket receives every ICMP packet of the host, and other users' pings are none of the
// program's business (nor should a flood of them crowd out its own replies).
uint16_t g_ids[8];
size_t g_idCount = 0;

void Remember(uint16_t id) {
    for (size_t i = 0; i < g_idCount; ++i)
        if (g_ids[i] == id) return;
    if (g_idCount == std::size(g_ids)) {
        std::memmove(g_ids, g_ids + 1, sizeof g_ids - sizeof g_ids[0]);
        --g_idCount;
    }
    g_ids[g_idCount++] = id;
}

bool Ours(const uint8_t* ip, size_t n) {
    auto echoId = [](const uint8_t* icmp) { return static_cast<uint16_t>(icmp[4] << 8 | icmp[5]); };
    auto known = [](uint16_t id) {
        return std::find(g_ids, g_ids + g_idCount, id) != g_ids + g_idCount;
    };
    if (n < 20) return false;
    const size_t ihl = static_cast<size_t>(ip[0] & 0x0F) * 4;
    if (n < ihl + 8) return false;
    const uint8_t* icmp = ip + ihl;
    if (icmp[0] == ICMP_ECHOREPLY) return known(echoId(icmp));
    // An error quotes the IP header of our request and the first 8 bytes of its ICMP part.
    const uint8_t* inner = icmp + 8;
    if (n < ihl + 8 + 20) return false;
    const size_t innerIhl = static_cast<size_t>(inner[0] & 0x0F) * 4;
    if (n < ihl + 8 + innerIhl + 8 || inner[9] != IPPROTO_ICMP) return false;
    return inner[innerIhl] == ICMP_ECHO && known(echoId(inner + innerIhl));
}

void SendRequest(const uint8_t* message, size_t size) {
    int err = EINVAL;
    if (size >= kRequestHeader) {
        uint32_t destination;
        std::memcpy(&destination, message, sizeof destination);
        const int ttl = message[4];
        std::vector<uint8_t> packet(message + kRequestHeader, message + size);
        if (!acceptableRequest(packet.data(), packet.size())) {
            err = packet.size() > kMaxRequest ? EMSGSIZE : EINVAL;
        } else {
            Remember(static_cast<uint16_t>(packet[4] << 8 | packet[5]));
            packet[2] = packet[3] = 0;
            const uint16_t sum = icmp_packet::checksum(packet.data(), packet.size());
            packet[2] = static_cast<uint8_t>(sum >> 8);
            packet[3] = static_cast<uint8_t>(sum);
            ::setsockopt(kRaw, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = destination;
            err = ::sendto(kRaw, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                           sizeof to) < 0
                      ? errno
                      : 0;
        }
    }
    char reply[1 + sizeof(int32_t)] = {kSent};
    const int32_t e = err;
    std::memcpy(reply + 1, &e, sizeof e);
    Reply(reply, sizeof reply);
}

// One packet off the raw socket, passed on when it is the program's. False when none was queued.
bool ForwardReceived() {
    static uint8_t message[1 + sizeof(PacketHeader) + 65536 + 128];
    uint8_t* data = message + 1 + sizeof(PacketHeader);
    alignas(cmsghdr) char control[512];
    sockaddr_in from{};
    iovec iov{data, sizeof message - 1 - sizeof(PacketHeader)};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(kRaw, &msg, MSG_DONTWAIT);
    if (n < 0) return false;
    if (!Ours(data, static_cast<size_t>(n))) return true;
    PacketHeader h{};
    h.ttl = -1;
    timespec received{};
    bool stamped = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            std::memcpy(&received, CMSG_DATA(c), sizeof received);
            stamped = true;
        }
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
            std::memcpy(&h.ttl, CMSG_DATA(c), sizeof h.ttl);
    }
    if (!stamped) ::clock_gettime(CLOCK_REALTIME, &received);
    h.seconds = received.tv_sec;
    h.nanoseconds = received.tv_nsec;
    h.from = from.sin_addr.s_addr;
    message[0] = kPacket;
    std::memcpy(message + 1, &h, sizeof h);
    Reply(message, 1 + sizeof h + static_cast<size_t>(n));
    return true;
}

[[noreturn]] void Serve() {
    static uint8_t request[kRequestHeader + kMaxRequest + 1];
    pollfd fds[2] = {{kPeer, POLLIN, 0}, {kRaw, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            ::_exit(1);
        }
        // A flood of other pings must not bury the program's replies: the queue is emptied in
        // batches, with the program's requests looked at between them.
        if (fds[1].revents & POLLIN)
            for (int i = 0; i < 256 && ForwardReceived(); ++i) {
            }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(kPeer, request, sizeof request, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) ::_exit(0);  // gone
            if (n > 0) SendRequest(request, static_cast<size_t>(n));
        }
    }
}

}  // namespace

int start(int rawSocket) {
    configureIcmpSocket(rawSocket, SOCK_RAW);
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        ::close(rawSocket);
        return -1;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(rawSocket);
        ::close(pair[0]);
        ::close(pair[1]);
        return -1;
    }
    if (pid == 0) {
        // The helper: nothing but its two descriptors and the standard ones; it ends with the
        // program, and a Ctrl+C meant for the program's terminal is the program's to handle.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(0);
        ::prctl(PR_SET_NAME, "pingrove-icmp");
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGHUP, SIG_IGN);
        // Out of the way first: either may already sit on 3 or 4.
        const int raw = ::fcntl(rawSocket, F_DUPFD, 10);
        const int peer = ::fcntl(pair[1], F_DUPFD, 10);
        if (raw < 0 || peer < 0 || ::dup2(raw, kRaw) < 0 || ::dup2(peer, kPeer) < 0) ::_exit(1);
        ::syscall(SYS_close_range, kPeer + 1, ~0u, 0);
        Serve();
    }
    ::close(rawSocket);
    ::close(pair[1]);
    return pair[0];
}

}  // namespace icmp_relay
