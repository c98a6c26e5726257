#include "app/echo_outage.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "app/auto_scan_countdown.h"
#include "app/program_info.h"
#include "app/scan_runner.h"
#include "app/status_texts.h"
#include "desktop/tray_icon.h"
#include "platform/desktop_notifier.h"
#include "platform/message_box.h"

EchoOutage::EchoOutage(ScanRunner& scans, AutoScanCountdown& countdown, Panels panels,
                       QWidget& window, IMessageBox& messages, IDesktopNotifier& notifier,
                       TrayIcon& tray)
    : QObject(&window),
      countdown_(countdown),
      panels_(panels),
      window_(window),
      messages_(messages),
      notifier_(notifier),
      tray_(tray) {
    setObjectName(QStringLiteral("EchoOutage"));
    connect(&scans, &ScanRunner::echoStopped, this, &EchoOutage::stopped);
    connect(&scans, &ScanRunner::scanRefused, this, [this](const QString& why) {
        QTimer::singleShot(0, this, [this, why] { tell(why); });
    });
}

void EchoOutage::stopped(const QString& why) {
    countdown_.halt();
    panels_.autoScan.setText(texts::autoScanHalted());
    panels_.countdown.setText(texts::countdownHalted());
    QTimer::singleShot(0, this, [this, why] { tell(why); });
}

void EchoOutage::tell(const QString& why) {
    const QString text = texts::echoStopped(why);
    if (window_.isVisible() && !window_.isMinimized()) {
        if (telling_) return;
        telling_ = true;
        messages_.showError(&window_, ProductName(), text);
        telling_ = false;
        return;
    }
    notifier_.notify(ProductName(), text);
    tray_.setAnimating(false);
    tray_.setIconIndex(0);
    tray_.setHint(texts::hintEchoStopped());
}
