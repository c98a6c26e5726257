#include "app/scan_display.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>

#include "app/program_info.h"
#include "app/scan_runner.h"
#include "app/status_texts.h"
#include "app/target_facts.h"
#include "app/target_list_view.h"
#include "desktop/tray_icon.h"
#include "icmp/echo_service.h"
#include "platform/sound.h"

ScanDisplay::ScanDisplay(ScanRunner& scans, TargetListView& list, QLabel& probePanel,
                         QPlainTextEdit& log, ISound& sound, TrayIcon& tray, Window window,
                         QObject* parent)
    : QObject(parent),
      list_(list),
      probePanel_(probePanel),
      log_(log),
      sound_(sound),
      tray_(tray),
      window_(std::move(window)) {
    connect(&scans, &ScanRunner::allScanStarting, this, [this] {
        list_.clearImages();
        allScanClearedIcons_ = true;
    });
    connect(&scans, &ScanRunner::rowStarting, this,
            [this](int row) { countRaised(list_.row(row)); });
    connect(&scans, &ScanRunner::probeLost, this, &ScanDisplay::probeLost);
    connect(&scans, &ScanRunner::rowProbing, this, &ScanDisplay::rowProbing);
    connect(&scans, &ScanRunner::replied, this, &ScanDisplay::replied);
    connect(&scans, &ScanRunner::echoStopped, this, [this](const QString& why) {
        probePanel_.setText(texts::echoStoppedShort());
        probePanel_.setToolTip(texts::echoStopped(why));
    });
    // A row counted by a scan that stopped before its probe keeps its count; nothing is pending.
    connect(&scans, &ScanRunner::selectScanFinished, this, [this] { raisedRow_ = nullptr; });
    connect(&scans, &ScanRunner::allScanFinished, this, [this](bool onlineFound) {
        allScanClearedIcons_ = false;
        raisedRow_ = nullptr;
        if (onlineFound) return;
        tray_.setAnimating(false);
        tray_.setIconIndex(0);
        tray_.setHint(texts::hintNoOnline());
    });
}

void ScanDisplay::countRaised(QTreeWidgetItem* row) {
    raisedRow_ = row;
    countBefore_ = TargetListView::subItem(row, Column::ScanCount);
    TargetRow(row).raiseScanCount();
}

namespace {
// The icon of the row's last real result of this run.
RowIcon LastResultIcon(const QTreeWidgetItem* row) {
    const TargetFacts* facts = TargetListView::factsOf(row);
    if (!facts || !facts->probed()) return RowIcon::None;
    return facts->online() ? RowIcon::Online : RowIcon::Offline;
}
}  // namespace

void ScanDisplay::probeLost() {
    if (raisedRow_) {
        TargetListView::setSubItem(raisedRow_, Column::ScanCount, countBefore_);
        TargetRow(raisedRow_).setIcon(LastResultIcon(raisedRow_));
        raisedRow_ = nullptr;
    }
    if (!allScanClearedIcons_) return;
    for (int i = 0; i < list_.rowCount(); ++i) {
        QTreeWidgetItem* row = list_.row(i);
        if (TargetListView::imageIndex(row) == static_cast<int>(RowIcon::None))
            TargetRow(row).setIcon(LastResultIcon(row));
    }
}

void ScanDisplay::selectScanStarting(int row) {
    TargetRow target(list_.row(row));
    countRaised(target.item());
    target.setIcon(RowIcon::Probing);
    probePanel_.setText(texts::probing(target.address()));
}

void ScanDisplay::rowProbing(int row, const QString& address) {
    TargetRow(list_.row(row)).setIcon(RowIcon::Probing);
    list_.focusSelectScroll(list_.row(row));
    probePanel_.setText(texts::probing(address));
}

void ScanDisplay::replied(const ProbeResult& result) {
    raisedRow_ = nullptr;  // a real result: the raised count stands
    const QString& ip = result.responder;
    const QString& address = result.address;
    // A result that names its row is that row's alone.
    QTreeWidgetItem* own = result.row >= 0 ? list_.row(result.row) : nullptr;
    QTreeWidgetItem* probed = own ? own : list_.findRow(address);
    if (result.status != ipstatus::kSuccess) {
        if (probed) mark(probed, result);
        probePanel_.setText(texts::offline(address));
        return;
    }
    // The answer names the host as "127.0.0.1" even when the row says "127.1": a row spelt as the
    // answer names it takes the answer, else the row that was probed; and the probed row is
    // counted when no row is selected.
    QTreeWidgetItem* answered = own || ip == address ? probed : list_.findRow(ip);
    if (QTreeWidgetItem* row = answered ? answered : probed) mark(row, result);
    // An IPv6 answer names its host as RFC 5952 writes it, whatever the list's spelling.
    probePanel_.setText(texts::online(ip.contains(QLatin1Char(':')) ? ip : address));
    QTreeWidgetItem* selected = own ? own : list_.selectedRow();
    if (QTreeWidgetItem* counted = selected ? selected : probed)
        TargetRow(counted).raiseOnlineCount();
    log_.appendPlainText(texts::logLine(result.when, QLocale(), ip));
    if (const QString file = window_.soundToPlay(); !file.isNull() && result.mayPlaySound)
        sound_.playAsyncNoStop(file);
    tray_.notifyOnline();
    if (!tray_.isAnimating()) {
        tray_.setAnimating(true);
        tray_.setHint(texts::hintOnline());
    }
}

void ScanDisplay::mark(QTreeWidgetItem* row, const ProbeResult& result) {
    const bool online = result.status == ipstatus::kSuccess;
    const TargetFacts* before = TargetListView::factsOf(row);
    const bool first = !before;
    const bool changed = first || before->online() != online;
    TargetRow(row).setIcon(online ? RowIcon::Online : RowIcon::Offline);
    TargetListView::recordResult(row, online, online ? result.rttUs : 0, online ? result.ttl : 0,
                                 result.when.toMSecsSinceEpoch(), result.status, result.responder);
    if (changed) tellChange(row, result, first);
    emit recorded(row);
}

void ScanDisplay::tellChange(QTreeWidgetItem* row, const ProbeResult& result, bool first) {
    emit stateChanged({TargetRow(row).address(), TargetListView::subItem(row, Column::Name),
                       result.status == ipstatus::kSuccess, first, result.status, result.rttUs,
                       result.when, result.responder.contains(QLatin1Char(':'))});
}
