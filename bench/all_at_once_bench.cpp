// The all scan all at once over a long list in the test network (run through
// bench/all_at_once.sh), on the path the program takes: its datagram sockets, or the helper
// outside ping_group_range. It reports how long the scan took, how many rows it found online and
// offline, the longest gap of a 1 ms timer on the UI thread meanwhile beside the idle event
// loop's own, and the memory per target: what the first scan leaves (each row's facts of the
// run, the log), then the peak of a second scan over it, and of a third whose outcomes mark no
// row (the scan's own: requests under way, outcomes waiting, the rows' texts).
//   all_at_once_bench LIST        LIST: an iplist.txt
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "app/scan_runner.h"
#include "app/target_list_view.h"
#include "icmp/icmp_echo_service.h"
#include "icmp/icmp_privilege.h"
#include "icmp/icmp_relay.h"
#include "quiet_services.h"
#include "ui_gap_meter.h"

namespace {

// A field of /proc/self/status in kB.
long long StatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long long value = 0;
    while (status >> key) {
        if (key == field + ":") return (status >> value, value);
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // As the program starts: outside ping_group_range the echoes go through the helper.
    const RawIcmpSockets raw = openIcmpThenDropPrivileges();
    const icmp_relay::Helper helper =
        raw.v4 >= 0 ? icmp_relay::start(raw.v4, raw.v6) : icmp_relay::Helper{};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: all_at_once_bench LIST\n");
        return 2;
    }
    QTemporaryDir dir;
    QFile::copy(QString::fromLocal8Bit(argv[1]), dir.filePath("iplist.txt"));
    {
        // All at once; no sound, no countdown.
        QFile ini(dir.filePath("pingrove.INI"));
        if (!ini.open(QIODevice::WriteOnly) || ini.write("[Form]\nCBX4=1\nCBX1=0\nCBX2=0\n") < 0)
            return 1;
    }
    IcmpEchoService echo(helper.socket, helper.pid);
    QuietServices quiet(echo, QDir(dir.path()), QStringLiteral("all_at_once_bench"),
                        dir.filePath("history.csv"));
    MainWindow form(quiet.services);
    form.show();
    auto* list = form.findChild<TargetListView*>("ListView1");
    qint64 idleFloor = 0;
    {
        // The machine's floor: the same timer in an idle event loop for as long as the scan is
        // to take (one request every 2 ms, then the time-out), two seconds at least.
        UiGapMeter idle;
        QEventLoop loop;
        QTimer::singleShot(std::max(2000, list->rowCount() * 2 + 1000), &loop, &QEventLoop::quit);
        loop.exec();
        idleFloor = idle.Longest();
    }
    const long long rssBefore = StatusKb("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    UiGapMeter gaps;
    QElapsedTimer total;
    total.start();
    form.runAllScan();
    const qint64 elapsed = total.elapsed();
    const qint64 longestGap = gaps.Longest(), gapEnded = gaps.LongestEndedMs();
    const long long rssAfter = StatusKb("VmRSS");
    const int rows = list->rowCount();
    int online = 0, offline = 0;
    for (int i = 0; i < rows; ++i) {
        const int image = TargetListView::imageIndex(list->row(i));
        online += image == 2;
        offline += image == 1;
    }
    // A second scan finds each row's facts made, and every picture drawn at its first use.
    qint64 secondGap = 0;
    auto peakOfAScan = [&] {
        const long long before = StatusKb("VmRSS");
        std::ofstream("/proc/self/clear_refs") << "5";
        UiGapMeter gaps;
        form.runAllScan();
        secondGap = gaps.Longest();
        return (StatusKb("VmHWM") - before) * 1024.0 / std::max(rows, 1);
    };
    const double second = peakOfAScan();
    const qint64 laterGap = secondGap;
    auto* scans = form.findChild<ScanRunner*>("ScanRunner");
    QObject::disconnect(scans, &ScanRunner::replied, nullptr, nullptr);
    QObject::disconnect(scans, &ScanRunner::rowStarting, nullptr, nullptr);
    const double scanOwn = peakOfAScan();
    std::printf(
        "%s targets %d online %d offline %d scan_ms %lld longest_ui_gap_ms %lld (ended %lld ms "
        "into the scan; the second scan's %lld) idle_floor_ms %lld; bytes per target: kept "
        "%.0f, second scan's peak %.0f, the scan's own %.0f\n",
        helper.socket >= 0 ? "helper" : "datagram", rows, online, offline,
        static_cast<long long>(elapsed), static_cast<long long>(longestGap),
        static_cast<long long>(gapEnded), static_cast<long long>(laterGap),
        static_cast<long long>(idleFloor), (rssAfter - rssBefore) * 1024.0 / std::max(rows, 1),
        second, scanOwn);
    return 0;
}
