#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <thread>

#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolButton>

#include "app/auto_scan_countdown.h"
#include "app/command_states.h"
#include "app/scan_lock.h"
#include "app/status_texts.h"
#include "app/target_facts.h"
#include "icmp/icmp_echo_service.h"
#include "window_fixture.h"

namespace {

const std::string kList =
    "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"self\"\r\n\"10.0.0.2\";\"silent\"\r\n"
    "\"10.0.0.3\";\"answers\"\r\n";

QStringList LogLines(MainWindow& f) {
    QString text = f.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

class Scan : public Window {
protected:
    void SetUp() override {
        echo.Set("127.0.0.1", {0, "", 1});
        echo.Set("10.0.0.3", {0, "", 1});
    }
    // Runs `what` while the scan waits for the reply of `row`, however slowly the scan goes.
    void AtRow(int row, std::function<void()> what) {
        QObject::connect(
            Scans(), &ScanRunner::rowProbing, form.get(),
            [row, what](int r) {
                if (r == row) what();
            },
            Qt::QueuedConnection);
    }
};

TEST_F(Scan, AllScanMarksCountsLogsAndRestores) {
    Start(kList);
    const int rowHeight = List()->visualItemRect(Row(1)).height();
    EXPECT_GE(rowHeight, 16 + 3);  // room for the state icon before any row has one
    form->runAllScan();
    EXPECT_EQ(List()->visualItemRect(Row(1)).height(), rowHeight);
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Image(1), 1);
    EXPECT_EQ(Image(2), 2);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Cell(i, 3), "1");
    EXPECT_EQ(Cell(0, 2), "1");
    EXPECT_EQ(Cell(1, 2), "0");
    QStringList log = LogLines(*form);
    ASSERT_EQ(log.size(), 2);
    EXPECT_TRUE(log[0].endsWith(QStringLiteral("  ｜オンライン  ｜127.0.0.1")));
    EXPECT_TRUE(log[1].endsWith(QStringLiteral("｜10.0.0.3")));
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（10.0.0.3）オンライン"));
    EXPECT_EQ(sound.played, (QStringList{"chimes.wav", "chimes.wav"}));
    EXPECT_TRUE(Tray()->isAnimating());
    EXPECT_EQ(Tray()->hint(), QStringLiteral("ピングローブ\n自動偵察オンラインあり"));
    EXPECT_TRUE(Scans()->onlineFound());
    EXPECT_FALSE(Scans()->allScanRunning());
    EXPECT_EQ(List()->selectedRow(), Row(2));  // the last probed row stays selected
    EXPECT_FALSE(ContextMenuOffersTheRow());   // selected while the controls ignored it
    EXPECT_FALSE(Child<QToolButton>("SpeedButton2")->isEnabled());
    EXPECT_EQ(echo.sentTo(), (std::vector<std::string>{"127.0.0.1", "10.0.0.2", "10.0.0.3"}));
    // Each row's facts of this run, for screen readers as for the tooltip.
    EXPECT_TRUE(Row(0)
                    ->data(1, Qt::AccessibleDescriptionRole)
                    .toString()
                    .startsWith(QStringLiteral("オンライン（")));
    EXPECT_TRUE(Row(1)
                    ->data(1, Qt::AccessibleDescriptionRole)
                    .toString()
                    .contains(QStringLiteral("／最終応答 なし／応答 0/1（0%）")));
    EXPECT_TRUE(Row(1)
                    ->data(1, Qt::AccessibleDescriptionRole)
                    .toString()
                    .endsWith(QStringLiteral("時間切れ（11010）")));
}

