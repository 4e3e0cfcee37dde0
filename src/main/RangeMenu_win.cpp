#include "main/RangeMenu_win.h"

#include "framework/Exceptions.h"
#include "framework/WindowIds.h"

namespace {

constexpr int kRangeCount = static_cast<int>(std::size(kAzimuthRanges));

unsigned ItemId(int Index) {
    return kAzimuthRangeFirstId + kAzimuthRangeIdStep * static_cast<unsigned>(Index);
}

}  // namespace

void TRangeMenu::Add(HWND Window) {
    HMENU System = GetSystemMenu(Window, FALSE);
    if (!System || !(FMenu = CreatePopupMenu()))
        throw Exception("The system menu cannot be extended");
    // The item texts carry a degree sign and dashes that no one 8-bit code page is sure to have.
    for (int I = 0; I < kRangeCount; ++I)
        AppendMenuW(FMenu, MF_STRING, ItemId(I), kAzimuthRanges[I].Item);
    AppendMenuW(System, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(System, MF_POPUP, reinterpret_cast<UINT_PTR>(FMenu), L"Azimuth range");
    Update();
}

void TRangeMenu::Update() {
    CheckMenuRadioItem(FMenu, ItemId(0), ItemId(kRangeCount - 1), ItemId(FRange), MF_BYCOMMAND);
}

bool TRangeMenu::Pick(unsigned Command) {
    for (int I = 0; I < kRangeCount; ++I)
        if (Command == ItemId(I)) {
            FRange = static_cast<TAzimuthRange>(I);
            Update();
            return true;
        }
    return false;
}
