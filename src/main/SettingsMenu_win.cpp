#include "main/SettingsMenu_win.h"

#include <algorithm>
#include <optional>
#include <string>

#include "framework/Exceptions.h"
#include "framework/WindowIds.h"

namespace {

unsigned ItemId(unsigned First, size_t Index) {
    return First + kMenuIdStep * static_cast<unsigned>(Index);
}

template <size_t N>
HMENU RadioMenu(unsigned First, const TRotorRangeInfo (&Ranges)[N]) {
    HMENU Menu = CreatePopupMenu();
    for (size_t I = 0; Menu && I < N; ++I)
        AppendMenuW(Menu, MF_STRING, ItemId(First, I), Ranges[I].Item);
    return Menu;
}

void CheckRadio(HMENU Menu, unsigned First, size_t Count, size_t Chosen) {
    CheckMenuRadioItem(Menu, First, ItemId(First, Count - 1), ItemId(First, Chosen), MF_BYCOMMAND);
}

void Check(HMENU Menu, unsigned Id, bool Checked) {
    CheckMenuItem(Menu, Id, MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED));
}

std::wstring DegreesItem(double Degrees) {
    const std::string Text = DegreesText(Degrees);
    return std::wstring(Text.begin(), Text.end()) + L"\u00B0";
}

std::wstring RateItem(double BitsPerSecond) {
    return std::to_wstring(static_cast<uint32_t>(BitsPerSecond));
}

// A pick among Count radio items from First: its index.
std::optional<size_t> RadioPick(unsigned Command, unsigned First, size_t Count) {
    if (Command < First || Command > ItemId(First, Count - 1) || (Command - First) % kMenuIdStep)
        return std::nullopt;
    return (Command - First) / kMenuIdStep;
}

}  // namespace

void TSettingsMenu::Add(HWND Window) {
    FSystem = GetSystemMenu(Window, FALSE);
    FAzimuth = RadioMenu(kAzimuthRangeFirstId, kAzimuthRanges);
    FElevation = RadioMenu(kElevationRangeFirstId, kElevationRanges);
    FTolerances = {kToleranceFirstId, kTolerances, DegreesItem, CreatePopupMenu()};
    FBaudRates = {kBaudRateFirstId, kBaudRates, RateItem, CreatePopupMenu()};
    if (!FSystem || !FAzimuth || !FElevation || !FTolerances.Menu || !FBaudRates.Menu)
        throw Exception("The system menu cannot be extended");
    // The item texts carry degree signs and dashes that no one 8-bit code page is sure to have.
    AppendMenuW(FSystem, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(FSystem, MF_POPUP, reinterpret_cast<UINT_PTR>(FAzimuth), L"Azimuth range");
    AppendMenuW(FSystem, MF_POPUP, reinterpret_cast<UINT_PTR>(FElevation), L"Elevation range");
    AppendMenuW(FSystem, MF_STRING, kPointAheadId, L"Point ahead");
    AppendMenuW(FSystem, MF_POPUP, reinterpret_cast<UINT_PTR>(FTolerances.Menu), L"Tolerance");
    AppendMenuW(FSystem, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(FSystem, MF_STRING, kUnattendedId, L"Unattended");
    AppendMenuW(FSystem, MF_STRING, kNetworkControlId, L"Network control");
    AppendMenuW(FSystem, MF_POPUP, reinterpret_cast<UINT_PTR>(FBaudRates.Menu), L"Line speed");
    AppendMenuW(FSystem, MF_STRING, kRotorAddressId, L"Rotor on the network...");
    Update();
}

void TSettingsMenu::Show(TValueItems& Items, double Current) {
    if (std::ranges::find(Items.Values, Current) == Items.Values.end()) {
        while (GetMenuItemCount(Items.Menu) > 0)
            DeleteMenu(Items.Menu, 0, MF_BYPOSITION);
        Items.Values.assign(Items.Offered.begin(), Items.Offered.end());
        if (std::ranges::find(Items.Values, Current) == Items.Values.end()) {
            Items.Values.push_back(Current);
            std::ranges::sort(Items.Values);
        }
        for (size_t I = 0; I < Items.Values.size(); ++I)
            AppendMenuW(Items.Menu, MF_STRING, ItemId(Items.FirstId, I), Items.Text(Items.Values[I]).c_str());
    }
    CheckRadio(Items.Menu, Items.FirstId, Items.Values.size(),
               std::ranges::find(Items.Values, Current) - Items.Values.begin());
}

std::optional<double> TSettingsMenu::Picked(const TValueItems& Items, unsigned Command) {
    const auto I = RadioPick(Command, Items.FirstId, Items.Values.size());
    return I ? std::optional(Items.Values[*I]) : std::nullopt;
}

void TSettingsMenu::Update() {
    if (FSettings.NetworkPort)
        FNetworkPort = FSettings.NetworkPort;
    Show(FTolerances, FSettings.Tolerance);
    Show(FBaudRates, FSettings.BaudRate);
    CheckRadio(FAzimuth, kAzimuthRangeFirstId, std::size(kAzimuthRanges), FSettings.AzimuthRange);
    CheckRadio(FElevation, kElevationRangeFirstId, std::size(kElevationRanges), FSettings.ElevationRange);
    Check(FSystem, kPointAheadId, FSettings.PointAhead);
    Check(FSystem, kUnattendedId, FSettings.Unattended);
    Check(FSystem, kNetworkControlId, FSettings.NetworkPort != 0);
    Check(FSystem, kRotorAddressId, !FSettings.RotorAddress.empty());
}

TChoice TSettingsMenu::Pick(unsigned Command) {
    TChoice Changed = chNone;
    if (auto I = RadioPick(Command, kAzimuthRangeFirstId, std::size(kAzimuthRanges))) {
        FSettings.AzimuthRange = static_cast<TAzimuthRange>(*I);
        Changed = chAzimuthRange;
    } else if (auto J = RadioPick(Command, kElevationRangeFirstId, std::size(kElevationRanges))) {
        FSettings.ElevationRange = static_cast<TElevationRange>(*J);
        Changed = chElevationRange;
    } else if (auto Tolerance = Picked(FTolerances, Command)) {
        FSettings.Tolerance = *Tolerance;
        Changed = chTolerance;
    } else if (auto Rate = Picked(FBaudRates, Command)) {
        FSettings.BaudRate = static_cast<uint32_t>(*Rate);
        Changed = chBaudRate;
    } else if (Command == kPointAheadId) {
        FSettings.PointAhead = !FSettings.PointAhead;
        Changed = chPointAhead;
    } else if (Command == kUnattendedId) {
        FSettings.Unattended = !FSettings.Unattended;
        Changed = chUnattended;
    } else if (Command == kNetworkControlId) {
        FSettings.NetworkPort = FSettings.NetworkPort ? 0 : FNetworkPort;
        Changed = chNetworkControl;
    } else if (Command == kRotorAddressId) {
        return chRotorAddress;
    }
    if (Changed != chNone)
        Update();
    return Changed;
}
