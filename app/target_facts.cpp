#include "app/target_facts.h"

#include <algorithm>

void TargetFacts::record(bool online, int rttMs, int ttl, int64_t atMs, int status,
                         const std::string& from, bool ipv6) {
    Result r;
    r.atSeconds = static_cast<uint32_t>(std::max<int64_t>(0, atMs / 1000));
    r.rttMs = online ? static_cast<int16_t>(std::clamp(rttMs, 0, 32767)) : int16_t{-1};
    r.ttl = static_cast<uint8_t>(std::clamp(ttl, 0, 255));
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
        lastFailure_ = Failure{atMs, status, from, ipv6};
        return;
    }
    minRtt_ = answers_ == 0 ? r.rttMs : std::min<int>(minRtt_, r.rttMs);
    maxRtt_ = answers_ == 0 ? r.rttMs : std::max<int>(maxRtt_, r.rttMs);
    ++answers_;
    rttSum_ += r.rttMs;
    lastAnswer_ = r;
    lastAnswerFrom_ = from;
}

const TargetFacts::Result& TargetFacts::keptAt(size_t i) const {
    return results_[(next_ + i) % results_.size()];
}

const TargetFacts::Result& TargetFacts::last(size_t back) const {
    return keptAt(results_.size() - 1 - back);
}

std::optional<int> TargetFacts::minRtt() const {
    return answers_ ? std::optional<int>(minRtt_) : std::nullopt;
}

std::optional<int> TargetFacts::maxRtt() const {
    return answers_ ? std::optional<int>(maxRtt_) : std::nullopt;
}

std::optional<double> TargetFacts::averageRtt() const {
    return answers_ ? std::optional<double>(static_cast<double>(rttSum_) / answers_) : std::nullopt;
}
