// The tray's D-Bus side on a private session bus, called as the panels call it: the item and its
// menu with the signatures libdbusmenu and the hosts send, and the watcher's every kind of answer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMenu>
#include <QRegularExpression>

#include "platform/qt_notification_area.h"
#include "platform/status_notifier_item.h"
#include "private_bus.h"

// One event of EventGroup's a(isvu), as libdbusmenu's client sends it.
struct MenuEvent {
    int id;
    QString eventId;
};
Q_DECLARE_METATYPE(MenuEvent)
QDBusArgument& operator<<(QDBusArgument& a, const MenuEvent& e) {
    a.beginStructure();
    a << e.id << e.eventId << QDBusVariant(0) << 0u;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, MenuEvent&) {
    return a;
}

namespace {

QString SignatureOf(const QVariant& v) {
    return v.canConvert<QDBusArgument>() ? v.value<QDBusArgument>().currentSignature()
                                         : QDBusMetaType::typeToSignature(v.metaType());
}

// Every member of an interface as hosts see it: "method Name in -> out", "signal Name args",
// "property Name type" (the type of the value a read gives).
std::string Members(const QDBusMessage& introspection, const QDBusMessage& properties,
                    const QString& interface) {
    QStringList out;
    const QString xml = introspection.arguments().value(0).toString();
    const QString body =
        QRegularExpression(QStringLiteral("<interface name=\"%1\">(.*?)</interface>")
                               .arg(QRegularExpression::escape(interface)),
                           QRegularExpression::DotMatchesEverythingOption)
            .match(xml)
            .captured(1);
    static const QRegularExpression member(
        QStringLiteral("<(method|signal) name=\"(\\w+)\"(?:/>|>(.*?)</\\1>)"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression arg(QStringLiteral("<arg[^>]* type=\"([^\"]+)\"([^>]*)"));
    for (const auto& m : member.globalMatch(body)) {
        QString in, result;
        for (const auto& a : arg.globalMatch(m.captured(3)))
            (m.captured(1) == u"method" && a.captured(2).contains(QLatin1String("\"out\"")) ? result
                                                                                            : in) +=
                a.captured(1);
        out << m.captured(1) + u' ' + m.captured(2) + u' ' + in +
                   (m.captured(1) == u"method" ? QStringLiteral(" -> ") + result : QString());
    }
    const QVariantMap values = qdbus_cast<QVariantMap>(properties.arguments().value(0));
    for (auto it = values.begin(); it != values.end(); ++it)
        out << QStringLiteral("property %1 %2").arg(it.key(), SignatureOf(it.value()));
    out.sort();
    return out.join(u'\n').toStdString();
}

// A call answered from this very thread: asked without blocking.
QDBusMessage Ask(QDBusConnection& c, const QString& service, const QString& path,
                 const QString& interface, const QString& method, const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(args);
    QDBusPendingCall pending = c.asyncCall(call);
    Until([&] { return pending.isFinished(); });
    return pending.reply();
}

QList<int> Ints(const QDBusMessage& reply, int i = 0) {
    return qdbus_cast<QList<int>>(reply.arguments().value(i));
}

TEST(StatusNotifierItem, EveryMemberOfTheItemAndItsMenuAsHostsCallIt) {
    PrivateBus* bus = SessionBus();
    if (!bus) GTEST_SKIP() << "no private session bus";
    qDBusRegisterMetaType<MenuEvent>();
    qDBusRegisterMetaType<QList<MenuEvent>>();
    QDBusConnection host = bus->connect(QStringLiteral("host"));
    QMenu menu;
    int restores = 0, exits = 0;
    QObject::connect(menu.addAction(QStringLiteral("元に戻す")), &QAction::triggered,
                     [&] { ++restores; });
    QObject::connect(menu.addAction(QStringLiteral("終了")), &QAction::triggered, [&] { ++exits; });
    StatusNotifierItem item(QStringLiteral("pingrove"), QStringLiteral("ピングローブ"));
    QList<StatusNotifierItem::Request> requests;
    item.onRequest = [&](StatusNotifierItem::Request r) { requests << r; };
    item.setMenu(&menu);
    ASSERT_TRUE(item.show());
    const QString name =
        QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(Until([&] { return host.interface()->isServiceRegistered(name).value(); }));
    const auto ask = [&](const char* path, const char* interface, const char* method,
                         const QVariantList& args = {}) {
        return Ask(host, name, QString::fromLatin1(path), QString::fromLatin1(interface),
                   QString::fromLatin1(method), args);
    };
    const auto members = [&](const char* path, const char* interface) {
        return Members(ask(path, "org.freedesktop.DBus.Introspectable", "Introspect"),
                       ask(path, "org.freedesktop.DBus.Properties", "GetAll", {interface}),
                       QString::fromLatin1(interface));
    };
    EXPECT_EQ(members("/StatusNotifierItem", "org.kde.StatusNotifierItem"),
              std::string("method Activate ii -> \n"
                          "method ContextMenu ii -> \n"
                          "method Scroll is -> \n"
                          "method SecondaryActivate ii -> \n"
                          "property AttentionIconName s\n"
                          "property AttentionIconPixmap a(iiay)\n"
                          "property AttentionMovieName s\n"
                          "property Category s\n"
                          "property IconName s\n"
                          "property IconPixmap a(iiay)\n"
                          "property Id s\n"
                          "property ItemIsMenu b\n"
                          "property Menu o\n"
                          "property OverlayIconName s\n"
                          "property OverlayIconPixmap a(iiay)\n"
                          "property Status s\n"
                          "property Title s\n"
                          "property ToolTip (sa(iiay)ss)\n"
                          "property WindowId i\n"
                          "signal NewAttentionIcon \n"
                          "signal NewIcon \n"
                          "signal NewOverlayIcon \n"
                          "signal NewStatus s\n"
                          "signal NewTitle \n"
                          "signal NewToolTip "));
    EXPECT_EQ(members("/MenuBar", "com.canonical.dbusmenu"),
              std::string("method AboutToShow i -> b\n"
                          "method AboutToShowGroup ai -> aiai\n"
                          "method Event isvu -> \n"
                          "method EventGroup a(isvu) -> ai\n"
                          "method GetGroupProperties aias -> a(ia{sv})\n"
                          "method GetLayout iias -> u(ia{sv}av)\n"
                          "method GetProperty is -> v\n"
                          "property IconThemePath as\n"
                          "property Status s\n"
                          "property TextDirection s\n"
                          "property Version u\n"
                          "signal ItemActivationRequested iu\n"
                          "signal ItemsPropertiesUpdated a(ia{sv})a(ias)\n"
                          "signal LayoutUpdated ui"));

    // The item's clicks, each as what it asks of the window, after the host's reply.
    for (const char* click : {"Activate", "ContextMenu", "SecondaryActivate"})
        ask("/StatusNotifierItem", "org.kde.StatusNotifierItem", click, {12, 755});
    ask("/StatusNotifierItem", "org.kde.StatusNotifierItem", "Scroll", {1, "vertical"});
    EXPECT_TRUE(Until([&] { return requests.size() >= 3; }));
    using R = StatusNotifierItem::Request;
    EXPECT_EQ(requests, QList<R>({R::Activate, R::ContextMenu, R::SecondaryActivate}));

    // The menu. Ids that name nothing come back; a call that names nothing else is an error.
    const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    const auto group = [&](const QList<MenuEvent>& events) {
        return ask("/MenuBar", "com.canonical.dbusmenu", "EventGroup",
                   {QVariant::fromValue(events)});
    };
    const auto menuCall = [&](const char* method, const QVariantList& args) {
        return ask("/MenuBar", "com.canonical.dbusmenu", method, args);
    };
    // Only "clicked" acts; the menu's own opening and closing come as events on id 0.
    EXPECT_EQ(Ints(group({{1, "hovered"}, {2, "clicked"}, {9, "clicked"}, {0, "opened"}})),
              QList<int>{9});
    EXPECT_TRUE(Until([&] { return exits == 1; }));
    EXPECT_EQ(restores, 0);
    EXPECT_EQ(group({{9, "clicked"}}).errorName(), invalid);
    menuCall("Event", {1, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_TRUE(Until([&] { return restores == 1; }));
    EXPECT_EQ(
        menuCall("Event", {9, "clicked", QVariant::fromValue(QDBusVariant(0)), 0u}).errorName(),
        invalid);
    const QDBusMessage shown =
        menuCall("AboutToShowGroup", {QVariant::fromValue(QList<int>{0, 9})});
    EXPECT_EQ(Ints(shown, 0), QList<int>{});
    EXPECT_EQ(Ints(shown, 1), QList<int>{9});
    EXPECT_EQ(menuCall("AboutToShowGroup", {QVariant::fromValue(QList<int>{9})}).errorName(),
              invalid);
    EXPECT_EQ(menuCall("AboutToShow", {0}).arguments().value(0), QVariant(false));
    EXPECT_EQ(menuCall("AboutToShow", {9}).errorName(), invalid);
    // No ids: every item, the menu itself first.
    const QDBusArgument all =
        menuCall("GetGroupProperties", {QVariant::fromValue(QList<int>{}), QStringList{"label"}})
            .arguments()
            .value(0)
            .value<QDBusArgument>();
    QList<int> ids;
    all.beginArray();
    while (!all.atEnd()) {
        int id = 0;
        QVariantMap properties;
        all.beginStructure();
        all >> id >> properties;
        all.endStructure();
        ids << id;
    }
    all.endArray();
    EXPECT_EQ(ids, QList<int>({0, 1, 2}));
    const auto property = [&](int id, const char* name) {
        const QDBusMessage m = menuCall("GetProperty", {id, name});
        return m.errorName().isEmpty() ? m.arguments().value(0).value<QDBusVariant>().variant()
                                       : QVariant(m.errorName());
    };
    EXPECT_EQ(property(2, "label"), QVariant(QStringLiteral("終了")));
    EXPECT_EQ(property(2, "enabled"), QVariant(true));  // what it is when left out
    EXPECT_EQ(property(2, "x-unknown"), QVariant(invalid));
    EXPECT_EQ(property(9, "label"), QVariant(invalid));
    EXPECT_EQ(menuCall("GetLayout", {9, -1, QStringList()}).errorName(), invalid);

    // The tooltip: the program's name as its title, the lines after it (the hint, and the line
    // on targets offline) as its description.
    item.setToolTip(QStringLiteral("ピングローブ\n自動偵察オンラインなし\nオフライン 1/2 件：gw"));
    const QDBusArgument tip = ask("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                                  {"org.kde.StatusNotifierItem", "ToolTip"})
                                  .arguments()
                                  .value(0)
                                  .value<QDBusVariant>()
                                  .variant()
                                  .value<QDBusArgument>();
    QString iconName, title, description;
    tip.beginStructure();
    tip >> iconName;
    tip.beginArray();
    while (!tip.atEnd()) {
        int w = 0, h = 0;
        QByteArray bytes;
        tip.beginStructure();
        tip >> w >> h >> bytes;
        tip.endStructure();
    }
    tip.endArray();
    tip >> title >> description;
    tip.endStructure();
    EXPECT_EQ(title, QStringLiteral("ピングローブ"));
    EXPECT_EQ(description, QStringLiteral("自動偵察オンラインなし\nオフライン 1/2 件：gw"));
}

// The watcher's answer to "is a host registered?", as a panel's watcher gives it or fails to.
class FakeWatcher : public QDBusVirtualObject {
public:
    QStringList answers{QStringLiteral("true")};  // the last one stays
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& c) override {
        if (m.member() == u"RegisterStatusNotifierItem") return c.send(m.createReply());
        if (m.member() != u"Get") return false;
        const QString a = answers.size() > 1 ? answers.takeFirst() : answers.first();
        const QVariant value = a == u"true" || a == u"false" ? QVariant(a == u"true") : QVariant(a);
        return c.send(a.contains(u'.') ? m.createErrorReply(a, QStringLiteral("no"))
                                       : m.createReply(QVariant::fromValue(QDBusVariant(value))));
    }
    QString introspect(const QString&) const override { return {}; }
};

TEST(NotificationArea, EachKindOfAnswerOfTheWatcher) {
    PrivateBus* bus = SessionBus();
    if (!bus) GTEST_SKIP() << "no private session bus";
    QDBusConnection panel = bus->connect(QStringLiteral("panel"));
    FakeWatcher watcher;
    const QString name = QStringLiteral("org.kde.StatusNotifierWatcher");
    ASSERT_TRUE(panel.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), &watcher));
    ASSERT_TRUE(panel.registerService(name));
    QtNotificationArea area(QStringLiteral("pingrove"), QStringLiteral("ピングローブ"));
    int gone = 0, arrived = 0;
    area.onGone = [&] { ++gone; };
    area.onArrived = [&] { ++arrived; };
    // What a host coming or going makes the area ask.
    const auto ask = [&] {
        panel.send(QDBusMessage::createSignal(QStringLiteral("/StatusNotifierWatcher"), name,
                                              QStringLiteral("StatusNotifierHostRegistered")));
    };
    const auto intoTheTray = [&] {
        watcher.answers = {QStringLiteral("true")};
        ask();
        return Until([&] { return area.exists(); }) && area.add();
    };
    // No host: a "no", an answer that is no boolean, an error of the watcher or of the bus.
    for (const char* answer :
         {"false", "yes", "org.freedesktop.DBus.Error.ServiceUnknown",
          "org.freedesktop.DBus.Error.UnknownProperty", "org.freedesktop.DBus.Error.AccessDenied",
          "org.freedesktop.DBus.Error.Failed"}) {
        ASSERT_TRUE(intoTheTray()) << answer;
        const int before = gone;
        watcher.answers = {QString::fromLatin1(answer), QStringLiteral("true")};
        ask();
        EXPECT_TRUE(Until([&] { return gone > before; })) << answer << " kept the window in";
    }
    // No answer: the same twice in a row, not once.
    for (const char* answer :
         {"org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout"}) {
        ASSERT_TRUE(intoTheTray()) << answer;
        const int before = gone, arrivals = arrived;
        area.awaitArrival();
        watcher.answers = {QString::fromLatin1(answer), QStringLiteral("true")};
        ask();
        ask();
        EXPECT_TRUE(Until([&] { return arrived > arrivals; })) << answer;
        EXPECT_EQ(gone, before) << "one " << answer << " took the window out";
        watcher.answers = {QString::fromLatin1(answer)};
        ask();
        ask();
        EXPECT_TRUE(Until([&] { return gone > before; })) << "two " << answer;
    }
    // The watcher's name loses its owner.
    ASSERT_TRUE(intoTheTray());
    const int before = gone;
    panel.unregisterService(name);
    EXPECT_TRUE(Until([&] { return gone > before; }));
}

}  // namespace
