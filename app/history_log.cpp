#include "app/history_log.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <string_view>

#include "app/program_info.h"
#include "app/status_texts.h"
#include "files/append_log.h"
#include "platform/desktop_notifier.h"
#include "platform/message_box.h"

// Appends on its own thread; a failure reaches the log through a queued signal, which a log
// that is gone no longer hears.
class HistoryWriter : public QObject {
    Q_OBJECT
public:
    explicit HistoryWriter(const QString& path)
        : file_(QFile::encodeName(path).toStdString(), HistoryLog::header().toStdString(),
                HistoryLog::kRotateAt) {}
    void write(const QByteArray& line) {
        if (!file_.append(std::string_view(line.constData(), static_cast<size_t>(line.size()))))
            emit failed();
    }

signals:
    void failed();

private:
    AppendLog file_;
};

namespace {

// One field as RFC 4180 has it: quoted when it holds a comma, a quote or a line end.
QByteArray Field(const QString& text) {
    QByteArray f = text.toUtf8();
    // A name or an address that a spreadsheet would run as a formula (=, +, - or @ first, or a
    // tab or a CR, after which some look again) starts with an apostrophe: it stays a text.
    if (!f.isEmpty() && std::string_view("=+-@\t\r").find(f.front()) != std::string_view::npos)
        f.prepend('\'');
    if (!f.contains(',') && !f.contains('"') && !f.contains('\r') && !f.contains('\n')) return f;
    f.replace("\"", "\"\"");
    return '"' + f + '"';
}

}  // namespace

HistoryLog::HistoryLog(QString path, QWidget& window, IMessageBox& messages,
                       IDesktopNotifier& notifier)
    : QObject(&window),
      path_(std::move(path)),
      window_(window),
      messages_(messages),
      notifier_(notifier),
      thread_(new QThread),
      writer_(new HistoryWriter(path_)) {
    setObjectName(QStringLiteral("HistoryLog"));
    writer_->moveToThread(thread_);
    connect(writer_, &HistoryWriter::failed, this, &HistoryLog::writeFailed, Qt::QueuedConnection);
    connect(thread_, &QThread::finished, writer_, &QObject::deleteLater);
    thread_->start();
}

HistoryLog::~HistoryLog() {
    thread_->quit();
    // Bounded: a disk that hangs must not hold the end of the program for ever. A thread still
    // writing then is left to the end of the process rather than destroyed while it runs.
    if (thread_->wait(5000)) delete thread_;
}

QByteArray HistoryLog::header() {
    return QByteArray("\xEF\xBB\xBF") +
           QStringLiteral("日時,アドレス,名前,状態,状態コード,理由,応答時間（ms）\r\n").toUtf8();
}

QByteArray HistoryLog::line(const StateChange& c) {
    // The offset written out also for UTC ("+00:00", not "Z"), so every line reads the same way.
    const QDateTime local = c.when.toLocalTime();
    const int offset = local.offsetFromUtc();
    const QString when = local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
                         QStringLiteral("%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                             .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
    const QByteArrayList fields = {
        Field(when),
        Field(c.address),
        Field(c.name),
        Field(c.online ? QStringLiteral("オンライン") : QStringLiteral("オフライン")),
        QByteArray::number(c.status),
        Field(c.online ? QStringLiteral("応答あり") : texts::failureWords(c.status, c.ipv6)),
        c.online ? texts::milliseconds(c.rttUs / 1000.0).toLatin1() : QByteArray()};
    return fields.join(',') + "\r\n";
}

std::optional<HistoryLog::Event> HistoryLog::event(QByteArrayView line) {
    if (line.endsWith('\r')) line.chop(1);
    // The first four fields, as RFC 4180 quotes them.
    QByteArrayList fields;
    qsizetype at = 0;
    while (fields.size() < 4 && at <= line.size()) {
        QByteArray field;
        if (at < line.size() && line[at] == '"') {
            for (++at; at < line.size(); ++at) {
                if (line[at] != '"') {
                    field += line[at];
                } else if (at + 1 < line.size() && line[at + 1] == '"') {
                    field += '"';
                    ++at;
                } else {
                    break;
                }
            }
            if (at >= line.size()) return std::nullopt;  // torn inside its quotes
            ++at;
        } else {
            const qsizetype comma = line.indexOf(',', at);
            field = line.sliced(at, (comma < 0 ? line.size() : comma) - at).toByteArray();
            at = comma < 0 ? line.size() : comma;
        }
        fields.append(field);
        if (at < line.size() && line[at] != ',') return std::nullopt;
        ++at;
    }
    if (fields.size() < 4) return std::nullopt;
    const QDateTime when = QDateTime::fromString(QString::fromUtf8(fields[0]), Qt::ISODate);
    const QString state = QString::fromUtf8(fields[3]);
    const bool online = state == QStringLiteral("オンライン");
    if (!when.isValid() || fields[1].isEmpty() ||
        (!online && state != QStringLiteral("オフライン")))
        return std::nullopt;
    // A text that a spreadsheet would take for a formula is written after an apostrophe.
    QByteArray address = fields[1];
    if (address.size() > 1 && address[0] == '\'' && QByteArrayView("=+-@\t\r").contains(address[1]))
        address.remove(0, 1);
    return Event{when.toMSecsSinceEpoch(), QString::fromUtf8(address), online};
}

void HistoryLog::changed(const StateChange& change) {
    QMetaObject::invokeMethod(
        writer_, [w = writer_, l = line(change)] { w->write(l); }, Qt::QueuedConnection);
}

void HistoryLog::settle() {
    QMetaObject::invokeMethod(
        writer_, [] {}, Qt::BlockingQueuedConnection);
    QCoreApplication::sendPostedEvents(this);
}

bool HistoryLog::exists() const {
    return QFileInfo::exists(path_);
}

void HistoryLog::open() const {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path_));
}

void HistoryLog::writeFailed() {
    if (std::exchange(failureTold_, true)) return;
    const QString text = texts::historyNotWritten(path_);
    if (window_.isVisible() && !window_.isMinimized())
        messages_.showError(&window_, ProductName(), text);
    else
        notifier_.notify(ProductName(), text);
}

#include "history_log.moc"
