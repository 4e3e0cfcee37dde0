// The azimuth range items in a real window's system menu.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/WindowIds.h"
#include "main/RangeMenu_win.h"

namespace {

std::vector<bool> Checked(HWND Window) {
    std::vector<bool> Result;
    for (unsigned I = 0; I < 3; ++I)
        Result.push_back(
            GetMenuState(GetSystemMenu(Window, FALSE), kAzimuthRangeFirstId + I * kAzimuthRangeIdStep, MF_BYCOMMAND) &
            MF_CHECKED);
    return Result;
}

TEST(RangeMenu, ShowsAndPicksTheRangeAsRadioItems) {
    HWND Window =
        CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(Window);
    TAzimuthRange Range = ar360;
    TRangeMenu Menu(Range);
    Menu.Add(Window);
    EXPECT_EQ(Checked(Window), (std::vector<bool>{true, false, false}));

    EXPECT_TRUE(Menu.Pick(kAzimuthRangeFirstId + kAzimuthRangeIdStep));
    EXPECT_EQ(Range, ar450);
    EXPECT_EQ(Checked(Window), (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(Menu.Pick(SC_CLOSE));
    EXPECT_EQ(Range, ar450);

    Range = ar540;  // as read from the registry
    Menu.Update();
    EXPECT_EQ(Checked(Window), (std::vector<bool>{false, false, true}));
    DestroyWindow(Window);
}

}  // namespace
