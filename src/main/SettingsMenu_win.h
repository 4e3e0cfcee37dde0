#pragma once
// The stored choices in the main window's system menu, so that the window's
// own layout stays as it is: the ranges and the tolerance as submenus of
// radio items, the switches as check items. A pick changes the settings at
// once, except the rotor's address, which the window asks for. Main thread
// only.
#include <windows.h>

#include <vector>

#include "main/Settings.h"

// What a pick changed.
enum TChoice {
    chNone,
    chAzimuthRange,
    chElevationRange,
    chPointAhead,
    chTolerance,
    chUnattended,
    chNetworkControl,
    chRotorAddress,  // asked for: the window asks for the address, the menu changes nothing
};

// The tolerances the menu offers; a stored one that is none of them is offered too.
inline constexpr double kTolerances[] = {0, 0.5, 1, 2, 5};

class TSettingsMenu {
public:
    // Settings is what the menu shows and changes; not owned.
    explicit TSettingsMenu(TSettings& Settings) : FSettings(Settings) {}

    // Appends the items to Window's system menu, which owns them from then
    // on, each showing the current settings. Raises Exception when the menu
    // cannot be made.
    void Add(HWND Window);
    // Shows the current settings (after they were read).
    void Update();
    // A system command: what it changed, chNone when it is not one of ours.
    TChoice Pick(unsigned Command);

private:
    // The tolerance items: kTolerances, and the current one when it is none of them.
    void FillTolerances();

    TSettings& FSettings;
    HMENU FSystem = nullptr;                                               // the window's, not owned
    HMENU FAzimuth = nullptr, FElevation = nullptr, FTolerance = nullptr;  // owned by the system menu
    std::vector<double> FTolerances;                                       // in the order of their items
    // Switching network control on takes the port it had last (of the stored one).
    uint16_t FNetworkPort = kDefaultNetworkPort;
};
