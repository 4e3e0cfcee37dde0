#include "main/Pointing.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Simulation.h"
#include "main/SatData.h"

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
    const TPose Pose = *Pointing.SetPoint(Settings, {Target.Azimuth, Target.Elevation, Ms, kCycle, 1});
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
        return *Pointing.SetPoint(Settings, {At.Azimuth, At.Elevation, Ms + LateMs, kCycle, 1});
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
    EXPECT_NEAR(Pass.Pointing.SetPoint(Choices(ar450, er90, true), {90, 20, Pass.Ms, kCycle, 1})->Elevation, 20, 1e-9);
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
    const TPose Pose = *Pointing.SetPoint(Choices(ar450, er180), {90, 85, 5000, kCycle, 1});
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

TEST(Pointing, NoSetPointLooksBelowTheMaskOverTheTopNeither) {
    TSettings Settings = Choices(ar450, er180);
    Settings.HorizonMask = *HorizonMaskOf("0:10 90:12 180:2 270:3");
    TPointing Pointing;
    EXPECT_DOUBLE_EQ(Step(Pointing, Settings, {45, 2}, {40, 5}, 0).Elevation, 11);
    EXPECT_DOUBLE_EQ(Step(Pointing, Settings, {315, -4}, {300, 5}, kCycle).Elevation, 6.5);  // across north
    // Over the top the antenna at azimuth 180 looks north, where the mask is 10.
    TPointing OverTheTop;
    const TPose Pose = Step(OverTheTop, Settings, {0, 5}, {180, 120}, 0);
    EXPECT_NEAR(Pose.Azimuth, 180, 1e-9);
    EXPECT_NEAR(Pose.Elevation, 170, 1e-9);
}

TEST(Pointing, OffsetsShiftWhatTheRotorCountsInsideItsRanges) {
    // The rotor reads 5 at true north: 358 would be 363 for it, beyond its range.
    EXPECT_EQ(ChooseSetPoint(ar360, 358, {std::nullopt, 0, false, 1, 5}), -2);
    EXPECT_EQ(ChooseSetPoint(ar360, 3, {std::nullopt, 0, false, 1, -5}), 363);
    EXPECT_EQ(ChooseSetPoint(ar360, 400, {std::nullopt, 0, false, 1, 5}), 400);  // as the line says, as ever
    EXPECT_EQ(ChooseSetPoint(ar450, 440, {440.0, 0, false, 1, 20}), 80);
    TSettings Settings;
    Settings.AzimuthOffset = -3;
    Settings.ElevationOffset = 2;
    TPointing Pointing;
    const TPose Sky = Step(Pointing, Settings, {100, 89.5}, {97, 91}, 0);
    EXPECT_EQ(Sky.Elevation, 88);  // the rotor counts 90 at most
    EXPECT_EQ(RotorPose(Settings, Sky).Azimuth, 97);
    EXPECT_EQ(RotorPose(Settings, Sky).Elevation, 90);
    EXPECT_EQ(SkyPose(Settings, {97, 90}).Azimuth, 100);
}

// A station flying tracking lines: a line every StepMs, a SET step every
// cycle, the rotor turning towards each set point (by default at 2 and 1
// degrees per second, slower than the chooser assumes before it has seen them).
struct TStation {
    double AzimuthRate = 0.002, ElevationRate = 0.001;  // degrees per ms
    struct TRise {
        double Ms, Off;  // when it crossed the mask, and how far the rotor looked from it
    };

    TSettings Settings;
    TPointing Pointing;
    TPose Rotor{0, 0}, Goal{0, 0};
    double Ms = 0;
    std::vector<std::pair<double, TPose>> Sets;  // when, and where
    std::vector<TRise> Rises;
    std::vector<double> Downs;  // when it went below the mask

    void Fly(const std::vector<std::string>& Lines, double StepMs) {
        TSatData Line;
        bool Up = false;
        for (size_t I = 0; I < Lines.size(); ++I) {
            const double LineMs = static_cast<double>(I) * StepMs;
            for (double Step = std::ceil(Ms / kCycle) * kCycle; I > 0 && Step < LineMs; Step += kCycle)
                SetStep(Line, Step);
            Turn(LineMs);
            ParseSatData(Lines[I], Line);
            Pointing.TargetArrived(Line.Azimuth, Line.Elevation, LineMs);
            const bool NowUp = Line.Elevation >= Settings.HorizonMask.At(Line.Azimuth);
            if (NowUp && !Up && I > 0)
                Rises.push_back({LineMs, SkyAngle(Rotor, {Line.Azimuth, Line.Elevation})});
            if (!NowUp && Up)
                Downs.push_back(LineMs);
            Up = NowUp;
        }
    }
    int SetsBetween(double From, double To) const {
        return static_cast<int>(
            std::ranges::count_if(Sets, [&](const auto& Set) { return Set.first > From && Set.first < To; }));
    }

private:
    void Turn(double ToMs) {
        auto Move = [&](double& At, double To, double Rate) {
            At += std::clamp(To - At, -Rate * (ToMs - Ms), Rate * (ToMs - Ms));
        };
        Move(Rotor.Azimuth, Goal.Azimuth, AzimuthRate);
        Move(Rotor.Elevation, Goal.Elevation, ElevationRate);
        Ms = ToMs;
    }
    void SetStep(const TSatData& Line, double At) {
        Turn(At);
        Pointing.RotorReported(Rotor.Azimuth, Rotor.Elevation, Ms);
        const auto Pose = Pointing.SetPoint(Settings, {Line.Azimuth, Line.Elevation, Ms, kCycle, 1});
        if (!Pose || (!Sets.empty() && Sets.back().second.Azimuth == Pose->Azimuth &&
                      Sets.back().second.Elevation == Pose->Elevation))
            return;
        Pointing.Sent(*Pose);
        Goal = *Pose;
        Sets.push_back({Ms, *Pose});
    }
};

