#pragma once
// Stand-ins for the sound and the notification area in the benchmarks that run the main window:
// nothing is heard or shown, and nothing waits.
#include <QDir>

#include "app/services.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "platform/notification_area.h"
#include "platform/qt_desktop_notifier.h"
#include "platform/qt_event_pump.h"
#include "platform/sound.h"
#include "settings/settings_file.h"

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

// Everything a benchmark's main window needs beside its echo service, kept in DIR (the settings
// file pingrove.INI and iplist.txt there, and the history where given): the real event pump,
// settings and notifier (which finds no service), the rest quiet.
struct QuietServices {
    QuietServices(IEchoService& echo, const QDir& dir, const QString& name,
                  const QString& historyPath = {})
        : settings(dir.filePath(QStringLiteral("pingrove"))),
          notifier(name),
          services{echo,     pump,       sound,
                   messages, chooser,    tray,
                   notifier, settings,   dir.filePath(QStringLiteral("iplist.txt")),
                   2,        historyPath} {}
    QtEventPump pump;
    Silence sound;
    QtMessageBox messages;
    NoTray tray;
    SettingsFile settings;
    QtFileChooser chooser;
    QtDesktopNotifier notifier;
    Services services;
};
