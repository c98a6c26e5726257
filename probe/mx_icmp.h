#pragma once
// TMxICMP probes one host with ICMP echo requests and reports every attempt through OnReply, on the
// thread that called Ping. It rests on an echo facility and on an event pump. On the UI thread the
// pending events run at the start of each attempt, during a host-name look-up, while the attempt
// waits for its reply (socket and event loop watched together) and during the pause after it; on
// a worker thread the waits simply block.
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/echo_service.h"
#include "platform/event_pump.h"

class EICMPError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMxICMP;
// Sender, Status (0 online), IPAddress, RTT in ms, TTL of the reply.
using TOnReply = std::function<void(TMxICMP* Sender, int Status, const std::string& IPAddress,
                                    int RTT, uint8_t TTL)>;

class TMxICMP {
public:
    // Raises EICMPError when no echo socket can be opened.
    TMxICMP(IEchoService& echo, IEventPump& pump);

    TOnReply OnReply;
    std::string Address;
    int BlockSize = 64;
    uint8_t TTL = 255;
    int Timeout = 5000;
    int Delay = 1000;
    int NumberOfPings = 3;

    // Runs NumberOfPings attempts against Address, each followed by the Delay pause.
    void Ping();

    // Leading and trailing characters with codes 0 to 32 removed.
    static std::string Trim(const std::string& text);

private:
    void Pause(bool onUi);
    std::optional<uint32_t> Resolve(const std::string& name, bool onUi);

    IEchoService& echo_;
    IEventPump& pump_;
};
