#pragma once
// How each target did over the last 24 hours and 7 days, across restarts: the kept history (the
// file and the one before it) is read on a thread of its own, then kept up to date by each change
// of this run. The read starts when an uptime is first shown, so a start that shows none pays
// nothing for it; until it is in, the shares know this run only.
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>

#include "app/state_change.h"
#include "app/uptime_book.h"

class UptimeHistory : public QObject {
    Q_OBJECT
public:
    // `historyPath` may be empty: no history is kept, the shares know this run only.
    explicit UptimeHistory(QString historyPath, QObject* parent = nullptr);
    ~UptimeHistory() override;

    // A change of a target's state, or its first result of this run.
    void changed(const StateChange& change);
    // The share online over the last `periodMs` before now.
    std::optional<double> share(const QString& address, int64_t periodMs) const;
    // Starts reading the kept history, once, from the event loop: after whatever the window is
    // doing now (a start shows the window first).
    void startReading();
    // The clock, for a test.
    std::function<int64_t()> now = [] { return QDateTime::currentMSecsSinceEpoch(); };

    // Reads a history file's lines into `book`; damaged or foreign lines are skipped.
    static void readInto(const QString& path, UptimeBook& book);

signals:
    // The kept history is in: every share may have changed.
    void historyRead();

private:
    void read();

    QString path_;
    bool readAsked_ = false;
    UptimeBook book_;
    int64_t runStartMs_;
    std::unique_ptr<QThread> reader_;
};
