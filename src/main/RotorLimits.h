#pragma once
// A rotor that tells its own limits (Hamlib's daemon does): every set point
// stays inside what it accepts, consistent with the chosen ranges. The set
// point is chosen within the widest range of each axis that the limits hold,
// no wider than the chosen one, and then held inside the limits themselves:
// an azimuth a turn away where that is inside, else the nearest limit.
// No Windows call here.
#include "main/Pointing.h"
#include "main/Settings.h"
#include "net/RotatorProtocol.h"

// Settings with the ranges narrowed to what Limits hold; the rest as it is.
TSettings WithinLimits(const TSettings& Settings, const TRotatorLimits& Limits);

// Pose (as the rotor counts) inside Limits.
TPose HeldWithin(TPose Pose, const TRotatorLimits& Limits);
