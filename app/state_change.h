#pragma once
// A target's state changed (or it got its first result of this run): what the notifications
// and the history file are told.
#include <QDateTime>
#include <QString>

struct StateChange {
    QString address;  // as the row spells it
    QString name;
    bool online = false;
    bool first = false;  // the target's first result of this run
    int status = 0;      // the echo status (0 online)
    int rttUs = 0;       // of an answer, in microseconds
    QDateTime when;
    bool ipv6 = false;  // the host that answered or reported a failure is an IPv6 one
};
