#pragma once
// The countdown to the next automatic all scan: a 1 s timer (object name "Timer1"), the seconds
// elapsed of the interval and the minutes and seconds left. The arithmetic is per tick, so tests
// drive it tick by tick without waiting. The scan lock and the editing commands pause the ticks
// and resume them as they were; nobody else touches the timer.
//
// Where the design's names are found: Timer1 (its timer)   Timer1Timer tick
//   StartCountdown restart   ElapsedSeconds, IntervalSeconds, RemainingMinutes, RemainingSeconds
//   the getters of the same names   Timer1's Tag pause()/resume()
#include <QObject>
#include <QTimer>

class AutoScanCountdown : public QObject {
    Q_OBJECT
public:
    explicit AutoScanCountdown(QObject* parent = nullptr);

    // A fresh interval of `minutes`, shown in full.
    void restart(int minutes);
    // One second has passed; at 0 minutes 0 seconds `due` follows the new display.
    void tick();
    // After an all scan: a countdown that stands at zero begins the interval again, so that its
    // next tick shows the whole interval.
    void rewindIfAtZero(int minutes);
    bool atZero() const { return remainingMinutes_ == 0 && remainingSeconds_ == 0; }

    int elapsedSeconds() const { return elapsedSeconds_; }
    int intervalSeconds() const { return intervalSeconds_; }
    int remainingMinutes() const { return remainingMinutes_; }
    int remainingSeconds() const { return remainingSeconds_; }

    // The ticks, once a second.
    void start();
    void stop();
    bool isRunning() const { return timer_.isActive(); }
    // Stops the ticks, remembering whether they ran; resume() starts them again only if they did.
    void pause();
    void resume();
    // Stops the ticks for good (no echo can be sent any more): start and resume do nothing after.
    void halt();
    bool halted() const { return halted_; }

    // Minutes times 60, held within the 32-bit range.
    static int secondsOf(int minutes);

signals:
    void displayChanged(int minutes, int seconds);
    void due();

private:
    QTimer timer_;
    bool ranBeforePause_ = false;
    bool halted_ = false;
    int elapsedSeconds_ = 0;
    int intervalSeconds_ = 0;
    int remainingMinutes_ = 0;
    int remainingSeconds_ = 0;
};