// The facts of a run over a clock of the test's own: since when, answers, times, and a bound.
TEST(TargetFacts, StateSinceWhenAnswersTimesAndABoundOfAHundred) {
    const int64_t noon = QDateTime(QDate(2026, 12, 8), QTime(12, 0, 0)).toMSecsSinceEpoch();
    auto at = [&](int seconds) { return noon + seconds * 1000; };
    TargetFacts f;
    EXPECT_EQ(texts::targetFacts(f), QStringLiteral("未偵察"));
    f.record(false, 0, 0, at(0), 11003);
    f.record(false, 0, 0, at(10), 11010);
    EXPECT_EQ(f.sinceMs(), at(0));  // offline since the first result
    EXPECT_EQ(f.failsInARow(), 2);
    // Times as finely as the kernel stamps them, in microseconds.
    f.record(true, 1250, 64, at(20));
    EXPECT_EQ(f.failsInARow(), 0);
    f.record(true, 40, 64, at(30));
    f.record(true, 12300, 63, at(40));
    EXPECT_EQ(f.sinceMs(), at(20));  // online since the change
    const QDate day = QDate(2026, 12, 8);
    EXPECT_EQ(texts::targetFacts(f, day),
              QStringLiteral("オンライン（12:00:20 から）／最終応答 12:00:40　12.3 ms　TTL 63／"
                             "応答 3/5（60%）／最小 0.04・平均 4.53・最大 12.3 ms／"
                             "最終失敗 12:00:10　時間切れ（11010）"));
    // Seen the next day, the times carry their date.
    EXPECT_TRUE(texts::targetFacts(f, day.addDays(1))
                    .startsWith(QStringLiteral(
                        "オンライン（12月8日 12:00:20 から）／最終応答 12月8日 12:00:40")));
    f.record(false, 0, 0, at(50));
    EXPECT_FALSE(f.online());
    EXPECT_EQ(f.sinceMs(), at(50));
    EXPECT_EQ(f.lastAnswer()->atMs(), at(40));
    // Only the last hundred results are kept; the counts are of the whole run.
    for (int i = 0; i < 150; ++i) f.record(i % 2 == 0, i, 64, at(100 + i));
    EXPECT_EQ(f.kept(), TargetFacts::kKept);
    EXPECT_EQ(f.keptAt(0).atMs(), at(150));
    EXPECT_EQ(f.keptAt(TargetFacts::kKept - 1).atMs(), at(249));
    EXPECT_EQ(f.probes(), 156);
    EXPECT_EQ(f.answers(), 78);
    EXPECT_TRUE(texts::targetFacts(f).contains(QStringLiteral("／応答 78/156（50%）")));
    // Why, in words with the status code, for the failures a user meets.
    EXPECT_EQ(QStringList({texts::failureReason(11003), texts::failureReason(-1),
                           texts::failureReason(11013), texts::failureReason(4711)}),
              QStringList({QStringLiteral("ホストに到達できません（11003）"),
                           QStringLiteral("名前を解決できません（−1）"),
                           QStringLiteral("TTL が尽きました（11013）"),
                           QStringLiteral("エラー（4711）")}));
}

// The log's context menu saves the lines as shown, in UTF-8, through an atomic write; a file that
// cannot be written is reported. Where the user's day is not UTC's (14 hours ahead from 11:00 UTC,
// else 12 behind), the log, a row's facts and the suggested name read the user's clock.
TEST_F(Scan, TheLogIsSavedFromItsContextMenu) {
    const int ahead = QDateTime::currentDateTimeUtc().time().hour() >= 11 ? 14 : -12;
    LocalZone local(ahead > 0 ? "Pacific/Kiritimati" : "Etc/GMT+12");
    const QDateTime clock = QDateTime::currentDateTimeUtc().addSecs(ahead * 3600);
    Start(kList);
    form->runAllScan();
    const QString line = LogLines(*form).value(0);
    EXPECT_TRUE(line.startsWith(clock.date().toString(QStringLiteral("yyyy'年'MM'月'dd'日 '"))));
    EXPECT_LT(std::abs(clock.time().secsTo(QTime::fromString(line.section(' ', 2, 2)))), 120);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^オンライン（\\d\\d:\\d\\d:\\d\\d から）／"))
                    .match(Row(0)->data(1, Qt::AccessibleDescriptionRole).toString())
                    .hasMatch());
    auto saveFromMenu = [&] {
        auto* log = form->findChild<QPlainTextEdit*>("Memo1");
        RightClick(log);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible())
                if (auto* save = menu->findChild<QAction*>("SaveLog")) {
                    menu->close();
                    save->trigger();
                    return true;
                }
        return false;
    };
    chooser.answer = QString::fromStdString(dir.path("scan log.txt"));
    ASSERT_TRUE(saveFromMenu());
    EXPECT_EQ(chooser.lastTitle, QStringLiteral("ログを保存"));
    EXPECT_TRUE(chooser.lastFolder.endsWith(
        clock.date().toString(QStringLiteral("'/pingrove-log-'yyyyMMdd'.txt'"))));
    EXPECT_EQ(QString::fromUtf8(ReadFileBytes(dir.path("scan log.txt"))),
              LogLines(*form).join('\n') + '\n');
    chooser.answer = QString::fromStdString(dir.path("no such folder/log.txt"));
    ASSERT_TRUE(saveFromMenu());
    EXPECT_EQ(messages.errors.last(), chooser.answer + QStringLiteral(" に書き込めません"));
    chooser.answer.clear();  // cancelled: nothing written, nothing reported
    ASSERT_TRUE(saveFromMenu());
    EXPECT_EQ(messages.errors.size(), 1);
}

