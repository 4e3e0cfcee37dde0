#include "main/RotorLimits.h"

#include <algorithm>

namespace {

bool Holds(const TRotorRangeInfo& Range, double Lowest, double Highest) {
    return Range.Lowest >= Lowest && Range.Highest <= Highest;
}

}  // namespace

TSettings WithinLimits(const TSettings& Settings, const TRotatorLimits& Limits) {
    TSettings Held = Settings;
    // Each range holds the ones before it: the narrower ones are tried in turn.
    while (Held.AzimuthRange != ar360 &&
           !Holds(kAzimuthRanges[Held.AzimuthRange], Limits.MinAzimuth, Limits.MaxAzimuth))
        Held.AzimuthRange = static_cast<TAzimuthRange>(Held.AzimuthRange - 1);
    if (Held.ElevationRange == er180 && !Holds(kElevationRanges[er180], Limits.MinElevation, Limits.MaxElevation))
        Held.ElevationRange = er90;
    return Held;
}

TPose HeldWithin(TPose Pose, const TRotatorLimits& Limits) {
    const auto Inside = [&](double Azimuth) { return Azimuth >= Limits.MinAzimuth && Azimuth <= Limits.MaxAzimuth; };
    for (double Turn : {-360.0, 360.0})
        if (!Inside(Pose.Azimuth) && Inside(Pose.Azimuth + Turn))
            Pose.Azimuth += Turn;
    return {std::clamp(Pose.Azimuth, Limits.MinAzimuth, Limits.MaxAzimuth),
            std::clamp(Pose.Elevation, Limits.MinElevation, Limits.MaxElevation)};
}
