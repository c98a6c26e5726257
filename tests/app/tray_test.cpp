#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QRegularExpression>

#include <QScreen>
#include <QToolButton>
#include <fstream>

#include "app/application.h"
#include "app/history_log.h"
#include "app/program.h"
#include "app/status_texts.h"
#include "app/trouble_watch.h"
#include "app/window_placement.h"
#include "platform/termination_signals.h"
#include "window_fixture.h"

namespace {

TEST_F(Window, MinimisingWithAutoScanGoesToTheTrayAndAClickBringsItBack) {
    Start();
    Tray()->setAnimating(true);  // started before minimising: still running afterwards
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    EXPECT_TRUE(tray.shown);
    EXPECT_EQ(tray.toolTip, QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    EXPECT_TRUE(Tray()->isAnimating());
    tray.onClick(INotificationArea::Click::Other);  // presses and double clicks do nothing
    EXPECT_FALSE(form->isVisible());
    tray.onClick(INotificationArea::Click::LeftUp);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
    EXPECT_FALSE(tray.shown);
    EXPECT_FALSE(Tray()->isVisible());

    form->showMinimized();  // and through the tray menu's 元に戻す
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    Child<QAction>("Undo1")->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(tray.shown);

    form->showMaximized();  // a maximised window comes back maximised
    QApplication::processEvents();
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    tray.onClick(INotificationArea::Click::LeftUp);
    EXPECT_TRUE(WaitFor([&] { return form->isMaximized(); }));
}

// A notification click and the tray menu's 元に戻す bring the window back from wherever it is,
// normal or maximised as it was: minimised into the tray, minimised to the task bar (no tray), or
// still on screen.
TEST_F(Window, EveryWayBackShowsTheWindowAsItWas) {
    Start();
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"notification", [&] { notifier.onActivated(); }},
        {"元に戻す", [&] { Child<QAction>("Undo1")->trigger(); }}};
    enum Place { InTheTray, OnTheTaskBar, OnScreen };
    for (const auto& [way, bringBack] : ways)
        for (const Place place : {InTheTray, OnTheTaskBar, OnScreen})
            for (const bool maximised : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << way << ", place " << place << ", maximised " << maximised);
                tray.present = place == InTheTray;
                maximised ? form->showMaximized() : form->showNormal();
                ASSERT_TRUE(WaitFor([&] { return form->isMaximized() == maximised; }));
                if (place != OnScreen) {
                    form->showMinimized();
                    ASSERT_TRUE(WaitFor([&] {
                        return place == InTheTray ? form->isHidden() : form->isMinimized();
                    }));
                }
                bringBack();
                EXPECT_TRUE(WaitFor([&] {
                    return form->isVisible() && !form->isMinimized() &&
                           form->isMaximized() == maximised;
                }));
                EXPECT_FALSE(tray.shown);
            }
}

