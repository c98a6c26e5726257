#pragma once
// What the answer to a call on the session bus says, told apart in one way for every service the
// program asks (the tray's watcher, the notification service).
#include <QDBusMessage>
#include <QString>

enum class DBusReply {
    Answered,   // a reply, whatever it holds
    NoService,  // nobody owns the name, or our own connection to the bus is gone
    NoAnswer,   // none in time, or the service went away before it answered
    Refused,    // the service itself answered with an error
};

inline DBusReply KindOfReply(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ReplyMessage) return DBusReply::Answered;
    const QString error = reply.errorName();
    const QString bus = QStringLiteral("org.freedesktop.DBus.Error.");
    const QStringView name =
        error.startsWith(bus) ? QStringView(error).mid(bus.size()) : QStringView();
    if (name == u"ServiceUnknown" || name == u"NameHasNoOwner" || name == u"Disconnected")
        return DBusReply::NoService;
    if (name == u"NoReply" || name == u"Timeout" || name == u"TimedOut") return DBusReply::NoAnswer;
    return DBusReply::Refused;
}
