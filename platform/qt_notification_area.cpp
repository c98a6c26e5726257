#include "platform/qt_notification_area.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMouseEvent>
#include <cstdlib>
#include <utility>

#include "platform/dbus_reply.h"
#include "platform/status_notifier_item.h"

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

QDBusMessage HostRegisteredQuery() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

// Shorter than the presence check's period, so that questions never pile up.
constexpr int kAnswerWithinMs = 1500;

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

QtNotificationArea::QtNotificationArea(QString id, QString title, QObject* parent)
    : QObject(parent), id_(std::move(id)), title_(std::move(title)) {
    QCoreApplication::instance()->installEventFilter(this);
    presence_.setInterval(2000);
    connect(&presence_, &QTimer::timeout, this, &QtNotificationArea::checkStillThere);
    // Once the start is over, so that the first minimise finds the answer there already.
    QTimer::singleShot(1000, this, &QtNotificationArea::listen);
}

QtNotificationArea::~QtNotificationArea() = default;

StatusNotifierItem& QtNotificationArea::item() {
    if (item_) return *item_;
    item_ = std::make_unique<StatusNotifierItem>(id_, title_);
    item_->onRequest = [this](StatusNotifierItem::Request r) {
        report(r == StatusNotifierItem::Request::Activate      ? Click::LeftUp
               : r == StatusNotifierItem::Request::ContextMenu ? Click::RightUp
                                                               : Click::Other);
    };
    item_->setIcon(iconPicture_);
    item_->setToolTip(toolTip_);
    item_->setMenu(menu_);
    return *item_;
}

QSystemTrayIcon& QtNotificationArea::xembedIcon() {
    if (tray_) return *tray_;
    tray_ = std::make_unique<QSystemTrayIcon>();
    // An XEmbed icon's clicks come through the event filter, as releases, and its presses never
    // reach it. Qt makes a StatusNotifierItem of its own instead when its first icon finds a host
    // registered (a minimise before the watcher has answered us): its clicks come as activations.
    connect(tray_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                report(reason == QSystemTrayIcon::Trigger   ? Click::LeftUp
                       : reason == QSystemTrayIcon::Context ? Click::RightUp
                                                            : Click::Other);
            });
    tray_->setIcon(iconPicture_);
    tray_->setToolTip(toolTip_);
    if (menu_) tray_->setContextMenu(menu_);
    return *tray_;
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
    listen();
    // An XEmbed tray counts once the watcher has had its say: Qt makes its icon a
    // StatusNotifierItem of its own whenever a host is registered (xfce4-panel is both kinds), and
    // a click on that one never reaches us.
    return hostRegistered_ || (watcherHeard_ && XEmbedTrayOwned());
}

bool QtNotificationArea::add() {
    remove();
    listen();
    statusNotifier_ = hostRegistered_;
    if (statusNotifier_) {
        if (!item().show()) return false;
    } else if (XEmbedTrayOwned()) {
        xembedIcon().show();
    } else {
        return false;
    }
    unanswered_ = 0;
    presence_.start();
    return true;
}

bool QtNotificationArea::remove() {
    presence_.stop();
    if (tray_) tray_->hide();
    if (item_) item_->hide();
    return true;
}

void QtNotificationArea::checkStillThere() {
    if (!statusNotifier_) {
        if (!XEmbedTrayOwned()) gone();
        return;
    }
    askHostRegistered();
}

void QtNotificationArea::listen() {
    if (listening_) return;
    listening_ = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        watcherHeard_ = true;  // no bus, no StatusNotifierItem host
        return;
    }
    // Signals from any sender: naming the watcher would make Qt look up its owner, waiting for the
    // bus. A stranger's signal only makes us ask again.
    auto* watcher =
        new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (!owner.isEmpty()) {
                    askHostRegistered();
                    return;
                }
                answered(true, false);  // the watcher's name lost its owner: gone for sure
            });
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(QString(), QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                    QString::fromLatin1(signal), this, SLOT(askHostRegistered()));
    askHostRegistered();
}

void QtNotificationArea::askHostRegistered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (asking_) {
        // What made us ask may be newer than the answer under way: ask again after it.
        askAgain_ = true;
        return;
    }
    asking_ = true;
    auto* pending =
        new QDBusPendingCallWatcher(bus.asyncCall(HostRegisteredQuery(), kAnswerWithinMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        asking_ = false;
        const QDBusMessage reply = w->reply();
        const DBusReply kind = KindOfReply(reply);
        const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
        // A host only when the watcher says so with a boolean. A watcher that is not there, or
        // one that answers with an error, shows nobody the item; one that does not answer in time
        // (busy, stopped, ended while asked) is given one more question.
        answered(kind != DBusReply::NoAnswer, kind == DBusReply::Answered &&
                                                  value.typeId() == QMetaType::Bool &&
                                                  value.toBool());
        if (std::exchange(askAgain_, false)) askHostRegistered();
    });
}

void QtNotificationArea::answered(bool replied, bool registered) {
    if (!replied) {
        // Twice in a row without an answer: a watcher that hangs is as good as none.
        if (++unanswered_ < 2) return;
    } else {
        unanswered_ = 0;
    }
    hostRegistered_ = replied && registered;
    watcherHeard_ = true;
    if (awaiting_ && exists()) {
        awaiting_ = false;
        if (onArrived) onArrived();
    }
    if (hostRegistered_) return;
    if (statusNotifier_ && presence_.isActive()) gone();
}

void QtNotificationArea::gone() {
    remove();
    if (onGone) onGone();
}

void QtNotificationArea::setIcon(const QIcon& icon) {
    iconPicture_ = icon;
    if (tray_) tray_->setIcon(icon);
    if (item_) item_->setIcon(icon);
}

void QtNotificationArea::setToolTip(const QString& text) {
    toolTip_ = text;
    if (tray_) tray_->setToolTip(text);
    if (item_) item_->setToolTip(text);
}

void QtNotificationArea::askAttention(QWidget* window) {
    QApplication::alert(window);
}

void QtNotificationArea::awaitArrival() {
    // A StatusNotifierItem host: the watcher comes onto the bus, or a host registers with one
    // that is there. (A late XEmbed tray is found at the next minimise.)
    awaiting_ = true;
    listen();
}

void QtNotificationArea::setMenu(QMenu* menu) {
    menu_ = menu;
    if (tray_ && tray_->contextMenu() != menu) tray_->setContextMenu(menu);
    if (item_) item_->setMenu(menu);
}
