#include "app/command_states.h"

CommandStates commandStates(const CommandInputs& in) {
    const bool locked = in.allScanLocked || in.selectScanLocked;
    CommandStates s;
    s.allScanAndAdd = !locked;
    s.rowButtons = !locked && in.rowButtonsOn;
    s.menus = !locked;
    // Kept through an all scan as they were (the menus that hold them are off meanwhile); off
    // while the select scan's worker runs, so no second probe and no deletion start.
    s.rowItems = in.itemSelected && !in.selectScanLocked;
    return s;
}
