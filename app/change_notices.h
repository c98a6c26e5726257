#pragma once
// The desktop notification of what changed while the window was not on screen: the targets that
// came online and those that went offline during a scan, told in one notification when the scan
// ends (ten by name, then how many more). A target's first result counts only when it is online.
#include <QObject>
#include <QStringList>
#include <functional>

#include "app/state_change.h"

class IDesktopNotifier;
class ScanRunner;

class ChangeNotices : public QObject {
    Q_OBJECT
public:
    // `unseen`: whether changes are to be told now (the switch is on and the window is hidden or
    // minimised).
    ChangeNotices(ScanRunner& scans, IDesktopNotifier& notifier, std::function<bool()> unseen,
                  QObject* parent = nullptr);
    void changed(const StateChange& change);

private:
    void tell();

    static constexpr int kNamed = 10;
    IDesktopNotifier& notifier_;
    std::function<bool()> unseen_;
    QStringList lines_;
    int more_ = 0;
};
