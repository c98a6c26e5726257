#pragma once
// Stand-ins for the sound and the notification area in the benchmarks that run the main window:
// nothing is heard or shown, and nothing waits.
#include "platform/notification_area.h"
#include "platform/sound.h"

class Silence : public ISound {
    void playAsyncNoStop(const QString&) override {}
    void playWhenFree(const QString&) override {}
    void beep() override {}
    bool canPlay(const QString&) const override { return true; }
};

class NoTray : public INotificationArea {
    bool exists() override { return true; }
    bool add() override { return true; }
    bool remove() override { return true; }
    void setIcon(const QIcon&) override {}
    void setToolTip(const QString&) override {}
    void setMenu(QMenu*) override {}
    void askAttention(QWidget*) override {}
    void awaitArrival() override {}
};
