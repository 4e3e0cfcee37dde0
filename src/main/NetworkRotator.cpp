#include "main/NetworkRotator.h"

#include <algorithm>

#include "main/RotorLimits.h"

namespace {

TSatData NetworkTarget(const char* Name, double Azimuth, double Elevation) {
    TSatData Target;
    Target.SatName = Name;
    Target.Azimuth = Azimuth;
    Target.Elevation = Elevation;
    return Target;
}

}  // namespace

std::optional<TRotatorPosition> TNetworkRotator::Position() {
    if (!FPort.Connected() || !FRotor.RotorState)
        return std::nullopt;
    // As the rotor counts: a set point beyond 360 reads back as itself. A
    // pose over the top looks the other way round: the client set a
    // direction and asks for one.
    const double Azimuth = FRotor.RotorState->RotorAzimuth, Elevation = FRotor.RotorState->Elevation;
    if (Elevation > 90)
        return TRotatorPosition{Azimuth + (Azimuth >= 180 ? -180 : 180), 180 - Elevation};
    return TRotatorPosition{Azimuth, Elevation};
}

TRotatorStatus TNetworkRotator::SetPosition(const TRotatorPosition& Target) {
    FTargetArrived(NetworkTarget(kNetworkTargetName, Target.Azimuth, Target.Elevation), false);
    return rsOk;
}

TRotatorStatus TNetworkRotator::Stop() {
    // No target: no SET follows until the next one.
    FTargetArrived(TSatData(), false);
    if (!FPort.Connected())
        return rsIo;
    FRotor.RequestStop();
    return rsOk;
}

TRotatorStatus TNetworkRotator::Park() {
    const TSkyPosition& Park = FSettings.ParkPosition;
    if (!ParkPossible(FSettings)) {
        FReport("park refused: the park position " + DegreesText(Park.Azimuth) + " " + DegreesText(Park.Elevation) +
                " is no pose the rotor can take in its ranges");
        return rsConfiguration;
    }
    FTargetArrived(NetworkTarget(kParkTargetName, Park.Azimuth, Park.Elevation), true);
    return rsOk;
}

TRotatorLimits TNetworkRotator::Limits() {
    const std::optional<TRotatorLimits>& Rotor = FRotor.RotorLimits;
    if (!Rotor) {
        const TRotorRangeInfo& Azimuth = kAzimuthRanges[FSettings.AzimuthRange];
        return {Azimuth.Lowest, Azimuth.Highest, 0, 90};
    }
    // A rotor that tells its limits: what it can look at, as it would answer itself.
    const TRotorRangeInfo& Azimuth = kAzimuthRanges[WithinLimits(FSettings, *Rotor).AzimuthRange];
    return {Azimuth.Lowest, Azimuth.Highest, std::max(0.0, Rotor->MinElevation), std::min(90.0, Rotor->MaxElevation)};
}
