#include "main/Pointing.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr double kCycle = 1500;  // ms

TSettings Choices(TAzimuthRange Azimuth, TElevationRange Elevation = er90, bool Ahead = false) {
    TSettings Settings;
    Settings.AzimuthRange = Azimuth;
    Settings.ElevationRange = Elevation;
    Settings.PointAhead = Ahead;
    return Settings;
}

// The rotor reports where it stands, then the SET step chooses and sends.
TPose Step(TPointing& Pointing, const TSettings& Settings, TPose Target, TPose Rotor, double Ms) {
    Pointing.RotorReported(Rotor.Azimuth, Rotor.Elevation, Ms);
    const TPose Pose = Pointing.SetPoint(Settings, {Target.Azimuth, Target.Elevation, Ms, kCycle, 1});
    Pointing.Sent(Pose);
    return Pose;
}

// The rotor follows each set point before the next target comes; the
// elevation climbs by Climb at each step.
std::vector<double> Fly(TAzimuthRange Range, std::vector<double> Azimuths, double Elevation, double Rotor,
                        double Climb = 0) {
    TPointing Pointing;
    std::vector<double> SetPoints;
    double Ms = 0;
    for (double Azimuth : Azimuths) {
        Rotor = Step(Pointing, Choices(Range), {Azimuth, Elevation}, {Rotor, 0}, Ms += kCycle).Azimuth;
        SetPoints.push_back(Rotor);
        Elevation += Climb;
    }
    return SetPoints;
}

TEST(Pointing, TheDefaultChoicesSendTheTargetAsItStands) {
    EXPECT_EQ(ChooseSetPoint(ar360, 5, {355.0, 1, false, 1}), 5);
    EXPECT_EQ(ChooseSetPoint(ar360, 400, {}), 400);
    TPointing Pointing;
    const TPose Pose = Step(Pointing, TSettings{}, {400, -5}, {10, 0}, 0);
    EXPECT_EQ(Pose.Azimuth, 400);
    EXPECT_EQ(Pose.Elevation, 0);
}

TEST(Pointing, APassAcrossNorthGoesOnBeyond360InsteadOfTurningBack) {
    EXPECT_EQ(Fly(ar450, {350, 355, 0, 5, 90}, 20, 345), (std::vector<double>{350, 355, 360, 365, 450}));
    EXPECT_EQ(Fly(ar540, {10, 5, 0, 355, 340}, 20, 15), (std::vector<double>{10, 5, 0, -5, -20}));
    // At the end of the range the turn back cannot be helped.
    EXPECT_EQ(Fly(ar450, {85, 90, 95}, 20, 80), (std::vector<double>{85, 90, 95}));
}

TEST(Pointing, BelowTheHorizonTheRotorMakesRoomForTheWayTheTargetTurns) {
    // Turning down towards north: 420 leaves 420 degrees to go, 60 only 60.
    EXPECT_EQ(Fly(ar450, {62, 60}, -3, 60, 0.5), (std::vector<double>{62, 420}));
    // Once up, or once set, the nearest candidate: the rotor stays where it stands.
    EXPECT_EQ(Fly(ar450, {62, 60}, 3, 60), (std::vector<double>{62, 60}));
    EXPECT_EQ(Fly(ar450, {62, 61, 60}, -1, 60, -1), (std::vector<double>{62, 61, 60}));
    // A rotor far from the pass also goes to the roomier side.
    EXPECT_EQ(ChooseSetPoint(ar450, 10, {200.0, -1, false, 1}), 370);
    EXPECT_EQ(ChooseSetPoint(ar540, 100, {std::nullopt, 1, false, 1}), 100);
}

TEST(Pointing, ASetPointThatFourDigitsCannotHoldIsNoCandidate) {
    // (530 + 360) x 12 = 10680.
    EXPECT_EQ(ChooseSetPoint(ar540, 170, {530.0, 1, false, 12}), 170);
    EXPECT_EQ(ChooseSetPoint(ar540, 170, {530.0, 1, false, 10}), 530);
}

TEST(Pointing, AnglesThatCannotBeADirectionAreNone) {
    EXPECT_TRUE(IsDirection(-360, -90));
    EXPECT_TRUE(IsDirection(720, 90));
    EXPECT_FALSE(IsDirection(10, 1e300));
    EXPECT_FALSE(IsDirection(10, 90.5));
    EXPECT_FALSE(IsDirection(1000, 10));
    EXPECT_FALSE(IsDirection(-400, 10));
    EXPECT_FALSE(IsDirection(NAN, 10));
    EXPECT_FALSE(IsDirection(10, INFINITY));
}

TEST(Pointing, AChosenRangeHoldsEverySetPoint) {
    for (TAzimuthRange Range : {ar450, ar540})
        for (double Target : {-400.0, -359.5, -300.0, 0.0, 359.9, 700.0, 719.9, 1000.0})
            for (double Rotor : {-180.0, 0.0, 355.0, 540.0}) {
                const double SetPoint = ChooseSetPoint(Range, Target, {Rotor, 1, false, 1});
                EXPECT_GE(SetPoint, kAzimuthRanges[Range].Lowest) << Target << " from " << Rotor;
                EXPECT_LE(SetPoint, kAzimuthRanges[Range].Highest) << Target << " from " << Rotor;
            }
}

TEST(Pointing, ATargetHoveringAtNorthKeepsTheRotorThereWithRoomOnBothSides) {
    // The rotor stands at 0 and is on its way to the first set point while
    // the target flickers across north: no set point turns it back.
    TPointing Pointing;
    std::vector<double> SetPoints;
    const double Rotor[] = {0, 120, 240, 359.5, 360.5, 359.5};
    for (int I = 0; I < 6; ++I)
        SetPoints.push_back(
            Step(Pointing, Choices(ar450), {I % 2 ? 0.5 : 359.5, 10}, {Rotor[I], 10}, I * kCycle).Azimuth);
    EXPECT_EQ(SetPoints, (std::vector<double>{359.5, 360.5, 359.5, 360.5, 359.5, 360.5}));
}

