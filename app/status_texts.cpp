#include "app/status_texts.h"

#include "app/target_facts.h"

#include "files/kept_file.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace texts {

QString probing(const QString& a) {
    return QStringLiteral("偵察中（") + a + QStringLiteral("）．．．");
}
QString online(const QString& a) {
    return QStringLiteral("偵察済（") + a + QStringLiteral("）オンライン");
}
QString offline(const QString& a) {
    return QStringLiteral("偵察済（") + a + QStringLiteral("）オフライン");
}
QString sound(bool on) {
    return on ? QStringLiteral("音-オン") : QStringLiteral("音-オフ");
}

QString autoScan(bool on, const QString& intervalText) {
    return on ? QStringLiteral("自動偵察-オン(") + intervalText + QStringLiteral("分毎)")
              : QStringLiteral("自動偵察-オフ");
}

QString countdown(int minutes, int seconds) {
    return QStringLiteral("次回自動偵察まで　%1分%2秒").arg(minutes).arg(seconds);
}

QString hintNoOnline() {
    return QStringLiteral("ピングローブ\n自動偵察オンラインなし");
}
QString hintOnline() {
    return QStringLiteral("ピングローブ\n自動偵察オンラインあり");
}

QString logLine(const QDateTime& when, const QLocale& locale, const QString& address) {
    const QDate d = when.date();
    return d.toString(QStringLiteral("yyyy'年'MM'月'dd'日 '")) +
           locale.dayName(d.dayOfWeek(), QLocale::LongFormat) + QLatin1Char(' ') +
           when.time().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ｜オンライン  ｜") +
           address;
}

namespace {
// A target as a notification names it: its name with its address, or the address alone.
QString Named(const QString& name, const QString& address) {
    return name.isEmpty() ? address : QStringLiteral("%1（%2）").arg(name, address);
}
}  // namespace

QString cameOnline(const QString& name, const QString& address) {
    return Named(name, address) + QStringLiteral("がオンラインになりました");
}

QString wentOffline(const QString& name, const QString& address) {
    return Named(name, address) + QStringLiteral("がオフラインになりました");
}

QString backOnline(const QString& name, const QString& address, qint64 offlineMs) {
    return Named(name, address) +
           QStringLiteral("がオンラインに戻りました（%1間オフライン）").arg(duration(offlineMs));
}

QString duration(qint64 ms) {
    const qint64 minutes = std::max<qint64>(0, ms) / 60000;
    if (minutes < 1) return QStringLiteral("%1 秒").arg(std::max<qint64>(0, ms) / 1000);
    if (minutes < 60) return QStringLiteral("%1 分").arg(minutes);
    if (minutes < 24 * 60)
        return QStringLiteral("%1 時間 %2 分").arg(minutes / 60).arg(minutes % 60);
    return QStringLiteral("%1 日 %2 時間").arg(minutes / (24 * 60)).arg(minutes / 60 % 24);
}

QString troubleSummary(const QStringList& firstOffline, int offline, int targets) {
    if (targets == 0) return QString();
    if (offline == 0) return QStringLiteral("オフラインなし（%1 件中）").arg(targets);
    // A tooltip is a few lines: a name of hundreds of characters is cut short.
    constexpr qsizetype kLongest = 24;
    QStringList shortNames;
    for (const QString& name : firstOffline)
        shortNames << (name.size() > kLongest ? name.left(kLongest - 1) + QStringLiteral("…")
                                              : name);
    QString names = shortNames.join(QStringLiteral("、"));
    if (offline > firstOffline.size())
        names += QLatin1Char(' ') + andMore(offline - firstOffline.size());
    return QStringLiteral("オフライン %1/%2 件：%3").arg(offline).arg(targets).arg(names);
}

QString historyNotWritten(const QString& path) {
    return QStringLiteral("履歴ファイル %1 に書き込めません。").arg(path);
}

QString andMore(int count) {
    return QStringLiteral("ほか %1 件").arg(count);
}

QString failureWords(int status, bool ipv6) {
    if (status == 11004 && ipv6) return QStringLiteral("管理上禁止されています");
    static const std::pair<int, const char*> kReasons[] = {
        {-1, "名前を解決できません"},
        {11002, "ネットワークに到達できません"},
        {11003, "ホストに到達できません"},
        {11004, "プロトコルに到達できません"},
        {11005, "ポートに到達できません"},
        {11009, "パケットが大きすぎます"},
        {11010, "時間切れ"},
        {11012, "経路が正しくありません"},
        {11013, "TTL が尽きました"},
        {11014, "再構成の時間切れ"},
        {11015, "パラメーターの問題"},
        {11016, "送信元抑制"},
        {11040, "宛先に到達できません"},
        {11043, "次ヘッダーを認識できません"},
        {11045, "宛先のスコープが合いません"},
        {11050, "送信できません"},
    };
    for (const auto& [code, text] : kReasons)
        if (code == status) return QString::fromUtf8(text);
    return QStringLiteral("エラー");
}

