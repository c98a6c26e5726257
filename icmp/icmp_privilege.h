#pragma once
// The one use of privilege: where the datagram ICMP socket is refused (net.ipv4.ping_group_range
// leaves the user's groups out), a raw ICMP socket is opened while CAP_NET_RAW is still held;
// then every capability (effective, permitted, inheritable, ambient) is dropped for good. Called
// first thing in main, before any Qt object exists, so no plugin or library ever runs with a
// capability. The raw socket then goes to the ICMP relay (icmp_relay.h), never to the program's
// own process, and serves every probe of the run.

// The raw socket, or -1 when the datagram kind works (or neither can be opened).
int openIcmpThenDropPrivileges();
