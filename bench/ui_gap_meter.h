#pragma once
// The longest gap between ticks of a 1 ms timer on the UI thread: how long the window could not
// react while some work ran.
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

class UiGapMeter {
public:
    UiGapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 gap = clock_.restart();
            if (gap > longest_) {
                longest_ = gap;
                longestEndedMs_ = since_.elapsed();
            }
        });
        timer_.start(1);
        clock_.start();
        since_.start();
    }
    qint64 Longest() const { return std::max(longest_, clock_.elapsed()); }
    // When the longest gap ended, in ms since the meter started.
    qint64 LongestEndedMs() const { return longestEndedMs_; }

private:
    QTimer timer_;
    QElapsedTimer clock_, since_;
    qint64 longest_ = 0;
    qint64 longestEndedMs_ = 0;
};
