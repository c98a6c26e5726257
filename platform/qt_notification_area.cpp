#include "platform/qt_notification_area.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace {
// Qt's widget for an icon in an XEmbed tray.
bool IsXEmbedIcon(QObject* o) {
    return o->isWidgetType() && o->inherits("QSystemTrayIconSys");
}
}  // namespace

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {
    // Only a StatusNotifierItem host reaches this: XEmbed presses stop in the event filter.
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        Report(r == QSystemTrayIcon::Trigger   ? Click::LeftUp
               : r == QSystemTrayIcon::Context ? Click::RightUp
                                               : Click::Other);
    });
    QCoreApplication::instance()->installEventFilter(this);
    presence_.setInterval(2000);
    connect(&presence_, &QTimer::timeout, this, &QtNotificationArea::CheckStillThere);
}

void QtNotificationArea::Report(Click click) {
    if (onClick) onClick(click);
}

bool QtNotificationArea::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if ((t != QEvent::MouseButtonPress && t != QEvent::MouseButtonDblClick &&
         t != QEvent::MouseButtonRelease) ||
        !IsXEmbedIcon(watched))
        return false;
    if (t == QEvent::MouseButtonRelease) {
        const Qt::MouseButton b = static_cast<QMouseEvent*>(event)->button();
        const Click click = b == Qt::LeftButton    ? Click::LeftUp
                            : b == Qt::RightButton ? Click::RightUp
                                                   : Click::Other;
        // After the release has reached the icon: the menu must not take it for its own.
        QTimer::singleShot(0, this, [this, click] { Report(click); });
    }
    return true;  // presses do nothing by themselves
}

bool QtNotificationArea::Exists() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtNotificationArea::Add() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    tray_.show();
    presence_.start();
    return true;
}

bool QtNotificationArea::Remove() {
    presence_.stop();
    tray_.hide();
    return true;
}

void QtNotificationArea::CheckStillThere() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) return;
    Remove();
    if (onGone) onGone();
}

void QtNotificationArea::SetIcon(const QIcon& icon) {
    tray_.setIcon(icon);
}

void QtNotificationArea::SetToolTip(const QString& text) {
    tray_.setToolTip(text);
}

void QtNotificationArea::SetMenu(QMenu* menu) {
    if (tray_.contextMenu() != menu) tray_.setContextMenu(menu);
}
