#pragma once
// The raw ICMP socket kept out of the program's own process. Qt loads code that the user chooses
// (plugins through QT_PLUGIN_PATH, platform themes, input methods, the sound system's modules),
// and such code must not get a raw socket, with which it could forge any packet. So the raw
// socket goes to a small helper process, forked before Qt starts, that runs no library code and
// does one thing: it sends ICMP and ICMPv6 echo requests that it has checked and hands back what
// the raw socket receives. The program talks to it over a socket pair. Plain C++.
//
// The helper keeps the limits an ordinary user's ping keeps, whatever code in the program's
// process asks of it: it chooses each request's identifier itself, hands back only the replies
// and errors that concern requests it sent (a reply only from the host that was asked), and lets
// at least 2 ms pass between two requests (relay_protocol.h has those rules and the messages).
#include <sys/types.h>

#include "icmp/icmp_socket.h"
#include "icmp/relay_protocol.h"

namespace icmp_relay {

// The program's end of the helper: the socket pair and the helper's process, to be reaped.
struct Helper {
    int socket = -1;
    pid_t pid = -1;
};

// Forks the helper, which takes `rawSocket` (ICMP) and `rawSocket6` (ICMPv6, -1 when none); the
// caller's copies are closed. socket -1 when no helper could be started. `setOption` sets every
// socket option of the helper's sockets (a test's may refuse one).
Helper start(int rawSocket, int rawSocket6 = -1, const SetSocketOption& setOption = ::setsockopt);

}  // namespace icmp_relay
