// Echo packets built and read as bytes: no socket, no root.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/ip_icmp.h>

#include <cerrno>
#include <cstring>
#include <tuple>

#include "icmp/echo_service.h"
#include "icmp/flight_book.h"
#include "icmp/icmp_packet.h"
#include "icmp/icmp_relay.h"

namespace {

using namespace icmp_packet;

const std::vector<uint8_t> kData(64, 0xA7);

// An IPv4 header (20 bytes, protocol ICMP, TTL 57) in front of an ICMP message.
std::vector<uint8_t> WithIpHeader(std::vector<uint8_t> message, const char* to) {
    std::vector<uint8_t> p(20);
    p[0] = 0x45;
    p[8] = 57;
    p[9] = IPPROTO_ICMP;
    uint32_t a = inet_addr(to);
    std::memcpy(&p[16], &a, 4);
    p.insert(p.end(), message.begin(), message.end());
    return p;
}

std::vector<uint8_t> EchoReply(uint16_t id, uint16_t seq, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> m = echoRequest(id, seq, data);
    m[0] = ICMP_ECHOREPLY;
    return m;
}

TEST(IcmpPacket, RequestLayoutAndChecksum) {
    std::vector<uint8_t> p = echoRequest(0x1234, 0xABCD, kData);
    ASSERT_EQ(p.size(), 72u);
    EXPECT_EQ(p[0], ICMP_ECHO);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ((std::vector<uint8_t>{p[4], p[5], p[6], p[7]}),
              (std::vector<uint8_t>{0x12, 0x34, 0xAB, 0xCD}));
    EXPECT_EQ(checksum(p.data(), p.size()), 0);  // a correct checksum sums to zero
    const uint8_t odd[] = {0x01, 0x02, 0x03};    // an odd last byte counts as the high half
    EXPECT_EQ(checksum(odd, 3), static_cast<uint16_t>(~(0x0102 + 0x0300)));
}

// Only the answer to this very request counts: identifier, sequence number and data on a raw
// socket, sequence number and data on a datagram one (the kernel owns its identifier); an error
// must quote our request to our destination.
TEST(IcmpPacket, OnlyTheAnswerToThisRequestMatches) {
    const Request r{0x1234, 7, inet_addr("198.18.1.10"), &kData};
    auto raw = [&](std::vector<uint8_t> m) {
        auto p = WithIpHeader(std::move(m), "198.18.0.2");
        return parseRaw(p.data(), p.size(), r);
    };
    Answer a = raw(EchoReply(0x1234, 7, kData));
    EXPECT_EQ(a.match, Match::Reply);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.ttl, 57);
    const auto reply = WithIpHeader(EchoReply(0x1234, 7, kData), "198.18.0.2");
    const std::optional<EchoHeard> heard = hearRaw(reply.data(), reply.size(), &kData);
    ASSERT_TRUE(heard);  // as the all scan hears it through the helper: with its identifier
    EXPECT_EQ(std::tuple(heard->family, heard->hasId, heard->id, heard->sequence, heard->ttl),
              std::tuple(AF_INET, true, uint16_t{0x1234}, uint16_t{7}, 57));
    EXPECT_EQ(raw(EchoReply(0x1235, 7, kData)).match, Match::None);  // a foreign identifier
    EXPECT_EQ(raw(EchoReply(0x1234, 6, kData)).match, Match::None);  // the previous probe
    EXPECT_EQ(raw(EchoReply(0x1234, 7, std::vector<uint8_t>(64, 0))).match, Match::None);
    EXPECT_EQ(raw(echoRequest(0x1234, 7, kData)).match, Match::None);  // our own request

    // A router's "host unreachable" quoting our request, and one quoting somebody else's.
    auto error = [&](uint16_t id, const char* quotedTo) {
        std::vector<uint8_t> m = {ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, 0, 0, 0, 0, 0, 0};
        auto quoted = WithIpHeader(echoRequest(id, 7, kData), quotedTo);
        m.insert(m.end(), quoted.begin(), quoted.begin() + 28);
        return raw(m);
    };
    a = error(0x1234, "198.18.1.10");
    EXPECT_EQ(a.match, Match::Error);
    EXPECT_EQ(a.status, ipstatus::kDestHostUnreachable);
    EXPECT_EQ(error(0x9999, "198.18.1.10").match, Match::None);
    EXPECT_EQ(error(0x1234, "198.18.1.11").match, Match::None);

