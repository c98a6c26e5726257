#pragma once
// ICMP echo on Linux. A datagram ICMP socket needs no privilege where net.ipv4.ping_group_range
// admits one of the user's groups; otherwise a raw socket needs root or CAP_NET_RAW.
#include "platform/echo_service.h"

class IcmpEchoService : public IEchoService {
public:
    IcmpEchoService() = default;
    // `sharedRawSocket`: a raw ICMP socket opened at start-up while the capability was held (see
    // icmp_privilege.h); every handle then uses it, and nothing opens another. Not owned.
    explicit IcmpEchoService(int sharedRawSocket);
    bool Available(std::string* why) override;
    std::unique_ptr<IEchoHandle> Open() override;
    std::optional<uint32_t> Resolve(const std::string& name) override;

private:
    int sharedRaw_ = -1;
};
