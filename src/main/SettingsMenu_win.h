#pragma once
// The stored choices in the main window's system menu, so that the window's
// own layout stays as it is: the ranges, the tolerance, the line speed and
// what happens between passes as submenus of radio items, the switches as
// check items, the offsets and the mask as items that ask for their values
// in a small dialog. A pick changes the settings at once, except the
// rotor's address, which the window asks for. Main thread only.
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
    chAzimuthOffset,
    chElevationOffset,
    chHorizonMask,
    chBetweenPasses,
    chLastPass,  // nothing changed: the last pass's report is wanted
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
    // A system command: what it changed, chNone when it is not one of ours
    // (or a dialog was cancelled). A value to type is asked for in a dialog
    // until it is one or the dialog is cancelled.
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
    // Asks for a value until Read takes the text typed: false on Cancel.
    template <typename TRead>
    bool Ask(const char* Caption, const char* Prompt, std::string Text, TRead Read);
    void ShowValue(unsigned Id, const std::wstring& Name, const std::wstring& Value);

    TSettings& FSettings;
    HWND FWindow = nullptr;                          // the dialogs' owner, not owned
    HMENU FSystem = nullptr;                         // the window's, not owned
    HMENU FAzimuth = nullptr, FElevation = nullptr;  // owned by the system menu
    HMENU FBetweenPasses = nullptr;                  // owned by the system menu
    TValueItems FTolerances, FBaudRates;
    // Switching network control on takes the port it had last (of the stored one).
    uint16_t FNetworkPort = kDefaultNetworkPort;
};
