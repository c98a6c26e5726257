#pragma once
// Which of the window's commands are enabled, decided in one place from the window's state: the
// scan lock (an all scan, a select scan) and the list's selection as the window believes it.
struct CommandInputs {
    bool allScanLocked = false;
    bool selectScanLocked = false;
    // The row buttons' state outside a scan: a selection turns them on, its loss off; a select
    // scan gives them back on whatever happened meanwhile, an all scan as they were before it.
    bool rowButtonsOn = false;
    // The selection as the window believes it: not updated while an all scan runs.
    bool itemSelected = false;
};

struct CommandStates {
    bool allScanAndAdd = false;  // 全偵察, 追加 (buttons)
    bool rowButtons = false;     // 選択偵察, 更新, 削除 (buttons)
    bool menus = false;     // the menus 偵察, 編集, the item 設定, the list's context menu
    bool rowItems = false;  // 選択偵察 and 削除 in the menus and the context menu

    friend bool operator==(const CommandStates&, const CommandStates&) = default;
};

CommandStates commandStates(const CommandInputs& in);
