#pragma once
// The stored choices in the main window's system menu, so that the window's
// own layout stays as it is: the ranges and the tolerance as submenus of
// radio items, the switches as check items. A pick changes the settings at
// once, except the rotor's address, which the window asks for. Main thread
// only.
#include <windows.h>

#include <optional>
#include <span>
#include <string>
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
    chBaudRate,
};

// The tolerances and line speeds the menu offers; a stored one that is
// none of them is offered too.
inline constexpr double kTolerances[] = {0, 0.5, 1, 2, 5};
inline constexpr double kBaudRates[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 460800};

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
    // A submenu of radio items for the values offered and, when it is none
    // of them, the current one.
    struct TValueItems {
        unsigned FirstId;
        std::span<const double> Offered;
        std::wstring (*Text)(double Value);
        HMENU Menu = nullptr;        // owned by the system menu
        std::vector<double> Values;  // in the order of their items
    };
    static void Show(TValueItems& Items, double Current);
    static std::optional<double> Picked(const TValueItems& Items, unsigned Command);

    TSettings& FSettings;
    HMENU FSystem = nullptr;                         // the window's, not owned
    HMENU FAzimuth = nullptr, FElevation = nullptr;  // owned by the system menu
    TValueItems FTolerances, FBaudRates;
    // Switching network control on takes the port it had last (of the stored one).
    uint16_t FNetworkPort = kDefaultNetworkPort;
};
