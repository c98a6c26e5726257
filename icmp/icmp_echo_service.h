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
    // Whether the helper's end has closed (it ended), asked without waiting and without reading
    // anything queued: a scan can be refused before it changes any row. Marks the relay broken
    // when it has.
    bool checkAlive();
    // Marks the relay broken for good (once; later calls change nothing). `what` says what the
    // program saw; the helper's end, once reaped, is added to it.
    void markBroken(const std::string& what);
    std::string whyBroken() const;
    // What a read of the socket pair that got nothing (`n`, with errno) means: true, and the relay
    // marked broken, at end-of-file (the helper ended) or on any error but "nothing yet".
    bool readFailed(ssize_t n);
    // Throws away what waits on the socket pair (nothing queued before a request answers it).
    void drain();

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
    std::optional<sockaddr_in6> resolve6(const std::string& name) override;
    std::string brokenReason() const override;
    std::unique_ptr<IEchoFlight> openFlight(const std::vector<uint8_t>& data) override;

private:
    std::shared_ptr<RelayLink> relay_;
};