// What changed while the user was not watching is told by one desktop notification a scan: a
// target counts as offline after two scans in a row without an answer (one lost scan is no news),
// which is an alert that nothing replaces, with the offline sound once however many went; back
// online it is told with how long it was offline. The tray carries a mark and names the targets
// offline while any is, on screen or not. Nothing is told while the window is watched, nothing
// again while a state stays, nothing with the switch off; a click brings the window back.
TEST_F(Window, ChangesWhileUnseenAreToldByOneNotificationAScan) {
    echo.Set("127.0.0.1", {0, "", 0});
    echo.Set("127.0.0.2", {0, "", 0});
    Start(
        "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"self\"\r\n\"127.0.0.2\";\"\"\r\n"
        "\"10.0.0.9\";\"silent\"\r\n",
        "[Form]\nCBX5=1\nDF2=down.wav\n");
    form->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == form.get(); }));
    // The pixel at the lower right of the picture the tray shows: the mark's red, or not.
    const auto marked = [&] {
        return Tray()->toolTip().contains(QStringLiteral("オフライン 1/3 件：silent")) &&
               tray.icon.pixmap(22).toImage().pixelColor(18, 18) == QColor(0xd3, 0x2f, 0x2f);
    };
    form->runAllScan();
    form->runAllScan();  // the silent one twice: offline, but watched, so not told
    EXPECT_TRUE(notifier.bodies.isEmpty());
    EXPECT_EQ(sound.played.count(QStringLiteral("down.wav")), 1);
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    EXPECT_TRUE(marked());
    for (int frame = 0; frame < 3; ++frame) {  // the animation's frames, the blank one too
        Tray()->nextFrame();
        EXPECT_TRUE(marked()) << frame;
    }
    sound.played.clear();
    form->runAllScan();  // the same states: no news
    echo.Set("127.0.0.1", {11010, "", 0});
    echo.Set("127.0.0.2", {11010, "", 0});
    form->runAllScan();  // one scan lost: not yet
    EXPECT_TRUE(notifier.bodies.isEmpty());
    form->runAllScan();  // two in a row: one alert for both, one sound
    ASSERT_EQ(notifier.bodies.size(), 1);
    EXPECT_EQ(notifier.bodies[0], QStringLiteral("self（127.0.0.1）がオフラインになりました\n"
                                                 "127.0.0.2がオフラインになりました"));
    EXPECT_EQ(notifier.alerts, QList<bool>{true});
    EXPECT_EQ(sound.played.count(QStringLiteral("down.wav")), 1);
    EXPECT_EQ(tray.toolTip, QStringLiteral("ピングローブ\n自動偵察オンラインなし\n"
                                           "オフライン 3/3 件：silent、self、127.0.0.2"));
    echo.Set("127.0.0.1", {0, "", 0});
    echo.Set("127.0.0.2", {0, "", 0});
    echo.Set("10.0.0.9", {0, "", 0});
    form->runAllScan();  // all back: news, but no alert
    ASSERT_EQ(notifier.bodies.size(), 2);
    EXPECT_EQ(notifier.titles[1], QStringLiteral("ピングローブ"));
    const QStringList back = notifier.bodies[1].split('\n');
    ASSERT_EQ(back.size(), 3);
    EXPECT_TRUE(back[0].startsWith(QStringLiteral("self（127.0.0.1）がオンラインに戻りました（")));
    EXPECT_TRUE(back[2].endsWith(QStringLiteral(" 秒間オフライン）"))) << back[2].toStdString();
    EXPECT_EQ(notifier.alerts, (QList<bool>{true, false}));
    EXPECT_EQ(tray.toolTip,
              QStringLiteral("ピングローブ\n自動偵察オンラインあり\nオフラインなし（3 件中）"));
    EXPECT_NE(tray.icon.pixmap(22).toImage().pixelColor(18, 18), QColor(0xd3, 0x2f, 0x2f));
    form->runAllScan();  // told once: the next scan has no news
    EXPECT_EQ(notifier.bodies.size(), 2);
    // Kept: the first results, then each change, in order, as CSV lines with the time's offset.
    auto history = [&] {
        return QString::fromUtf8(ReadFileBytes(HistoryPath()))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    };
    ASSERT_TRUE(WaitFor([&] { return history().size() == 9; }));
    EXPECT_EQ(ReadFileBytes(HistoryPath()).rfind("\xEF\xBB\xBF日時,アドレス,名前,", 0), 0u);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT[\\d:]{8}[+-]\\d\\d:\\d\\d,"))
            .match(history()[1])
            .hasMatch());
    QStringList events;
    for (const QString& line : history().mid(1)) events << line.section(',', 1);
    // Every change, also the one scan lost that nobody was told of.
    EXPECT_EQ(
        events,
        QStringList(
            {"127.0.0.1,self,オンライン,0,応答あり,0.00", "127.0.0.2,,オンライン,0,応答あり,0.00",
             "10.0.0.9,silent,オフライン,11010,時間切れ,",
             "127.0.0.1,self,オフライン,11010,時間切れ,", "127.0.0.2,,オフライン,11010,時間切れ,",
             "127.0.0.1,self,オンライン,0,応答あり,0.00", "127.0.0.2,,オンライン,0,応答あり,0.00",
             "10.0.0.9,silent,オンライン,0,応答あり,0.00"}));
    ASSERT_TRUE(notifier.onActivated);
    notifier.onActivated();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(tray.shown);
    // The program started again with these settings (and this list), its window minimised at
    // once; the close writes both files, so they are replaced after it.
    auto restartMinimisedWith = [&](const char* ini, const std::string& list = {}) {
        form->close();
        WriteFileBytes(IniPath(), ini);
        if (!list.empty()) WriteFileBytes(ListPath(), list);
        Rebuild();
        form->showMinimized();
        return WaitFor([&] { return !form->isVisible(); });
    };
    // The switch off (CBX3=0): minimised and a target back online, and nothing is told.
    Rebuild();
    ASSERT_TRUE(restartMinimisedWith("[Form]\nCBX3=0\n"));
    form->runAllScan();
    EXPECT_EQ(notifier.bodies.size(), 2);
    // Across the restart the file goes on: the new run's first results come after the old lines.
    ASSERT_TRUE(WaitFor([&] { return history().size() == 12; }));
    EXPECT_TRUE(
        history()[9].endsWith(QStringLiteral(",127.0.0.1,self,オンライン,0,応答あり,0.00")));
    // Twelve at once: ten by name, then how many more.
    std::string list = "\"IP\";\"Name\"\r\n";
    for (int i = 1; i <= 12; ++i) {
        const std::string a = "127.0.1." + std::to_string(i);
        echo.Set(a, {0, "", 0});
        list += "\"" + a + "\";\"h" + std::to_string(i) + "\"\r\n";
    }
    ASSERT_TRUE(restartMinimisedWith("[Form]\nCBX3=1\n", list));
    form->runAllScan();
    ASSERT_EQ(notifier.bodies.size(), 3);
    const QStringList lines = notifier.bodies[2].split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[9], QStringLiteral("h10（127.0.1.10）がオンラインになりました"));
    EXPECT_EQ(lines[10], QStringLiteral("ほか 2 件"));
}