    auto datagram = [&](std::vector<uint8_t> m) { return parseDatagram(m.data(), m.size(), r); };
    EXPECT_EQ(datagram(EchoReply(0x4444, 7, kData)).match, Match::Reply);
    EXPECT_EQ(datagram(EchoReply(0x4444, 8, kData)).match, Match::None);
    EXPECT_EQ(datagram(EchoReply(0x4444, 7, {})).match, Match::None);
    // Truncated packets of every length are refused, never read past their end.
    auto whole = WithIpHeader(EchoReply(0x1234, 7, kData), "198.18.0.2");
    for (size_t n = 0; n < whole.size(); ++n)
        EXPECT_EQ(parseRaw(whole.data(), n, r).match, Match::None) << n;
}

// The helper that holds the raw socket keeps an ordinary user's limits, whatever it is asked: its
// own identifiers, only the packets that concern its requests, 2 ms between requests.
TEST(IcmpPacket, TheRelayHandsBackOnlyWhatConcernsItsOwnRequests) {
    icmp_relay::RequestBook book(0xFFFF);
    const int64_t ms = 1'000'000;
    EXPECT_EQ(book.sendTime(5 * ms), 5 * ms);
    EXPECT_EQ(book.handOut(inet_addr("198.18.1.10"), 5 * ms), 0xFFFF);
    EXPECT_EQ(book.sendTime(5 * ms + 1), 7 * ms);  // held back until 2 ms have passed
    EXPECT_EQ(book.sendTime(9 * ms), 9 * ms);
    EXPECT_EQ(book.handOut(inet_addr("198.18.2.10"), 9 * ms), 0);  // the next identifier

    auto reply = [&](uint16_t id, const char* from) {
        auto p = WithIpHeader(EchoReply(id, 1, kData), "198.18.0.2");
        const uint32_t a = inet_addr(from);
        std::memcpy(&p[12], &a, 4);
        return book.concerns(p.data(), p.size(), 10 * ms);
    };
    EXPECT_TRUE(reply(0xFFFF, "198.18.1.10"));
    EXPECT_TRUE(reply(0, "198.18.2.10"));
    EXPECT_FALSE(reply(0x1234, "198.18.1.10"));  // an identifier it never handed out
    EXPECT_FALSE(reply(0xFFFF, "198.18.2.10"));  // a reply from a host that was not asked
    auto error = [&](uint16_t id, const char* quotedTo) {
        std::vector<uint8_t> m = {ICMP_TIME_EXCEEDED, 0, 0, 0, 0, 0, 0, 0};
        auto quoted = WithIpHeader(echoRequest(id, 1, kData), quotedTo);
        m.insert(m.end(), quoted.begin(), quoted.begin() + 28);
        auto p = WithIpHeader(m, "198.18.0.2");  // from a router, any address
        return book.concerns(p.data(), p.size(), 10 * ms);
    };
    EXPECT_TRUE(error(0, "198.18.2.10"));
    EXPECT_FALSE(error(0, "198.18.1.10"));
    EXPECT_FALSE(error(0x1234, "198.18.2.10"));
    // What quotes something else than one of its echo requests, with its identifier where an echo
    // request has it: another program's UDP datagram, an echo reply to somebody else's ping of
    // this host, or a message that is no error at all.
    auto quoting = [&](uint8_t type, uint8_t protocol, uint8_t quotedType) {
        std::vector<uint8_t> m = {type, 0, 0, 0, 0, 0, 0, 0};
        auto quoted = WithIpHeader(echoRequest(0, 1, kData), "198.18.2.10");
        quoted[9] = protocol;
        quoted[20] = quotedType;
        m.insert(m.end(), quoted.begin(), quoted.begin() + 28);
        auto p = WithIpHeader(m, "198.18.2.10");
        return book.concerns(p.data(), p.size(), 10 * ms);
    };
    EXPECT_TRUE(quoting(ICMP_DEST_UNREACH, IPPROTO_ICMP, ICMP_ECHO));
    EXPECT_FALSE(quoting(ICMP_DEST_UNREACH, IPPROTO_UDP, ICMP_ECHO));
    EXPECT_FALSE(quoting(ICMP_DEST_UNREACH, IPPROTO_ICMP, ICMP_ECHOREPLY));
    for (uint8_t noError : {ICMP_ECHO, ICMP_TIMESTAMP, ICMP_INFO_REQUEST})
        EXPECT_FALSE(quoting(noError, IPPROTO_ICMP, ICMP_ECHO)) << int(noError);
    // Only the requests of the last ten seconds count, however many came meanwhile: a reply
    // forgotten when the time is past, or when a later request was handed out after it.
    for (int i = 0; i < 600; ++i) book.handOut(inet_addr("198.18.2.10"), (20 + 2 * i) * ms);
    EXPECT_TRUE(reply(0xFFFF, "198.18.1.10"));
    const auto first = WithIpHeader(EchoReply(0xFFFF, 1, kData), "198.18.0.2");
    auto firstAt = [&](int64_t now) {
        auto p = first;
        const uint32_t a = inet_addr("198.18.1.10");
        std::memcpy(&p[12], &a, 4);
        return book.concerns(p.data(), p.size(), now);
    };
    EXPECT_TRUE(firstAt(icmp_relay::kRequestLifetimeNs + 5 * ms));
    EXPECT_FALSE(firstAt(icmp_relay::kRequestLifetimeNs + 5 * ms + 1));
    book.handOut(inet_addr("198.18.2.10"), icmp_relay::kRequestLifetimeNs + 6 * ms);
    EXPECT_FALSE(firstAt(10 * ms));
    EXPECT_EQ(book.recentIds().first, 0);     // what the kernel's filter lets through: from the
    EXPECT_EQ(book.recentIds().count, 602u);  // second request on
}