TEST_F(Scan, OfflinePanelAndTrayResetWhenNobodyAnswers) {
    // A scan where somebody answered, then one where nobody did: the mark of the first is gone.
    echo.Set("10.0.0.2", {0, "", 0});
    Start("\"IP\";\"Name\"\r\n\"10.0.0.2\";\"\"\r\n");
    form->runAllScan();
    EXPECT_TRUE(Tray()->isAnimating());
    echo.Set("10.0.0.2", {11010, "", 0});
    form->runAllScan();
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（10.0.0.2）オフライン"));
    EXPECT_FALSE(Tray()->isAnimating());
    EXPECT_EQ(Tray()->iconIndex(), 0);
    EXPECT_EQ(Tray()->hint(), texts::hintNoOnline());
    EXPECT_EQ(LogLines(*form).size(), 1);  // the first scan's answer only
    EXPECT_EQ(sound.played.size(), 1);
}

TEST_F(Scan, EmptyListProbesNothingAndResetsTheTray) {
    Start();
    Tray()->setAnimating(true);
    form->runAllScan();
    EXPECT_EQ(echo.sends, 0);
    EXPECT_FALSE(Tray()->isAnimating());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton1")->isEnabled());
}

TEST_F(Scan, StopTakesEffectAtTheNextRow) {
    echo.Set("127.0.0.1", {0, "", 120});
    Start(kList);
    form->runAllScan();  // every row shows an icon of this scan, cleared by the next
    TargetListView::setSubItem(Row(2), Column::ScanCount, "5");
    AtRow(0, [&] { Child<QToolButton>("SpeedButton6")->click(); });
    form->runAllScan();
    EXPECT_EQ(Image(0), 2);      // the row being probed still gets its reply
    EXPECT_EQ(Cell(1, 3), "2");  // the next row is counted but not probed
    EXPECT_EQ(Image(1), -1);
    EXPECT_EQ(Image(2), -1);
    EXPECT_EQ(Cell(2, 3), "5");
    EXPECT_EQ(echo.sends, 4);
    EXPECT_FALSE(Scans()->stopRequested());
}

// A row the stopped scan counted but did not probe: its facts count what the row shows.
TEST_F(Scan, TheFactsCountWhatTheRowCounts) {
    Start(kList);
    form->runAllScan();
    AtRow(0, [&] { Child<QToolButton>("SpeedButton6")->click(); });
    form->runAllScan();
    EXPECT_EQ(Cell(1, 3), "2");
    EXPECT_TRUE(Row(1)
                    ->data(1, Qt::AccessibleDescriptionRole)
                    .toString()
                    .contains(QStringLiteral("／応答 0/2（0%）")));
}

TEST_F(Scan, YesToTheCloseQueryDuringAnAllScanEndsItAfterTheRowInProgress) {
    echo.Set("127.0.0.1", {0, "", 120});
    Start(kList);
    bool closed = false;
    AtRow(0, [&] { closed = form->close(); });
    form->runAllScan();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(echo.sends, 1);
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Cell(1, 3), "1");
    EXPECT_EQ(ReadFileBytes(ListPath()), kList);
}

TEST_F(Scan, NoToTheCloseQueryLetsTheScanGoOn) {
    echo.Set("127.0.0.1", {0, "", 60});
    Start(kList);
    messages.answerYes = false;
    AtRow(0, [&] { form->close(); });
    form->runAllScan();
    EXPECT_EQ(echo.sends, 3);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Scan, SameAddressTwiceMarksTheFirstRow) {
    Start("\"IP\";\"Name\"\r\n\"127.0.0.1\";\"a\"\r\n\"127.0.0.1\";\"b\"\r\n");
    form->runAllScan();
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Image(1), 3);  // keeps the probe-running icon
    EXPECT_EQ(Row(1)->data(0, Qt::AccessibleTextRole).toString(), QStringLiteral("偵察中"));
    EXPECT_EQ(Cell(0, 2), "1");
    EXPECT_EQ(Cell(1, 2), "1");  // the selected row at its reply is counted
}

// The answering address finds its row by the whole text: "10.0.0.1" is not "10.0.0.10"; and the
// row whose address answered is marked before the probed row that spells it otherwise.
TEST_F(Scan, RepliesFindTheirRowByTheWholeAddress) {
    echo.Set("10.0.0.10", {0, "10.0.0.1", 0});
    echo.Set("127.0.0.1", {0, "", 0});
    Start(
        "\"IP\";\"Name\"\r\n\"10.0.0.10\";\"a\"\r\n\"10.0.0.1\";\"b\"\r\n"
        "\"127.0.0.1\";\"c\"\r\n\"127.1\";\"d\"\r\n");
    List()->focusSelectScroll(Row(0));
    form->runSelectScan();
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    EXPECT_EQ(Image(1), 2);  // 10.0.0.1 answered for 10.0.0.10
    EXPECT_EQ(Image(0), 3);
    List()->focusSelectScroll(Row(3));
    form->runSelectScan();
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    EXPECT_EQ(Image(2), 2);  // 127.0.0.1 answered for 127.1
}

