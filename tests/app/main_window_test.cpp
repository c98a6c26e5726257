#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

#include "app/command_line.h"
#include "app/program.h"
#include "window_fixture.h"

namespace {

const std::string kThree =
    "\"IP\";\"Name\"\r\n\"192.168.0.9\";\"b\"\r\n\"192.168.0.10\";\"a\"\r\n\"10.0.0.1\";\"c\"\r\n";

TEST_F(Window, StartShowsTheDesignedWindow) {
    Start();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ピングローブ v1.05"));
    EXPECT_EQ(Child<QGroupBox>("GroupBox1")->title(), QStringLiteral("偵察先管理"));
    EXPECT_EQ(Child<QGroupBox>("GroupBox2")->title(),
              QStringLiteral("偵察ログ（偵察先がオンライン時に出力）"));
    struct Button {
        const char* name;
        const char* hint;
        bool enabled;
    };
    for (const Button& b : {Button{"SpeedButton2", "選択偵察", false},
                            {"SpeedButton1", "全偵察", true},
                            {"SpeedButton6", "偵察の停止", true},
                            {"SpeedButton3", "偵察先の追加", true},
                            {"SpeedButton5", "偵察先の削除", false},
                            {"SpeedButton4", "偵察先の更新", false}}) {
        auto* w = Child<QToolButton>(b.name);
        ASSERT_NE(w, nullptr) << b.name;
        EXPECT_EQ(w->toolTip(), QString::fromUtf8(b.hint)) << b.name;
        EXPECT_EQ(w->isEnabled(), b.enabled) << b.name;
        EXPECT_FALSE(w->icon().isNull()) << b.name;
    }
    EXPECT_FALSE(Child<QToolButton>("SpeedButton4")->isVisible());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton1")->isVisible());
    auto* n8 = Child<QMenu>("N8");
    EXPECT_EQ(n8->title(), QStringLiteral("偵察"));
    EXPECT_FALSE(Child<QAction>("N9")->isEnabled());
    EXPECT_TRUE(Child<QAction>("N10")->isEnabled());
    EXPECT_FALSE(Child<QAction>("Delete1")->isEnabled());
    EXPECT_FALSE(Child<QAction>("N3")->isVisible());
    EXPECT_EQ(Child<QAction>("About1")->text(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(Child<QAction>("Undo1")->text(), QStringLiteral("元に戻す"));

    QHeaderView* h = List()->header();
    const char* headers[5] = {"！", "偵察先ＩＰアドレス", "偵察先名", "オンライン回数", "偵察回数"};
    const int widths[5] = {20, 100, 250, 100, 100};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(List()->headerItem()->text(i), QString::fromUtf8(headers[i]));
        EXPECT_EQ(h->sectionSize(i), widths[i]);
    }
    auto* log = Child<QHeaderView>("HeaderControl1");
    EXPECT_EQ(log->sectionSize(0), 186);
    EXPECT_EQ(log->sectionSize(1), 71);
    EXPECT_EQ(log->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("偵察先ＩＰアドレス"));
    EXPECT_EQ(Child<QLabel>("StatusPanel0")->width(), 180);
    EXPECT_EQ(Child<QLabel>("StatusPanel1")->width(), 60);
    EXPECT_EQ(Child<QLabel>("StatusPanel2")->width(), 130);

    EXPECT_EQ(Panel(0), QString());
    EXPECT_EQ(Panel(1), QStringLiteral("音-オン"));
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オン(15分毎)"));
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　15分0秒"));
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_EQ(Tray()->hint(), QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    ASSERT_NE(Tray()->frames(), nullptr);
    EXPECT_EQ(Tray()->frames()->size(), 1);  // the "NT" family's frames: the face alone
    EXPECT_FALSE(Tray()->isVisible());
    EXPECT_EQ(Scans()->probe().timeoutMs, 1000);
    EXPECT_EQ(Scans()->probe().attempts, 1);
}

TEST_F(Window, SettingsOffShowTheirTexts) {
    Start({}, "[Form]\nCBX1=0\nCBX2=0\nMIN=7\n");
    EXPECT_EQ(Panel(1), QStringLiteral("音-オフ"));
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オフ"));
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　7分0秒"));
    EXPECT_FALSE(Timer()->isActive());
}

TEST_F(Window, SelectionEnablesTheRowCommands) {
    Start(kThree);
    List()->focusSelectScroll(Row(1));
    EXPECT_TRUE(Child<QToolButton>("SpeedButton2")->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton5")->isEnabled());
    EXPECT_TRUE(Child<QAction>("N9")->isEnabled());
    EXPECT_TRUE(Child<QAction>("Delete1")->isEnabled());
    List()->focusSelectScroll(Row(2));  // moving the selection keeps them enabled
    EXPECT_TRUE(Child<QToolButton>("SpeedButton2")->isEnabled());
    form->onContextMenu();
    EXPECT_TRUE(Child<QAction>("N6")->isEnabled());
    EXPECT_TRUE(Child<QAction>("N4")->isEnabled());
    // A click below the last row selects nothing, and the row's commands go with the selection.
    const QPoint below(5, List()->viewport()->height() - 2);
    ASSERT_EQ(List()->itemAt(below), nullptr);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(List()->selectedRow(), nullptr);
    EXPECT_FALSE(ContextMenuOffersTheRow());
    List()->focusSelectScroll(Row(2));
    List()->clearSelection();
    EXPECT_FALSE(ContextMenuOffersTheRow());
    EXPECT_FALSE(Child<QToolButton>("SpeedButton2")->isEnabled());
    EXPECT_FALSE(Child<QAction>("Delete1")->isEnabled());
    form->onContextMenu();
    EXPECT_FALSE(Child<QAction>("N6")->isEnabled());
    EXPECT_FALSE(Child<QAction>("N4")->isEnabled());
    EXPECT_TRUE(Child<QAction>("N7")->isEnabled());
    EXPECT_TRUE(Child<QAction>("N2")->isEnabled());

    // (The all scan's own selections change nothing: see the scan tests.)

    // The same commands from the keyboard, under the same rules; screen readers hear each
    // button's hint and each row's state.
    QApplication::setActiveWindow(form.get());
    List()->setFocus();
    ASSERT_TRUE(WaitFor([&] { return List()->hasFocus(); }));
    QTest::keyClick(List(), Qt::Key_Delete);  // nothing selected: nothing deleted
    EXPECT_EQ(List()->rowCount(), 3);
    List()->focusSelectScroll(Row(1));
    QTest::keyClick(List(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning() && Image(1) > 0; }));
    EXPECT_EQ(Row(1)->data(0, Qt::AccessibleTextRole).toString(),
              Image(1) == 2 ? QStringLiteral("オンライン") : QStringLiteral("オフライン"));
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(List()->rowCount(), 2);
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_EQ(Cell(0, 3), "1");  // the all scan ran
    EXPECT_EQ(Child<QToolButton>("SpeedButton1")->accessibleName(), QStringLiteral("全偵察"));
}

TEST_F(Window, ColumnClicksSortAsTextAndFlipTheDirection) {
    Start(kThree);
    auto addresses = [&] {
        QStringList out;
        for (int i = 0; i < List()->rowCount(); ++i) out << Cell(i, 0);
        return out;
    };
    form->sortByColumn(1);
    EXPECT_EQ(addresses(), (QStringList{"10.0.0.1", "192.168.0.10", "192.168.0.9"}));
    form->sortByColumn(2);  // any column: now descending by name
    EXPECT_EQ(addresses(), (QStringList{"10.0.0.1", "192.168.0.9", "192.168.0.10"}));

    // Counts sort as text too: 10, 2, 9.
    TargetListView::setSubItem(Row(0), Column::ScanCount, "9");
    TargetListView::setSubItem(Row(1), Column::ScanCount, "10");
    TargetListView::setSubItem(Row(2), Column::ScanCount, "2");
    form->sortByColumn(4);
    QStringList counts;
    for (int i = 0; i < 3; ++i) counts << Cell(i, 3);
    EXPECT_EQ(counts, (QStringList{"10", "2", "9"}));

    // Refused while the scan lock holds: no sort, and no flip (the next sort is descending).
    const QStringList order = {Cell(0, 0), Cell(1, 0), Cell(2, 0)};
    echo.Set(Cell(0, 0).toStdString(), {0, "", 300});
    List()->focusSelectScroll(Row(0));
    form->runSelectScan();
    form->sortByColumn(1);
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    EXPECT_EQ(order, (QStringList{Cell(0, 0), Cell(1, 0), Cell(2, 0)}));
    form->sortByColumn(1);
    EXPECT_EQ(addresses(), (QStringList{"192.168.0.9", "192.168.0.10", "10.0.0.1"}));
}

TEST_F(Window, SortByNameUsesCodePage932ByteOrderAndKeepsTheSelection) {
    Start(
        "\"IP\";\"Name\"\r\n\"1\";\"ルータ\"\r\n\"2\";\"ｱ\"\r\n\"3\";\"abc\"\r\n\"4\";\"〜\"\r\n");
    List()->focusSelectScroll(Row(0));
    form->sortByColumn(2);
    QStringList names;
    for (int i = 0; i < 4; ++i) names << Cell(i, 1);
    // abc (0x61) < 〜 (0x81 0x60, which reads back as the full-width tilde) < ルータ (0x83 0x8B)
    // < ｱ (0xB1)
    EXPECT_EQ(names, (QStringList{"abc", "～", "ルータ", "ｱ"}));
    EXPECT_EQ(List()->selectedRow(), Row(2));
    EXPECT_TRUE(ContextMenuOffersTheRow());
}

TEST_F(Window, ScanLockFormsAndTheirReleases) {
    Start(kThree);
    List()->focusSelectScroll(Row(0));
    echo.Set(Cell(0, 0).toStdString(), {0, "", 300});  // the probe is still out meanwhile
    form->runSelectScan();
    for (QToolButton* b : LockableButtons()) EXPECT_FALSE(b->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton6")->isEnabled());
    EXPECT_FALSE(Child<QAction>("N1")->isEnabled());
    EXPECT_FALSE(Child<QMenu>("N8")->menuAction()->isEnabled());
    EXPECT_FALSE(Child<QMenu>("Edit1")->menuAction()->isEnabled());
    EXPECT_TRUE(Child<QAction>("Exit1")->isEnabled());
    EXPECT_TRUE(Child<QAction>("About1")->isEnabled());
    EXPECT_FALSE(ContextMenuOpens());
    EXPECT_FALSE(Timer()->isActive());
    ASSERT_TRUE(WaitFor([&] { return !Scans()->selectScanRunning(); }));
    for (QToolButton* b : LockableButtons())
        EXPECT_TRUE(b->isEnabled());  // whatever they were before
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_TRUE(ContextMenuOpens());
    EXPECT_TRUE(Child<QMenu>("N8")->menuAction()->isEnabled());

    // The all scan's release gives each button its state from before the scan.
    List()->clearSelection();
    EXPECT_FALSE(Child<QToolButton>("SpeedButton2")->isEnabled());
    form->runAllScan();
    EXPECT_FALSE(Child<QToolButton>("SpeedButton2")->isEnabled());
    EXPECT_FALSE(Child<QToolButton>("SpeedButton5")->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_TRUE(Child<QToolButton>("SpeedButton3")->isEnabled());
    EXPECT_TRUE(Timer()->isActive());
}

TEST_F(Window, CloseQueryNoKeepsTheWindowYesSavesBothFiles) {
    Start(kThree);
    messages.answerYes = false;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(messages.questions, QStringList{QStringLiteral("終了しますか？")});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(IniPath())));
    messages.answerYes = true;
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(Scans()->stopRequested());
    EXPECT_EQ(ReadFileBytes(ListPath()), kThree);
    EXPECT_NE(ReadFileBytes(IniPath()).find("[Form]\nLeft="), std::string::npos);
}

TEST_F(Window, AboutBoxShowsNameAndVersion) {
    Start();
    QString seen;
    WhenModal([&](QWidget* w) {
        seen = w->windowTitle();
        EXPECT_NE(w->findChild<QLabel*>("Version"), nullptr);
        EXPECT_EQ(w->findChild<QLabel*>("Version")->text(), QStringLiteral("Version 1.05"));
        EXPECT_EQ(w->findChild<QLabel*>("ProductName")->text(), QStringLiteral("ピングローブ"));
        static_cast<QDialog*>(w)->accept();
    });
    form->move(0, 0);  // far from the middle of the screen: the box does not follow the window
    form->showAbout();
    EXPECT_EQ(seen, QStringLiteral("バージョン情報"));
    EXPECT_EQ(about->size(), QSize(241, 191));
    const QPoint middle = form->screen()->availableGeometry().center();
    EXPECT_LE((about->frameGeometry().center() - middle).manhattanLength(), 2);
}

}  // namespace

namespace {

// Qt's own dialogs speak Japanese where the locale is Japanese or has no catalogue of its own.
TEST(QtTexts, TheLocalesCatalogueElseJapanese) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + "/qtbase_ja.qm")) GTEST_SKIP() << "qt6-translations-l10n";
    auto name = [&](const char* locale) {
        QTranslator texts;
        loadQtTexts(texts, QLocale(QString::fromLatin1(locale)), folder);
        return QFileInfo(texts.filePath()).fileName();
    };
    EXPECT_EQ(name("ja_JP"), "qtbase_ja.qm");
    EXPECT_EQ(name("de_DE"), "qtbase_de.qm");
    EXPECT_EQ(name("C"), "qtbase_ja.qm");
    EXPECT_EQ(name("eo"), "qtbase_ja.qm");  // Esperanto: no catalogue
    QTranslator none;
    EXPECT_FALSE(loadQtTexts(none, QLocale("ja_JP"), "/nonexistent"));
}

}  // namespace

