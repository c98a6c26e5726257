#pragma once
// A session bus of the test's own (dbus-daemon), ended with it, and the waiting the bus tests
// share.
#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

class PrivateBus {
public:
    PrivateBus();  // isUp() says whether the daemon runs
    ~PrivateBus();
    bool isUp() const { return !address_.isEmpty(); }
    // A connection of its own to the bus, closed with it.
    QDBusConnection connect(const QString& name);
    // Makes it this process's session bus; false when something here was on another one already.
    bool becomeSessionBus();

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

// This process's session bus: a private one, made at the first call, or null.
PrivateBus* SessionBus();

// Runs the event loop until `done` holds, at most 10 s; whether it holds.
bool Until(const std::function<bool()>& done);
