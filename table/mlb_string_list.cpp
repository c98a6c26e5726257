#include "table/mlb_string_list.h"

bool TMLBStringList::Set(int i, std::optional<std::string> text) {
    if (!InRange(i)) return false;
    items_[i - 1] = std::move(text);
    return true;
}

const std::string* TMLBStringList::Get(int i) const {
    if (!InRange(i)) return nullptr;
    const auto& item = items_[i - 1];
    return item ? &*item : nullptr;
}

int TMLBStringList::IndexOf(std::string_view text) const {
    for (int i = 0; i < Count(); ++i) {
        const auto& item = items_[i];
        if (std::string_view(item ? *item : std::string()) == text) return i + 1;
    }
    return 0;
}
