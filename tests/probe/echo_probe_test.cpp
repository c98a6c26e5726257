#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <thread>

#include "fakes.h"
#include "icmp/icmp_echo_service.h"
#include "platform/qt_event_pump.h"
#include "probe/echo_probe.h"
#include "reply_recorder.h"

namespace {

using Clock = std::chrono::steady_clock;

class Probe : public ::testing::Test {
protected:
    FakeEchoService echo;
    QtEventPump pump;
    ReplyRecorder recorder;
    std::vector<Reply>& replies = recorder.replies;
    EchoProbe Make() {
        EchoProbe p(echo, pump);
        recorder.listenTo(p);
        return p;
    }
    static long Ms(Clock::time_point since) {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
    }
};

TEST_F(Probe, Defaults) {
    EchoProbe p(echo, pump);
    EXPECT_EQ(p.blockSize, 64);
    EXPECT_EQ(p.ttl, 255);
    EXPECT_EQ(p.timeoutMs, 5000);
    EXPECT_EQ(p.delayMs, 1000);
    EXPECT_EQ(p.attempts, 3);
    EXPECT_FALSE(p.onReply);
}

TEST_F(Probe, NoEchoSocketRaisesTheMissingFacilityError) {
    echo.available = false;
    try {
        EchoProbe p(echo, pump);
        FAIL() << "no error";
    } catch (const IcmpUnavailable& e) {
        std::string text = e.what();
        EXPECT_EQ(text.rfind("必要なファイル ICMP.DLL が見つかりません。\n", 0), 0u);
        EXPECT_NE(text.find("ping_group_range"), std::string::npos);
        EXPECT_NE(text.find("setcap cap_net_raw+ep"), std::string::npos);
    }
}

TEST_F(Probe, NoAttemptsMeansNoEventNoSendNoPauseButTheHandleIsClosed) {
    EchoProbe p = Make();
    for (int n : {0, -2}) {
        p.attempts = n;
        auto t0 = Clock::now();
        p.ping("10.0.0.1");
        EXPECT_LT(Ms(t0), 500);
    }
    EXPECT_TRUE(replies.empty());
    EXPECT_EQ(echo.sends, 0);
    EXPECT_EQ(echo.opened, 2);
    EXPECT_EQ(echo.closed, 2);
}

TEST_F(Probe, AddressIsTrimmedAndReadInTheClassicWay) {
    echo.Set("10.0.0.1", {0, "", 3});
    echo.Set("127.0.0.1", {0, "", 0});
    EchoProbe p = Make();
    p.attempts = 1;
    p.delayMs = 0;
    for (const char* a : {" \t10.0.0.1\r\n ", "127.1", "0x7f.0.0.1", "0177.0.0.1", "2130706433"}) {
        p.ping(a);
    }
    EXPECT_EQ(echo.sentTo(), (std::vector<std::string>{"10.0.0.1", "127.0.0.1", "127.0.0.1",
                                                       "127.0.0.1", "127.0.0.1"}));
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0].status, 0);
    EXPECT_EQ(replies[0].ip, "10.0.0.1");
    EXPECT_EQ(replies[0].ttl, 255);
}

TEST_F(Probe, UnresolvableNameIsReportedEveryAttemptWithItsPause) {
    EchoProbe p = Make();
    p.attempts = 3;
    p.delayMs = 50;
    auto t0 = Clock::now();
    p.ping("no-such-host.invalid");
    EXPECT_GE(Ms(t0), 150);
    ASSERT_EQ(replies.size(), 3u);
    for (const Reply& r : replies) {
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.ip, "0.0.0.0");
        EXPECT_EQ(r.rtt, 0);
        EXPECT_EQ(r.ttl, 0);
    }
    EXPECT_EQ(echo.sends, 0);
    EXPECT_EQ(echo.lookups, 3);
}

