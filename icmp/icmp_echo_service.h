#pragma once
// ICMP echo on Linux. A datagram ICMP socket needs no privilege where net.ipv4.ping_group_range
// admits one of the user's groups; otherwise a raw socket needs root or CAP_NET_RAW.
#include <time.h>  // before errqueue.h, which uses timespec without declaring it

#include <linux/errqueue.h>

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "icmp/echo_service.h"

// Sets what every ICMP socket of the program needs: the TTL and the kernel's receive time of each
// packet, and on a raw socket a filter that lets only replies and errors in.
void configureIcmpSocket(int fd, int type);

// One packet read off an ICMP socket, with what the kernel told of it.
struct ReceivedIcmp {
    size_t size = 0;
    uint32_t from = 0;      // the sender, network order
    int ttl = -1;           // of the IP packet; -1 when not reported
    timespec received{};    // the kernel's receive time (CLOCK_REALTIME), else when it was read
    bool hasError = false;  // read off the error queue: `error` and `offender` tell the reason
    sock_extended_err error{};
    uint32_t offender = 0;  // the host that sent an ICMP error, network order
};
// Reads one queued packet into `buf` without waiting; false when none was queued.
bool receiveIcmp(int fd, int flags, uint8_t* buf, size_t size, ReceivedIcmp& out);
// Sends `packet` to `destination` with that TTL; the send's errno, 0 when it went out.
int sendIcmp(int fd, uint32_t destination, uint8_t ttl, const std::vector<uint8_t>& packet);

// The program's end of the ICMP relay (icmp_relay.h) as the echo handles share it. When the helper
// is gone (killed, out of memory) the socket pair reads end-of-file for ever: the first handle to
// see that or any other error on it marks the relay broken and reaps the helper, and every send
// after fails at once. No new helper is started: the raw socket died with it, and the capability
// to open another was dropped at start-up.
class RelayLink {
public:
    RelayLink(int socket, pid_t helper) : socket_(socket), helper_(helper) {}
    int socket() const { return socket_; }
    bool broken() const { return broken_.load(std::memory_order_acquire); }
    // Marks the relay broken for good (once; later calls change nothing). `what` says what the
    // program saw; the helper's end, once reaped, is added to it.
    void markBroken(const std::string& what);
    std::string whyBroken() const;

private:
    int socket_;
    pid_t helper_;
    std::atomic<bool> broken_{false};
    mutable std::mutex mutex_;
    std::string why_;
};

class IcmpEchoService : public IEchoService {
public:
    IcmpEchoService() = default;
    // `relay`: the program's end of the ICMP relay (icmp_relay.h), started when only a raw socket
    // would do; every handle then sends through it, and nothing opens a socket of its own. Not
    // owned; `helper` is the helper's process, reaped when the relay breaks (-1: none to reap).
    explicit IcmpEchoService(int relay, pid_t helper = -1);
    bool isAvailable(std::string* why) override;
    std::unique_ptr<IEchoHandle> open() override;
    std::optional<uint32_t> resolve(const std::string& name) override;
    std::string brokenReason() const override;

private:
    std::shared_ptr<RelayLink> relay_;
};
