#pragma once
// An ordered list of byte strings with 1-based positions. An item may be absent (no text at all),
// which Get reports as a null pointer; callers that only want text treat null as "".
// Only present items take memory: a record of a wide table with few values costs what its values
// cost, so a table never needs more memory than a small multiple of the file it came from.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TMLBStringList {
public:
    void Clear() {
        items_.clear();
        count_ = 0;
    }
    // Makes the list n items long; new items are absent and cost nothing.
    void Resize(int n);
    void Add(std::optional<std::string> text);
    // False, with nothing changed, when i lies outside 1..Count().
    bool Set(int i, std::optional<std::string> text);
    // Null when i lies outside 1..Count() or the item is absent; owned by the list.
    const std::string* Get(int i) const;
    // First position whose text equals `text` byte for byte (absent compares as ""); 0 if none.
    int IndexOf(std::string_view text) const;
    int Count() const { return count_; }

private:
    bool InRange(int i) const { return i >= 1 && i <= Count(); }
    // Present items, ordered by position.
    std::vector<std::pair<int, std::string>> items_;
    int count_ = 0;
};
