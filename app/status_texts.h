#pragma once
// Every text the main window puts into its status panels, its tray hint and its scan log.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

#include "files/atomic_file.h"

class TargetFacts;

namespace texts {
QString probing(const QString& address);  // panel 0 while a probe runs
QString online(const QString& address);   // panel 0 after an echo reply
QString offline(const QString& address);  // panel 0 after any other outcome
// Once pinging stopped working: the whole reason with what to do (a message, a notification,
// panel 0's tooltip), and what panel 0, panel 2, panel 3 and the tray's hint say.
QString echoStopped(const QString& why);
QString echoStoppedShort();
QString autoScanHalted();
QString countdownHalted();
QString hintEchoStopped();
QString sound(bool on);                                  // panel 1
QString autoScan(bool on, const QString& intervalText);  // panel 2
QString countdown(int minutes, int seconds);             // panel 3
QString hintNoOnline();
QString hintOnline();
// One line of the desktop notification for a target that came online unseen.
QString cameOnline(const QString& name, const QString& address);
QString wentOffline(const QString& name, const QString& address);
// A target told offline answers again: 「…がオンラインに戻りました（12 分間オフライン）」.
QString backOnline(const QString& name, const QString& address, qint64 offlineMs);
// How long something lasted: 「45 秒」, 「12 分」, 「2 時間 5 分」, 「3 日 4 時間」.
QString duration(qint64 ms);
// The tray's line on trouble: how many of how many targets are offline, the first of them by name
// (then 「ほか N 件」); or that none is. Empty while nothing is known yet (`targets` 0).
QString troubleSummary(const QStringList& firstOffline, int offline, int targets);
// The last line of a notification that names only some of the targets.
QString andMore(int count);
// What this run learned of a target, on one line (the row's tooltip and accessible description).
// Times of another day than `today` carry their date: after midnight "17:20" alone would mislead.
// `counts`: the answers and probes to show, where the row counts otherwise than the facts (a
// row counted by a scan stopped before its probe).
struct ShownCounts {
    qint64 answers = 0;
    qint64 probes = 0;
};
QString targetFacts(const TargetFacts& facts, const QDate& today = QDate::currentDate(),
                    std::optional<ShownCounts> counts = std::nullopt);
// A round-trip time as precisely as it is measured (「0.04 ms」, 「1.25 ms」, 「12.3 ms」,
// 「123 ms」), and the number alone.
QString roundTrip(double ms);
QString milliseconds(double ms);
// Why an echo failed, in words with its status code: 「時間切れ（11010）」; the words alone. The
// words of a code may depend on the family of the host that reported it (`ipv6`): 11004 is a
// protocol unreachable in ICMP and "administratively prohibited" in ICMPv6.
QString failureReason(int status, bool ipv6 = false);
QString failureWords(int status, bool ipv6 = false);
// The history file could not be written (told once).
QString historyNotWritten(const QString& path);
// One scan log line: date, the weekday's full name in `locale`, time, state and address.
QString logLine(const QDateTime& when, const QLocale& locale, const QString& address);
// What a file may hold, and whether one that could not be read is kept under another name at the
// first save (the program's own file) or left alone (one it only reads).
struct ReadLimits {
    size_t bytes = 0;
    size_t rows = 0;
    bool keptAside = true;
};
// The line that tells why a file was not read at start; empty when it was read or is missing.
QString notRead(ReadResult result, const QString& path, const ReadLimits& limits);
}  // namespace texts
