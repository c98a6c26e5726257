#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/icmp6.h>

#include <cstring>
#include <tuple>

#include "icmp/echo_service.h"
#include "icmp/icmp6_packet.h"
#include "icmp/relay_protocol.h"

using namespace icmp6_packet;
using icmp_packet::Match;

namespace {

const std::vector<uint8_t> kData(56, 0xA7);

in6_addr Address(const char* text) {
    in6_addr a{};
    EXPECT_EQ(::inet_pton(AF_INET6, text, &a), 1) << text;
    return a;
}

std::vector<uint8_t> Reply(uint16_t id, uint16_t sequence, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> p = echoRequest(id, sequence, data);
    p[0] = ICMP6_ECHO_REPLY;
    return p;
}

// An ICMPv6 error quoting an echo request's IPv6 header (next header `next`) and its first bytes.
std::vector<uint8_t> Error(uint8_t type, uint8_t code, uint16_t id, const char* to,
                           uint8_t next = 58) {
    std::vector<uint8_t> m = {type, code, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> header(40, 0);
    header[0] = 0x60;
    header[6] = next;
    const in6_addr destination = Address(to);
    std::memcpy(&header[24], &destination, 16);
    m.insert(m.end(), header.begin(), header.end());
    const std::vector<uint8_t> request = echoRequest(id, 7, kData);
    m.insert(m.end(), request.begin(), request.end());
    return m;
}

}  // namespace

// What a raw ICMPv6 socket hands over: only our own reply, only errors that quote our request to
// our host, each error under the status the README's table gives it; nothing from a cut message.
TEST(Icmp6Packet, RepliesAndErrorsAreOursOnlyWithTheirStatus) {
    Request r{0x1234, 7, Address("fd00:198:18::10"), &kData};
    const auto reply = Reply(0x1234, 7, kData);
    EXPECT_EQ(parseRaw(reply.data(), reply.size(), r).match, Match::Reply);
    EXPECT_EQ(parseDatagram(reply.data(), reply.size(), r).match, Match::Reply);
    for (const auto& other : {Reply(0x1235, 7, kData), Reply(0x1234, 8, kData),
                              Reply(0x1234, 7, std::vector<uint8_t>(56, 0xA6))})
        EXPECT_EQ(parseRaw(other.data(), other.size(), r).match, Match::None);
    for (size_t n = 0; n < reply.size(); ++n)
        EXPECT_EQ(parseRaw(reply.data(), n, r).match, Match::None) << n;
    // As the all scan hears it through the helper: with the helper's identifier, for the flight
    // to check against the helper's note, and the sender the socket reported.
    const in6_addr from = Address("fd00:198:18::10");
    const std::optional<EchoHeard> heard = hearRaw(reply.data(), reply.size(), &kData, from);
    ASSERT_TRUE(heard);
    EXPECT_EQ(std::tuple(heard->family, heard->hasId, heard->id, heard->sequence),
              std::tuple(AF_INET6, true, uint16_t{0x1234}, uint16_t{7}));
    EXPECT_EQ(addressText(heard->from6), "fd00:198:18::10");

    using namespace ipstatus;
    const struct {
        uint8_t type, code;
        int status;
    } errors[] = {
        {ICMP6_DST_UNREACH, 0, 11002},   {ICMP6_DST_UNREACH, 1, 11004},
        {ICMP6_DST_UNREACH, 2, 11045},   {ICMP6_DST_UNREACH, 3, 11003},
        {ICMP6_DST_UNREACH, 4, 11005},   {ICMP6_DST_UNREACH, 5, 11040},
        {ICMP6_DST_UNREACH, 6, 11040},   {ICMP6_PACKET_TOO_BIG, 0, 11009},
        {ICMP6_TIME_EXCEEDED, 0, 11013}, {ICMP6_TIME_EXCEEDED, 1, 11014},
        {ICMP6_PARAM_PROB, 0, 11015},    {ICMP6_PARAM_PROB, 1, 11043},
        {ICMP6_PARAM_PROB, 2, 11015},
    };
    for (const auto& e : errors) {
        const auto m = Error(e.type, e.code, 0x1234, "fd00:198:18::10");
        const icmp_packet::Answer a = parseRaw(m.data(), m.size(), r);
        EXPECT_EQ(a.match, Match::Error) << int(e.type) << "/" << int(e.code);
        EXPECT_EQ(a.status, e.status) << int(e.type) << "/" << int(e.code);
    }
    // Somebody else's request, to another host, or no echo request at all.
    for (const auto& m : {Error(ICMP6_DST_UNREACH, 3, 0x4321, "fd00:198:18::10"),
                          Error(ICMP6_DST_UNREACH, 3, 0x1234, "fd00:198:18::11"),
                          Error(ICMP6_DST_UNREACH, 3, 0x1234, "fd00:198:18::10", 17),
                          Error(ND_NEIGHBOR_SOLICIT, 0, 0x1234, "fd00:198:18::10")})
        EXPECT_EQ(parseRaw(m.data(), m.size(), r).match, Match::None);
    const auto whole = Error(ICMP6_TIME_EXCEEDED, 0, 0x1234, "fd00:198:18::10");
    for (size_t n = 0; n < 8 + 40 + 8; ++n)
        EXPECT_EQ(parseRaw(whole.data(), n, r).match, Match::None) << n;
}

// The helper's book keeps its rules for IPv6 requests too: one run of identifiers and one pace
// for both families; a reply only from the host asked (the sender the socket reports), an error
// only when it quotes one of its requests to that host; an IPv4 request never vouches for an
// IPv6 packet.
TEST(Icmp6Packet, TheRelayHandsBackOnlyWhatConcernsItsOwnRequests) {
    icmp_relay::RequestBook book(0xFFFE);
    const int64_t ms = 1'000'000;
    const in6_addr answer = Address("fd00:198:18:1::10"), silent = Address("fd00:198:18:2::10");
    EXPECT_EQ(book.handOut(::inet_addr("198.18.1.10"), 5 * ms), 0xFFFE);
    EXPECT_EQ(book.sendTime(6 * ms), 7 * ms);  // 2 ms after the IPv4 request
    EXPECT_EQ(book.handOut6(answer, 7 * ms), 0xFFFF);
    EXPECT_EQ(book.sendTime(8 * ms), 9 * ms);
    EXPECT_EQ(book.handOut6(silent, 9 * ms), 0);

    auto reply = [&](uint16_t id, const in6_addr& from) {
        const auto m = Reply(id, 1, kData);
        return book.concerns6(m.data(), m.size(), from, 10 * ms);
    };
    EXPECT_TRUE(reply(0xFFFF, answer));
    EXPECT_FALSE(reply(0xFFFF, silent));         // from a host that was not asked
    EXPECT_FALSE(reply(0x1234, answer));         // an identifier it never handed out
    EXPECT_FALSE(reply(0xFFFE, Address("::")));  // the IPv4 request's, which has no IPv6 address
    auto error = [&](uint8_t type, uint16_t id, const char* quotedTo, uint8_t next = 58) {
        const auto m = Error(type, 0, id, quotedTo, next);
        return book.concerns6(m.data(), m.size(), Address("fd00:198:18::1"), 10 * ms);
    };
    EXPECT_TRUE(error(ICMP6_DST_UNREACH, 0, "fd00:198:18:2::10"));
    EXPECT_FALSE(error(ICMP6_DST_UNREACH, 0, "fd00:198:18:1::10"));
    EXPECT_FALSE(error(ICMP6_DST_UNREACH, 0x4321, "fd00:198:18:2::10"));
    EXPECT_FALSE(error(ICMP6_DST_UNREACH, 0, "fd00:198:18:2::10", 17));  // quotes a UDP datagram
    EXPECT_FALSE(error(ND_NEIGHBOR_ADVERT, 0, "fd00:198:18:2::10"));     // no error at all
    EXPECT_FALSE(error(ICMP6_ECHO_REQUEST, 0, "fd00:198:18:2::10"));
    const auto whole = Error(ICMP6_TIME_EXCEEDED, 0, 0, "fd00:198:18:2::10");
    for (size_t n = 0; n < 8 + 40 + 8; ++n)
        EXPECT_FALSE(book.concerns6(whole.data(), n, answer, 10 * ms)) << n;
}

// Addresses are shown as RFC 5952 writes them, whatever spelling the list has.
TEST(Icmp6Packet, AddressesAreShownInTheirRecommendedForm) {
    EXPECT_EQ(addressText(Address("FD00:198:18:0::10")), "fd00:198:18::10");
    EXPECT_EQ(addressText(Address("2001:db8:0:0:1:0:0:1")), "2001:db8::1:0:0:1");
    EXPECT_EQ(addressText(Address("2001:0db8:0:1:1:1:1:1")), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(addressText(Address("0:0:0:0:0:0:0:1")), "::1");
    // A link-local address keeps its zone, by name or number; a zone that is no interface, or a
    // text that is no IPv6 address, is no address.
    EXPECT_EQ(numericIpv6("fe80::1%lo")->sin6_scope_id, ::if_nametoindex("lo"));
    EXPECT_EQ(numericIpv6("fe80::1%7")->sin6_scope_id, 7u);
    EXPECT_EQ(addressText(numericIpv6("FE80::1%lo")->sin6_addr), "fe80::1");
    for (const char* no : {"fe80::1%nosuchif0", "fe80::1%", "198.18.1.10", "answer6.test", ""})
        EXPECT_FALSE(numericIpv6(no)) << no;
}
