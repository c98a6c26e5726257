#include "table/mlb_string_list.h"

#include <algorithm>

namespace {

using Item = std::pair<int, std::string>;

bool Before(const Item& item, int i) {
    return item.first < i;
}

}  // namespace

void TMLBStringList::Resize(int n) {
    count_ = std::max(0, n);
    while (!items_.empty() && items_.back().first > count_) items_.pop_back();
}

void TMLBStringList::Add(std::optional<std::string> text) {
    ++count_;
    if (text) items_.emplace_back(count_, std::move(*text));
}

bool TMLBStringList::Set(int i, std::optional<std::string> text) {
    if (!InRange(i)) return false;
    auto at = std::lower_bound(items_.begin(), items_.end(), i, Before);
    const bool present = at != items_.end() && at->first == i;
    if (!text) {
        if (present) items_.erase(at);
    } else if (present) {
        at->second = std::move(*text);
    } else {
        items_.emplace(at, i, std::move(*text));
    }
    return true;
}

const std::string* TMLBStringList::Get(int i) const {
    if (!InRange(i)) return nullptr;
    auto at = std::lower_bound(items_.begin(), items_.end(), i, Before);
    return at != items_.end() && at->first == i ? &at->second : nullptr;
}

int TMLBStringList::IndexOf(std::string_view text) const {
    int expected = 1;  // the next position; a gap before an item is an absent item
    for (const Item& item : items_) {
        if (item.first > expected && text.empty()) return expected;
        if (item.second == text) return item.first;
        expected = item.first + 1;
    }
    return text.empty() && expected <= count_ ? expected : 0;
}
