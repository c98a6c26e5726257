#pragma once
// ICMP echo on Linux. A datagram ICMP socket needs no privilege where net.ipv4.ping_group_range
// admits one of the user's groups; otherwise a raw socket needs root or CAP_NET_RAW.
#include "platform/echo_service.h"

class IcmpEchoService : public IEchoService {
public:
    bool Available(std::string* why) override;
    std::unique_ptr<IEchoHandle> Open() override;
    std::optional<uint32_t> Resolve(const std::string& name) override;
};
