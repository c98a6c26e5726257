// The main window over the real ICMP echo facility, inside the test network of netns_run.sh.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdlib>

#include "app/main_window.h"
#include "app/target_list_view.h"
#include "fakes.h"
#include "platform/icmp_echo_service.h"
#include "platform/qt_event_pump.h"
#include "settings/settings_file.h"
#include "test_support.h"

namespace {

class NetworkWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("PINGROVE_NETNS_ANSWER")) GTEST_SKIP() << "run through tests/netns_run.sh";
        WriteFileBytes(dir.Path("iplist.txt"),
                       "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"\"\r\n\"198.18.1.10\";\"\"\r\n"
                       "\"198.18.2.10\";\"\"\r\n");
        settings = std::make_unique<TSettingsFile>(QString::fromStdString(dir.Path("pingrove")));
        services.reset(new TServices{echo, pump, sound, messages, tray, *settings,
                                     QString::fromStdString(dir.Path("iplist.txt")), 2});
        form = std::make_unique<TForm1>(*services);
        form->MxICMP1.Delay = 0;
        form->show();
    }
    QString Cell(int row, int k) { return TListView::SubItem(form->ListView1->Row(row), k); }
    int Image(int row) { return TListView::ImageIndex(form->ListView1->Row(row)); }

    TempDir dir;
    IcmpEchoService echo;
    QtEventPump pump;
    FakeSound sound;
    FakeMessageBox messages;
    FakeNotificationArea tray;
    std::unique_ptr<TSettingsFile> settings;
    std::unique_ptr<TServices> services;
    std::unique_ptr<TForm1> form;
};

TEST_F(NetworkWindow, AllScanMarksAnsweringAndSilentHosts) {
    form->Action5Execute();
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Image(1), 2);
    EXPECT_EQ(Image(2), 1);
    EXPECT_EQ(Cell(0, 2), "1");
    EXPECT_EQ(Cell(1, 2), "1");
    EXPECT_EQ(Cell(2, 2), "0");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Cell(i, 3), "1");
    QStringList log = form->Memo1->toPlainText().split('\n');
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("｜127.0.0.1")));
    EXPECT_TRUE(log[1].endsWith(QStringLiteral("｜198.18.1.10")));
    EXPECT_EQ(form->Panel(0), QStringLiteral("偵察済（198.18.2.10）オフライン"));
}

TEST_F(NetworkWindow, SelectScanOnTheWorkerThread) {
    form->ListView1->FocusSelectScroll(form->ListView1->Row(1));
    form->Action4Execute();
    QElapsedTimer t;
    t.start();
    while (form->SelectScanRunning() && t.elapsed() < 5000) QApplication::processEvents();
    ASSERT_FALSE(form->SelectScanRunning());
    EXPECT_EQ(Image(1), 2);
    EXPECT_EQ(Cell(1, 2), "1");
    EXPECT_EQ(Cell(1, 3), "1");
    EXPECT_EQ(form->Panel(0), QStringLiteral("偵察済（198.18.1.10）オンライン"));
    EXPECT_EQ(form->Memo1->toPlainText().split('\n').size(), 1);
}

}  // namespace
