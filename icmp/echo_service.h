#pragma once
// The ICMP echo facility the probe stands on: open a handle, send one echo request to an IPv4 or
// IPv6 address and wait for its outcome, plus the socket layer's address conversion and host
// look-up. Plain C++ so that the probe links no GUI code and tests can put a deterministic fake in
// its place.
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_pump.h"

// Status codes of an echo, in the numbering desktop ICMP services have long used.
namespace ipstatus {
constexpr int kSuccess = 0;
constexpr int kDestNetUnreachable = 11002;
constexpr int kDestHostUnreachable = 11003;
constexpr int kDestProtUnreachable = 11004;
constexpr int kDestProhibited = 11004;  // the same number, for IPv6's "administratively prohibited"
constexpr int kDestPortUnreachable = 11005;
constexpr int kPacketTooBig = 11009;
constexpr int kRequestTimedOut = 11010;
constexpr int kBadRoute = 11012;
constexpr int kTtlExpiredTransit = 11013;
constexpr int kTtlExpiredReassembly = 11014;
constexpr int kParameterProblem = 11015;
constexpr int kSourceQuench = 11016;
constexpr int kDestUnreachable = 11040;  // IPv6: any other "destination unreachable" code
constexpr int kUnrecognizedNextHeader = 11043;
constexpr int kDestScopeMismatch = 11045;
constexpr int kGeneralFailure = 11050;  // the request could not be sent at all
}  // namespace ipstatus

struct EchoReply {
    int status = ipstatus::kGeneralFailure;
    uint32_t address = 0;    // responder, network byte order
    std::string responder6;  // an IPv6 responder, as RFC 5952 writes it (then `address` is unused)
    int rttMs = 0;
    int rttUs = 0;  // the same in microseconds, as finely as the kernel stamped the reply
    uint8_t ttl = 0;
};

class IEchoHandle {
public:
    virtual ~IEchoHandle() = default;
    // Sends one echo request and waits for its outcome through `waiter` (null: a plain blocking
    // wait). An outcome counts when the kernel received it within timeoutMs of the send, however
    // late the wait returned; its RTT is measured on the kernel's receive time as well.
    virtual EchoReply sendEcho(uint32_t destination, const std::vector<uint8_t>& data, uint8_t ttl,
                               int timeoutMs, IEventPump* waiter) = 0;
    // The same with ICMPv6; the hop limit stands for the TTL. A facility without IPv6 reports
    // that the request could not be sent.
    virtual EchoReply sendEcho6(const sockaddr_in6& destination, const std::vector<uint8_t>& data,
                                uint8_t hopLimit, int timeoutMs, IEventPump* waiter) {
        (void)destination, (void)data, (void)hopLimit, (void)timeoutMs, (void)waiter;
        return EchoReply{};
    }
};

// Where an echo request goes: an IPv4 address, or an IPv6 one with its zone.
struct EchoDestination {
    int family = 0;        // AF_INET or AF_INET6
    uint32_t address = 0;  // network order
    in6_addr address6{};
    uint32_t scope = 0;  // the zone of a link-local IPv6 address
};

// Something a socket with many requests under way heard, read but not yet matched to a request.
struct EchoHeard {
    enum class Kind {
        Reply,  // an echo reply
        Error,  // an ICMP error about one of our requests
        Sent,   // the helper's note of a request it sent (or could not send)
    };
    Kind kind = Kind::Reply;
    int family = AF_INET;
    uint16_t sequence = 0;
    // From a raw socket (through the helper) the identifier, which is the helper's; a datagram
    // socket's kernel has matched its own already.
    bool hasId = false;
    uint16_t id = 0;
    int status = 0;         // Error: the echo status; Sent: the errno of the send (0 when it went)
    bool fromKnown = true;  // who sent it: the answering host, or the router that reported
    uint32_t from = 0;      // network order
    in6_addr from6{};
    // An error read off a raw socket: where the request it quotes went.
    bool quotesDestination = false;
    uint32_t quoted = 0;
    in6_addr quoted6{};
    int ttl = -1;            // of the packet (the hop limit for IPv6), -1 when unknown
    int64_t receivedNs = 0;  // when the kernel took it in, on the steady clock
};

// Many echo requests under way at once on one socket of each family (or on the helper's), for a
// scan that sends to every target before the first answer is in. The caller keeps the pace and
// the book (flight_book.h); one thread sends and hears.
class IEchoFlight {
public:
    virtual ~IEchoFlight() = default;
    // The descriptors that become readable when something may be heard.
    virtual std::vector<int> descriptors() const = 0;
    // Sends one echo request with this sequence number: 0 when it went out (through the helper:
    // when it was handed over; its Sent note follows), EAGAIN when it is to be tried again
    // shortly, otherwise the errno of a send that failed.
    virtual int send(const EchoDestination& to, uint16_t sequence, uint8_t ttl) = 0;
    // Appends what was heard since the last call, without waiting.
    virtual void hear(std::vector<EchoHeard>& heard) = 0;
    // True once no request can be sent any more (the helper that holds the socket died).
    virtual bool broken() const { return false; }
};

class IEchoService {
public:
    virtual ~IEchoService() = default;
    // Whether an echo socket can be opened at all; `why` explains when it cannot.
    virtual bool isAvailable(std::string* why) = 0;
    // A handle for one probe; it is closed when released.
    virtual std::unique_ptr<IEchoHandle> open() = 0;
    // Host-name look-up (IPv4): the first address, network byte order.
    virtual std::optional<uint32_t> resolve(const std::string& name) = 0;
    // A name's first IPv6 address, for a name that has no IPv4 address.
    virtual std::optional<sockaddr_in6> resolve6(const std::string& name) {
        (void)name;
        return std::nullopt;
    }
    // A flight for requests that carry `data`; null when the facility has none.
    virtual std::unique_ptr<IEchoFlight> openFlight(const std::vector<uint8_t>& data) {
        (void)data;
        return nullptr;
    }
    // Empty while echo requests can be sent; once the facility stopped working for good (the
    // helper that holds the socket died), why, in Japanese. Every send then fails at once. Asks
    // without waiting, so a command can be refused before it changes anything.
    virtual std::string brokenReason() const { return {}; }
};

// The classic inet_addr conversion (short forms, octal and hex parts); the all-ones value when the
// text is no address.
inline uint32_t classicInetAddr(const std::string& text) {
    return ::inet_addr(text.c_str());
}

// An IPv6 address in any RFC 4291 text form, a link-local one with its zone ("fe80::1%eth0", or a
// zone number); nothing for any other text. A parse, never a look-up: it may run on the UI thread.
inline std::optional<sockaddr_in6> numericIpv6(const std::string& text) {
    const size_t percent = text.find('%');
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    if (::inet_pton(AF_INET6, text.substr(0, percent).c_str(), &a.sin6_addr) != 1)
        return std::nullopt;
    if (percent == std::string::npos) return a;
    const std::string zone = text.substr(percent + 1);
    if (zone.empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long number = std::strtoul(zone.c_str(), &end, 10);
    a.sin6_scope_id = *end == '\0' ? static_cast<uint32_t>(number) : ::if_nametoindex(zone.c_str());
    if (a.sin6_scope_id == 0) return std::nullopt;
    return a;
}

inline std::string dottedAddress(uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}
