#pragma once
// SIGTERM (a logout without a session manager, `kill`), SIGHUP (the terminal went away) and SIGINT
// (Ctrl+C) as an event of the UI thread: the handler only writes a byte into a pipe, whose reading
// end the event loop watches, so the close runs as any other event. While this object lives the
// three signals no longer end the process on the spot; any held back since the start arrive now.
#include <QObject>

class QSocketNotifier;

// Holds back the three signals from the first instant of the program (call first thing in main):
// one that comes before the window can save is delivered once TerminationSignals exists, so no
// start ends unsaved. Plain system calls, no Qt.
void holdTerminationSignals();
// Lets held signals through with their default action, for a start that ends before the window
// exists (nothing to save then): the user's `kill` ends it as always.
void releaseTerminationSignals();

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
