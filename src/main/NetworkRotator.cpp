#include "main/NetworkRotator.h"

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
    // As the rotor counts: a set point beyond 360 reads back as itself.
    return TRotatorPosition{FRotor.RotorState->RotorAzimuth, FRotor.RotorState->Elevation};
}

TRotatorStatus TNetworkRotator::SetPosition(const TRotatorPosition& Target) {
    FTargetArrived(NetworkTarget(kNetworkTargetName, Target.Azimuth, Target.Elevation));
    return rsOk;
}

TRotatorStatus TNetworkRotator::Stop() {
    // No target: no SET follows until the next one.
    FTargetArrived(TSatData());
    if (!FPort.Connected())
        return rsIo;
    FRotor.RequestStop();
    return rsOk;
}

TRotatorStatus TNetworkRotator::Park() {
    FTargetArrived(NetworkTarget(kParkTargetName, FSettings.ParkPosition.Azimuth, FSettings.ParkPosition.Elevation));
    return rsOk;
}

TRotatorLimits TNetworkRotator::Limits() {
    const TRotorRangeInfo& Azimuth = kAzimuthRanges[FSettings.AzimuthRange];
    return {Azimuth.Lowest, Azimuth.Highest, 0, 90};
}
