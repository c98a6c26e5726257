#include "platform/qt_desktop_notifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

#include "platform/dbus_reply.h"

// A picture as the notification protocol carries it (the "image-data" hint): RGBA bytes.
struct NotificationImage {
    QImage image;
};
Q_DECLARE_METATYPE(NotificationImage)

QDBusArgument& operator<<(QDBusArgument& a, const NotificationImage& n) {
    const QImage& im = n.image;
    a.beginStructure();
    a << im.width() << im.height() << static_cast<int>(im.bytesPerLine()) << true << 8 << 4
      << QByteArray(reinterpret_cast<const char*>(im.constBits()),
                    static_cast<int>(im.sizeInBytes()));
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, NotificationImage&) {
    return a;  // only ever sent
}

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

QtDesktopNotifier::QtDesktopNotifier(QString appName, std::function<QImage()> picture,
                                     std::function<QDBusConnection()> bus, QObject* parent)
    : QObject(parent),
      appName_(std::move(appName)),
      drawPicture_(std::move(picture)),
      connect_(std::move(bus)) {}

QDBusConnection& QtDesktopNotifier::bus() {
    if (!bus_) {
        bus_ = connect_();
        // Before the first notification, so that no click on it is missed. A signal subscription
        // is a match rule given to the bus, answered by the bus itself. Any sender: only the
        // identifiers of this program's notifications count.
        bus_->connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(uint, QString)));
        bus_->connect(QString(), kPath, kService, QStringLiteral("NotificationClosed"), this,
                      SLOT(closed(uint, uint)));
    }
    return *bus_;
}

void QtDesktopNotifier::notify(const QString& title, const QString& body) {
    send(title, body, last_, {}, true);
}

void QtDesktopNotifier::alert(const QString& title, const QString& body) {
    // Critical: the service keeps it until the user has seen it; it replaces nothing, and
    // nothing replaces it.
    send(title, body, 0, {{QStringLiteral("urgency"), QVariant::fromValue(uchar{2})}}, false);
}

void QtDesktopNotifier::send(const QString& title, const QString& body, uint replaces,
                             QVariantMap hints, bool replaceable) {
    if (!bus().isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("pingrove"));
    if (!picture_) {
        static const QMetaType registered = qDBusRegisterMetaType<NotificationImage>();
        (void)registered;
        picture_ =
            drawPicture_ ? drawPicture_().convertToFormat(QImage::Format_RGBA8888) : QImage();
    }
    if (!picture_->isNull())
        hints.insert(QStringLiteral("image-data"),
                     QVariant::fromValue(NotificationImage{*picture_}));
    // The default action is what a click on the notification does.
    call << appName_ << replaces << QStringLiteral("pingrove") << title << body
         << QStringList{QStringLiteral("default"), QStringLiteral("元に戻す")} << hints << -1;
    auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, 60000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, replaceable](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                // Finished: the answer is read, never waited for.
                const QDBusMessage reply = w->reply();
                switch (KindOfReply(reply)) {
                    case DBusReply::Answered:  // its number, which the next one replaces
                        if (reply.arguments().isEmpty()) break;
                        shown_.insert(reply.arguments().first().toUInt());
                        if (replaceable) last_ = reply.arguments().first().toUInt();
                        break;
                    case DBusReply::NoService:
                        // Nobody shows anything now, and a service that starts later numbers
                        // its notifications anew: the old numbers may become another program's.
                        last_ = 0;
                        shown_.clear();
                        break;
                    case DBusReply::NoAnswer:  // it may still come up, under a number we never learn
                    case DBusReply::Refused:   // this one is not shown; the one before still is
                        break;
                }
            });
}

void QtDesktopNotifier::actionInvoked(uint id, const QString& action) {
    if (!shown_.contains(id) || action != QStringLiteral("default")) return;
    if (onActivated) onActivated();
}

void QtDesktopNotifier::closed(uint id, uint) {
    // The service may give a closed notification's number to another program's later.
    shown_.remove(id);
    if (id == last_) last_ = 0;
}
