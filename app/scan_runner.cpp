#include "app/scan_runner.h"

#include <QCoreApplication>

#include "app/ping_worker.h"
#include "platform/event_pump.h"
#include "probe/echo_sweep.h"

ScanRunner::ScanRunner(IEchoService& echo, IEventPump& pump, QObject* parent)
    : QObject(parent), echo_(echo), pump_(pump), probe_(echo, pump) {
    setObjectName("ScanRunner");
    probe_.timeoutMs = 1000;
    probe_.attempts = 1;
    probe_.onReply = [this](EchoProbe*, int status, const std::string& ip, int rttMs, uint8_t ttl) {
        onProbeReply(status, ip, rttMs, ttl);
    };
}

ScanRunner::~ScanRunner() {
    if (worker_) worker_->wait();
    // A sweep's look-up that still waits for its name server is waited for here, at the end.
}

void ScanRunner::onProbeReply(int status, const std::string& ipAddress, int rttMs, uint8_t ttl) {
    ProbeResult r{status,
                  QString::fromStdString(ipAddress),
                  QString::fromStdString(probedAddress_),
                  rttMs,
                  probe_.lastRoundTripUs(),
                  ttl,
                  QDateTime::currentDateTime()};
    if (pump_.onUiThread()) {
        deliver(r);
        return;
    }
    // The select scan's worker: every effect belongs to the UI thread.
    {
        std::lock_guard<std::mutex> lock(workerMutex_);
        workerReplies_.push_back(std::move(r));
    }
    QMetaObject::invokeMethod(this, &ScanRunner::deliverWorkerReplies, Qt::QueuedConnection);
}

void ScanRunner::deliver(const ProbeResult& r) {
    // A failure because the helper died is no result of the target's: nothing was measured.
    if (r.status != ipstatus::kSuccess && !maySend()) {
        emit probeLost(r.address);
        return;
    }
    emit replied(r);
    if (r.status == ipstatus::kSuccess) onlineFound_ = true;
}

bool ScanRunner::maySend() {
    if (echoStopTold_) return false;
    const std::string why = echo_.brokenReason();
    if (why.empty()) return true;
    echoStopTold_ = true;
    echoStopReason_ = QString::fromStdString(why);
    // The rows left would only fail one by one.
    if (allScanRunning_) stopRequested_ = true;
    emit echoStopped(echoStopReason_);
    return false;
}

void ScanRunner::deliverWorkerReplies() {
    std::vector<ProbeResult> replies;
    {
        std::lock_guard<std::mutex> lock(workerMutex_);
        replies.swap(workerReplies_);
    }
    for (const ProbeResult& r : replies) deliver(r);
}

void ScanRunner::runSelectScan(const QString& address) {
    selectScanRunning_ = true;
    if (!readyToScan()) {
        // The helper died since the window asked: what it began on the row is taken back, and
        // the scan ends as one that ran.
        emit probeLost(address);
        QMetaObject::invokeMethod(this, &ScanRunner::finishSelectScan, Qt::QueuedConnection);
        return;
    }
    if (worker_) worker_->wait();  // the previous worker has released; let it end
    probedAddress_ = address.toStdString();
    // Queued behind the reply that the probe queued, so the release comes last.
    worker_ = std::make_unique<PingWorker>(probe_, probedAddress_, [this] {
        QMetaObject::invokeMethod(this, &ScanRunner::finishSelectScan, Qt::QueuedConnection);
    });
    worker_->start();
}

void ScanRunner::finishSelectScan() {
    selectScanRunning_ = false;
    emit selectScanFinished();
}

