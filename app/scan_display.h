#pragma once
// What a scan shows as it goes: the rows' state icons and counts, panel 0, the scan log, the
// sound and the tray icon's animation. It listens to the scan runner; the window keeps the scan
// lock and the countdown.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/state_change.h"

struct ProbeResult;
class ISound;
class QLabel;
class QPlainTextEdit;
class ScanRunner;
class TargetListView;
class TrayIcon;
class QTreeWidgetItem;

class ScanDisplay : public QObject {
    Q_OBJECT
public:
    // What the display asks of the window as it goes.
    struct Window {
        // The sound file for an online reply, or empty when the sound is off.
        std::function<QString()> soundToPlay;
    };
    ScanDisplay(ScanRunner& scans, TargetListView& list, QLabel& probePanel, QPlainTextEdit& log,
                ISound& sound, TrayIcon& tray, Window window, QObject* parent = nullptr);

    // A select scan starts on the selected row.
    void selectScanStarting(int row);

signals:
    // A target's state changed, or it got its first result of this run.
    void stateChanged(const StateChange& change);
    // A row's result is in its facts (after stateChanged, when it changed).
    void recorded(QTreeWidgetItem* row);

private:
    void rowProbing(int row, const QString& address);
    void replied(const ProbeResult& result);
    // The probe under way measured nothing (echo stopped): its row gets back the count and icon
    // its last real result left, and so do the rows an interrupted all scan cleared.
    void probeLost();
    // The row whose scan count a probe's start raised, and the count it had before.
    void countRaised(QTreeWidgetItem* row);

    TargetListView& list_;
    QLabel& probePanel_;
    QPlainTextEdit& log_;
    // Sets a probed row's icon and facts from its result, and tells a change of its state.
    void mark(QTreeWidgetItem* row, const ProbeResult& result);
    void tellChange(QTreeWidgetItem* row, const ProbeResult& result, bool first);

    ISound& sound_;
    TrayIcon& tray_;
    Window window_;
    QTreeWidgetItem* raisedRow_ = nullptr;
    QString countBefore_;
    bool allScanClearedIcons_ = false;
};
