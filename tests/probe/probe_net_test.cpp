// Real ICMP inside the test network of netns_run.sh, with both kinds of echo socket.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_echo_service.h"
#include "icmp/icmp_packet.h"
#include "icmp/icmp_relay.h"
#include "platform/qt_event_pump.h"
#include "probe/echo_probe.h"
#include "reply_recorder.h"
#include "slow_responder.h"

namespace {

bool InTestNetwork() {
    return *Env("PINGROVE_NETNS_ANSWER") != 0;
}

void SetPingGroupRange(const char* range) {
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << range;
}

// An event handler that holds the loop (a modal dialog opened during a scan) for 1.5 s.
class HeldEventLoop : public IEventPump {
public:
    bool onUiThread() const override { return true; }
    void processEvents() override {}
    bool waitReadable(int, Clock::time_point) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return false;
    }
};

// Counts the ticks of a 5 ms timer on the UI thread.
struct Ticker {
    Ticker() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start();
    }
    QTimer timer;
    int ticks = 0;
};

enum class Kind { Datagram, Raw, Relay };

// The relay of a program that got its raw socket through a file capability.
icmp_relay::Helper StartRelay() {
    const int raw = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    const int raw6 = ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    return raw < 0 ? icmp_relay::Helper{} : icmp_relay::start(raw, raw6);
}

// Ends a helper the test started: it ends when its socket closes.
void EndRelay(const icmp_relay::Helper& relay) {
    if (relay.socket < 0) return;
    ::close(relay.socket);
    ::waitpid(relay.pid, nullptr, 0);
}

class Network : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (!InTestNetwork()) GTEST_SKIP() << "run through tests/netns_run.sh";
        // The range is per namespace: all groups get the datagram kind, none leaves raw.
        SetPingGroupRange(GetParam() == Kind::Datagram ? "0 2147483647" : "1 0");
        if (GetParam() == Kind::Relay) {
            ASSERT_GE(relay_.socket, 0) << "no relay";
        }
        int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
        if (GetParam() == Kind::Datagram) {
            ASSERT_GE(fd, 0) << "datagram ICMP socket refused";
        } else {
            ASSERT_LT(fd, 0) << "datagram ICMP socket still allowed";
        }
        if (fd >= 0) ::close(fd);
    }
    Reply PingOnce(const std::string& address, int ttl = 255, int timeout = 1000) {
        return PingOnceWith(pump, address, ttl, timeout);
    }
    Reply PingOnceWith(IEventPump& events, const std::string& address, int ttl = 255,
                       int timeout = 1000) {
        EchoProbe p(echo, events);
        p.attempts = 1;
        p.delayMs = 0;
        p.timeoutMs = timeout;
        p.ttl = static_cast<uint8_t>(ttl);
        ReplyRecorder recorder;
        recorder.listenTo(p);
        p.ping(address);
        return recorder.replies.empty() ? Reply{-99, "", 0, 0} : recorder.replies.back();
    }
    ~Network() override { EndRelay(relay_); }
    icmp_relay::Helper relay_ = GetParam() == Kind::Relay ? StartRelay() : icmp_relay::Helper{};
    IcmpEchoService echo{relay_.socket};
    QtEventPump pump;
};

TEST_P(Network, AnsweringHostBehindTheRouter) {
    Reply r = PingOnce("198.18.1.10");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.ip, "198.18.1.10");
    EXPECT_EQ(r.ttl, 63);  // 64 from the host, one router on the way back
    EXPECT_LT(r.rtt, 200);
    // The round trip as finely as the kernel stamped it: microseconds, not whole milliseconds
    // (three answers all on a whole millisecond would be one chance in a thousand million).
    bool finer = false;
    for (int i = 0; i < 3; ++i) {
        r = PingOnce("198.18.1.10");
        EXPECT_EQ(r.rttUs / 1000, r.rtt);
        finer = finer || r.rttUs % 1000 != 0;
    }
    EXPECT_TRUE(finer);
}

