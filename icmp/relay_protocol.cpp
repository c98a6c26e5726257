#include "icmp/relay_protocol.h"

#include <arpa/inet.h>
#include <netinet/icmp6.h>
#include <netinet/ip_icmp.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"

namespace icmp_relay {

bool acceptableRequest(const uint8_t* packet, size_t size, int family) {
    const uint8_t echo = family == AF_INET6 ? ICMP6_ECHO_REQUEST : ICMP_ECHO;
    return size >= 8 && size <= kMaxRequest && packet[0] == echo && packet[1] == 0;
}

std::vector<uint8_t> requestMessage(const Destination& to, uint8_t ttl,
                                    const std::vector<uint8_t>& packet) {
    std::vector<uint8_t> m;
    auto append = [&m](const void* p, size_t n) {
        m.insert(m.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    };
    if (to.family == AF_INET6) {
        m.push_back('6');
        append(&to.address6, sizeof to.address6);
        append(&to.scope, sizeof to.scope);
    } else {
        m.push_back('4');
        append(&to.address, sizeof to.address);
    }
    m.push_back(ttl);
    m.insert(m.end(), packet.begin(), packet.end());
    return m;
}

std::optional<RequestMessage> parseRequestMessage(const uint8_t* message, size_t size) {
    RequestMessage r;
    size_t header = 0;
    if (size >= 1 + sizeof(uint32_t) + 1 && message[0] == '4') {
        r.to.family = AF_INET;
        std::memcpy(&r.to.address, message + 1, sizeof r.to.address);
        header = 1 + sizeof r.to.address;
    } else if (size >= 1 + sizeof(in6_addr) + sizeof(uint32_t) + 1 && message[0] == '6') {
        r.to.family = AF_INET6;
        std::memcpy(&r.to.address6, message + 1, sizeof r.to.address6);
        std::memcpy(&r.to.scope, message + 1 + sizeof r.to.address6, sizeof r.to.scope);
        header = 1 + sizeof r.to.address6 + sizeof r.to.scope;
    } else {
        return std::nullopt;
    }
    r.ttl = message[header];
    r.packet.assign(message + header + 1, message + size);
    return r;
}

std::vector<uint8_t> sentMessage(const SentNote& note) {
    std::vector<uint8_t> m(kSentSize);
    m[0] = kSent;
    const uint16_t id = htons(note.id), sequence = htons(note.sequence);
    std::memcpy(&m[1], &note.error, sizeof note.error);
    std::memcpy(&m[1 + sizeof note.error], &id, sizeof id);
    std::memcpy(&m[1 + sizeof note.error + sizeof id], &sequence, sizeof sequence);
    return m;
}

std::optional<SentNote> parseSentMessage(const uint8_t* message, size_t size) {
    if (size < kSentSize || message[0] != kSent) return std::nullopt;
    SentNote note;
    uint16_t id, sequence;
    std::memcpy(&note.error, message + 1, sizeof note.error);
    std::memcpy(&id, message + 1 + sizeof note.error, sizeof id);
    std::memcpy(&sequence, message + 1 + sizeof note.error + sizeof id, sizeof sequence);
    note.id = ntohs(id);
    note.sequence = ntohs(sequence);
    return note;
}

void writePacketHeader(uint8_t* message, const PacketHeader& header) {
    message[0] = kPacket;
    std::memcpy(message + 1, &header, sizeof header);
}

std::optional<PacketMessage> parsePacketMessage(const uint8_t* message, size_t size) {
    if (size < kPacketHeaderSize || message[0] != kPacket) return std::nullopt;
    PacketMessage m;
    std::memcpy(&m.header, message + 1, sizeof m.header);
    m.packet = message + kPacketHeaderSize;
    m.size = size - kPacketHeaderSize;
    return m;
}

int64_t RequestBook::sendTime(int64_t now) const {
    return lastSend_ ? std::max(now, *lastSend_ + kRequestSpacingNs) : now;
}

uint16_t RequestBook::note(const Sent& sent, int64_t now) {
    while (!recent_.empty() && now - recent_.front().at > kRequestLifetimeNs) recent_.pop_front();
    if (recent_.size() == 0xFFFF) recent_.pop_front();  // identifiers must not repeat in the book
    recent_.push_back(sent);
    lastSend_ = now;
    return sent.id;
}

uint16_t RequestBook::handOut(uint32_t destination, int64_t now) {
    return note({nextId_++, AF_INET, destination, {}, now}, now);
}

uint16_t RequestBook::handOut6(const in6_addr& destination, int64_t now) {
    return note({nextId_++, AF_INET6, 0, destination, now}, now);
}

RequestBook::Ids RequestBook::recentIds() const {
    if (recent_.empty()) return {nextId_, 0};
    return {recent_.front().id, static_cast<uint32_t>(recent_.size())};
}

const RequestBook::Sent* RequestBook::find(uint16_t id, int64_t now) const {
    if (recent_.empty()) return nullptr;
    const auto offset = static_cast<uint16_t>(id - recent_.front().id);
    if (offset >= recent_.size()) return nullptr;
    const Sent& s = recent_[offset];
    return now - s.at <= kRequestLifetimeNs ? &s : nullptr;
}

bool RequestBook::concerns(const uint8_t* packet, size_t size, int64_t now) const {
    const std::optional<icmp_packet::Concerned> c = icmp_packet::concernedRequest(packet, size);
    const Sent* s = c ? find(c->id, now) : nullptr;
    return s && s->family == AF_INET && s->destination == c->destination;
}

bool RequestBook::concerns6(const uint8_t* packet, size_t size, const in6_addr& from,
                            int64_t now) const {
    const std::optional<icmp6_packet::Concerned> c =
        icmp6_packet::concernedRequest(packet, size, from);
    const Sent* s = c ? find(c->id, now) : nullptr;
    return s && s->family == AF_INET6 &&
           std::memcmp(&s->destination6, &c->destination, sizeof(in6_addr)) == 0;
}

}  // namespace icmp_relay
