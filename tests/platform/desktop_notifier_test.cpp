// Desktop notifications over a private session bus of the test's own, with a notification
// service of the test's own on it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QVariantMap>

#include "platform/qt_desktop_notifier.h"

namespace {

// What a desktop's notification service does with a Notify call: shows it and says which it is.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries, bodies, actions;
    QVariantMap hints;
public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actionList, const QVariantMap& hintMap, int) {
        summaries << summary;
        bodies << body;
        actions = actionList;
        hints = hintMap;
        return 7;
    }
    void Ping() {}
};

bool Until(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

// Every message the service sent before this has been handled when it returns: the answer to a
// call comes after them. (Asked without blocking: the service answers from this very thread.)
void Sync(QDBusConnection& client) {
    QDBusPendingCall ping = client.asyncCall(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Ping")));
    ASSERT_TRUE(Until([&] { return ping.isFinished(); }));
    QCoreApplication::processEvents();
}

void Click(QDBusConnection& service, uint id) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << QStringLiteral("default");
    service.send(signal);
}

TEST(DesktopNotifier, OneNotificationAClickOnItAndNothingWithoutAService) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address")});
    if (!daemon.waitForStarted(10000)) GTEST_SKIP() << "no dbus-daemon";
    // The address is printed once the bus listens.
    // The whole line, however the bytes come on a busy machine.
    while (!daemon.canReadLine() && daemon.waitForReadyRead(20000)) {
    }
    ASSERT_TRUE(daemon.canReadLine()) << "the bus did not start";
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
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
    Click(service, 8);
    Sync(client);
    EXPECT_EQ(activated, 0);
    // A click on it, once the service has said which it is.
    EXPECT_TRUE(Until([&] {
        Click(service, 7);
        return activated > 0;
    }));
    // Once closed, its number may be another program's: its clicks no longer count.
    QDBusMessage closed = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("NotificationClosed"));
    closed << 7u << 2u;
    service.send(closed);
    Sync(client);
    const int before = activated;
    Click(service, 7);
    Sync(client);
    EXPECT_EQ(activated, before);

    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
    daemon.kill();
    daemon.waitForFinished(10000);
}

}  // namespace

#include "desktop_notifier_test.moc"
