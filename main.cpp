#include "app/program.h"
#include "icmp/icmp_privilege.h"
#include "icmp/icmp_relay.h"
#include "platform/termination_signals.h"

int main(int argc, char** argv) {
    // A signal to end that comes before the window can save waits until it can.
    holdTerminationSignals();
    // Before anything else: the only moment the program may hold a capability. Raw sockets, when
    // only that kind will do, go to a helper process before any library code can run here.
    const RawIcmpSockets raw = openIcmpThenDropPrivileges();
    const icmp_relay::Helper icmpRelay =
        raw.v4 >= 0 ? icmp_relay::start(raw.v4, raw.v6) : icmp_relay::Helper{};
    return runProgram(argc, argv, icmpRelay);
}