// Lines of the named passes one after another, each from Before seconds below the horizon.
std::vector<std::string> Passes(std::initializer_list<const char*> Names, double StepSeconds, double Before) {
    std::vector<std::string> Lines;
    for (const char* Name : Names)
        for (std::string& Line : NamedPass(Name, StepSeconds, Before))
            Lines.push_back(std::move(Line));
    return Lines;
}

// Before each rise the rotor stands still while the satellite is far from
// rising (parked on the way after a set), and is at the rise point when it
// rises.
void ExpectRestsAndRisesInTime(const TStation& Station, TBetweenPasses Rest) {
    for (const auto& Rise : Station.Rises)
        EXPECT_LT(Rise.Off, 2);
    EXPECT_EQ(Station.SetsBetween(0, Station.Rises[0].Ms - 300000), 0);
    if (Station.Rises.size() < 2)
        return;
    const double Down = Station.Downs[0];
    EXPECT_EQ(Station.SetsBetween(Down, Down + 2000), Rest == bpPark ? 1 : 0);
    EXPECT_EQ(Station.SetsBetween(Down + 2000, Station.Rises[1].Ms - 300000), 0);
    EXPECT_LE(Station.SetsBetween(Down, Station.Rises[1].Ms), 5);
}

TEST(Pointing, BetweenPassesTheRotorRestsAndIsAtTheRisePointBeforeTheRise) {
    for (TBetweenPasses Rest : {bpWait, bpPark}) {
        SCOPED_TRACE(Rest);
        // Low orbits one after another, each from ten minutes below the horizon.
        TStation Station;
        Station.Settings.BetweenPasses = Rest;
        Station.Settings.ParkPosition = {90, 45};
        Station.Fly(Passes({"south", "north"}, 1, 600), 1000);
        ASSERT_EQ(Station.Rises.size(), 2u);
        ExpectRestsAndRisesInTime(Station, Rest);
    }
    // A high orbit from half an hour below the horizon, a line every 10 s,
    // as far as its rise: the rotor has not shown its rates yet.
    TStation High;
    High.Settings.BetweenPasses = bpWait;
    std::vector<std::string> Lines = NamedPass("meo", 10, 1800);
    Lines.resize(210);
    High.Fly(Lines, 10000);
    ASSERT_EQ(High.Rises.size(), 1u);
    ExpectRestsAndRisesInTime(High, bpWait);
}

// Passes flown twenty times faster than life, as a simulator may, by a rotor
// as much faster: before the rotor has shown its rates, the way to the first
// rise point allows for a slow rotor, so it starts with the satellite still
// far below the horizon, where each new estimate of the rise point is rough.
TEST(Pointing, ARisePointEstimatedFarBelowTheHorizonIsNotChasedRoundTheSky) {
    TStation Station;
    Station.Settings.BetweenPasses = bpWait;
    Station.AzimuthRate = 0.12;
    Station.ElevationRate = 0.06;
    Station.Fly(Passes({"north", "south"}, 5, 4800), 250);
    ASSERT_EQ(Station.Rises.size(), 2u);
    for (const auto& Rise : Station.Rises)
        EXPECT_LT(Rise.Off, 2);
    EXPECT_LE(Station.SetsBetween(0, Station.Rises[0].Ms), 3);
    EXPECT_LE(Station.SetsBetween(Station.Downs[0], Station.Rises[1].Ms), 3);
}

TEST(Pointing, ASatelliteSwitchedToBelowTheHorizonIsWaitedForAsWell) {
    TStation Station;
    Station.Settings.BetweenPasses = bpWait;
    std::vector<std::string> Lines = NamedPass("south", 1, 600);
    Lines.resize(850);  // the tracking program switches near the culmination
    for (std::string& Line : NamedPass("north", 1, 600))
        Lines.push_back(std::move(Line));
    Station.Fly(Lines, 1000);
    ASSERT_EQ(Station.Rises.size(), 2u);
    ExpectRestsAndRisesInTime(Station, bpWait);
}

}  // namespace
