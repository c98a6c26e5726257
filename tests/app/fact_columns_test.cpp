#include <QAction>
#include <QDateTime>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>

#include "app/fact_columns.h"
#include "app/uptime_book.h"
#include "window_fixture.h"

namespace {

const std::string kList =
    "\"IP\";\"Name\"\r\n\"127.0.0.1\";\"self\"\r\n\"10.0.0.2\";\"silent\"\r\n"
    "\"10.0.0.3\";\"answers\"\r\n";

class Columns : public Window {
protected:
    void SetUp() override {
        echo.Set("127.0.0.1", {0, "", 7});
        echo.Set("10.0.0.3", {0, "", 2});
    }
    bool Shown(int column) const { return !List()->header()->isSectionHidden(column); }
    QAction* MenuItem(int column) const {
        return List()->findChild<QAction*>(QStringLiteral("ShowColumn%1").arg(column));
    }
    QString Text(int row, int column) const { return Row(row)->text(column); }
    void Scan() {
        Scans()->probe().delayMs = 0;
        form->runAllScan();
    }
};

// Hidden at first, shown and hidden from the header's menu, and kept with their widths.
TEST_F(Columns, HiddenUntilShownFromTheHeaderAndKept) {
    Start(kList);
    for (int c = 0; c < kAllColumnCount; ++c) EXPECT_EQ(Shown(c), c < kColumnCount) << c;
    RightClick(List()->header());
    auto* menu = List()->findChild<QMenu*>(QStringLiteral("ColumnMenu"));
    ASSERT_TRUE(menu && menu->isVisible());
    menu->close();
    EXPECT_EQ(menu->actions().size(), 6);
    MenuItem(5)->trigger();
    MenuItem(9)->trigger();
    EXPECT_TRUE(Shown(5) && Shown(9) && !Shown(6));
    List()->setColumnWidth(9, 123);
    MenuItem(9)->trigger();  // hidden again: its width is kept for the next time
    ASSERT_TRUE(form->close());
    const std::string ini = ReadFileBytes(IniPath());
    EXPECT_NE(ini.find("LCShow=5\nLCWidth5=80\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("LCWidth9=123\n"), std::string::npos) << ini;

    Start({}, "[Form]\nLCShow=9,6\nLCWidth9=140\n");
    EXPECT_TRUE(Shown(6) && Shown(9) && !Shown(5));
    EXPECT_TRUE(MenuItem(9)->isChecked());
    EXPECT_FALSE(MenuItem(5)->isChecked());
    EXPECT_EQ(List()->columnWidth(9), 140);
}

// Each cell after a scan, as the view shows it and as a screen reader hears it; sorted by value
// with the unknown last in both directions.
TEST_F(Columns, ValuesAfterAScanAndSortedByValue) {
    Start(kList, "[Form]\nLCShow=5,6,7,8\n");
    Scan();
    Scan();
    EXPECT_EQ(Text(0, 9), QString());  // hidden: nothing, also for a screen reader
    EXPECT_EQ(Text(0, 5), QStringLiteral("7.00 ms"));
    EXPECT_EQ(Text(1, 5), QStringLiteral("—"));
    EXPECT_EQ(Text(0, 6), QStringLiteral("0%"));
    EXPECT_EQ(Text(1, 6), QStringLiteral("100%"));
    EXPECT_TRUE(Text(0, 7).endsWith(QStringLiteral(" 秒"))) << Text(0, 7).toStdString();
    EXPECT_EQ(Text(0, 8).left(10), QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
    EXPECT_EQ(Text(1, 8), QStringLiteral("—"));
    EXPECT_EQ(Row(0)->data(5, Qt::AccessibleTextRole).toString(),
              QStringLiteral("応答時間 7.00 ms"));
    EXPECT_EQ(Row(1)->data(8, Qt::AccessibleTextRole).toString(), QStringLiteral("最終応答 なし"));

    const auto order = [&] { return QStringList{Cell(0, 0), Cell(1, 0), Cell(2, 0)}; };
    form->sortByColumn(5);
    EXPECT_EQ(order(), (QStringList{"10.0.0.3", "127.0.0.1", "10.0.0.2"}));
    form->sortByColumn(5);
    EXPECT_EQ(order(), (QStringList{"127.0.0.1", "10.0.0.3", "10.0.0.2"}));
    form->sortByColumn(6);
    EXPECT_EQ(order(), (QStringList{"127.0.0.1", "10.0.0.3", "10.0.0.2"}));
    form->sortByColumn(6);
    EXPECT_EQ(order().first(), "10.0.0.2");  // the most lost first
}

// A history written before the start gives the shares over the last day and week: a state holds
// until the target's next change. Damaged and foreign lines are skipped, the older file read too.
TEST_F(Columns, UptimeFromTheHistoryKeptBeforeTheStart) {
    const QDateTime now = QDateTime::currentDateTime().toOffsetFromUtc(9 * 3600);
    const auto line = [&](double hoursAgo, const char* address, const char* state) {
        const QDateTime at = now.addSecs(static_cast<qint64>(-hoursAgo * 3600));
        return at.toString(Qt::ISODate).toStdString() + "," + address + ",name," + state +
               ",0,x,1\r\n";
    };
    // No uptime shown at the start: nothing is read until one is shown (the history below is
    // written after the start, and found).
    Start(kList + "\"10.0.0.4\";\"rare\"\r\n", "[Form]\nLCShow=5\n");
    QCoreApplication::processEvents();
    WriteFileBytes(HistoryPath() + ".1",
                   "\xEF\xBB\xBF日時,アドレス\r\n" + line(30, "127.0.0.1", "オンライン"));
    WriteFileBytes(HistoryPath(),
                   line(12, "127.0.0.1", "オフライン") + "garbage,,\r\n" +
                       line(9, "10.0.0.2", "unknown") + "2026-13-40T99,x,y,z\r\n" +
                       line(6, "\"127.0.0.1\"", "オンライン") + line(6, "10.0.0.3", "オフラ") +
                       line(23, "10.0.0.3", "オンライン") + line(0.01, "10.0.0.3", "オフライン") +
                       line(23, "10.0.0.4", "オフライン") + line(0.01, "10.0.0.4", "オンライン"));
    // The view and a screen reader hear that the uptimes changed when the history is in.
    QSignalSpy changed(List()->model(), &QAbstractItemModel::dataChanged);
    MenuItem(9)->trigger();
    MenuItem(10)->trigger();
    ASSERT_TRUE(WaitFor([&] { return Text(0, 9) != QStringLiteral("—"); }));
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_EQ(changed.last()[0].toModelIndex().column(), 9);
    EXPECT_EQ(changed.last()[1].toModelIndex().row(), 3);
    EXPECT_EQ(Text(0, 9), QStringLiteral("75%"));   // 12 h online, 6 off, 6 on
    EXPECT_EQ(Text(0, 10), QStringLiteral("80%"));  // and 6 h more online before that
    EXPECT_EQ(Text(1, 9), QStringLiteral("—"));
    EXPECT_EQ(Text(2, 10), QStringLiteral("99.9%"));  // 36 s offline is not nothing
    EXPECT_EQ(Text(3, 9), QStringLiteral("0.1%"));    // nor 36 s online
    // This run's results count on from there.
    Scan();
    EXPECT_EQ(Text(0, 10), QStringLiteral("80%"));
}

TEST(UptimeBook, SharesOfTheTimeKnown) {
    UptimeBook book;
    book.record("a", 1000, true);
    book.record("a", 2000, true);  // no change
    book.record("a", 4000, false);
    EXPECT_EQ(book.share("a", 0, 5000), 0.75);
    EXPECT_EQ(book.share("a", 3000, 5000), 0.5);
    EXPECT_EQ(book.share("a", 0, 1000), std::nullopt);
    EXPECT_EQ(book.share("b", 0, 5000), std::nullopt);
    // What the history holds comes before this run's own, up to when the run began.
    UptimeBook read;
    read.record("a", 0, false);
    read.record("a", 500, true);
    read.record("a", 4000, false);  // written by this run: not twice
    book.takeEarlier(read, 1000);
    EXPECT_EQ(book.share("a", 0, 5000), 0.7);
    book.forgetBefore(600);
    EXPECT_EQ(book.share("a", 0, 5000), 3.5 / 4.5);
}

}  // namespace
