#pragma once
// The book of a scan that has many echo requests under way at once on one flight (IEchoFlight):
// which target each request was for, its sequence number (every request its own, so that two
// targets with one address are told apart), when it went, the helper's identifier for it, when
// it times out, and the pace of the sends. Plain bookkeeping: the time is an argument
// (nanoseconds on the steady clock), so every rule is testable without a socket or a clock.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "icmp/echo_service.h"

class FlightBook {
public:
    struct Outcome {
        size_t target;
        int family;  // of the request
        EchoReply reply;
    };

    // The least time between two requests, on either path: an ordinary user's ping's limit, and
    // the helper's.
    static constexpr int64_t kSpacingNs = 2'000'000;

    FlightBook(int timeoutMs, uint16_t firstSequence);

    // When the next request may go: kSpacingNs after the last send returned.
    int64_t nextSendAt() const;
    // Whether another request may be put under way (its sequence number is not taken).
    bool roomForMore() const { return requests_.size() < 0xFFFF; }
    uint16_t nextSequence() const { return static_cast<uint16_t>(first_ + requests_.size()); }
    // Notes the request for `target` sent under nextSequence(): begun at `sentAt` (its round trip
    // counts from there), the send returned at `returnedAt` (the pace counts from there).
    void sent(size_t target, const EchoDestination& to, int64_t sentAt, int64_t returnedAt);
    // A send that failed at once still counts for the pace.
    void refused(int64_t returnedAt) { lastSend_ = returnedAt; }

    // What `heard` means for the requests under way: the outcome of the one it answers, or
    // nothing (somebody else's packet, an answer to a request already settled, a note that a
    // request went out). An answer the kernel took in after the time-out settles its request as
    // timed out: it never counts, and nothing after it can.
    std::optional<Outcome> hear(const EchoHeard& heard);
    // Settles every request whose time-out has passed by `now` as timed out.
    void expire(int64_t now, std::vector<Outcome>& out);
    // Settles every request under way with `reply` (nothing can answer them any more).
    void settleAll(const EchoReply& reply, std::vector<Outcome>& out);
    // When the oldest request under way times out.
    std::optional<int64_t> nextDeadline() const;
    size_t underWay() const { return underWay_; }

private:
    struct Request {
        size_t target;
        EchoDestination to;
        int64_t sentAt;
        bool idKnown = false;  // the helper's identifier, from its note
        uint16_t id = 0;
        bool settled = false;
    };
    Request* find(uint16_t sequence);
    Outcome settle(Request& r, EchoReply reply);

    int64_t timeoutNs_;
    // In the order sent, so in sequence order from first_ on; settled ones leave from the front.
    std::deque<Request> requests_;
    uint16_t first_;
    size_t underWay_ = 0;
    std::optional<int64_t> lastSend_;
};
