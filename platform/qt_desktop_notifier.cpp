#include "platform/qt_desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

QtDesktopNotifier::QtDesktopNotifier(QString appName, std::function<QDBusConnection()> bus,
                                     QObject* parent)
    : QObject(parent), appName_(std::move(appName)), connect_(std::move(bus)) {}

QDBusConnection& QtDesktopNotifier::bus() {
    if (!bus_) {
        bus_ = connect_();
        // Before the first notification, so that no click on it is missed. A signal subscription
        // is a match rule given to the bus, answered by the bus itself. Any sender: only the
        // identifiers of this program's notifications count.
        bus_->connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(uint, QString)));
    }
    return *bus_;
}

void QtDesktopNotifier::notify(const QString& title, const QString& body) {
    if (!bus().isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // The default action is what a click on the notification does.
    call << appName_ << last_ << QStringLiteral("pingrove") << title << body
         << QStringList{QStringLiteral("default"), QStringLiteral("元に戻す")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("pingrove")}} << -1;
    auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, 60000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) return;  // no service: nothing to tell anybody
        last_ = reply.value();
        shown_.insert(last_);
    });
}

void QtDesktopNotifier::actionInvoked(uint id, const QString& action) {
    if (!shown_.contains(id) || action != QStringLiteral("default")) return;
    if (onActivated) onActivated();
}
