#pragma once
// The rotator's two axes: each turns towards its target at its own slew
// rate, the azimuth like a rotator with end stops (no wrap at 360, it turns
// back the long way), both limited to the angles a reply can carry.
#include "RotorProtocol.h"

struct TSlewRates {
    double Azimuth = 6.0;    // degrees per second: a full turn in a minute
    double Elevation = 3.0;  // the elevation axis of such rotators is slower
};

class TRotor {
public:
    TRotor(TAngles Start, TSlewRates Rates);

    TAngles Position() const { return FPosition; }
    TAngles Target() const { return FTarget; }
    bool Moving() const;
    // Seconds until both axes reach the target at the present rates.
    double SecondsToTarget() const;

    void SetTarget(TAngles Target);
    void SetRates(TSlewRates Rates);
    // Halts where the rotator stands.
    void Stop() { FTarget = FPosition; }
    // Puts the rotator at an angle at once, standing.
    void Place(TAngles Position);
    void Advance(double Seconds);

private:
    TAngles FPosition;
    TAngles FTarget;
    TSlewRates FRates;
};
