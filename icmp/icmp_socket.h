#pragma once
// The ICMP socket calls that the echo handle and the relay's helper share: setting a socket up,
// reading one packet with what the kernel told of it, sending one packet. Plain system calls.
#include <time.h>  // before errqueue.h, which uses timespec without declaring it

#include <linux/errqueue.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Sets what every ICMP socket of the program needs: the TTL and the kernel's receive time of each
// packet, and on a raw socket a filter that lets only replies and errors in.
void configureIcmpSocket(int fd, int type);

// One packet read off an ICMP socket, with what the kernel told of it.
struct ReceivedIcmp {
    size_t size = 0;
    uint32_t from = 0;      // the sender, network order
    int ttl = -1;           // of the IP packet; -1 when not reported
    timespec received{};    // the kernel's receive time (CLOCK_REALTIME), else when it was read
    bool hasError = false;  // read off the error queue: `error` and `offender` tell the reason
    sock_extended_err error{};
    uint32_t offender = 0;  // the host that sent an ICMP error, network order
};
// Reads one queued packet into `buf` without waiting; false when none was queued.
bool receiveIcmp(int fd, int flags, uint8_t* buf, size_t size, ReceivedIcmp& out);
// Sends `packet` to `destination` with that TTL; the send's errno, 0 when it went out.
int sendIcmp(int fd, uint32_t destination, uint8_t ttl, const std::vector<uint8_t>& packet);
