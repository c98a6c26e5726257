#pragma once
// The target list's columns, in one place: the list view builds them, the settings file keeps
// their widths (LCWidth0 to LCWidth4).
#include <array>

// The state icon, then the four sub-items.
enum class Column { State = 0, Address = 1, Name = 2, OnlineCount = 3, ScanCount = 4 };
inline constexpr int kColumnCount = 5;
inline constexpr std::array<int, kColumnCount> kDefaultColumnWidths{20, 100, 250, 100, 100};
