#include "private_bus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>

PrivateBus::PrivateBus() {
    // A session bus that starts no service by itself: with the system's service folders, a call
    // to a name nobody owns would start the desktop's own notification daemon, where one is
    // installed, in the place of the test's.
    QFile config(dir_.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly) ||
        config.write("<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
                     "<auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>") < 0)
        return;
    config.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(10000)) return;
    // The address is printed once the bus listens: the whole line, however the bytes come.
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(20000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
    daemon_.kill();
    daemon_.waitForFinished(10000);
}

QDBusConnection PrivateBus::connect(const QString& name) {
    names_ << name;
    return QDBusConnection::connectToBus(address_, name);
}

bool PrivateBus::becomeSessionBus() {
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    const QString self = QDBusConnection::sessionBus().baseService();
    return !self.isEmpty() &&
           connect(QStringLiteral("session-check")).interface()->isServiceRegistered(self).value();
}

PrivateBus* SessionBus() {
    static PrivateBus bus;
    static const bool ours = bus.isUp() && bus.becomeSessionBus();
    return ours ? &bus : nullptr;
}

bool Until(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}