TEST_F(Scan, AnotherSpellingOfTheAddressMarksTheProbedRow) {
    echo.Set("127.0.0.1", {0, "", 0});
    Start("\"IP\";\"Name\"\r\n\"127.000.000.001\";\"a\"\r\n\"127.1\";\"b\"\r\n");
    form->runAllScan();
    EXPECT_EQ(Image(0), 2);
    EXPECT_EQ(Image(1), 2);
    EXPECT_EQ(Cell(1, 2), "1");
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（127.1）オンライン"));
    const QStringList log = LogLines(*form);
    ASSERT_EQ(log.size(), 2);
    for (const QString& line : log)  // the log names the host that answered
        EXPECT_TRUE(line.endsWith(QStringLiteral("｜127.0.0.1"))) << line.toStdString();
}

TEST_F(Scan, SoundOffStillLogsAndAnimates) {
    Start(kList, "[Form]\nCBX1=0\n");
    form->runAllScan();
    EXPECT_TRUE(sound.played.isEmpty());
    EXPECT_EQ(LogLines(*form).size(), 2);
    EXPECT_TRUE(Tray()->isAnimating());
}

TEST_F(Scan, HintIsSetOnlyByTheFirstOnlineReply) {
    Start(kList);
    form->runAllScan();
    EXPECT_EQ(Tray()->hint(), texts::hintOnline());
    Tray()->setHint(QStringLiteral("marker"));
    form->runAllScan();  // animating already: the hint is left alone
    EXPECT_EQ(Tray()->hint(), QStringLiteral("marker"));
}

class ThrowingSound : public FakeSound {
public:
    void playAsyncNoStop(const QString&) override { throw std::runtime_error("no sound"); }
};

TEST_F(Scan, AnErrorInsideThePassReleasesTheWindow) {
    ThrowingSound throwing;
    soundService = &throwing;
    Start(kList);
    Timer()->start();
    EXPECT_THROW(form->runAllScan(), std::runtime_error);
    EXPECT_FALSE(Scans()->allScanRunning());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_TRUE(Child<QAction>("N1")->isEnabled());
    EXPECT_TRUE(ContextMenuOpens());
    EXPECT_TRUE(Timer()->isActive());
    TearDown();
}

TEST_F(Scan, SelectScanRunsOnAWorkerAndReleasesAfterTheReply) {
    Start(kList);
    List()->focusSelectScroll(Row(2));
    Timer()->start();
    form->runSelectScan();
    EXPECT_TRUE(Scans()->selectScanRunning());
    EXPECT_EQ(Image(2), 3);
    EXPECT_EQ(Cell(2, 3), "1");
    EXPECT_EQ(Panel(0), QStringLiteral("偵察中（10.0.0.3）．．．"));
    EXPECT_FALSE(Child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_FALSE(Timer()->isActive());
    // While the worker runs, a new selection enables neither a probe nor a deletion.
    List()->focusSelectScroll(Row(0));
    EXPECT_FALSE(Child<QToolButton>("SpeedButton2")->isEnabled());
    EXPECT_FALSE(Child<QToolButton>("SpeedButton5")->isEnabled());
    form->deleteTarget();
    EXPECT_EQ(List()->rowCount(), 3);
    List()->focusSelectScroll(Row(2));
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    EXPECT_EQ(Image(2), 2);
    EXPECT_EQ(Cell(2, 2), "1");
    EXPECT_EQ(Image(0), -1);  // other rows untouched
    EXPECT_EQ(LogLines(*form).size(), 1);
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（10.0.0.3）オンライン"));
    for (QToolButton* b : LockableButtons()) EXPECT_TRUE(b->isEnabled());
    EXPECT_TRUE(
        Child<QAction>("N9")->isEnabled());  // the main menu follows the selection made meanwhile
    EXPECT_TRUE(Child<QAction>("Delete1")->isEnabled());
    EXPECT_TRUE(Timer()->isActive());
}

TEST_F(Scan, SelectScanWithoutASelectedRowDoesNothing) {
    Start(kList);
    // A selection, cleared while an all scan held the controls: the window still believes in it.
    List()->focusSelectScroll(Row(0));
    echo.Set("10.0.0.3", {0, "", 200});
    AtRow(2, [this] { List()->clearSelection(); });
    form->runAllScan();
    ASSERT_EQ(List()->selectedRow(), nullptr);
    ASSERT_TRUE(ContextMenuOffersTheRow());  // the window still believes in the selection
    const int sends = echo.sends;
    form->runSelectScan();
    EXPECT_FALSE(Scans()->selectScanRunning());
    EXPECT_EQ(echo.sends, sends);
}

TEST_F(Scan, ClosingDuringASelectScanWaitsAndSaves) {
    echo.Set("10.0.0.3", {0, "", 150});
    Start(kList);
    List()->focusSelectScroll(Row(2));
    form->runSelectScan();
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(Scans()->selectScanRunning());
    EXPECT_EQ(Cell(2, 2), "1");
    EXPECT_EQ(ReadFileBytes(ListPath()), kList);
}

// The ICMP helper died while the window was idle: the death is seen before a scan changes any
// row. No all, select or auto scan runs; each command tells the reason instead, and the window
// still closes and saves.
TEST_F(Scan, AHelperThatDiedBeforeTheScanLeavesEveryRowAsItWas) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    ::close(pair[1]);
    IcmpEchoService dead(pair[0]);
    echoService = &dead;
    Start(kList);
    form->runAllScan();
    List()->focusSelectScroll(Row(2));
    form->runSelectScan();
    EXPECT_FALSE(Scans()->selectScanRunning());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Image(i), -1) << i;
        EXPECT_EQ(Cell(i, 3), "0") << i;
    }
    ASSERT_TRUE(WaitFor([&] { return messages.errors.size() == 2; }));
    EXPECT_TRUE(messages.errors[0].startsWith(QStringLiteral("ping を送れなくなりました（")));
    EXPECT_TRUE(messages.errors[0].contains(QStringLiteral("起動し直して")));
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-停止"));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath()), kList);
    ::close(pair[0]);
}