// IPv6 on the datagram path and through the helper: the answering host behind the router in any
// spelling, shown as RFC 5952 writes it, with its hop limit; the router by its link-local address
// on the client's link (the zone must reach the socket, through the helper too); a name with only
// an IPv6 address; the silent host; the router's "no route" and "prohibited". A program outside
// ping_group_range without the helper has no ICMPv6 socket: there the request is reported as not
// sent, never as an answer or a silence.
TEST_P(Network, Ipv6Hosts) {
    const struct {
        const char* address;
        int status;
        const char* responder;
        int hopLimit;
    } cases[] = {
        {"::1", 0, "::1", 64},
        {"fd00:198:18:1::10", 0, "fd00:198:18:1::10", 63},
        {"FD00:198:18:1:0::10", 0, "fd00:198:18:1::10", 63},
        {"fe80::1%c0", 0, "fe80::1", 64},
        {"answer6.test", 0, "fd00:198:18:1::10", 63},
        {"fd00:198:18:2::10", ipstatus::kRequestTimedOut, "", -1},
        {"fd00:198:19::5", ipstatus::kDestNetUnreachable, "fd00:198:18::1", -1},
        {"fd00:198:20::5", ipstatus::kDestProhibited, "fd00:198:18::1", -1},
    };
    for (const auto& c : cases) {
        const Reply r = PingOnce(c.address, 255, 500);
        if (GetParam() == Kind::Raw) {
            EXPECT_EQ(r.status, ipstatus::kGeneralFailure) << c.address;
            continue;
        }
        EXPECT_EQ(r.status, c.status) << c.address;
        if (*c.responder) {
            EXPECT_EQ(r.ip, c.responder) << c.address;
        }
        if (c.hopLimit >= 0) {
            EXPECT_EQ(r.ttl, c.hopLimit) << c.address;
        }
    }
}

TEST_P(Network, SilentHostTimesOutAfterTimeout) {
    auto t0 = std::chrono::steady_clock::now();
    Reply r = PingOnce("198.18.2.10", 255, 300);
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_EQ(r.status, ipstatus::kRequestTimedOut);
    EXPECT_GE(ms, 300);
}

// The reply is judged by when the kernel received it: a handler that held the event loop for
// 1.5 s neither turns a 50 ms answer into a time-out nor into a 1.5 s round trip.
// The loop held for 1.5 s: the answer is queued when the wait returns, in time or not.
TEST_P(Network, AnswersAreJudgedByWhenTheyCameHoweverLongTheEventsRan) {
    SlowResponder responder(50);
    HeldEventLoop held;
    Reply r = PingOnceWith(held, "198.18.3.10");
    EXPECT_EQ(r.status, 0);
    EXPECT_GE(r.rtt, 50);                            // no sooner than the host answers
    EXPECT_LT(r.rtt, 1500);                          // not the time the event loop was held
    r = PingOnceWith(held, "198.18.3.10", 255, 30);  // came 20 ms after the time-out
    EXPECT_EQ(r.status, ipstatus::kRequestTimedOut) << "a late answer counted";
}

// Answers come after 150 ms, the time-out is 100 ms: the first attempt's late answer arrives
// during the second attempt on the same socket and must not be taken for its answer.
TEST_P(Network, ALateAnswerIsNotTakenForTheNextAttempt) {
    SlowResponder responder(150);
    EchoProbe p(echo, pump);
    p.attempts = 2;
    p.delayMs = 0;
    p.timeoutMs = 100;
    ReplyRecorder recorder;
    recorder.listenTo(p);
    p.ping("198.18.3.10");
    EXPECT_EQ(recorder.statuses(),
              (std::vector<int>{ipstatus::kRequestTimedOut, ipstatus::kRequestTimedOut}));
}

// Events keep running on the UI thread while the probe waits for a silent host, during its
// pause, and while a name server that swallows every query keeps the look-up waiting.
TEST_P(Network, EventsRunWhileTheProbeWaitsPausesAndLooksUp) {
    {
        Ticker ticker;
        EchoProbe p(echo, pump);
        p.attempts = 1;
        p.timeoutMs = 300;
        p.delayMs = 300;
        p.ping("198.18.2.10");
        EXPECT_GE(ticker.ticks, 40);  // about 120 in 600 ms
    }
    Ticker ticker;
    Reply r = PingOnce("nowhere.pingrove.test");
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.ip, "0.0.0.0");
    EXPECT_GE(ticker.ticks, 40);  // the resolver waits about 1 s for its answer
}

TEST_P(Network, RouterReportsUnreachableAndTtlExpired) {
    Reply r = PingOnce("198.19.0.5");
    EXPECT_EQ(r.status, ipstatus::kDestHostUnreachable);
    EXPECT_EQ(r.ip, "198.18.0.1");
    Reply t = PingOnce("198.18.1.10", 1);
    EXPECT_EQ(t.status, ipstatus::kTtlExpiredTransit);
    EXPECT_EQ(t.ip, "198.18.0.1");
}

TEST_P(Network, NoRouteMakesTheSendFail) {
    Reply r = PingOnce("198.18.200.1");
    EXPECT_EQ(r.status, ipstatus::kDestNetUnreachable);
}

