#pragma once
// Desktop notifications through the desktop's notification service on the session bus
// (org.freedesktop.Notifications, run by KDE, GNOME, Xfce, LXQt and most panels). Every call is
// asynchronous: a service that is only activatable and answers late delays nothing, and one that
// is missing gives an error reply that is dropped.
#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QVariantMap>
#include <functional>
#include <optional>

#include "platform/desktop_notifier.h"

class QtDesktopNotifier : public QObject, public IDesktopNotifier {
    Q_OBJECT
public:
    // `bus` gives the connection when the first notification is sent: a start does not wait
    // for the session bus. `picture`, drawn at the first notification, goes with each one as
    // its image: a program that is not installed has no icon by name.
    explicit QtDesktopNotifier(
        QString appName, std::function<QImage()> picture = {},
        std::function<QDBusConnection()> bus = [] { return QDBusConnection::sessionBus(); },
        QObject* parent = nullptr);
    // Replaces the program's last notification that is still shown.
    void notify(const QString& title, const QString& body) override;
    void alert(const QString& title, const QString& body) override;

private slots:
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

private:
    // One Notify call: `replaces` is the number of the notification it takes the place of (0 for
    // a new one), `hints` go with it (urgency, category) beside the program's own; a
    // `replaceable` one is the one the next notification replaces.
    void send(const QString& title, const QString& body, uint replaces, QVariantMap hints,
              bool replaceable);

    QString appName_;
    QDBusConnection& bus();
    std::function<QImage()> drawPicture_;
    std::optional<QImage> picture_;

    std::function<QDBusConnection()> connect_;
    std::optional<QDBusConnection> bus_;
    // The notifications of this program that the service has not said are closed: only their
    // clicks count, never another program's.
    QSet<uint> shown_;
    uint last_ = 0;  // replaced by the next one, so a run of scans leaves one notification
};
