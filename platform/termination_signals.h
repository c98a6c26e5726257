#pragma once
// SIGTERM (a logout without a session manager, `kill`), SIGHUP (the terminal went away) and SIGINT
// (Ctrl+C) as an event of the UI thread: the handler only writes a byte into a pipe, whose reading
// end the event loop watches, so the close runs as any other event. While this object lives the
// three signals no longer end the process on the spot.
#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Gives the three signals back their default action.
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
