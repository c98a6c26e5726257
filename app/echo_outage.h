#pragma once
// What the window does once echo requests cannot be sent any more (the ICMP helper died): no row
// may show a scan that did not run, so the countdown halts for good and the status bar says so;
// the reason and what to do (start the program again) reach the user where they are: a message
// box over the window on screen, else a desktop notification and the tray's hint. A scan asked
// for later is told the same way instead of running.
#include <QObject>
#include <QString>
#include <functional>

class AutoScanCountdown;
class IDesktopNotifier;
class IMessageBox;
class QLabel;
class QWidget;
class ScanRunner;
class TrayIcon;

class EchoOutage : public QObject {
    Q_OBJECT
public:
    struct Panels {
        QLabel& autoScan;
        QLabel& countdown;
    };
    EchoOutage(ScanRunner& scans, AutoScanCountdown& countdown, Panels panels, QWidget& window,
               IMessageBox& messages, IDesktopNotifier& notifier, TrayIcon& tray);

private:
    void stopped(const QString& why);
    // After the scan that found it has ended, from the event loop: never inside a pass.
    void tell(const QString& why);

    AutoScanCountdown& countdown_;
    Panels panels_;
    QWidget& window_;
    IMessageBox& messages_;
    IDesktopNotifier& notifier_;
    TrayIcon& tray_;
    bool telling_ = false;  // a message is up: a second command does not stack another
};
