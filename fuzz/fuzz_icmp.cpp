// What the helper and the echo handles read from the network and from the program's side of the
// socket pair, as bytes nobody vouches for: every decoder must stay within its input, and what
// the helper passes on must concern a request it sent.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "icmp/flight_book.h"
#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"
#include "icmp/relay_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes: a read past the end is a heap overflow the sanitizer sees.
    const std::vector<uint8_t> bytes(data, data + size);
    const uint8_t* p = bytes.data();
    const std::vector<uint8_t> payload(56, 0xA7);

    icmp_packet::Request r4;
    r4.id = 0x1234;
    r4.sequence = 7;
    r4.destination = ::inet_addr("198.18.1.10");
    r4.data = &payload;
    icmp_packet::parseRaw(p, size, r4);
    icmp_packet::parseDatagram(p, size, r4);
    icmp_packet::concernedRequest(p, size);

    icmp6_packet::Request r6{0x1234, 7, {}, &payload};
    ::inet_pton(AF_INET6, "fd00:198:18:1::10", &r6.destination);
    icmp6_packet::parseRaw(p, size, r6);
    icmp6_packet::parseDatagram(p, size, r6);

    icmp_relay::RequestBook book(0x1234);
    book.handOut(r4.destination, 0);
    book.handOut6(r6.destination, 2'000'000);
    const bool ours4 = book.concerns(p, size, 3'000'000);
    const bool ours6 = book.concerns6(p, size, r6.destination, 3'000'000);
    // The book passes on only what names one of its identifiers and destinations.
    if (ours4) {
        const auto c = icmp_packet::concernedRequest(p, size);
        if (!c || c->id != 0x1234 || c->destination != r4.destination) std::abort();
    }
    if (ours6) {
        const auto c = icmp6_packet::concernedRequest(p, size, r6.destination);
        if (!c || c->id != 0x1235 || std::memcmp(&c->destination, &r6.destination, 16) != 0)
            std::abort();
    }

    if (const auto m = icmp_relay::parseRequestMessage(p, size)) {
        icmp_relay::acceptableRequest(m->packet.data(), m->packet.size(), m->to.family);
        // What it read writes back to the same message.
        if (icmp_relay::requestMessage(m->to, m->ttl, m->packet) != bytes) std::abort();
    }
    // What a scan with every request under way hears: only its request's sequence number settles
    // it, and only once.
    FlightBook flight(1000, 7);
    EchoDestination to;
    to.family = AF_INET;
    to.address = r4.destination;
    flight.sent(0, to, 0, 0);
    int settled = 0;
    for (const auto& h :
         {icmp_packet::hearRaw(p, size, &payload), icmp_packet::hearDatagram(p, size, &payload),
          icmp6_packet::hearRaw(p, size, &payload, r6.destination),
          icmp6_packet::hearDatagram(p, size, &payload)})
        if (h && flight.hear(*h) && (h->sequence != 7 || ++settled > 1)) std::abort();

    // The helper's answers: what is read writes back the same, and a packet stays inside.
    if (const auto note = icmp_relay::parseSentMessage(p, size)) {
        const std::vector<uint8_t> again = icmp_relay::sentMessage(*note);
        if (!std::equal(again.begin(), again.end(), p)) std::abort();
    }
    if (const auto m = icmp_relay::parsePacketMessage(p, size))
        if (m->packet + m->size != p + size) std::abort();
    return 0;
}
