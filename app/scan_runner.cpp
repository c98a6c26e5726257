#include "app/scan_runner.h"

#include <QCoreApplication>

#include "app/ping_worker.h"
#include "platform/event_pump.h"

ScanRunner::ScanRunner(IEchoService& echo, IEventPump& pump, QObject* parent)
    : QObject(parent), pump_(pump), probe_(echo, pump) {
    setObjectName("ScanRunner");
    probe_.Address = "192.168.0.1";
    probe_.Timeout = 1000;
    probe_.NumberOfPings = 1;
    probe_.OnReply = [this](TMxICMP*, int status, const std::string& ip, int, uint8_t) {
        onProbeReply(status, ip);
    };
}

ScanRunner::~ScanRunner() {
    if (worker_) worker_->wait();
}

void ScanRunner::onProbeReply(int status, const std::string& ipAddress) {
    const QString ip = QString::fromStdString(ipAddress);
    const QString address = QString::fromStdString(probe_.Address);
    auto deliver = [this, status, ip, address] {
        emit replied(status, ip, address);
        if (status == 0) onlineFound_ = true;
    };
    // The select scan's worker: every effect belongs to the UI thread.
    if (!pump_.OnUiThread()) {
        QMetaObject::invokeMethod(this, deliver, Qt::QueuedConnection);
        return;
    }
    deliver();
}

void ScanRunner::runSelectScan(const QString& address) {
    selectScanRunning_ = true;
    probe_.Address = address.toStdString();
    if (worker_) worker_->wait();  // the previous worker has released; let it end
    // Queued behind the reply that the probe queued, so the release comes last.
    worker_ = std::make_unique<PingWorker>(probe_, [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                selectScanRunning_ = false;
                emit selectScanFinished();
            },
            Qt::QueuedConnection);
    });
    worker_->start();
}

void ScanRunner::waitForSelectScan() {
    while (selectScanRunning_) {
        if (worker_) worker_->wait(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void ScanRunner::runAllScan(const std::function<int()>& rowCount,
                            const std::function<QString(int)>& addressOf) {
    onlineFound_ = false;
    stopRequested_ = false;
    allScanRunning_ = true;
    try {
        emit allScanStarting();
        for (int row = 0; row < rowCount(); ++row) {
            const QString address = addressOf(row);
            probe_.Address = address.toStdString();
            emit rowStarting(row);
            pump_.ProcessEvents();
            if (stopRequested_) break;
            emit rowProbing(row, address);
            probe_.Ping();
        }
    } catch (...) {
        // An error inside the pass must not leave the window locked for good.
        finishAllScan();
        throw;
    }
    finishAllScan();
}

void ScanRunner::finishAllScan() {
    emit allScanFinished(onlineFound_);
    allScanRunning_ = false;
    stopRequested_ = false;
}
