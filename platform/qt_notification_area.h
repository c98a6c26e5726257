#pragma once
#include <QObject>
#include <QSystemTrayIcon>

#include "platform/notification_area.h"

// QSystemTrayIcon speaks StatusNotifierItem or XEmbed, whichever the desktop's tray host offers.
class QtNotificationArea : public QObject, public INotificationArea {
    Q_OBJECT
public:
    explicit QtNotificationArea(QObject* parent = nullptr);
    bool Add() override;
    bool Remove() override;
    void SetIcon(const QIcon& icon) override;
    void SetToolTip(const QString& text) override;

private:
    QSystemTrayIcon tray_;
};
