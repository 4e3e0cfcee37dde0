#pragma once
// How far the rotator may turn, and which of the angles that point at a
// target azimuth to send it to. A rotor that turns beyond a full circle can
// follow a pass across north without running a whole turn back: the target
// 5 degrees becomes the set point 365 when the rotor stands at 355.
#include <optional>

#include "main/RotorRanges.h"

// What the choice is judged by.
struct TSetPointHints {
    std::optional<double> RotorAzimuth;  // from the last reply, as the rotor counts (may be < 0 or >= 360)
    int Direction = 0;                   // the target's azimuth turns up (+1), down (-1), or unknown (0)
    bool BeforeRise = false;             // below the horizon and climbing: time to get ready for the pass
    int Divider = 1;                     // a set point must fit the frame's four digits
};

// The set point for target azimuth Target: with ar360 Target itself;
// otherwise the one of Target - 360, Target, Target + 360 inside the range
// that serves the pass best: nearest the rotor while the target is up (or
// has set), and the one with the most room ahead in the target's direction
// before it rises or while the rotor is far from every candidate. Target
// itself when no candidate is inside.
double ChooseSetPoint(TAzimuthRange Range, double Target, const TSetPointHints& Hints);

// Follows the target from one SET step to the next to know which way it
// turns and whether it climbs. Main thread only.
class TAzimuthFollower {
public:
    double SetPoint(TAzimuthRange Range,
                    double Azimuth,
                    double Elevation,
                    std::optional<double> RotorAzimuth,
                    int Divider);

private:
    std::optional<double> FLastTarget, FLastElevation;
    int FDirection = 0;
    bool FClimbing = true;
};
