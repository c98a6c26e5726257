#pragma once
// The desktop notification of what changed while the user was not watching the window (hidden,
// minimised, or on screen behind another window or on another workspace): the targets told
// online and those told offline during a scan, in one notification when the scan ends (ten by
// name, then how many more). One that names a target gone offline is an alert, which stays until
// the user sees it and is never replaced; one that names only targets back online replaces the
// last such one.
#include <QObject>
#include <QStringList>
#include <functional>

#include "app/trouble_watch.h"

class IDesktopNotifier;
class ScanRunner;

class ChangeNotices : public QObject {
    Q_OBJECT
public:
    // `unseen`: whether changes are to be told now (the switch is on and the user is not
    // watching the window).
    ChangeNotices(ScanRunner& scans, IDesktopNotifier& notifier, std::function<bool()> unseen,
                  QObject* parent = nullptr);
    void changed(const TroubleWatch::Notice& notice);

private:
    void tell();

    static constexpr int kNamed = 10;
    IDesktopNotifier& notifier_;
    std::function<bool()> unseen_;
    QStringList lines_;
    int more_ = 0;
    bool wentOffline_ = false;
};
