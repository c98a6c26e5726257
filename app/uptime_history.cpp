#include "app/uptime_history.h"

#include <QFile>
#include <QTimer>

#include "app/history_log.h"

UptimeHistory::UptimeHistory(QString historyPath, QObject* parent)
    : QObject(parent), path_(std::move(historyPath)), runStartMs_(now()) {
    setObjectName(QStringLiteral("UptimeHistory"));
}

UptimeHistory::~UptimeHistory() {
    // At most two files of a megabyte each: the read ends soon, and must not outlive the book.
    if (reader_) reader_->wait();
}

void UptimeHistory::changed(const StateChange& change) {
    book_.record(change.address.toStdString(), change.when.toMSecsSinceEpoch(), change.online);
}

std::optional<double> UptimeHistory::share(const QString& address, int64_t periodMs) const {
    const int64_t to = now();
    return book_.share(address.toStdString(), to - periodMs, to);
}

void UptimeHistory::startReading() {
    if (readAsked_ || path_.isEmpty()) return;
    readAsked_ = true;
    QTimer::singleShot(0, this, &UptimeHistory::read);
}

void UptimeHistory::read() {
    auto read = std::make_shared<UptimeBook>();
    const int64_t keptFrom = now() - UptimeBook::kKeptMs;
    reader_.reset(QThread::create([path = path_, read, keptFrom] {
        readInto(path + QStringLiteral(".1"), *read);
        readInto(path, *read);
        read->forgetBefore(keptFrom);
    }));
    connect(reader_.get(), &QThread::finished, this, [this, read] {
        book_.takeEarlier(*read, runStartMs_);
        emit historyRead();
    });
    reader_->start(QThread::LowPriority);
}

void UptimeHistory::readInto(const QString& path, UptimeBook& book) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    // The files rotate at a megabyte; a file grown larger by hand is read as far as that goes.
    const QByteArray data = file.read(4 * static_cast<qint64>(HistoryLog::kRotateAt));
    for (QByteArrayView rest(data); !rest.isEmpty();) {
        const qsizetype end = rest.indexOf('\n');
        const QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (const auto event = HistoryLog::event(line))
            book.record(event->address.toStdString(), event->atMs, event->online);
    }
}