// Every field of every message between the program and its helper, written and read back with
// values that tell the fields apart; a message cut short is no message.
TEST(IcmpPacket, EveryFieldOfTheHelpersMessagesIsReadBack) {
    icmp_relay::Destination to6;
    to6.family = AF_INET6;
    ASSERT_EQ(::inet_pton(AF_INET6, "fe80::1:2:3:4", &to6.address6), 1);
    to6.scope = 0x01020304;
    const std::vector<uint8_t> packet = echoRequest(0x1234, 0x5678, kData);
    const std::vector<uint8_t> m6 = icmp_relay::requestMessage(to6, 200, packet);
    const auto r6 = icmp_relay::parseRequestMessage(m6.data(), m6.size());
    ASSERT_TRUE(r6);
    EXPECT_EQ(r6->to.family, AF_INET6);
    EXPECT_EQ(std::memcmp(&r6->to.address6, &to6.address6, 16), 0);
    EXPECT_EQ(r6->to.scope, 0x01020304u);
    EXPECT_EQ(r6->ttl, 200);
    EXPECT_EQ(r6->packet, packet);
    icmp_relay::Destination to4;
    to4.family = AF_INET;
    to4.address = inet_addr("198.18.1.10");
    const std::vector<uint8_t> m4 = icmp_relay::requestMessage(to4, 7, packet);
    const auto r4 = icmp_relay::parseRequestMessage(m4.data(), m4.size());
    ASSERT_TRUE(r4);
    EXPECT_EQ(r4->to.family, AF_INET);
    EXPECT_EQ(r4->to.address, to4.address);
    EXPECT_EQ(r4->ttl, 7);
    EXPECT_EQ(r4->packet, packet);

    const std::vector<uint8_t> s = icmp_relay::sentMessage({-EHOSTUNREACH, 0xBEEF, 0x5678});
    const auto note = icmp_relay::parseSentMessage(s.data(), s.size());
    ASSERT_TRUE(note);
    EXPECT_EQ(note->error, -EHOSTUNREACH);
    EXPECT_EQ(note->id, 0xBEEF);
    EXPECT_EQ(note->sequence, 0x5678);
    EXPECT_FALSE(icmp_relay::parseSentMessage(s.data(), s.size() - 1));

    icmp_relay::PacketHeader h;
    h.seconds = 0x0102030405060708;
    h.nanoseconds = 999'999'999;
    h.ttl = 63;
    h.family = AF_INET6;
    h.from = inet_addr("198.18.0.1");
    h.from6 = to6.address6;
    std::vector<uint8_t> p(icmp_relay::kPacketHeaderSize);
    icmp_relay::writePacketHeader(p.data(), h);
    p.insert(p.end(), packet.begin(), packet.end());
    const auto got = icmp_relay::parsePacketMessage(p.data(), p.size());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->header.seconds, h.seconds);
    EXPECT_EQ(got->header.nanoseconds, h.nanoseconds);
    EXPECT_EQ(got->header.ttl, 63);
    EXPECT_EQ(got->header.family, AF_INET6);
    EXPECT_EQ(got->header.from, h.from);
    EXPECT_EQ(std::memcmp(&got->header.from6, &h.from6, 16), 0);
    EXPECT_EQ(std::vector<uint8_t>(got->packet, got->packet + got->size), packet);
    EXPECT_FALSE(icmp_relay::parsePacketMessage(p.data(), icmp_relay::kPacketHeaderSize - 1));
    EXPECT_FALSE(icmp_relay::parsePacketMessage(s.data(), s.size()));  // another kind
    EXPECT_FALSE(icmp_relay::parseSentMessage(p.data(), p.size()));
}