// On screen behind another program's window (or on another workspace), the window is not watched:
// what changes is told as when it is hidden.
TEST_F(Window, ChangesAreToldWhileTheWindowIsCovered) {
    echo.Set("127.0.0.1", {0, "", 0});
    Start("\"IP\";\"Name\"\r\n\"127.0.0.1\";\"self\"\r\n");
    form->activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == form.get(); }));
    QApplication::setActiveWindow(nullptr);  // another program's window comes to the front
    form->runAllScan();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(notifier.bodies,
              QStringList{QStringLiteral("self（127.0.0.1）がオンラインになりました")});
}

// The told states over a clock of the test's own: offline from the first probe without an answer
// once FAILS probes in a row went unanswered, back online with how long it was offline.
TEST_F(Window, TroubleIsToldFromTheFirstLostProbeOnceConfirmed) {
    Start("\"IP\";\"Name\"\r\n\"10.0.0.1\";\"gw\"\r\n", "[Form]\nFAILS=3\n");
    auto* trouble = Child<TroubleWatch>("TroubleWatch");
    std::vector<TroubleWatch::Notice> told;
    QObject::connect(trouble, &TroubleWatch::told,
                     [&](const TroubleWatch::Notice& n) { told.push_back(n); });
    const auto result = [&](bool online, int minute) {
        TargetListView::recordResult(Row(0), online, 500, 64, int64_t{minute} * 60000, 11010);
        trouble->recorded(Row(0));
    };
    result(true, 0);
    result(false, 10);
    result(false, 11);
    EXPECT_EQ(told.size(), 1u);  // came online; two lost are not yet trouble
    result(false, 12);
    result(false, 13);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].kind, TroubleWatch::Notice::WentOffline);
    EXPECT_EQ(trouble->offlineCount(), 1);
    result(true, 95);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(texts::backOnline(told[2].name, told[2].address, told[2].offlineMs),
              QStringLiteral("gw（10.0.0.1）がオンラインに戻りました（1 時間 25 分間オフライン）"));
    EXPECT_EQ(trouble->offlineCount(), 0);
    for (int minute = 100; minute < 103; ++minute) result(false, minute);
    EXPECT_EQ(trouble->offlineCount(), 1);
    List()->deleteRow(Row(0));  // a deleted target is no longer told of
    EXPECT_EQ(trouble->offlineCount(), 0);
    EXPECT_EQ((QStringList{texts::duration(59999), texts::duration(60000),
                           texts::duration(3 * 86400000LL + 7200000)}),
              (QStringList{QStringLiteral("59 秒"), QStringLiteral("1 分"),
                           QStringLiteral("3 日 2 時間")}));
    EXPECT_EQ(texts::troubleSummary({QStringLiteral("gw"), QString(30, QLatin1Char('x'))}, 7, 40),
              QStringLiteral("オフライン 7/40 件：gw、") + QString(23, QLatin1Char('x')) +
                  QStringLiteral("… ほか 5 件"));
    EXPECT_EQ(texts::troubleSummary({}, 0, 0), QString());  // nothing known yet
}

