// The responsiveness of the main window during an all scan over 10 targets of the test network,
// 5 of them silent (run through bench/network_bench.sh): the longest gap of a 1 ms timer on the UI
// thread, and the time the scan takes beyond the sum of (reply time or Timeout) + Delay.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "app/scan_runner.h"
#include "app/target_list_view.h"
#include "icmp/icmp_echo_service.h"
#include "quiet_services.h"
#include "ui_gap_meter.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // --columns: every optional column of the list shown, their cells drawn as the rows change.
    if (argc > 1 && QByteArray(argv[1]) == "--columns") {
        QFile ini(dir.filePath("pingrove.INI"));
        if (!ini.open(QIODevice::WriteOnly) || ini.write("[Form]\nLCShow=5,6,7,8,9,10\n") < 0)
            return 1;
    }
    IcmpEchoService echo;
    QuietServices quiet(echo, QDir(dir.path()), QStringLiteral("scan_bench"));
    MainWindow form(quiet.services);
    form.show();
    form.findChild<QTimer*>("Timer1")->stop();
    auto* list = form.findChild<TargetListView*>("ListView1");
    EchoProbe& probe = form.findChild<ScanRunner*>("ScanRunner")->probe();
    int replies = 0;
    qint64 replyTimeSum = 0;
    for (int i = 0; i < 10; ++i) {
        const bool silent = i % 2;
        list->appendRow({silent ? "198.18.2.10" : "198.18.1.10", "", {}, {}});
    }
    auto onReply = probe.onReply;
    probe.onReply = [&](EchoProbe* s, int status, const std::string& ip, int rtt, uint8_t t) {
        replyTimeSum += status == 0 ? rtt : probe.timeoutMs;
        ++replies;
        onReply(s, status, ip, rtt, t);
    };
    qint64 idleFloor = 0;
    {
        // The machine's floor: the same timer in an idle event loop for two seconds.
        UiGapMeter idle;
        QEventLoop loop;
        QTimer::singleShot(2000, &loop, &QEventLoop::quit);
        loop.exec();
        idleFloor = idle.Longest();
    }
    UiGapMeter gaps;
    QElapsedTimer total;
    total.start();
    form.runAllScan();
    const qint64 elapsed = total.elapsed();
    const qint64 longestGap = gaps.Longest();
    const qint64 expected = replyTimeSum + 10LL * probe.delayMs;
    std::printf(
        "targets 10 replies %d scan_ms %lld expected_ms %lld overhead_ms_per_target %.2f "
        "longest_ui_gap_ms %lld idle_floor_ms %lld (goal: gap <= floor + 3)\n",
        replies, static_cast<long long>(elapsed), static_cast<long long>(expected),
        (elapsed - expected) / 10.0, static_cast<long long>(longestGap),
        static_cast<long long>(idleFloor));
    return 0;
}
