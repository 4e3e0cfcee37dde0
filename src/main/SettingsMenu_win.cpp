#include "main/SettingsMenu_win.h"

#include <algorithm>
#include <optional>
#include <string>

#include "framework/Exceptions.h"
#include "framework/InputQuery_win.h"
#include "framework/WindowIds.h"

namespace {

unsigned ItemId(unsigned First, size_t Index) {
    return First + kMenuIdStep * static_cast<unsigned>(Index);
}

template <typename TInfo, size_t N>
HMENU RadioMenu(unsigned First, const TInfo (&Choices)[N]) {
    HMENU Menu = CreatePopupMenu();
    for (size_t I = 0; Menu && I < N; ++I)
        AppendMenuW(Menu, MF_STRING, ItemId(First, I), Choices[I].Item);
    return Menu;
}

void CheckRadio(HMENU Menu, unsigned First, size_t Count, size_t Chosen) {
    CheckMenuRadioItem(Menu, First, ItemId(First, Count - 1), ItemId(First, Chosen), MF_BYCOMMAND);
}

void Check(HMENU Menu, unsigned Id, bool Checked) {
    CheckMenuItem(Menu, Id, MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED));
}

std::wstring Wide(const std::string& Ascii) {
    return std::wstring(Ascii.begin(), Ascii.end());
}

std::wstring DegreesItem(double Degrees) {
    return Wide(DegreesText(Degrees)) + L"\u00B0";
}

std::wstring MaskItem(const THorizonMask& Mask) {
    const std::string Text = Mask.Text();
    return Text.find(':') == std::string::npos ? Wide(Text) + L"\u00B0" : L"points";
}

// A value read from a typed text goes into Setting; false when there is none.
template <typename T, typename TSetting>
bool Take(const std::optional<T>& Value, TSetting& Setting) {
    if (Value)
        Setting = *Value;
    return Value.has_value();
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
    FBetweenPasses = RadioMenu(kBetweenPassesFirstId, kBetweenPasses);
    if (!FSystem || !FAzimuth || !FElevation || !FTolerances.Menu || !FBaudRates.Menu || !FBetweenPasses)
        throw Exception("The system menu cannot be extended");
    FWindow = Window;
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
    AppendMenuW(FSystem, MF_SEPARATOR, 0, nullptr);
    for (unsigned Id : {kAzimuthOffsetId, kElevationOffsetId, kHorizonMaskId})
        AppendMenuW(FSystem, MF_STRING, Id, L"");  // named with their values by Update
    AppendMenuW(FSystem, MF_POPUP, reinterpret_cast<UINT_PTR>(FBetweenPasses), L"Between passes");
    AppendMenuW(FSystem, MF_STRING, kLastPassId, L"Last pass");
    Update();
}

void TSettingsMenu::ShowValue(unsigned Id, const std::wstring& Name, const std::wstring& Value) {
    ModifyMenuW(FSystem, Id, MF_BYCOMMAND | MF_STRING, Id, (Name + L": " + Value + L"...").c_str());
}

template <typename TRead>
bool TSettingsMenu::Ask(const char* Caption, const char* Prompt, std::string Text, TRead Read) {
    std::string Asked = Prompt;
    while (InputQuery(FWindow, Caption, Asked, Text)) {
        if (Read(Text))
            return true;
        Asked = "\"" + Text + "\" is not such a value. " + Prompt;
    }
    return false;
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
    ShowValue(kAzimuthOffsetId, L"Azimuth offset", DegreesItem(FSettings.AzimuthOffset));
    ShowValue(kElevationOffsetId, L"Elevation offset", DegreesItem(FSettings.ElevationOffset));
    ShowValue(kHorizonMaskId, L"Horizon mask", MaskItem(FSettings.HorizonMask));
    CheckRadio(FBetweenPasses, kBetweenPassesFirstId, std::size(kBetweenPasses), FSettings.BetweenPasses);
    // A report in a dialog is for somebody watching.
    EnableMenuItem(FSystem, kLastPassId, MF_BYCOMMAND | (FSettings.Unattended ? MF_GRAYED : MF_ENABLED));
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
    } else if (auto Rest = RadioPick(Command, kBetweenPassesFirstId, std::size(kBetweenPasses))) {
        FSettings.BetweenPasses = static_cast<TBetweenPasses>(*Rest);
        Changed = chBetweenPasses;
    } else if (Command == kAzimuthOffsetId) {
        if (Ask("Azimuth offset",
                "Degrees the rotor reads with the antenna at true north:", DegreesText(FSettings.AzimuthOffset),
                [this](const std::string& Text) { return Take(AzimuthOffsetOf(Text), FSettings.AzimuthOffset); }))
            Changed = chAzimuthOffset;
    } else if (Command == kElevationOffsetId) {
        if (Ask("Elevation offset",
                "Degrees the rotor reads with the antenna at the horizon:", DegreesText(FSettings.ElevationOffset),
                [this](const std::string& Text) { return Take(ElevationOffsetOf(Text), FSettings.ElevationOffset); }))
            Changed = chElevationOffset;
    } else if (Command == kHorizonMaskId) {
        if (Ask("Horizon mask",
                "Lowest elevation, or AZ:EL points (\"0:5 90:12 180:5 270:3\"):", FSettings.HorizonMask.Text(),
                [this](const std::string& Text) { return Take(HorizonMaskOf(Text), FSettings.HorizonMask); }))
            Changed = chHorizonMask;
    } else if (Command == kLastPassId) {
        return chLastPass;
    }
    if (Changed != chNone)
        Update();
    return Changed;
}
