// The main window over the real ICMP echo facility, inside the test network of netns_run.sh.
#include <QPlainTextEdit>
#include <cstdlib>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "icmp/icmp_echo_service.h"
#include "icmp/icmp_relay.h"
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
