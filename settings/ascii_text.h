#pragma once
// Byte strings compared as the Windows profile and table names are: ASCII letters without regard
// to case, every other byte (code page 932 or UTF-8) as it is.
#include <string_view>

inline bool sameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}