TEST_F(Probe, ResolvedNameIsLookedUpOncePerCall) {
    echo.SetName("gateway", "10.0.0.9");
    echo.Set("10.0.0.9", {0, "", 1});
    EchoProbe p = Make();
    p.attempts = 3;
    p.delayMs = 0;
    p.ping("gateway");
    EXPECT_EQ(echo.lookups, 1);
    EXPECT_EQ(echo.sentTo(), (std::vector<std::string>(3, "10.0.0.9")));
    // An over-long text is no address and no name: nothing is looked up or sent.
    p.attempts = 1;
    p.ping(std::string(300, 'a'));
    EXPECT_EQ(echo.lookups, 1);
    EXPECT_EQ(replies.back().status, -1);
}

TEST_F(Probe, ErrorsAndTimeoutsCarryTheirStatus) {
    echo.Set("10.0.0.2", {ipstatus::kDestHostUnreachable, "10.0.0.254", 2});
    EchoProbe p = Make();
    p.attempts = 1;
    p.delayMs = 0;
    p.timeoutMs = 15;
    p.ping("10.0.0.2");
    p.ping("10.0.0.3");
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].status, 11003);
    EXPECT_EQ(replies[0].ip, "10.0.0.254");
    EXPECT_EQ(replies[1].status, 11010);
}

TEST_F(Probe, UnassignedHandlerStillSendsAndPauses) {
    EchoProbe p(echo, pump);
    echo.Set("10.0.0.1", {0, "", 0});
    p.attempts = 2;
    p.delayMs = 40;
    auto t0 = Clock::now();
    p.ping("10.0.0.1");
    EXPECT_GE(Ms(t0), 80);
    EXPECT_EQ(echo.sends, 2);
}

TEST_F(Probe, AnErrorInTheHandlerEndsPingAfterCleanUp) {
    echo.Set("10.0.0.1", {0, "", 0});
    EchoProbe p(echo, pump);
    p.delayMs = 1000;
    int calls = 0;
    p.onReply = [&](EchoProbe*, int, const std::string&, int, uint8_t) {
        ++calls;
        throw std::runtime_error("handler");
    };
    auto t0 = Clock::now();
    EXPECT_THROW(p.ping("10.0.0.1"), std::runtime_error);
    EXPECT_LT(Ms(t0), 500);  // no pause, no further attempt
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(echo.closed, echo.opened);
}

TEST_F(Probe, EventsRunWhileTheUiThreadWaits) {
    EchoProbe p = Make();
    p.attempts = 1;
    p.timeoutMs = 20;
    p.delayMs = 60;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    p.ping("10.0.0.7");  // silent: waits the whole timeout
    EXPECT_GE(ticks, 2);
}

// The pauses the probe asks of the event loop last the delay: no shorter, and no longer (say, the
// time-out's length).
TEST_F(Probe, ThePauseAfterEachAttemptLastsTheDelay) {
    struct RecordingPump : IEventPump {
        std::vector<std::pair<int, long>> waits;  // descriptor, milliseconds asked for
        bool onUiThread() const override { return true; }
        void processEvents() override {}
        bool waitReadable(int fd, Clock::time_point deadline) override {
            waits.emplace_back(
                fd,
                static_cast<long>(
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count()));
            return false;
        }
    } recording;
    EchoProbe p(echo, recording);
    p.attempts = 2;
    p.timeoutMs = 5000;
    p.delayMs = 400;
    p.ping("10.0.0.7");                     // silent: the fake's handle waits 20 ms too
    ASSERT_EQ(recording.waits.size(), 4u);  // per attempt: the reply, then the pause
    for (size_t i = 0; i < 4; i += 2) {
        EXPECT_EQ(recording.waits[i + 1].first, -1);
        EXPECT_GT(recording.waits[i + 1].second, 390) << "the pause is shorter than the delay";
        EXPECT_LE(recording.waits[i + 1].second, 400) << "the pause is longer than the delay";
    }
}

