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

void reply(const void* message, size_t size) {
    while (::send(kPeer, message, size, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

class Relay {
public:
    [[noreturn]] void serve();

private:
    void sendRequest(const uint8_t* message, size_t size);
    bool forwardReceived();
    void remember(uint16_t id);
    bool known(uint16_t id) const {
        return std::find(ids_, ids_ + idCount_, id) != ids_ + idCount_;
    }

    // The identifiers of the program's recent requests. Only packets that concern one go back: a
    // raw socket receives every ICMP packet of the host, and other users' pings are none of the
    // program's business (nor should a flood of them crowd out its own replies).
    uint16_t ids_[8] = {};
    size_t idCount_ = 0;
    uint8_t message_[1 + sizeof(PacketHeader) + 65536 + 128] = {};
};

void Relay::remember(uint16_t id) {
    if (known(id)) return;
    if (idCount_ == std::size(ids_)) {
        std::memmove(ids_, ids_ + 1, sizeof ids_ - sizeof ids_[0]);
        --idCount_;
    }
    ids_[idCount_++] = id;
}

void Relay::sendRequest(const uint8_t* message, size_t size) {
    int err = EINVAL;
    if (size >= kRequestHeader) {
        uint32_t destination;
        std::memcpy(&destination, message, sizeof destination);
        std::vector<uint8_t> packet(message + kRequestHeader, message + size);
        if (!acceptableRequest(packet.data(), packet.size())) {
            err = packet.size() > kMaxRequest ? EMSGSIZE : EINVAL;
        } else {
            remember(static_cast<uint16_t>(packet[4] << 8 | packet[5]));
            icmp_packet::setChecksum(packet);
            err = sendIcmp(kRaw, destination, message[4], packet);
        }
    }
    char sent[1 + sizeof(int32_t)] = {kSent};
    const int32_t e = err;
    std::memcpy(sent + 1, &e, sizeof e);
    reply(sent, sizeof sent);
}

// One packet off the raw socket, passed on when it is the program's. False when none was queued.
bool Relay::forwardReceived() {
    uint8_t* data = message_ + 1 + sizeof(PacketHeader);
    ReceivedIcmp packet;
    if (!receiveIcmp(kRaw, 0, data, sizeof message_ - 1 - sizeof(PacketHeader), packet))
        return false;
    const std::optional<uint16_t> id = icmp_packet::concernedIdentifier(data, packet.size);
    if (!id || !known(*id)) return true;
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
        static Relay relay;  // 64 KiB of buffer: not on the stack
        relay.serve();
    }
    ::close(rawSocket);
    ::close(pair[1]);
    return pair[0];
}

}  // namespace icmp_relay
