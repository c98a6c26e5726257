#include "app/uptime_book.h"

#include <algorithm>

void UptimeBook::record(const std::string& address, int64_t atMs, bool online) {
    std::vector<Change>& changes = timelines_[address];
    if (!changes.empty() && changes.back().online == online) return;
    // A change out of order (a clock set back) is put in its place, not after a later one.
    const auto at = std::upper_bound(changes.begin(), changes.end(), atMs,
                                     [](int64_t t, const Change& c) { return t < c.atMs; });
    changes.insert(at, Change{atMs, online});
}

void UptimeBook::takeEarlier(const UptimeBook& earlier, int64_t beforeMs) {
    for (const auto& [address, theirs] : earlier.timelines_) {
        std::vector<Change> merged;
        for (const Change& c : theirs)
            if (c.atMs < beforeMs && (merged.empty() || merged.back().online != c.online))
                merged.push_back(c);
        if (merged.empty()) continue;
        std::vector<Change>& mine = timelines_[address];
        for (const Change& c : mine)
            if (merged.back().online != c.online) merged.push_back(c);
        mine.swap(merged);
    }
}

void UptimeBook::forgetBefore(int64_t keptFromMs) {
    for (auto& [address, changes] : timelines_) {
        // The last change at or before the period's start still tells the state it begins in.
        auto first = std::upper_bound(changes.begin(), changes.end(), keptFromMs,
                                      [](int64_t t, const Change& c) { return t < c.atMs; });
        if (first != changes.begin()) --first;
        changes.erase(changes.begin(), first);
    }
}

std::optional<double> UptimeBook::share(const std::string& address, int64_t fromMs,
                                        int64_t toMs) const {
    const auto found = timelines_.find(address);
    if (found == timelines_.end()) return std::nullopt;
    const std::vector<Change>& changes = found->second;
    int64_t known = 0, online = 0;
    for (size_t i = 0; i < changes.size(); ++i) {
        const int64_t begin = std::max(changes[i].atMs, fromMs);
        const int64_t end = std::min(i + 1 < changes.size() ? changes[i + 1].atMs : toMs, toMs);
        if (end <= begin) continue;
        known += end - begin;
        if (changes[i].online) online += end - begin;
    }
    if (known == 0) return std::nullopt;
    return static_cast<double>(online) / static_cast<double>(known);
}