namespace {

TEST(CommandLine, HelpAndVersionAnswerNoDisplayIsOneLine) {
    using namespace command_line;
    for (const char* v : {"--version", "-v"})
        EXPECT_EQ(answer({"pingrove", v}, false)->text, std::string("pingrove 1.05\n"));
    const auto help = answer({"pingrove", "-platform", "xcb", "--help"}, false);
    EXPECT_NE(help->text.find("Usage: pingrove"), std::string::npos);
    EXPECT_NE(help->text.find("IPv4 and IPv6 targets"), std::string::npos);
    EXPECT_EQ(help->status, 0);
    EXPECT_FALSE(help->toStderr);
    EXPECT_NE(answer({"pingrove", "-h"}, true)->text.find("使い方"), std::string::npos);
    EXPECT_NE(answer({"pingrove", "-h"}, true)->text.find("IPv4・IPv6 の偵察先"),
              std::string::npos);
    EXPECT_FALSE(answer({"pingrove", "-platform", "xcb", "--style=Fusion", "-reverse"}, false));
    // What neither the program nor Qt knows: one line and the usage on stderr, status 2.
    for (const char* bad : {"--bogus", "-x", "iplist.txt"}) {
        const auto refused = answer({"pingrove", "-platform", "xcb", bad}, false);
        ASSERT_TRUE(refused) << bad;
        EXPECT_EQ(refused->status, 2);
        EXPECT_TRUE(refused->toStderr);
        EXPECT_EQ(refused->text.find(bad), refused->text.find('\'') + 1) << refused->text;
        EXPECT_NE(refused->text.find("Usage: pingrove"), std::string::npos);
    }
    // LC_ALL, else LC_MESSAGES, else LANG: the first one set decides.
    const struct {
        const char *all, *messages, *lang;
        bool japanese;
    } locales[] = {{nullptr, "", "ja_JP.UTF-8", true}, {"C", "", "ja_JP.UTF-8", false},
                   {"", "ja_JP.UTF-8", "C", true},     {"", "C", "ja_JP.UTF-8", false},
                   {"ja_JP.UTF-8", "C", "C", true},    {nullptr, nullptr, nullptr, false},
                   {"", "", "en_US.UTF-8", false}};
    for (const auto& l : locales)
        EXPECT_EQ(japaneseLocale(l.all, l.messages, l.lang), l.japanese)
            << (l.all ? l.all : "-") << " " << (l.messages ? l.messages : "-") << " "
            << (l.lang ? l.lang : "-");
    EXPECT_FALSE(displayNamed(nullptr, "", nullptr));
    EXPECT_TRUE(displayNamed(nullptr, "wayland-0", nullptr));
    for (bool named : {false, true}) {
        const std::string line = noDisplay(true, named);
        EXPECT_EQ(line.find('\n'), line.size() - 1);
        // Only a start with no display named says that none was.
        EXPECT_EQ(line.find("もありません") != std::string::npos, !named);
    }
}

}  // namespace
