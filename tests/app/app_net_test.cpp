// The main window over the real ICMP echo facility, inside the test network of netns_run.sh.
#include <QPlainTextEdit>
#include <cstdlib>
#include <fstream>

#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <netinet/icmp6.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "icmp/icmp_echo_service.h"
#include "icmp/icmp_relay.h"
#include "probe/slow_responder.h"
#include "window_fixture.h"

namespace {

class NetworkWindow : public Window {
protected:
    void SetUp() override {
        if (!std::getenv("PINGROVE_NETNS_ANSWER")) GTEST_SKIP() << "run through tests/netns_run.sh";
        echoService = &networkEcho();
        Start(listText());
        Timer()->stop();
    }
    virtual const char* listText() const {
        return "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"\"\r\n\"198.18.1.10\";\"\"\r\n"
               "\"198.18.2.10\";\"\"\r\n";
    }
    virtual IEchoService& networkEcho() { return realEcho; }
    IcmpEchoService realEcho;
};

// Through the helper that holds the raw sockets, as for a user outside ping_group_range.
class Ipv6Window : public NetworkWindow {
protected:
    Ipv6Window()
        : helper_(icmp_relay::start(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP),
                                    ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6))),
          relayEcho_(helper_.socket, helper_.pid) {}
    ~Ipv6Window() override {
        if (helper_.socket < 0) return;
        ::close(helper_.socket);  // the helper ends with it
        ::waitpid(helper_.pid, nullptr, 0);
    }
    IEchoService& networkEcho() override { return relayEcho_; }
    icmp_relay::Helper helper_;
    IcmpEchoService relayEcho_;
    const char* listText() const override {
        return "\"IP\";\"Name\"\r\n\"FD00:198:18:1:0::10\";\"\"\r\n\"answer6.test\";\"\"\r\n"
               "\"fd00:198:19::5\";\"\"\r\n\"fd00:198:20::5\";\"\"\r\n";
    }
};

// IPv6 rows as the list spells them: the row that was probed is marked, and the log, the panel and
// the row's facts name the host that answered as RFC 5952 writes it; a router's "no route" names
// the router.
TEST_F(Ipv6Window, RowsAreMarkedAndTheHostIsNamedInItsRecommendedForm) {
    form->runAllScan();
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Image(1), 2);
    EXPECT_EQ(Image(2), 1);
    const QStringList log = Child<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("｜fd00:198:18:1::10"))) << log[0].toStdString();
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（fd00:198:20::5）オフライン"));
    const auto facts = [&](int row) {
        return Row(row)->data(0, Qt::AccessibleDescriptionRole).toString().toStdString();
    };
    EXPECT_NE(facts(0).find("（fd00:198:18:1::10 から）"), std::string::npos) << facts(0);
    EXPECT_NE(facts(1).find("（fd00:198:18:1::10 から）"), std::string::npos) << facts(1);
    EXPECT_NE(facts(2).find("（11002）（fd00:198:18::1 から）"), std::string::npos) << facts(2);
    // 11004 from an IPv6 router is a refusal, not an unreachable protocol.
    EXPECT_NE(facts(3).find("管理上禁止されています（11004）"), std::string::npos) << facts(3);
    List()->focusSelectScroll(Row(0));
    form->runSelectScan();
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（fd00:198:18:1::10）オンライン"));
}

// When each echo request, of either family, left the client (its own interfaces, loopback
// included), as the kernel stamped it: nanoseconds on the real-time clock.
class OutgoingRequests {
public:
    OutgoingRequests() : fd_(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL))) {
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    }
    ~OutgoingRequests() { ::close(fd_); }
    std::vector<int64_t> read() {
        std::vector<int64_t> at;
        uint8_t p[2048];
        alignas(cmsghdr) char control[256];
        for (;;) {
            sockaddr_ll from{};
            iovec iov{p, sizeof p};
            msghdr m{&from, sizeof from, &iov, 1, control, sizeof control, 0};
            const ssize_t n = ::recvmsg(fd_, &m, MSG_DONTWAIT);
            if (n < 0) return at;
            const bool v4 = from.sll_protocol == htons(ETH_P_IP) && n > 28 &&
                            p[9] == IPPROTO_ICMP && p[(p[0] & 0x0F) * 4] == ICMP_ECHO;
            const bool v6 = from.sll_protocol == htons(ETH_P_IPV6) && n > 48 && p[6] == 58 &&
                            p[40] == ICMP6_ECHO_REQUEST;
            if (from.sll_pkttype != PACKET_OUTGOING || !(v4 || v6)) continue;
            for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec t;
                    std::memcpy(&t, CMSG_DATA(c), sizeof t);
                    at.push_back(t.tv_sec * 1'000'000'000LL + t.tv_nsec);
                }
        }
    }

