#include "platform/qt_notification_area.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTimer>

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        switch (r) {
            case QSystemTrayIcon::Trigger:
                Report(Click::LeftUp, Qt::LeftButton);
                break;
            case QSystemTrayIcon::Context:
                Report(Click::RightUp, Qt::RightButton);
                break;
            default:
                Report(Click::Other, Qt::NoButton);
                break;
        }
    });
}

void QtNotificationArea::Report(Click click, Qt::MouseButton button) {
    if (button != Qt::NoButton && (QGuiApplication::mouseButtons() & button)) {
        pending_ = click;
        pendingButton_ = button;
        QCoreApplication::instance()->installEventFilter(this);
        return;
    }
    if (onClick) onClick(click);
}

bool QtNotificationArea::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == pendingButton_) {
        QCoreApplication::instance()->removeEventFilter(this);
        pendingButton_ = Qt::NoButton;
        // After the release has reached the icon: the menu must not take it for its own.
        QTimer::singleShot(0, this, [this, click = pending_] {
            if (onClick) onClick(click);
        });
    }
    return false;
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