// The helper dies in the middle of an all scan: the probe under way measured nothing, so its row
// and the rows the scan had cleared show their last real results again. Later scans, by hand or
// by the countdown, do not run; hidden in the tray, the reason comes as a notification.
TEST_F(Scan, AHelperThatDiesDuringAScanLeavesTheLastRealResults) {
    Start(kList);
    Scans()->probe().delayMs = 0;
    form->runAllScan();
    AtRow(1, [&] { echo.Break("補助プロセス pingrove-icmp が終了しました"); });
    form->runAllScan();
    EXPECT_EQ(std::vector<int>({Image(0), Image(1), Image(2)}), std::vector<int>({2, 1, 2}));
    EXPECT_EQ(QStringList({Cell(0, 3), Cell(1, 3), Cell(2, 3)}), QStringList({"2", "1", "1"}));
    // A screen reader hears the count taken back too.
    EXPECT_TRUE(Row(1)
                    ->data(1, Qt::AccessibleDescriptionRole)
                    .toString()
                    .contains(QStringLiteral("／応答 0/1（0%）")));
    EXPECT_EQ(Panel(0), QStringLiteral("ping を送れません"));
    ASSERT_TRUE(WaitFor([&] { return messages.errors.size() == 1; }));
    EXPECT_TRUE(messages.errors[0].contains(QStringLiteral("pingrove-icmp が終了しました")));
    Countdown()->start();
    EXPECT_FALSE(Timer()->isActive());
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    emit Countdown()->due();
    EXPECT_EQ(QStringList({Cell(0, 3), Cell(1, 3), Cell(2, 3)}), QStringList({"2", "1", "1"}));
    ASSERT_TRUE(WaitFor([&] { return notifier.bodies.size() == 1; }));
    EXPECT_TRUE(notifier.bodies[0].contains(QStringLiteral("起動し直して")));
    EXPECT_EQ(Tray()->hint(),
              QStringLiteral("ピングローブ\nping を送れません。起動し直してください"));
    EXPECT_EQ(messages.errors.size(), 1);
}

// An echo facility whose flight answers as scripted, by destination: after `delayMs` a reply (or
// the error `status`) arrives, as a socket would have it, on the sweep's own thread; unscripted
// destinations stay silent. It notes when each request went out, and can die as the helper does.
class ScriptedFlights : public FakeEchoService {
public:
    ~ScriptedFlights() override { ::close(gone); }
    void Die() {
        Break("補助プロセス pingrove-icmp が終了しました");
        const uint64_t one = 1;
        (void)!::write(gone, &one, sizeof one);  // as its socket pair's end of file would
    }
    int gone = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::map<std::string, std::pair<int, int>> answers;  // status and delay in ms, by address
    std::mutex mutex;
    std::vector<int64_t> sentNs;
    std::atomic<int> heard{0};

    // "late.test" stands for a name server that takes its time: its row is sent to last.
    std::optional<uint32_t> resolve(const std::string& name) override {
        if (name != "late.test") return FakeEchoService::resolve(name);
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
        return classicInetAddr("10.0.0.6");
    }

