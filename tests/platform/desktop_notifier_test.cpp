// Desktop notifications over a private session bus of the test's own, with a notification
// service of the test's own on it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QImage>
#include <QVariantMap>

#include "platform/qt_desktop_notifier.h"
#include "private_bus.h"

namespace {

// What a desktop's notification service does with a Notify call: shows it (in the place of the
// one it replaces) and says which it is, or answers with the error it is told to.
class FakeNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries, bodies, actions;
    QList<uint> replaced;
    QVariantMap hints;
    QString refusal;  // the error the next call gets
    uint next = 7;
public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList& actionList, const QVariantMap& hintMap,
                int) {
        summaries << summary;
        bodies << body;
        replaced << replaces;
        actions = actionList;
        hints = hintMap;
        if (!refusal.isEmpty()) sendErrorReply(std::exchange(refusal, {}), QStringLiteral("no"));
        return replaces ? replaces : next++;
    }
    void Ping() {}
};

// Every message the service sent before this has been handled when it returns: the answer to a
// call comes after them, and is handed on as the notifier's answers are. (Asked without blocking:
// the service answers from this very thread.)
void Sync(QDBusConnection& client) {
    QDBusPendingCallWatcher ping(client.asyncCall(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Ping"))));
    bool answered = false;
    QObject::connect(&ping, &QDBusPendingCallWatcher::finished, [&] { answered = true; });
    ASSERT_TRUE(Until([&] { return answered; }));
}

void Click(QDBusConnection& service, uint id) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << QStringLiteral("default");
    service.send(signal);
}

void Closed(QDBusConnection& service, uint id) {
    QDBusMessage closed = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("NotificationClosed"));
    closed << id << 2u;
    service.send(closed);
}

TEST(DesktopNotifier, OneNotificationAClickOnItAndNothingWithoutAService) {
    PrivateBus bus;
    if (!bus.isUp()) GTEST_SKIP() << "no dbus-daemon";
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    QDBusConnection service = bus.connect(QStringLiteral("service"));
    ASSERT_TRUE(client.isConnected() && service.isConnected());

    QImage picture(4, 3, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    QtDesktopNotifier notifier(
        QStringLiteral("ピングローブ"), [&] { return picture; }, [&] { return client; });
    int activated = 0;
    notifier.onActivated = [&] { ++activated; };
    // No service on the bus yet: the call comes back as an error, which is dropped.
    notifier.notify(QStringLiteral("ピングローブ"), QStringLiteral("nobody hears this"));

    FakeNotifications fake;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    const QString body = QStringLiteral("self（127.0.0.1）がオンラインになりました");
    notifier.notify(QStringLiteral("ピングローブ"), body);
    // (The call made before the service was there may still reach it, should the bus route it
    // after the registration: the two connections' messages are not ordered.)
    ASSERT_TRUE(Until([&] { return fake.bodies.contains(body); }));
    EXPECT_EQ(fake.summaries[fake.bodies.indexOf(body)], QStringLiteral("ピングローブ"));
    EXPECT_TRUE(fake.actions.contains(QStringLiteral("default")));
    // Our own picture goes with it, RGBA: an icon name means nothing before the install.
    const QDBusArgument image =
        fake.hints.value(QStringLiteral("image-data")).value<QDBusArgument>();
    int width = 0, height = 0, stride = 0, bits = 0, channels = 0;
    bool alpha = false;
    QByteArray bytes;
    image.beginStructure();
    image >> width >> height >> stride >> alpha >> bits >> channels >> bytes;
    image.endStructure();
    EXPECT_EQ(std::vector<int>({width, height, stride, bits, channels, int(bytes.size())}),
              std::vector<int>({4, 3, 16, 8, 4, 48}));
    EXPECT_EQ(bytes.left(4), QByteArray("\xff\x00\x00\xff", 4));
    // A click on another program's notification is not ours.
    Click(service, 99);
    Sync(client);
    EXPECT_EQ(activated, 0);
    // A click on it, once the service has said which it is.
    EXPECT_TRUE(Until([&] {
        Click(service, 7);
        return activated > 0;
    }));
    // Once closed, its number may be another program's: its clicks no longer count.
    Closed(service, 7);
    Sync(client);
    const int before = activated;
    Click(service, 7);
    Sync(client);
    EXPECT_EQ(activated, before);
}

// Each answer of the service decides what the next notification replaces: the one before while
// it is up, nothing once the user closed it or the service went away (its numbers may then be
// given to other programs' notifications).
TEST(DesktopNotifier, WhatTheNextOneReplacesAfterEachAnswer) {
    PrivateBus bus;
    if (!bus.isUp()) GTEST_SKIP() << "no dbus-daemon";
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    QDBusConnection service = bus.connect(QStringLiteral("service"));
    FakeNotifications fake;
    const QString name = QStringLiteral("org.freedesktop.Notifications");
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(name));
    QtDesktopNotifier notifier(QStringLiteral("ピングローブ"), {}, [&] { return client; });
    int activated = 0;
    notifier.onActivated = [&] { ++activated; };
    const auto notify = [&](const QString& error = {}) {
        fake.refusal = error;
        const qsizetype calls = fake.replaced.size();
        notifier.notify(QStringLiteral("ピングローブ"), QStringLiteral("…"));
        EXPECT_TRUE(Until([&] { return fake.replaced.size() > calls; }));
        Sync(client);
        return fake.replaced.last();
    };
    EXPECT_EQ(notify(), 0u);  // shown as 7
    EXPECT_EQ(notify(), 7u);
    Closed(service, 7);
    Sync(client);
    EXPECT_EQ(notify(), 0u) << "a closed notification was replaced";  // shown as 8
    EXPECT_EQ(notify(QStringLiteral("org.freedesktop.DBus.Error.Failed")), 8u);
    EXPECT_EQ(notify(QStringLiteral("org.freedesktop.DBus.Error.NoReply")), 8u);
    EXPECT_EQ(notify(), 8u) << "a refusal or a late answer forgot the one still shown";
    // The service goes away (it crashed) and another one comes.
    service.unregisterService(name);
    notifier.notify(QStringLiteral("ピングローブ"), QStringLiteral("nobody"));
    Sync(client);
    ASSERT_TRUE(service.registerService(name));
    EXPECT_EQ(notify(), 0u) << "a number of the service that went away was replaced";
    Click(service, 8);
    Sync(client);
    EXPECT_EQ(activated, 0);
    // An alert (a target gone offline) is critical: it replaces nothing and nothing replaces it.
    notifier.alert(QStringLiteral("ピングローブ"), QStringLiteral("down"));
    ASSERT_TRUE(Until([&] { return fake.bodies.last() == QStringLiteral("down"); }));
    Sync(client);
    EXPECT_EQ(fake.replaced.last(), 0u);  // shown as 10
    const QVariant urgency = fake.hints.value(QStringLiteral("urgency"));
    EXPECT_EQ(urgency.metaType(), QMetaType::fromType<uchar>());  // a byte, as the protocol has it
    EXPECT_EQ(urgency.toInt(), 2);
    EXPECT_EQ(notify(), 9u) << "the alert was replaced";
    EXPECT_FALSE(fake.hints.contains(QStringLiteral("urgency")));
}

}  // namespace

#include "desktop_notifier_test.moc"