// A history line as written: the user's clock with its offset, in UTC, in Japan and in zones a
// half hour off on either side; a name or an address that a spreadsheet would run as a formula
// kept a text; a reason in the words of its family.
TEST(HistoryLog, EachLineAsWritten) {
    const std::pair<const char*, const char*> zones[] = {{"UTC", "+00:00"},
                                                         {"Asia/Tokyo", "+09:00"},
                                                         {"Asia/Kolkata", "+05:30"},
                                                         {"America/St_Johns", "-03:30"}};
    for (const auto& [zone, offset] : zones) {
        LocalZone local(zone);
        const QDateTime when(QDate(2026, 3, 4), QTime(0, 6, 7));
        const QByteArray line = HistoryLog::line({"10.0.0.1", "gw", true, true, 0, 40, when});
        EXPECT_EQ(line, QByteArray("2026-03-04T00:06:07") + offset +
                            ",10.0.0.1,gw,オンライン,0,応答あり,0.04\r\n");
        // Read back where the uptime is worked out: the same moment, whatever the zone.
        EXPECT_EQ(HistoryLog::event(line)->atMs, when.toMSecsSinceEpoch());
    }
    const std::pair<const char*, const char*> texts[] = {
        {"=1+2", "'=1+2"}, {"+1", "'+1"},       {"-1", "'-1"}, {"@A1", "'@A1"},
        {"\tx", "'\tx"},   {"\rx", "\"'\rx\""}, {"x=1", "x=1"}};
    for (const auto& [text, written] : texts) {
        const QByteArray line =
            HistoryLog::line({text, text, false, false, 11010, 0, QDateTime::currentDateTime()});
        EXPECT_EQ(line.mid(26),
                  QByteArray(written) + ',' + written + ",オフライン,11010,時間切れ,\r\n");
        EXPECT_EQ(HistoryLog::event(line)->address, text);
    }
    StateChange prohibited{"fd00::1", "", false, false, 11004, 0, QDateTime::currentDateTime()};
    EXPECT_TRUE(HistoryLog::line(prohibited).endsWith(",11004,プロトコルに到達できません,\r\n"));
    prohibited.ipv6 = true;
    EXPECT_TRUE(HistoryLog::line(prohibited).endsWith(",11004,管理上禁止されています,\r\n"));
}