void ScanRunner::waitForSelectScan() {
    while (selectScanRunning_) {
        if (worker_) worker_->wait(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

bool ScanRunner::readyToScan() {
    const bool told = echoStopTold_;
    if (maySend()) return true;
    if (told) emit scanRefused(echoStopReason_);
    return false;
}

void ScanRunner::requestStop() {
    stopRequested_ = true;
    if (sweep_) sweep_->stop();
}

void ScanRunner::runAllScan(const std::function<int()>& rowCount,
                            const std::function<QString(int)>& addressOf) {
    if (!readyToScan()) return;
    onlineFound_ = false;
    stopRequested_ = false;
    allScanRunning_ = true;
    try {
        emit allScanStarting();
        if (allAtOnce_) {
            runAllAtOnce(rowCount, addressOf);
        } else {
            for (int row = 0; row < rowCount(); ++row) {
                if (echoStopTold_) break;  // before the row's count is raised: nothing measured
                const QString address = addressOf(row);
                emit rowStarting(row);
                pump_.processEvents();
                if (stopRequested_) break;
                emit rowProbing(row, address);
                probedAddress_ = address.toStdString();
                probe_.ping(probedAddress_);
            }
        }
    } catch (...) {
        // An error inside the pass must not leave the window locked for good.
        retireSweep();
        finishAllScan();
        throw;
    }
    finishAllScan();
}

void ScanRunner::runAllAtOnce(const std::function<int()>& rowCount,
                              const std::function<QString(int)>& addressOf) {
    // The events run between pieces of a long list, as between the rows of the scan one by one.
    pump_.processEvents();
    const int rows = rowCount();
    std::vector<std::string> targets;
    targets.reserve(static_cast<size_t>(rows));
    auto piece = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
    for (int row = 0; row < rows && !stopRequested_; ++row) {
        targets.push_back(addressOf(row).toStdString());
        if (std::chrono::steady_clock::now() < piece) continue;
        pump_.processEvents();
        piece = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
    }
    if (stopRequested_) return;
    soundTold_ = false;
    sweep_ = std::make_unique<EchoSweep>(
        echo_, std::move(targets),
        EchoSweep::Settings{probe_.timeoutMs, probe_.ttl, probe_.blockSize});
    // Outcomes come every 2 ms or so: the rows are marked a few at a time, at most every 10 ms,
    // so that the window is drawn once for several rows, with its events running in between.
    constexpr auto kBatch = std::chrono::milliseconds(10);
    while (!stopRequested_ && !echoStopTold_) {
        const auto batchEnds = IEventPump::Clock::now() + kBatch;
        if (markOutcomes(addressOf)) {
            pump_.processEvents();
            if (IEventPump::Clock::now() < batchEnds) pump_.waitReadable(-1, batchEnds);
        } else if (sweep_->ended()) {
            break;
        } else {
            pump_.waitReadable(sweep_->readyDescriptor(),
                               IEventPump::Clock::now() + std::chrono::hours(1));
        }
    }
    retireSweep();
}

bool ScanRunner::markOutcomes(const std::function<QString(int)>& addressOf) {
    // A few rows at a time, for about 2 ms: the window never waits longer for its events.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
    bool any = false;
    while (std::chrono::steady_clock::now() < until) {
        const std::vector<EchoSweep::Outcome> outcomes = sweep_->take(8);
        if (outcomes.empty()) break;
        any = true;
        for (const EchoSweep::Outcome& o : outcomes) {
            if (stopRequested_ || echoStopTold_) return true;
            const int row = static_cast<int>(o.target);
            ProbeResult r{o.status,
                          QString::fromStdString(o.responder),
                          addressOf(row),
                          o.rttUs / 1000,
                          o.rttUs,
                          o.ttl,
                          QDateTime::currentDateTime(),
                          row,
                          !soundTold_};
            emit rowStarting(row);
            deliver(r);
            if (o.status == ipstatus::kSuccess) soundTold_ = true;
        }
    }
    return any;
}

void ScanRunner::retireSweep() {
    if (sweep_) {
        sweep_->stop();
        endedSweeps_.push_back(std::move(sweep_));
    }
    // One whose look-up still waits for its name server is kept until it can go without a wait.
    std::erase_if(endedSweeps_, [](const auto& s) { return s->threadsDone(); });
}

void ScanRunner::finishAllScan() {
    emit allScanFinished(onlineFound_);
    allScanRunning_ = false;
    stopRequested_ = false;
}
