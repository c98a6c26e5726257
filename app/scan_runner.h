#pragma once
// The two kinds of scan. A select scan probes one address on a worker thread; an all scan walks
// the rows in list order on the UI thread and lets pending events run between rows, so the stop
// button, the close query and the tray menu work meanwhile. Set to all at once, the all scan
// sends to every row together (EchoSweep) and marks each row as its outcome comes, the events
// running all the while. The runner owns the probe, the worker, the sweep, the stop flag and the
// running and online-found flags, and tells the window what happens through signals, every one
// of them delivered on the UI thread.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/probe_result.h"
#include "probe/echo_probe.h"

class IEchoService;
class IEventPump;
class EchoSweep;
class PingWorker;

class ScanRunner : public QObject {
    Q_OBJECT
public:
    // Raises IcmpUnavailable when no echo socket can be had.
    ScanRunner(IEchoService& echo, IEventPump& pump, QObject* parent = nullptr);
    ~ScanRunner() override;

    EchoProbe& probe() { return probe_; }
    bool allScanRunning() const { return allScanRunning_; }
    bool selectScanRunning() const { return selectScanRunning_; }
    bool onlineFound() const { return onlineFound_; }
    bool stopRequested() const { return stopRequested_; }
    // Ends an all scan: the walk after the row in progress, a scan all at once at once.
    void requestStop();
    // The all scan sends to every row at once (off: the rows one after the other).
    void setAllAtOnce(bool on) { allAtOnce_ = on; }
    // False once echo requests cannot be sent any more, with `echoStopped` the first time and
    // `scanRefused` later: a scan asks before it changes any row, and does not run.
    bool readyToScan();

    // Probes `address` on the worker: `replied`, then `selectScanFinished` follow.
    void runSelectScan(const QString& address);
    // Rows 0 to rowCount() - 1 (counted again at every step): for each, `rowStarting`, pending
    // events, the stop check, `rowProbing`, then the probe and its `replied`. `allScanStarting`
    // comes first and `allScanFinished` last, also when an error ends the pass. All at once:
    // every row's request goes out, and each row gets `rowStarting` and then `replied` (with the
    // row) as its outcome comes; a stop leaves the rows without an outcome untouched.
    void runAllScan(const std::function<int()>& rowCount,
                    const std::function<QString(int)>& addressOf);
    // Lets events run until a select scan's worker has finished and its effects are in.
    void waitForSelectScan();

signals:
    void allScanStarting();
    void rowStarting(int row);
    void rowProbing(int row, const QString& address);
    // One attempt's outcome, whole: status (0 online), responder, probed text, round-trip time,
    // TTL and when it came.
    void replied(const ProbeResult& result);
    void allScanFinished(bool onlineFound);
    void selectScanFinished();
    // Once per run, after the reply that found it: echo requests cannot be sent any more (the
    // ICMP helper died), and why. A running all scan stops; later probes fail at once.
    void echoStopped(const QString& why);
    // A scan was asked for after that and did not run.
    void scanRefused(const QString& why);
    // The probe of `address` under way when echo stopped measured nothing: whatever its start
    // showed on the row is to be taken back. (No `replied` follows for it.)
    void probeLost(const QString& address);

private:
    // False once echo requests cannot be sent; the first time, `echoStopped` follows.
    bool maySend();
    void onProbeReply(int status, const std::string& ip, int rttMs, uint8_t ttl);
    void deliver(const ProbeResult& r);
    // Called through the event queue by name: what the worker hands over travels under
    // workerMutex_, a lock every thread checker sees, and no closure crosses the threads.
    void deliverWorkerReplies();
    void finishSelectScan();
    void finishAllScan();
    void runAllAtOnce(const std::function<int()>& rowCount,
                      const std::function<QString(int)>& addressOf);
    // Marks up to about 2 ms of the outcomes waiting; false when none waited.
    // (The rows stay as they are while the scan holds the window: no row is added, deleted or
    // sorted.)
    bool markOutcomes(const std::function<QString(int)>& addressOf);
    // Stops the sweep and lets it go once its threads have ended.
    void retireSweep();

    IEchoService& echo_;
    IEventPump& pump_;
    EchoProbe probe_;
    bool echoStopTold_ = false;
    QString echoStopReason_;
    // What the probe is at: the row's address text, for the reply (set before the worker starts).
    std::string probedAddress_;
    std::unique_ptr<PingWorker> worker_;
    std::mutex workerMutex_;
    std::vector<ProbeResult> workerReplies_;
    bool allScanRunning_ = false;
    bool selectScanRunning_ = false;
    bool onlineFound_ = false;
    bool stopRequested_ = false;
    bool allAtOnce_ = false;
    bool soundTold_ = false;
    std::unique_ptr<EchoSweep> sweep_;
    // Sweeps that ended while a look-up of theirs still waited for its name server.
    std::vector<std::unique_ptr<EchoSweep>> endedSweeps_;
};
