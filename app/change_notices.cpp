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

void ChangeNotices::changed(const StateChange& c) {
    if ((c.first && !c.online) || !unseen_ || !unseen_()) return;
    if (lines_.size() >= kNamed) {
        ++more_;
        return;
    }
    lines_ << (c.online ? texts::cameOnline(c.name, c.address)
                        : texts::wentOffline(c.name, c.address));
}

void ChangeNotices::tell() {
    if (lines_.isEmpty()) return;
    if (more_ > 0) lines_ << texts::andMore(more_);
    notifier_.notify(ProductName(), lines_.join(QLatin1Char('\n')));
    lines_.clear();
    more_ = 0;
}
