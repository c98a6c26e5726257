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
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, clock_.restart()); });
        timer_.start(1);
        clock_.start();
    }
    qint64 Longest() const { return std::max(longest_, clock_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};
