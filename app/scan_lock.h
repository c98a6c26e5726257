#pragma once
// The scan lock: while a scan runs, the countdown's ticks stop and the window takes its commands
// away (see command_states.h). The countdown runs again after the scan if it ran before.
#include <functional>

class AutoScanCountdown;

class ScanLock {
public:
    // `changed` runs after every take and release, for the window to enable its commands anew.
    ScanLock(AutoScanCountdown& countdown, std::function<void()> changed);
    void take(bool allScan);
    void release(bool allScan);
    bool allScanHeld() const { return allScan_; }
    bool selectScanHeld() const { return selectScan_; }

private:
    AutoScanCountdown& countdown_;
    std::function<void()> changed_;
    bool allScan_ = false;
    bool selectScan_ = false;
};
