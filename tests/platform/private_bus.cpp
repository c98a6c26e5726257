#include "private_bus.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>

PrivateBus::PrivateBus() {
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
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
