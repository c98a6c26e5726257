#pragma once
#include <QObject>
#include <QSystemTrayIcon>

#include "platform/notification_area.h"

// QSystemTrayIcon speaks StatusNotifierItem or XEmbed, whichever the desktop's tray host offers.
// A StatusNotifierItem host reports a click once the button is up; Qt's XEmbed icon reports it on
// the press, so then the click is held back until the button comes up again.
class QtNotificationArea : public QObject, public INotificationArea {
    Q_OBJECT
public:
    explicit QtNotificationArea(QObject* parent = nullptr);
    bool Add() override;
    bool Remove() override;
    void SetIcon(const QIcon& icon) override;
    void SetToolTip(const QString& text) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Report(Click click, Qt::MouseButton button);

    QSystemTrayIcon tray_;
    Click pending_ = Click::Other;
    Qt::MouseButton pendingButton_ = Qt::NoButton;
};