// A target climbing along the meridian from the south at 0.5 degrees per
// second, a line every 250 ms; the rotor follows it.
struct TMeridianPass {
    TPointing Pointing;
    double Ms = 0;
    TPose Line(double Elevation) const { return Elevation <= 90 ? TPose{180, Elevation} : TPose{0, 180 - Elevation}; }
    void Lines(double From, double To) {
        for (double Elevation = From; Elevation <= To + 1e-9; Elevation += 0.125) {
            const TPose At = Line(Elevation);
            Pointing.TargetArrived(At.Azimuth, At.Elevation, Ms += 250);
        }
    }
    TPose SetPoint(const TSettings& Settings, double Elevation, double LateMs = 0) {
        const TPose At = Line(Elevation);
        return Pointing.SetPoint(Settings, {At.Azimuth, At.Elevation, Ms + LateMs, kCycle, 1});
    }
};

TEST(Pointing, PointAheadAimsWhereTheTargetWillBeWhileTheRotorHoldsIt) {
    TMeridianPass Pass;
    Pass.Lines(40, 45);
    Pass.Pointing.RotorReported(180, 45, Pass.Ms);
    // The rotor holds the set point from about 0.2 s to 1.7 s from now.
    const TPose Ahead = Pass.SetPoint(Choices(ar450, er90, true), 45);
    EXPECT_EQ(Ahead.Azimuth, 180);
    EXPECT_NEAR(Ahead.Elevation, 45 + 0.5 * (0.217 + 0.75), 0.02);
    EXPECT_EQ(Pass.SetPoint(Choices(ar450), 45).Elevation, 45);

    // A jump (another satellite, a restart of the tracking program) is not
    // extrapolated, nor is a track whose lines have stopped.
    Pass.Pointing.TargetArrived(90, 20, Pass.Ms += 250);
    EXPECT_NEAR(Pass.Pointing.SetPoint(Choices(ar450, er90, true), {90, 20, Pass.Ms, kCycle, 1}).Elevation, 20, 1e-9);
    Pass.Lines(45.25, 50);
    EXPECT_NEAR(Pass.SetPoint(Choices(ar450, er90, true), 50, 10000).Elevation, 50, 1e-9);
}

TEST(Pointing, OverTheTopAPassAcrossTheZenithKeepsItsAzimuth) {
    TMeridianPass Pass;
    TPose Rotor{180, 80};
    for (double Elevation = 80; Elevation <= 100; Elevation += 0.375) {
        Pass.Lines(Elevation - 0.25, Elevation);
        Pass.Pointing.RotorReported(Rotor.Azimuth, Rotor.Elevation, Pass.Ms);
        Rotor = Pass.SetPoint(Choices(ar450, er180, true), Elevation);
        Pass.Pointing.Sent(Rotor);
        EXPECT_NEAR(Rotor.Azimuth, 180, 1e-6) << Elevation;
        EXPECT_NEAR(Rotor.Elevation, Elevation + 0.5, 0.1);  // aimed ahead, beyond 90 over the top
    }
    // With 0-90 the azimuth turns half a turn at the zenith.
    TMeridianPass Flat;
    Flat.Lines(89.5, 90.5);
    Flat.Pointing.RotorReported(180, 89, Flat.Ms);
    EXPECT_NEAR(Flat.SetPoint(Choices(ar450), 90.5).Azimuth, 0, 1e-6);
}

TEST(Pointing, OverTheTopALowPassIsFollowedAsBefore) {
    TPointing Pointing;
    const TPose Pose = Step(Pointing, Choices(ar450, er180), {200, 20}, {190, 15}, 0);
    EXPECT_NEAR(Pose.Azimuth, 200, 1e-9);
    EXPECT_NEAR(Pose.Elevation, 20, 1e-9);
}

TEST(Pointing, HighUpTheAzimuthMovesNoFasterThanTheRotorTurns) {
    TPointing Pointing;
    // The rotor showed 6 degrees per second in azimuth: 9 degrees a cycle.
    Pointing.RotorReported(150, 80, 0);
    Pointing.RotorReported(180, 80, 5000);
    Pointing.Sent({180, 80});
    // 5 degrees east of the zenith the target's azimuth is 90 degrees away.
    const TPose Pose = Pointing.SetPoint(Choices(ar450, er180), {90, 85, 5000, kCycle, 1});
    EXPECT_NEAR(Pose.Azimuth, 171, 1e-9);
    // The elevation looks as close as that azimuth allows.
    EXPECT_LT(SkyAngle(Pose, {90, 85}), SkyAngle({171, 85}, {90, 85}) - 1);
}

TEST(Pointing, TheToleranceIsAnAngleOnTheSky) {
    TSettings Settings;
    Settings.Tolerance = 1;
    TPointing Pointing;
    EXPECT_TRUE(Pointing.WorthSending(Settings, {180, 85}));
    Pointing.Sent({180, 85});
    EXPECT_FALSE(Pointing.WorthSending(Settings, {170, 85.5}));  // 10 degrees of azimuth near the zenith
    EXPECT_FALSE(Pointing.WorthSending(Settings, {181.5, 85}));
    EXPECT_TRUE(Pointing.WorthSending(Settings, {180, 86.1}));
    Pointing.Restart();
    EXPECT_TRUE(Pointing.WorthSending(Settings, {180, 85.1}));
}

}  // namespace
