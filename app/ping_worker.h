#pragma once
// The select scan's one probe, off the UI thread. The worker knows only the probe and what to do
// when it is done; the probe's replies and that completion reach the UI thread through whoever
// set them up (the scan runner).
#include <QThread>
#include <functional>
#include <string>

class EchoProbe;

class PingWorker : public QThread {
    Q_OBJECT
public:
    // `done` runs on the worker thread after the probe, also when the probe failed.
    PingWorker(EchoProbe& probe, std::string address, std::function<void()> done)
        : probe_(probe), address_(std::move(address)), done_(std::move(done)) {}

protected:
    void run() override;

private:
    EchoProbe& probe_;
    std::string address_;
    std::function<void()> done_;
};
