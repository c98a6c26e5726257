#include "app/target_facts.h"

#include <algorithm>

void TargetFacts::record(bool online, int rttUs, int ttl, int64_t atMs, int status,
                         const std::string& from, bool ipv6) {
    Result r;
    r.atSeconds = static_cast<uint32_t>(std::max<int64_t>(0, atMs / 1000));
    r.rttUs = online ? static_cast<uint32_t>(std::clamp<int>(rttUs, 0, Result::kLongest))
                     : Result::kNoAnswer;
    r.ttl = static_cast<uint32_t>(std::clamp(ttl, 0, 255));
    if (!probed() || last(0).online() != online) sinceMs_ = atMs;
    if (results_.size() < kKept) {
        if (results_.empty()) results_.reserve(kKept);  // one allocation, no growth to spare
        results_.push_back(r);
    } else {
        results_[next_] = r;
        next_ = (next_ + 1) % kKept;
    }
    ++probes_;
    if (!online) {
        ++failsInARow_;
        lastFailure_ = Failure{atMs, status, from, ipv6};
        return;
    }
    failsInARow_ = 0;
    const int rtt = static_cast<int>(r.rttUs);
    minRttUs_ = answers_ == 0 ? rtt : std::min(minRttUs_, rtt);
    maxRttUs_ = answers_ == 0 ? rtt : std::max(maxRttUs_, rtt);
    ++answers_;
    rttSum_ += rtt;
    lastAnswer_ = r;
    lastAnswerFrom_ = from;
}

const TargetFacts::Result& TargetFacts::keptAt(size_t i) const {
    return results_[(next_ + i) % results_.size()];
}

const TargetFacts::Result& TargetFacts::last(size_t back) const {
    return keptAt(results_.size() - 1 - back);
}

std::optional<int> TargetFacts::minRttUs() const {
    return answers_ ? std::optional<int>(minRttUs_) : std::nullopt;
}

std::optional<int> TargetFacts::maxRttUs() const {
    return answers_ ? std::optional<int>(maxRttUs_) : std::nullopt;
}

std::optional<double> TargetFacts::averageRttUs() const {
    return answers_ ? std::optional<double>(static_cast<double>(rttSum_) / answers_) : std::nullopt;
}
