#pragma once
// The all scan that sends to every target at once: one echo request to each, IPv4 and IPv6, at
// most one request every 2 ms, all of them under way together on one flight (IEchoFlight), and
// each target's outcome as soon as it is known: its answer, its ICMP error, its time-out, or
// that its name could not be looked up. A thread of its own sends and listens; a few more look
// names up. The outcomes wait in a queue, in the order they came, for the caller to take; a
// descriptor tells when there are some, so the UI thread can wait for them with its events
// running. Plain C++.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "icmp/echo_service.h"

class EchoSweep {
public:
    struct Settings {
        int timeoutMs = 1000;
        uint8_t ttl = 255;
        int blockSize = 64;
    };
    // A target's outcome, as the probe reports one attempt: status 0 online, -1 when the name
    // could not be looked up ("0.0.0.0"), any other the echo's status.
    struct Outcome {
        size_t target;  // its index in the list given
        int status;
        std::string responder;  // the answering host or reporting router, as text
        int rttUs;              // as finely as the kernel stamped the answer
        uint8_t ttl;
    };

    // Starts at once. `targets` are the rows' texts as the probe reads them.
    EchoSweep(IEchoService& echo, std::vector<std::string> targets, Settings settings);
    // Stops, and waits for every thread (a look-up under way included: see threadsDone).
    ~EchoSweep();
    EchoSweep(const EchoSweep&) = delete;
    EchoSweep& operator=(const EchoSweep&) = delete;

    // Readable while outcomes wait to be taken, and once the sweep has ended or was stopped.
    int readyDescriptor() const { return ready_; }
    // Up to `most` outcomes, oldest first.
    std::vector<Outcome> take(size_t most);
    // Every target has its outcome and every outcome was taken.
    bool ended() const;
    // Ends the sweep at once: no more requests go, nothing more is heard, and what was not yet
    // taken is dropped. The descriptor becomes readable.
    void stop();
    // Whether its threads have ended, so that destroying it waits for nothing (a look-up that a
    // silent name server holds may outlast a stop).
    bool threadsDone() const { return running_.load() == 0; }

private:
    struct Ready {
        size_t target;
        EchoDestination to;
    };
    void send();
    void lookUp();
    // Queues outcomes for the caller (under the lock).
    void tell(Outcome outcome);
    void wake(int fd);

    IEchoService& echo_;
    const size_t total_;  // targets
    const Settings settings_;
    int ready_ = -1;  // an eventfd: outcomes wait, or the sweep ended
    int wake_ = -1;   // an eventfd that wakes the sending thread: names looked up, or stop

    mutable std::mutex mutex_;
    std::deque<Outcome> outcomes_;
    std::deque<Ready> resolved_;  // names looked up, for the sending thread
    struct Name {
        size_t target;
        std::string text;
    };
    std::deque<Name> names_;  // names still to look up
    size_t told_ = 0;         // targets with an outcome
    bool sendingEnded_ = false;
    std::atomic<bool> stopped_{false};
    std::atomic<int> running_{0};

    std::deque<Ready> numeric_;  // address texts, in list order (the sending thread's)
    std::thread sender_;
    std::vector<std::thread> lookers_;
};
