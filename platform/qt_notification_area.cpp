#include "platform/qt_notification_area.h"

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (!onClick) return;
        // Trigger is the release of the left button; Context the right button.
        switch (r) {
            case QSystemTrayIcon::Trigger:
                onClick(Click::LeftUp);
                break;
            case QSystemTrayIcon::Context:
                onClick(Click::RightUp);
                break;
            default:
                onClick(Click::Other);
                break;
        }
    });
}

bool QtNotificationArea::Add() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    tray_.show();
    return true;
}

bool QtNotificationArea::Remove() {
    tray_.hide();
    return true;
}

void QtNotificationArea::SetIcon(const QIcon& icon) {
    tray_.setIcon(icon);
}

void QtNotificationArea::SetToolTip(const QString& text) {
    tray_.setToolTip(text);
}