// Captures one echo request as it arrives at the answering host.
std::vector<uint8_t> CaptureRequest(std::function<void()> send) {
    std::promise<std::vector<uint8_t>> got;
    std::promise<void> ready;
    std::thread capture([&] {
        std::string path = std::string("/var/run/netns/") + Env("PINGROVE_NETNS_ANSWER");
        int ns = ::open(path.c_str(), O_RDONLY);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0) {
            ready.set_value();
            got.set_value({});
            return;
        }
        ::close(ns);
        int fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        ready.set_value();
        std::vector<uint8_t> buf(2048);
        for (int i = 0; i < 50; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
            if (n > 28 && buf[(buf[0] & 0x0F) * 4] == ICMP_ECHO) {
                buf.resize(static_cast<size_t>(n));
                got.set_value(buf);
                ::close(fd);
                return;
            }
        }
        ::close(fd);
        got.set_value({});
    });
    ready.get_future().wait();
    send();
    auto packet = got.get_future().get();
    capture.join();
    return packet;
}

TEST_P(Network, RequestsCarryBlockSizeBytesOf0xA7AndTheTtl) {
    for (int ttl : {255, 100}) {
        auto packet = CaptureRequest([&] { PingOnce("198.18.1.10", ttl); });
        ASSERT_FALSE(packet.empty());
        size_t ihl = static_cast<size_t>(packet[0] & 0x0F) * 4;
        EXPECT_EQ(packet[8], ttl - 1);  // the router took one
        std::vector<uint8_t> data(packet.begin() + static_cast<long>(ihl) + 8, packet.end());
        EXPECT_EQ(data, std::vector<uint8_t>(64, 0xA7));
    }
}

