#include "main/AzimuthRange.h"

#include <cmath>
#include <vector>

#include "main/RotorFrames.h"

namespace {

// A rotor farther than this from every candidate is still on its way to the
// pass; the room ahead then matters more than the way back.
constexpr double kNear = 90;

bool Fits(double Angle, const TRotorRangeInfo& Range, int Divider) {
    const double Value = (Angle + 360.0) * Divider;
    return Angle >= Range.Lowest && Angle <= Range.Highest && Value >= 0 && Value <= kMaxSetPoint;
}

double RoomAhead(double Angle, int Direction, const TRotorRangeInfo& Range) {
    return Direction > 0 ? Range.Highest - Angle : Angle - Range.Lowest;
}

}  // namespace

double ChooseSetPoint(TAzimuthRange Range, double Target, const TSetPointHints& Hints) {
    if (Range == ar360)
        return Target;
    const TRotorRangeInfo& Info = kAzimuthRanges[Range];
    std::vector<double> Candidates;
    for (double Angle : {Target - 360, Target, Target + 360})
        if (Fits(Angle, Info, Hints.Divider))
            Candidates.push_back(Angle);
    if (Candidates.empty())
        return Target;
    auto Best = [&](auto Score) {
        double Chosen = Candidates.front();
        for (double Angle : Candidates)
            if (Score(Angle) < Score(Chosen))
                Chosen = Angle;
        return Chosen;
    };
    auto Roomiest = [&] { return Best([&](double Angle) { return -RoomAhead(Angle, Hints.Direction, Info); }); };
    if (!Hints.RotorAzimuth)
        return Hints.Direction != 0 ? Roomiest() : Best([&](double Angle) { return std::fabs(Angle - Target); });
    const double Rotor = *Hints.RotorAzimuth;
    const double Nearest = Best([&](double Angle) { return std::fabs(Angle - Rotor); });
    if (Hints.Direction != 0 && (Hints.BeforeRise || std::fabs(Nearest - Rotor) > kNear))
        return Roomiest();
    return Nearest;
}

double TAzimuthFollower::SetPoint(TAzimuthRange Range,
                                  double Azimuth,
                                  double Elevation,
                                  std::optional<double> RotorAzimuth,
                                  int Divider) {
    if (FLastTarget && *FLastTarget != Azimuth) {
        // The shorter way round: 359 to 1 turns up.
        const double Step = std::remainder(Azimuth - *FLastTarget, 360.0);
        FDirection = Step > 0 ? 1 : Step < 0 ? -1 : FDirection;
    }
    FLastTarget = Azimuth;
    // After it has set, the target is left where it went down: no turn for a pass that may never come.
    if (FLastElevation && *FLastElevation != Elevation)
        FClimbing = Elevation > *FLastElevation;
    FLastElevation = Elevation;
    return ChooseSetPoint(Range, Azimuth, {RotorAzimuth, FDirection, Elevation < 0 && FClimbing, Divider});
}
