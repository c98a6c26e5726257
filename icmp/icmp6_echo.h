#pragma once
// One ICMPv6 echo exchange over a datagram ICMPv6 socket (no privilege where
// net.ipv4.ping_group_range admits one of the user's groups: the same setting governs both
// kinds). The socket is opened at the first echo and kept for the handle's life; errors from
// routers come back on its error queue with our request attached. Plain C++.
#include <netinet/in.h>

#include <cstdint>
#include <vector>

#include "icmp/echo_service.h"

class Icmp6DatagramEcho {
public:
    Icmp6DatagramEcho() = default;
    Icmp6DatagramEcho(const Icmp6DatagramEcho&) = delete;
    Icmp6DatagramEcho& operator=(const Icmp6DatagramEcho&) = delete;
    ~Icmp6DatagramEcho();
    // Sends one echo request and waits as IEchoHandle::sendEcho does: an outcome counts when the
    // kernel received it within timeoutMs of the send. The hop limit of a reply is its TTL.
    EchoReply send(const sockaddr_in6& destination, const std::vector<uint8_t>& data,
                   uint8_t hopLimit, int timeoutMs, IEventPump* waiter);

private:
    // One queued message without waiting; false when none was queued.
    bool receiveOne(int flags, uint16_t sequence, const std::vector<uint8_t>& data, EchoReply& out,
                    bool& answered, timespec& received);

    int fd_ = -1;
};
