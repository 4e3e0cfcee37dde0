#include "main/AzimuthRange.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(AzimuthRange, TheDefaultRangeSendsTheTargetAsItStands) {
    EXPECT_EQ(ChooseSetPoint(ar360, 5, {355.0, 1, false, 1}), 5);
    EXPECT_EQ(ChooseSetPoint(ar360, 400, {}), 400);
}

// The rotor follows each set point before the next target comes; the
// elevation climbs by Climb at each step.
std::vector<double> Fly(TAzimuthRange Range,
                        std::vector<double> Azimuths,
                        double Elevation,
                        double Rotor,
                        double Climb = 0) {
    TAzimuthFollower Follower;
    std::vector<double> SetPoints;
    for (double Azimuth : Azimuths) {
        Rotor = Follower.SetPoint(Range, Azimuth, Elevation, Rotor, 1);
        SetPoints.push_back(Rotor);
        Elevation += Climb;
    }
    return SetPoints;
}

TEST(AzimuthRange, APassAcrossNorthGoesOnBeyond360InsteadOfTurningBack) {
    EXPECT_EQ(Fly(ar450, {350, 355, 0, 5, 90}, 20, 345), (std::vector<double>{350, 355, 360, 365, 450}));
    EXPECT_EQ(Fly(ar540, {10, 5, 0, 355, 340}, 20, 15), (std::vector<double>{10, 5, 0, -5, -20}));
    // At the end of the range the turn back cannot be helped.
    EXPECT_EQ(Fly(ar450, {85, 90, 95}, 20, 80), (std::vector<double>{85, 90, 95}));
}

TEST(AzimuthRange, BelowTheHorizonTheRotorMakesRoomForTheWayTheTargetTurns) {
    // Turning down towards north: 420 leaves 420 degrees to go, 60 only 60.
    EXPECT_EQ(Fly(ar450, {62, 60}, -3, 60, 0.5), (std::vector<double>{62, 420}));
    // Once up, or once set, the nearest candidate: the rotor stays where it stands.
    EXPECT_EQ(Fly(ar450, {62, 60}, 3, 60), (std::vector<double>{62, 60}));
    EXPECT_EQ(Fly(ar450, {62, 61, 60}, -1, 60, -1), (std::vector<double>{62, 61, 60}));
    // A rotor far from the pass also goes to the roomier side.
    EXPECT_EQ(ChooseSetPoint(ar450, 10, {200.0, -1, false, 1}), 370);
    EXPECT_EQ(ChooseSetPoint(ar540, 100, {std::nullopt, 1, false, 1}), 100);
}

TEST(AzimuthRange, ASetPointThatFourDigitsCannotHoldIsNoCandidate) {
    // (530 + 360) x 12 = 10680.
    EXPECT_EQ(ChooseSetPoint(ar540, 170, {530.0, 1, false, 12}), 170);
    EXPECT_EQ(ChooseSetPoint(ar540, 170, {530.0, 1, false, 10}), 530);
}

}  // namespace
