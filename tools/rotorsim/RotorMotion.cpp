#include "RotorMotion.h"

#include <algorithm>
#include <cmath>

namespace {

TAngles Limited(TAngles Angles) {
    return {std::clamp(Angles.Azimuth, kLowestAngle, kHighestAngle),
            std::clamp(Angles.Elevation, kLowestAngle, kHighestAngle)};
}

// Lands on To exactly, so that the axis is seen standing.
double Step(double From, double To, double MaxStep) {
    if (std::fabs(To - From) <= MaxStep)
        return To;
    return To > From ? From + MaxStep : From - MaxStep;
}

double AxisSeconds(double From, double To, double Rate) {
    return From == To ? 0.0 : std::fabs(To - From) / Rate;
}

}  // namespace

TRotor::TRotor(TAngles Start, TSlewRates Rates) : FPosition(Limited(Start)), FTarget(FPosition), FRates(Rates) {}

bool TRotor::Moving() const {
    return FPosition.Azimuth != FTarget.Azimuth || FPosition.Elevation != FTarget.Elevation;
}

double TRotor::SecondsToTarget() const {
    return std::max(AxisSeconds(FPosition.Azimuth, FTarget.Azimuth, FRates.Azimuth),
                    AxisSeconds(FPosition.Elevation, FTarget.Elevation, FRates.Elevation));
}

void TRotor::SetTarget(TAngles Target) {
    FTarget = Limited(Target);
}

void TRotor::SetRates(TSlewRates Rates) {
    FRates = Rates;
}

void TRotor::Place(TAngles Position) {
    FPosition = Limited(Position);
    FTarget = FPosition;
}

void TRotor::Advance(double Seconds) {
    FPosition.Azimuth = Step(FPosition.Azimuth, FTarget.Azimuth, FRates.Azimuth * Seconds);
    FPosition.Elevation = Step(FPosition.Elevation, FTarget.Elevation, FRates.Elevation * Seconds);
}
