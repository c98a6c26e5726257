#include "platform/qt_desktop_notifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

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
    send(title, body, false);
}

void QtDesktopNotifier::alert(const QString& title, const QString& body) {
    send(title, body, true);
}

void QtDesktopNotifier::send(const QString& title, const QString& body, bool alert) {
    if (!bus().isConnected()) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("pingrove")}};
    if (!picture_) {
        static const QMetaType registered = qDBusRegisterMetaType<NotificationImage>();
        (void)registered;
        picture_ =
            drawPicture_ ? drawPicture_().convertToFormat(QImage::Format_RGBA8888) : QImage();
    }
    if (!picture_->isNull())
        hints.insert(QStringLiteral("image-data"),
                     QVariant::fromValue(NotificationImage{*picture_}));
    // Critical: the service keeps it until the user has seen it.
    if (alert) hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar{2}));
    // The default action is what a click on the notification does.
    call << appName_ << (alert ? 0u : last_) << QStringLiteral("pingrove") << title << body
         << QStringList{QStringLiteral("default"), QStringLiteral("元に戻す")} << hints << -1;
    auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, 60000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, alert](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                // Finished: the answer is read, never waited for.
                const QDBusMessage reply = w->reply();
                if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
                    return;  // no service: nothing to tell anybody
                const uint id = reply.arguments().first().toUInt();
                shown_.insert(id);
                // An alert is never the one the next notification replaces.
                if (!alert) last_ = id;
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
