#pragma once
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "platform/notification_area.h"

// QSystemTrayIcon speaks StatusNotifierItem or XEmbed, whichever the desktop's tray host offers.
// A StatusNotifierItem host shows the exported menu itself and reports a click once the button is
// up. Qt's XEmbed icon acts on the press and would open the menu then, so its presses are held
// back here and the click is reported when the button comes up.
class QtNotificationArea : public QObject, public INotificationArea {
    Q_OBJECT
public:
    explicit QtNotificationArea(QObject* parent = nullptr);
    ~QtNotificationArea() override;
    bool exists() override;
    bool add() override;
    bool remove() override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report(Click click);
    void checkStillThere();
    void gone();
    QSystemTrayIcon& icon();

    // Qt settles on one protocol when its icon is made: StatusNotifierItem when a host is
    // registered on the session bus then, else XEmbed. So the icon is made only when it is first
    // shown, with a host there: a panel that started after the program is still found. Whether a
    // notification area exists is then asked of that protocol alone.
    std::unique_ptr<QSystemTrayIcon> tray_;
    bool statusNotifier_ = false;
    QIcon iconPicture_;
    QString toolTip_;
    QMenu* menu_ = nullptr;
    // While the icon is shown, whether the notification area is still there: neither protocol
    // tells a program that its host has gone.
    QTimer presence_;
};
