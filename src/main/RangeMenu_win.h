#pragma once
// The "Azimuth range" choice: a submenu of radio items in the main window's
// system menu, so that the window's own layout stays as it is. Main thread
// only.
#include <windows.h>

#include "main/AzimuthRange.h"

class TRangeMenu {
public:
    // Range is the setting the menu shows and changes; not owned.
    explicit TRangeMenu(TAzimuthRange& Range) : FRange(Range) {}

    // Appends the submenu to Window's system menu, which owns it from then
    // on; the current range is checked. Raises Exception when the menu
    // cannot be made.
    void Add(HWND Window);
    // Checks the item of the current range.
    void Update();
    // A system command: true, and the range changed, when it is one of ours.
    bool Pick(unsigned Command);

private:
    TAzimuthRange& FRange;
    HMENU FMenu = nullptr;  // owned by the window's system menu
};