    std::unique_ptr<IEchoFlight> openFlight(const std::vector<uint8_t>&) override {
        struct Flight : IEchoFlight {
            ScriptedFlights& s;
            int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
            std::vector<EchoHeard> due;
            explicit Flight(ScriptedFlights& owner) : s(owner) {}
            ~Flight() override { ::close(timer); }
            std::vector<int> descriptors() const override { return {timer, s.gone}; }
            bool broken() const override { return !s.brokenReason().empty(); }
            int send(const EchoDestination& to, uint16_t sequence, uint8_t) override {
                std::lock_guard<std::mutex> lock(s.mutex);
                s.sentNs.push_back(Now());
                const auto a = s.answers.find(dottedAddress(to.address));
                if (a == s.answers.end()) return 0;
                const auto [status, delayMs] = a->second;
                due.push_back({.kind = status ? EchoHeard::Kind::Error : EchoHeard::Kind::Reply,
                               .sequence = sequence,
                               .status = status,
                               .from = to.address,
                               .receivedNs = Now() + delayMs * 1'000'000LL});
                Arm();
                return 0;
            }
            void hear(std::vector<EchoHeard>& out) override {
                uint64_t expirations;
                (void)!::read(timer, &expirations, sizeof expirations);
                std::erase_if(due, [&](const EchoHeard& h) {
                    if (h.receivedNs > Now()) return false;
                    out.push_back(h);
                    ++s.heard;
                    return true;
                });
                Arm();
            }
            void Arm() {
                int64_t next = 0;  // none: disarmed
                for (const EchoHeard& h : due)
                    next = next ? std::min(next, h.receivedNs) : h.receivedNs;
                itimerspec at{};
                at.it_value = {static_cast<time_t>(next / 1'000'000'000), next % 1'000'000'000};
                ::timerfd_settime(timer, TFD_TIMER_ABSTIME, &at, nullptr);
            }
            static int64_t Now() {
                timespec t{};
                ::clock_gettime(CLOCK_MONOTONIC, &t);
                return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
            }
        };
        return std::make_unique<Flight>(*this);
    }
};

class AllAtOnce : public Scan {
protected:
    void SetUp() override { echoService = &flights; }
    ScriptedFlights flights;
};

// Every row is marked from its own outcome as it comes, with the window's every effect: two rows
// whose texts name one address get one answer each; an error, a silence, an unknown name; an
// answer that came after the time-out marks nothing (the scan still waits for a slow name then).
// The log keeps the order of the answers, the sound plays once, and the requests go out 2 ms apart
// at least.
TEST_F(AllAtOnce, EveryRowIsMarkedFromItsOwnOutcome) {
    flights.answers = {{"127.0.0.1", {0, 30}},
                       {"10.0.0.3", {0, 10}},
                       {"10.0.0.4", {11003, 5}},
                       {"10.0.0.5", {0, 300}},
                       {"10.0.0.6", {0, 10}}};
    flights.SetName("self", "127.0.0.1");
    Start(
        "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"\"\r\n\"self\";\"\"\r\n\"10.0.0.2\";\"\"\r\n"
        "\"10.0.0.3\";\"\"\r\n\"10.0.0.4\";\"\"\r\n\"nowhere\";\"\"\r\n\"10.0.0.5\";\"\"\r\n"
        "\"late.test\";\"\"\r\n",
        "[Form]\nCBX4=1\n");
    Scans()->probe().timeoutMs = 200;
    form->runAllScan();
    EXPECT_EQ(std::vector<int>(
                  {Image(0), Image(1), Image(2), Image(3), Image(4), Image(5), Image(6), Image(7)}),
              std::vector<int>({2, 2, 1, 2, 1, 1, 1, 2}));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Cell(i, 3), "1") << i;
    EXPECT_EQ(QStringList({Cell(0, 2), Cell(1, 2), Cell(3, 2), Cell(6, 2), Cell(7, 2)}),
              QStringList({"1", "1", "1", "0", "1"}));
    auto facts = [&](int row) {
        return Row(row)->data(1, Qt::AccessibleDescriptionRole).toString();
    };
    EXPECT_TRUE(facts(4).endsWith(QStringLiteral("（11003）"))) << facts(4).toStdString();
    EXPECT_TRUE(facts(5).endsWith(QStringLiteral("（−1）"))) << facts(5).toStdString();
    EXPECT_TRUE(facts(6).contains(QStringLiteral("応答 0/1（0%）"))) << facts(6).toStdString();
    QStringList answered;
    for (const QString& line : LogLines(*form)) answered << line.section(QStringLiteral("｜"), -1);
    EXPECT_EQ(answered, QStringList({"10.0.0.3", "127.0.0.1", "127.0.0.1", "10.0.0.6"}));
    EXPECT_EQ(sound.played.size(), 1);
    EXPECT_EQ(Panel(0), QStringLiteral("偵察済（late.test）オンライン"));
    EXPECT_TRUE(Tray()->isAnimating());
    ASSERT_EQ(flights.sentNs.size(), 7u);  // the unknown name is never sent to
    for (size_t i = 1; i < flights.sentNs.size(); ++i)
        EXPECT_GE(flights.sentNs[i] - flights.sentNs[i - 1], 2'000'000) << i;

