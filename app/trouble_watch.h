#pragma once
// What the program tells of each target's state beside its row's icon: a target counts as
// offline only after a number of probes in a row without an answer (the FAILS setting), so one
// lost ping is no trouble; it counts as online again at its next answer. From these told states
// come the desktop notifications, the tray's mark and summary, and the offline sound, played
// once per scan that finds a target newly offline. The row's icon and the history keep showing
// every probe.
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class ISound;
class QTreeWidgetItem;
class ScanRunner;
class TargetListView;

class TroubleWatch : public QObject {
    Q_OBJECT
public:
    struct Settings {
        std::function<int()> failsToConfirm;
        // The offline sound's file, or empty while that sound is off.
        std::function<QString()> offlineSound;
    };
    // A change of a target's told state.
    struct Notice {
        enum Kind { CameOnline, BackOnline, WentOffline };
        Kind kind = CameOnline;
        QString name;
        QString address;
        qint64 offlineMs = 0;  // BackOnline: how long it was told offline
    };
    TroubleWatch(ScanRunner& scans, TargetListView& list, ISound& sound, Settings settings,
                 QObject* parent = nullptr);

    // A row's result is in its facts.
    void recorded(QTreeWidgetItem* row);
    int offlineCount() const { return static_cast<int>(offlineRows_.size()); }

    static constexpr int kNamed = 5;

signals:
    void told(const TroubleWatch::Notice& notice);
    // The first kNamed targets told offline by name (or address), in the order they went
    // offline; how many are; and how many targets there are (0 before any is told of).
    void troubleChanged(const QStringList& firstOffline, int offline, int targets);

private:
    void forget(const QTreeWidgetItem* row);
    void tellTrouble();

    TargetListView& list_;
    ISound& sound_;
    Settings settings_;
    // Each row's told state: absent until its first told state; then online, or offline since.
    struct Told {
        bool online = false;
        qint64 offlineSinceMs = 0;
    };
    QHash<const QTreeWidgetItem*, Told> told_;
    QList<const QTreeWidgetItem*> offlineRows_;  // in the order they went offline
    bool offlineSoundPlayed_ = false;            // in this scan
};
