// Measurements of the ICMP echo component against hosts of the test network (run through
// bench/network_bench.sh), on the path the program takes: the datagram socket, or the helper's
// raw sockets outside ping_group_range:
//   probe_bench rtt ADDRESS COUNT   one reported round-trip time per line
//   probe_bench silent ADDRESS      how long one Ping lasts against a silent host, and the longest
//                                   gap of a 1 ms timer on the UI thread meanwhile
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "icmp/icmp_echo_service.h"
#include "icmp/icmp_privilege.h"
#include "icmp/icmp_relay.h"
#include "platform/qt_event_pump.h"
#include "probe/echo_probe.h"
#include "ui_gap_meter.h"

int main(int argc, char** argv) {
    // As the program starts: outside ping_group_range the echoes go through the helper.
    const RawIcmpSockets raw = openIcmpThenDropPrivileges();
    const icmp_relay::Helper helper =
        raw.v4 >= 0 ? icmp_relay::start(raw.v4, raw.v6) : icmp_relay::Helper{};
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: probe_bench rtt|silent ADDRESS [COUNT]\n");
        return 2;
    }
    const std::string mode = argv[1];
    IcmpEchoService echo(helper.socket, helper.pid);
    QtEventPump pump;
    EchoProbe probe(echo, pump);
    if (mode == "rtt") {
        probe.attempts = argc > 3 ? std::atoi(argv[3]) : 20;
        probe.delayMs = 200;
        probe.timeoutMs = 1000;
        probe.onReply = [](EchoProbe*, int status, const std::string&, int rtt, uint8_t) {
            if (status == 0) std::printf("%d\n", rtt);
        };
        probe.ping(argv[2]);
        return 0;
    }
    probe.attempts = 1;
    probe.timeoutMs = 1000;
    probe.delayMs = 1000;
    QElapsedTimer gapClock, total;
    qint64 longestGap = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, gapClock.restart()); });
    timer.start(1);
    gapClock.start();
    total.start();
    probe.ping(argv[2]);
    longestGap = std::max(longestGap, gapClock.elapsed());
    std::printf("ping_ms %lld expected_ms %d longest_ui_gap_ms %lld\n",
                static_cast<long long>(total.elapsed()), probe.timeoutMs + probe.delayMs,
                static_cast<long long>(longestGap));
    return 0;
}
