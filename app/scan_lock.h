#pragma once
// The scan lock: while a scan runs, the toolbar's commands, the menus "偵察", "編集" and "設定",
// the list's context menu and the countdown's ticks are taken away. An all scan gives back exactly
// the buttons that were enabled before it; a select scan gives back all of them; the countdown
// runs again if it ran before.
#include <QToolButton>
#include <array>
#include <functional>

class AutoScanCountdown;

class ScanLock {
public:
    // `setMenusUnlocked` switches the menus and the context menu.
    ScanLock(std::array<QToolButton*, 5> buttons, std::function<void(bool)> setMenusUnlocked,
             AutoScanCountdown& countdown);
    void take(bool allScan);
    void releaseAfterAllScan();
    void releaseAfterSelectScan();

private:
    std::array<QToolButton*, 5> buttons_;
    std::array<bool, 5> wasEnabled_{};
    std::function<void(bool)> setMenusUnlocked_;
    AutoScanCountdown& countdown_;
};