// A flood ping of the same host beside us, IPv4 and IPv6: its replies never pass for ours, and
// ours are not lost among them.
TEST_P(Network, ConcurrentPingDoesNotConfuseTheReplies) {
    if (std::system("command -v ping >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ping";
    for (const char* host : {"198.18.1.10", "fd00:198:18:1::10"}) {
        if (GetParam() == Kind::Raw && std::strchr(host, ':')) continue;  // no ICMPv6 socket
        ASSERT_EQ(
            std::system(("ping -f -q -w 3 " + std::string(host) + " >/dev/null 2>&1 &").c_str()),
            0);
        EchoProbe p(echo, pump);
        p.attempts = 20;
        p.delayMs = 20;
        int ok = 0, calls = 0;
        p.onReply = [&](EchoProbe*, int s, const std::string&, int, uint8_t) {
            ++calls;
            ok += s == 0;
        };
        p.ping(host);
        EXPECT_EQ(calls, 20) << host;
        EXPECT_EQ(ok, 20) << host;
    }
}

// The relay holds the raw socket for a process that may run the user's plugins: it sends echo
// requests and nothing else, whatever it is handed.
TEST(Relay, SendsNothingButEchoRequests) {
    if (!InTestNetwork()) GTEST_SKIP() << "run through tests/netns_run.sh";
    const icmp_relay::Helper helper = StartRelay();
    const int relay = helper.socket;
    ASSERT_GE(relay, 0);
    auto sendThrough = [&](std::vector<uint8_t> packet, int family = AF_INET) {
        icmp_relay::Destination to;
        to.family = family;
        to.address = ::inet_addr("127.0.0.1");
        to.address6 = in6addr_loopback;
        std::vector<uint8_t> m = icmp_relay::requestMessage(to, 64, packet);
        ::send(relay, m.data(), m.size(), 0);
        uint8_t reply[70000];
        for (;;) {  // forwarded packets may come first
            const ssize_t n = ::recv(relay, reply, sizeof reply, 0);
            if (n <= 0) return -1;
            int32_t err;
            if (reply[0] == 'S') return std::memcpy(&err, reply + 1, 4), static_cast<int>(err);
        }
    };
    std::vector<uint8_t> echo = icmp_packet::echoRequest(7, 1, std::vector<uint8_t>(64, 0xA7));
    EXPECT_EQ(sendThrough(echo), 0);
    std::vector<uint8_t> timestamp = echo;
    timestamp[0] = 13;  // another ICMP type
    EXPECT_EQ(sendThrough(timestamp), EINVAL);
    EXPECT_EQ(sendThrough(std::vector<uint8_t>(4, 8)), EINVAL);  // too short for ICMP
    EXPECT_EQ(sendThrough(icmp_packet::echoRequest(7, 2, std::vector<uint8_t>(2000, 0))), EMSGSIZE);
    // Each family's echo request only: an ICMPv4 one is no ICMPv6 echo (type 8 is "not mine").
    const std::vector<uint8_t> echo6 = icmp6_packet::echoRequest(7, 3, {});
    EXPECT_EQ(sendThrough(echo6, AF_INET6), 0);
    EXPECT_EQ(sendThrough(echo, AF_INET6), EINVAL);
    EXPECT_EQ(sendThrough(echo6, AF_INET), EINVAL);
    EndRelay(helper);
}

// Each socket option of the helper refused in turn, as a kernel short of memory would: the
// receive details and the filters only help, so the answers still come, with their TTL read from
// the IP header and their time taken when read (an IPv6 hop limit is then unknown, 0); a TTL or
// hop limit that cannot be set, or a reply filter that can be neither replaced nor removed, keeps
// the request from going out (11050) rather than send it with another TTL or drop its reply.
TEST(Relay, EachRefusedSocketOptionHasItsOutcome) {
    if (!InTestNetwork()) GTEST_SKIP() << "run through tests/netns_run.sh";
    SlowResponder responder(50);
    constexpr int kIcmpFilter = 1;
    const int gone = ipstatus::kGeneralFailure;
    struct Refusal {
        int level, option;
        int standing;  // calls that pass before the refusals begin
    };
    const struct {
        const char* name;
        std::vector<Refusal> refused;
        int status4, status6, ttl6;
    } cases[] = {
        {"IP_RECVTTL", {{IPPROTO_IP, IP_RECVTTL, 0}}, 0, 0, 63},
        {"SO_TIMESTAMPNS", {{SOL_SOCKET, SO_TIMESTAMPNS, 0}}, 0, 0, 63},
        {"ICMP_FILTER", {{SOL_RAW, kIcmpFilter, 0}}, 0, 0, 63},
        {"IPV6_RECVHOPLIMIT", {{IPPROTO_IPV6, IPV6_RECVHOPLIMIT, 0}}, 0, 0, 0},
        {"ICMP6_FILTER", {{IPPROTO_ICMPV6, ICMP6_FILTER, 0}}, 0, 0, 63},
        // The first filter of each family stands; every one after it is refused.
        {"SO_ATTACH_FILTER", {{SOL_SOCKET, SO_ATTACH_FILTER, 2}}, 0, 0, 63},
        {"SO_ATTACH_FILTER and SO_DETACH_FILTER",
         {{SOL_SOCKET, SO_ATTACH_FILTER, 2}, {SOL_SOCKET, SO_DETACH_FILTER, 0}},
         gone,
         gone,
         -1},
        {"IP_TTL", {{IPPROTO_IP, IP_TTL, 0}}, gone, 0, 63},
        {"IPV6_UNICAST_HOPS", {{IPPROTO_IPV6, IPV6_UNICAST_HOPS, 0}}, 0, gone, -1},
    };
    QtEventPump pump;
    // The helper keeps no descriptor of ours: it counts its refusals in memory shared with us.
    auto* refusals = static_cast<std::atomic<int>*>(::mmap(nullptr, sizeof(std::atomic<int>),
                                                           PROT_READ | PROT_WRITE,
                                                           MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(refusals, MAP_FAILED);
    for (const auto& c : cases) {
        refusals->store(0);
        std::map<std::pair<int, int>, int> calls;
        // Runs in the helper's process (and before its fork, for the sockets' set-up).
        auto refuse = [&](int fd, int level, int option, const void* v, socklen_t n) {
            for (const Refusal& r : c.refused)
                if (r.level == level && r.option == option &&
                    ++calls[{level, option}] > r.standing) {
                    ++*refusals;
                    errno = ENOMEM;
                    return -1;
                }
            return ::setsockopt(fd, level, option, v, n);
        };
        const icmp_relay::Helper helper =
            icmp_relay::start(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP),
                              ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6), refuse);
        ASSERT_GE(helper.socket, 0);
        IcmpEchoService echo(helper.socket, helper.pid);
        EchoProbe p(echo, pump);
        p.attempts = 1;
        p.delayMs = 0;
        p.timeoutMs = 1000;
        ReplyRecorder recorder;
        recorder.listenTo(p);
        p.ping("198.18.3.10");
        p.ping("fd00:198:18:1::10");
        ASSERT_EQ(recorder.replies.size(), 2u) << c.name;
        const Reply& r4 = recorder.replies[0];
        const Reply& r6 = recorder.replies[1];
        EXPECT_EQ(r4.status, c.status4) << c.name;
        EXPECT_EQ(r6.status, c.status6) << c.name;
        if (c.status4 == 0) {
            EXPECT_EQ(r4.ttl, 63) << c.name;
            EXPECT_GE(r4.rtt, 50) << c.name;  // the responder's delay, not 0 or a wild figure
            EXPECT_LT(r4.rtt, 1000) << c.name;
        }
        if (c.status6 == 0) {
            EXPECT_EQ(r6.ttl, c.ttl6) << c.name;
        }
        EXPECT_GT(refusals->load(), 0) << c.name << " was never refused";
        EndRelay(helper);
    }
    ::munmap(refusals, sizeof(std::atomic<int>));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, Network,
                         ::testing::Values(Kind::Datagram, Kind::Raw, Kind::Relay),
                         [](const auto& info) {
                             return info.param == Kind::Datagram ? "Datagram"
                                    : info.param == Kind::Raw    ? "Raw"
                                                                 : "Relay";
                         });

}  // namespace
