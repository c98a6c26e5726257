#include "icmp/flight_book.h"

#include <algorithm>
#include <cstring>

#include "icmp/icmp6_packet.h"
#include "icmp/icmp_packet.h"

namespace {

bool SameHost(const EchoDestination& to, uint32_t address, const in6_addr& address6) {
    return to.family == AF_INET6 ? std::memcmp(&to.address6, &address6, sizeof address6) == 0
                                 : to.address == address;
}

EchoReply TimedOut() {
    EchoReply r;
    r.status = ipstatus::kRequestTimedOut;
    return r;
}

}  // namespace

FlightBook::FlightBook(int timeoutMs, uint16_t firstSequence)
    : timeoutNs_(static_cast<int64_t>(std::max(0, timeoutMs)) * 1'000'000), first_(firstSequence) {}

int64_t FlightBook::nextSendAt() const {
    return lastSend_ ? *lastSend_ + kSpacingNs : 0;
}

void FlightBook::sent(size_t target, const EchoDestination& to, int64_t sentAt,
                      int64_t returnedAt) {
    requests_.push_back({target, to, sentAt});
    ++underWay_;
    lastSend_ = returnedAt;
}

FlightBook::Request* FlightBook::find(uint16_t sequence) {
    const auto offset = static_cast<uint16_t>(sequence - first_);
    return offset < requests_.size() ? &requests_[offset] : nullptr;
}

FlightBook::Outcome FlightBook::settle(Request& r, EchoReply reply) {
    r.settled = true;
    --underWay_;
    const Outcome outcome{r.target, r.to.family, std::move(reply)};
    while (!requests_.empty() && requests_.front().settled) {
        requests_.pop_front();
        ++first_;
    }
    return outcome;
}

std::optional<FlightBook::Outcome> FlightBook::hear(const EchoHeard& h) {
    Request* r = find(h.sequence);
    if (!r || r->settled) return std::nullopt;
    if (h.kind != EchoHeard::Kind::Sent && r->to.family != h.family) return std::nullopt;
    if (h.kind == EchoHeard::Kind::Sent) {
        r->idKnown = true;
        r->id = h.id;
        if (h.status == 0) return std::nullopt;
        EchoReply failed;
        failed.status = icmp_packet::statusOfErrno(h.status);
        return settle(*r, failed);
    }
    if (h.hasId) {
        // Through the helper: its identifier, and a reply only from the host that was asked.
        if (!r->idKnown || r->id != h.id) return std::nullopt;
        if (h.kind == EchoHeard::Kind::Reply && !SameHost(r->to, h.from, h.from6))
            return std::nullopt;
    }
    if (h.quotesDestination && !SameHost(r->to, h.quoted, h.quoted6)) return std::nullopt;
    const int64_t roundTrip = h.receivedNs - r->sentAt;
    if (roundTrip > timeoutNs_) return settle(*r, TimedOut());
    EchoReply reply;
    reply.status = h.kind == EchoHeard::Kind::Reply ? ipstatus::kSuccess : h.status;
    if (h.family == AF_INET) reply.address = h.from;
    if (h.family == AF_INET6 && h.fromKnown) reply.responder6 = icmp6_packet::addressText(h.from6);
    reply.rttUs = static_cast<int>(std::max<int64_t>(0, roundTrip / 1'000));
    reply.rttMs = reply.rttUs / 1000;
    reply.ttl = static_cast<uint8_t>(std::clamp(h.ttl, 0, 255));
    return settle(*r, std::move(reply));
}

void FlightBook::expire(int64_t now, std::vector<Outcome>& out) {
    // Sent in order, so they time out in order: the oldest first.
    while (!requests_.empty() && now - requests_.front().sentAt > timeoutNs_)
        out.push_back(settle(requests_.front(), TimedOut()));
}

void FlightBook::settleAll(const EchoReply& reply, std::vector<Outcome>& out) {
    while (!requests_.empty()) out.push_back(settle(requests_.front(), reply));
}

std::optional<int64_t> FlightBook::nextDeadline() const {
    if (requests_.empty()) return std::nullopt;
    return requests_.front().sentAt + timeoutNs_;
}
