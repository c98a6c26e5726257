#pragma once
// What this run learned of one target, kept beside its row and never saved: its state and since
// when, the last answer, how many probes were answered, the round-trip times, and the last
// results for the picture of the recent past. Bounded: the last kKept results at most. The time
// of each result is an argument, so the bookkeeping is testable without a clock.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TargetFacts {
public:
    static constexpr size_t kKept = 100;

    // Eight bytes, so that ten thousand targets with a hundred results each stay within 8 MB.
    struct Result {
        static constexpr uint32_t kNoAnswer = 0xFFFFFF;
        static constexpr uint32_t kLongest = kNoAnswer - 1;  // 16.8 s
        uint32_t atSeconds = 0;           // when it came, seconds since the epoch
        uint32_t rttUs : 24 = kNoAnswer;  // microseconds; kNoAnswer: offline
        uint32_t ttl : 8 = 0;
        bool online() const { return rttUs != kNoAnswer; }
        int64_t atMs() const { return int64_t{atSeconds} * 1000; }
    };

    // `rttUs` the round-trip time of an answer in microseconds; `status` the echo status of a
    // result that is no answer (0 for an answer); `from` the host that answered or reported the
    // failure, when it is worth naming (empty: the target); `ipv6` whether that host is an IPv6
    // one (a status may mean another thing in ICMPv6).
    void record(bool online, int rttUs, int ttl, int64_t atMs, int status = 0,
                const std::string& from = {}, bool ipv6 = false);

    bool probed() const { return probes_ > 0; }
    bool online() const { return probed() && last(0).online(); }
    // When the state last changed (the first result counts as a change).
    int64_t sinceMs() const { return sinceMs_; }
    std::optional<Result> lastAnswer() const { return lastAnswer_; }
    const std::string& lastAnswerFrom() const { return lastAnswerFrom_; }
    // The last result that was no answer: when, and its echo status (why).
    struct Failure {
        int64_t atMs = 0;
        int status = 0;
        std::string from;
        bool ipv6 = false;
    };
    std::optional<Failure> lastFailure() const { return lastFailure_; }
    int answers() const { return answers_; }
    int probes() const { return probes_; }
    // The probes without an answer since the last answer (or the first result).
    int failsInARow() const { return failsInARow_; }
    // Of every answer of this run, in microseconds; nothing before the first.
    std::optional<int> minRttUs() const;
    std::optional<int> maxRttUs() const;
    std::optional<double> averageRttUs() const;
    // The kept results, oldest first.
    size_t kept() const { return results_.size(); }
    const Result& keptAt(size_t i) const;

private:
    // The result `back` steps before the newest.
    const Result& last(size_t back) const;

    std::vector<Result> results_;  // a ring of at most kKept; `next_` is the oldest once full
    size_t next_ = 0;
    int probes_ = 0;
    int answers_ = 0;
    int failsInARow_ = 0;
    int64_t sinceMs_ = 0;
    int64_t rttSum_ = 0;
    int minRttUs_ = 0;
    int maxRttUs_ = 0;
    std::optional<Result> lastAnswer_;
    std::string lastAnswerFrom_;
    std::optional<Failure> lastFailure_;
};
