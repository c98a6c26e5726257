#include "probe/echo_sweep.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>

#include "icmp/flight_book.h"
#include "icmp/icmp_packet.h"
#include "probe/echo_target.h"

namespace {

// Look-ups at once: a list of names that a silent name server holds one resolver time-out each
// would otherwise take minutes.
constexpr size_t kLookers = 8;
// How long a send the socket refused for want of room waits before it is tried again.
constexpr int64_t kRetryNs = 1'000'000;

int64_t SteadyNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

EchoSweep::Outcome Unresolved(size_t target) {
    return {target, -1, "0.0.0.0", 0, 0};
}

EchoSweep::Outcome FromReply(size_t target, int family, const EchoReply& r) {
    return {target, r.status, family == AF_INET6 ? r.responder6 : dottedAddress(r.address), r.rttMs,
            r.ttl};
}

}  // namespace

EchoSweep::EchoSweep(IEchoService& echo, std::vector<std::string> targets, Settings settings)
    : echo_(echo), total_(targets.size()), settings_(settings) {
    ready_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    for (size_t i = 0; i < targets.size(); ++i) {
        EchoTarget t = readTarget(targets[i]);
        if (t.destination) {
            numeric_.push_back({i, *t.destination});
        } else if (t.needsLookUp) {
            names_.push_back({i, std::move(t.text)});
        } else {
            std::lock_guard<std::mutex> lock(mutex_);
            tell(Unresolved(i));
        }
    }
    const size_t lookers = std::min(kLookers, names_.size());
    running_ = static_cast<int>(1 + lookers);
    sender_ = std::thread(&EchoSweep::send, this);
    for (size_t i = 0; i < lookers; ++i) lookers_.emplace_back(&EchoSweep::lookUp, this);
}

EchoSweep::~EchoSweep() {
    stop();
    sender_.join();
    for (std::thread& t : lookers_) t.join();
    ::close(ready_);
    ::close(wake_);
}

void EchoSweep::wake(int fd) {
    const uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
}

void EchoSweep::tell(Outcome outcome) {
    outcomes_.push_back(std::move(outcome));
    ++told_;
    wake(ready_);
}

std::vector<EchoSweep::Outcome> EchoSweep::take(size_t most) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Outcome> taken;
    while (taken.size() < most && !outcomes_.empty()) {
        taken.push_back(std::move(outcomes_.front()));
        outcomes_.pop_front();
    }
    if (outcomes_.empty() && !sendingEnded_ && !stopped_) {
        uint64_t count;
        (void)!::read(ready_, &count, sizeof count);
    }
    return taken;
}

bool EchoSweep::ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sendingEnded_ && outcomes_.empty();
}

void EchoSweep::stop() {
    stopped_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    outcomes_.clear();
    wake(wake_);
    wake(ready_);
}

void EchoSweep::lookUp() {
    for (;;) {
        Name name;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopped_ || names_.empty()) break;
            name = std::move(names_.front());
            names_.pop_front();
        }
        const size_t target = name.target;
        const std::optional<EchoDestination> to = lookUpTarget(echo_, name.text);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) break;
        if (to) {
            resolved_.push_back({target, *to});
        } else {
            tell(Unresolved(target));
        }
        wake(wake_);
    }
    --running_;
}

void EchoSweep::send() {
    const std::vector<uint8_t> data(static_cast<size_t>(std::clamp(settings_.blockSize, 0, 65535)),
                                    0xA7);
    // The waits between sends end on time, not up to the default 50 us late each.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_ptr<IEchoFlight> flight = echo_.openFlight(data);
    uint16_t firstSequence = 0;
    (void)!::getrandom(&firstSequence, sizeof firstSequence, GRND_NONBLOCK);
    FlightBook book(settings_.timeoutMs, firstSequence);
    std::deque<Ready> pending = std::move(numeric_);
    std::vector<int> fds = flight ? flight->descriptors() : std::vector<int>{};
    std::vector<pollfd> polled;
    for (int fd : fds) polled.push_back({fd, POLLIN, 0});
    polled.push_back({wake_, POLLIN, 0});
    std::vector<EchoHeard> heard;
    std::vector<FlightBook::Outcome> settled;
    int64_t retryAt = 0;
    auto tellAll = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const FlightBook::Outcome& o : settled) tell(FromReply(o.target, o.family, o.reply));
        settled.clear();
    };
    while (!stopped_) {
        if (flight) {
            heard.clear();
            flight->hear(heard);
            for (const EchoHeard& h : heard)
                if (std::optional<FlightBook::Outcome> o = book.hear(h)) settled.push_back(*o);
        }
        const int64_t now = SteadyNs();
        book.expire(now, settled);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::move(resolved_.begin(), resolved_.end(), std::back_inserter(pending));
            resolved_.clear();
        }
        if (flight && flight->broken()) {
            // The helper died: whatever is left can only fail, and the caller is told at once.
            book.settleAll(EchoReply{}, settled);
            for (const Ready& r : pending) settled.push_back({r.target, r.to.family, EchoReply{}});
            pending.clear();
            tellAll();
            break;
        }
        tellAll();
        const int64_t sendAt = std::max(book.nextSendAt(), retryAt);
        if (!pending.empty() && book.roomForMore() && now >= sendAt) {
            const Ready r = pending.front();
            const int64_t sentAt = SteadyNs();
            const int err =
                flight ? flight->send(r.to, book.nextSequence(), settings_.ttl) : EAFNOSUPPORT;
            const int64_t returnedAt = SteadyNs();
            if (err == EAGAIN) {
                retryAt = returnedAt + kRetryNs;
                continue;
            }
            pending.pop_front();
            if (err == 0) {
                book.sent(r.target, r.to, sentAt, returnedAt);
            } else {
                book.refused(returnedAt);
                EchoReply failed;
                failed.status = icmp_packet::statusOfErrno(err);
                settled.push_back({r.target, r.to.family, failed});
                tellAll();
            }
            continue;  // whatever came meanwhile is heard before the next wait
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (told_ == total_) break;
        }
        int64_t until = std::numeric_limits<int64_t>::max();
        if (const std::optional<int64_t> deadline = book.nextDeadline()) until = *deadline + 1;
        if (!pending.empty() && book.roomForMore()) until = std::min(until, sendAt);
        timespec wait{};
        timespec* timeout = nullptr;
        if (until != std::numeric_limits<int64_t>::max()) {
            const int64_t left = std::max<int64_t>(0, until - SteadyNs());
            wait = {static_cast<time_t>(left / 1'000'000'000),
                    static_cast<long>(left % 1'000'000'000)};
            timeout = &wait;
        }
        if (::ppoll(polled.data(), polled.size(), timeout, nullptr) > 0 && polled.back().revents) {
            uint64_t count;
            (void)!::read(wake_, &count, sizeof count);
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sendingEnded_ = true;
        wake(ready_);
    }
    --running_;
}
