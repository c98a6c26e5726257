#include "platform/status_notifier_item.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QtEndian>

#include "platform/dbus_menu_exporter.h"

// One picture as the protocol carries it: ARGB32 in network byte order.
struct SniImage {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using SniImages = QList<SniImage>;
struct SniToolTip {
    QString iconName;
    SniImages images;
    QString title;
    QString description;
};
Q_DECLARE_METATYPE(SniImage)
Q_DECLARE_METATYPE(SniToolTip)

QDBusArgument& operator<<(QDBusArgument& a, const SniImage& i) {
    a.beginStructure();
    a << i.width << i.height << i.argb;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, SniImage& i) {
    a.beginStructure();
    a >> i.width >> i.height >> i.argb;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const SniToolTip& t) {
    a.beginStructure();
    a << t.iconName << t.images << t.title << t.description;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, SniToolTip& t) {
    a.beginStructure();
    a >> t.iconName >> t.images >> t.title >> t.description;
    a.endStructure();
    return a;
}

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

SniImages ImagesOf(const QIcon& icon) {
    SniImages images;
    if (icon.isNull()) return images;
    for (int size : StatusNotifierItem::kSizes) {
        const QImage im = icon.pixmap(size, size)
                              .toImage()
                              .scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
        SniImage out{im.width(), im.height(), QByteArray(im.width() * im.height() * 4, '\0')};
        qToBigEndian<quint32>(im.constBits(), im.width() * im.height(), out.argb.data());
        images << out;
    }
    return images;
}

}  // namespace

// The org.kde.StatusNotifierItem interface of the item's object.
class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ none)
    Q_PROPERTY(SniImages IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ none)
    Q_PROPERTY(SniImages OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ none)
    Q_PROPERTY(SniImages AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ none)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), item_(item) {}

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return item_->id(); }
    QString title() const { return item_->title(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString none() const { return {}; }
    SniImages noImages() const { return {}; }
    SniImages iconPixmap() const {
        // Built once a picture: hosts ask again for every NewIcon, and some ask twice.
        if (cachedKey_ != item_->icon().cacheKey()) {
            cachedKey_ = item_->icon().cacheKey();
            cached_ = ImagesOf(item_->icon());
        }
        return cached_;
    }
    SniToolTip toolTip() const { return {QString(), {}, item_->title(), item_->toolTip()}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const {
        return QDBusObjectPath(item_->hasMenu() ? kMenuPath : QStringLiteral("/NO_DBUSMENU"));
    }

public slots:
    void Activate(int, int) { request(StatusNotifierItem::Request::Activate); }
    void ContextMenu(int, int) { request(StatusNotifierItem::Request::ContextMenu); }
    void SecondaryActivate(int, int) { request(StatusNotifierItem::Request::SecondaryActivate); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    void request(StatusNotifierItem::Request r) {
        // After the reply: what the request opens (a menu, a question) must not hold the bus.
        QMetaObject::invokeMethod(
            item_,
            [item = item_, r] {
                if (item->onRequest) item->onRequest(r);
            },
            Qt::QueuedConnection);
    }
    StatusNotifierItem* item_;
    mutable qint64 cachedKey_ = 0;
    mutable SniImages cached_;
};

StatusNotifierItem::StatusNotifierItem(QString id, QString title, QObject* parent)
    : QObject(parent),
      id_(std::move(id)),
      title_(std::move(title)),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1")
                   .arg(QCoreApplication::applicationPid())) {
    static const bool registered = [] {
        qDBusRegisterMetaType<SniImage>();
        qDBusRegisterMetaType<SniImages>();
        qDBusRegisterMetaType<SniToolTip>();
        return true;
    }();
    (void)registered;
    adaptor_ = new StatusNotifierItemAdaptor(this);
    watcher_ = new QDBusServiceWatcher(kWatcher, QDBusConnection::sessionBus(),
                                       QDBusServiceWatcher::WatchForRegistration, this);
    // A watcher that started again knows nothing of the items shown before.
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (shown_) registerWithWatcher();
    });
}

StatusNotifierItem::~StatusNotifierItem() {
    hide();
}

bool StatusNotifierItem::hasMenu() const {
    return menuExporter_ != nullptr;
}

namespace {
// A call to the bus itself, sent without waiting for its answer.
QDBusMessage BusCall(const char* method, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    call << name;
    return call;
}
}  // namespace

bool StatusNotifierItem::show() {
    if (shown_) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kItemPath, this)) return false;
    if (menuExporter_) bus.registerObject(kMenuPath, menuExporter_);
    shown_ = true;
    // The name is asked for without waiting; the watcher hears of the item once it is ours. The
    // requests and releases go out in order, so the bus always ends in the last one's state.
    QDBusMessage request = BusCall("RequestName", service_);
    request << 4u;  // DBUS_NAME_FLAG_DO_NOT_QUEUE
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(request), this);
    const quint64 showing = ++showings_;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, showing](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                constexpr uint kPrimaryOwner = 1;
                if (shown_ && showing == showings_ && reply.type() == QDBusMessage::ReplyMessage &&
                    !reply.arguments().isEmpty() &&
                    reply.arguments().first().toUInt() == kPrimaryOwner)
                    registerWithWatcher();
            });
    return true;
}

void StatusNotifierItem::hide() {
    if (!shown_) return;
    shown_ = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Giving up the name is what tells the watcher and the hosts that the item has gone.
    bus.asyncCall(BusCall("ReleaseName", service_));
    bus.unregisterObject(kMenuPath);
    bus.unregisterObject(kItemPath);
}

void StatusNotifierItem::registerWithWatcher() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << service_;
    // Not waited for: a watcher that hangs must not hold the window.
    QDBusConnection::sessionBus().asyncCall(call, 2000);
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
    if (icon.cacheKey() == icon_.cacheKey()) return;
    icon_ = icon;
    if (shown_) emit adaptor_->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& text) {
    // A hint that starts with the program's name has it as its title already.
    const QString head = title_ + QLatin1Char('\n');
    const QString description = text.startsWith(head) ? text.mid(head.size()) : text;
    if (description == toolTip_) return;
    toolTip_ = description;
    if (shown_) emit adaptor_->NewToolTip();
}

void StatusNotifierItem::setMenu(QMenu* menu) {
    if (menuExporter_ && menuExporter_->menu() == menu) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (menuExporter_) {
        if (shown_) bus.unregisterObject(kMenuPath);
        delete menuExporter_;
        menuExporter_ = nullptr;
    }
    if (menu) {
        menuExporter_ = new DBusMenuExporter(menu, this);
        if (shown_) bus.registerObject(kMenuPath, menuExporter_);
    }
}

#include "status_notifier_item.moc"
