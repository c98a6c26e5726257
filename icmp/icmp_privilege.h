#pragma once
// The one use of privilege: where the datagram ICMP socket is refused (net.ipv4.ping_group_range
// leaves the user's groups out), raw ICMP and ICMPv6 sockets are opened while CAP_NET_RAW is still
// held; then every capability (effective, permitted, inheritable, ambient) is dropped for good.
// Called first thing in main, before any Qt object exists, so no plugin or library ever runs with a
// capability. The raw sockets then go to the ICMP relay (icmp_relay.h), never to the program's
// own process, and serve every probe of the run.

// The raw sockets, ICMP and ICMPv6, or -1 when the datagram kind works (the same setting admits
// both families) or the kind cannot be opened.
struct RawIcmpSockets {
    int v4 = -1;
    int v6 = -1;
};
RawIcmpSockets openIcmpThenDropPrivileges();
