#pragma once
// What a scan shows as it goes: the rows' state icons and counts, panel 0, the scan log, the
// sound and the tray icon's animation. It listens to the scan runner; the window keeps the scan
// lock and the countdown.
#include <QObject>
#include <QString>
#include <functional>

struct ProbeResult;
class ISound;
class QLabel;
class QPlainTextEdit;
class ScanRunner;
class TargetListView;
class TrayIcon;

class ScanDisplay : public QObject {
    Q_OBJECT
public:
    // `soundToPlay` names the sound file for an online reply, or is empty when the sound is off.
    ScanDisplay(ScanRunner& scans, TargetListView& list, QLabel& probePanel, QPlainTextEdit& log,
                ISound& sound, TrayIcon& tray, std::function<QString()> soundToPlay,
                QObject* parent = nullptr);

    // A select scan starts on the selected row.
    void selectScanStarting(int row);

private:
    void rowProbing(int row, const QString& address);
    void replied(const ProbeResult& result);

    TargetListView& list_;
    QLabel& probePanel_;
    QPlainTextEdit& log_;
    ISound& sound_;
    TrayIcon& tray_;
    std::function<QString()> soundToPlay_;
};
