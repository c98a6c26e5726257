#include "app/change_notices.h"

#include "app/program_info.h"
#include "app/scan_runner.h"
#include "app/status_texts.h"
#include "platform/desktop_notifier.h"

ChangeNotices::ChangeNotices(ScanRunner& scans, IDesktopNotifier& notifier,
                             std::function<bool()> unseen, QObject* parent)
    : QObject(parent), notifier_(notifier), unseen_(std::move(unseen)) {
    connect(&scans, &ScanRunner::selectScanFinished, this, &ChangeNotices::tell);
    connect(&scans, &ScanRunner::allScanFinished, this, &ChangeNotices::tell);
}

void ChangeNotices::changed(const TroubleWatch::Notice& n) {
    if (!unseen_ || !unseen_()) return;
    wentOffline_ = wentOffline_ || n.kind == TroubleWatch::Notice::WentOffline;
    if (lines_.size() >= kNamed) {
        ++more_;
        return;
    }
    switch (n.kind) {
        case TroubleWatch::Notice::CameOnline:
            lines_ << texts::cameOnline(n.name, n.address);
            break;
        case TroubleWatch::Notice::BackOnline:
            lines_ << texts::backOnline(n.name, n.address, n.offlineMs);
            break;
        case TroubleWatch::Notice::WentOffline:
            lines_ << texts::wentOffline(n.name, n.address);
            break;
    }
}

void ChangeNotices::tell() {
    if (lines_.isEmpty()) return;
    if (more_ > 0) lines_ << texts::andMore(more_);
    const QString body = lines_.join(QLatin1Char('\n'));
    if (std::exchange(wentOffline_, false))
        notifier_.alert(ProductName(), body);
    else
        notifier_.notify(ProductName(), body);
    lines_.clear();
    more_ = 0;
}
