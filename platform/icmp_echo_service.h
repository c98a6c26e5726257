#pragma once
// ICMP echo on Linux. A datagram ICMP socket needs no privilege where net.ipv4.ping_group_range
// admits one of the user's groups; otherwise a raw socket needs root or CAP_NET_RAW.
#include "platform/echo_service.h"

// Sets what every ICMP socket of the program needs: the TTL and the kernel's receive time of each
// packet, and on a raw socket a filter that lets only replies and errors in.
void configureIcmpSocket(int fd, int type);

class IcmpEchoService : public IEchoService {
public:
    IcmpEchoService() = default;
    // `relay`: the program's end of the ICMP relay (icmp_relay.h), started when only a raw socket
    // would do; every handle then sends through it, and nothing opens a socket of its own. Not
    // owned.
    explicit IcmpEchoService(int relay);
    bool isAvailable(std::string* why) override;
    std::unique_ptr<IEchoHandle> open() override;
    std::optional<uint32_t> resolve(const std::string& name) override;

private:
    int relay_ = -1;
};
