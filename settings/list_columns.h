#pragma once
// The target list's columns, in one place: the list view builds them, the settings file keeps
// their widths (LCWidth0 to LCWidth10) and which of the optional ones are shown (LCShow).
#include <array>

// The state icon, then the four sub-items that every row has and the list file keeps; then the
// columns of what this run (and the kept history) tells of each target, hidden until the user
// shows them.
enum class Column {
    State = 0,
    Address = 1,
    Name = 2,
    OnlineCount = 3,
    ScanCount = 4,
    RoundTrip = 5,   // 応答時間
    Loss = 6,        // 損失率
    StateFor = 7,    // 状態の継続
    LastAnswer = 8,  // 最終応答
    Uptime24h = 9,   // 稼働率（24時間）
    Uptime7d = 10,   // 稼働率（7日）
};
// The columns every list shows, and the columns there are in all.
inline constexpr int kColumnCount = 5;
inline constexpr int kAllColumnCount = 11;
inline constexpr int kFirstFactColumn = kColumnCount;
inline constexpr std::array<int, kAllColumnCount> kDefaultColumnWidths{20, 100, 250, 100, 100, 80,
                                                                       60, 90,  130, 90,  90};
