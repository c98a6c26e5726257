#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenu>
#include <QPixmap>

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
    EXPECT_FALSE(tray.Visible());
    EXPECT_EQ(tray.RestoreOn, imDoubleClick);
    EXPECT_EQ(tray.PopupMenuOn, imNone);
    EXPECT_EQ(tray.IconIndex(), 0);
    EXPECT_EQ(tray.AnimateInterval(), 1000);
    EXPECT_EQ(tray.ShownPicture(), -1);
    tray.SetAnimate(true);  // no picture list yet: ignored
    EXPECT_FALSE(tray.Animate());
    tray.SetIcons(&face);
    EXPECT_EQ(tray.ShownPicture(), -1);  // setting the list does not change the picture
}

TEST_F(Tray, FramesCycleThroughTheListAndOneEmptyFrame) {
    tray.SetIcons(&face);
    tray.SetAnimate(true);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        tray.FrameTick();
        seen.push_back(tray.ShownPicture());
    }
    EXPECT_EQ(seen, (std::vector<int>{-2, 0, -2, 0}));  // face, no picture, face...
    tray.SetIcons(&faceAndBlank);
    tray.SetIconIndex(0);
    seen.clear();
    for (int i = 0; i < 3; ++i) {
        tray.FrameTick();
        seen.push_back(tray.ShownPicture());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, -2, 0}));
    tray.SetIconIndex(7);
    EXPECT_EQ(tray.ShownPicture(), -2);

    // The frames run on their timer, and stopping the animation stops them where they are.
    tray.SetAnimateInterval(5);
    tray.SetAnimate(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.ShownPicture() != -2; }, 5000))
        << "no frame came";
    tray.SetAnimate(false);
    const int stopped = tray.IconIndex();
    bool still = true;
    for (int i = 0; i < 8; ++i) {
        QTest::qWait(5);
        still = still && tray.IconIndex() == stopped;
    }
    EXPECT_TRUE(still) << "frames went on after the animation stopped";
}

TEST_F(Tray, HintOnlyWhenNewAndShorterThan64Bytes) {
    tray.SetHint(QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    EXPECT_EQ(tray.Hint(), QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    tray.SetHint(QString(32, QChar(0x3042)));  // 64 bytes in code page 932
    EXPECT_EQ(tray.Hint(), QStringLiteral("ピングローブ\n自動偵察オンラインなし"));
    tray.SetHint(QString(63, 'a'));
    EXPECT_EQ(tray.Hint(), QString(63, 'a'));
}

TEST_F(Tray, VisibleShowsCurrentStateAndSendsOnlyChangedFrames) {
    tray.SetIcons(&face);
    tray.SetHint("hint");
    tray.SetAnimate(true);
    tray.FrameTick();  // frames advance while hidden
    EXPECT_EQ(area.iconChanges, 0);
    tray.SetVisible(true);
    EXPECT_TRUE(area.shown);
    EXPECT_EQ(area.toolTip, "hint");
    tray.SetHint("online");  // while in the notification area, at once
    EXPECT_EQ(area.toolTip, "online");
    int changes = area.iconChanges;
    tray.SetIconIndex(tray.IconIndex());  // same frame: nothing re-sent
    EXPECT_EQ(area.iconChanges, changes);
    tray.FrameTick();
    EXPECT_EQ(area.iconChanges, changes + 1);
    tray.SetVisible(false);
    EXPECT_FALSE(area.shown);
    EXPECT_TRUE(tray.Animate());  // survives hiding
}

TEST_F(Tray, RefusedIconRaisesAndKeepsTheNewValue) {
    area.accepts = false;
    try {
        tray.SetVisible(true);
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_STREQ(e.what(), "Cannot Create System Shell Notification Icon");
    }
    EXPECT_TRUE(tray.Visible());
}

TEST_F(Tray, LeftReleaseRestoresRightReleaseOpensTheMenuOthersNothing) {
    QMenu menu;
    menu.addAction("元に戻す");
    tray.PopupMenu = &menu;
    tray.RestoreOn = imLeftClickUp;
    tray.PopupMenuOn = imRightClickUp;
    int restores = 0;
    tray.OnRestore = [&] { ++restores; };
    window.show();
    window.showMinimized();
    tray.SetVisible(true);
    EXPECT_EQ(area.menu, &menu);  // exported for hosts that draw the menu themselves
    tray.Minimize();
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
    tray.SetVisible(true);
    tray.Minimize();
    area.onGone();
    EXPECT_FALSE(tray.Visible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }, 5000));
}

TEST_F(Tray, SessionEndRemovesTheIcon) {
    tray.SetVisible(true);
    tray.SessionEnding();
    EXPECT_FALSE(area.shown);
}

}  // namespace
