#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenu>
#include <QPixmap>
#include <tuple>

#include <QTest>

#include "desktop/tray_icon.h"
#include "fakes.h"

namespace {

QIcon Solid(Qt::GlobalColor c) {
    QPixmap p(16, 16);
    p.fill(c);
    return QIcon(p);
}

class Tray : public ::testing::Test {
protected:
    FakeNotificationArea area;
    QMainWindow window;
    QVector<QIcon> face{Solid(Qt::yellow)};
    QVector<QIcon> faceAndBlank{Solid(Qt::yellow), Solid(Qt::transparent)};
    TrayIcon tray{area, Solid(Qt::blue), &window};
};

TEST_F(Tray, DefaultsAndTheApplicationIcon) {
    EXPECT_FALSE(tray.isVisible());
    EXPECT_EQ(tray.restoreOn(), TrayMouse::DoubleClick);
    EXPECT_EQ(tray.menuOn(), TrayMouse::None);
    EXPECT_EQ(tray.iconIndex(), 0);
    EXPECT_EQ(tray.animateInterval(), 1000);
    EXPECT_EQ(tray.shownPicture(), -1);
    tray.setAnimating(true);  // no picture list yet: ignored
    EXPECT_FALSE(tray.isAnimating());
    tray.setFrames(&face);
    EXPECT_EQ(tray.shownPicture(), -1);  // setting the list does not change the picture
}

TEST_F(Tray, FramesCycleThroughTheListAndOneEmptyFrame) {
    tray.setFrames(&face);
    tray.setAnimating(true);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        tray.nextFrame();
        seen.push_back(tray.shownPicture());
    }
    EXPECT_EQ(seen, (std::vector<int>{-2, 0, -2, 0}));  // face, no picture, face...
    tray.setFrames(&faceAndBlank);
    tray.setIconIndex(0);
    seen.clear();
    for (int i = 0; i < 3; ++i) {
        tray.nextFrame();
        seen.push_back(tray.shownPicture());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, -2, 0}));
    tray.setIconIndex(7);
    EXPECT_EQ(tray.shownPicture(), -2);

    // The frames run on their timer, and stopping the animation stops them where they are.
    tray.setAnimateInterval(5);
    tray.setAnimating(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.shownPicture() != -2; }, 5000))
        << "no frame came";
    tray.setAnimating(false);
    const int stopped = tray.iconIndex();
    bool still = true;
    for (int i = 0; i < 8; ++i) {
        QTest::qWait(5);
        still = still && tray.iconIndex() == stopped;
    }
    EXPECT_TRUE(still) << "frames went on after the animation stopped";
}

TEST_F(Tray, HintOnlyWhenNewAndShorterThan64Bytes) {
    tray.setHint(QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    EXPECT_EQ(tray.hint(), QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    tray.setHint(QString(32, QChar(0x3042)));  // 64 bytes in code page 932
    EXPECT_EQ(tray.hint(), QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    tray.setHint(QString(63, 'a'));
    EXPECT_EQ(tray.hint(), QString(63, 'a'));
}

TEST_F(Tray, VisibleShowsCurrentStateAndSendsOnlyChangedFrames) {
    tray.setFrames(&face);
    tray.setHint("hint");
    tray.setAnimating(true);
    tray.nextFrame();  // frames advance while hidden
    EXPECT_EQ(area.iconChanges, 0);
    tray.setVisible(true);
    EXPECT_TRUE(area.shown);
    EXPECT_EQ(area.toolTip, "hint");
    tray.setHint("online");  // while in the notification area, at once
    EXPECT_EQ(area.toolTip, "online");
    int changes = area.iconChanges;
    tray.setIconIndex(tray.iconIndex());  // same frame: nothing re-sent
    EXPECT_EQ(area.iconChanges, changes);
    tray.nextFrame();
    EXPECT_EQ(area.iconChanges, changes + 1);
    // A mark over the lower right of the same frame, sent at once; another mark replaces it.
    const auto pixel = [&](int at) { return area.icon.pixmap(16).toImage().pixelColor(at, at); };
    tray.setMark(Solid(Qt::red));
    EXPECT_EQ(std::tuple(area.iconChanges, pixel(15), pixel(0)),
              std::tuple(changes + 2, QColor(Qt::red), QColor(Qt::yellow)));
    tray.setMark(Solid(Qt::green));
    EXPECT_EQ(pixel(15), QColor(Qt::green));
    tray.setMark(QIcon());
    EXPECT_EQ(pixel(15), QColor(Qt::yellow));
    tray.setVisible(false);
    EXPECT_FALSE(area.shown);
    EXPECT_TRUE(tray.isAnimating());  // survives hiding
}

TEST_F(Tray, RefusedIconRaisesAndKeepsTheNewValue) {
    area.accepts = false;
    try {
        tray.setVisible(true);
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Cannot Create System Shell Notification Icon");
    }
    EXPECT_TRUE(tray.isVisible());
}

TEST_F(Tray, LeftReleaseRestoresRightReleaseOpensTheMenuOthersNothing) {
    QMenu menu;
    menu.addAction("元に戻す");
    tray.setMenu(&menu);
    tray.setRestoreOn(TrayMouse::LeftClickUp);
    tray.setMenuOn(TrayMouse::RightClickUp);
    int restores = 0;
    QObject::connect(&tray, &TrayIcon::restored, [&] { ++restores; });
    window.show();
    window.showMinimized();
    tray.setVisible(true);
    EXPECT_EQ(area.menu, &menu);  // exported for hosts that draw the menu themselves
    tray.minimize();
    EXPECT_FALSE(window.isVisible());
    area.onClick(INotificationArea::Click::Other);  // presses, double clicks
    EXPECT_EQ(restores, 0);
    EXPECT_FALSE(window.isVisible());
    area.onClick(INotificationArea::Click::LeftUp);
    EXPECT_EQ(restores, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    area.onClick(INotificationArea::Click::RightUp);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(restores, 1);
    menu.close();

    // The notification area goes away with the window in it: back on the task bar, minimised.
    window.showMinimized();
    tray.setVisible(true);
    tray.minimize();
    area.onGone();
    EXPECT_FALSE(tray.isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }, 5000));
}

TEST_F(Tray, SessionEndRemovesTheIcon) {
    tray.setVisible(true);
    tray.sessionEnding();
    EXPECT_FALSE(area.shown);
}

}  // namespace