    // A list with one name among its rows has it looked up too (stopped after 10 s if not).
    Start("\"IP\";\"Name\"\r\n\"self\";\"\"\r\n", "[Form]\nCBX4=1\n");
    QObject stuck;
    QTimer::singleShot(10'000, &stuck, [&] { Child<QToolButton>("SpeedButton6")->click(); });
    form->runAllScan();
    EXPECT_EQ(Image(0), 2);
}

// A stop, by the stop button or by the close query while the scan waits for its answers, ends
// the scan at once: the rows without an outcome keep their counts and no icon, as the rows after
// a stopped walk do, and nothing more is heard. So does the helper's death, told as ever. The
// countdown goes on from where it stood.
TEST_F(AllAtOnce, AStopEndsTheScanAtOnce) {
    flights.answers = {{"10.0.0.3", {0, 0}}, {"10.0.0.4", {0, 5000}}};
    Start("\"IP\";\"Name\"\r\n\"10.0.0.3\";\"\"\r\n\"10.0.0.2\";\"\"\r\n\"10.0.0.4\";\"\"\r\n",
          "[Form]\nCBX4=1\n");
    Scans()->probe().timeoutMs = 6000;
    Timer()->stop();  // ticks are driven by hand
    for (int i = 0; i < 100; ++i) Countdown()->tick();
    for (int row : {1, 2}) TargetListView::setSubItem(Row(row), Column::ScanCount, "5");
    const std::function<void()> stops[] = {[&] { Child<QToolButton>("SpeedButton6")->click(); },
                                           [&] { form->close(); }, [&] { flights.Die(); }};
    for (const auto& stop : stops) {
        flights.heard = 0;
        const auto stopping = QObject::connect(Scans(), &ScanRunner::replied, form.get(),
                                               [&] { QTimer::singleShot(50, form.get(), stop); });
        form->runAllScan();
        QObject::disconnect(stopping);
        EXPECT_EQ(Image(0), 2);
        for (int row : {1, 2}) {
            EXPECT_EQ(Image(row), -1);
            EXPECT_EQ(Cell(row, 3), "5");
        }
        EXPECT_EQ(flights.heard, 1);
        EXPECT_FALSE(Scans()->allScanRunning());
        EXPECT_EQ(Countdown()->elapsedSeconds(), 100);
    }
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Cell(0, 3), "3");
    // Hidden by the close: the helper's death comes as a notification.
    EXPECT_TRUE(WaitFor(
        [&] { return notifier.bodies.join('\n').contains(QStringLiteral("起動し直して")); }));
}

TEST_F(Scan, CountdownReachesTheAutoScanOnTheNinehundredthTick) {
    Start(kList);
    Timer()->stop();  // ticks are driven by hand
    Countdown()->tick();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　14分59秒"));
    for (int i = 2; i < 900; ++i) Countdown()->tick();
    EXPECT_EQ(echo.sends, 0);
    Timer()->start();     // the scan saves and restores the running timer
    Countdown()->tick();  // the 900th
    EXPECT_EQ(echo.sends, 3);
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　0分0秒"));
    EXPECT_EQ(Countdown()->elapsedSeconds(), -1);
    EXPECT_TRUE(Timer()->isActive());
    Timer()->stop();
    Countdown()->tick();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　15分0秒"));
    for (int i = 0; i < 900; ++i) Countdown()->tick();
    EXPECT_EQ(echo.sends, 6);  // 901 ticks after the end of the previous one
}

TEST_F(Scan, HandStartedScanKeepsTheCountdown) {
    Start(kList);
    for (int i = 0; i < 100; ++i) Countdown()->tick();
    form->runAllScan();
    EXPECT_EQ(Countdown()->elapsedSeconds(), 100);
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　13分20秒"));
    Countdown()->tick();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　13分19秒"));
}

TEST_F(Scan, IntervalsOfOneZeroAndNoNumber) {
    Start({}, "[Form]\nMIN=1\n");
    Countdown()->tick();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　0分59秒"));
    for (int i = 1; i < 59; ++i) Countdown()->tick();
    EXPECT_TRUE(Panel(0).isEmpty());
    Countdown()->tick();  // the 60th
    EXPECT_EQ(Countdown()->elapsedSeconds(), -1);

    Start({}, "[Form]\nMIN=0\n");
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　0分0秒"));
    Countdown()->tick();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　0分-1秒"));
    for (int i = 1; i < 61; ++i) Countdown()->tick();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　-1分-1秒"));
    EXPECT_EQ(Countdown()->elapsedSeconds(), 61);

    Start({}, "[Form]\nMIN=abc\n");
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　15分0秒"));
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オン(abc分毎)"));
}

