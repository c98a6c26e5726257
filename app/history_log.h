#pragma once
// The kept history: every change of a target's state, and its first result of a run, as one line
// of a CSV file (RFC 4180, UTF-8 with a byte order mark, so that spreadsheet programs on every
// platform read the Japanese names): local date and time with its offset (ISO 8601), address,
// name, the new state, the status code and its reason, the round-trip time. The lines are
// written on a thread of their own, each appended and flushed, so a slow disk never holds the
// window; a file that cannot be written is told of once, over the window on screen or as a
// desktop notification while it is hidden.
#include <QObject>
#include <QString>
#include <optional>

#include "app/state_change.h"

class IDesktopNotifier;
class IMessageBox;
class QThread;
class QWidget;
class HistoryWriter;

class HistoryLog : public QObject {
    Q_OBJECT
public:
    // About ten thousand events a file; the file before is kept as NAME.1.
    static constexpr size_t kRotateAt = 1u << 20;

    HistoryLog(QString path, QWidget& window, IMessageBox& messages, IDesktopNotifier& notifier);
    // Lets the lines under way reach the file first.
    ~HistoryLog() override;
    void changed(const StateChange& change);
    const QString& path() const { return path_; }
    bool exists() const;
    // Opens the file with the desktop's application for it, without waiting for it.
    void open() const;
    // Waits until the lines given so far are written, then lets their failures be told: for a
    // test, which must not guess when a thread is done.
    void settle();

    // The file's first bytes and one event's line, as written.
    static QByteArray header();
    static QByteArray line(const StateChange& change);
    // What a line of the file tells, read back: when, which address, and its state; nothing for
    // the header, a torn line or one of another program.
    struct Event {
        int64_t atMs = 0;
        QString address;
        bool online = false;
    };
    static std::optional<Event> event(QByteArrayView line);

private slots:
    void writeFailed();

private:
    QString path_;
    QWidget& window_;
    IMessageBox& messages_;
    IDesktopNotifier& notifier_;
    QThread* thread_;
    HistoryWriter* writer_;  // lives on thread_
    bool failureTold_ = false;
};