TEST_F(Probe, OnAWorkerThreadTheHandlerRunsThereAndNoEventsRun) {
    echo.Set("10.0.0.1", {0, "", 0});
    EchoProbe p = Make();
    p.attempts = 1;
    p.delayMs = 30;
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    std::thread::id handlerThread;
    p.onReply = [&](EchoProbe*, int, const std::string&, int, uint8_t) {
        handlerThread = std::this_thread::get_id();
    };
    std::thread worker([&] { p.ping("10.0.0.1"); });
    const auto workerId = worker.get_id();
    worker.join();
    EXPECT_EQ(handlerThread, workerId);
    EXPECT_EQ(ticks, 0);
}

// The relay's helper died (killed, out of memory): its socket pair reads end-of-file for ever.
// Every probe then fails at once instead of spinning, the service says why, and the helper is
// reaped, not left a zombie.
TEST(ProbeRelay, AHelperThatDiedFailsEveryProbeAtOnceAndIsReaped) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const pid_t helper = ::fork();
    if (helper == 0) ::_exit(0);
    ::close(pair[1]);
    IcmpEchoService echo(pair[0], helper);
    // Seen before any probe, once the helper has ended (waited for, not reaped): a scan can be
    // refused before it changes a row.
    siginfo_t ended{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(helper), &ended, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(echo.brokenReason().empty());
    QtEventPump pump;
    for (bool onUi : {true, false}) {
        EchoProbe p(echo, pump);
        p.attempts = 2;
        p.delayMs = 0;
        ReplyRecorder recorder;
        recorder.listenTo(p);
        if (onUi) {
            p.ping("127.0.0.1");
        } else {
            std::thread([&] { p.ping("127.0.0.1"); }).join();
        }
        EXPECT_EQ(recorder.statuses(), std::vector<int>(2, ipstatus::kGeneralFailure)) << onUi;
    }
    EXPECT_FALSE(echo.brokenReason().empty());
    EXPECT_EQ(::waitpid(helper, nullptr, WNOHANG), -1);  // reaped already
    ::close(pair[0]);
}

// A signal that interrupts the blocking wait (EINTR) is no time-out: the wait goes on.
TEST(ProbeRelay, ASignalDuringTheWaitIsNoTimeOut) {
    struct sigaction quiet {
    }, old{};
    quiet.sa_handler = [](int) {};  // without SA_RESTART: the poll returns EINTR
    ::sigaction(SIGUSR1, &quiet, &old);
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    const pthread_t waiter = ::pthread_self();
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::pthread_kill(waiter, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)!::write(p[1], "x", 1);
    });
    EXPECT_TRUE(
        IEventPump::pollReadable(p[0], IEventPump::Clock::now() + std::chrono::seconds(20)));
    other.join();
    ::sigaction(SIGUSR1, &old, nullptr);
    ::close(p[0]);
    ::close(p[1]);
}

// Real ICMP to the loopback address: needs an echo socket (root, CAP_NET_RAW or the sysctl).
TEST(ProbeLoopback, AnswersFromLoopbackByAddressAndByName) {
    IcmpEchoService echo;
    QtEventPump pump;
    std::string why;
    if (!echo.isAvailable(&why)) GTEST_SKIP() << "no ICMP echo socket here: " << why;
    EchoProbe p(echo, pump);
    p.attempts = 2;
    p.delayMs = 0;
    p.timeoutMs = 1000;
    ReplyRecorder recorder;
    recorder.listenTo(p);
    std::vector<Reply>& replies = recorder.replies;
    for (const char* a : {"127.0.0.1", "localhost"}) {
        replies.clear();
        p.ping(a);
        ASSERT_EQ(replies.size(), 2u) << a;
        for (const Reply& r : replies) {
            EXPECT_EQ(r.status, 0) << a;
            EXPECT_EQ(r.ip, "127.0.0.1");
            EXPECT_GE(r.rtt, 0);
            EXPECT_LT(r.rtt, 100);
            EXPECT_EQ(r.ttl, 64);  // the kernel's default for its own replies
        }
    }
}

}  // namespace