TEST(StatusTexts, LogLineFormat) {
    QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    EXPECT_EQ(texts::logLine(when, QLocale(QLocale::Japanese), "10.0.0.1"),
              QStringLiteral("2026年03月04日 水曜日 05:06:07  ｜オンライン  ｜10.0.0.1"));
    EXPECT_EQ(texts::logLine(when, QLocale(QLocale::English), "x"),
              QStringLiteral("2026年03月04日 Wednesday 05:06:07  ｜オンライン  ｜x"));
    EXPECT_EQ(AutoScanCountdown::secondsOf(100000000), 2147483647);
    // An afternoon reads on the 24-hour clock.
    EXPECT_TRUE(texts::logLine(QDateTime(QDate(2026, 3, 4), QTime(17, 6, 7)),
                               QLocale(QLocale::Japanese), "x")
                    .contains(QStringLiteral(" 17:06:07  ｜")));
}

// The log and a row's facts read as the user's clock, in UTC, in Japan and in India (+05:30), just
// after a local midnight, when UTC still has the day before; and a failure an IPv6 router reports
// in the words of ICMPv6.
TEST(StatusTexts, LogAndFactsReadInTheUsersZone) {
    for (const char* zone : {"UTC", "Asia/Tokyo", "Asia/Kolkata"}) {
        LocalZone local(zone);
        const QDateTime when(QDate(2026, 3, 4), QTime(0, 6, 7));
        EXPECT_EQ(texts::logLine(when, QLocale(QLocale::Japanese), "x"),
                  QStringLiteral("2026年03月04日 水曜日 00:06:07  ｜オンライン  ｜x"));
        TargetFacts f;
        f.record(false, 0, 0, when.toMSecsSinceEpoch(), 11004, "fd00::1", true);
        EXPECT_EQ(
            texts::targetFacts(f, when.date()),
            QStringLiteral("オフライン（00:06:07 から）／最終応答 なし／応答 0/1（0%）／最終失敗 "
                           "00:06:07　管理上禁止されています（11004）（fd00::1 から）"))
            << zone;
    }
}

}  // namespace

namespace {

// The countdown alone, tick by tick: the display, the due signal at 0:00, and the rewind after
// an all scan that found it at zero.
TEST(Countdown, TicksDownToDueAndRewindsAfterTheScan) {
    AutoScanCountdown c;
    QList<std::pair<int, int>> shown;
    int due = 0;
    QObject::connect(&c, &AutoScanCountdown::displayChanged, [&](int m, int s) {
        shown.append({m, s});
    });
    QObject::connect(&c, &AutoScanCountdown::due, [&] { ++due; });
    c.restart(1);
    EXPECT_EQ(shown.last(), std::make_pair(1, 0));
    for (int i = 0; i < 59; ++i) c.tick();
    EXPECT_EQ(shown.last(), std::make_pair(0, 1));
    EXPECT_EQ(due, 0);
    c.tick();
    EXPECT_EQ(due, 1);
    EXPECT_TRUE(c.atZero());
    c.rewindIfAtZero(2);
    c.tick();  // the whole new interval first
    EXPECT_EQ(shown.last(), std::make_pair(2, 0));
    c.rewindIfAtZero(5);  // not at zero: nothing changes
    c.tick();
    EXPECT_EQ(shown.last(), std::make_pair(1, 59));
}

// The enabling of the commands as one table: the lock and the selection as the window believes
// it. The window tests check that every change of that state reaches this function.
TEST(CommandStates, TheLockAndTheSelectionDecide) {
    const struct {
        CommandInputs in;
        CommandStates out;
    } table[] = {
        // no scan: the row commands follow the selection
        {{false, false, false, false}, {true, false, true, false}},
        {{false, false, true, true}, {true, true, true, true}},
        // an all scan: everything off but the row items kept as they were
        {{true, false, true, true}, {false, false, false, true}},
        {{true, false, false, false}, {false, false, false, false}},
        // a select scan: all off, the row items too (no second probe, no deletion)
        {{false, true, true, true}, {false, false, false, false}},
        // after a select scan the buttons are on whatever the selection did meanwhile
        {{false, false, true, false}, {true, true, true, false}},
        // an all scan during a select scan: still locked
        {{true, true, true, true}, {false, false, false, false}},
    };
    for (const auto& row : table)
        EXPECT_EQ(commandStates(row.in), row.out) << row.in.allScanLocked << row.in.selectScanLocked
                                                  << row.in.rowButtonsOn << row.in.itemSelected;

    // The lock: the countdown comes back only when it was running.
    AutoScanCountdown countdown;
    int changes = 0;
    ScanLock lock(countdown, [&] { ++changes; });
    countdown.start();
    lock.take(true);
    EXPECT_TRUE(lock.allScanHeld());
    EXPECT_FALSE(countdown.isRunning());
    lock.release(true);
    EXPECT_TRUE(countdown.isRunning());
    countdown.stop();
    lock.take(false);
    lock.release(false);
    EXPECT_FALSE(countdown.isRunning());
    EXPECT_EQ(changes, 4);
}

}  // namespace
