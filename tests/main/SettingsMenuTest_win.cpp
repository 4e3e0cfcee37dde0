// The choices in a real window's system menu.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/WindowIds.h"
#include "main/SettingsMenu_win.h"
#include "support/Dialogs_win.h"

namespace {

class SettingsMenu : public ::testing::Test {
protected:
    void SetUp() override {
        Window =
            CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(Window);
        Menu.Add(Window);
    }
    void TearDown() override { DestroyWindow(Window); }

    // Whether each item from First on, Step apart, is checked (found anywhere in the system menu).
    std::vector<bool> Checked(unsigned First, unsigned Count) const {
        std::vector<bool> Result;
        for (unsigned I = 0; I < Count; ++I)
            Result.push_back(GetMenuState(GetSystemMenu(Window, FALSE), First + I * kMenuIdStep, MF_BYCOMMAND) &
                             MF_CHECKED);
        return Result;
    }

    HWND Window = nullptr;
    TSettings Settings;
    TSettingsMenu Menu{Settings};
};

TEST_F(SettingsMenu, RangesAreRadioItemsThatShowAndChangeTheSettings) {
    EXPECT_EQ(Checked(kAzimuthRangeFirstId, 3), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Menu.Pick(kAzimuthRangeFirstId + kMenuIdStep), chAzimuthRange);
    EXPECT_EQ(Settings.AzimuthRange, ar450);
    EXPECT_EQ(Checked(kAzimuthRangeFirstId, 3), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Menu.Pick(kElevationRangeFirstId + kMenuIdStep), chElevationRange);
    EXPECT_EQ(Settings.ElevationRange, er180);
    EXPECT_EQ(Menu.Pick(SC_CLOSE), chNone);

    Settings.AzimuthRange = ar540;  // as read from the registry
    Menu.Update();
    EXPECT_EQ(Checked(kAzimuthRangeFirstId, 3), (std::vector<bool>{false, false, true}));
}

TEST_F(SettingsMenu, AStoredToleranceThatIsNoItemBecomesOne) {
    Settings.Tolerance = 1.5;
    Menu.Update();
    EXPECT_EQ(Checked(kToleranceFirstId, 6), (std::vector<bool>{false, false, false, true, false, false}));
    EXPECT_EQ(Menu.Pick(kToleranceFirstId + 5 * kMenuIdStep), chTolerance);
    EXPECT_EQ(Settings.Tolerance, 5);
    EXPECT_EQ(Menu.Pick(kToleranceFirstId + 3 * kMenuIdStep), chTolerance);
    EXPECT_EQ(Settings.Tolerance, 1.5);
}

TEST_F(SettingsMenu, SwitchesToggleAndNetworkControlComesBackOnItsLastPort) {
    EXPECT_EQ(Menu.Pick(kUnattendedId), chUnattended);
    EXPECT_TRUE(Settings.Unattended);
    EXPECT_EQ(Checked(kUnattendedId, 1), std::vector<bool>{true});
    EXPECT_EQ(Menu.Pick(kNetworkControlId), chNetworkControl);
    EXPECT_EQ(Settings.NetworkPort, kDefaultNetworkPort);

    Settings.NetworkPort = 5000;  // as read from the registry
    Menu.Update();
    Menu.Pick(kNetworkControlId);
    EXPECT_EQ(Settings.NetworkPort, 0);
    EXPECT_EQ(Checked(kNetworkControlId, 1), std::vector<bool>{false});
    Menu.Pick(kNetworkControlId);
    EXPECT_EQ(Settings.NetworkPort, 5000);
}

TEST_F(SettingsMenu, ValuesAreTypedUntilTheyAreValuesAndBetweenPassesIsARadioItem) {
    {
        TDialogAnswer Answer("Azimuth offset", {"five", "-5"});
        EXPECT_EQ(Menu.Pick(kAzimuthOffsetId), chAzimuthOffset);
        EXPECT_EQ(Settings.AzimuthOffset, -5);
        ASSERT_EQ(Answer.Prompts.size(), 2u);
        EXPECT_EQ(Answer.Prompts[1].substr(0, 7), "\"five\" ");  // says what was wrong, and asks again
    }
    {
        TDialogAnswer Answer("Horizon mask", {});
        EXPECT_EQ(Menu.Pick(kHorizonMaskId), chNone);  // cancelled: as it was
        EXPECT_EQ(Answer.Shown, std::vector<std::string>{"0"});
    }
    {
        TDialogAnswer Answer("Horizon mask", {"0:5 90:12"});
        EXPECT_EQ(Menu.Pick(kHorizonMaskId), chHorizonMask);
        EXPECT_EQ(Settings.HorizonMask.Text(), "0:5 90:12");
    }
    EXPECT_EQ(Menu.Pick(kBetweenPassesFirstId + 2 * kMenuIdStep), chBetweenPasses);
    EXPECT_EQ(Settings.BetweenPasses, bpPark);
    EXPECT_EQ(Checked(kBetweenPassesFirstId, 3), (std::vector<bool>{false, false, true}));
    // Nobody watches an unattended station: no report in a dialog then.
    Settings.Unattended = true;
    Menu.Update();
    EXPECT_TRUE(GetMenuState(GetSystemMenu(Window, FALSE), kLastPassId, MF_BYCOMMAND) & MF_GRAYED);
}

}  // namespace
