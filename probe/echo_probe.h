#pragma once
// EchoProbe probes one host with ICMP echo requests and reports every attempt through onReply, on
// the thread that called ping(). It rests on an echo facility and on an event pump. On the UI
// thread the pending events run at the start of each attempt, during a host-name look-up, while
// the attempt waits for its reply (socket and event loop watched together) and during the pause
// after it; on a worker thread the waits simply block.
//
// The design's names: TMxICMP EchoProbe, EICMPError IcmpUnavailable, TOnReply ReplyHandler,
// OnReply onReply, Address ping's argument, BlockSize blockSize, TTL ttl, Timeout timeoutMs,
// Delay delayMs, NumberOfPings attempts, Ping ping, Trim trim.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "icmp/echo_service.h"
#include "platform/event_pump.h"
#include "probe/echo_target.h"

class IcmpUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EchoProbe;
// Sender, Status (0 online), IPAddress, RTT in ms, TTL of the reply.
using ReplyHandler = std::function<void(EchoProbe* sender, int status, const std::string& ipAddress,
                                        int rttMs, uint8_t ttl)>;

class EchoProbe {
public:
    // Raises IcmpUnavailable when no echo socket can be opened.
    EchoProbe(IEchoService& echo, IEventPump& pump);

    ReplyHandler onReply;
    int blockSize = 64;
    uint8_t ttl = 255;
    int timeoutMs = 5000;
    int delayMs = 1000;
    int attempts = 3;

    // Runs `attempts` attempts against `address` (an IPv4 or IPv6 address, or a host name to
    // look up), each followed by the pause of delayMs.
    void ping(const std::string& address);

    // The round-trip time of the answer onReply is reporting, in microseconds as the kernel
    // stamped it (onReply gives whole milliseconds); read it inside onReply.
    int lastRoundTripUs() const { return lastRoundTripUs_; }

    // Leading and trailing characters with codes 0 to 32 removed.
    static std::string trim(const std::string& text);

private:
    void pause(bool onUi);
    // The name's address, looked up off the UI thread while the events go on.
    std::optional<EchoDestination> resolve(const std::string& name, bool onUi);

    IEchoService& echo_;
    IEventPump& pump_;
    int lastRoundTripUs_ = 0;
};
