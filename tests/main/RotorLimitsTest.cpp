#include "main/RotorLimits.h"

#include <gtest/gtest.h>

namespace {

TEST(RotorLimits, RangesNarrowToWhatTheRotorTurns) {
    TSettings Wide;
    Wide.AzimuthRange = ar540;
    Wide.ElevationRange = er180;
    const TSettings Dummy = WithinLimits(Wide, {-180, 450, 0, 90});
    EXPECT_EQ(Dummy.AzimuthRange, ar450);
    EXPECT_EQ(Dummy.ElevationRange, er90);
    const TSettings OverTheTop = WithinLimits(Wide, {0, 360, 0, 180});
    EXPECT_EQ(OverTheTop.AzimuthRange, ar360);
    EXPECT_EQ(OverTheTop.ElevationRange, er180);
    EXPECT_EQ(WithinLimits(TSettings(), {-180, 540, 0, 180}).AzimuthRange, ar360);  // never wider than chosen
}

TEST(RotorLimits, ASetPointIsHeldInsideTheSameWayOrTheNearestLimit) {
    struct TCase {
        TPose Pose;
        TRotatorLimits Limits;
        TPose Held;
    };
    const TCase Cases[] = {
        {{200, 30}, {-180, 180, 0, 90}, {-160, 30}},  // a rotor with its stop in the north
        {{-10, 30}, {0, 360, 0, 90}, {350, 30}},
        {{100, 95}, {0, 360, 0, 90}, {100, 90}},
        {{358, 40}, {0, 355, 0, 0}, {355, 0}},  // azimuth only
    };
    for (const TCase& Case : Cases) {
        const TPose Held = HeldWithin(Case.Pose, Case.Limits);
        EXPECT_EQ(Held.Azimuth, Case.Held.Azimuth) << Case.Pose.Azimuth;
        EXPECT_EQ(Held.Elevation, Case.Held.Elevation) << Case.Pose.Elevation;
    }
}

}  // namespace
