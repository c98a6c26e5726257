#include "app/auto_scan_countdown.h"

#include <cstdint>

#include <algorithm>
#include <limits>

AutoScanCountdown::AutoScanCountdown(QObject* parent) : QObject(parent), timer_(this) {
    setObjectName("AutoScanCountdown");
    timer_.setObjectName("Timer1");
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &AutoScanCountdown::tick);
}

void AutoScanCountdown::restart(int minutes) {
    intervalSeconds_ = secondsOf(minutes);
    elapsedSeconds_ = 0;
    remainingMinutes_ = intervalSeconds_ / 60;
    remainingSeconds_ = intervalSeconds_ % 60;
    if (!halted_) emit displayChanged(remainingMinutes_, remainingSeconds_);
}

void AutoScanCountdown::tick() {
    ++elapsedSeconds_;
    // In 64 bits: an interval near the 32-bit limit minus a negative elapsed count.
    const int64_t left = static_cast<int64_t>(intervalSeconds_) - elapsedSeconds_;
    remainingMinutes_ = static_cast<int>(left / 60);
    remainingSeconds_ = static_cast<int>(left % 60);
    emit displayChanged(remainingMinutes_, remainingSeconds_);
    if (atZero()) emit due();
}

void AutoScanCountdown::rewindIfAtZero(int minutes) {
    if (!atZero()) return;
    elapsedSeconds_ = -1;
    intervalSeconds_ = secondsOf(minutes);
}

void AutoScanCountdown::start() {
    if (!halted_) timer_.start();
}

void AutoScanCountdown::stop() {
    timer_.stop();
}

void AutoScanCountdown::pause() {
    ranBeforePause_ = timer_.isActive();
    timer_.stop();
}

void AutoScanCountdown::resume() {
    if (ranBeforePause_ && !halted_) timer_.start();
}

void AutoScanCountdown::halt() {
    halted_ = true;
    timer_.stop();
}

int AutoScanCountdown::secondsOf(int minutes) {
    const int64_t s = static_cast<int64_t>(minutes) * 60;
    return static_cast<int>(
        std::clamp<int64_t>(s, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
