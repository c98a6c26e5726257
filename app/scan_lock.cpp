#include "app/scan_lock.h"

#include "app/auto_scan_countdown.h"

ScanLock::ScanLock(std::array<QToolButton*, 5> buttons, std::function<void(bool)> setMenusUnlocked,
                   AutoScanCountdown& countdown)
    : buttons_(buttons), setMenusUnlocked_(std::move(setMenusUnlocked)), countdown_(countdown) {}

void ScanLock::take(bool allScan) {
    countdown_.pause();
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (allScan) wasEnabled_[i] = buttons_[i]->isEnabled();
        buttons_[i]->setEnabled(false);
    }
    setMenusUnlocked_(false);
}

void ScanLock::releaseAfterAllScan() {
    for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setEnabled(wasEnabled_[i]);
    setMenusUnlocked_(true);
    countdown_.resume();
}

void ScanLock::releaseAfterSelectScan() {
    for (QToolButton* b : buttons_) b->setEnabled(true);
    setMenusUnlocked_(true);
    countdown_.resume();
}