// The book of a scan with every request under way at once: each request its own sequence number
// (two targets with one address are told apart), the pace from the last send's return, each
// outcome for its own target and once only, a late answer counted as the time-out it is, and on
// the helper's path its identifier, the host asked and the quoted destination.
TEST(IcmpPacket, TheFlightBookSettlesEachRequestOnceFromItsOwnAnswer) {
    const int64_t ms = 1'000'000;
    FlightBook book(1000, 0xFFFF);
    EchoDestination to;
    to.family = AF_INET;
    to.address = inet_addr("198.18.1.10");
    auto heard = [&](uint16_t sequence, int64_t at, EchoHeard::Kind kind = EchoHeard::Kind::Reply) {
        EchoHeard h;
        h.kind = kind;
        h.sequence = sequence;
        h.from = to.address;
        h.receivedNs = at;
        h.ttl = 63;
        return h;
    };
    book.sent(7, to, 10 * ms, 10 * ms + 5);
    EXPECT_EQ(book.nextSendAt(), 12 * ms + 5);
    EXPECT_EQ(book.nextSequence(), 0);
    book.sent(8, to, 12 * ms + 5, 12 * ms + 9);
    book.refused(14 * ms + 9);
    EXPECT_EQ(book.nextSendAt(), 16 * ms + 9);
    auto o = book.hear(heard(0, 20 * ms));
    ASSERT_TRUE(o);
    EXPECT_EQ(std::vector<int>({int(o->target), o->reply.status, o->reply.rttUs, o->reply.ttl}),
              std::vector<int>({8, 0, 7'999, 63}));  // round trip as finely as it was stamped
    EXPECT_FALSE(book.hear(heard(0, 21 * ms)));      // a duplicate
    EXPECT_EQ(book.hear(heard(0xFFFF, 30 * ms))->target, 7u);
    EXPECT_EQ(book.underWay(), 0u);
    book.sent(9, to, 100 * ms, 100 * ms);   // sequence 1
    book.sent(10, to, 102 * ms, 102 * ms);  // 2
    EXPECT_EQ(book.nextDeadline(), 1100 * ms);
    o = book.hear(heard(1, 1100 * ms + 1));  // in the queue, but came after the time-out
    EXPECT_EQ(o->target, 9u);
    EXPECT_EQ(o->reply.status, ipstatus::kRequestTimedOut);
    std::vector<FlightBook::Outcome> expired;
    book.expire(1102 * ms, expired);
    EXPECT_TRUE(expired.empty());
    book.expire(1102 * ms + 1, expired);
    EXPECT_EQ(expired.at(0).reply.status, ipstatus::kRequestTimedOut);
    EXPECT_FALSE(book.hear(heard(2, 1103 * ms)));  // the late answer marks nothing

    // Through the helper: its identifier from its note, a reply only from the host asked, an
    // error only quoting that host, a note of a refused send as that send's status.
    book.sent(11, to, 2000 * ms, 2000 * ms);  // 3
    EchoHeard reply = heard(3, 2001 * ms), note = heard(3, 0, EchoHeard::Kind::Sent);
    reply.hasId = note.hasId = true;
    reply.id = note.id = 0x4242;
    EXPECT_FALSE(book.hear(reply));  // before the helper's note
    EXPECT_FALSE(book.hear(note));
    EchoHeard error = reply, otherHost = reply, otherId = reply;
    otherHost.from = inet_addr("198.18.1.11");
    otherId.id = 0x4243;
    error.kind = EchoHeard::Kind::Error;
    error.status = ipstatus::kTtlExpiredTransit;
    error.quotesDestination = true;
    error.quoted = otherHost.from;
    EchoHeard otherFamily = error;
    otherFamily.family = AF_INET6;
    otherFamily.quoted = to.address;
    for (const EchoHeard& h : {otherHost, otherId, error, otherFamily}) EXPECT_FALSE(book.hear(h));
    error.quoted = to.address;
    EXPECT_EQ(book.hear(error)->reply.status, ipstatus::kTtlExpiredTransit);
    book.sent(12, to, 2002 * ms, 2002 * ms);  // 4
    note.sequence = 4;
    note.status = EHOSTUNREACH;
    EXPECT_EQ(book.hear(note)->reply.status, ipstatus::kDestHostUnreachable);
}

TEST(IcmpPacket, StatusOfEachErrorAndRefusedSend) {
    using namespace ipstatus;
    const struct {
        int type, code, status;
    } errors[] = {
        {ICMP_TIME_EXCEEDED, ICMP_EXC_TTL, kTtlExpiredTransit},
        {ICMP_TIME_EXCEEDED, ICMP_EXC_FRAGTIME, kTtlExpiredReassembly},
        {ICMP_PARAMETERPROB, 0, kParameterProblem},
        {ICMP_SOURCE_QUENCH, 0, kSourceQuench},
        {ICMP_REDIRECT, 0, kGeneralFailure},
    };
    for (const auto& e : errors)
        EXPECT_EQ(statusOfError(e.type, e.code), e.status) << e.type << "/" << e.code;
    // Every "destination unreachable" code, 0 to 15: the network kinds (unreachable, unknown,
    // prohibited, for the type of service) say network, the rest host, but for the four that
    // have a status of their own.
    const int unreachable[16] = {kDestNetUnreachable,  kDestHostUnreachable, kDestProtUnreachable,
                                 kDestPortUnreachable, kPacketTooBig,        kBadRoute,
                                 kDestNetUnreachable,  kDestHostUnreachable, kDestHostUnreachable,
                                 kDestNetUnreachable,  kDestHostUnreachable, kDestNetUnreachable,
                                 kDestHostUnreachable, kDestHostUnreachable, kDestHostUnreachable,
                                 kDestHostUnreachable};
    for (int code = 0; code < 16; ++code)
        EXPECT_EQ(statusOfError(ICMP_DEST_UNREACH, code), unreachable[code]) << "code " << code;
    EXPECT_EQ(statusOfErrno(ENETUNREACH), kDestNetUnreachable);
    EXPECT_EQ(statusOfErrno(EHOSTUNREACH), kDestHostUnreachable);
    EXPECT_EQ(statusOfErrno(EMSGSIZE), kPacketTooBig);
    EXPECT_EQ(statusOfErrno(EPERM), kGeneralFailure);
}

}  // namespace
