#pragma once
// The scan lock: while a scan runs, the toolbar's commands, the menus "偵察", "編集" and "設定",
// the list's context menu and the countdown's timer are taken away. An all scan gives back exactly
// the buttons that were enabled before it; a select scan gives back all of them. The editing
// commands pause and restore the timer by the same saved state.
#include <QToolButton>
#include <array>
#include <functional>

class QTimer;

class ScanLock {
public:
    // `setMenusUnlocked` switches the menus and the context menu; `timer` is the countdown's.
    ScanLock(std::array<QToolButton*, 5> buttons, std::function<void(bool)> setMenusUnlocked,
             QTimer& timer);
    void take(bool allScan);
    void releaseAfterAllScan();
    void releaseAfterSelectScan();
    // The timer stopped with its running state saved, and started again by that state.
    void pauseTimer();
    void restoreTimer();

private:
    std::array<QToolButton*, 5> buttons_;
    std::array<bool, 5> wasEnabled_{};
    std::function<void(bool)> setMenusUnlocked_;
    QTimer& timer_;
    bool timerWasActive_ = false;
};