TEST_F(Window, ClosedFromTheTrayTheStoredPlaceIsWhereTheWindowWas) {
    Start();
    form->move(200, 150);
    QApplication::processEvents();
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    form->move(200, 130);  // the window manager put the withdrawn client where its frame was
    Child<QAction>("Exit2")->trigger();
    const std::string ini = ReadFileBytes(IniPath());
    EXPECT_NE(ini.find("Left=200\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Top=150\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("WindowState=1\n"), std::string::npos) << ini;

    // Back from the tray and moved: the place kept from the tray is history.
    Rebuild();
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    tray.onClick(INotificationArea::Click::LeftUp);
    ASSERT_TRUE(WaitFor([&] { return form->isVisible() && !form->isMinimized(); }));
    form->move(260, 170);
    QApplication::processEvents();
    ASSERT_TRUE(form->close());
    const std::string moved = ReadFileBytes(IniPath());
    EXPECT_NE(moved.find("Left=260\n"), std::string::npos) << moved;
    EXPECT_NE(moved.find("WindowState=0\n"), std::string::npos) << moved;

    // A window manager that resizes the window to the screen before it says it is maximised
    // (xfwm4): the screen's size is never taken for the normal place, neither where the window
    // comes back to from the tray nor in the file.
    Rebuild();
    form->setGeometry(240, 160, 600, 450);
    QApplication::processEvents();
    form->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    QApplication::processEvents();  // the state comes a turn later
    form->setWindowState(Qt::WindowMaximized);
    QApplication::processEvents();
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    tray.onClick(INotificationArea::Click::LeftUp);
    ASSERT_TRUE(WaitFor([&] { return form->isVisible() && form->isMaximized(); }));
    // Mapped at its normal place, then maximised: that place is the normal one.
    EXPECT_EQ(form->normalGeometry(), QRect(240, 160, 600, 450));
    // The frame's corner, as the file keeps it.
    const QPoint corner = QPoint(240, 160) - (form->geometry().topLeft() - form->pos());
    ASSERT_TRUE(form->close());
    const std::string maximised = ReadFileBytes(IniPath());
    EXPECT_NE(maximised.find("Left=" + std::to_string(corner.x()) +
                             "\nTop=" + std::to_string(corner.y()) + "\nWidth=600\nHeight=450\n"),
              std::string::npos)
        << maximised;
}

TEST_F(Window, MinimisingWithoutAutoScanIsAnOrdinaryMinimise) {
    Start({}, "[Form]\nCBX2=0\n");
    form->showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(tray.shown);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Window, WithoutANotificationAreaTheMinimiseGoesToTheTaskBar) {
    tray.present = false;  // stock GNOME: an ordinary minimise, no message, the scans go on
    echo.Set("127.0.0.1", {0, "", 0});
    Start("\"IP\";\"Name\"\r\n\"127.0.0.1\";\"self\"\r\n");
    form->runAllScan();  // on screen: no need to ask for attention
    form->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(tray.shown);
    EXPECT_TRUE(messages.errors.isEmpty());
    EXPECT_TRUE(Timer()->isActive());
    // An answer while minimised: the task bar entry asks for attention in the icon's place.
    EXPECT_EQ(tray.attentions, 0);
    form->runAllScan();
    EXPECT_EQ(tray.attentions, 1);
    // A panel that starts now takes the window in.
    ASSERT_TRUE(tray.awaited);
    tray.present = true;
    tray.onArrived();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    EXPECT_TRUE(tray.shown);
}

TEST_F(Window, ANotificationAreaThatRefusesTheIconRefusesTheMinimise) {
    tray.accepts = false;
    Start();
    form->showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(messages.errors,
              QStringList{QStringLiteral("Cannot Create System Shell Notification Icon")});
}

TEST_F(Window, ExitFromTheTrayMenuAsksFirst) {
    Start();
    messages.answerYes = false;
    Child<QAction>("Exit2")->trigger();
    EXPECT_EQ(messages.questions.size(), 1);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Window, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
    auto* app = qobject_cast<Application*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    QStringList shown;
    auto previous = app->showError;
    app->showError = [&](const QString& text) { shown << text; };
    QTimer::singleShot(0, [] { throw std::runtime_error("故障"); });
    QTimer::singleShot(1, [] { throw std::bad_alloc(); });  // told in Japanese, not by its name
    QTimer::singleShot(5, [] {});
    ASSERT_TRUE(WaitFor([&] { return shown.size() == 2; }));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("故障"), QStringLiteral("メモリが足りません。")}));
    app->showError = previous;
}

TEST_F(Window, WithoutAnEchoSocketTheWindowCannotBeBuilt) {
    echo.available = false;
    EXPECT_THROW(Start(), IcmpUnavailable);
}

TEST_F(Window, GeometryAndStateSurviveARestart) {
    Start();
    EXPECT_EQ(form->size(), QSize(610, 490));
    EXPECT_EQ(List()->columnWidth(2), 250);
    List()->setColumnWidth(2, 180);
    form->resize(700, 500);
    form->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(form->close());
    std::string ini = ReadFileBytes(IniPath());
    EXPECT_NE(ini.find("WindowState=2\n"), std::string::npos);
    EXPECT_NE(ini.find("LCWidth2=180\n"), std::string::npos);
    Rebuild();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_EQ(List()->columnWidth(2), 180);

    // Stored places nobody could reach are brought onto the screen; reachable ones are kept.
    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    EXPECT_EQ(reachableGeometry(QRect(-30000, 10, 610, 490), screens), QRect(0, 10, 610, 490));
    EXPECT_EQ(reachableGeometry(QRect(0, 0, 2147483647, 490), screens), QRect(0, 0, 1920, 490));
    EXPECT_EQ(reachableGeometry(QRect(2500, -5, 610, 490), screens), QRect(2500, 0, 610, 490));
    EXPECT_EQ(reachableGeometry(QRect(-100, 300, 610, 490), screens), QRect(-100, 300, 610, 490));
    EXPECT_EQ(reachableGeometry(QRect(3000, 100, 610, 490), screens), QRect(3000, 100, 610, 490));
    Start({}, "[Form]\nLeft=-30000\nTop=0\nWidth=2147483647\nHeight=490\n");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(form->frameGeometry().topLeft()));
    EXPECT_LE(form->width(), screen.width());
}

