#pragma once
// An ordered list of byte strings with 1-based positions. An item may be absent (no text at all),
// which Get reports as a null pointer; callers that only want text treat null as "".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TMLBStringList {
public:
    void Clear() { items_.clear(); }
    void Reserve(int n) { items_.reserve(static_cast<size_t>(n)); }
    void Add(std::optional<std::string> text) { items_.push_back(std::move(text)); }
    // False, with nothing changed, when i lies outside 1..Count().
    bool Set(int i, std::optional<std::string> text);
    // Null when i lies outside 1..Count() or the item is absent; owned by the list.
    const std::string* Get(int i) const;
    // First position whose text equals `text` byte for byte (absent compares as ""); 0 if none.
    int IndexOf(std::string_view text) const;
    int Count() const { return static_cast<int>(items_.size()); }

private:
    bool InRange(int i) const { return i >= 1 && i <= Count(); }
    std::vector<std::optional<std::string>> items_;
};
