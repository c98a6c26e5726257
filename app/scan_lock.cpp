#include "app/scan_lock.h"

#include "app/auto_scan_countdown.h"

ScanLock::ScanLock(AutoScanCountdown& countdown, std::function<void()> changed)
    : countdown_(countdown), changed_(std::move(changed)) {}

void ScanLock::take(bool allScan) {
    countdown_.pause();
    (allScan ? allScan_ : selectScan_) = true;
    changed_();
}

void ScanLock::release(bool allScan) {
    (allScan ? allScan_ : selectScan_) = false;
    changed_();
    countdown_.resume();
}
