#include "app/scan_lock.h"

#include <QTimer>

ScanLock::ScanLock(std::array<QToolButton*, 5> buttons, std::function<void(bool)> setMenusUnlocked,
                   QTimer& timer)
    : buttons_(buttons), setMenusUnlocked_(std::move(setMenusUnlocked)), timer_(timer) {}

void ScanLock::take(bool allScan) {
    pauseTimer();
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (allScan) wasEnabled_[i] = buttons_[i]->isEnabled();
        buttons_[i]->setEnabled(false);
    }
    setMenusUnlocked_(false);
}

void ScanLock::releaseAfterAllScan() {
    for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setEnabled(wasEnabled_[i]);
    setMenusUnlocked_(true);
    restoreTimer();
}

void ScanLock::releaseAfterSelectScan() {
    for (QToolButton* b : buttons_) b->setEnabled(true);
    setMenusUnlocked_(true);
    restoreTimer();
}

void ScanLock::pauseTimer() {
    timerWasActive_ = timer_.isActive();
    timer_.stop();
}

void ScanLock::restoreTimer() {
    if (timerWasActive_) timer_.start();
}
