// The main window over the real ICMP echo facility, inside the test network of netns_run.sh.
#include <QPlainTextEdit>
#include <cstdlib>

#include "icmp/icmp_echo_service.h"
#include "window_fixture.h"

namespace {

class NetworkWindow : public Window {
protected:
    void SetUp() override {
        if (!std::getenv("PINGROVE_NETNS_ANSWER")) GTEST_SKIP() << "run through tests/netns_run.sh";
        echoService = &realEcho;
        Start(
            "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"\"\r\n\"198.18.1.10\";\"\"\r\n"
            "\"198.18.2.10\";\"\"\r\n");
        Timer()->stop();
    }
    IcmpEchoService realEcho;
};

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
