#include "app/trouble_watch.h"

#include "app/scan_runner.h"
#include "app/target_facts.h"
#include "app/target_list_view.h"
#include "platform/sound.h"

TroubleWatch::TroubleWatch(ScanRunner& scans, TargetListView& list, ISound& sound,
                           Settings settings, QObject* parent)
    : QObject(parent), list_(list), sound_(sound), settings_(std::move(settings)) {
    setObjectName(QStringLiteral("TroubleWatch"));
    const auto scanEnded = [this] { offlineSoundPlayed_ = false; };
    connect(&scans, &ScanRunner::allScanFinished, this, scanEnded);
    connect(&scans, &ScanRunner::selectScanFinished, this, scanEnded);
    // A deleted row is no longer told of; an added one counts among the targets.
    QAbstractItemModel* rows = list_.model();
    connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                for (int i = first; i <= last; ++i) forget(list_.row(i));
            });
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        told_.clear();
        offlineRows_.clear();
    });
    for (auto changed : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::rowsInserted})
        connect(rows, changed, this, &TroubleWatch::tellTrouble);
    connect(rows, &QAbstractItemModel::modelReset, this, &TroubleWatch::tellTrouble);
}

void TroubleWatch::forget(const QTreeWidgetItem* row) {
    if (told_.remove(row)) offlineRows_.removeOne(row);
}

void TroubleWatch::recorded(QTreeWidgetItem* row) {
    const TargetFacts* facts = TargetListView::factsOf(row);
    if (!facts || !facts->probed()) return;
    const auto found = told_.constFind(row);
    const bool known = found != told_.constEnd();
    Notice notice{Notice::CameOnline, TargetListView::subItem(row, Column::Name),
                  TargetRow(row).address(), 0};
    if (facts->online()) {
        if (known && found->online) return;
        if (known) {
            notice.kind = Notice::BackOnline;
            notice.offlineMs = facts->lastAnswer()->atMs() - found->offlineSinceMs;
            offlineRows_.removeOne(row);
        }
        told_[row] = Told{true, 0};
    } else {
        if ((known && !found->online) || facts->failsInARow() < settings_.failsToConfirm()) return;
        // Offline since its first probe without an answer, not since it was confirmed.
        told_[row] = Told{false, facts->sinceMs()};
        offlineRows_.append(row);
        notice.kind = Notice::WentOffline;
        if (const QString sound = settings_.offlineSound();
            !sound.isEmpty() && !std::exchange(offlineSoundPlayed_, true))
            sound_.playWhenFree(sound);
    }
    emit told(notice);
    tellTrouble();
}

void TroubleWatch::tellTrouble() {
    QStringList names;
    for (const QTreeWidgetItem* row : offlineRows_.mid(0, kNamed)) {
        const QString name = TargetListView::subItem(row, Column::Name);
        names << (name.isEmpty() ? TargetListView::subItem(row, Column::Address) : name);
    }
    emit troubleChanged(names, offlineCount(), told_.isEmpty() ? 0 : list_.rowCount());
}
