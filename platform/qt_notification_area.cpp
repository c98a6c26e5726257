#include "platform/qt_notification_area.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMouseEvent>
#include <cstdlib>

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

bool WatcherOnTheBus() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(kWatcher).value();
}

bool StatusNotifierHostRegistered() {
    if (!WatcherOnTheBus()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen> of the X server.
bool XEmbedTrayOwned() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    const int screen = dot > colon ? display.mid(dot + 1).toInt() : 0;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
    if (!atom) return false;
    const xcb_atom_t selection = atom->atom;
    std::free(atom);
    if (selection == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const bool owned = owner && owner->owner != XCB_NONE;
    std::free(owner);
    return owned;
}

// Qt's widget for an icon in an XEmbed tray.
bool IsXEmbedIcon(QObject* o) {
    return o->isWidgetType() && o->inherits("QSystemTrayIconSys");
}
}  // namespace

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {
    // Only a StatusNotifierItem host reaches this: XEmbed presses stop in the event filter.
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        report(r == QSystemTrayIcon::Trigger   ? Click::LeftUp
               : r == QSystemTrayIcon::Context ? Click::RightUp
                                               : Click::Other);
    });
    statusNotifier_ = StatusNotifierHostRegistered();
    QCoreApplication::instance()->installEventFilter(this);
    presence_.setInterval(2000);
    connect(&presence_, &QTimer::timeout, this, &QtNotificationArea::checkStillThere);
}

void QtNotificationArea::report(Click click) {
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
        QTimer::singleShot(0, this, [this, click] { report(click); });
    }
    return true;  // presses do nothing by themselves
}

bool QtNotificationArea::exists() {
    return statusNotifier_ ? WatcherOnTheBus() : XEmbedTrayOwned();
}

bool QtNotificationArea::add() {
    if (!exists()) return false;
    tray_.show();
    presence_.start();
    return true;
}

bool QtNotificationArea::remove() {
    presence_.stop();
    tray_.hide();
    return true;
}

void QtNotificationArea::checkStillThere() {
    if (exists()) return;
    remove();
    if (onGone) onGone();
}

void QtNotificationArea::setIcon(const QIcon& icon) {
    tray_.setIcon(icon);
}

void QtNotificationArea::setToolTip(const QString& text) {
    tray_.setToolTip(text);
}

void QtNotificationArea::setMenu(QMenu* menu) {
    if (tray_.contextMenu() != menu) tray_.setContextMenu(menu);
}