QString failureReason(int status, bool ipv6) {
    const QString words = failureWords(status, ipv6);
    // A negative code with the minus sign, as the texts are set.
    const QString number = status < 0 ? QStringLiteral("−%1").arg(-static_cast<qint64>(status))
                                      : QString::number(status);
    return QStringLiteral("%1（%2）").arg(words, number);
}

QString targetFacts(const TargetFacts& f, const QDate& today, std::optional<ShownCounts> counts) {
    if (!f.probed()) return QStringLiteral("未偵察");
    const auto time = [&today](int64_t ms) {
        const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
        return t.toString(t.date() == today ? QStringLiteral("HH:mm:ss")
                                            : QStringLiteral("M'月'd'日 'HH:mm:ss"));
    };
    QString s = (f.online() ? QStringLiteral("オンライン") : QStringLiteral("オフライン")) +
                QStringLiteral("（%1 から）").arg(time(f.sinceMs()));
    // The host that answered or failed, when it is not the row's own spelling of it: the
    // address a name or another spelling stands for, or the router that reported the failure.
    const auto from = [](const std::string& host) {
        return host.empty() ? QString()
                            : QStringLiteral("（%1 から）").arg(QString::fromStdString(host));
    };
    if (const auto a = f.lastAnswer())
        s += QStringLiteral("／最終応答 %1　%2　TTL %3")
                 .arg(time(a->atMs()), roundTrip(a->rttUs / 1000.0))
                 .arg(a->ttl) +
             from(f.lastAnswerFrom());
    else
        s += QStringLiteral("／最終応答 なし");
    const ShownCounts shown = counts.value_or(ShownCounts{f.answers(), f.probes()});
    s += QStringLiteral("／応答 %1/%2（%3%）")
             .arg(shown.answers)
             .arg(shown.probes)
             .arg(shown.probes > 0 ? qRound(100.0 * shown.answers / shown.probes) : 0);
    if (f.minRttUs())
        s +=
            QStringLiteral("／最小 %1・平均 %2・最大 %3 ms")
                .arg(milliseconds(*f.minRttUs() / 1000.0), milliseconds(*f.averageRttUs() / 1000.0),
                     milliseconds(*f.maxRttUs() / 1000.0));
    if (const auto failed = f.lastFailure())
        s += QStringLiteral("／最終失敗 %1　%2")
                 .arg(time(failed->atMs), failureReason(failed->status, failed->ipv6)) +
             from(failed->from);
    return s;
}

QString milliseconds(double ms) {
    // Three significant digits, and two decimals below 10 ms: the kernel stamps to the
    // microsecond, a loopback answer takes some tens of them.
    const int decimals = ms < 10 ? 2 : ms < 100 ? 1 : 0;
    return QString::number(ms, 'f', decimals);
}

QString roundTrip(double ms) {
    return milliseconds(ms) + QStringLiteral(" ms");
}

QString echoStopped(const QString& why) {
    return QStringLiteral("ping を送れなくなりました（%1）。ピングローブを起動し直してください。")
        .arg(why);
}

QString echoStoppedShort() {
    return QStringLiteral("ping を送れません");
}
QString autoScanHalted() {
    return QStringLiteral("自動偵察-停止");
}
QString countdownHalted() {
    return QStringLiteral("起動し直すまで自動偵察なし");
}
QString hintEchoStopped() {
    return QStringLiteral("ピングローブ\nping を送れません。起動し直してください");
}

QString notRead(ReadResult result, const QString& path, const ReadLimits& limits) {
    // What becomes of the file: kept under another name at the first save, or, for a file that
    // is not the program's to replace (one beside an installed program), left as it is.
    const QString after =
        limits.keptAside ? QStringLiteral("終了時に元のファイルを別の名前で残してから保存します。")
                         : QStringLiteral("既定の設定で始め、このファイルはそのままにします。");
    switch (result) {
        case ReadResult::Read:
        case ReadResult::Missing:
            return QString();
        case ReadResult::NotRegular:
            return QStringLiteral("%1 は通常のファイルではないため、読み込まずにそのままにします。")
                .arg(path);
        case ReadResult::Unreadable:
            return QStringLiteral("%1 を読み込めません。").arg(path) + after;
        case ReadResult::TooBig:
            return QStringLiteral("%1 は大きすぎて読み込めません（上限 %2 MB）。")
                       .arg(path)
                       .arg(limits.bytes >> 20) +
                   after;
        case ReadResult::TooManyRows:
            return QStringLiteral("%1 は偵察先が多すぎて読み込めません（上限 %2 件）。")
                       .arg(path)
                       .arg(limits.rows) +
                   after;
        case ReadResult::OutOfMemory:
            return QStringLiteral("%1 を読み込むにはメモリが足りません。").arg(path) + after;
    }
    return QString();
}

}  // namespace texts