TEST_F(Window, SortedOrderIsTheSavedOrderAndCountsStartAgain) {
    Start("\"IP\";\"Name\"\r\n\"10.0.0.2\";\"b\"\r\n\"10.0.0.1\";\"a\"\r\n");
    TargetListView::setSubItem(Row(0), Column::OnlineCount, "3");
    form->sortByColumn(2);
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath()),
              "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"a\"\r\n\"10.0.0.2\";\"b\"\r\n");
    Rebuild();
    EXPECT_EQ(Cell(1, 2), "0");

    // A name of a megabyte is shown cut short and saved whole.
    const std::string list =
        "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"" + std::string(1 << 20, 'n') + "\"\r\n";
    WriteFileBytes(ListPath(), list);
    Rebuild();
    EXPECT_LE(Row(0)->text(2).size(), TargetListView::kShownLength + 1);
    EXPECT_EQ(Cell(0, 1).size(), 1 << 20);
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath()), list);
    EXPECT_TRUE(messages.informs.isEmpty());

    // A column the list cannot show survives in the backup, and the user hears of it.
    const std::string memo = "\"IP\";\"Name\";\"Memo\"\r\n\"10.0.0.1\";\"a\";\"m\"\r\n";
    WriteFileBytes(ListPath(), memo);
    Rebuild();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath() + ".bak"), memo);
    ASSERT_EQ(messages.informs.size(), 1);
    EXPECT_TRUE(messages.informs[0].contains("iplist.txt.bak"));
    EXPECT_TRUE(messages.informs[0].startsWith(QStringLiteral("保存できない内容があったため")));

    // More rows than the window holds: it starts empty, names the real limit, and the list is
    // kept under the next backup name at the close.
    std::string many = "\"IP\";\"Name\"\r\n";
    for (size_t i = 0; i <= TargetListFile::kRowLimit; ++i) many += "\"10.0.0.1\";\"\"\r\n";
    WriteFileBytes(ListPath(), many);
    Rebuild();
    EXPECT_EQ(List()->rowCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return !messages.errors.isEmpty(); }));
    EXPECT_TRUE(messages.errors.last().contains(
        QStringLiteral("（上限 %1 件）").arg(TargetListFile::kRowLimit)))
        << messages.errors.last().toStdString();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath() + ".bak.1"), many);
    EXPECT_TRUE(
        messages.informs.last().startsWith(QStringLiteral("読み込めなかった元の偵察先リスト")))
        << messages.informs.last().toStdString();

    // A list read whole whose rows find no room: the same, with the memory named.
    const std::string few = "\"IP\";\"Name\"\r\n\"10.0.0.1\";\"a\"\r\n";
    WriteFileBytes(ListPath(), few);
    beforeShow = [](MainWindow& w) {
        w.findChild<TargetListView*>("ListView1")->setRoomCheck([](size_t) { return false; });
    };
    Rebuild();
    EXPECT_EQ(List()->rowCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return messages.errors.last().contains(QStringLiteral("メモリ")); }));
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath() + ".bak.2"), few);
}

// The room for the rows is asked for before they are built: an allocation refused on the way (an
// address-space limit) leaves the list empty, not a crash. A child's address space is limited.
TEST(ListView, RowsThatCannotBeHeldAreRefusedNotACrash) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit allows";
#else
    TargetListView view;
    std::vector<Target> targets(TargetListFile::kRowLimit,
                                Target{QStringLiteral("10.0.0.1"), QStringLiteral("name"), {}, {}});
    const pid_t pid = ::fork();
    if (pid == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t bytes = static_cast<rlim_t>(pages) * 4096 + (32u << 20);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
        const bool refused = !view.appendRows(targets) && view.rowCount() == 0;
        ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(view.appendRows(targets));  // with the memory there, they are all added
    EXPECT_EQ(static_cast<size_t>(view.rowCount()), targets.size());
#endif
}

