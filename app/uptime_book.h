#pragma once
// The share of time each target was online over a period, from its changes of state: those the
// kept history holds from earlier runs and those of this run. A state holds from the change
// that began it until the target's next change, or until the time asked about; the time between
// two runs counts in the state last kept (the history does not say when a run ended). Plain
// bookkeeping: every time is an argument.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class UptimeBook {
public:
    static constexpr int64_t kDayMs = 24 * 3600 * 1000LL;
    static constexpr int64_t kKeptMs = 7 * kDayMs;

    // A target's state at `atMs`. Changes come in time order per target; one that repeats the
    // state adds nothing.
    void record(const std::string& address, int64_t atMs, bool online);
    // Takes the changes of `earlier` (read from the kept history) that came before `beforeMs`,
    // in front of this book's own: what this run recorded meanwhile was written to the history
    // too, and must not count twice.
    void takeEarlier(const UptimeBook& earlier, int64_t beforeMs);
    // Forgets changes older than `keptFromMs`, keeping the last one before it (the state the
    // period begins in).
    void forgetBefore(int64_t keptFromMs);
    // The share online of the time within [fromMs, toMs] that the book knows of; nothing when it
    // knows of none.
    std::optional<double> share(const std::string& address, int64_t fromMs, int64_t toMs) const;
    size_t targets() const { return timelines_.size(); }

private:
    struct Change {
        int64_t atMs;
        bool online;
    };
    std::unordered_map<std::string, std::vector<Change>> timelines_;
};
