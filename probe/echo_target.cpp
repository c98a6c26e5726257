#include "probe/echo_target.h"

namespace {

constexpr uint32_t kNoAddress = 0xFFFFFFFFu;
constexpr size_t kMaxAddressLength = 255;

EchoDestination Ipv6(const sockaddr_in6& a) {
    EchoDestination d;
    d.family = AF_INET6;
    d.address6 = a.sin6_addr;
    d.scope = a.sin6_scope_id;
    return d;
}

EchoDestination Ipv4(uint32_t address) {
    EchoDestination d;
    d.family = AF_INET;
    d.address = address;
    return d;
}

}  // namespace

std::string trimTarget(const std::string& text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

EchoTarget readTarget(const std::string& text) {
    EchoTarget t;
    t.text = trimTarget(text);
    // An over-long text can be neither an address nor a host name.
    if (t.text.size() > kMaxAddressLength) return t;
    // The all-ones address cannot be told from a failed conversion: it is looked up as a name.
    if (const uint32_t a = classicInetAddr(t.text); a != kNoAddress) {
        t.destination = Ipv4(a);
    } else if (const std::optional<sockaddr_in6> a6 = numericIpv6(t.text)) {
        t.destination = Ipv6(*a6);
    } else {
        t.needsLookUp = true;
    }
    return t;
}

std::optional<EchoDestination> lookUpTarget(IEchoService& echo, const std::string& name) {
    // A name with IPv4 addresses is probed at its first as ever; one with only IPv6 addresses at
    // its first IPv6 address.
    if (const std::optional<uint32_t> a = echo.resolve(name)) return Ipv4(*a);
    if (const std::optional<sockaddr_in6> a6 = echo.resolve6(name)) return Ipv6(*a6);
    return std::nullopt;
}