private:
    int fd_;
};

// All at once over the real sockets, on the datagram path and through the helper: each row is
// marked from its own outcome (two names of one address, in each family; a link-local host), the
// router's errors name the router, a silent host times out, and the slow host's answer, which
// comes after the time-out while a name's look-up keeps the scan going, marks nothing. The
// requests leave at least 2 ms apart, both families counted together.
TEST_F(Ipv6Window, AllAtOnceMarksEveryRowFromItsOwnOutcome) {
    SlowResponder late(1100);
    const std::string list =
        "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"\"\r\n\"198.18.1.10\";\"\"\r\n\"answer4.test\";\"\"\r\n"
        "\"198.18.2.10\";\"\"\r\n\"fd00:198:18:1::10\";\"\"\r\n\"answer6.test\";\"\"\r\n"
        "\"fe80::1%c0\";\"\"\r\n\"198.19.0.5\";\"\"\r\n\"fd00:198:19::5\";\"\"\r\n"
        "\"198.18.3.10\";\"\"\r\n\"nowhere.pingrove.test\";\"\"\r\n";
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "0 2147483647";  // this namespace's
    for (IcmpEchoService* path : {&realEcho, &relayEcho_}) {
        echoService = path;
        Start(list, "[Form]\nCBX4=1\n");
        Timer()->stop();
        OutgoingRequests requests;
        form->runAllScan();
        const bool helper = path == &relayEcho_;
        EXPECT_EQ(std::vector<int>({Image(0), Image(1), Image(2), Image(3), Image(4), Image(5),
                                    Image(6), Image(7), Image(8), Image(9), Image(10)}),
                  std::vector<int>({2, 2, 2, 1, 2, 2, 2, 1, 1, 1, 1}))
            << helper;
        for (int i = 0; i < 11; ++i) {
            EXPECT_EQ(Cell(i, 3), "1") << i << helper;
            EXPECT_EQ(Cell(i, 2), Image(i) == 2 ? "1" : "0") << i << helper;
        }
        const auto facts = [&](int row) {
            return Row(row)->data(0, Qt::AccessibleDescriptionRole).toString().toStdString();
        };
        EXPECT_NE(facts(7).find("（11003）（198.18.0.1 から）"), std::string::npos) << facts(7);
        EXPECT_NE(facts(8).find("（11002）（fd00:198:18::1 から）"), std::string::npos) << facts(8);
        EXPECT_NE(facts(9).find("時間切れ（11010）"), std::string::npos) << facts(9);
        EXPECT_NE(facts(10).find("（−1）"), std::string::npos) << facts(10);
        QStringList answered = Child<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
        for (QString& line : answered) line = line.section(QStringLiteral("｜"), -1);
        answered.sort();
        EXPECT_EQ(answered, QStringList({"127.0.0.1", "198.18.1.10", "198.18.1.10",
                                         "fd00:198:18:1::10", "fd00:198:18:1::10", "fe80::1"}))
            << helper;
        const std::vector<int64_t> sent = requests.read();
        EXPECT_EQ(sent.size(), 10u) << helper;
        for (size_t i = 1; i < sent.size(); ++i)
            EXPECT_GE(sent[i] - sent[i - 1], 1'990'000) << i << helper;
    }
    std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "1 0";  // as the namespace began
}

TEST_F(NetworkWindow, AllScanMarksAnsweringAndSilentHosts) {
    form->runAllScan();
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Image(1), 2);
    EXPECT_EQ(Image(2), 1);
    EXPECT_EQ(Cell(0, 2), "1");
    EXPECT_EQ(Cell(1, 2), "1");
    EXPECT_EQ(Cell(2, 2), "0");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Cell(i, 3), "1");
    QStringList log = Child<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("｜127.0.0.1")));
    EXPECT_TRUE(log[1].endsWith(QStringLiteral("｜198.18.1.10")));
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（198.18.2.10）オフライン"));
}

TEST_F(NetworkWindow, SelectScanOnTheWorkerThread) {
    List()->focusSelectScroll(Row(1));
    form->runSelectScan();
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    EXPECT_EQ(Image(1), 2);
    EXPECT_EQ(Cell(1, 2), "1");
    EXPECT_EQ(Cell(1, 3), "1");
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（198.18.1.10）オンライン"));
    EXPECT_EQ(Child<QPlainTextEdit>("Memo1")->toPlainText().split('\n').size(), 1);
}

}  // namespace
