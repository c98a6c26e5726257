#pragma once
// What the main window needs from outside, handed in by the program entry (or by a test).
#include <QString>

class IEchoService;
class IEventPump;
class ISound;
class IMessageBox;
class IFileChooser;
class IDesktopNotifier;
class INotificationArea;
class SettingsFile;

struct Services {
    IEchoService& echo;
    IEventPump& pump;
    ISound& sound;
    IMessageBox& messages;
    IFileChooser& chooser;
    INotificationArea& notificationArea;
    IDesktopNotifier& notifier;
    SettingsFile& settingsFile;
    QString targetListPath;  // absolute, fixed at start-up
    int platformId;
    // Where the history of state changes is kept; empty: none is kept.
    QString historyPath = {};
};