TEST_F(Window, FailedWritesAreReportedAndTheWindowStaysOpen) {
    Start("\"IP\";\"Name\"\r\n\"10.0.0.1\";\"a\"\r\n");
    const std::string before = ReadFileBytes(ListPath());
    ::mkdir(IniPath().c_str(), 0700);  // the settings file cannot be replaced
    form->deleteTarget();
    List()->focusSelectScroll(Row(0));
    form->deleteTarget();  // an edit that must not be lost silently
    messages.answers = {true, false};  // 終了しますか？ はい, then 保存せずに終了しますか？ いいえ
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(messages.errors,
              QStringList{QString::fromStdString(IniPath()) + QStringLiteral(" に書き込めません")});
    EXPECT_NE(ReadFileBytes(ListPath()), before);  // the list is saved all the same

    ::unlink(ListPath().c_str());
    ::mkdir(ListPath().c_str(), 0700);  // now neither can be written: both in one message
    messages.answers = {true, false};
    EXPECT_FALSE(form->close());
    EXPECT_EQ(messages.errors.last(),
              QString::fromStdString(IniPath()) + QStringLiteral(" に書き込めません\n") +
                  QString::fromStdString(ListPath()) + QStringLiteral(" に書き込めません"));
    EXPECT_EQ(messages.questions.last(), QStringLiteral("保存せずに終了しますか？"));
    ::rmdir(ListPath().c_str());
    ::rmdir(IniPath().c_str());
    EXPECT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath()), "\"IP\";\"Name\"\r\n");

    Start("\"IP\";\"Name\"\r\n\"10.0.0.1\";\"a\"\r\n");
    ::mkdir(IniPath().c_str(), 0700);
    EXPECT_TRUE(form->close());  // はい to both: the user is never kept in
    ::rmdir(IniPath().c_str());

    // A history that cannot be written is told of once, however many changes follow.
    ::mkdir(HistoryPath().c_str(), 0700);
    messages.errors.clear();
    Start();
    for (const int status : {0, 11010, 0}) {
        echo.Set("10.0.0.1", {status, "", 0});
        form->runAllScan();
    }
    form->findChild<HistoryLog*>("HistoryLog")->settle();
    EXPECT_EQ(messages.errors, QStringList{QStringLiteral("履歴ファイル %1 に書き込めません。")
                                               .arg(QString::fromStdString(HistoryPath()))});
    ::rmdir(HistoryPath().c_str());
}

// Every way of saying はい ends the event loop, also from the tray where no window is on screen.
TEST_F(Window, EveryYesEndsTheEventLoop) {
    const std::vector<std::pair<const char*, std::function<void(MainWindow&)>>> ways = {
        {"close box", [](MainWindow& f) { f.close(); }},
        {"終了 menu", [](MainWindow& f) { f.findChild<QAction*>("Exit1")->trigger(); }},
        {"tray menu",
         [](MainWindow& f) {
             f.showMinimized();
             WaitFor([&] { return !f.isVisible(); });
             f.findChild<QAction*>("Exit2")->trigger();
         }},
        {"session end", [](MainWindow& f) { f.endSession(true); }},
        {"session end without questions", [](MainWindow& f) { f.endSession(false); }},
        {"SIGTERM", [](MainWindow&) { ::raise(SIGTERM); }},
        {"SIGHUP", [](MainWindow&) { ::raise(SIGHUP); }},
        {"SIGINT", [](MainWindow&) { ::raise(SIGINT); }},
        // Sent in the first instants, before the window could save: held until it can.
        {"SIGTERM before the window could save", nullptr},
    };
    for (const auto& [name, way] : ways) {
        Start();
        ::unlink(IniPath().c_str());
        List()->appendRow({"10.9.9.9", "edited", {}, {}});
        if (!way) {
            holdTerminationSignals();
            ::raise(SIGTERM);
        }
        endProgramWithWindow(*qobject_cast<QApplication*>(QCoreApplication::instance()), *form);
        if (way) QTimer::singleShot(0, form.get(), [this, way = way] { way(*form); });
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        safety.start(3000);
        EXPECT_EQ(QApplication::exec(), 0) << name;
        EXPECT_FALSE(ReadFileBytes(IniPath()).empty()) << name;
        EXPECT_NE(ReadFileBytes(ListPath()).find("10.9.9.9"), std::string::npos) << name;
    }
    Start();
    messages.answers = {false};  // いいえ at the session's end: a window in the tray comes back
    form->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
    EXPECT_FALSE(form->endSession(true));
    EXPECT_TRUE(form->isVisible());
}

}  // namespace
